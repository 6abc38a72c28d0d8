#include "workspace/mainwindow/WinShutDown.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/Application.h"
#include "platform/Shutdown.h"

TfrmShutDown::TfrmShutDown(QWidget *owner, const TSkinManager &skin, int seconds,
                           std::function<void(const std::string &reason)> refused)
    : TSkinnedDialog(owner, skin), FSeconds(seconds), FRefused(std::move(refused)) {
  setObjectName("frmShutDown");
  setWindowTitle(tr("Shut down computer"));
  lblCountdown = new QLabel(this);
  lblCountdown->setObjectName("lblCountdown");
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setDefault(true);
  tmrCountdown = new QTimer(this);
  tmrCountdown->setInterval(1000);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  auto *all = new QVBoxLayout(this);
  all->addWidget(lblCountdown);
  all->addLayout(buttons);

  // Cancel, Escape and the title bar all close the window, and a closed window stops counting.
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &QDialog::finished, tmrCountdown, &QTimer::stop);
  connect(tmrCountdown, &QTimer::timeout, this,
          [this] { Guarded([this] { tmrCountdownTimer(); }); });
}

void TfrmShutDown::Start() {
  FLeft = FSeconds;
  ShowLeft();
  show();
  raise();
  activateWindow();
  tmrCountdown->start();
}

void TfrmShutDown::tmrCountdownTimer() {
  if (--FLeft > 0) {
    ShowLeft();
    return;
  }
  tmrCountdown->stop();
  accept();
  PowerOffInBackground(FRefused);
}

void TfrmShutDown::ShowLeft() {
  lblCountdown->setText(
      FLeft == 1
          ? tr("The conversion has finished. The computer shuts down in 1 second.")
          : tr("The conversion has finished. The computer shuts down in %1 seconds.").arg(FLeft));
}
