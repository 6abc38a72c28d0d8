#include "player/FrameConverter.h"

#include <cstring>

#include "services/FFmpegApi.h"

void TSwsFree::operator()(SwsContext *ctx) const {
  ff::sws_freeContext(ctx);
}

namespace {

// sws_getCachedContext frees the old context itself when it makes a new one.
SwsContext *Cached(TSwsPtr &holder, int w, int h, AVPixelFormat from, AVPixelFormat to) {
  SwsContext *ctx = ff::sws_getCachedContext(holder.release(), w, h, from, w, h, to, SWS_BICUBIC,
                                             nullptr, nullptr, nullptr);
  holder.reset(ctx);
  return ctx;
}

}  // namespace

bool TFrameConverter::ToBitmap(const TPicturePlanes &src) {
  if (src.Width <= 0 || src.Height <= 0) return false;
  if (Bitmap.Width() != src.Width || Bitmap.Height() != src.Height)
    Bitmap.SetSize(src.Width, src.Height);
  SwsContext *ctx = Cached(FToRGB, src.Width, src.Height, src.Format, AV_PIX_FMT_BGR24);
  if (!ctx) return false;
  uint8_t *dst[4] = {Bitmap.ScanLine(0), nullptr, nullptr, nullptr};
  int dstStride[4] = {Bitmap.LineSize(), 0, 0, 0};
  ff::sws_scale(ctx, src.Data, src.Linesize, 0, src.Height, dst, dstStride);
  return true;
}

bool TFrameConverter::FromBitmap(const TPicturePlanes &dst) {
  if (Bitmap.Width() != dst.Width || Bitmap.Height() != dst.Height) return false;
  SwsContext *ctx = Cached(FFromRGB, dst.Width, dst.Height, AV_PIX_FMT_BGR24, dst.Format);
  if (!ctx) return false;
  const uint8_t *src[4] = {Bitmap.ScanLine(0), nullptr, nullptr, nullptr};
  int srcStride[4] = {Bitmap.LineSize(), 0, 0, 0};
  ff::sws_scale(ctx, src, srcStride, 0, dst.Height, dst.Data, dst.Linesize);
  return true;
}

void TFrameConverter::Reset() {
  Bitmap.SetSize(0, 0);
  FToRGB.reset();
  FFromRGB.reset();
}
