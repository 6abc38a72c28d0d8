// The preview step of the video path: at most one picture per period goes to the host's preview
// callback as a bitmap, or to the preview window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "services/Bitmap.h"
#include "services/FFmpegApi.h"

class TRgbConverter;

// Bits of the preview flags.
constexpr uint8_t PreviewToWindow = 1;    // show pictures in the preview window
constexpr uint8_t PreviewToCallback = 2;  // raise the preview-bitmap callback

// The window the engine shows pictures in; made by the host's factory on first use.
class TPreviewer {
 public:
  virtual ~TPreviewer() = default;
  // False when the window cannot show pictures (the engine then stops sending them).
  virtual bool Show(const TBitmap &bitmap, int32_t frameNumber, int64_t pts) = 0;
};
using TPreviewerFactory = std::function<std::unique_ptr<TPreviewer>()>;

struct TPreviewContext {
  const void *Sender = nullptr;
  std::mutex *Lock = nullptr;   // the preview lock
  uint8_t *Flags = nullptr;     // the engine's preview flags, guarded by Lock
  int64_t *LastTime = nullptr;  // wall clock of the last preview (µs)
  int64_t Period = 100000;
  int32_t FrameNumber = 0;
  TRgbConverter *Converter = nullptr;
  std::function<void(TBitmap &bitmap, int32_t frameNumber, int64_t pts)> BitmapCallback;
  // The preview window: made on first use by the host's factory, freed when bit 0 is cleared.
  std::function<bool(const TBitmap &bitmap, int32_t frameNumber, int64_t pts)> ShowInWindow;
  std::function<void()> FreeWindow;
};

// One preview step for the picture about to be written (pts in µs).  `now` is the wall clock in
// µs (av_gettime when not given).  The flags are read and the picture converted under the preview
// lock; the callback, the window and the freeing of the window are called after releasing it,
// since they may wait for the main thread, and the main thread may be changing the flags.
void RunPreviewStep(const AVFrame *picture, int64_t pts, TPreviewContext &context,
                    int64_t now = -1);
