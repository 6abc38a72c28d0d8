// Conversion of decoded pictures to the 24-bit BGR bitmap that hosts draw on, and back: one
// converter for the engine's custom hook and preview and for the player's hook and snapshot.  The
// bitmap and the scaling contexts are kept across frames.
#pragma once

#include <cstdint>

#include "services/Bitmap.h"
#include "services/FFResources.h"
#include "services/FFmpegApi.h"

class TRgbConverter {
 public:
  // Fills Bitmap() with the picture.  False when no scaling context can be made for its format.
  bool ToBitmap(const AVFrame *picture);
  // Writes the bitmap back into the picture (same size; the picture must be writable).  False when
  // no scaling context can be made for the way back.
  bool FromBitmap(AVFrame *picture);

  TBitmap &Bitmap() { return FBitmap; }
  // Whether the last ToBitmap went through the scaler (false: rows were copied as they are).
  bool Converted() const { return FConverted; }
  void Reset();

 private:
  bool NeedsConversion(const AVFrame *picture) const;

  TBitmap FBitmap;
  bool FConverted = false;
  TSwsPtr FToRgb;
  TSwsPtr FFromRgb;
};
