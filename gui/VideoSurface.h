// The preview panel's picture: a native child window that the player draws into with SDL.
// While no player draws into it, it paints itself grey.
#pragma once

#include <QWidget>

class TVideoSurface : public QWidget {
 public:
  explicit TVideoSurface(QWidget *parent);

  // Hands the window to (or takes it back from) a player that draws into it by its native
  // window id (winId()): the toolkit then leaves the window's pixels alone.
  void SetPlayerDrawing(bool on);
  bool PlayerDrawing() const { return FPlayerDrawing; }

  QPaintEngine *paintEngine() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  bool FPlayerDrawing = false;
};
