// The splash window: one picture, borderless and centred, shown while the program starts and
// closed on the first tick of its timer at which the main window is on screen.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class TfrmCover : public QWidget {
 public:
  // `mainWindow` is the window whose showing closes the splash.
  explicit TfrmCover(const QWidget *mainWindow = nullptr);
  void SetMainWindow(const QWidget *mainWindow) { FMainWindow = mainWindow; }
  const QPixmap &Picture() const { return FPicture; }

 protected:
  void showEvent(QShowEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

 private:
  void tmrCloseTimer();

  QPixmap FPicture;
  QTimer FTimer;
  const QWidget *FMainWindow;
};

// The pictures the splash looks for in the data folders, in the order they are loaded (the last
// one found wins).
inline constexpr const char *CoverPictureFiles[] = {"skin/mp4videocover.jpg",
                                                    "skin/videocover.jpg"};
