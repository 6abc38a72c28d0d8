#include "player/Playback.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <span>

#include "platform/MainThread.h"
#include "player/AudioDecoder.h"
#include "player/FFPlay.h"
#include "player/SubtitleDecoder.h"
#include "player/VideoDecoder.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/MediaErrors.h"
#include "services/UnicodeProtocol.h"

using namespace std::chrono_literals;

namespace {

constexpr auto ReaderSleep = 10ms;
constexpr auto ReaderErrorSleep = 100ms;
// How long Close waits for a reader stuck in a blocking read before leaving it behind.
constexpr auto ReaderGrace = 1000ms;

// Lets a blocking library call give up as soon as the playback is being closed.
int DecodeInterrupt(void *opaque) {
  return static_cast<TPlayback *>(opaque)->AbortRequest ? 1 : 0;
}

}  // namespace

double NowSeconds() {
  return ff::av_gettime_relative() / 1000000.0;
}

TPlayback::TPlayback(TCustomPlayer &owner, const std::wstring &fileName, bool startPaused)
    : Owner(owner), FileName(fileName) {
  if (startPaused) {
    Paused = true;
    StartPaused = 1;
  }
}

TPlayback::~TPlayback() {
  if (FRefreshTicker.joinable()) FRefreshTicker.join();
  if (FReader.joinable()) FReader.detach();  // cannot happen after Close; never block here
}

std::string TPlayback::Name() const {
  return WideToUTF8(FileName);
}

bool TPlayback::Start() {
  if (!Launch(nullptr)) return false;
  while (OpenedState == 0) ServeMainThread(10ms);
  return Finish();
}

bool TPlayback::Launch(std::function<void()> opened) {
  FOpened = std::move(opened);
  try {
    FReader = std::thread(&TPlayback::ReaderMain, this, shared_from_this());
  } catch (const std::system_error &) {
    Owner.ReportError("SDL_CreateThread() failed.", true);
    return false;
  }
  return true;
}

bool TPlayback::Finish() {
  while (OpenedState == 0) ServeMainThread(10ms);
  if (OpenedState == 1) {
    if (!HasVideo() && !Owner.FDisableDisplay) DisplayMode = 1;
    FRefreshTicker = std::thread(&TPlayback::RefreshTickerMain, this);
    return true;
  }
  while (OpenedState == -1) ServeMainThread(10ms);
  FReader.join();
  return false;
}

void TPlayback::Close() {
  AbortRequest = true;
  AudioQ.Abort();
  VideoQ.Abort();
  SubtitleQ.Abort();
  {
    std::lock_guard lock(FStreamLock);
    if (Video) Video->WakePictures();
  }
  const auto deadline = std::chrono::steady_clock::now() + ReaderGrace;
  bool readerDone;
  {
    std::unique_lock lock(FReaderDoneLock);
    readerDone = FReaderEnded.wait_until(lock, deadline, [this] { return FReaderDone.load(); });
  }
  if (readerDone) {
    FReader.join();
  } else {
    // The reader is stuck in the input (a pipe or a network share that does not answer).  The
    // decoders do not need it: close them here and let the reader close the input when its read
    // returns; it holds the record until then.
    FFLogger().Log(&Owner, TLogLevel::llWarning, "reader thread does not answer; leaving it");
    FDetached = true;
    Owner.FProbe.AttachContext(nullptr);
    CloseStreams();
    FReader.detach();
  }
  if (FRefreshTicker.joinable()) FRefreshTicker.join();
}

void TPlayback::PushEvent(uint32_t type) {
  SDL_Event event{};
  event.type = type;
  event.user.data1 = this;
  ff::SDL_PushEvent(&event);
}

void TPlayback::RefreshTickerMain() {
  const TSdlThreadState sdl;
  while (!AbortRequest) {
    if (!RefreshPending.exchange(true)) PushEvent(FF_REFRESH_EVENT);
    std::this_thread::sleep_for(HasAudio() && DisplayMode == 1 ? 20ms : 5ms);
  }
}

// --- clocks -------------------------------------------------------------------------------

double TPlayback::AudioClock() const {
  return Audio && HasAudio() ? Audio->Clock() : 0;
}

double TPlayback::VideoClock() const {
  if (Paused) return VideoCurrentPts;
  const double drift = VideoCurrentPtsDrift;
  if (drift != 0) return drift + NowSeconds();
  return StartTime / 1000000.0;
}

double TPlayback::MasterClock() const {
  const bool soundEnded = HasVideo() && Audio && Audio->Ended();
  return HasAudio() && !soundEnded ? AudioClock() : VideoClock();
}

int64_t TPlayback::BitRate() const {
  return Format ? Format->bit_rate : 0;
}

int64_t TPlayback::BytePosition() const {
  const int64_t pos = VideoCurrentPos;
  if (pos >= 0) return pos;
  return Format && Format->pb ? ff::avio_seek(Format->pb, 0, SEEK_CUR) : 0;
}

// --- pause --------------------------------------------------------------------------------

void TPlayback::TogglePause() {
  if (!Owner.FSeekDone.WaitFor(250ms)) Owner.FSeekDone.Set();
  if (AbortRequest) return;
  if (Paused) {
    const double now = NowSeconds();
    if (Video) {
      std::lock_guard lock(Video->PictLock);
      Video->FrameTimer += now + VideoCurrentPtsDrift - VideoCurrentPts;
    }
    if (ReadPauseResult != AVERROR(ENOSYS)) VideoCurrentPts = VideoCurrentPtsDrift + now;
    VideoCurrentPtsDrift = VideoCurrentPts - now;
    Paused = false;
  } else {
    if (HasVideo() && !Owner.FFrameReady.WaitFor(250ms)) Owner.FFrameReady.Set();
    if (AbortRequest) return;
    Paused = true;
  }
}

// --- reader -------------------------------------------------------------------------------

void TPlayback::ReaderMain(std::shared_ptr<TPlayback> self) {
  const TSdlThreadState sdl;  // the sound device is opened here
  int result = OpenInput();
  if (result == 0) {
    OpenedState = 1;
    if (FOpened) FOpened();
    result = ReadLoop();
  }
  ReaderCleanup();
  // A failed opening is told once the reader has cleaned up, so that Finish does not wait.
  if (OpenedState == -2 && FOpened) FOpened();
  {
    std::lock_guard lock(FReaderDoneLock);
    FReaderDone = true;
    FReaderEnded.notify_all();
  }
  self.reset();
}

// Opens the file and its streams; 0 on success, else LastErrMsg says why.
int TPlayback::OpenInput() {
  Format = ff::avformat_alloc_context();
  if (!Format) {
    Owner.FLastErrMsg = Name() + ": " + MediaErrorText(AVERROR(ENOMEM));
    return -1;
  }
  Format->interrupt_callback.callback = DecodeInterrupt;
  Format->interrupt_callback.opaque = this;
  AVDictionary *options = nullptr;
  if (Owner.FFrameWidth > 0 && Owner.FFrameHeight > 0)
    ff::av_dict_set(
        &options, "video_size",
        (std::to_string(Owner.FFrameWidth) + "x" + std::to_string(Owner.FFrameHeight)).c_str(), 0);
  ff::av_dict_set(&options, "framerate", "25", 0);
  int err;
  try {
    err = OpenInputURL(&Format, FileNameToURL(FileName).c_str(), nullptr, &options);
  } catch (const EFileNameTooLong &) {
    err = AVERROR(ENAMETOOLONG);
  }
  ff::av_dict_free(&options);
  if (err < 0) {
    Format = nullptr;  // freed by the failed open
    Owner.FLastErrMsg = Name() + ": " + MediaErrorText(err);
    return err;
  }
  {
    std::lock_guard lock(CodecLock());
    err = ff::avformat_find_stream_info(Format, nullptr);
  }
  if (err < 0) {
    Owner.FLastErrMsg = Name() + ": could not find codec parameters";
    return err;
  }
  if (Format->pb) Format->pb->eof_reached = 0;
  const char *formatName = Format->iformat->name;
  IsImage2 = std::strcmp(formatName, "image2") == 0;
  IsCapture = std::strcmp(formatName, "vfwcap") == 0 || std::strcmp(formatName, "vfwcapture") == 0;
  StartTime = Format->start_time != AV_NOPTS_VALUE ? Format->start_time : 0;
  Duration = Format->duration != AV_NOPTS_VALUE ? Format->duration : -1;

  int chosen[3];
  ChooseStreams(chosen);
  for (const int index : {chosen[1], chosen[0], chosen[2]})  // audio, video, subtitles
    if (index >= 0) OpenStream(index);
  if (!HasAudio() && !HasVideo()) {
    Owner.FLastErrMsg = Name() + ": could not open codecs, no stream to play.";
    return -1;
  }
  return 0;
}

// Picks the best stream of each kind (video, audio, subtitle); the others are discarded.
void TPlayback::ChooseStreams(int chosen[3]) {
  for (unsigned i = 0; i < Format->nb_streams; ++i) Format->streams[i]->discard = AVDISCARD_ALL;
  chosen[0] = chosen[1] = chosen[2] = -1;
  if (!Owner.FDisableVideo)
    chosen[0] = ff::av_find_best_stream(Format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (!Owner.FDisableAudio)
    chosen[1] = ff::av_find_best_stream(Format, AVMEDIA_TYPE_AUDIO, -1, chosen[0], nullptr, 0);
  if (!Owner.FDisableVideo)
    chosen[2] = ff::av_find_best_stream(Format, AVMEDIA_TYPE_SUBTITLE, -1, chosen[0], nullptr, 0);
  for (int &index : std::span<int>(chosen, 3))
    if (index < 0) index = -1;
}

bool TPlayback::OpenStream(int index) {
  if (index < 0 || index >= static_cast<int>(Format->nb_streams)) return false;
  AVStream *stream = Format->streams[index];
  switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
      auto audio = std::make_unique<TAudioDecoder>(*this);
      AudioIndex = index;  // the callback may run as soon as the device opens
      Audio = std::move(audio);
      if (!Audio->Open(stream)) {
        Audio.reset();
        AudioIndex = -1;
        return false;
      }
      break;
    }
    case AVMEDIA_TYPE_VIDEO: {
      auto video = std::make_unique<TVideoDecoder>(*this);
      VideoIndex = index;
      {
        // A close on the main thread may wake the pictures while the file is still opening.
        std::lock_guard lock(FStreamLock);
        Video = std::move(video);
      }
      if (!Video->Open(stream)) {
        std::lock_guard lock(FStreamLock);
        Video.reset();
        VideoIndex = -1;
        return false;
      }
      break;
    }
    case AVMEDIA_TYPE_SUBTITLE: {
      auto subtitle = std::make_unique<TSubtitleDecoder>(*this);
      if (!subtitle->Open(stream)) return false;
      SubtitleIndex = index;
      Subtitle = std::move(subtitle);
      break;
    }
    default: return false;
  }
  stream->discard = AVDISCARD_DEFAULT;
  return true;
}

// Closes the decoders once, whoever gets here first (the reader or a forced close).
void TPlayback::CloseStreams() {
  std::lock_guard lock(FStreamLock);
  if (FStreamsClosed) return;
  FStreamsClosed = true;
  if (Audio) Audio->Close();
  if (Video) Video->Close();
  if (Subtitle) Subtitle->Close();
  AudioQ.Flush();
  VideoQ.Flush();
  SubtitleQ.Flush();
}

bool TPlayback::QueuesFull() {
  if (AudioQ.Size() + VideoQ.Size() + SubtitleQ.Size() > MaxQueueSize) return true;
  return (!HasAudio() || AudioQ.Size() > MinAudioQueueSize) &&
         (!HasVideo() || VideoQ.Count() > MinFrames) &&
         (!HasSubtitles() || SubtitleQ.Count() > MinFrames);
}

int TPlayback::ReadLoop() {
  TPacketPtr packet(ff::av_packet_alloc());
  AVPacket *pkt = packet.get();
  if (!pkt) return AVERROR(ENOMEM);
  while (!AbortRequest) {
    if (Paused != FLastPaused) {
      FLastPaused = Paused;
      if (FLastPaused)
        ReadPauseResult = ff::av_read_pause(Format);
      else
        ff::av_read_play(Format);
    }
    if (SeekRequest) DoSeek();
    if (QueuesFull()) {
      std::this_thread::sleep_for(ReaderSleep);
      continue;
    }
    if (FEofMark || (Format->pb && ff::avio_feof(Format->pb))) {
      HandleEndOfFile();
      continue;
    }
    Reading = true;
    const int err = ff::av_read_frame(Format, pkt);
    Reading = false;
    if (AbortRequest) break;
    if (err < 0) {
      if (err == AVERROR(EAGAIN)) {
        std::this_thread::sleep_for(ReaderSleep);
        continue;
      }
      if (HasVideo()) Owner.FFrameReady.Set();
      if (!IsImage2 && !FEofReported) {
        FEofReported = true;
        if (err == AVERROR_EOF)
          FFLogger().LogFmt(&Owner, TLogLevel::llInfo, "reach end of file: %s", Name().c_str());
        else
          Owner.ReportError("error #" + std::to_string(err) + " while reading file: " + Name(),
                            false);
      }
      if (err == AVERROR_EOF) FEofMark = ReaderAtEnd = true;
      if (Format->pb && Format->pb->error) break;
      std::this_thread::sleep_for(ReaderErrorSleep);
      continue;
    }
    ReadOne(pkt);
  }
  packet.reset();
  while (!AbortRequest) std::this_thread::sleep_for(ReaderErrorSleep);
  return 0;
}

void TPlayback::ReadOne(AVPacket *pkt) {
  if (pkt->stream_index == AudioIndex)
    AudioQ.Put(pkt);
  else if (pkt->stream_index == VideoIndex)
    VideoQ.Put(pkt);
  else if (pkt->stream_index == SubtitleIndex)
    SubtitleQ.Put(pkt);
  ff::av_packet_unref(pkt);
}

// At the end the video decoder gets empty packets so that it gives up its delayed pictures;
// the end is reached once every queue has run dry.
void TPlayback::HandleEndOfFile() {
  ReaderAtEnd = true;
  if (HasVideo()) {
    if (VideoQ.Count() == 0) VideoQ.PutEndOfStream();
    Owner.FFrameReady.Set();
  }
  std::this_thread::sleep_for(ReaderSleep);
  if (AudioQ.Count() == 0 && VideoQ.Count() == 0 && SubtitleQ.Count() == 0) EndReached = true;
}

void TPlayback::DoSeek() {
  const int64_t target = SeekPos;
  const int64_t minTs = SeekRel > 0 ? target - SeekRel + 2 : INT64_MIN;
  const int64_t maxTs = SeekRel < 0 ? target - SeekRel - 2 : INT64_MAX;
  int err = ff::avformat_seek_file(Format, -1, minTs, target, maxTs, SeekFlags);
  if (err < 0) err = ff::av_seek_frame(Format, -1, target, SeekFlags);
  if (err < 0) err = ff::av_seek_frame(Format, -1, target, SeekFlags ^ AVSEEK_FLAG_BACKWARD);
  if (err < 0) {
    Owner.ReportError(Name() + ": error while seeking", false);
    if (HasVideo()) Owner.FFrameReady.Set();
  } else {
    // Everything the decoders must know about the seek is in place before they can take the
    // flush marker; otherwise the first picture after it could find stale flags.
    ReaderAtEnd = false;
    const bool exact = !(SeekFlags & AVSEEK_FLAG_BYTE);
    if (HasAudio()) AudioSeekTargetTime = exact ? target / 1000000.0 : -1.0;
    if (HasVideo()) {
      FlushSeen = false;
      Owner.FFrameReady.Reset();
      // Pictures before the wanted time are decoded but not shown.
      SeekTargetTime = exact ? target / 1000000.0 : -1.0;
    }
    AfterSeekDrop = true;
    for (TPacketQueue *queue : {&AudioQ, &VideoQ, &SubtitleQ}) {
      const bool open = (queue == &AudioQ && HasAudio()) || (queue == &VideoQ && HasVideo()) ||
                        (queue == &SubtitleQ && HasSubtitles());
      if (!open) continue;
      queue->Flush();
      queue->PutFlush();
    }
  }
  FEofReported = false;
  EndReached = false;
  SeekRequest = false;
  AfterSeekDrop = true;
  Owner.FSeekDone.Set();
  FEofMark = ReaderAtEnd = false;
  if (Format->pb) Format->pb->eof_reached = 0;
}

void TPlayback::ReaderCleanup() {
  if (OpenedState != 1) OpenedState = -1;
  CloseStreams();
  if (OpenedState == 1 && !FDetached) Owner.FProbe.AttachContext(nullptr);
  if (Format) CloseInputURL(&Format);
  if (OpenedState == -1) OpenedState = -2;
}
