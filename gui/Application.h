// The application object of the windowed program.  An exception that escapes an event handler
// of any window is reported once, by the handler the main window installs, and the program goes
// on.  For its whole life it carries the calls of other threads (the players' events) to the
// window thread.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <memory>

class TQtMainThreadDispatcher;

class TApplication : public QApplication {
 public:
  using TExceptionHandler = std::function<void(std::exception_ptr)>;

  TApplication(int &argc, char **argv);
  ~TApplication() override;

  // The handler of escaped exceptions; an empty one restores the default (the text on stderr).
  void SetExceptionHandler(TExceptionHandler handler) { FHandler = std::move(handler); }

  // Hands an exception to the installed handler.  Never throws.
  static void HandleException(std::exception_ptr error) noexcept;

  bool notify(QObject *receiver, QEvent *event) override;

 private:
  TExceptionHandler FHandler;
  std::unique_ptr<TQtMainThreadDispatcher> FDispatcher;
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
