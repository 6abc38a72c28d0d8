// The text step of the frame decoration: a watermark text drawn onto a 24-bit frame with the
// GUI library's fonts.
#pragma once

#include <string>

#include "services/Bitmap.h"
#include "workspace/FilesRecord.h"

class QFont;

// The font a record describes.  Sizes are points at 96 dots per inch, the resolution the
// editors' previews measure positions in, so a size gives the same pixels on every machine.
QFont MarkQFont(const TMarkFont &font);

// Draws `text` (UTF-8, one line, no background) with the top-left corner of its line at (x, y);
// whatever falls outside the frame is cut off.  Needs a QGuiApplication (see OffscreenGui.h):
// without one nothing is drawn and the result is false.
bool DrawMarkText(TBitmap &frame, const std::string &text, const TMarkFont &font, int x, int y);
