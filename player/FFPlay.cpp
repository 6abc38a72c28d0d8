#include "player/FFPlay.h"

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/MainThread.h"
#include "player/AudioDecoder.h"
#include "player/Playback.h"
#include "player/VideoDecoder.h"
#include "player/VideoOutput.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/RgbConverter.h"
#include "services/UnicodeProtocol.h"

using namespace std::chrono_literals;

namespace {

constexpr int64_t PositionStep = 10000;  // microseconds
constexpr auto SeekWaitLimit = 10s;
// How long a play loop waits for the one before it; past that it runs beside it, as two players
// holding files at once do.
constexpr std::chrono::milliseconds PlayLoopWait = 3s;

// SDL's event queue is the process's, and a play loop drops the events of other playbacks: one
// loop at a time takes from it.  A player that stops without waiting (its loop still draws and
// closes its sound) lets the next player open meanwhile; the next loop starts once it has ended.
class TPlayLoopGate {
 public:
  static TPlayLoopGate &Instance() {
    static TPlayLoopGate gate;
    return gate;
  }
  bool Enter(std::chrono::milliseconds limit) {
    std::unique_lock lock(FLock);
    if (!FFree.wait_for(lock, limit, [this] { return !FTaken; })) return false;
    FTaken = true;
    return true;
  }
  void Leave() {
    {
      std::lock_guard lock(FLock);
      FTaken = false;
    }
    FFree.notify_one();
  }

 private:
  std::mutex FLock;
  std::condition_variable FFree;
  bool FTaken = false;
};

// A play loop's turn at the gate, left when the loop ends.
class TPlayLoopTurn {
 public:
  TPlayLoopTurn() : FEntered(TPlayLoopGate::Instance().Enter(PlayLoopWait)) {}
  ~TPlayLoopTurn() {
    if (FEntered) TPlayLoopGate::Instance().Leave();
  }
  TPlayLoopTurn(const TPlayLoopTurn &) = delete;
  TPlayLoopTurn &operator=(const TPlayLoopTurn &) = delete;
  bool Entered() const { return FEntered; }

 private:
  const bool FEntered;
};

// Tries to take `lock` for at most `limit`.  Polled rather than a timed mutex's try_lock_for,
// whose wait (pthread_mutex_clocklock) the thread sanitizer of this toolchain does not see, so
// that every later unlock would be reported as the unlock of a free mutex.
bool TryLockFor(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!lock.try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Waits for `done` in slices, keeping the main thread's marshalled calls going.
template <typename Pred>
bool WaitServing(Pred done, std::chrono::milliseconds slice) {
  if (done()) return true;
  ServeMainThread(slice);
  return done();
}

// Stop's waits sleep in slices that only a call queued for the main thread cuts short; an empty
// call, queued once what they wait for is done, lets Stop go on at once instead of at the
// slice's end.
void WakeMainThread() {
  PostToMainThread([] {});
}

}  // namespace

TCustomPlayer::TCustomPlayer() : FLastPosition(AV_NOPTS_VALUE) {}

TCustomPlayer::~TCustomPlayer() {
  FDetached = true;
  FAlive.reset();
  Stop(true);
}

bool TCustomPlayer::AVLibLoaded() const {
  return FFLoader().LibsLoaded(PlayerLibs);
}

bool TCustomPlayer::LoadAVLib(const std::wstring &folder) {
  FFLoader().SetLibraryPath(WideToUTF8(folder));
  if (FFLoader().LoadLibs(PlayerLibs)) return true;
  FLastErrMsg = FFLoader().LastErrMsg();
  return false;
}

std::shared_ptr<TPlayback> TCustomPlayer::Current() const {
  std::lock_guard lock(FPlaybackLock);
  return FPlayback;
}

void TCustomPlayer::SetCurrent(std::shared_ptr<TPlayback> playback) {
  std::lock_guard lock(FPlaybackLock);
  FPlayback = std::move(playback);
}

bool TCustomPlayer::Playing() const {
  return Current() != nullptr;
}

bool TCustomPlayer::IsPaused() const {
  const auto pb = Current();
  return pb && pb->Paused;
}

void TCustomPlayer::SetAspectRatio(float value) {
  if (FAspectRatio == value) return;
  FAspectRatio = value;
  if (const auto pb = Current()) pb->PushEvent(FF_REOPEN_EVENT);
}

void TCustomPlayer::SetAudioVolume(TAudioVolume value) {
  FAudioVolume = std::clamp(value, 0, MaxAudioVolume);
}

// --- open ---------------------------------------------------------------------------------

bool TCustomPlayer::Open(const std::wstring &fileName, uintptr_t screenHandle, bool startPaused) {
  const auto playback = BeginOpen(fileName, screenHandle, startPaused, nullptr);
  return playback && EndOpen(playback);
}

bool TCustomPlayer::OpenAsync(const std::wstring &fileName, uintptr_t screenHandle,
                              bool startPaused, std::function<void(bool)> opened) {
  // The reader tells the main thread; the call there finds out whether this player still exists
  // and still wants that playback.
  auto finish = std::make_shared<std::function<void()>>();
  const auto playback = BeginOpen(fileName, screenHandle, startPaused,
                                  [finish] { PostToMainThread([finish] { (*finish)(); }); });
  if (!playback) return false;
  FOpening = playback;
  *finish = [this, alive = std::weak_ptr<int>(FAlive), weak = std::weak_ptr(playback),
             opened = std::move(opened)] {
    const auto pb = weak.lock();
    if (alive.expired() || !pb || FOpening != pb) return;  // cancelled
    FOpening.reset();
    const bool result = EndOpen(pb);
    if (opened) opened(result);
  };
  return true;
}

std::shared_ptr<TPlayback> TCustomPlayer::BeginOpen(const std::wstring &fileName,
                                                    uintptr_t screenHandle, bool startPaused,
                                                    std::function<void()> opened) {
  if (!AVLibLoaded()) {
    ReportError("libav or libsdl not loaded.", true);
    return nullptr;
  }
  Stop(true);
  FLastErrMsg.clear();
  if (!StartSDL(screenHandle)) {
    char text[512];
    std::snprintf(text, sizeof text, "Could not initialize SDL with ScreenHandle(%u): %s",
                  static_cast<unsigned>(screenHandle), ff::SDL_GetError());
    ReportError(text, true);
    return nullptr;
  }
  if (FDisableDisplay) {
    FDisableVideo = true;
  } else if (!ff::SDL_GetCurrentVideoDriver()) {
    ReportError("SDL_GetVideoInfo() failed", true);
    QuitSDL();
    return nullptr;
  }
  ff::SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
  ff::SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);

  FScreenHandle = screenHandle;
  FOutput = std::make_unique<TVideoOutput>(*this);
  FSeekDone.Set();
  FFrameReady.Set();
  // Reset before the decoder starts: the hook converter is used on its thread.
  if (FSnapshot) FSnapshot->Reset();
  if (FHookConverter) FHookConverter->Reset();
  auto playback = std::make_shared<TPlayback>(*this, fileName, startPaused);
  if (!playback->Launch(std::move(opened))) {
    FOutput.reset();
    QuitSDL();
    return nullptr;
  }
  return playback;
}

bool TCustomPlayer::EndOpen(const std::shared_ptr<TPlayback> &playback) {
  if (!playback->Finish()) {
    FOutput.reset();
    QuitSDL();
    return false;
  }
  SetCurrent(playback);
  FFileName = playback->FileName;
  FProbe.AttachContext(playback->Format);
  FireFileOpen(*playback);

  FEvents.Clear();
  FEventThreadDone = false;
  FPlayStopped.Reset();
  FOutputReleased.Reset();
  FEventThread = std::thread(&TCustomPlayer::EventThreadMain, this);
  FPlayThread = std::thread(&TCustomPlayer::PlayThreadMain, this);
  return true;
}

void TCustomPlayer::CancelOpening() {
  // The reader gives up its opening (the input's interrupt callback), and the playback is
  // closed; the posted end of the opening finds it cancelled.
  const auto pending = std::exchange(FOpening, nullptr);
  if (!pending) return;
  pending->Close();
  FOutput.reset();
  QuitSDL();
}

// --- drivers ------------------------------------------------------------------------------

namespace {

// What the other platform's drivers stand for here: its sound server and its plain device
// interface; for pictures there is one window system, whatever the drawing method was.
const std::pair<TAudioDriver, const char *> AudioDriverNames[] = {
    {TAudioDriver::adDefault, ""},
    {TAudioDriver::adDirectSound, "pulseaudio"},
    {TAudioDriver::adWaveOut, "alsa"}};
const std::pair<TVideoDriver, const char *> VideoDriverNames[] = {
    {TVideoDriver::vdDefault, ""},
    {TVideoDriver::vdDirectDraw, "x11"},
    {TVideoDriver::vdGDI, "x11"}};

template <typename E, size_t N>
E DriverOf(const std::pair<E, const char *> (&table)[N], const std::string &name) {
  for (const auto &[driver, text] : table)
    if (name == text) return driver;
  return table[0].first;
}

template <typename E, size_t N>
const char *NameOf(const std::pair<E, const char *> (&table)[N], E driver) {
  for (const auto &[d, text] : table)
    if (d == driver) return text;
  return "";
}

// The driver SDL is to start with, for the start-up only: SDL reads it from its hints (which
// override the environment) while it initialises, and the hint is taken back afterwards, so that
// nothing is left behind for a later Open or for another SDL user in the process.
class TDriverChoice {
 public:
  TDriverChoice(const char *hint, const std::string &name) : FHint(hint), FSet(!name.empty()) {
    if (FSet) ff::SDL_SetHintWithPriority(FHint, name.c_str(), SDL_HINT_OVERRIDE);
  }
  ~TDriverChoice() {
    if (FSet) ff::SDL_ResetHint(FHint);
  }
  TDriverChoice(const TDriverChoice &) = delete;
  TDriverChoice &operator=(const TDriverChoice &) = delete;

 private:
  const char *FHint;
  bool FSet;
};

}  // namespace

TAudioDriver TCustomPlayer::AudioDriver() const {
  return DriverOf(AudioDriverNames, FAudioDriverName);
}

void TCustomPlayer::SetAudioDriver(TAudioDriver value) {
  FAudioDriverName = NameOf(AudioDriverNames, value);
}

TVideoDriver TCustomPlayer::VideoDriver() const {
  return DriverOf(VideoDriverNames, FVideoDriverName);
}

void TCustomPlayer::SetVideoDriver(TVideoDriver value) {
  FVideoDriverName = NameOf(VideoDriverNames, value);
}

bool TCustomPlayer::StartSDL(uintptr_t handle) {
  // The host owns the process's signals; SDL must not turn Ctrl+C into its own quit event.
  ff::SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // No OpenGL on a window the host owns: SDL is shut down after every file, and the next file's
  // SDL_CreateWindowFrom then crashes inside the GL library, whose state for the closed display
  // outlives it.  The software renderer draws a host's small panel just as well.
  ff::SDL_SetHint("SDL_VIDEO_FOREIGN_WINDOW_OPENGL", "0");
  Uint32 flags = SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_EVENTS;
  if (!FDisableDisplay) flags |= SDL_INIT_VIDEO;  // sound only needs no display at all
  {
    const TDriverChoice audio(SDL_HINT_AUDIODRIVER, FAudioDriverName);
    const TDriverChoice video(SDL_HINT_VIDEODRIVER, FVideoDriverName);
    if (ff::SDL_Init(flags) != 0) return false;
  }
  FSdlFlags = flags;
  if (handle) {
    const char *audio = ff::SDL_GetCurrentAudioDriver();
    const char *video = ff::SDL_GetCurrentVideoDriver();
    FFLogger().LogFmt(this, TLogLevel::llDebug, "using audio driver: %s\n", audio ? audio : "");
    FFLogger().LogFmt(this, TLogLevel::llDebug, "using video driver: %s\n", video ? video : "");
  }
  return true;
}

void TCustomPlayer::QuitSDL() {
  // Only what this player started, counted by SDL: a player that never opened a file (or whose
  // file is closed already) leaves SDL to another player that may still be finishing.
  if (FSdlFlags && FFLoader().LibLoaded(TLibraryKind::SDL)) ff::SDL_QuitSubSystem(FSdlFlags);
  FSdlFlags = 0;
}

void TCustomPlayer::FireFileOpen(TPlayback &pb) {
  const TFileOpenEvent handler = OnFileOpen.Get();
  if (!handler || FDetached) return;
  const int64_t duration = pb.IsImage2 ? 0 : pb.Duration;
  const int width = pb.Video ? pb.Video->FrameWidth() : -1;
  const int height = pb.Video ? pb.Video->FrameHeight() : -1;
  auto fire = [&] {
    int screenWidth = FScreenWidth, screenHeight = FScreenHeight;
    handler(this, duration, width, height, screenWidth, screenHeight);
    FScreenWidth = screenWidth;
    FScreenHeight = screenHeight;
  };
  if (FTriggerEventInMainThread)
    RunInMainThread(fire);
  else
    fire();
}

// --- pause, seek --------------------------------------------------------------------------

void TCustomPlayer::Pause() {
  const auto pb = Current();
  if (!pb || pb->Paused) return;
  pb->TogglePause();
  ReportState(TPlayState::psPause);
}

void TCustomPlayer::Resume() {
  const auto pb = Current();
  if (!pb || !pb->Paused) return;
  pb->TogglePause();
  ReportState(TPlayState::psResume);
}

void TCustomPlayer::Seek(TSeekFlagSet flags, bool wait, int64_t position) {
  const auto pb = Current();
  if (!pb) return;
  if (flags & skByte) {
    RequestSeek(*pb, position, 0, flags, wait);
    return;
  }
  if (pb->Duration > 0) position = std::min(position, pb->Duration);
  const int64_t relative = position <= 0 ? 1 : 0;
  RequestSeek(*pb, position + pb->StartTime, relative, flags, wait);
}

void TCustomPlayer::SeekRelative(TSeekFlagSet flags, bool wait, double offset) {
  const auto pb = Current();
  if (!pb) return;
  if (flags & skByte) {
    const int64_t rate = pb->BitRate();
    const double bytes = rate ? offset * rate / 8.0 : offset * 180000.0;
    RequestSeek(*pb, pb->BytePosition() + std::llround(bytes), std::llround(bytes), flags, wait);
    return;
  }
  const int64_t target = std::llround((pb->MasterClock() + offset) * 1000000.0);
  RequestSeek(*pb, target, std::llround(offset * 1000000.0), flags, wait);
}

void TCustomPlayer::RequestSeek(TPlayback &pb, int64_t target, int64_t relative, TSeekFlagSet flags,
                                bool wait) {
  if (pb.SeekRequest) return;
  pb.PausedAtSeek = pb.Paused.load();
  pb.SeekPos = target;
  pb.SeekRel = relative;
  pb.SeekFlags = flags & 0x0f;
  FSeekDone.Reset();
  pb.SeekRequest = true;
  if (wait) WaitForSeek(pb);
}

void TCustomPlayer::WaitForSeek(TPlayback &pb) {
  const auto limit = std::chrono::steady_clock::now() + SeekWaitLimit;
  auto done = [&] {
    return pb.AbortRequest || std::chrono::steady_clock::now() > limit ||
           (FSeekDone.IsSet() && (!pb.HasVideo() || FFrameReady.IsSet()));
  };
  while (!WaitServing(done, 100ms)) {
  }
}

// --- stop ---------------------------------------------------------------------------------

void TCustomPlayer::Stop(bool wait) {
  CancelOpening();
  if (const auto pb = Current()) {
    if (pb->Paused) pb->TogglePause();
    pb->QuitRequested = true;
    pb->PushEvent(FF_QUIT_EVENT);
  }
  if (!wait) return;
  WaitPlayStopped(FPlayStopped);
  JoinThreads();
  QuitSDL();
}

void TCustomPlayer::StopLeavingWindow() {
  Stop(false);
  WaitPlayStopped(FOutputReleased);
}

// Waits for the play thread to finish; closes the playback itself when the play thread cannot
// get to it (a reader blocked in the input, an event that never arrives).
void TCustomPlayer::WaitPlayStopped(const TManualEvent &until) {
  int attempts = 1;
  for (;;) {
    if (WaitServing([&until] { return until.IsSet(); }, 100ms)) return;
    const auto pb = Current();
    if (!pb) return;
    std::unique_lock lock(FEventLoopLock, std::defer_lock);
    if (!TryLockFor(lock, 100ms)) continue;
    ++attempts;
    if (!Current()) return;
    if ((attempts > 10 && pb->Reading) || attempts > 20) {
      ClosePlayback(pb);
      return;
    }
    pb->PushEvent(FF_QUIT_EVENT);
  }
}

void TCustomPlayer::JoinThreads() {
  if (FPlayThread.joinable()) {
    while (!WaitServing([this] { return FPlayStopped.IsSet(); }, 10ms)) {
    }
    FPlayThread.join();
  }
  if (FEventThread.joinable()) {
    if (FHandlerThread.load() == std::this_thread::get_id()) {
      // Stop called from an OnState or OnPosition handler: the event thread is waiting for that
      // very handler, so it cannot be waited for; it ends by itself after delivering psStop.
      FEventThread.detach();
      return;
    }
    while (!WaitServing([this] { return FEventThreadDone.load(); }, 10ms)) {
    }
    FEventThread.join();
  }
}

void TCustomPlayer::ClosePlayback(const std::shared_ptr<TPlayback> &playback) {
  // The window first: a host that only waits for that (StopLeavingWindow) goes on while the
  // sound device and the decoders close.
  ReleaseOutput();
  playback->Close();
  {
    std::lock_guard lock(FPlaybackLock);
    if (FPlayback == playback) FPlayback.reset();
  }
  ResetRuntimeState();
}

void TCustomPlayer::ReleaseOutput() {
  FOutput.reset();
  FOutputReleased.Set();
  WakeMainThread();
}

void TCustomPlayer::ResetRuntimeState() {
  FLastPosition = AV_NOPTS_VALUE;
  FCurrentPosition = -1;
  FSeekDone.Set();
  std::lock_guard lock(FShownLock);
  if (FShownFrame) ff::av_frame_unref(FShownFrame.get());
}

// --- threads ------------------------------------------------------------------------------

void TCustomPlayer::PlayThreadMain() {
  const TSdlThreadState sdl;
  const TPlayLoopTurn turn;
  if (!turn.Entered())
    FFLogger().Log(this, TLogLevel::llWarning, "another player still plays; playing beside it");
  ReportState(TPlayState::psPlay);
  try {
    for (;;) {
      SDL_Event event;
      // Polled every 10 ms, as SDL 1.2's wait did: SDL 2 wakes a waiting thread through one of
      // its windows, and on X11 that message goes to the program that made the window, which is
      // the host's for a picture drawn into it; the refresh ticker's and Stop's events would
      // wait for the timeout (the preview showed four pictures a second).
      const int got = ff::SDL_WaitEventTimeout(&event, 10);
      std::lock_guard lock(FEventLoopLock);
      const auto pb = Current();
      if (!pb) break;
      if (got && !FOutput->HandleEvent(event, pb)) break;
    }
  } catch (const std::exception &e) {
    FFLogger().Log(this, TLogLevel::llFatal, std::string("PlayThread Exception: ") + e.what());
    std::lock_guard lock(FEventLoopLock);
    if (const auto pb = Current()) ClosePlayback(pb);
  }
  {
    std::lock_guard lock(FEventLoopLock);
    ReleaseOutput();  // whichever way the loop ended (a close released it already)
  }
  ReportState(TPlayState::psStop);
  FPlayStopped.Set();
  WakeMainThread();
}

void TCustomPlayer::EventThreadMain() {
  for (;;) {
    TPlayerEvent event;
    while (FEvents.Take(event)) {
      if (event.Kind == TPlayerEventKind::ekEndOfDelivery) {
        FEventThreadDone = true;
        WakeMainThread();
        return;
      }
      Deliver(event);
      if (event.Kind == TPlayerEventKind::ekState && event.State == TPlayState::psStop) {
        FEventThreadDone = true;
        WakeMainThread();
        return;
      }
    }
    FEvents.WaitPending(100ms);
  }
}

void TCustomPlayer::Deliver(const TPlayerEvent &event) {
  if (FDetached) return;
  auto call = [&] {
    FHandlerThread = std::this_thread::get_id();
    if (event.Kind == TPlayerEventKind::ekPosition)
      OnPosition(this, event.PTS);
    else if (event.Kind == TPlayerEventKind::ekState)
      OnState(this, event.State);
    FHandlerThread = std::thread::id();
  };
  try {
    if (FTriggerEventInMainThread)
      RunInMainThread(call);
    else
      call();
  } catch (const std::exception &e) {
    FHandlerThread = std::thread::id();
    FFLogger().Log(this, TLogLevel::llError, std::string("event handler failed: ") + e.what());
  }
}

// --- reports from the pipeline ------------------------------------------------------------

void TCustomPlayer::Post(const TPlayerEvent &event) {
  FEvents.Post(event);
}

void TCustomPlayer::ReportState(TPlayState state) {
  FLastState = state;
  if (OnState)
    Post({TPlayerEventKind::ekState, state, 0});
  else if (state == TPlayState::psStop)
    Post({TPlayerEventKind::ekEndOfDelivery, state, 0});
}

void TCustomPlayer::ReportError(const std::string &msg, bool stored) {
  FFLogger().Log(this, TLogLevel::llError, msg);
  if (stored) FLastErrMsg = msg;
}

void TCustomPlayer::ReportPosition(TPlayback &pb) {
  if (pb.IsImage2) return;
  double clock;
  if (pb.HasVideo())
    clock = pb.VideoClock();
  else if (pb.HasAudio())
    clock = pb.AudioClock();
  else
    return;
  int64_t position = std::llround(clock * 1000000.0) - pb.StartTime;
  if (pb.Duration > 0 && position >= pb.Duration) {
    position = pb.Duration;
    if (FLastPosition != pb.Duration) FLastPosition = 0;  // the final position always goes out
  }
  FCurrentPosition = position;
  const int64_t last = FLastPosition;
  if (last == AV_NOPTS_VALUE || std::llabs(position - last) > PositionStep) {
    FLastPosition = position;
    if (OnPosition) Post({TPlayerEventKind::ekPosition, TPlayState::psPlay, position});
  }
  // The end is the end of the pictures as well: the reader finds the end of the file while the
  // last pictures still wait in the decoder and the display queue.
  const bool picturesDone = !pb.HasVideo() || pb.Video->Finished();
  if (!pb.IsCapture && !pb.EndSignalled && pb.EndReached && picturesDone) {
    // Audio-only playbacks keep reporting the end until the host seeks away from it.
    if (pb.HasVideo()) pb.EndSignalled = true;
    ReportState(TPlayState::psEnd);
  }
}

// --- pictures for the host ----------------------------------------------------------------

void TCustomPlayer::RunHook(AVFrame *picture, int64_t pts) {
  const THookEvent hook = OnHook.Get();
  if (!hook || FDetached) return;
  if (!FHookConverter) FHookConverter = std::make_unique<TRgbConverter>();
  if (!FHookConverter->ToBitmap(picture)) {
    FFLogger().Log(this, TLogLevel::llError, "Cannot initialize the toRGB conversion context");
    return;
  }
  {
    std::lock_guard canvas(FHookCanvas);
    try {
      hook(this, &FHookConverter->Bitmap(), pts);
    } catch (const std::exception &e) {
      FFLogger().Log(this, TLogLevel::llError, std::string("Error occurs OnHook: ") + e.what());
      return;
    } catch (...) {
      FFLogger().Log(this, TLogLevel::llError, "Error occurs OnHook: unknown exception");
      return;
    }
  }
  if (!FHookConverter->FromBitmap(picture))
    FFLogger().Log(this, TLogLevel::llError, "Cannot initialize the fromRGB conversion context");
}

void TCustomPlayer::RememberShown(const AVFrame *picture, double pts) {
  std::lock_guard lock(FShownLock);
  if (!FShownFrame) FShownFrame.reset(ff::av_frame_alloc());
  if (!FShownFrame) return;
  ff::av_frame_unref(FShownFrame.get());
  ff::av_frame_ref(FShownFrame.get(), picture);
  FShownPts = pts;
}

TBitmap *TCustomPlayer::FrameSnapshot() {
  int64_t pts;
  return FrameSnapshot(pts);
}

TBitmap *TCustomPlayer::FrameSnapshot(int64_t &pts) {
  if (!FSnapshot) FSnapshot = std::make_unique<TRgbConverter>();
  TBitmap &bitmap = FSnapshot->Bitmap();
  const auto pb = Current();
  if (!pb || !pb->HasVideo()) {
    bitmap.SetSize(0, 0);
    pts = -1;
    return &bitmap;
  }
  bitmap.SetSize(pb->Video->FrameWidth(), pb->Video->FrameHeight());  // black
  std::lock_guard lock(FShownLock);
  if (!FShownFrame || !FShownFrame->data[0]) {
    // Nothing shown yet: the picture that is due first.
    std::lock_guard pictures(pb->Video->PictLock);
    const TVideoPicture &vp = pb->Video->Pictures[pb->Video->RIndex];
    pts = std::llround(vp.Pts * 1000000.0) - pb->StartTime;
    if (pb->Video->Count > 0 && vp.Frame->data[0] && !FSnapshot->ToBitmap(vp.Frame.get()))
      bitmap.SetSize(0, 0);
    return &bitmap;
  }
  pts = std::llround(FShownPts * 1000000.0) - pb->StartTime;
  if (!FSnapshot->ToBitmap(FShownFrame.get())) bitmap.SetSize(0, 0);
  return &bitmap;
}
