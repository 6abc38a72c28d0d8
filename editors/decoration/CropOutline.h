// The outline the editors' previews draw around the part of the picture a row's crop keeps.
#pragma once

#include "services/Bitmap.h"
#include "workspace/FilesRecord.h"

// Draws a solid green (red 0, green 128, blue 0) frame two pixels wide along the rectangle from
// (left, top) to (right, bottom), right and bottom exclusive: each line covers the pixel before
// and the pixel after its edge.  Whatever falls outside the frame is cut off.
void OutlineCropArea(TBitmap &frame, int left, int top, int right, int bottom);

// The outline of the trim and crop previews: on the edges of the kept part.
void OutlineRowCrop(TBitmap &frame, const TlvFilesRecord &record);
