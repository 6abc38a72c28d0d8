#include "gui/VideoSurface.h"

#include <QPainter>

TVideoSurface::TVideoSurface(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_NativeWindow);
  setAutoFillBackground(false);
}

void TVideoSurface::SetPlayerDrawing(bool on) {
  FPlayerDrawing = on;
  setAttribute(Qt::WA_PaintOnScreen, on);
  setAttribute(Qt::WA_NoSystemBackground, on);
  update();
}

QPaintEngine *TVideoSurface::paintEngine() const {
  return FPlayerDrawing ? nullptr : QWidget::paintEngine();
}

void TVideoSurface::paintEvent(QPaintEvent *) {
  if (FPlayerDrawing) return;
  QPainter p(this);
  p.fillRect(rect(), QColor(72, 74, 78));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(255, 255, 255, 40), 3));
  p.setBrush(Qt::NoBrush);
  const QPointF c = QRectF(rect()).center();
  p.drawEllipse(c, 26, 26);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 40));
  p.drawPolygon(QPolygonF({c + QPointF(-9, -13), c + QPointF(14, 0), c + QPointF(-9, 13)}));
}
