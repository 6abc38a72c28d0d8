// One opened file: the reader thread that demultiplexes it into the packet queues, the decoders
// that feed sound and pictures, seeking, pausing and the shared clocks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "player/PacketQueue.h"

struct AVFormatContext;
class TCustomPlayer;
class TAudioDecoder;
class TVideoDecoder;
class TSubtitleDecoder;

// SDL user events of the pipeline; each carries its playback as data1.
enum TPlayerSDLEvent : uint32_t {
  FF_ALLOC_EVENT = 0x8000 + 24,  // SDL_USEREVENT + 24: allocate a picture
  FF_REFRESH_EVENT,              // refresh the display
  FF_QUIT_EVENT,                 // close the playback
  FF_REOPEN_EVENT,               // re-create the output and redraw
};

class TPlayback : public std::enable_shared_from_this<TPlayback> {
 public:
  static constexpr int MaxQueueSize = 15 * 1024 * 1024;
  static constexpr int MinAudioQueueSize = 327680;
  static constexpr int MinFrames = 5;

  TPlayback(TCustomPlayer &owner, const std::wstring &fileName, bool startPaused);
  ~TPlayback();
  TPlayback(const TPlayback &) = delete;
  TPlayback &operator=(const TPlayback &) = delete;

  // Starts the reader and waits until the file and its streams are open.
  bool Start();
  // Starts the reader and returns at once; `opened` runs on the reader's thread once the file
  // and its streams are open, or the opening has failed (then Finish tells which).
  bool Launch(std::function<void()> opened);
  // After Launch's `opened` has run (or to wait for it): true when the file plays on; false when
  // it failed and the reader has ended.
  bool Finish();
  // Stops every thread of the playback.  A reader stuck in a blocking read is left behind after
  // a second: it keeps the record alive and closes the input once its read returns.
  void Close();
  void TogglePause();
  // Pushes one of the pipeline's SDL events for this playback.
  void PushEvent(uint32_t type);

  double AudioClock() const;
  double VideoClock() const;
  // The sound's clock; once the sound has ended, the pictures that remain keep time with the wall
  // clock (the video clock runs on from the picture on screen).
  double MasterClock() const;
  bool HasAudio() const { return AudioIndex >= 0; }
  bool HasVideo() const { return VideoIndex >= 0; }
  bool HasSubtitles() const { return SubtitleIndex >= 0; }
  int64_t BitRate() const;
  int64_t BytePosition() const;

  TCustomPlayer &Owner;
  const std::wstring FileName;

  std::atomic<int> OpenedState{0};  // 0 opening, 1 opened, -1 failed and cleaning up, -2 failed
  std::atomic<bool> AbortRequest{false};
  std::atomic<bool> QuitRequested{false};  // a stop is on its way: nothing more is drawn
  std::atomic<bool> RefreshPending{false};
  std::atomic<bool> Paused{false};
  std::atomic<bool> SeekRequest{false};
  int64_t SeekPos = 0;
  int64_t SeekRel = 0;
  int SeekFlags = 0;
  std::atomic<bool> PausedAtSeek{false};
  std::atomic<bool> AfterSeekDrop{false};
  std::atomic<bool> FlushSeen{false};
  std::atomic<int> StartPaused{0};
  std::atomic<bool> Reading{false};
  std::atomic<bool> EndReached{false};
  std::atomic<bool> ReaderAtEnd{false};  // every packet of the file is in the queues
  std::atomic<bool> EndSignalled{false};
  std::atomic<int> ReadPauseResult{0};  // written by the reader, read by TogglePause
  // The time (seconds) the last seek asked for, handed to each decoder with its flush marker:
  // what comes before it is decoded but not shown or played.  -1 when unset.
  std::atomic<double> SeekTargetTime{-1};
  std::atomic<double> AudioSeekTargetTime{-1};

  bool IsImage2 = false;
  bool IsCapture = false;
  AVFormatContext *Format = nullptr;
  int64_t StartTime = 0;  // microseconds
  int64_t Duration = -1;  // microseconds
  std::atomic<int64_t> AudioStreamStart{-1};

  int AudioIndex = -1;
  int VideoIndex = -1;
  int SubtitleIndex = -1;
  TPacketQueue AudioQ;
  TPacketQueue VideoQ;
  TPacketQueue SubtitleQ;
  std::unique_ptr<TAudioDecoder> Audio;
  std::unique_ptr<TVideoDecoder> Video;
  std::unique_ptr<TSubtitleDecoder> Subtitle;
  std::atomic<int> DisplayMode{0};  // 0 pictures, 1 waveform

  // What the display shows now; the video clock runs from here.
  std::atomic<double> VideoCurrentPts{0};
  std::atomic<double> VideoCurrentPtsDrift{0};
  std::atomic<int64_t> VideoCurrentPos{-1};

 private:
  void ReaderMain(std::shared_ptr<TPlayback> self);
  int OpenInput();
  void ChooseStreams(int chosen[3]);
  bool OpenStream(int index);
  void CloseStreams();
  int ReadLoop();
  void ReadOne(struct AVPacket *pkt);
  bool QueuesFull();
  void HandleEndOfFile();
  void DoSeek();
  void ReaderCleanup();
  void RefreshTickerMain();
  std::string Name() const;

  std::thread FReader;
  std::thread FRefreshTicker;
  std::function<void()> FOpened;  // set before the reader starts
  std::atomic<bool> FReaderDone{false};
  // Close waits on it rather than polling, so that a stop goes on as soon as the reader ends.
  std::mutex FReaderDoneLock;
  std::condition_variable FReaderEnded;
  std::atomic<bool> FDetached{false};
  std::mutex FStreamLock;
  bool FStreamsClosed = false;
  bool FLastPaused = false;
  bool FEofReported = false;
  bool FEofMark = false;
};

// Seconds of the monotonic clock.
double NowSeconds();
