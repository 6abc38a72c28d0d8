#include "player/VideoOutput.h"

#include <algorithm>
#include <cmath>

#include "player/AudioDecoder.h"
#include "player/FFPlay.h"
#include "player/Playback.h"
#include "player/SubtitleDecoder.h"
#include "player/VideoDecoder.h"
#include "services/FFmpegLogger.h"

namespace {
constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;
constexpr double LateDropMargin = 0.5;
}  // namespace

TVideoOutput::TVideoOutput(TCustomPlayer &owner) : FOwner(owner) {}

TVideoOutput::~TVideoOutput() = default;

bool TVideoOutput::HandleEvent(const SDL_Event &event, const std::shared_ptr<TPlayback> &playback) {
  TPlayback &pb = *playback;
  // Events of an earlier playback may still be queued: they are not ours.
  if (event.type >= FF_ALLOC_EVENT && event.type <= FF_REOPEN_EVENT &&
      event.user.data1 != playback.get())
    return true;
  // Once a stop is asked for, what lies in the queue before it is not drawn: a host that waits
  // for the window to be let go waits for one picture at most.
  if (pb.QuitRequested && event.type != SDL_QUIT && event.type != FF_QUIT_EVENT) return true;
  switch (event.type) {
    case SDL_QUIT:
    case FF_QUIT_EVENT: FOwner.ClosePlayback(playback); return false;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        FOwner.FScreenWidth = event.window.data1;
        FOwner.FScreenHeight = event.window.data2;
        if (FRenderer) ff::SDL_GetRendererOutputSize(FRenderer.get(), &FAreaWidth, &FAreaHeight);
        Refresh(pb, false);
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        Refresh(pb, false);
      }
      return true;
    case FF_ALLOC_EVENT:
      OpenOutput(pb, false);
      AllocatePicture(pb);
      return true;
    case FF_REFRESH_EVENT:
      Refresh(pb, true);
      pb.RefreshPending = false;
      return true;
    case FF_REOPEN_EVENT:
      OpenOutput(pb, true);
      Draw(pb);
      return true;
    case SDL_KEYDOWN:
      if (FOwner.OnKeyDown && !FOwner.FDetached) FOwner.OnKeyDown(&FOwner, event.key.keysym.sym);
      return true;
    default: return true;
  }
}

// Opens (or resizes) the output; false when there is none to draw on.
bool TVideoOutput::OpenOutput(TPlayback &pb, bool forced) {
  if (FOwner.FDisableDisplay) return false;
  int w = FOwner.FScreenWidth, h = FOwner.FScreenHeight;
  if (w <= 0 || h <= 0) {
    w = pb.Video ? pb.Video->SinkWidth() & ~1 : 0;
    h = pb.Video ? pb.Video->SinkHeight() & ~1 : 0;
  }
  if (w <= 0 || h <= 0) {
    w = DefaultWidth;
    h = DefaultHeight;
  }
  if (!forced && FRenderer && FAreaWidth == w && FAreaHeight == h) return true;
  if (!FWindow) {
    FWindow.reset(FOwner.FScreenHandle
                      ? ff::SDL_CreateWindowFrom(reinterpret_cast<void *>(FOwner.FScreenHandle))
                      : ff::SDL_CreateWindow("FFPlayer", SDL_WINDOWPOS_UNDEFINED,
                                             SDL_WINDOWPOS_UNDEFINED, w, h, SDL_WINDOW_RESIZABLE));
  } else if (!FOwner.FScreenHandle) {
    ff::SDL_SetWindowSize(FWindow.get(), w, h);
  }
  if (FWindow && !FRenderer) {
    FRenderer.reset(ff::SDL_CreateRenderer(FWindow.get(), -1, 0));
    if (!FRenderer)
      FRenderer.reset(ff::SDL_CreateRenderer(FWindow.get(), -1, SDL_RENDERER_SOFTWARE));
  }
  if (!FWindow || !FRenderer) {
    FOwner.ReportError("SDL: could not set video mode.", false);
    return false;
  }
  ff::SDL_GetRendererOutputSize(FRenderer.get(), &FAreaWidth, &FAreaHeight);
  // Our own window may not get the size we asked for; the host's window has its own size.
  if (FOwner.FScreenHandle || FOwner.FScreenWidth <= 0) {
    FOwner.FScreenWidth = FAreaWidth;
    FOwner.FScreenHeight = FAreaHeight;
  }
  return true;
}

void TVideoOutput::AllocatePicture(TPlayback &pb) {
  TVideoDecoder &video = *pb.Video;
  std::lock_guard lock(video.PictLock);
  TVideoPicture &vp = video.Pictures[video.WIndex];
  vp.Width = video.SinkWidth() & ~1;
  vp.Height = video.SinkHeight() & ~1;
  vp.Allocated = true;
  video.PictCond.notify_all();
}

void TVideoOutput::Refresh(TPlayback &pb, bool advance) {
  if (!pb.HasVideo()) {
    if (pb.HasAudio()) {
      Draw(pb);
      FOwner.ReportPosition(pb);
    }
    return;
  }
  TVideoDecoder &video = *pb.Video;
  bool dropped = false, shown = false;
  std::unique_lock lock(video.PictLock);
  while (advance && video.Count > 0) {
    TVideoPicture &vp = video.Pictures[video.RIndex];
    const double now = NowSeconds();
    if (now < vp.TargetClock) return;  // not due yet: nothing drawn, nothing reported
    pb.VideoCurrentPts = vp.Pts;
    pb.VideoCurrentPtsDrift = vp.Pts - now;
    pb.VideoCurrentPos = vp.Pos;
    const double nextTarget =
        video.Count > 1
            ? video.Pictures[(video.RIndex + 1) % TVideoDecoder::PictureQueueSize].TargetClock
            : vp.TargetClock + video.DecodeClock() - vp.Pts;
    if ((now > nextTarget && !pb.IsCapture) || pb.AfterSeekDrop) {
      video.SkipFactor *= 1.05f;
      if (video.Count > 1 || now > nextTarget + LateDropMargin || pb.AfterSeekDrop) {
        video.RIndex = (video.RIndex + 1) % TVideoDecoder::PictureQueueSize;
        --video.Count;
        video.PictCond.notify_all();
        dropped = true;
        continue;
      }
    }
    const double nextPts =
        video.Count > 1 ? video.Pictures[(video.RIndex + 1) % TVideoDecoder::PictureQueueSize].Pts
                        : -1;
    lock.unlock();  // the slot stays ours until it is counted out
    ExpireSubtitles(pb, vp.Pts, nextPts);
    ShowPicture(pb, vp);
    shown = true;
    lock.lock();
    video.RIndex = (video.RIndex + 1) % TVideoDecoder::PictureQueueSize;
    --video.Count;
    video.PictCond.notify_all();
    break;
  }
  lock.unlock();
  if (!advance) Draw(pb);
  // A refresh that only dropped pictures says nothing; one that showed a picture after dropping
  // late ones reports it, or a display that cannot keep up would freeze the position.
  if (shown || !dropped) FOwner.ReportPosition(pb);
}

void TVideoOutput::ExpireSubtitles(TPlayback &pb, double pictureTime, double nextPictureTime) {
  if (!pb.Subtitle) return;
  TSubtitleDecoder &subs = *pb.Subtitle;
  std::lock_guard lock(subs.SubLock);
  if (subs.StreamChanged) {
    while (subs.Count > 0) subs.PopLocked();
    subs.StreamChanged = false;
    return;
  }
  while (subs.Count > 0) {
    const TSubPicture &sp = subs.Subs[subs.RIndex];
    const bool ended = pictureTime > sp.Pts + sp.Sub.end_display_time / 1000.0;
    bool nextStarted = false;
    if (subs.Count > 1) {
      const TSubPicture &next = subs.Subs[(subs.RIndex + 1) % TSubtitleDecoder::QueueSize];
      nextStarted =
          nextPictureTime >= 0 && nextPictureTime > next.Pts + next.Sub.start_display_time / 1000.0;
    }
    if (!ended && !nextStarted) break;
    subs.PopLocked();
  }
}

void TVideoOutput::BlendSubtitles(TPlayback &pb, TVideoPicture &vp) {
  if (!pb.Subtitle) return;
  TSubtitleDecoder &subs = *pb.Subtitle;
  std::lock_guard lock(subs.SubLock);
  if (subs.Count == 0) return;
  const TSubPicture &sp = subs.Subs[subs.RIndex];
  if (vp.Pts < sp.Pts + sp.Sub.start_display_time / 1000.0) return;
  if (ff::av_frame_make_writable(vp.Frame.get()) < 0) return;
  for (unsigned i = 0; i < sp.Sub.num_rects; ++i)
    BlendSubtitleRect(vp.Frame->data, vp.Frame->linesize, vp.Frame->width, vp.Frame->height,
                      *sp.Sub.rects[i]);
}

void TVideoOutput::ShowPicture(TPlayback &pb, TVideoPicture &vp) {
  BlendSubtitles(pb, vp);
  FOwner.RememberShown(vp.Frame.get(), vp.Pts);
  if (!FRenderer && !OpenOutput(pb, false)) return;
  if (!FTexture || FTextureWidth != vp.Width || FTextureHeight != vp.Height) {
    FTexture.reset(ff::SDL_CreateTexture(FRenderer.get(), SDL_PIXELFORMAT_IYUV,
                                         SDL_TEXTUREACCESS_STREAMING, vp.Width, vp.Height));
    FTextureWidth = vp.Width;
    FTextureHeight = vp.Height;
  }
  if (!FTexture || !vp.Frame->data[0]) return;
  ff::SDL_UpdateYUVTexture(FTexture.get(), nullptr, vp.Frame->data[0], vp.Frame->linesize[0],
                           vp.Frame->data[1], vp.Frame->linesize[1], vp.Frame->data[2],
                           vp.Frame->linesize[2]);
  FPictureSar = vp.Frame->sample_aspect_ratio;
  FHavePicture = true;
  PresentPicture();
}

void TVideoOutput::Draw(TPlayback &pb) {
  if (!FRenderer && !OpenOutput(pb, false)) return;
  if (pb.HasAudio() && pb.DisplayMode == 1)
    DrawWaveform(pb);
  else if (pb.HasVideo())
    PresentPicture();
}

double TVideoOutput::DisplayAspect() const {
  const float forced = FOwner.FAspectRatio;
  if (forced < 0 && FAreaWidth > 0 && FAreaHeight > 0)
    return static_cast<double>(FAreaWidth) / FAreaHeight;
  if (forced > 0) return forced;
  double sar = FPictureSar.num > 0 && FPictureSar.den > 0 ? av_q2d(FPictureSar) : 1.0;
  if (sar <= 0) sar = 1.0;
  return FTextureHeight > 0 ? sar * FTextureWidth / FTextureHeight : 1.0;
}

SDL_Rect TVideoOutput::FitRect(int areaWidth, int areaHeight, double aspect) {
  int height = areaHeight;
  int width = static_cast<int>(std::lround(height * aspect)) & ~1;
  if (width > areaWidth) {
    width = areaWidth;
    height = static_cast<int>(std::lround(width / aspect)) & ~1;
  }
  return SDL_Rect{(areaWidth - width) / 2, (areaHeight - height) / 2, width, height};
}

void TVideoOutput::PresentPicture() {
  if (!FRenderer) return;
  ff::SDL_SetRenderDrawColor(FRenderer.get(), 0, 0, 0, 255);
  ff::SDL_RenderClear(FRenderer.get());
  if (FHavePicture && FTexture) {
    const SDL_Rect rect = FitRect(FAreaWidth, FAreaHeight, DisplayAspect());
    ff::SDL_RenderCopy(FRenderer.get(), FTexture.get(), nullptr, &rect);
  }
  ff::SDL_RenderPresent(FRenderer.get());
}

// An oscilloscope trace of the sound being played, one band per channel.
void TVideoOutput::DrawWaveform(TPlayback &pb) {
  if (!FRenderer || !pb.Audio) return;
  TAudioDecoder &audio = *pb.Audio;
  const int channels = std::max(audio.Channels(), 1);
  const int ring = TAudioDecoder::WaveSamples;
  int writeIndex = 0, pending = 0;
  int64_t callbackTime = 0;
  audio.WaveSnapshot(FWave, writeIndex, pending, callbackTime);
  auto at = [&](int index) { return static_cast<int>(FWave[((index % ring) + ring) % ring]); };
  if (!pb.Paused) {
    // Start where the device is now, then look back for a rising edge to keep the trace still.
    int delay = pending / (2 * channels);
    if (callbackTime > 0)
      delay -= static_cast<int>((ff::av_gettime_relative() - callbackTime) * audio.SampleRate() /
                                1000000);
    delay += 2 * FAreaWidth;
    delay = std::max(delay, FAreaWidth);
    int start = ((writeIndex - delay * channels) % ring + ring) % ring;
    int bestDiff = 0;
    const int base = start;
    for (int i = 0; i < 1000; i += channels) {
      const int idx = ((base - i) % ring + ring) % ring;
      const int a = at(idx), b = at(idx + 4 * channels), c = at(idx + 5 * channels),
                d = at(idx + 9 * channels);
      if (a - d > bestDiff && b * c < 0) {
        bestDiff = a - d;
        start = idx;
      }
    }
    FWaveStart = start;
  }
  ff::SDL_SetRenderDrawColor(FRenderer.get(), 0, 0, 0, 255);
  ff::SDL_RenderClear(FRenderer.get());
  ff::SDL_SetRenderDrawColor(FRenderer.get(), 255, 255, 255, 255);
  const int band = FAreaHeight / channels;
  const int factor = band * 9 / 20;
  for (int ch = 0; ch < channels; ++ch) {
    const int centre = band * ch + band / 2;
    int index = FWaveStart + ch;
    for (int x = 0; x < FAreaWidth; ++x) {
      const int y = (at(index) * factor) >> 15;
      ff::SDL_RenderDrawLine(FRenderer.get(), x, centre, x, centre + y);
      index += channels;
    }
  }
  for (int ch = 1; ch < channels; ++ch)
    ff::SDL_RenderDrawLine(FRenderer.get(), 0, band * ch, FAreaWidth - 1, band * ch);
  ff::SDL_RenderPresent(FRenderer.get());
}
