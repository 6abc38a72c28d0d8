// The signals that end a windowed program from outside: SIGTERM (a session manager, `kill`),
// SIGINT (Ctrl-C in the terminal it was started from) and SIGHUP (logout, the terminal closed).
// Their default action kills the process on the spot, leaving the file being converted under
// its hidden working name.  Caught here instead: the handler only writes the signal's number
// into a pipe, and the window thread reads it and closes the program in order.
#pragma once

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

class TQuitSignals : public QObject {
 public:
  // Catches the three signals for as long as it lives (one instance at a time); `onSignal`
  // runs on the thread that made the object, once per signal received.
  explicit TQuitSignals(std::function<void(int signal)> onSignal, QObject *parent = nullptr);
  ~TQuitSignals() override;
  TQuitSignals(const TQuitSignals &) = delete;
  TQuitSignals &operator=(const TQuitSignals &) = delete;

 private:
  static void Handler(int signal);
  void ReadSignals();

  std::function<void(int)> FOnSignal;
  QSocketNotifier *FNotifier = nullptr;
  struct sigaction FPrevious[3]{};
};
