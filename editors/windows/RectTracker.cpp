#include "editors/windows/RectTracker.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int DefaultSize = 65;
constexpr int AcMargin = 5;

Qt::CursorShape CursorOf(TTrackerHit hit) {
  switch (hit) {
    case TTrackerHit::LeftEdge:
    case TTrackerHit::RightEdge: return Qt::SizeHorCursor;
    case TTrackerHit::TopEdge:
    case TTrackerHit::BottomEdge: return Qt::SizeVerCursor;
    case TTrackerHit::TopRight:
    case TTrackerHit::BottomLeft: return Qt::SizeBDiagCursor;
    case TTrackerHit::TopLeft:
    case TTrackerHit::BottomRight: return Qt::SizeFDiagCursor;
    case TTrackerHit::Move: return Qt::SizeAllCursor;
    case TTrackerHit::None: break;
  }
  return Qt::ArrowCursor;
}

QPoint Local(const QMouseEvent *event) {
  return event->position().toPoint();
}

}  // namespace

TCustomRectTracker::TCustomRectTracker(QWidget *parent) : QWidget(parent) {
  setMouseTracking(true);  // the cursor shows what a press would grab
  resize(DefaultSize, DefaultSize);
}

TBounds TCustomRectTracker::Bounds() const {
  return {x(), y(), width(), height()};
}

void TCustomRectTracker::SetBounds(const TBounds &bounds) {
  const TBounds b = TTrackerDrag::Constrained(bounds);
  setGeometry(b.Left, b.Top, b.Width, b.Height);
}

void TCustomRectTracker::SetAcControl(QWidget *control) {
  FAcControl = control;
  if (!control) return;
  const QRect around = control->geometry().adjusted(-AcMargin, -AcMargin, AcMargin, AcMargin);
  SetBounds({around.x(), around.y(), around.width(), around.height()});
  PlaceAcControl();
}

void TCustomRectTracker::PlaceAcControl() {
  if (FAcControl)
    FAcControl->setGeometry(geometry().adjusted(AcMargin, AcMargin, -AcMargin, -AcMargin));
}

void TCustomRectTracker::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  // The frame shows on any picture: the dotted pen inverts what lies under it.
  painter.setCompositionMode(QPainter::RasterOp_SourceOrNotDestination);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  const int inset = TTrackerDrag::FrameInset;
  painter.drawRect(inset, inset, width() - 2 * inset - 1, height() - 2 * inset - 1);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const int grip = TTrackerDrag::GripSize;
  const int xs[] = {0, TTrackerDrag::MiddleGrip(width()), width() - grip};
  const int ys[] = {0, TTrackerDrag::MiddleGrip(height()), height() - grip};
  for (int gx : xs)
    for (int gy : ys)
      if (gx != xs[1] || gy != ys[1]) painter.fillRect(gx, gy, grip, grip, Qt::black);
}

void TCustomRectTracker::mousePressEvent(QMouseEvent *event) {
  const QPoint at = Local(event);
  if (event->button() == Qt::LeftButton) FDrag.Press(Bounds(), at.x(), at.y());
  if (OnMouseDown) OnMouseDown(this, at.x(), at.y());
}

void TCustomRectTracker::mouseMoveEvent(QMouseEvent *event) {
  const QPoint at = Local(event);
  if (FDrag.Dragging()) SetBounds(FDrag.Move(Bounds(), at.x(), at.y()));
  // The point in the rectangle as it stands now.
  const QPoint now = mapFromGlobal(event->globalPosition().toPoint());
  setCursor(CursorOf(TTrackerDrag::HitTest(width(), height(), now.x(), now.y())));
  if (OnMouseMove) OnMouseMove(this, at.x(), at.y());
}

void TCustomRectTracker::mouseReleaseEvent(QMouseEvent *event) {
  const QPoint at = Local(event);
  if (event->button() == Qt::LeftButton && FDrag.Dragging()) {
    if (const auto changed = FDrag.Release(Bounds()); changed && OnChange) OnChange(this, *changed);
  }
  if (OnMouseUp) OnMouseUp(this, at.x(), at.y());
}

void TCustomRectTracker::moveEvent(QMoveEvent *event) {
  QWidget::moveEvent(event);
  PlaceAcControl();
}

void TCustomRectTracker::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  PlaceAcControl();
}
