#include "workspace/WindowPlacement.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "workspace/NumberText.h"

namespace {

// How much of the window's top edge must lie on a screen for the user to take hold of it.
constexpr int GripWidth = 64, GripHeight = 16;

}  // namespace

bool ReachableOnScreens(const TScreenRect &window, const std::vector<TScreenRect> &screens) {
  if (window.Width <= 0 || window.Height <= 0) return false;
  for (const TScreenRect &screen : screens) {
    const int left = std::max(window.Left, screen.Left);
    const int right = std::min(window.Left + window.Width, screen.Left + screen.Width);
    const int top = std::max(window.Top, screen.Top);
    const int bottom = std::min(window.Top + GripHeight, screen.Top + screen.Height);
    if (right - left >= GripWidth && bottom - top >= GripHeight) return true;
  }
  return false;
}

TPictureSize PreviewPictureFor(int windowWidth, int windowHeight) {
  const double ratio = std::min(static_cast<double>(windowWidth) / DefaultWindowWidth,
                                static_cast<double>(windowHeight) / DefaultWindowHeight);
  if (!(ratio > 1.0)) return {};
  return {static_cast<int>(std::lround(PreviewPictureWidth * ratio)),
          static_cast<int>(std::lround(PreviewPictureHeight * ratio))};
}

std::vector<int> ColumnWidthsOfText(const std::string &text) {
  std::vector<int> widths;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const std::optional<int> width = IntegerText(item);
    if (!width || *width <= 0) return {};
    widths.push_back(*width);
  }
  return widths;
}

std::string TextOfColumnWidths(const std::vector<int> &widths) {
  std::string text;
  for (const int width : widths) {
    if (!text.empty()) text += ',';
    text += std::to_string(width);
  }
  return text;
}
