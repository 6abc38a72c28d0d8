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
  uint8_t &flags = *context.Flags;
  if (now < 0) now = ff::av_gettime();
  const bool due = now - *context.LastTime > context.Period;
  if ((flags & PreviewToCallback) && context.BitmapCallback) {
    if (!due) return;
    if (Convert(picture, context))
      context.BitmapCallback(context.Converter->Bitmap(), context.FrameNumber, pts);
    else
      flags &= ~PreviewToCallback;
    *context.LastTime = now;
  } else if (flags & PreviewToWindow) {
    if (!due) return;
    if (!Convert(picture, context) || !ShowInWindow(context, pts)) flags &= ~PreviewToWindow;
    *context.LastTime = now;
  }
  // Without the window bit the window is not needed any more.
  if (!(flags & PreviewToWindow) && context.FreeWindow) context.FreeWindow();
}
