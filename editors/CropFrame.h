// The rules of the crop window without its widgets: the still of the video fitted into the
// preview image, the video area the crop rectangle lives in, the rectangle kept inside that
// area while it is dragged or set from the margins, and the margins turned into source pixels
// when "Ok" stores them.  Coordinates are those of the rectangle's parent.
#pragma once

#include <string>

#include "editors/TrackerDrag.h"
#include "workspace/FilesRecord.h"

// Margins in preview pixels, as the window's four spin edits show them.
struct TCropMargins {
  int Up = 0, Down = 0, Left = 0, Right = 0;
  bool operator==(const TCropMargins &) const = default;
};

enum class TCropSide { Up, Down, Left, Right };

class TCropFrame {
 public:
  // The part of `canvas` a picture of the given size fills when stretched to the canvas's full
  // width or full height with its shape kept, centred in the other direction.  Empty for a
  // picture without area.
  static TBounds FitPicture(int pictureWidth, int pictureHeight, const TBounds &canvas);

  // The video area: the fitted picture shrunk by one pixel on each side.
  void SetVideoArea(const TBounds &fitted);
  const TBounds &Area() const { return FArea; }
  // Whether an area was measured (a file with video was opened).
  bool HasArea() const { return FArea.Width > 0 && FArea.Height > 0; }

  // The rectangle the margins leave of the area; the margins become the last ones.
  TBounds BoundsOf(const TCropMargins &margins);
  const TCropMargins &LastMargins() const { return FLast; }

  // The rectangle's bounds changed under the mouse (a drag, or only the mouse passing over it):
  // a side dragged past the area stops at the area's side, and a rectangle moved past it is
  // shifted back inside.  Returns the margins the rectangle leaves, none below 0.
  TCropMargins Moved(TBounds &tracker);
  // A spin edit changed its margin: `shown` holds the new value among the others.  A margin
  // that would take the rectangle below its smallest size is refused: `shown` gets the last
  // value back and the result is false.  A negative margin becomes 0.  Otherwise the rectangle
  // follows the margins of that direction.
  bool MarginChanged(TCropSide side, TCropMargins &shown, TBounds &tracker);

  // What "Ok" stores in the record: the margins as entered, and the margins in source pixels
  // (scaled from the area to the source's size, rounded, made even).
  void Store(const TCropMargins &margins, int sourceWidth, int sourceHeight,
             TlvFilesRecord &record) const;
  // A margin in source pixels, from preview pixels: scaled when the sizes differ, rounded to the
  // nearest (ties to even), then rounded down to even.
  static int SourceMargin(int margin, int sourceSize, int areaSize);

  // The zoom list's item for a record's zoom mode: 0 "Full screen" for "full" and any mode the
  // window does not know, 1 "Letterbox" for "lbox", 2 and 3 (no item) for "orig" and "cent".
  static int ZoomIndex(const std::string &zoomMode);
  // The zoom mode "Ok" stores for the list's item (an index without item keeps the mode).
  static std::string ZoomOfIndex(int index, const std::string &zoomMode);

 private:
  TCropMargins MarginsOf(const TBounds &tracker) const;

  TBounds FArea;
  TBounds FTracker;  // where the rectangle was last placed
  TCropMargins FLast;
};
