#include "engine/Preview.h"

#include "services/FFmpegLogger.h"
#include "services/RgbConverter.h"

namespace {

bool Convert(const AVFrame *picture, TPreviewContext &context) {
  if (context.Converter->ToBitmap(picture)) return true;
  FFLogger().Log(context.Sender, TLogLevel::llError,
                 "Cannot initialize the toRGB conversion context");
  return false;
}

bool ShowInWindow(TPreviewContext &context, int64_t pts) {
  return context.ShowInWindow &&
         context.ShowInWindow(context.Converter->Bitmap(), context.FrameNumber, pts);
}

}  // namespace

void RunPreviewStep(const AVFrame *picture, int64_t pts, TPreviewContext &context, int64_t now) {
  if (now < 0) now = ff::av_gettime();
  std::unique_lock lock(*context.Lock);
  uint8_t &flags = *context.Flags;
  uint8_t target = 0;
  if ((flags & PreviewToCallback) && context.BitmapCallback)
    target = PreviewToCallback;
  else if (flags & PreviewToWindow)
    target = PreviewToWindow;
  if (target) {
    if (now - *context.LastTime <= context.Period) return;
    *context.LastTime = now;
    bool delivered = Convert(picture, context);
    if (delivered) {
      lock.unlock();
      if (target == PreviewToCallback)
        context.BitmapCallback(context.Converter->Bitmap(), context.FrameNumber, pts);
      else
        delivered = ShowInWindow(context, pts);
      lock.lock();
    }
    if (!delivered) flags &= ~target;
  }
  const bool windowWanted = flags & PreviewToWindow;
  lock.unlock();
  // Without the window bit the window is not needed any more.
  if (!windowWanted && context.FreeWindow) context.FreeWindow();
}
