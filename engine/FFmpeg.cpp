#include "engine/FFmpeg.h"

#include <cmath>
#include <cstdarg>
#include <filesystem>
#include <set>
#include <utility>

#include "engine/Preview.h"
#include "platform/MainThread.h"
#include "services/FFmpegLoader.h"
#include "services/MediaErrors.h"
#include "services/UnicodeProtocol.h"

namespace {

bool LibrariesLoaded() {
  return FFLoader().LibsLoaded(EncoderLibs);
}

// Closes an output file's byte stream and removes the file when nothing was ever written to it.
void CloseOutputFile(TOutputFile &file) {
  AVFormatContext *ctx = file.Ctx.get();
  if (!ctx) return;
  const bool hasFile = ctx->oformat && !(ctx->oformat->flags & AVFMT_NOFILE);
  if (hasFile && ctx->pb) {
    CloseIO(&ctx->pb);
    if (ctx->url && *ctx->url) {
      std::error_code ec;
      const std::filesystem::path path = FileNameToPath(URLToFileName(ctx->url));
      if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0)
        std::filesystem::remove(path, ec);
    }
  }
  file.Streams.clear();
  file.Ctx.reset();
}

}  // namespace

std::mutex &PreviewLock() {
  static std::mutex lock;
  return lock;
}

TCustomFFmpeg::TCustomFFmpeg() {
  InitDefaults();
  if (LibrariesLoaded()) FSettings.Generic.Create(FSettings.ScalerFlags);
}

TCustomFFmpeg::~TCustomFFmpeg() {
  StopConvert(true);
  FWorker.reset();
  FTerminateThread.reset();
  ClearAll();
}

void TCustomFFmpeg::Log(TLogLevel level, const std::string &msg) const {
  FFLogger().Log(this, level, msg);
}

void TCustomFFmpeg::LogFmt(TLogLevel level, const char *fmt, ...) const {
  char text[TFFLogger::FormatBufferSize];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  FFLogger().Log(this, level, text);
}

void TCustomFFmpeg::InitDefaults() {
  FSettings.InitDefaults();
  FInputTsOffsets.fill(0);
  FInputStarts.fill(AV_NOPTS_VALUE);
  for (auto &row : FInputTsScales) row.fill(0);
  FInputCodecs.clear();
  FStreamMaps.clear();
  FMetaDataMaps.clear();
  FStreamIdMap.fill(0);
  for (auto &chain : FPendingBsfs) chain.clear();
  FCounters = TRunCounters();
  FHookFrameCounter = 0;
  FLastPreviewTime = 0;
  SetPreviewFlags(0);
  FExpectedDuration = -1;
  FWorkerActive = false;
  FErrorOccurred = false;
}

void TCustomFFmpeg::Reset() {
  if (!LibrariesLoaded()) return;
  ClearAll();
  InitDefaults();
  FJoinMode = false;
  FRunning = false;
  FStopRequested = false;
  FRanToEnd = false;
  FTerminated = false;
  FExpectedDuration = -1;
  FSettings.Generic.Create(FSettings.ScalerFlags);
}

void TCustomFFmpeg::ClearAll() {
  if (!LibrariesLoaded()) return;
  FreeRunTables();
  FSettings.Generic.Free();
  // Join mode repeats the first file; close each file once.
  std::set<TOutputFile *> closed;
  for (auto &file : FOutputFiles)
    if (file && closed.insert(file.get()).second) CloseOutputFile(*file);
  FOutputFiles.clear();
  FInputFiles.clear();
  FInputCodecs.clear();
  FSettings.IntraMatrix.reset();
  FSettings.InterMatrix.reset();
  FSettings.VStatsFile.reset();
  FSettings.VideoCodecName.clear();
  FSettings.AudioCodecName.clear();
  FSettings.SubtitleCodecName.clear();
  FSettings.RcOverride.clear();
  FSettings.VideoStandard.clear();
  FSettings.VStatsFileName.clear();
  for (auto &chain : FPendingBsfs) chain.clear();
  FFrameHooks.reset();
  FHookConverter.reset();
  std::shared_ptr<TPreviewer> window;  // closed after the lock: its window goes on the main thread
  {
    std::lock_guard lock(PreviewLock());
    FPreviewConverter.reset();
    window = std::move(FPreviewer);
  }
}

// ---- start, stop, pause

TConvertThread *TCustomFFmpeg::StartConvert(bool threaded, TThreadPriority priority) {
  if (FRunning || FTerminated) return nullptr;
  try {
    // Files the run opens itself are counted once they are open (RunTask).
    if (!FOpening && OutputCount() <= 0) {
      ClearAll();
      throw FFmpegException("At least one output file must be specified");
    }
    if (!FOpening && InputCount() == 0) {
      ClearAll();
      throw FFmpegException("At least one input file must be specified");
    }
  } catch (const FFmpegException &e) {
    Log(TLogLevel::llQuiet, e.what());
    FErrorOccurred = true;
    FErrorMessage = e.what();
    DeliverTermination();
    return nullptr;
  }
  FRunning = true;
  FStopRequested = false;
  FRanToEnd = false;
  FTerminated = false;
  {
    std::lock_guard lock(FPauseLock);
    FPaused = false;
  }
  if (!threaded) {
    RunTask();
    return nullptr;
  }
  // Reset before the thread exists, so that a stop with wait issued before the host resumes the
  // thread waits for the run instead of seeing the event of an earlier state.
  FRunDoneEvent.Reset();
  FWorker = std::make_unique<TConvertThread>(
      [this] {
        RunTask();
        FRunDoneEvent.Set();
      },
      priority);
  FWorkerActive = true;
  return FWorker.get();
}

void TCustomFFmpeg::StopConvert(bool wait) {
  FStopRequested = true;
  {
    std::lock_guard lock(FPauseLock);
    FPaused = false;
  }
  FPauseChanged.notify_all();
  if (!FWorkerActive || !FWorker) return;
  if (FWorker->Suspended()) FWorker->Resume();
  if (wait && !FWorker->IsCurrent()) WaitForEvent(FRunDoneEvent, true);
}

void TCustomFFmpeg::TerminateConvert(bool wait) {
  if (FRunning) {
    StopConvert(wait);
    return;
  }
  if (FTerminated) return;
  FTerminateDoneEvent.Reset();
  FTerminateThread = std::make_unique<TConvertThread>(
      [this] {
        DeliverTermination();
        FTerminateDoneEvent.Set();
      },
      TThreadPriority::tpNormal);
  FTerminateThread->Resume();
  if (wait) WaitForEvent(FTerminateDoneEvent, true);
}

void TCustomFFmpeg::PauseConvert() {
  if (!FWorkerActive || !FWorker) return;
  std::lock_guard lock(FPauseLock);
  FPaused = true;
}

void TCustomFFmpeg::ResumeConvert() {
  if (!FWorkerActive || !FWorker) return;
  if (FWorker->Suspended()) FWorker->Resume();
  {
    std::lock_guard lock(FPauseLock);
    FPaused = false;
  }
  FPauseChanged.notify_all();
}

bool TCustomFFmpeg::Paused() const {
  std::lock_guard lock(FPauseLock);
  return FPaused;
}

void TCustomFFmpeg::WaitWhilePaused() {
  std::unique_lock lock(FPauseLock);
  FPauseChanged.wait(lock, [this] { return !FPaused || FStopRequested; });
}

void TCustomFFmpeg::WaitForEvent(TManualEvent &event, bool serveMainThread) {
  using namespace std::chrono_literals;
  // Callbacks of the worker may be waiting for the main thread: keep serving them.
  while (!event.IsSet()) {
    IMainThreadDispatcher *d = MainThreadDispatcher();
    if (serveMainThread && d && d->IsMainThread())
      ServeMainThread(20ms);
    else
      event.WaitFor(20ms);
  }
}

void TCustomFFmpeg::SetStartTime(int64_t us) {
  if (us != AV_NOPTS_VALUE) FSettings.StartTime = us;
}

void TCustomFFmpeg::SetRecordingTime(int64_t us) {
  if (us == AV_NOPTS_VALUE) return;
  FSettings.RecordingTime = us;
  FExpectedDuration = us;
}

void TCustomFFmpeg::SetPreviewFlags(uint8_t flags) {
  {
    std::lock_guard lock(PreviewLock());
    FPreviewFlags = flags;
  }
  FreeUnwantedPreviewWindow();
}

void TCustomFFmpeg::SetPreviewFlag(uint8_t bit, bool on) {
  {
    std::lock_guard lock(PreviewLock());
    FPreviewFlags = on ? (FPreviewFlags | bit) : (FPreviewFlags & ~bit);
  }
  FreeUnwantedPreviewWindow();
}

uint8_t TCustomFFmpeg::PreviewFlags() const {
  std::lock_guard lock(PreviewLock());
  return FPreviewFlags;
}

void TCustomFFmpeg::FreeUnwantedPreviewWindow() {
  std::shared_ptr<TPreviewer> unwanted;
  {
    std::lock_guard lock(PreviewLock());
    if (!(FPreviewFlags & PreviewToWindow)) unwanted = std::move(FPreviewer);
  }
  // Destroyed here, outside the lock: a window is torn down on the main thread, which may be
  // waiting for the lock.
}

void TCustomFFmpeg::DisableCustomHook() {
  FCustomHookCallback = nullptr;
  FSettings.UsingVHook = false;
}

// ---- the task

void TCustomFFmpeg::RunTask() {
  FRanToEnd = false;
  auto guarded = [this](auto &&step) {
    try {
      step();
    } catch (const std::exception &e) {
      Log(TLogLevel::llQuiet, e.what());
      FErrorOccurred = true;
      FErrorMessage = e.what();
    } catch (...) {
      Log(TLogLevel::llQuiet, "Unknown error");
      FErrorOccurred = true;
      FErrorMessage = "Unknown error";
    }
  };
  guarded([this] {
    if (FOpening) {
      const std::function<void()> opening = std::exchange(FOpening, nullptr);
      opening();
      if (InputCount() == 0) throw FFmpegException("At least one input file must be specified");
      if (OutputCount() <= 0) throw FFmpegException("At least one output file must be specified");
    }
    RunTranscode();
  });
  guarded([this] {
    while (!FOpenedEncoders.empty()) CloseEncoder(*FOpenedEncoders.front());
  });
  guarded([this] {
    while (!FOpenedDecoders.empty()) CloseDecoder(*FOpenedDecoders.front());
  });
  guarded([this] { ClearAll(); });
  guarded([this] { DeliverTermination(); });
}

void TCustomFFmpeg::DeliverTermination() {
  // Exactly once per run, whichever thread gets here first.
  if (FTerminated.exchange(true)) return;
  FRunning = false;
  FWorkerActive = false;
  if (FTerminateCallback) FTerminateCallback(this);
}

// ---- codecs

int TCustomFFmpeg::OpenEncoder(TOutputStreamRec &ost, const AVCodec *codec,
                               AVDictionary **options) {
  std::lock_guard lock(CodecLock());
  if (FJoinMode) ost.SavedCodecId = codec->id;
  const int ret = ff::avcodec_open2(ost.Enc, codec, options);
  if (ret >= 0) {
    ost.EncoderOpen = true;
    FOpenedEncoders.push_back(&ost);
  }
  return ret;
}

int TCustomFFmpeg::OpenDecoder(TInputStreamRec &ist, const AVCodec *codec, AVDictionary **options) {
  std::lock_guard lock(CodecLock());
  const int ret = ff::avcodec_open2(ist.Dec, codec, options);
  if (ret >= 0) FOpenedDecoders.push_back(&ist);
  return ret;
}

void TCustomFFmpeg::CloseEncoder(TOutputStreamRec &ost) {
  std::lock_guard lock(CodecLock());
  FOpenedEncoders.remove(&ost);
  if (!ost.EncoderOpen || !ost.Enc) return;
  ost.EncoderOpen = false;
  ff::avcodec_close(ost.Enc);
  ff::av_freep(&ost.Enc->stats_in);  // the pass-2 statistics we read in
}

void TCustomFFmpeg::CloseDecoder(TInputStreamRec &ist) {
  std::lock_guard lock(CodecLock());
  FOpenedDecoders.remove(&ist);
  if (ist.Dec) ff::avcodec_close(ist.Dec);
}

void TCustomFFmpeg::CloseOpenedCodecs() {
  if (FJoinMode) {
    // Only the first slice's encoders are real; the records of later slices share them.
    for (int i = 0; i < FStreamsPerOutput && i < static_cast<int>(FOutputStreams.size()); ++i)
      if (FOutputStreams[i].EncoderOpen) CloseEncoder(FOutputStreams[i]);
  }
  while (!FOpenedEncoders.empty()) CloseEncoder(*FOpenedEncoders.front());
  while (!FOpenedDecoders.empty()) CloseDecoder(*FOpenedDecoders.front());
}

void TCustomFFmpeg::FreeRunTables() {
  // Whatever is still open belongs to records that are about to go.
  while (!FOpenedEncoders.empty()) CloseEncoder(*FOpenedEncoders.front());
  while (!FOpenedDecoders.empty()) CloseDecoder(*FOpenedDecoders.front());
  FOutputStreams.clear();
  FInputStreams.clear();
  FInputFileRecs.clear();
}
