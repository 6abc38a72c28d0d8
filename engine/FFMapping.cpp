// Set-up of a run: input and output tables, the source of every output stream, codec preparation
// for stream copy and encoding, codec opening, metadata, chapters, headers and the mapping report.
#include "engine/FFMapping.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/FFmpeg.h"
#include "services/AVProbe.h"
#include "services/MediaErrors.h"
#include "services/TextFormat.h"

namespace {

// A stream belongs to the program with that id of its file.
bool InProgram(const AVFormatContext *ic, int streamIndex, int programId) {
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    const AVProgram *program = ic->programs[p];
    if (program->id != programId) continue;
    for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
      if (static_cast<int>(program->stream_index[k]) == streamIndex) return true;
  }
  return false;
}

}  // namespace

const char *MediaTypeName(int type) {
  switch (type) {
    case AVMEDIA_TYPE_VIDEO: return "Video";
    case AVMEDIA_TYPE_AUDIO: return "Audio";
    case AVMEDIA_TYPE_DATA: return "Data";
    case AVMEDIA_TYPE_SUBTITLE: return "Subtitle";
    case AVMEDIA_TYPE_ATTACHMENT: return "Attachment";
    default: return "Unknown";
  }
}

int CodecTicksPerFrame(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_HEVC: return 2;
    default: return 1;
  }
}

int64_t AnalysedFrames(const AVStream *st) {
  if (st->nb_frames > 0) return st->nb_frames;
  if (st->duration == AV_NOPTS_VALUE || st->duration <= 0) return 0;
  const double seconds = st->duration * av_q2d(st->time_base);
  const AVCodecParameters *par = st->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO && st->avg_frame_rate.num > 0)
    return std::llround(seconds * av_q2d(st->avg_frame_rate));
  if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0)
    return std::llround(seconds * par->sample_rate /
                        (par->frame_size > 0 ? par->frame_size : 1024));
  return 0;
}

AVRational StreamCopyTimeBase(AVRational streamTb, AVRational codecTb, int ticks) {
  if (codecTb.num > 0 && codecTb.den > 0 && av_q2d(streamTb) < av_q2d(codecTb) * ticks &&
      av_q2d(streamTb) < 0.001) {
    AVRational tb;
    ff::av_reduce(&tb.num, &tb.den, static_cast<int64_t>(codecTb.num) * ticks, codecTb.den,
                  INT_MAX);
    return tb;
  }
  return streamTb;
}

// A failed copy of stream parameters (out of memory for extradata, in practice) ends the run.
static void CheckParameters(int err, const TOutputStreamRec &ost) {
  if (err < 0)
    throw FFmpegException(
        WithMediaError(FormatText("Cannot set the parameters of output stream #%d.%d",
                                  ost.OutputFileIndex, ost.OutputStreamIndex),
                       err));
}

std::string PassLogFileName(const std::string &prefix, int index) {
  std::string name =
      (prefix.empty() ? std::string("ffmpeg2pass") : prefix) + "-" + std::to_string(index) + ".log";
  if (name.size() > 1023) name.resize(1023);
  return name;
}

// ---- tables

void TCustomFFmpeg::BuildInputTables() {
  FInputFileRecs.clear();
  FInputStreams.clear();
  for (int i = 0; i < InputCount(); ++i) {
    AVFormatContext *ic = FInputFiles[i]->Ctx.get();
    TInputFileRec rec;
    rec.FirstStream = static_cast<int>(FInputStreams.size());
    rec.StreamCount = static_cast<int>(ic->nb_streams);
    FInputFileRecs.push_back(rec);
    for (unsigned k = 0; k < ic->nb_streams; ++k) {
      TInputStreamRec ist;
      ist.InputFileIndex = i;
      ist.InputStreamIndex = static_cast<int>(k);
      ist.Stream = ic->streams[k];
      ist.Dec = k < FInputFiles[i]->Codecs.size() ? FInputFiles[i]->Codecs[k].get() : nullptr;
      if (FSettings.RateEmu) ist.Start = ff::av_gettime();
      FInputStreams.push_back(std::move(ist));
    }
  }
}

void TCustomFFmpeg::BuildOutputTables() {
  int total = 0;
  for (int i = 0; i < OutputCount(); ++i) {
    AVFormatContext *oc = FOutputFiles[i]->Ctx.get();
    if (oc->nb_streams == 0) {
      ff::av_dump_format(oc, i, oc->url, 1);
      throw FFmpegException(FormatText("Output file #%d does not contain any stream", i));
    }
    total += static_cast<int>(oc->nb_streams);
  }
  FStreamsPerOutput = static_cast<int>(FOutputFiles[0]->Ctx->nb_streams);
  if (!FStreamMaps.empty()) {
    if (static_cast<int>(FStreamMaps.size()) != total)
      throw FFmpegException("Number of stream maps must match number of output streams");
    for (const TStreamMapRec &m : FStreamMaps) {
      if (m.FileIndex < 0 || m.FileIndex >= InputCount() || m.StreamIndex < 0 ||
          m.StreamIndex >= FInputFileRecs[m.FileIndex].StreamCount)
        throw FFmpegException(
            FormatText("Could not find input stream #%d.%d", m.FileIndex, m.StreamIndex));
      if (m.SyncFileIndex < 0 || m.SyncFileIndex >= InputCount() || m.SyncStreamIndex < 0 ||
          m.SyncStreamIndex >= FInputFileRecs[m.SyncFileIndex].StreamCount)
        throw FFmpegException(
            FormatText("Could not find sync stream #%d.%d", m.SyncFileIndex, m.SyncStreamIndex));
    }
  }
  FOutputStreams.clear();
  FOutputStreams.reserve(total);
  for (int i = 0; i < OutputCount(); ++i) {
    TOutputFile &file = *FOutputFiles[i];
    for (unsigned k = 0; k < file.Ctx->nb_streams; ++k) {
      TOutputStreamRec ost;
      ost.OutputFileIndex = i;
      ost.OutputStreamIndex = static_cast<int>(k);
      ost.Stream = file.Ctx->streams[k];
      ost.File = &file;
      ost.Setup = &file.Streams[k];
      ost.Enc = ost.Setup->Codec.get();
      FOutputStreams.push_back(std::move(ost));
    }
  }
}

int TCustomFFmpeg::FindSourceStream(int fileIndex, const AVStream *st) const {
  const AVMediaType type = st->codecpar->codec_type;
  int best = -1;
  int64_t bestFrames = -1;
  for (size_t j = 0; j < FInputStreams.size(); ++j) {
    const TInputStreamRec &ist = FInputStreams[j];
    const AVFormatContext *ic = FInputFiles[ist.InputFileIndex]->Ctx.get();
    if (!ist.Discard || ist.Stream->discard == AVDISCARD_ALL || StreamKindOf(ist.Stream) != type)
      continue;
    if (FSettings.ProgramId && !InProgram(ic, ist.InputStreamIndex, FSettings.ProgramId)) continue;
    if (FJoinMode && ist.InputFileIndex != fileIndex) continue;
    const int64_t frames = AnalysedFrames(ist.Stream);
    if (frames > bestFrames) {
      bestFrames = frames;
      best = static_cast<int>(j);
    }
  }
  if (best < 0 && !FSettings.ProgramId && !FJoinMode) {
    // Reuse: an output of a kind no untaken stream is left for shares the last one of its kind.
    for (size_t j = 0; j < FInputStreams.size(); ++j) {
      const TInputStreamRec &ist = FInputStreams[j];
      if (ist.Stream->discard != AVDISCARD_ALL && StreamKindOf(ist.Stream) == type)
        best = static_cast<int>(j);
    }
  }
  return best;
}

void TCustomFFmpeg::ChooseSources() {
  for (size_t k = 0; k < FOutputStreams.size(); ++k) {
    TOutputStreamRec &ost = FOutputStreams[k];
    const int outType = ost.Stream->codecpar->codec_type;
    if (!FStreamMaps.empty()) {
      const TStreamMapRec &m = FStreamMaps[k];
      ost.SourceIndex = FInputFileRecs[m.FileIndex].FirstStream + m.StreamIndex;
      const int inType = FInputStreams[ost.SourceIndex].Stream->codecpar->codec_type;
      if (inType != outType) {
        ff::av_dump_format(ost.File->Ctx.get(), ost.OutputFileIndex, ost.File->Ctx->url, 1);
        throw FFmpegException(
            FormatText("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", m.FileIndex,
                       m.StreamIndex, MediaTypeName(inType), ost.OutputFileIndex,
                       ost.OutputStreamIndex, MediaTypeName(outType)));
      }
      ost.SyncInput = FInputFileRecs[m.SyncFileIndex].FirstStream + m.SyncStreamIndex;
    } else {
      ost.SourceIndex = FindSourceStream(ost.OutputFileIndex, ost.Stream);
      if (ost.SourceIndex < 0) {
        ff::av_dump_format(ost.File->Ctx.get(), ost.OutputFileIndex, ost.File->Ctx->url, 1);
        throw FFmpegException(
            FormatText("Could not find input stream matching output stream #%d.%d (%s)",
                       ost.OutputFileIndex, ost.OutputStreamIndex, MediaTypeName(outType)));
      }
      ost.SyncInput = ost.SourceIndex;
    }
    FInputStreams[ost.SourceIndex].Discard = false;
    ost.Active = true;
  }
}

// ---- codec preparation

void TCustomFFmpeg::PrepareCodecs() {
  for (size_t k = 0; k < FOutputStreams.size(); ++k) {
    TOutputStreamRec &ost = FOutputStreams[k];
    // In join mode later slices reuse the first slice's streams and set-up.
    if (FJoinMode && static_cast<int>(k) >= FStreamsPerOutput) {
      ost.EncodingNeeded = FOutputStreams[k % FStreamsPerOutput].EncodingNeeded;
      if (ost.EncodingNeeded) FInputStreams[ost.SourceIndex].DecodingNeeded = true;
      continue;
    }
    TInputStreamRec &ist = FInputStreams[ost.SourceIndex];
    ff::av_dict_copy(&ost.Stream->metadata, ist.Stream->metadata, AV_DICT_DONT_OVERWRITE);
    ost.Stream->disposition = ist.Stream->disposition;
    if (ost.Setup->StreamCopy)
      PrepareStreamCopy(ost, ist);
    else
      PrepareEncoding(ost, ist);
  }
}

void TCustomFFmpeg::PrepareStreamCopy(TOutputStreamRec &ost, TInputStreamRec &ist) {
  const AVCodecParameters *ipar = ist.Stream->codecpar;
  AVCodecParameters *opar = ost.Stream->codecpar;
  AVFormatContext *oc = ost.File->Ctx.get();
  if (static_cast<int64_t>(ipar->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE > INT_MAX)
    throw FFmpegException("icodec.extradata_size is invalid (too large)");
  switch (ipar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      if (FCustomHookCallback)
        throw FFmpegException(
            "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
      if (FSettings.UsingVHook)
        throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
      if (PreviewFlags())
        throw FFmpegException(
            "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
      break;
    case AVMEDIA_TYPE_AUDIO:
      if (FSettings.AudioVolume != 256)
        throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
      break;
    case AVMEDIA_TYPE_SUBTITLE: break;
    default: throw FFmpegException("invalid codec_type of output stream");
  }
  const uint32_t wantedTag = opar->codec_tag;
  if (ff::avcodec_parameters_copy(opar, ipar) < 0) throw FFmpegException("av_mallocz fail");
  opar->codec_tag = wantedTag;
  if (!wantedTag) {
    const AVCodecTag *const *table = oc->oformat->codec_tag;
    unsigned tag = 0;
    if (!table || ff::av_codec_get_id(table, ipar->codec_tag) == ipar->codec_id ||
        !ff::av_codec_get_tag2(table, ipar->codec_id, &tag))
      opar->codec_tag = ipar->codec_tag;
  }
  if (ipar->codec_type == AVMEDIA_TYPE_AUDIO &&
      ((ipar->codec_id == AV_CODEC_ID_MP3 && ipar->block_align == 1) ||
       ipar->codec_id == AV_CODEC_ID_AC3))
    opar->block_align = 0;
  const AVRational codecTb = ff::av_stream_get_codec_timebase(ist.Stream);
  ost.Stream->time_base =
      StreamCopyTimeBase(ist.Stream->time_base, codecTb, CodecTicksPerFrame(ipar->codec_id));
  ost.Stream->avg_frame_rate = ist.Stream->avg_frame_rate;
  ost.Stream->r_frame_rate = ist.Stream->r_frame_rate;
  // Muxers refuse a stream aspect that disagrees with the codec's: the codec's is what decoders
  // show, the container's counts only where the codec has none.
  ost.Stream->sample_aspect_ratio = opar->sample_aspect_ratio.num > 0
                                        ? opar->sample_aspect_ratio
                                        : ist.Stream->sample_aspect_ratio;
  // Side data such as the display matrix tells players how to show the copied pictures.
  for (int i = 0; i < ist.Stream->nb_side_data; ++i) {
    const AVPacketSideData &sd = ist.Stream->side_data[i];
    if (uint8_t *data = ff::av_stream_new_side_data(ost.Stream, sd.type, sd.size))
      std::memcpy(data, sd.data, sd.size);
  }
  if (ost.Setup->Codec)
    CheckParameters(ff::avcodec_parameters_to_context(ost.Setup->Codec.get(), opar), ost);
}

void TCustomFFmpeg::PrepareEncoding(TOutputStreamRec &ost, TInputStreamRec &ist) {
  AVCodecContext *enc = ost.Enc;
  const AVCodecParameters *ipar = ist.Stream->codecpar;
  if (ipar->bits_per_raw_sample > 0 && enc->bits_per_raw_sample == 0)
    enc->bits_per_raw_sample = ipar->bits_per_raw_sample;
  enc->chroma_sample_location = ipar->chroma_location;
  switch (enc->codec_type) {
    case AVMEDIA_TYPE_AUDIO: SetAudioFromSource(ost, ist); break;
    case AVMEDIA_TYPE_SUBTITLE: PrepareSubtitleEncoder(ost, ist); break;
    case AVMEDIA_TYPE_VIDEO:
      if (enc->pix_fmt == AV_PIX_FMT_NONE)
        throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
      if (ost.File->HasVideoFilters) BuildVideoGraph(ost, ist);
      break;
    default: throw FFmpegException("invalid codec_type of output stream");
  }
  ost.EncodingNeeded = true;
  ist.DecodingNeeded = true;
  if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))
    OpenPassLog(ost, static_cast<int>(&ost - FOutputStreams.data()));
}

void TCustomFFmpeg::OpenPassLog(TOutputStreamRec &ost, int index) {
  const std::string name = PassLogFileName(FSettings.PassLogFileName, index);
  if (ost.Enc->flags & AV_CODEC_FLAG_PASS1) {
    ost.LogFile.reset(std::fopen(name.c_str(), "wb"));
    if (!ost.LogFile)
      throw FFmpegException(
          FormatText("Cannot write log file %s for pass-1 encoding", name.c_str()));
    return;
  }
  std::ifstream in(name, std::ios::binary);
  std::stringstream text;
  if (!in || !(text << in.rdbuf()))
    throw FFmpegException(FormatText(
        "Cannot read file: Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
  const std::string stats = text.str();
  char *buffer = static_cast<char *>(ff::av_malloc(stats.size() + 1));
  if (!buffer)
    throw FFmpegException(FormatText(
        "Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding",
        name.c_str()));
  std::memcpy(buffer, stats.c_str(), stats.size() + 1);
  ff::av_freep(&ost.Enc->stats_in);
  ost.Enc->stats_in = buffer;
}

// ---- opening codecs

void TCustomFFmpeg::FailAfterDump(const std::string &msg) {
  DumpMapping();
  Log(TLogLevel::llError, msg);
  throw FFmpegException(msg);
}

void TCustomFFmpeg::OpenEncoders() {
  const size_t count = FJoinMode ? FStreamsPerOutput : FOutputStreams.size();
  for (size_t k = 0; k < count; ++k) {
    TOutputStreamRec &ost = FOutputStreams[k];
    if (!ost.EncodingNeeded) continue;
    const AVCodec *codec =
        ost.Setup->Encoder ? ost.Setup->Encoder : ff::avcodec_find_encoder(ost.Enc->codec_id);
    const char *type = MediaTypeName(ost.Enc->codec_type);
    if (!codec)
      FailAfterDump(FormatText("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                               ost.Enc->codec_id, ost.OutputFileIndex, ost.OutputStreamIndex,
                               type));
    if (OpenEncoder(ost, codec, nullptr) < 0)
      FailAfterDump(FormatText(
          "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect "
          "parameters such as bit_rate, rate, width or height. Please check error log message "
          "to find out more detail information.",
          ost.OutputFileIndex, ost.OutputStreamIndex, type));
    FCounters.ExtraSize += ost.Enc->extradata_size;
    CheckParameters(ff::avcodec_parameters_from_context(ost.Stream->codecpar, ost.Enc), ost);
    ost.Stream->time_base = ost.Enc->time_base;
    if (ost.Enc->codec_type == AVMEDIA_TYPE_VIDEO) ost.Stream->avg_frame_rate = ost.Enc->framerate;
  }
}

void TCustomFFmpeg::OpenDecoders() {
  for (size_t i = 0; i < FInputStreams.size(); ++i) {
    TInputStreamRec &ist = FInputStreams[i];
    if (!ist.DecodingNeeded) continue;
    const AVCodec *codec = i < FInputCodecs.size() && FInputCodecs[i]
                               ? FInputCodecs[i]
                               : ff::avcodec_find_decoder(ist.Stream->codecpar->codec_id);
    const char *type = MediaTypeName(ist.Stream->codecpar->codec_type);
    if (!codec || !ist.Dec)
      FailAfterDump(FormatText("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                               ist.Stream->codecpar->codec_id, ist.InputFileIndex,
                               ist.InputStreamIndex, type));
    ist.Decoder = codec;
    if (OpenDecoder(ist, codec, nullptr) < 0)
      FailAfterDump(FormatText("Error while opening decoder for input stream #%d.%d (%s)",
                               ist.InputFileIndex, ist.InputStreamIndex, type));
  }
}

void TCustomFFmpeg::InitInputTiming() {
  for (TInputStreamRec &ist : FInputStreams) {
    const AVRational rate = ist.Stream->avg_frame_rate;
    ist.Pts = rate.num && rate.den
                  ? -std::llrint(ist.Stream->codecpar->video_delay * 1000000.0 / av_q2d(rate))
                  : 0;
    ist.NextPts = AV_NOPTS_VALUE;
    ist.IsStart = true;
  }
}

void TCustomFFmpeg::InitBitstreamFilters() {
  for (size_t k = 0; k < FOutputStreams.size(); ++k) {
    if (FJoinMode && static_cast<int>(k) >= FStreamsPerOutput) break;
    TOutputStreamRec &ost = FOutputStreams[k];
    const AVCodecParameters *par = ost.Stream->codecpar;
    AVRational tb = ost.Stream->time_base;
    for (TBsfPtr &bsf : ost.Setup->Filters) {
      CheckParameters(ff::avcodec_parameters_copy(bsf->par_in, par), ost);
      bsf->time_base_in = tb;
      const int ret = ff::av_bsf_init(bsf.get());
      if (ret < 0)
        throw FFmpegException(FormatText("%s failed for stream %d, codec %s: %s", bsf->filter->name,
                                         ost.OutputStreamIndex, ff::avcodec_get_name(par->codec_id),
                                         MediaErrorText(ret).c_str()));
      par = bsf->par_out;
      tb = bsf->time_base_out;
    }
    // The muxer must see what the last filter puts out (extradata, codec tag).
    if (!ost.Setup->Filters.empty())
      CheckParameters(ff::avcodec_parameters_copy(ost.Stream->codecpar, par), ost);
  }
}

// ---- metadata, chapters, headers

void TCustomFFmpeg::ApplyMetadataMaps() {
  for (const TMetaDataMapRec &m : FMetaDataMaps) {
    if (m.OutFile < 0 || m.OutFile >= OutputCount())
      FailAfterDump(FormatText("Invalid output file index %d map_meta_data(%d,%d)", m.OutFile,
                               m.OutFile, m.InFile));
    if (m.InFile < 0 || m.InFile >= InputCount())
      FailAfterDump(FormatText("Invalid input file index %d map_meta_data(%d,%d)", m.InFile,
                               m.OutFile, m.InFile));
    ff::av_dict_copy(&FOutputFiles[m.OutFile]->Ctx->metadata, FInputFiles[m.InFile]->Ctx->metadata,
                     AV_DICT_DONT_OVERWRITE);
  }
}

void TCustomFFmpeg::CopyChapters() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (int i = 0; i < InputCount(); ++i) {
    const AVFormatContext *ic = FInputFiles[i]->Ctx.get();
    if (!ic->nb_chapters) continue;
    for (size_t j = 0; j < outputs; ++j) {
      AVFormatContext *oc = FOutputFiles[j]->Ctx.get();
      for (unsigned c = 0; c < ic->nb_chapters; ++c) {
        const AVChapter *in = ic->chapters[c];
        const int64_t offset = ff::av_rescale_q(FSettings.StartTime - FInputTsOffsets[i],
                                                AV_TIME_BASE_Q, in->time_base);
        const bool limited = FSettings.RecordingTime != INT64_MAX;
        const int64_t limit =
            limited ? ff::av_rescale_q(FSettings.RecordingTime, AV_TIME_BASE_Q, in->time_base)
                    : INT64_MAX;
        if (in->end < offset) continue;
        if (limited && offset + limit < in->start) break;
        auto *out = static_cast<AVChapter *>(ff::av_mallocz(sizeof(AVChapter)));
        if (!out) throw FFmpegException("av_mallocz fail");
        out->id = in->id;
        out->time_base = in->time_base;
        out->start = std::max<int64_t>(0, in->start - offset);
        out->end = std::min(limit, in->end - offset);
        ff::av_dict_copy(&out->metadata, in->metadata, 0);
        auto *list = static_cast<AVChapter **>(
            ff::av_realloc(oc->chapters, (oc->nb_chapters + 1) * sizeof(AVChapter *)));
        if (!list) {
          ff::av_dict_free(&out->metadata);
          ff::av_free(out);
          throw FFmpegException("av_realloc fail");
        }
        oc->chapters = list;
        oc->chapters[oc->nb_chapters++] = out;
      }
    }
  }
}

void TCustomFFmpeg::WriteHeaders() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (size_t i = 0; i < outputs; ++i) {
    TOutputFile &file = *FOutputFiles[i];
    AVDictionary *options = nullptr;
    for (const auto &[key, value] : file.MuxerOptions)
      ff::av_dict_set(&options, key.c_str(), value.c_str(), 0);
    const int ret = ff::avformat_write_header(file.Ctx.get(), &options);
    ff::av_dict_free(&options);
    if (ret < 0) {
      const std::string msg =
          FormatText("Could not write header for output file #%d (incorrect codec parameters ?)",
                     static_cast<int>(i));
      Log(TLogLevel::llError, msg);
      throw FFmpegException(msg);
    }
  }
  bool allRtp = true;
  for (size_t i = 0; i < outputs; ++i)
    allRtp = allRtp && std::strcmp(FOutputFiles[i]->Ctx->oformat->name, "rtp") == 0;
  if (allRtp) {
    std::vector<AVFormatContext *> list;
    for (size_t i = 0; i < outputs; ++i) list.push_back(FOutputFiles[i]->Ctx.get());
    char sdp[2048];
    ff::av_sdp_create(list.data(), static_cast<int>(list.size()), sdp, sizeof sdp);
    Log(TLogLevel::llInfo, std::string("SDP:\r\n") + sdp);
  }
}

void TCustomFFmpeg::DumpMapping() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (size_t i = 0; i < outputs; ++i)
    ff::av_dump_format(FOutputFiles[i]->Ctx.get(), static_cast<int>(i), FOutputFiles[i]->Ctx->url,
                       1);
  if (FSettings.Verbose < 0) return;
  Log(TLogLevel::llVerbose, "Stream mapping:");
  for (const TOutputStreamRec &ost : FOutputStreams) {
    if (ost.SourceIndex < 0) continue;
    const TInputStreamRec &ist = FInputStreams[ost.SourceIndex];
    const char *type = MediaTypeName(ost.Stream->codecpar->codec_type);
    LogFmt(TLogLevel::llVerbose, "  Stream #%d.%d -> #%d.%d (%s)", ist.InputFileIndex,
           ist.InputStreamIndex, FJoinMode ? 0 : ost.OutputFileIndex, ost.OutputStreamIndex, type);
    if (ost.SyncInput >= 0 && ost.SyncInput != ost.SourceIndex) {
      const TInputStreamRec &sync = FInputStreams[ost.SyncInput];
      LogFmt(TLogLevel::llVerbose, " [sync #%d.%d (%s)]", sync.InputFileIndex,
             sync.InputStreamIndex, type);
    }
  }
}
