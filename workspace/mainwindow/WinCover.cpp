#include "workspace/mainwindow/WinCover.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "gui/Application.h"
#include "platform/Paths.h"
#include "skin/Artwork.h"

TfrmCover::TfrmCover(const QWidget *mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint),
      FPicture(CoverPicture(TCoverKind::Video)),
      FMainWindow(mainWindow) {
  setObjectName("frmCover");
  for (const char *name : CoverPictureFiles) {
    const auto file = paths::FindDataFile(name);
    QPixmap picture;
    if (!file.empty() && picture.load(QString::fromStdString(file.string()))) FPicture = picture;
  }
  FTimer.setInterval(1000);
  connect(&FTimer, &QTimer::timeout, this, [this] { Guarded([this] { tmrCloseTimer(); }); });
  FTimer.start();
}

void TfrmCover::showEvent(QShowEvent *event) {
  resize(FPicture.size());
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  QWidget::showEvent(event);
}

void TfrmCover::paintEvent(QPaintEvent *) {
  QPainter(this).drawPixmap(0, 0, FPicture);
}

void TfrmCover::tmrCloseTimer() {
  if (FMainWindow && FMainWindow->isVisible()) {
    FTimer.stop();
    close();
  }
}
