#include "services/RgbConverter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr AVPixelFormat BitmapFormat = AV_PIX_FMT_BGR24;

// The scaler's fast routines between YUV and RGB of the same size (the ones every decorated frame
// of a conversion goes through, twice) work on pixel pairs and leave the last column of an
// odd-sized picture black; accurate rounding keeps the scaler off them, and is asked for only
// there, as it costs several times the fast routines' time.
int ScalerFlags(int w, int h) {
  return (w & 1) || (h & 1) ? SWS_BICUBIC | SWS_ACCURATE_RND : SWS_BICUBIC;
}

// sws_getCachedContext frees the old context when it makes a new one, so ownership passes through.
SwsContext *Cached(TSwsPtr &ctx, int w, int h, AVPixelFormat from, AVPixelFormat to) {
  SwsContext *c = ff::sws_getCachedContext(ctx.release(), w, h, from, w, h, to,
                                           ScalerFlags(w, h), nullptr, nullptr, nullptr);
  ctx.reset(c);
  return c;
}

}  // namespace

void TRgbConverter::Reset() {
  FBitmap = TBitmap();
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

bool TRgbConverter::ToBitmap(const AVFrame *picture) {
  const int w = picture->width, h = picture->height;
  if (FBitmap.Width() != w || FBitmap.Height() != h) FBitmap.SetSize(w, h);
  FConverted = NeedsConversion(picture);
  if (FConverted) {
    // Straight into the bitmap's rows, which leaves their padding as it is.
    SwsContext *c = Cached(FToRgb, w, h, static_cast<AVPixelFormat>(picture->format), BitmapFormat);
    if (!c) return false;
    uint8_t *const rows[4] = {FBitmap.ScanLine(0), nullptr, nullptr, nullptr};
    const int lines[4] = {FBitmap.LineSize(), 0, 0, 0};
    ff::sws_scale(c, picture->data, picture->linesize, 0, h, rows, lines);
    return true;
  }
  const int copy = std::min(picture->linesize[0], FBitmap.LineSize());
  for (int y = 0; y < h; ++y)
    std::memcpy(FBitmap.ScanLine(y), picture->data[0] + y * picture->linesize[0], copy);
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
  const uint8_t *const rows[4] = {FBitmap.ScanLine(0), nullptr, nullptr, nullptr};
  const int lines[4] = {FBitmap.LineSize(), 0, 0, 0};
  if (picture->format == BitmapFormat) {
    // Packed BGR of an odd size: the rows differ only in their padding.
    ff::av_image_copy(picture->data, picture->linesize, const_cast<const uint8_t **>(rows), lines,
                      BitmapFormat, w, h);
    return true;
  }
  SwsContext *c = Cached(FFromRgb, w, h, BitmapFormat, static_cast<AVPixelFormat>(picture->format));
  if (!c) return false;
  ff::sws_scale(c, rows, lines, 0, h, picture->data, picture->linesize);
  return true;
}
