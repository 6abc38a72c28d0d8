// The transcode driver: set-up of a run, the packet loop, the end of a run and the status report.
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "engine/FFMapping.h"
#include "engine/FFmpeg.h"
#include "engine/StatusReport.h"
#include "engine/VideoPath.h"
#include "services/MediaErrors.h"
#include "services/UnicodeProtocol.h"

namespace {

constexpr int TryAgain = AVERROR(EAGAIN);

// The error behind a failed read, 0 when the input simply ended.  Demuxers often report a failing
// byte stream as the end of the file, so the stream's own error counts too.
int ReadError(const AVFormatContext *is, int ret) {
  if (is->pb && is->pb->error < 0 && is->pb->error != AVERROR_EOF) return is->pb->error;
  return ret == AVERROR_EOF ? 0 : ret;
}

double OutputTime(const TOutputStreamRec &ost) {
  return static_cast<double>(ost.CurrentTs) * av_q2d(ost.Stream->time_base);
}

// Whether the muxer of an MP4-family output was told to move its index to the start
// ("movflags" with "faststart").
bool MovesIndexToStart(AVFormatContext *oc) {
  // Only a muxer with options of its own has an option table at the head of its private data.
  if (!oc || !oc->priv_data || !oc->oformat || !oc->oformat->priv_class) return false;
  const AVOption *faststart = ff::av_opt_find(oc->priv_data, "faststart", "movflags", 0, 0);
  int64_t flags = 0;
  if (!faststart || ff::av_opt_get_int(oc->priv_data, "movflags", 0, &flags) < 0) return false;
  return (flags & faststart->default_val.i64) != 0;
}

}  // namespace

void TCustomFFmpeg::RunTranscode() {
  BuildInputTables();
  BuildOutputTables();
  ChooseSources();
  PrepareCodecs();
  OpenEncoders();
  OpenDecoders();
  CreateOutputPaths();
  InitInputTiming();
  ApplyMetadataMaps();
  CopyChapters();
  InitBitstreamFilters();
  WriteHeaders();
  DumpMapping();
  FCounters.TimerStart = FCounters.LastReportTime = ff::av_gettime();
  FCurrentInput = 0;
  for (auto &f : FInputFileRecs) f.NoPacket = false;
  FReadError.clear();
  MainLoop();
  FinishRun();
  if (!FReadError.empty()) throw FFmpegException(FReadError);
}

int TCustomFFmpeg::ChooseInputFile() const {
  if (FJoinMode) {
    const int first = FCurrentInput * FStreamsPerOutput;
    for (int i = first; i < first + FStreamsPerOutput; ++i) {
      const TOutputStreamRec &ost = FOutputStreams[i];
      if (ost.FramesWritten >= FSettings.MaxFrames(ost.Stream->codecpar->codec_type)) return -1;
    }
    return FCurrentInput;
  }
  int chosen = -1;
  double minInput = 1e100, minOutput = 1e100;
  for (const TOutputStreamRec &ost : FOutputStreams) {
    const TInputStreamRec &ist = FInputStreams[ost.SourceIndex];
    const TInputFileRec &file = FInputFileRecs[ist.InputFileIndex];
    if (ist.IsPastRecordingTime || file.NoPacket) continue;
    if (!file.EofReached) {
      const double opts = OutputTime(ost);
      const double ipts = static_cast<double>(ist.Pts);
      if (ipts < minInput) {
        minInput = ipts;
        if (FSettings.InputSync) chosen = ist.InputFileIndex;
      }
      if (opts < minOutput) {
        minOutput = opts;
        if (!FSettings.InputSync) chosen = ist.InputFileIndex;
      }
    }
    if (ost.FramesWritten >= FSettings.MaxFrames(ost.Stream->codecpar->codec_type)) return -1;
  }
  return chosen;
}

void TCustomFFmpeg::MainLoop() {
  TPacketPtr pkt(ff::av_packet_alloc());
  if (!pkt) throw FFmpegException("av_packet_alloc fail");
  while (!FStopRequested) {
    WaitWhilePaused();
    if (FStopRequested) break;
    const int fileIndex = ChooseInputFile();
    if (fileIndex < 0) {
      bool anyNoPacket = false;
      for (auto &f : FInputFileRecs) anyNoPacket = anyNoPacket || f.NoPacket;
      if (FJoinMode || !anyNoPacket) break;
      for (auto &f : FInputFileRecs) f.NoPacket = false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    AVFormatContext *first = FOutputFiles[0]->Ctx.get();
    if (FSettings.LimitFileSize != 0 && first->pb &&
        ff::avio_seek(first->pb, 0, SEEK_CUR) > FSettings.LimitFileSize)
      break;
    AVFormatContext *is = FInputFiles[fileIndex]->Ctx.get();
    const int ret = ff::av_read_frame(is, pkt.get());
    if (ret == TryAgain) {
      FInputFileRecs[fileIndex].NoPacket = true;
      continue;
    }
    if (ret < 0) {
      if (FStopRequested) break;
      // Only the end of the file ends an input; a failing read ends the run as a failure (the
      // output is still finished, so that what was converted stays readable).
      if (const int error = ReadError(is, ret)) {
        FReadError = WithMediaError(WideToUTF8(URLToFileName(is->url)), error);
        break;
      }
      FInputFileRecs[fileIndex].EofReached = true;
      if (FJoinMode) {
        if (HandleEndOfInput(fileIndex)) break;
        continue;
      }
      if (FSettings.OptShortest) break;
      continue;
    }
    for (auto &f : FInputFileRecs) f.NoPacket = false;
    if (FSettings.DoPktDump || FSettings.DoHexDump)
      ff::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt.get(), FSettings.DoHexDump,
                           is->streams[pkt->stream_index]);
    PrepareAndProcessPacket(fileIndex, pkt.get());
    ff::av_packet_unref(pkt.get());
    const int64_t now = ff::av_gettime();
    if (now - FCounters.LastReportTime > FReportPeriod) {
      FCounters.LastReportTime = now;
      ReportStatus(false, fileIndex);
    }
  }
}

void TCustomFFmpeg::PrepareAndProcessPacket(int fileIndex, AVPacket *pkt) {
  const TInputFileRec &file = FInputFileRecs[fileIndex];
  if (pkt->stream_index >= file.StreamCount) return;
  const int istIndex = file.FirstStream + pkt->stream_index;
  TInputStreamRec &ist = FInputStreams[istIndex];
  if (ist.Discard) return;
  const AVRational tb = ist.Stream->time_base;
  const int64_t offset = ff::av_rescale_q(FInputTsOffsets[fileIndex], AV_TIME_BASE_Q, tb);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += offset;
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += offset;
  const double scale = pkt->stream_index < MaxStreams && fileIndex < MaxFiles
                           ? FInputTsScales[fileIndex][pkt->stream_index]
                           : 0;
  if (scale != 0) {
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = std::nearbyint(pkt->dts * scale);
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = std::nearbyint(pkt->pts * scale);
  }
  AVFormatContext *is = FInputFiles[fileIndex]->Ctx.get();
  // Formats with timestamp jumps (MPEG-TS and the like): fold a jump into the file's offset.
  if (pkt->dts != AV_NOPTS_VALUE && ist.NextPts != AV_NOPTS_VALUE &&
      (is->iformat->flags & AVFMT_TS_DISCONT)) {
    const int64_t pktTime = ff::av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
    const int64_t delta = pktTime - ist.NextPts;
    if ((std::llabs(delta) > static_cast<int64_t>(FSettings.DtsDeltaThreshold * AV_TIME_BASE) ||
         pktTime + 1 < ist.Pts) &&
        !FSettings.CopyTs) {
      FInputTsOffsets[fileIndex] -= delta;
      if (FSettings.Verbose >= 3)
        LogFmt(TLogLevel::llVerbose, "timestamp discontinuity %lld, new offset= %lld",
               static_cast<long long>(delta), static_cast<long long>(FInputTsOffsets[fileIndex]));
      const int64_t d = ff::av_rescale_q(delta, AV_TIME_BASE_Q, tb);
      pkt->dts -= d;
      if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= d;
    }
  } else if (!FSettings.CopyTs) {
    BridgeTimestampJump(fileIndex, ist, pkt);
  }
  if (FSettings.RecordingTime != INT64_MAX && pkt->pts != AV_NOPTS_VALUE &&
      ff::av_compare_ts(pkt->pts, tb, FSettings.RecordingTime + FSettings.StartTime,
                        AV_TIME_BASE_Q) >= 0) {
    ist.IsPastRecordingTime = true;
    return;
  }
  if (ProcessPacket(ist, istIndex, pkt) < 0) {
    const char *type = MediaTypeName(ist.Stream->codecpar->codec_type);
    if (FSettings.ExitOnError) {
      char text[256];
      std::snprintf(text, sizeof text, "Error while decoding stream #%d.%d (%s)", fileIndex,
                    pkt->stream_index, type);
      throw FFmpegException(text);
    }
    if (FSettings.Verbose >= 0)
      LogFmt(TLogLevel::llVerbose, "Error while decoding stream #%d.%d (%s)", fileIndex,
             pkt->stream_index, type);
  }
}

int64_t TCustomFFmpeg::UndeclaredJumpThreshold() const {
  // Far beyond any pause a real recording has, so that long stills and late streams keep their
  // times; a jump beyond it is a broken clock.
  constexpr int64_t Hour = 3600LL * AV_TIME_BASE;
  return std::max(Hour, static_cast<int64_t>(FSettings.DtsDeltaThreshold * AV_TIME_BASE));
}

// Other formats do not declare timestamp jumps, yet some files have them (a stream that starts
// a thousand hours after the others, a clock that leaps): a stream that leaves the file's other
// streams by more than the threshold is moved back to them, so that the gap is neither filled
// with copies nor waited for.  Gaps within a file's only stream are left to the video path.
void TCustomFFmpeg::BridgeTimestampJump(int fileIndex, TInputStreamRec &ist, AVPacket *pkt) {
  const AVRational tb = ist.Stream->time_base;
  if (ist.TsShift != 0) {
    const int64_t d = ff::av_rescale_q(ist.TsShift, AV_TIME_BASE_Q, tb);
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += d;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += d;
  }
  if (pkt->dts == AV_NOPTS_VALUE) return;
  TInputFileRec &file = FInputFileRecs[fileIndex];
  int64_t clock = AV_NOPTS_VALUE;  // where the file's other streams in use are
  for (int i = file.FirstStream; i < file.FirstStream + file.StreamCount; ++i) {
    const TInputStreamRec &other = FInputStreams[i];
    if (&other != &ist && !other.Discard && other.LastDts != AV_NOPTS_VALUE)
      clock = clock == AV_NOPTS_VALUE ? other.LastDts : std::max(clock, other.LastDts);
  }
  const int64_t t = ff::av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
  const int64_t threshold = UndeclaredJumpThreshold();
  int64_t delta = 0;
  if (file.FirstDts == AV_NOPTS_VALUE) {
    file.FirstDts = t;  // the file's first packet sets where it starts
  } else if (ist.LastDts == AV_NOPTS_VALUE) {
    // A stream's first packet belongs where the file starts.
    if (std::llabs(t - file.FirstDts) > threshold) delta = t - file.FirstDts;
  } else if (clock != AV_NOPTS_VALUE && std::llabs(t - ist.LastDts) > threshold &&
             std::llabs(t - clock) > threshold) {
    delta = t - (ist.LastDts + std::max<int64_t>(ist.LastDuration, 1));
  }
  if (delta != 0) {
    ist.TsShift -= delta;
    if (FSettings.Verbose >= 3)
      LogFmt(TLogLevel::llVerbose, "timestamp discontinuity %lld, new offset= %lld",
             static_cast<long long>(delta), static_cast<long long>(ist.TsShift));
    const int64_t d = ff::av_rescale_q(delta, AV_TIME_BASE_Q, tb);
    pkt->dts -= d;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= d;
  }
  ist.LastDts = ff::av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
  ist.LastDuration = pkt->duration > 0 ? ff::av_rescale_q(pkt->duration, tb, AV_TIME_BASE_Q) : 0;
}

bool TCustomFFmpeg::HandleEndOfInput(int fileIndex) {
  const TInputFileRec &file = FInputFileRecs[fileIndex];
  for (int i = file.FirstStream; i < file.FirstStream + file.StreamCount; ++i) {
    TInputStreamRec &ist = FInputStreams[i];
    if (!ist.DecodingNeeded || ist.Flushed) continue;
    ProcessPacket(ist, i, nullptr);
    if (ist.Dec) ff::avcodec_flush_buffers(ist.Dec);
    ist.Flushed = true;
  }
  const bool last = fileIndex == InputCount() - 1;
  // Carry the output clocks over to the next slice and find where this slice ended.
  for (size_t i = (fileIndex + 1) * FStreamsPerOutput; i < FOutputStreams.size(); ++i) {
    FOutputStreams[i].SyncOpts = FOutputStreams[i - FStreamsPerOutput].SyncOpts;
    FOutputStreams[i].FramesWritten = FOutputStreams[i - FStreamsPerOutput].FramesWritten;
    FOutputStreams[i].CurrentTs = FOutputStreams[i - FStreamsPerOutput].CurrentTs;
    FOutputStreams[i].LastMuxDts = FOutputStreams[i - FStreamsPerOutput].LastMuxDts;
  }
  double endTime = 0;
  for (size_t i = fileIndex * FStreamsPerOutput;
       i < static_cast<size_t>((fileIndex + 1) * FStreamsPerOutput) &&
       i + FStreamsPerOutput < FOutputStreams.size();
       ++i) {
    endTime = std::max(endTime, OutputTime(FOutputStreams[i]));
    FOutputStreams[i].Active = false;
  }
  if (last) return true;
  const int64_t shift = std::llrint(endTime * AV_TIME_BASE);
  FInputTsOffsets[fileIndex + 1] += shift;
  if (FInputStarts[fileIndex + 1] != AV_NOPTS_VALUE) FInputStarts[fileIndex + 1] += shift;
  FCurrentInput = fileIndex + 1;
  return false;
}

void TCustomFFmpeg::FinishRun() {
  for (size_t i = 0; i < FInputStreams.size(); ++i) {
    TInputStreamRec &ist = FInputStreams[i];
    if (ist.DecodingNeeded && !ist.Flushed) ProcessPacket(ist, static_cast<int>(i), nullptr);
  }
  for (size_t i = 0; i < FOutputFiles.size(); ++i) {
    if (FJoinMode && i > 0) break;
    // Moving the index to the start rewrites the whole file inside the trailer: a long step
    // that the host shows rather than a progress that stands still.
    if (MovesIndexToStart(FOutputFiles[i]->Ctx.get())) {
      FMovingIndex = true;
      ReportStatus(false, static_cast<int>(i));
    }
    const int ret = ff::av_write_trailer(FOutputFiles[i]->Ctx.get());
    FMovingIndex = false;
    if (ret < 0)
      LogFmt(TLogLevel::llError, "Output file #%d: %s", static_cast<int>(i),
             MediaErrorText(ret).c_str());
  }
  ReportStatus(true, -1);
  CloseOpenedCodecs();
  FRanToEnd = !FStopRequested && FReadError.empty();
  FreeRunTables();
}

void TCustomFFmpeg::ReportStatus(bool last, int fileIndex) {
  if (FOutputFiles.empty() || FOutputStreams.empty()) return;
  AVFormatContext *oc = FOutputFiles[0]->Ctx.get();
  int64_t totalSize = 0;
  if (oc->pb) {
    totalSize = ff::avio_size(oc->pb);
    if (totalSize < 0) totalSize = ff::avio_seek(oc->pb, 0, SEEK_CUR);
  }
  TStatusValues values;
  values.Last = last;
  values.QpHist = FSettings.QpHist;
  int frameNumber = -1, fps = -1;
  float quality = -1;
  double ti1 = 1e10;
  for (TOutputStreamRec &ost : FOutputStreams) {
    if (ost.Active && ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      TStatusVideo video;
      video.FramesWritten = ost.FramesWritten;
      video.Quality = ost.EncodingNeeded ? ost.Quality / FF_QP2LAMBDA : -1.0f;
      if (const TOutputStreamRec &owner = PathOwner(ost); FSettings.DoPSNR && owner.Video) {
        const TVideoFrameStats &stats = owner.Video->LastFrame();
        video.Psnr = stats.HasError;
        std::copy(stats.Error, stats.Error + 3, video.FrameError);
        video.Encoder = ost.Enc;
      }
      if (values.Videos.empty()) {
        if (ost.FramesWritten < 1) return;
        frameNumber = ost.FramesWritten;
        const double elapsed = (ff::av_gettime() - FCounters.TimerStart) / 1e6;
        fps = elapsed > 1 ? static_cast<int>(frameNumber / elapsed + 0.5) : 0;
        quality = video.Quality;
        values.Fps = fps;
      }
      values.Videos.push_back(video);
    }
    const double t = OutputTime(ost);
    if (t > 0 && t < ti1) ti1 = t;
  }
  if (ti1 < 0.01) ti1 = 0.01;
  const double bitrate = totalSize * 8 / ti1 / 1000.0;
  values.TotalSize = static_cast<double>(totalSize);
  values.Time = ti1;
  values.Bitrate = bitrate;
  values.FramesDup = FCounters.FramesDup;
  values.FramesDrop = FCounters.FramesDrop;
  const std::string line = FormatStatusLine(values);
  if ((FCounters.FramesDup || FCounters.FramesDrop) && FCounters.DupDropNoticed &&
      FSettings.Verbose >= 0 && FProgressCallback) {
    FCounters.DupDropNoticed = false;
    Log(TLogLevel::llVerbose, line);
  }
  if (FProgressCallback)
    FProgressCallback(this, fileIndex, frameNumber, fps, quality, static_cast<float>(bitrate),
                      totalSize, static_cast<int64_t>(ti1 * 1000000), FExpectedDuration);
  else if (FSettings.Verbose >= 0)
    Log(TLogLevel::llVerbose, line);
  if (last && FSettings.Verbose >= 0)
    Log(TLogLevel::llVerbose,
        FormatSummary(FCounters.VideoSize, FCounters.AudioSize, FCounters.ExtraSize, totalSize));
}
