#include "editors/windows/PreviewImage.h"

#include <QPainter>

#include "editors/CropFrame.h"

TPreviewImage::TPreviewImage(QWidget *parent, int width, int height)
    : QWidget(parent), FPicture(width, height, QImage::Format_RGB32) {
  setFixedSize(width, height);
  FPicture.fill(Qt::white);
}

void TPreviewImage::Fill(const QColor &color) {
  FPicture.fill(color);
  update();
}

TBounds TPreviewImage::DrawFitted(const TBitmap &frame) {
  const TBounds fitted = TCropFrame::FitPicture(frame.Width(), frame.Height(),
                                                {0, 0, FPicture.width(), FPicture.height()});
  if (fitted.Width <= 0 || fitted.Height <= 0) return {};
  // The image shares the frame's memory for the drawing only.
  const QImage source(frame.ScanLine(0), frame.Width(), frame.Height(), frame.LineSize(),
                      QImage::Format_BGR888);
  QPainter painter(&FPicture);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(fitted.Left, fitted.Top, fitted.Width, fitted.Height), source);
  update();
  return fitted;
}

void TPreviewImage::paintEvent(QPaintEvent *) {
  QPainter(this).drawImage(0, 0, FPicture);
}
