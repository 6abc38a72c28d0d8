// The application object of the windowed program.  An exception that escapes an event handler
// of any window is reported once, by the handler the main window installs, and the program goes
// on.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

class TApplication : public QApplication {
 public:
  using TExceptionHandler = std::function<void(std::exception_ptr)>;

  TApplication(int &argc, char **argv);

  // The handler of escaped exceptions; an empty one restores the default (the text on stderr).
  void SetExceptionHandler(TExceptionHandler handler) { FHandler = std::move(handler); }

  // Hands an exception to the installed handler.  Never throws.
  static void HandleException(std::exception_ptr error) noexcept;

  bool notify(QObject *receiver, QEvent *event) override;

 private:
  TExceptionHandler FHandler;
};

// Runs one event handler of a window; an exception it raises goes to the application's handler
// instead of unwinding through the toolkit.
template <class Handler>
void Guarded(Handler &&handler) noexcept {
  try {
    handler();
  } catch (...) {
    TApplication::HandleException(std::current_exception());
  }
}
