#include "gui/WindowSize.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

constexpr double DesignedPointSize = 9;

// How much larger the widget's text is than the 9-point text of the same family; 1 for a font
// given in pixels.
double FontRatio(const QWidget &widget) {
  const QFont font = widget.font();
  if (font.pointSizeF() <= 0) return 1;
  QFont designed = font;
  designed.setPointSizeF(DesignedPointSize);
  return std::max(1.0, QFontMetricsF(font).height() / QFontMetricsF(designed).height());
}

}  // namespace

QSize SizeThatFits(QWidget &window, QSize designed) {
  // The style sheets of the theme change the controls' margins: their sizes count only once
  // they are applied.
  window.ensurePolished();
  QSize size = designed.expandedTo(window.minimumSizeHint());
  // Wrapped texts need more lines in a narrower window than their minimum says.
  if (const QLayout *layout = window.layout(); layout && layout->hasHeightForWidth())
    size.setHeight(std::max(size.height(), layout->totalHeightForWidth(size.width())));
  return size;
}

int ScaledToFont(const QWidget &widget, int designed) {
  return static_cast<int>(std::lround(designed * FontRatio(widget)));
}

QSize ScaledToFont(const QWidget &widget, QSize designed) {
  return {ScaledToFont(widget, designed.width()), ScaledToFont(widget, designed.height())};
}
