// Pre-processing of every decoded picture of one video input stream, before any output sees it:
// deinterlacing, the host's custom hook on a 24-bit bitmap, and external hook libraries.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/Deinterlacer.h"
#include "services/Bitmap.h"
#include "services/FFResources.h"
#include "services/FFmpegApi.h"

class TFrameHookList;
class TRgbConverter;

class TVideoInput {
 public:
  using THook = std::function<void(TBitmap &bitmap, int32_t frameNumber, int64_t pts, bool &update,
                                   bool &stopHook)>;

  struct TRequest {
    const void *Sender = nullptr;  // the engine, as the logger's sender
    bool Deinterlace = false;
    const THook *CustomHook = nullptr;   // null or empty: no custom hook
    TFrameHookList *Hooks = nullptr;     // null or empty: no hook libraries
    TRgbConverter *Converter = nullptr;  // the custom hook's converter
    int32_t *FrameCounter = nullptr;     // counts pre-processed pictures
  };

  // Pre-processes `picture` in place; `pts` is its time in µs.  Returns true when the custom hook
  // must be switched off for the rest of the run (it failed or asked to stop).
  bool Process(AVFrame *picture, int64_t pts, const TRequest &request);

 private:
  bool PrepareWorkPicture(const AVFrame *picture, const TRequest &request);
  bool RunCustomHook(int64_t pts, const TRequest &request);

  TDeinterlacer FDeinterlacer;
  TFramePtr FWork;  // the picture the hooks may write into
};
