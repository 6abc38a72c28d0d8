// The player component: plays one media file with synchronised sound into a host window (or a
// window of its own), reports the opened file, the position and state changes, and lets the host
// draw on every video frame before it is shown.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ManualEvent.h"
#include "player/PlayerEvents.h"
#include "services/AVProbe.h"
#include "services/Bitmap.h"
#include "services/EventHandler.h"
#include "services/FFResources.h"

// The drivers as hosts written for the other platform name them; on Linux they stand for SDL's
// drivers named in FFPlay.cpp.  Hosts may also give SDL's own driver names.
enum class TAudioDriver { adDefault, adDirectSound, adWaveOut };
enum class TVideoDriver { vdDefault, vdDirectDraw, vdGDI };

using TAudioVolume = int;  // 0..128
constexpr TAudioVolume MaxAudioVolume = 128;

// Seek flags; the bits are the libraries' own AVSEEK_FLAG_* values.
enum TSeekFlag : uint8_t { skBackward = 1, skByte = 2, skAny = 4, skFrame = 8 };
using TSeekFlagSet = uint8_t;

class TCustomPlayer;
class TPlayback;
class TRgbConverter;
class TVideoOutput;

using TFileOpenEvent =
    std::function<void(TCustomPlayer *Sender, const int64_t ADuration, const int AFrameWidth,
                       const int AFrameHeight, int &AScreenWidth, int &AScreenHeight)>;
using THookEvent = std::function<void(TCustomPlayer *Sender, TBitmap *ABitmap, const int64_t APTS)>;
using TPositionEvent = std::function<void(TCustomPlayer *Sender, const int64_t APTS)>;
using TPlayStateEvent = std::function<void(TCustomPlayer *Sender, const TPlayState AState)>;

class TCustomPlayer {
 public:
  TCustomPlayer();
  virtual ~TCustomPlayer();
  TCustomPlayer(const TCustomPlayer &) = delete;
  TCustomPlayer &operator=(const TCustomPlayer &) = delete;

  std::string About;
  std::string Version() const { return "2.3"; }

  // Hosts assign and clear these on their own thread while the player's threads raise them
  // (see TEventHandler): a handler cleared during a call may still finish that call.
  TEventHandler<TFileOpenEvent> OnFileOpen;
  TEventHandler<THookEvent> OnHook;
  TEventHandler<TPositionEvent> OnPosition;
  TEventHandler<TPlayStateEvent> OnState;
  // Keys pressed in the player's own window, on the play thread (SDL key codes).
  TEventHandler<std::function<void(TCustomPlayer *Sender, int AKey)>> OnKeyDown;

  bool AVLibLoaded() const;
  bool LoadAVLib(const std::wstring &folder);
  // Plays the file into the X11 window `screenHandle` (0: a window of our own).
  bool Open(const std::wstring &fileName, uintptr_t screenHandle = 0, bool startPaused = false);
  // As Open, without waiting for the file: the reader opens it (probe, codecs) on its own
  // thread, and `opened` runs on the main thread afterwards with Open's result (OnFileOpen has
  // run before it on success).  False at once when nothing could be started (the libraries,
  // SDL); `opened` is then not called.  Stop, another Open or the player's end cancel the
  // opening: `opened` is not called then either.  Main thread only.
  bool OpenAsync(const std::wstring &fileName, uintptr_t screenHandle, bool startPaused,
                 std::function<void(bool)> opened);
  // A file is being opened by OpenAsync.
  bool Opening() const { return FOpening != nullptr; }
  void Pause();
  void Resume();
  void Seek(TSeekFlagSet flags, bool wait, int64_t position);
  void SeekRelative(TSeekFlagSet flags, bool wait, double offset);
  // Must not be called from OnHook or OnKeyDown (they run on threads that Stop waits for).
  void Stop(bool wait);
  // Stops without waiting for the threads to end, only until nothing more is drawn into the
  // host's window (which may then go); the threads end on their own, and the next Stop(true),
  // open or the player's end waits for what is left.
  void StopLeavingWindow();
  TBitmap *FrameSnapshot();
  TBitmap *FrameSnapshot(int64_t &pts);

  const std::string &LastErrMsg() const { return FLastErrMsg; }
  int64_t CurrentPosition() const { return FCurrentPosition; }
  TPlayState LastState() const { return FLastState; }
  bool Playing() const;
  bool IsPaused() const;
  const std::wstring &FileName() const { return FFileName; }
  // Stream information of the open file (bound to the playback's own context).
  TAVProbe &Probe() { return FProbe; }

 protected:
  float AspectRatio() const { return FAspectRatio; }
  void SetAspectRatio(float value);
  TAudioDriver AudioDriver() const;
  void SetAudioDriver(TAudioDriver value);
  // SDL's name of the sound driver ("pipewire", "pulseaudio", "alsa", "disk", "dummy", ...);
  // empty: SDL's own choice.  It applies to the next Open only and never outlives it.
  const std::string &AudioDriverName() const { return FAudioDriverName; }
  void SetAudioDriver(const std::string &name) { FAudioDriverName = name; }
  TAudioVolume AudioVolume() const { return FAudioVolume; }
  void SetAudioVolume(TAudioVolume value);
  bool DisableAudio() const { return FDisableAudio; }
  void SetDisableAudio(bool value) { FDisableAudio = value; }
  bool DisableVideo() const { return FDisableVideo; }
  void SetDisableVideo(bool value) { FDisableVideo = value; }
  bool DisableDisplay() const { return FDisableDisplay; }
  void SetDisableDisplay(bool value) { FDisableDisplay = value; }
  bool Mute() const { return FMute; }
  void SetMute(bool value) { FMute = value; }
  int FrameWidth() const { return FFrameWidth; }
  void SetFrameWidth(int value) { FFrameWidth = value; }
  int FrameHeight() const { return FFrameHeight; }
  void SetFrameHeight(int value) { FFrameHeight = value; }
  bool Hook() const { return FHook; }
  void SetHook(bool value) { FHook = value; }
  int ScreenWidth() const { return FScreenWidth; }
  void SetScreenWidth(int value) { FScreenWidth = value; }
  int ScreenHeight() const { return FScreenHeight; }
  void SetScreenHeight(int value) { FScreenHeight = value; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool value) { FTriggerEventInMainThread = value; }
  TVideoDriver VideoDriver() const;
  void SetVideoDriver(TVideoDriver value);
  // SDL's name of the display driver ("x11", "wayland", "dummy", ...); empty: SDL's own choice.
  // A host window (Open's handle) is an X11 window and needs "x11" or SDL's choice.
  const std::string &VideoDriverName() const { return FVideoDriverName; }
  void SetVideoDriver(const std::string &name) { FVideoDriverName = name; }

 private:
  friend class TPlayback;
  friend class TAudioDecoder;
  friend class TVideoDecoder;
  friend class TSubtitleDecoder;
  friend class TVideoOutput;
  friend class TEventLoop;

  std::shared_ptr<TPlayback> Current() const;
  // Open's first half: SDL and the playback, its reader started; null when that failed.
  std::shared_ptr<TPlayback> BeginOpen(const std::wstring &fileName, uintptr_t screenHandle,
                                       bool startPaused, std::function<void()> opened);
  // Open's second half, once the reader has opened the file or failed.
  bool EndOpen(const std::shared_ptr<TPlayback> &playback);
  void CancelOpening();
  void SetCurrent(std::shared_ptr<TPlayback> playback);
  bool StartSDL(uintptr_t handle);
  void QuitSDL();
  void FireFileOpen(TPlayback &playback);
  void RequestSeek(TPlayback &playback, int64_t target, int64_t relative, TSeekFlagSet flags,
                   bool wait);
  void WaitForSeek(TPlayback &playback);
  void WaitPlayStopped(const TManualEvent &until);
  void JoinThreads();
  void PlayThreadMain();
  void EventThreadMain();
  void Deliver(const TPlayerEvent &event);

  // Called by the pipeline.
  void ReportPosition(TPlayback &playback);
  void ReportState(TPlayState state);
  void ReportError(const std::string &msg, bool stored);
  void Post(const TPlayerEvent &event);
  void RunHook(struct AVFrame *picture, int64_t pts);
  void RememberShown(const struct AVFrame *picture, double pts);
  void ResetRuntimeState();
  void ReleaseOutput();
  void ClosePlayback(const std::shared_ptr<TPlayback> &playback);

  std::string FLastErrMsg;
  std::wstring FFileName;
  TAVProbe FProbe;
  uintptr_t FScreenHandle = 0;
  uint32_t FSdlFlags = 0;  // the SDL subsystems this player started

  std::atomic<float> FAspectRatio{0};
  std::string FAudioDriverName;
  std::atomic<int> FAudioVolume{MaxAudioVolume};
  bool FDisableAudio = false;
  bool FDisableVideo = false;
  bool FDisableDisplay = false;
  std::atomic<bool> FMute{false};
  int FFrameWidth = 0;
  int FFrameHeight = 0;
  std::atomic<bool> FHook{false};
  std::atomic<int> FScreenWidth{0};
  std::atomic<int> FScreenHeight{0};
  bool FTriggerEventInMainThread = true;
  std::string FVideoDriverName;

  // The playback OpenAsync is opening (main thread only), and what a posted end of an opening
  // checks that the player still exists.
  std::shared_ptr<TPlayback> FOpening;
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);

  mutable std::mutex FPlaybackLock;
  std::shared_ptr<TPlayback> FPlayback;
  std::unique_ptr<TVideoOutput> FOutput;  // the display window; play thread only

  std::atomic<int64_t> FLastPosition;
  std::atomic<int64_t> FCurrentPosition{-1};
  std::atomic<TPlayState> FLastState{TPlayState::psStop};

  // The picture on screen, kept for snapshots.
  std::mutex FShownLock;
  TFramePtr FShownFrame;
  double FShownPts = 0;

  std::unique_ptr<TRgbConverter> FSnapshot;
  std::unique_ptr<TRgbConverter> FHookConverter;
  // Held while the host draws on the hook's bitmap, so that no one else touches its pixels.
  std::mutex FHookCanvas;

  std::mutex FEventLoopLock;  // held by the play thread while it handles an event
  TManualEvent FSeekDone{true};
  TManualEvent FFrameReady{true};
  TManualEvent FPlayStopped{true};
  TManualEvent FOutputReleased{true};  // the play loop no longer draws into the window
  TEventRing FEvents;
  std::atomic<bool> FEventThreadDone{true};
  // Set by the destructor: the host is going away, so no handler is called any more.  The
  // handlers themselves stay until the threads that read them have ended.
  std::atomic<bool> FDetached{false};
  // The thread running an OnState or OnPosition handler now (none: the default id).
  std::atomic<std::thread::id> FHandlerThread{};
  std::thread FPlayThread;
  std::thread FEventThread;
};

// The component as hosts use it: every setting published.
class TFFPlayer : public TCustomPlayer {
 public:
  using TCustomPlayer::AspectRatio;
  using TCustomPlayer::AudioDriver;
  using TCustomPlayer::AudioDriverName;
  using TCustomPlayer::AudioVolume;
  using TCustomPlayer::DisableAudio;
  using TCustomPlayer::DisableDisplay;
  using TCustomPlayer::DisableVideo;
  using TCustomPlayer::FrameHeight;
  using TCustomPlayer::FrameWidth;
  using TCustomPlayer::Hook;
  using TCustomPlayer::Mute;
  using TCustomPlayer::ScreenHeight;
  using TCustomPlayer::ScreenWidth;
  using TCustomPlayer::SetAspectRatio;
  using TCustomPlayer::SetAudioDriver;
  using TCustomPlayer::SetAudioVolume;
  using TCustomPlayer::SetDisableAudio;
  using TCustomPlayer::SetDisableDisplay;
  using TCustomPlayer::SetDisableVideo;
  using TCustomPlayer::SetFrameHeight;
  using TCustomPlayer::SetFrameWidth;
  using TCustomPlayer::SetHook;
  using TCustomPlayer::SetMute;
  using TCustomPlayer::SetScreenHeight;
  using TCustomPlayer::SetScreenWidth;
  using TCustomPlayer::SetTriggerEventInMainThread;
  using TCustomPlayer::SetVideoDriver;
  using TCustomPlayer::TriggerEventInMainThread;
  using TCustomPlayer::VideoDriver;
  using TCustomPlayer::VideoDriverName;
};
