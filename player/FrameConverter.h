// 24-bit bitmaps of video pictures, for the per-frame hook and for snapshots.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/Bitmap.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

struct TSwsFree {
  void operator()(SwsContext *ctx) const;
};
using TSwsPtr = std::unique_ptr<SwsContext, TSwsFree>;

// Planes of a picture as the libraries describe them.
struct TPicturePlanes {
  uint8_t *Data[4] = {};
  int Linesize[4] = {};
  int Width = 0;
  int Height = 0;
  AVPixelFormat Format = AV_PIX_FMT_NONE;
};

// Converts pictures to the bitmap and back with cached bicubic scaling contexts.
class TFrameConverter {
 public:
  TBitmap Bitmap;
  // Held by the hook while the host draws, so that no one else touches the pixels meanwhile.
  std::mutex Canvas;

  // Sizes the bitmap to the picture and fills it; false when no context can be made.
  bool ToBitmap(const TPicturePlanes &src);
  // Writes the bitmap back into the picture's planes; false when no context can be made.
  bool FromBitmap(const TPicturePlanes &dst);
  void Reset();

 private:
  TSwsPtr FToRGB;
  TSwsPtr FFromRGB;
};
