// The rules of the crop rectangle's mouse handling, without its widget: where a point hits the
// rectangle (its eight grips, its inside), and how a drag from a grip or the inside changes its
// bounds.  Mouse positions are the rectangle's own coordinates, as its widget receives them; the
// bounds are in its parent's.
#pragma once

#include <optional>

struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TBounds &) const = default;
};

// What a point of the rectangle grabs: an edge's middle grip, a corner grip, the inside (to
// move the whole rectangle) or nothing.
enum class TTrackerHit {
  LeftEdge = 0,
  RightEdge = 1,
  TopEdge = 2,
  BottomEdge = 3,
  TopLeft = 4,
  TopRight = 5,
  BottomLeft = 6,
  BottomRight = 7,
  Move = 8,
  None = 9
};

class TTrackerDrag {
 public:
  static constexpr int MinSize = 10;  // neither side is ever smaller
  static constexpr int GripSize = 5;
  static constexpr int FrameInset = 2;  // the frame is drawn this far inside the bounds

  // The left (or top) of the middle grip of a side of `length` pixels.
  static int MiddleGrip(int length) { return length / 2 - 3 + length % 2; }
  static TTrackerHit HitTest(int width, int height, int x, int y);
  // The bounds with the size limits applied (a side below MinSize becomes MinSize).
  static TBounds Constrained(TBounds bounds);
  // The rectangle inside the frame, in the parent's coordinates.
  static TBounds Inner(const TBounds &bounds);

  // Left button down at (x, y): the drag starts with what the point hits.
  void Press(const TBounds &bounds, int x, int y);
  // The mouse moved to (x, y) during a drag: the new bounds (the same ones when no drag runs).
  TBounds Move(const TBounds &bounds, int x, int y);
  // Left button up: the drag ends; the inner rectangle when the bounds changed since the press.
  std::optional<TBounds> Release(const TBounds &bounds);

  bool Dragging() const { return FMode != TTrackerHit::None; }

 private:
  TBounds FPressed;
  int FStartX = -1, FStartY = -1;
  TTrackerHit FMode = TTrackerHit::None;
};
