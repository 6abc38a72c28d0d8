#include "services/RgbConverter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr AVPixelFormat BitmapFormat = AV_PIX_FMT_BGR24;

// Accurate rounding keeps the scaler off its fast YUV to RGB routine, which works on pixel pairs
// and leaves the last column of an odd-width picture black.
constexpr int ScalerFlags = SWS_BICUBIC | SWS_ACCURATE_RND;

// sws_getCachedContext frees the old context when it makes a new one, so ownership passes through.
SwsContext *Cached(TSwsPtr &ctx, int w, int h, AVPixelFormat from, AVPixelFormat to) {
  SwsContext *c = ff::sws_getCachedContext(ctx.release(), w, h, from, w, h, to, ScalerFlags,
                                           nullptr, nullptr, nullptr);
  ctx.reset(c);
  return c;
}

}  // namespace

void TRgbConverter::Reset() {
  FBitmap = TBitmap();
  FBuffer.reset();
  FBufferSize = 0;
  FToRgb.reset();
  FFromRgb.reset();
  FConverted = false;
}

// The bitmap's rows can be filled straight from the picture only when it already is packed BGR
// with the bitmap's own row length; odd sizes always go through the scaler.
bool TRgbConverter::NeedsConversion(const AVFrame *picture) const {
  return picture->format != BitmapFormat || (picture->width & 1) || (picture->height & 1) ||
         picture->linesize[0] != FBitmap.LineSize();
}

bool TRgbConverter::LayRgbPicture(int width, int height) {
  const int size = ff::av_image_get_buffer_size(BitmapFormat, width, height, 1);
  if (size < 0) return false;
  if (size > FBufferSize) {
    FBuffer.reset(static_cast<uint8_t *>(ff::av_malloc(size)));
    FBufferSize = FBuffer ? size : 0;
    if (!FBuffer) return false;
  }
  return ff::av_image_fill_arrays(FRgbData, FRgbLines, FBuffer.get(), BitmapFormat, width, height,
                                  1) >= 0;
}

bool TRgbConverter::ToBitmap(const AVFrame *picture) {
  const int w = picture->width, h = picture->height;
  if (FBitmap.Width() != w || FBitmap.Height() != h) FBitmap.SetSize(w, h);
  FConverted = NeedsConversion(picture);
  const uint8_t *rows = picture->data[0];
  int line = picture->linesize[0];
  if (FConverted) {
    if (!LayRgbPicture(w, h)) return false;
    SwsContext *c = Cached(FToRgb, w, h, static_cast<AVPixelFormat>(picture->format), BitmapFormat);
    if (!c) return false;
    ff::sws_scale(c, picture->data, picture->linesize, 0, h, FRgbData, FRgbLines);
    rows = FRgbData[0];
    line = FRgbLines[0];
  }
  const int copy = std::min(line, FBitmap.LineSize());
  for (int y = 0; y < h; ++y) std::memcpy(FBitmap.ScanLine(y), rows + y * line, copy);
  return true;
}

bool TRgbConverter::FromBitmap(AVFrame *picture) {
  const int w = picture->width, h = picture->height;
  if (!FConverted) {
    // The picture is packed BGR with the bitmap's row length: copy the rows straight back.
    for (int y = 0; y < h; ++y)
      std::memcpy(picture->data[0] + y * picture->linesize[0], FBitmap.ScanLine(y),
                  picture->linesize[0]);
    return true;
  }
  for (int y = 0; y < h; ++y)
    std::memcpy(FRgbData[0] + y * FRgbLines[0], FBitmap.ScanLine(y), FRgbLines[0]);
  if (picture->format == BitmapFormat) {
    // Packed BGR of an odd size: the rows differ only in their padding.
    ff::av_image_copy(picture->data, picture->linesize, const_cast<const uint8_t **>(FRgbData),
                      FRgbLines, BitmapFormat, w, h);
    return true;
  }
  SwsContext *c = Cached(FFromRgb, w, h, BitmapFormat, static_cast<AVPixelFormat>(picture->format));
  if (!c) return false;
  ff::sws_scale(c, FRgbData, FRgbLines, 0, h, picture->data, picture->linesize);
  return true;
}
