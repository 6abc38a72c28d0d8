#include "skin/TrackBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

TTrackBar::TTrackBar(QWidget *parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::NoTicks);
}

void TTrackBar::SetSelection(int start, int end) {
  if (start == FSelStart && end == FSelEnd) return;
  FSelStart = start;
  FSelEnd = end;
  update();
}

void TTrackBar::SetSliderVisible(bool visible) {
  if (visible == FSliderVisible) return;
  FSliderVisible = visible;
  update();
}

void TTrackBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  // As the slider draws itself, in two steps: the range goes between groove and handle.
  option.subControls = QStyle::SC_SliderGroove;
  if (tickPosition() != QSlider::NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

  if (FSelEnd > FSelStart && maximum() > minimum()) {
    // The range is drawn where the handle's middle stands for its two values.
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    const auto x = [&](int value) {
      return groove.left() + handle.width() / 2 +
             QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
    };
    const QColor band = isEnabled() ? palette().color(QPalette::Link) : QColor(176, 176, 176);
    painter.fillRect(QRect(QPoint(x(FSelStart), groove.center().y() - 3),
                           QPoint(x(FSelEnd), groove.center().y() + 2)),
                     band);
  }

  if (FSliderVisible) {
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
  }
}
