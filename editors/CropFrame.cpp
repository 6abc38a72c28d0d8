#include "editors/CropFrame.h"

#include <algorithm>
#include <cmath>

TBounds TCropFrame::FitPicture(int pictureWidth, int pictureHeight, const TBounds &canvas) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || canvas.Width <= 0 || canvas.Height <= 0) return {};
  const double a = static_cast<double>(pictureWidth) / canvas.Width;
  const double b = static_cast<double>(pictureHeight) / canvas.Height;
  TBounds fitted = canvas;
  if (a >= b) {
    const int c = static_cast<int>(std::rint((canvas.Height - pictureHeight / a) / 2));
    fitted.Top += c;
    fitted.Height -= 2 * c;
  } else {
    const int c = static_cast<int>(std::rint((canvas.Width - pictureWidth / b) / 2));
    fitted.Left += c;
    fitted.Width -= 2 * c;
  }
  return fitted;
}

void TCropFrame::SetVideoArea(const TBounds &fitted) {
  FArea = {fitted.Left + 1, fitted.Top + 1, fitted.Width - 2, fitted.Height - 2};
}

TBounds TCropFrame::BoundsOf(const TCropMargins &m) {
  FLast = m;
  FTracker =
      TTrackerDrag::Constrained({FArea.Left + m.Left, FArea.Top + m.Up,
                                 FArea.Width - m.Right - m.Left, FArea.Height - m.Down - m.Up});
  return FTracker;
}

TCropMargins TCropFrame::MarginsOf(const TBounds &t) const {
  TCropMargins m;
  m.Up = std::max(0, t.Top - FArea.Top);
  m.Down = std::max(0, FArea.Bottom() - t.Bottom());
  m.Left = std::max(0, t.Left - FArea.Left);
  m.Right = std::max(0, FArea.Right() - t.Right());
  return m;
}

TCropMargins TCropFrame::Moved(TBounds &t) {
  if (t.Width != FTracker.Width || t.Height != FTracker.Height) {
    // Resized: each side that went past the area's side stops there; the others stay.
    if (t.Left < FArea.Left) {
      t.Width -= FArea.Left - t.Left;
      t.Left = FArea.Left;
    }
    if (t.Top < FArea.Top) {
      t.Height -= FArea.Top - t.Top;
      t.Top = FArea.Top;
    }
    t.Width = std::min(t.Width, FArea.Right() - t.Left);
    t.Height = std::min(t.Height, FArea.Bottom() - t.Top);
    t = TTrackerDrag::Constrained(t);
  }
  // Moved (or held at its smallest size against a side): shifted back inside, size kept.
  t.Left = std::max(FArea.Left, std::min(t.Left, FArea.Right() - t.Width));
  t.Top = std::max(FArea.Top, std::min(t.Top, FArea.Bottom() - t.Height));
  FTracker = t;
  FLast = MarginsOf(t);
  return FLast;
}

bool TCropFrame::MarginChanged(TCropSide side, TCropMargins &shown, TBounds &t) {
  const bool vertical = side == TCropSide::Up || side == TCropSide::Down;
  int TCropMargins::*field = side == TCropSide::Up     ? &TCropMargins::Up
                             : side == TCropSide::Down ? &TCropMargins::Down
                             : side == TCropSide::Left ? &TCropMargins::Left
                                                       : &TCropMargins::Right;
  const int size = vertical ? t.Height : t.Width;
  if (size <= TTrackerDrag::MinSize && shown.*field >= FLast.*field) {
    shown.*field = FLast.*field;
    return false;
  }
  shown.*field = std::max(0, shown.*field);
  if (vertical) {
    t.Top = FArea.Top + shown.Up;
    t.Height = FArea.Height - shown.Up - shown.Down;
    FLast.Up = shown.Up;
    FLast.Down = shown.Down;
  } else {
    t.Left = FArea.Left + shown.Left;
    t.Width = FArea.Width - shown.Left - shown.Right;
    FLast.Left = shown.Left;
    FLast.Right = shown.Right;
  }
  t = TTrackerDrag::Constrained(t);
  FTracker = t;
  return true;
}

int TCropFrame::SourceMargin(int margin, int sourceSize, int areaSize) {
  double value = margin;
  if (sourceSize != areaSize && areaSize > 0) value *= static_cast<double>(sourceSize) / areaSize;
  return 2 * (static_cast<int>(std::rint(value)) / 2);
}

void TCropFrame::Store(const TCropMargins &m, int sourceWidth, int sourceHeight,
                       TlvFilesRecord &record) const {
  record.CropEditTop = m.Up;
  record.CropEditLeft = m.Left;
  record.CropEditBottom = m.Down;
  record.CropEditRight = m.Right;
  record.CropTop = SourceMargin(m.Up, sourceHeight, FArea.Height);
  record.CropBottom = SourceMargin(m.Down, sourceHeight, FArea.Height);
  record.CropLeft = SourceMargin(m.Left, sourceWidth, FArea.Width);
  record.CropRight = SourceMargin(m.Right, sourceWidth, FArea.Width);
}

int TCropFrame::ZoomIndex(const std::string &zoomMode) {
  if (zoomMode == "lbox") return 1;
  if (zoomMode == "orig") return 2;
  if (zoomMode == "cent") return 3;
  return 0;
}

std::string TCropFrame::ZoomOfIndex(int index, const std::string &zoomMode) {
  if (index == 0) return "full";
  if (index == 1) return "lbox";
  return zoomMode;
}
