#include "services/component/Previewer.h"

#include "platform/MainThread.h"
#include "services/AVProbe.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

TSDLPreviewer::TSDLPreviewer() = default;

TSDLPreviewer::~TSDLPreviewer() {
  // Windows belong to the thread that made them: tear down there too.
  RunInMainThread([this] {
    FTexture.reset();
    FRenderer.reset();
    FWindow.reset();
    if (FVideoStarted) ff::SDL_QuitSubSystem(SDL_INIT_VIDEO);
  });
}

bool TSDLPreviewer::Show(const TBitmap &bitmap, int32_t frameNumber, int64_t pts) {
  if (FClosed) return false;
  {
    std::lock_guard lock(FLock);
    FBitmap = bitmap;
    FFrameNumber = frameNumber;
    FPts = pts;
  }
  RunInMainThread([this] { Display(); });
  return !FClosed;
}

std::string TSDLPreviewer::Caption() const {
  return FWindow ? ff::SDL_GetWindowTitle(FWindow.get()) : std::string();
}

void TSDLPreviewer::CreateWindow(int width, int height) {
  if (!FVideoStarted) {
    if (ff::SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      FClosed = true;  // no display to show pictures on
      return;
    }
    FVideoStarted = true;
  }
  FWindow.reset(ff::SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                     height, SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_UTILITY));
  if (FWindow) FRenderer.reset(ff::SDL_CreateRenderer(FWindow.get(), -1, 0));
  if (!FWindow || !FRenderer) FClosed = true;
}

void TSDLPreviewer::PollClose() {
  // Only this window's close request is taken out of the queue; everything else stays.
  SDL_Event events[16];
  ff::SDL_PumpEvents();
  const int n = ff::SDL_PeepEvents(events, 16, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  const uint32_t id = ff::SDL_GetWindowID(FWindow.get());
  for (int i = 0; i < n; ++i)
    if (events[i].window.windowID == id && events[i].window.event == SDL_WINDOWEVENT_CLOSE)
      FClosed = true;
  if (FClosed) ff::SDL_FlushEvent(SDL_WINDOWEVENT);
}

void TSDLPreviewer::Display() {
  if (FClosed) return;
  std::lock_guard lock(FLock);
  if (!FWindow) CreateWindow(FBitmap.Width(), FBitmap.Height());
  if (FClosed || !FWindow) return;
  PollClose();
  if (FClosed) return;
  ff::SDL_SetWindowTitle(FWindow.get(), FormatMediaTime(FPts).c_str());
  if (!FTexture || FTextureWidth != FBitmap.Width() || FTextureHeight != FBitmap.Height()) {
    FTexture.reset(ff::SDL_CreateTexture(FRenderer.get(), SDL_PIXELFORMAT_BGR24,
                                         SDL_TEXTUREACCESS_STREAMING, FBitmap.Width(),
                                         FBitmap.Height()));
    FTextureWidth = FBitmap.Width();
    FTextureHeight = FBitmap.Height();
  }
  if (!FTexture) return;
  ff::SDL_UpdateTexture(FTexture.get(), nullptr, FBitmap.ScanLine(0), FBitmap.LineSize());
  ff::SDL_RenderCopy(FRenderer.get(), FTexture.get(), nullptr, nullptr);
  ff::SDL_RenderPresent(FRenderer.get());
}

std::unique_ptr<TPreviewer> CreateSDLPreviewer() {
  bool loaded = false;
  RunInMainThread([&] { loaded = FFLoader().LoadLib(TLibraryKind::SDL); });
  if (!loaded) return nullptr;
  return std::make_unique<TSDLPreviewer>();
}
