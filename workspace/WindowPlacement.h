// Where the main window stands and how large it is, kept from one run to the next, and how large
// its preview picture is drawn for a given window size.  No widgets: the window hands in its
// rectangles and the screens' and applies what comes back.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The size the window has on a first start, and the preview picture in such a window.
inline constexpr int DefaultWindowWidth = 786, DefaultWindowHeight = 522;
inline constexpr int PreviewPictureWidth = 243, PreviewPictureHeight = 171;

struct TScreenRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TScreenRect &) const = default;
};

struct TWindowPlacement {
  // The window's rectangle when it is not maximised (kept while it is).
  TScreenRect Normal{0, 0, DefaultWindowWidth, DefaultWindowHeight};
  bool PositionKnown = false;
  bool Maximized = false;
  // The file list's column widths, left to right; empty when none were kept.
  std::vector<int> ColumnWidths;
};

// A kept rectangle whose top edge (where the window is grabbed) is not on any screen, by at least
// a grip's width and height, would put the window where the user cannot reach it: such a
// position is not used.
bool ReachableOnScreens(const TScreenRect &window, const std::vector<TScreenRect> &screens);

// The picture grows with the window, in the shape of the default picture, never smaller than it:
// by the smaller of the window's width and height ratios to the default size.
struct TPictureSize {
  int Width = PreviewPictureWidth, Height = PreviewPictureHeight;
  bool operator==(const TPictureSize &) const = default;
};
TPictureSize PreviewPictureFor(int windowWidth, int windowHeight);

// Column widths as the store keeps them ("90,300,60"): text that is not a list of positive
// numbers reads as none.
std::vector<int> ColumnWidthsOfText(const std::string &text);
std::string TextOfColumnWidths(const std::vector<int> &widths);
