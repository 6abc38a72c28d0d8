#include "engine/VideoInput.h"

#include <exception>
#include <string>

#include "engine/FrameHook.h"
#include "services/FFmpegLogger.h"
#include "services/RgbConverter.h"

// Hooks must never write into the decoder's buffers (the decoder may still refer to them), so the
// work picture is either the deinterlacer's output or a private copy of the decoded one.
bool TVideoInput::PrepareWorkPicture(const AVFrame *picture, const TRequest &request) {
  if (!FWork) FWork.reset(ff::av_frame_alloc());
  if (!FWork) return false;
  if (request.Deinterlace) {
    if (FDeinterlacer.Process(picture, FWork.get()) && ff::av_frame_make_writable(FWork.get()) >= 0)
      return true;
    FFLogger().Log(request.Sender, TLogLevel::llError, "Deinterlacing failed.");
  }
  ff::av_frame_unref(FWork.get());
  return ff::av_frame_ref(FWork.get(), picture) >= 0 &&
         ff::av_frame_make_writable(FWork.get()) >= 0;
}

bool TVideoInput::Process(AVFrame *picture, int64_t pts, const TRequest &request) {
  if (request.FrameCounter) ++*request.FrameCounter;
  const bool customHook = request.CustomHook && *request.CustomHook;
  const bool hookLibraries = request.Hooks && !request.Hooks->Empty();
  if (!request.Deinterlace && !customHook && !hookLibraries) return false;
  if (!PrepareWorkPicture(picture, request)) {
    if (FWork) ff::av_frame_unref(FWork.get());
    FFLogger().Log(request.Sender, TLogLevel::llError, "hook buf malloc error.");
    return false;
  }
  bool disable = false;
  if (customHook)
    disable = RunCustomHook(pts, request);
  else if (hookLibraries)
    request.Hooks->Process(FWork.get(), pts);
  ff::av_frame_unref(picture);
  ff::av_frame_move_ref(picture, FWork.get());
  return disable;
}

bool TVideoInput::RunCustomHook(int64_t pts, const TRequest &request) {
  TRgbConverter &converter = *request.Converter;
  if (!converter.ToBitmap(FWork.get())) {
    FFLogger().Log(request.Sender, TLogLevel::llError,
                   "Cannot initialize the toRGB conversion context");
    return true;
  }
  bool update = true, stopHook = false;
  try {
    (*request.CustomHook)(converter.Bitmap(), request.FrameCounter ? *request.FrameCounter : 0, pts,
                          update, stopHook);
  } catch (const std::exception &e) {
    FFLogger().Log(request.Sender, TLogLevel::llError,
                   std::string("Error occurs OnCustomHook: ") + e.what());
    update = false;
  } catch (...) {
    FFLogger().Log(request.Sender, TLogLevel::llError, "Error occurs OnCustomHook: unknown error");
    update = false;
  }
  if (update && !converter.FromBitmap(FWork.get())) {
    FFLogger().Log(request.Sender, TLogLevel::llError,
                   "Cannot initialize the fromRGB conversion context");
    stopHook = true;
  }
  return stopHook;
}
