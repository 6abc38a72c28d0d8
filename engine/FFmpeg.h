// The transcoding engine: one object per conversion task.
//
// The engine follows the design of the FFmpeg command-line transcoder: options configure the next
// input or output file, the run maps input streams to output streams, opens the codecs and loops
// over the packets.  It adds what a host component needs: a worker thread, stop and pause,
// throttled progress, a termination callback delivered exactly once, a per-frame hook on a 24-bit
// bitmap, a preview bitmap and join mode (several inputs concatenated into one output).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ConvertThread.h"
#include "engine/EngineSettings.h"
#include "engine/FFmpegException.h"
#include "platform/ManualEvent.h"
#include "platform/ThreadPriority.h"
#include "services/FFResources.h"
#include "services/FFmpegLogger.h"

// Defined by the audio and video path units; the engine holds them through TLatePtr.
class TAudioPath;     // one per encoded audio output stream
class TVideoPath;     // one per encoded video output stream (scaling, filter graph, sync, encoding)
class TSubtitlePath;  // one per encoded subtitle output stream
class TVideoInput;    // one per decoded video input stream (pre-processing: deinterlace, hooks)
class TFrameHookList;     // external video hook libraries
class TRgbConverter;      // frame -> 24-bit BGR bitmap
class TPreviewer;         // the preview window object
class TVideoFilterGraph;  // the user's video filter chain of one output (built at set-up)
class TBitmap;            // 24-bit BGR bitmap handed to the hook and preview callbacks

class TCustomFFmpeg;

// Bounds the number of input files, output files and streams per file.
constexpr int MaxFiles = 20;
constexpr int MaxStreams = 20;

// What became of an option given by name.
enum class TOptionResult { Set, Unknown, InvalidValue };

struct TStreamMapRec {
  int FileIndex = 0;
  int StreamIndex = 0;
  int SyncFileIndex = 0;
  int SyncStreamIndex = 0;
};

struct TMetaDataMapRec {
  int OutFile = 0;
  int InFile = 0;
};

// An opened input file and the decoder context of each of its streams (made when the file is
// added, with the generic decoding options already copied in; opened when the run needs it).
struct TInputFile {
  // Inputs the engine makes itself (a silent sound track) read from a byte stream of their own.
  std::shared_ptr<void> SourceState;
  TCustomIOPtr CustomIO;
  TInputCtxPtr Ctx;
  std::vector<TCodecCtxPtr> Codecs;  // one per stream
};

// One output stream as the set-up created it.  FFmpeg's streams carry only parameters, so every
// output stream has a codec context of its own: the encoder's, or for stream copy the holder of
// the copied parameters.
struct TOutputStreamSetup {
  TCodecCtxPtr Codec;
  const AVCodec *Encoder = nullptr;  // the forced encoder (by name), else null
  bool StreamCopy = false;
  float Quality = 0;  // fixed quality (lambda) asked for with qscale / sameq, else 0
  // Audio values asked for (rate, channel count with its layout mask or 0, sample format); -1
  // where the source stream decides once the mapping has chosen it.
  int AudioRate = -1, AudioChannels = -1, AudioFormat = -1;
  uint64_t AudioLayoutMask = 0;
  TBsfChain Filters;  // bitstream filters, in order
};

struct TOutputFile {
  TFormatCtxPtr Ctx;  // the muxer; its byte stream is closed by ClearAll
  std::vector<TOutputStreamSetup> Streams;
  bool HasVideoFilters = false;  // a video filter chain was set when the file was added
  std::string VideoFilters;
  // Muxer options handed to avformat_write_header (preload, loop, ...).
  std::vector<std::pair<std::string, std::string>> MuxerOptions;
};

// Per-run records, built when the run starts and freed when it ends.
struct TInputFileRec {
  int64_t FirstDts = AV_NOPTS_VALUE;  // µs, of the first packet read (after the file's offset)
  bool EofReached = false;
  bool NoPacket = false;  // the last read answered "try again"
  int FirstStream = 0;
  int StreamCount = 0;
};

struct TInputStreamRec {
  int InputFileIndex = 0;
  int InputStreamIndex = 0;
  AVStream *Stream = nullptr;
  AVCodecContext *Dec = nullptr;  // owned by the TInputFile
  const AVCodec *Decoder = nullptr;
  bool Discard = true;  // until an output stream takes it
  bool DecodingNeeded = false;
  int64_t Start = 0;                 // wall clock at the run start, for native-rate reading (µs)
  int64_t NextPts = AV_NOPTS_VALUE;  // µs
  int64_t Pts = 0;                   // µs
  bool IsStart = true;
  bool ShowedMultiPacketWarning = false;
  bool IsPastRecordingTime = false;
  bool Flushed = false;  // join mode: decoder already drained
  float Quality = 0;     // quality of the last decoded picture
  TFramePtr Frame;       // the last decoded frame
  TLatePtr<TVideoInput> VideoIn;
  // Bridged timestamp jumps of a stream in a format that does not declare jumps (µs, added to
  // every later packet), and the stream's last decoding time and packet duration (µs).
  int64_t TsShift = 0;
  int64_t LastDts = AV_NOPTS_VALUE;
  int64_t LastDuration = 0;
  // Turns decoded pictures upright as the stream's display matrix asks; null when upright.
  TLatePtr<TVideoFilterGraph> Rotation;
  TFramePtr Rotated;  // the last picture turned upright
  TFramePtr Cut;      // the last sound frame cut to where the input's part begins
};

struct TOutputStreamRec {
  int OutputFileIndex = 0;
  int OutputStreamIndex = 0;
  int SourceIndex = -1;  // index into the input stream table
  AVStream *Stream = nullptr;
  TOutputFile *File = nullptr;
  TOutputStreamSetup *Setup = nullptr;
  AVCodecContext *Enc = nullptr;  // Setup->Codec
  bool EncodingNeeded = false;
  int FramesWritten = 0;
  int SyncInput = -1;    // index into the input stream table
  int64_t SyncOpts = 0;  // frames or samples written, in the encoder time base
  TFilePtr LogFile;      // pass-1 statistics
  AVCodecID SavedCodecId = AV_CODEC_ID_NONE;
  bool Active = false;
  bool EncoderOpen = false;
  int64_t LastMuxDts = AV_NOPTS_VALUE;  // last decoding time written (stream time base)
  // Where the stream has got to: the end of the last packet written, in the stream time base.
  int64_t CurrentTs = 0;
  float Quality = -1;  // quality of the last encoded picture (lambda); -1 for stream copy
  TLatePtr<TAudioPath> Audio;
  TLatePtr<TVideoPath> Video;
  TLatePtr<TSubtitlePath> Subtitle;
  TLatePtr<TVideoFilterGraph> Graph;  // until the video path takes it over
};

// Counters of the current run.
struct TRunCounters {
  int64_t VideoSize = 0, AudioSize = 0, ExtraSize = 0;
  int FramesDup = 0, FramesDrop = 0;
  bool DupDropNoticed = false;
  int DecodeErrors = 0;  // packets and pictures the decoders refused
  int64_t TimerStart = 0;
  int64_t LastReportTime = 0;
};

using TCustomHookCallback =
    std::function<void(TCustomFFmpeg *Sender, TBitmap &Bitmap, int32_t FrameNumber, int64_t PTS,
                       bool &Update, bool &StopHook)>;
using TPreviewBitmapCallback =
    std::function<void(TCustomFFmpeg *Sender, TBitmap &Bitmap, int32_t FrameNumber, int64_t PTS)>;
using TProgressCallback = std::function<void(
    TCustomFFmpeg *Sender, int32_t FileIndex, int32_t FrameNumber, int32_t FPS, float Quality,
    float BitRate, int64_t CurrentSize, int64_t CurrentDuration, int64_t TotalDuration)>;
using TTerminateCallback = std::function<void(TCustomFFmpeg *Sender)>;

// The process-wide lock around PreviewFlags and the preview step of the video path.
std::mutex &PreviewLock();

class TCustomFFmpeg {
 public:
  TCustomFFmpeg();
  virtual ~TCustomFFmpeg();
  TCustomFFmpeg(const TCustomFFmpeg &) = delete;
  TCustomFFmpeg &operator=(const TCustomFFmpeg &) = delete;

  // ---- life cycle (FFmpeg.cpp)
  void InitDefaults();
  void Reset();
  void ClearAll();
  // Returns the worker thread, still waiting for Resume, in threaded mode; null when the run went
  // synchronously or could not start.
  TConvertThread *StartConvert(bool threaded, TThreadPriority priority = TThreadPriority::tpNormal);
  void StopConvert(bool wait);
  void TerminateConvert(bool wait);
  void PauseConvert();
  void ResumeConvert();

  // Every input but this one has been read to its end (during a run).
  bool OtherInputsEnded(int fileIndex) const;

  // ---- options (FFOptions.cpp, EnginePresets.cpp)
  void SetOption(const std::string &name, const std::string &value);
  // Splits an option string into (name, value) lines and sets each.
  void SetOptions(const std::string &text);
  void ApplyTarget(const std::string &type, const std::string &norm,
                   const std::string &defaultNorm);
  void ApplyPreset(const std::string &kind, const std::string &value);
  void AddMetadata(const std::string &key, const std::string &value);
  bool ApplyGenericOption(const std::string &name, const std::string &value);
  TOptionResult TryGenericOption(const std::string &name, const std::string &value);
  // As SetOption, but tells a name that neither the option table nor the libraries know
  // (hosts keep SetOption, which ignores such names; the command line refuses them).
  TOptionResult SetKnownOption(const std::string &name, const std::string &value);
  // Copies every generic option the source knows and whose flags contain all of `flags` into the
  // target (both objects with an AVClass as first member).
  void CopyGenericOptions(void *target, void *source, int flags);
  // Direct setters for the host's option records.
  void SetForceFormat(const std::string &format);
  void SetProgramId(int id);        // only when >= 0
  void SetAudioVolume(int volume);  // only when >= 0
  void SetAudioSync(int method);
  void SetVideoSync(int method);
  void SetMuxDelay(float seconds);      // only when > 0
  void SetMuxPreload(float seconds);    // only when > 0
  void SetAudioRate(int rate);          // only when > 0
  void SetAudioChannels(int channels);  // only when > 0
  void SetIntGenericOption(const std::string &name, int64_t value);
  void SetThreadCount(int count);  // 0 = the libraries choose; default 1

  // ---- setters of the host (FFmpeg.cpp)
  void SetStartTime(int64_t us);      // ignores AV_NOPTS_VALUE
  void SetRecordingTime(int64_t us);  // ignores AV_NOPTS_VALUE; also ExpectedDuration
  void SetVerbose(int v) { FSettings.Verbose = v; }
  void SetReportPeriod(int64_t us) { FReportPeriod = us; }
  void SetPreviewPeriod(int64_t us) { FPreviewPeriod = us; }
  // The preview flags are shared with the conversion thread: read and changed under the preview
  // lock.  Clearing bit 0 frees the window.
  void SetPreviewFlags(uint8_t flags);
  void SetPreviewFlag(uint8_t bit, bool on);  // one bit, the others as they are
  uint8_t PreviewFlags() const;
  void SetCustomHookCallback(TCustomHookCallback cb) { FCustomHookCallback = std::move(cb); }
  void SetPreviewBitmapCallback(TPreviewBitmapCallback cb) {
    FPreviewBitmapCallback = std::move(cb);
  }
  void SetProgressCallback(TProgressCallback cb) { FProgressCallback = std::move(cb); }
  void SetTerminateCallback(TTerminateCallback cb) { FTerminateCallback = std::move(cb); }
  // Work done on the run's own thread before it converts: a host that opens the task's input
  // and output there keeps them closed until the task starts.  An exception fails the run with
  // its text.
  void SetOpening(std::function<void()> opening) { FOpening = std::move(opening); }
  // True while an output's index is moved to the start of the file (after the last packet);
  // progress reported meanwhile belongs to that step.
  bool MovingIndex() const { return FMovingIndex; }

  // ---- file set-up (FFFiles.cpp)
  bool AddInputFile(const std::wstring &fileName);
  int AddOutputFile(const std::wstring &fileName, bool join);
  void AddVideoStream(TOutputFile &file);
  void AddAudioStream(TOutputFile &file);
  // Sample rate, channel layout and sample format of an audio encoder: the encoder's nearest
  // where it does not take the values asked for.
  void SetAudioEncoderFormat(AVCodecContext *enc, int rate, const AVChannelLayout &layout,
                             int sampleFormat, bool report);
  // The audio values an encoded stream asked for, with its source's where it asked for none.
  void SetAudioFromSource(TOutputStreamRec &ost, const TInputStreamRec &ist);
  void AddSubtitleStream(TOutputFile &file);
  struct TInputKinds {
    bool HasVideo = false, HasAudio = false, HasSubtitle = false;
  };
  TInputKinds CheckInputKinds(bool firstInputOnly) const;

  // ---- state read by the host
  int InputCount() const { return static_cast<int>(FInputFiles.size()); }
  int OutputCount() const { return static_cast<int>(FOutputFiles.size()); }
  const std::string &LastError() const { return FLastError; }
  bool Running() const { return FRunning; }
  bool StopRequested() const { return FStopRequested; }
  bool RanToEnd() const { return FRanToEnd; }
  bool Terminated() const { return FTerminated; }
  bool ErrorOccurred() const { return FErrorOccurred; }
  const std::string &ErrorMessage() const { return FErrorMessage; }
  bool JoinMode() const { return FJoinMode; }
  bool Paused() const;
  int64_t ExpectedDuration() const { return FExpectedDuration; }
  void SetExpectedDuration(int64_t us) { FExpectedDuration = us; }
  int64_t ReportPeriod() const { return FReportPeriod; }
  int64_t PreviewPeriod() const { return FPreviewPeriod; }

  // ---- shared with the option table and the audio/video paths
  TEngineSettings &Settings() { return FSettings; }
  const TEngineSettings &Settings() const { return FSettings; }
  TRunCounters &Counters() { return FCounters; }
  std::vector<TStreamMapRec> &StreamMaps() { return FStreamMaps; }
  std::vector<TMetaDataMapRec> &MetaDataMaps() { return FMetaDataMaps; }
  std::array<int, MaxStreams> &StreamIdMap() { return FStreamIdMap; }
  // Timestamp scales of the input files' streams (0 = none), by input file and stream.
  std::array<std::array<double, MaxStreams>, MaxFiles> &InputTsScales() { return FInputTsScales; }
  // Bitstream filters that the next created stream of a kind (0 video, 1 audio, 2 subtitle) takes.
  std::array<TBsfChain, 3> &PendingBitstreamFilters() { return FPendingBsfs; }
  std::vector<std::unique_ptr<TInputFile>> &InputFiles() { return FInputFiles; }
  std::vector<std::shared_ptr<TOutputFile>> &OutputFiles() { return FOutputFiles; }
  std::vector<TInputStreamRec> &InputStreams() { return FInputStreams; }
  std::vector<TOutputStreamRec> &OutputStreams() { return FOutputStreams; }
  const TCustomHookCallback &CustomHookCallback() const { return FCustomHookCallback; }
  const TPreviewBitmapCallback &PreviewBitmapCallback() const { return FPreviewBitmapCallback; }
  // Switches the custom hook off for the rest of the run (and the hook libraries with it).
  void DisableCustomHook();
  int32_t &HookFrameCounter() { return FHookFrameCounter; }
  int64_t &LastPreviewTime() { return FLastPreviewTime; }
  TLatePtr<TFrameHookList> &FrameHooks() { return FFrameHooks; }
  TLatePtr<TRgbConverter> &HookConverter() { return FHookConverter; }
  TLatePtr<TRgbConverter> &PreviewConverter() { return FPreviewConverter; }
  // The host's maker of the preview window (shown when bit 0 of the preview flags is set).
  void SetPreviewerFactory(std::function<std::unique_ptr<TPreviewer>()> factory) {
    FPreviewerFactory = std::move(factory);
  }

  // Writes one packet of an output stream through its bitstream filters and the interleaver.  The
  // packet's timestamps are in the output stream's time base; the stream index is set here.  The
  // packet is consumed (unreferenced) in every case.
  void WriteFrame(TOutputStreamRec &ost, AVPacket *pkt);

  // Opens / closes a codec under the codec lock and keeps the opened-codec lists.
  // Return the library's result (negative on failure).
  int OpenEncoder(TOutputStreamRec &ost, const AVCodec *codec, AVDictionary **options);
  int OpenDecoder(TInputStreamRec &ist, const AVCodec *codec, AVDictionary **options);
  void CloseEncoder(TOutputStreamRec &ost);
  void CloseDecoder(TInputStreamRec &ist);

  // Log with the engine as sender.
  void Log(TLogLevel level, const std::string &msg) const;
  void LogFmt(TLogLevel level, const char *fmt, ...) const __attribute__((format(printf, 3, 4)));

 protected:
  // Runs the five guarded steps of a run: transcode, close encoders, close decoders, ClearAll,
  // DeliverTermination.
  void RunTask();
  void DeliverTermination();

 private:
  // ---- the run (FFmpeg.cpp)
  void RunTranscode();
  void MainLoop();
  int ChooseInputFile() const;
  bool HandleEndOfInput(int fileIndex);  // join mode; true when the loop must end
  void PrepareAndProcessPacket(int fileIndex, AVPacket *pkt);
  void BridgeTimestampJump(int fileIndex, TInputStreamRec &ist, AVPacket *pkt);
  int64_t UndeclaredJumpThreshold() const;  // µs
  void FinishRun();
  void FreeRunTables();
  void CloseOpenedCodecs();
  void ReportStatus(bool last, int fileIndex);
  void WaitWhilePaused();
  void WaitForEvent(TManualEvent &event, bool serveMainThread);

  // ---- stream mapping and codec opening (FFMapping.cpp)
  void BuildInputTables();
  void BuildOutputTables();
  void ChooseSources();
  int FindSourceStream(int fileIndex, const AVStream *ost) const;
  void PrepareCodecs();
  void PrepareStreamCopy(TOutputStreamRec &ost, TInputStreamRec &ist);
  void PrepareEncoding(TOutputStreamRec &ost, TInputStreamRec &ist);
  void OpenPassLog(TOutputStreamRec &ost, int index);
  void OpenEncoders();
  void OpenDecoders();
  void InitInputTiming();
  void InitBitstreamFilters();
  void ApplyMetadataMaps();
  void CopyChapters();
  void WriteHeaders();
  void DumpMapping();
  [[noreturn]] void FailAfterDump(const std::string &msg);

  // ---- packet processing (FFPackets.cpp)
  // Returns 0, or -1 when decoding failed; pkt null drains the decoder at the end of the input.
  int ProcessPacket(TInputStreamRec &ist, int istIndex, const AVPacket *pkt);
  void CopyPacket(TOutputStreamRec &ost, TInputStreamRec &ist, const AVPacket *pkt);

  // ---- decoding and the encoded output paths (FFDecode.cpp)
  void BuildVideoGraph(TOutputStreamRec &ost, TInputStreamRec &ist);  // before the encoder opens
  void PrepareSubtitleEncoder(TOutputStreamRec &ost, TInputStreamRec &ist);  // likewise
  void CreateOutputPaths();  // after the encoders and decoders are open
  TOutputStreamRec &PathOwner(TOutputStreamRec &ost);
  int DecodePacket(TInputStreamRec &ist, int istIndex, const AVPacket *pkt);
  int DecodeSubtitle(TInputStreamRec &ist, int istIndex, const AVPacket *pkt);
  void WarnMultipleFrames(TInputStreamRec &ist);
  bool IsPastStart(const TInputStreamRec &ist) const;
  void CopyToOutputs(TInputStreamRec &ist, int istIndex, const AVPacket *pkt);
  void OutputDecodedFrame(TInputStreamRec &ist, int istIndex, AVFrame *frame);
  bool IsBeforeInputStart(const TInputStreamRec &ist) const;
  AVFrame *CutBeforeInputStart(TInputStreamRec &ist, AVFrame *frame);
  AVFrame *TurnUpright(TInputStreamRec &ist, AVFrame *frame);
  void PreprocessPicture(TInputStreamRec &ist, AVFrame *frame);
  std::function<void(const AVFrame *, int64_t)> PreviewStep();
  bool ShowInPreviewWindow(const TBitmap &bitmap, int32_t frameNumber, int64_t pts);
  void FreeUnwantedPreviewWindow();
  void FlushOutputs(int istIndex);
  void ApplyBitstreamFilters(TOutputStreamRec &ost, AVPacket *pkt, std::vector<TPacketPtr> &out);

  // ---- file set-up helpers (FFFiles.cpp)
  bool OpenInputFile(const std::string &shown, const std::string &url, const AVInputFormat *format,
                     std::unique_ptr<TInputFile> &file);
  void SetUpInputStreams(TInputFile &file, const AVCodec *const forced[3]);
  // A silent sound track as one more input, for containers that need one; false when it cannot
  // be made.  It ends when every other input has ended.
  bool AddSilentInput();
  void ChooseOutputStreams(TOutputFile &file, bool join, bool &video, bool &audio, bool &sub);
  AVStream *NewOutputStream(TOutputFile &file, AVMediaType type, const AVCodec *codec);
  void ApplyOutputMetadata(TOutputFile &file);
  void OpenOutputIO(TOutputFile &file, const std::wstring &fileName);

  TEngineSettings FSettings;

  // Files and tables.
  std::vector<std::unique_ptr<TInputFile>> FInputFiles;
  std::array<int64_t, MaxFiles> FInputTsOffsets{};
  // Where the part of each input to convert begins on the run's clock (µs), AV_NOPTS_VALUE for
  // the whole input.  Seeking stops at the key frame before it: what is decoded up to it is not
  // part of the output.
  std::array<int64_t, MaxFiles> FInputStarts{};
  std::array<std::array<double, MaxStreams>, MaxFiles> FInputTsScales{};
  std::vector<const AVCodec *> FInputCodecs;  // forced decoders, one per input stream
  // The same file appears InputCount times in join mode.
  std::vector<std::shared_ptr<TOutputFile>> FOutputFiles;
  std::vector<TStreamMapRec> FStreamMaps;
  std::vector<TMetaDataMapRec> FMetaDataMaps;
  std::array<int, MaxStreams> FStreamIdMap{};
  std::array<TBsfChain, 3> FPendingBsfs;

  // Per-run tables.
  std::vector<TInputFileRec> FInputFileRecs;
  std::vector<TInputStreamRec> FInputStreams;
  std::vector<TOutputStreamRec> FOutputStreams;
  int FStreamsPerOutput = 0;
  int FCurrentInput = 0;  // join mode

  TRunCounters FCounters;

  // Opened codecs; what is left after a run is closed by RunTask.
  std::list<TOutputStreamRec *> FOpenedEncoders;
  std::list<TInputStreamRec *> FOpenedDecoders;

  // Hooks and preview.
  TLatePtr<TFrameHookList> FFrameHooks;
  TLatePtr<TRgbConverter> FHookConverter;
  TLatePtr<TRgbConverter> FPreviewConverter;
  // Shared, so that the conversion thread can show a picture in it outside the preview lock
  // while the host clears the window bit.
  std::shared_ptr<TPreviewer> FPreviewer;
  std::function<std::unique_ptr<TPreviewer>()> FPreviewerFactory;
  int32_t FHookFrameCounter = 0;
  int64_t FLastPreviewTime = 0;

  // Run state.
  uint8_t FPreviewFlags = 0;
  bool FJoinMode = false;
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FStopRequested{false};
  std::atomic<bool> FRanToEnd{false};
  std::atomic<bool> FTerminated{false};
  bool FErrorOccurred = false;
  std::string FErrorMessage;
  std::string FReadError;  // why an input could not be read to its end (empty: it could)
  std::string FLastError;
  int64_t FExpectedDuration = -1;

  // Callbacks and intervals.
  TCustomHookCallback FCustomHookCallback;
  TPreviewBitmapCallback FPreviewBitmapCallback;
  TProgressCallback FProgressCallback;
  std::atomic<bool> FMovingIndex{false};
  TTerminateCallback FTerminateCallback;
  std::function<void()> FOpening;
  int64_t FReportPeriod = 500000;
  int64_t FPreviewPeriod = 100000;

  // Threads.
  std::unique_ptr<TConvertThread> FWorker;
  std::atomic<bool> FWorkerActive{false};
  std::unique_ptr<TConvertThread> FTerminateThread;
  TManualEvent FRunDoneEvent{true};
  TManualEvent FTerminateDoneEvent{true};
  mutable std::mutex FPauseLock;
  std::condition_variable FPauseChanged;
  bool FPaused = false;
  std::mutex FTerminateLock;  // makes DeliverTermination happen once
};
