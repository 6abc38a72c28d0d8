// The last word before a batch powers the computer off: a window that counts down with Cancel,
// so that a person who is still there (or came back) can keep the machine running.  When the
// count reaches 0 the shut-down is asked for on a thread of its own; the window thread never
// waits for the system.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <string>

#include "skin/SkinnedDialog.h"

class QLabel;
class QPushButton;
class QTimer;

class TfrmShutDown : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmShutDown)

 public:
  // `refused` is told (on the window thread) when the system refuses to power off.
  TfrmShutDown(QWidget *owner, const TSkinManager &skin, int seconds,
               std::function<void(const std::string &reason)> refused);

  // Shows the window and starts the count.
  void Start();
  int SecondsLeft() const { return FLeft; }

  QLabel *lblCountdown;
  QPushButton *btnCancel;
  QTimer *tmrCountdown;

 private:
  void tmrCountdownTimer();
  void ShowLeft();

  int FSeconds;
  int FLeft = 0;
  std::function<void(const std::string &)> FRefused;
};
