// The crop window's still of the video: a picture of the widget's size into which frames are
// drawn stretched to fit with their shape kept; what lies outside the fitted part keeps what was
// there before.
#pragma once

#include <QImage>
#include <QWidget>

#include "editors/TrackerDrag.h"
#include "services/Bitmap.h"

class TPreviewImage : public QWidget {
 public:
  TPreviewImage(QWidget *parent, int width, int height);

  void Fill(const QColor &color);
  // Draws `frame` fitted into the picture and returns where (in the widget's coordinates); a
  // frame without area is not drawn and gives an empty part.
  TBounds DrawFitted(const TBitmap &frame);
  const QImage &Picture() const { return FPicture; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QImage FPicture;
};
