// The rubber-band rectangle of the crop window: a dotted frame with eight grips over the still
// of the video, moved and resized with the mouse (the rules are TTrackerDrag's).  It tells its
// owner about presses, moves and releases, and about a drag that changed its bounds.
#pragma once

#include <QWidget>
#include <functional>

#include "editors/TrackerDrag.h"

// (Sender, TrackRect): the inner rectangle, in the parent's coordinates.
using TTrackerEvent = std::function<void(QWidget *Sender, const TBounds &TrackRect)>;
// (Sender, X, Y): the mouse in the rectangle's own coordinates.
using TTrackerMouseEvent = std::function<void(QWidget *Sender, int X, int Y)>;

class TCustomRectTracker : public QWidget {
 public:
  explicit TCustomRectTracker(QWidget *parent);

  TBounds Bounds() const;
  // Places the rectangle; a side below the smallest size is made that size.
  void SetBounds(const TBounds &bounds);

 protected:
  // A control kept inside the rectangle (sharing its parent): the rectangle first surrounds it,
  // then keeps it at its own bounds shrunk by 5 pixels on each side.
  QWidget *AcControl() const { return FAcControl; }
  void SetAcControl(QWidget *control);

  TTrackerEvent OnChange;
  TTrackerMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;

  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void moveEvent(QMoveEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

 private:
  void PlaceAcControl();

  TTrackerDrag FDrag;
  QWidget *FAcControl = nullptr;
};

class TRectTracker : public TCustomRectTracker {
 public:
  using TCustomRectTracker::AcControl;
  using TCustomRectTracker::OnChange;
  using TCustomRectTracker::OnMouseDown;
  using TCustomRectTracker::OnMouseMove;
  using TCustomRectTracker::OnMouseUp;
  using TCustomRectTracker::SetAcControl;
  using TCustomRectTracker::TCustomRectTracker;
};
