// The pixel routines of the frame decoration: exposure, colours (brightness, contrast,
// saturation) and the blend of a picture.  They change 24-bit bitmaps in place (blue, green, red
// bytes; rows padded to four bytes, padding left alone) and allocate nothing: each call builds
// its look-up tables on the stack and walks the rows by scan line.
#pragma once

#include "services/Bitmap.h"

// Lifts (positive) or darkens (negative) every value between 0 and 255, most strongly in the
// lower half; 0 and 255 stay as they are.  Exposure runs from -255 to 512 (0 = unchanged).
void AdjustExposure(TBitmap &bitmap, float exposure);

// Brightness 0..512 (256 = unchanged), contrast -100..100 (0 = unchanged, -100 = everything
// towards 170) and saturation 0..512 (256 = unchanged, 0 = grey).  The editors store 255 as
// their neutral brightness and saturation and skip the call for it.  Values outside the ranges
// count as the nearest end.
void AdjustColors(TBitmap &bitmap, int brightness, int contrast, int saturation);

// The effects step of the decoration: the colour adjustment unless the values are the editors'
// neutral 255, 0, 255, then the exposure unless it is 0.  When both run they share one pass over
// the frame, with the same result as one after the other.
void ApplyEffects(TBitmap &bitmap, int brightness, int contrast, int saturation, int exposure);

// Combines `source` into `dest` with the source's top-left corner at (x, y), clipped at the
// edges of `dest`.  Style 1 mixes by opacity (0..255); any other style multiplies the two
// (white leaves the frame, black blackens it) and ignores the opacity.
void BlendImage(TBitmap &dest, const TBitmap &source, int x, int y, int opacity, int style);
