#include "editors/TrackerDrag.h"

#include <algorithm>

namespace {

bool InGrip(int left, int top, int x, int y) {
  return x >= left && x < left + TTrackerDrag::GripSize && y >= top &&
         y < top + TTrackerDrag::GripSize;
}

}  // namespace

TTrackerHit TTrackerDrag::HitTest(int width, int height, int x, int y) {
  const int right = width - GripSize, bottom = height - GripSize;
  const int middleX = MiddleGrip(width), middleY = MiddleGrip(height);
  // Corners before edges: on a small rectangle the grips overlap, and a corner resizes both ways.
  const struct {
    int Left, Top;
    TTrackerHit Hit;
  } grips[] = {{0, 0, TTrackerHit::TopLeft},         {right, bottom, TTrackerHit::BottomRight},
               {0, bottom, TTrackerHit::BottomLeft}, {right, 0, TTrackerHit::TopRight},
               {0, middleY, TTrackerHit::LeftEdge},  {right, middleY, TTrackerHit::RightEdge},
               {middleX, 0, TTrackerHit::TopEdge},   {middleX, bottom, TTrackerHit::BottomEdge}};
  for (const auto &grip : grips)
    if (InGrip(grip.Left, grip.Top, x, y)) return grip.Hit;
  if (x >= FrameInset && x < width - FrameInset && y >= FrameInset && y < height - FrameInset)
    return TTrackerHit::Move;
  return TTrackerHit::None;
}

TBounds TTrackerDrag::Constrained(TBounds bounds) {
  bounds.Width = std::max(bounds.Width, MinSize);
  bounds.Height = std::max(bounds.Height, MinSize);
  return bounds;
}

TBounds TTrackerDrag::Inner(const TBounds &b) {
  return {b.Left + FrameInset, b.Top + FrameInset, b.Width - 2 * FrameInset,
          b.Height - 2 * FrameInset};
}

void TTrackerDrag::Press(const TBounds &bounds, int x, int y) {
  FPressed = bounds;
  FStartX = x;
  FStartY = y;
  FMode = HitTest(bounds.Width, bounds.Height, x, y);
}

TBounds TTrackerDrag::Move(const TBounds &bounds, int x, int y) {
  if (FMode == TTrackerHit::None) return bounds;
  TBounds b = bounds;
  const int dx = x - FStartX, dy = y - FStartY;
  // A grip on the left or top side moves that side, and with it the rectangle's origin: the
  // next mouse position is measured from the new origin, so the start point stays.  A grip on
  // the right or bottom side leaves the origin, so the start point follows the mouse.  A side
  // at its smallest only grows.
  const auto moveLeft = [&] {
    b.Left += dx;
    b.Width -= dx;
  };
  const auto moveTop = [&] {
    b.Top += dy;
    b.Height -= dy;
  };
  const bool leftMay = b.Width > MinSize || dx <= 0;
  const bool topMay = b.Height > MinSize || dy <= 0;
  switch (FMode) {
    case TTrackerHit::LeftEdge:
      if (leftMay) moveLeft();
      break;
    case TTrackerHit::RightEdge:
      b.Width += dx;
      FStartX = x;
      break;
    case TTrackerHit::TopEdge:
      if (topMay) moveTop();
      break;
    case TTrackerHit::BottomEdge:
      b.Height += dy;
      FStartY = y;
      break;
    case TTrackerHit::TopLeft:
      if (leftMay) moveLeft();
      if (topMay) moveTop();
      break;
    case TTrackerHit::TopRight:
      if (topMay) moveTop();
      b.Width += dx;
      FStartX = x;
      break;
    case TTrackerHit::BottomLeft:
      if (leftMay) moveLeft();
      b.Height += dy;
      FStartY = y;
      break;
    case TTrackerHit::BottomRight:
      b.Width += dx;
      b.Height += dy;
      FStartX = x;
      FStartY = y;
      break;
    case TTrackerHit::Move:
      b.Left += dx;
      b.Top += dy;
      break;
    case TTrackerHit::None: break;
  }
  return Constrained(b);
}

std::optional<TBounds> TTrackerDrag::Release(const TBounds &bounds) {
  FStartX = FStartY = -1;
  FMode = TTrackerHit::None;
  if (bounds == FPressed) return std::nullopt;
  return Inner(bounds);
}
