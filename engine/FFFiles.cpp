// Input and output file set-up: opening and probing inputs, choosing the output container,
// creating the output streams with their codec settings, opening the output file, join mode.
#include "engine/FFFiles.h"

#include <cstdarg>
#include <cstring>
#include <ctime>

#include "engine/FFMapping.h"
#include "engine/FFmpeg.h"
#include "services/AVProbe.h"
#include "services/FFmpegLoader.h"
#include "services/MediaErrors.h"
#include "services/TextFormat.h"
#include "services/UnicodeProtocol.h"

namespace {

// The pixel format an encoder is opened with: the requested one when the encoder lists it, else
// the first it lists.  Two encoders need more than the list says:
// - the MJPEG encoder lists the limited-range formats too but refuses them at normal
//   strictness; the full-range ("j") counterpart is taken and the scaler converts the range;
// - the DV encoder picks its profile from size and format, and only 4:1:1 at 480 lines, 4:2:0 at
//   576 lines (consumer DV) and 4:2:2 (DV50) exist.
AVPixelFormat EncoderPixelFormat(const AVCodec *codec, AVPixelFormat requested, int strict,
                                 int height) {
  bool listed = false;
  for (const AVPixelFormat *p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    listed = listed || *p == requested;
  if (codec->id == AV_CODEC_ID_MJPEG) {
    if (strict < 0 && (requested == AV_PIX_FMT_YUV420P || requested == AV_PIX_FMT_YUV422P))
      return requested;
    switch (requested) {
      case AV_PIX_FMT_YUV420P: return AV_PIX_FMT_YUVJ420P;
      case AV_PIX_FMT_YUV422P: return AV_PIX_FMT_YUVJ422P;
      case AV_PIX_FMT_YUV444P: return AV_PIX_FMT_YUVJ444P;
      default: break;
    }
  }
  if (codec->id == AV_CODEC_ID_DVVIDEO) {
    const bool fits = requested == AV_PIX_FMT_YUV422P ||
                      (requested == AV_PIX_FMT_YUV411P && height == 480) ||
                      (requested == AV_PIX_FMT_YUV420P && height == 576);
    if (!fits) return height == 480 ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
  }
  return listed ? requested : codec->pix_fmts[0];
}

bool IsExperimental(const AVCodec *codec) {
  return codec && (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL);
}

const AVCodec *FindByName(const std::string &name, bool encoder) {
  return encoder ? ff::avcodec_find_encoder_by_name(name.c_str())
                 : ff::avcodec_find_decoder_by_name(name.c_str());
}

// Reads a decimal number at p; false when there are no digits.
bool ReadNumber(const char *&p, int &value) {
  char *end = nullptr;
  const long v = std::strtol(p, &end, 10);
  if (end == p) return false;
  value = static_cast<int>(v);
  p = end;
  return true;
}

// ISO 8601 form of a time in seconds since 1970, as muxers take "creation_time".
std::string IsoTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
  return text;
}

constexpr AVMediaType StreamKinds[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                        AVMEDIA_TYPE_SUBTITLE};

}  // namespace

std::string EncoderAlias(const std::string &name) {
  if (name == "libfaac") return "aac";
  if (name == "libflac") return "flac";
  if (name == "vorbis") {
    // The native Vorbis encoder is experimental; use the library one when it exists.
    const AVCodec *native = ff::avcodec_find_encoder_by_name("vorbis");
    if ((!native || IsExperimental(native)) && ff::avcodec_find_encoder_by_name("libvorbis"))
      return "libvorbis";
    return name;
  }
  if (name == "libopencore_amrnb") {
    if (ff::avcodec_find_encoder_by_name(name.c_str())) return name;
    void *it = nullptr;
    while (const AVCodec *c = ff::av_codec_iterate(&it))
      if (c->id == AV_CODEC_ID_AMR_NB && ff::av_codec_is_encoder(c)) return c->name;
    return "aac";
  }
  return name;
}

bool FindCodecByName(const std::string &name, AVMediaType type, bool encoder, int strictness,
                     const AVCodec *&codec, std::string &message) {
  codec = nullptr;
  if (name.empty()) return true;
  const char *kind = encoder ? "encoder" : "decoder";
  const AVCodec *found = FindByName(name, encoder);
  if (encoder && (!found || IsExperimental(found))) {
    const std::string alias = EncoderAlias(name);
    if (alias != name) found = FindByName(alias, encoder);
  }
  if (!found) {
    message = FormatText("Unknown %s '%s'", kind, name.c_str());
    return false;
  }
  if (found->type != type) {
    message = FormatText("Invalid %s type '%s'", kind, name.c_str());
    return false;
  }
  if (IsExperimental(found) && strictness > FF_COMPLIANCE_EXPERIMENTAL) {
    message = FormatText(
        "%s '%s' is experimental and might produce bad results.\r\nAdd '-strict experimental' "
        "if you want to use it.",
        kind, found->name);
    const AVCodec *other =
        encoder ? ff::avcodec_find_encoder(found->id) : ff::avcodec_find_decoder(found->id);
    if (other && !IsExperimental(other))
      message += FormatText("\r\nOr use the non experimental %s '%s'.", kind, other->name);
    return false;
  }
  codec = found;
  return true;
}

bool FrameRateDiffers(AVRational codecTb, int ticks, AVRational rate) {
  if (codecTb.num == 0 || rate.num == 0) return false;  // nothing known to compare
  return static_cast<int64_t>(codecTb.den) != static_cast<int64_t>(rate.num) * ticks ||
         codecTb.num != rate.den;
}

// The layout of an encoder's list nearest to the one asked for: that one itself, else one with
// as many channels, else the one with most channels below it, else the first.  Null when the
// encoder takes any layout or already takes the one asked for.
const AVChannelLayout *NearestChannelLayout(const AVChannelLayout *list,
                                            const AVChannelLayout &want) {
  if (!list || !list[0].nb_channels) return nullptr;
  const AVChannelLayout *sameCount = nullptr, *below = nullptr;
  for (const AVChannelLayout *p = list; p->nb_channels; ++p) {
    if (ff::av_channel_layout_compare(p, &want) == 0) return nullptr;
    if (!sameCount && p->nb_channels == want.nb_channels) sameCount = p;
    if (p->nb_channels < want.nb_channels && (!below || p->nb_channels > below->nb_channels))
      below = p;
  }
  return sameCount ? sameCount : below ? below : list;
}

int NearestSampleRate(const int *list, int rate) {
  if (!list || !*list) return rate;
  int best = list[0];
  for (const int *p = list; *p; ++p)
    if (std::abs(*p - rate) < std::abs(best - rate)) best = *p;
  return best;
}

std::vector<RcOverride> ParseRcOverride(const std::string &text) {
  std::vector<RcOverride> items;
  const char *p = text.c_str();
  while (*p) {
    RcOverride item{};
    int start = 0, end = 0, q = 0;
    if (!ReadNumber(p, start)) throw FFmpegException("error parsing rc_override");
    if (*p) ++p;
    if (!ReadNumber(p, end)) throw FFmpegException("error parsing rc_override");
    if (*p == ',') {
      ++p;
      ReadNumber(p, q);
    }
    item.start_frame = start;
    item.end_frame = end;
    if (q > 0) {
      item.qscale = q;
      item.quality_factor = 1.0f;
    } else {
      item.qscale = 0;
      item.quality_factor = -q / 100.0f;
    }
    items.push_back(item);
    while (*p && *p != '/') ++p;
    if (*p == '/') ++p;
  }
  return items;
}

// ---- inputs

bool TCustomFFmpeg::AddInputFile(const std::wstring &fileName) {
  const std::string shown = WideToUTF8(fileName);
  auto fail = [this](const std::string &msg) {
    FLastError = msg;
    FSettings.VideoCodecName.clear();
    FSettings.AudioCodecName.clear();
    FSettings.SubtitleCodecName.clear();
    FSettings.VideoChannel = 0;
    return false;
  };
  if (InputCount() >= MaxFiles) return fail(FormatText("max input files %d reached", MaxFiles));
  std::string url;
  try {
    url = FileNameToURL(fileName);
  } catch (const std::exception &e) {
    return fail(shown + ": " + e.what());
  }
  const AVInputFormat *format = nullptr;
  if (!FSettings.ForceFormat.empty()) {
    format = ff::av_find_input_format(FSettings.ForceFormat.c_str());
    if (!format) throw FFmpegException("Unknown input format: \"" + FSettings.ForceFormat + "\"");
    FSettings.ForceFormat.clear();
  }
  std::unique_ptr<TInputFile> file;
  if (!OpenInputFile(shown, url, format, file)) return fail(FLastError);
  AVFormatContext *ic = file->Ctx.get();

  // Start position: seek there now; the file's timestamps are shifted so that it becomes 0.  The
  // seek lands on the key frame before it, so the decoded frames up to it are dropped later on.
  const int64_t startTime = FSettings.StartTime;
  int64_t timestamp = startTime;
  if (ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;
  if (startTime != 0 && ff::av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
      FSettings.Verbose > 0)
    LogFmt(TLogLevel::llVerbose, "%s: could not seek to position %0.3f", shown.c_str(),
           timestamp / 1000000.0);
  FSettings.StartTime = 0;

  if (ic->duration != AV_NOPTS_VALUE && ic->duration > FExpectedDuration)
    FExpectedDuration = ic->duration;
  const int index = InputCount();
  FInputTsOffsets[index] =
      FSettings.CopyTs ? FSettings.InputTsOffset : FSettings.InputTsOffset - timestamp;
  FInputStarts[index] = startTime != 0 ? timestamp + FInputTsOffsets[index] : AV_NOPTS_VALUE;
  if (FSettings.Verbose >= 0) ff::av_dump_format(ic, index, ic->url, 0);
  FInputFiles.push_back(std::move(file));
  FSettings.ConsumeInput();
  return true;
}

bool TCustomFFmpeg::OpenInputFile(const std::string &shown, const std::string &url,
                                  const AVInputFormat *format, std::unique_ptr<TInputFile> &file) {
  AVFormatContext *ic = ff::avformat_alloc_context();
  if (!ic) throw FFmpegException("avformat_alloc_context failed");

  // Parameters for raw inputs and capture devices; other demuxers ignore them.
  AVDictionary *params = nullptr;
  auto param = [&params](const char *key, const std::string &value) {
    ff::av_dict_set(&params, key, value.c_str(), 0);
  };
  param("sample_rate", std::to_string(FSettings.AudioSampleRate));
  param("channels", std::to_string(FSettings.AudioChannels));
  if (FSettings.FrameRate.num > 0 && FSettings.FrameRate.den > 0)
    param("framerate",
          std::to_string(FSettings.FrameRate.num) + "/" + std::to_string(FSettings.FrameRate.den));
  if (FSettings.FrameWidth > 0 && FSettings.FrameHeight > 0)
    param("video_size",
          std::to_string(FSettings.FrameWidth) + "x" + std::to_string(FSettings.FrameHeight));
  if (FSettings.FramePixFmt >= 0)
    if (const char *name =
            ff::av_get_pix_fmt_name(static_cast<AVPixelFormat>(FSettings.FramePixFmt)))
      param("pixel_format", name);
  if (FSettings.VideoChannel) param("channel", std::to_string(FSettings.VideoChannel));
  if (!FSettings.VideoStandard.empty()) param("standard", FSettings.VideoStandard);
  if (FSettings.LoopInput) param("loop", "1");
  if (FSettings.Generic.Format) CopyGenericOptions(ic, FSettings.Generic.Format.get(), 2);

  const AVCodec *forced[3] = {};
  const std::string *names[3] = {&FSettings.VideoCodecName, &FSettings.AudioCodecName,
                                 &FSettings.SubtitleCodecName};
  for (int k = 0; k < 3; ++k) {
    const AVCodecContext *generic = FSettings.Generic.Codec[StreamKinds[k]].get();
    std::string message;
    if (!FindCodecByName(*names[k], StreamKinds[k], false,
                         generic ? generic->strict_std_compliance : 0, forced[k], message)) {
      ff::av_dict_free(&params);
      ff::avformat_free_context(ic);
      FLastError = message;
      return false;
    }
  }
  if (forced[0]) ic->video_codec_id = forced[0]->id, ic->video_codec = forced[0];
  if (forced[1]) ic->audio_codec_id = forced[1]->id, ic->audio_codec = forced[1];
  if (forced[2]) ic->subtitle_codec_id = forced[2]->id, ic->subtitle_codec = forced[2];
  ic->flags |= AVFMT_FLAG_NONBLOCK;
  if (FSettings.PgmyuvCompat) ic->video_codec_id = AV_CODEC_ID_PGMYUV;
  const int ret = OpenInputURL(&ic, url.c_str(), format, &params);
  ff::av_dict_free(&params);
  if (ret < 0) {
    FLastError = shown + ": " + MediaErrorText(ret);
    return false;
  }
  file = std::make_unique<TInputFile>();
  file->Ctx.reset(ic);

  if (FSettings.ProgramId) {
    bool found = false;
    for (unsigned s = 0; s < ic->nb_streams; ++s) ic->streams[s]->discard = AVDISCARD_ALL;
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
      AVProgram *program = ic->programs[p];
      if (program->id == FSettings.ProgramId) {
        found = true;
        program->discard = AVDISCARD_DEFAULT;
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
          ic->streams[program->stream_index[k]]->discard = AVDISCARD_DEFAULT;
      } else {
        program->discard = AVDISCARD_ALL;
      }
    }
    if (!found) {
      FLastError = "Specified program id not found";
      return false;
    }
    FSettings.ProgramId = 0;
  }
  int probe;
  {
    std::lock_guard lock(CodecLock());
    probe = ff::avformat_find_stream_info(ic, nullptr);
  }
  if (probe < 0 && FSettings.Verbose >= 0) {
    FLastError = shown + ": could not find codec parameters";
    Log(TLogLevel::llVerbose, FLastError);
    return false;
  }
  SetUpInputStreams(*file, forced);
  return true;
}

void TCustomFFmpeg::SetUpInputStreams(TInputFile &file, const AVCodec *const forced[3]) {
  AVFormatContext *ic = file.Ctx.get();
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    AVStream *st = ic->streams[i];
    AVCodecParameters *par = st->codecpar;
    const int kind = par->codec_type == AVMEDIA_TYPE_VIDEO      ? 0
                     : par->codec_type == AVMEDIA_TYPE_AUDIO    ? 1
                     : par->codec_type == AVMEDIA_TYPE_SUBTITLE ? 2
                                                                : -1;
    const AVCodec *decoder =
        kind >= 0 && forced[kind] ? forced[kind] : ff::avcodec_find_decoder(par->codec_id);
    TCodecCtxPtr ctx(ff::avcodec_alloc_context3(decoder));
    if (!ctx) throw FFmpegException("avcodec_alloc_context failed");
    if (const int err = ff::avcodec_parameters_to_context(ctx.get(), par); err < 0)
      throw FFmpegException(WithMediaError(
          FormatText("Cannot read the parameters of input stream #%d.%d", InputCount(), i), err));
    ctx->pkt_timebase = st->time_base;
    ctx->thread_count = FSettings.ThreadCount;
    switch (par->codec_type) {
      case AVMEDIA_TYPE_VIDEO: {
        // A cover picture says nothing about the video the next output gets.
        if (StreamKindOf(st) == AVMEDIA_TYPE_ATTACHMENT) {
          FInputCodecs.push_back(nullptr);
          break;
        }
        if (FSettings.Generic.Codec[0])
          CopyGenericOptions(ctx.get(), FSettings.Generic.Codec[0].get(), 18);
        FSettings.FrameWidth = par->width;
        FSettings.FrameHeight = par->height;
        const AVRational sar =
            st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
        double aspect = av_q2d(sar);
        if (par->width && par->height)
          aspect = (aspect == 0 ? 1.0 : aspect) * par->width / par->height;
        else if (aspect == 0)
          aspect = 4.0f / 3.0f;
        FSettings.FrameAspectRatio = static_cast<float>(aspect);
        FSettings.FramePixFmt = par->format < 0 ? 0 : par->format;
        if (ctx->lowres) {
          FSettings.FrameWidth >>= ctx->lowres;
          FSettings.FrameHeight >>= ctx->lowres;
        }
        // The engine turns the pictures upright: the output shows them as players do.
        if (DisplayRotationOf(st) % 180 != 0) {
          std::swap(FSettings.FrameWidth, FSettings.FrameHeight);
          if (FSettings.FrameAspectRatio > 0)
            FSettings.FrameAspectRatio = 1.0f / FSettings.FrameAspectRatio;
        }
        const AVRational codecTb = ff::av_stream_get_codec_timebase(st);
        const int ticks = CodecTicksPerFrame(par->codec_id);
        if (FrameRateDiffers(codecTb, ticks, st->r_frame_rate) && FSettings.Verbose >= 0)
          LogFmt(TLogLevel::llInfo,
                 "Seems stream %d codec frame rate differs from container frame rate: %2.2f "
                 "(%d/%d) -> %2.2f (%d/%d)",
                 static_cast<int>(i), static_cast<double>(codecTb.den) / codecTb.num, codecTb.den,
                 codecTb.num, av_q2d(st->r_frame_rate), st->r_frame_rate.num, st->r_frame_rate.den);
        FSettings.FrameRate = st->r_frame_rate;
        FInputCodecs.push_back(forced[0]);
        if (FSettings.VideoDisable)
          st->discard = AVDISCARD_ALL;
        else if (FSettings.VideoDiscard)
          st->discard = static_cast<AVDiscard>(FSettings.VideoDiscard);
        break;
      }
      case AVMEDIA_TYPE_AUDIO:
        if (FSettings.Generic.Codec[1])
          CopyGenericOptions(ctx.get(), FSettings.Generic.Codec[1].get(), 10);
        FSettings.ChannelLayout =
            par->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? par->ch_layout.u.mask : 0;
        FSettings.AudioChannels = par->ch_layout.nb_channels;
        FSettings.AudioSampleRate = par->sample_rate;
        FSettings.AudioSampleFmt = par->format;
        FSettings.AudioRateFromInput = FSettings.AudioChannelsFromInput =
            FSettings.AudioFormatFromInput = true;
        FInputCodecs.push_back(forced[1]);
        if (FSettings.AudioDisable) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT: FInputCodecs.push_back(nullptr); break;
      case AVMEDIA_TYPE_SUBTITLE:
        FInputCodecs.push_back(forced[2]);
        if (FSettings.SubtitleDisable) st->discard = AVDISCARD_ALL;
        break;
      default: throw FFmpegException("invalid codec_type");
    }
    file.Codecs.push_back(std::move(ctx));
  }
}

TCustomFFmpeg::TInputKinds TCustomFFmpeg::CheckInputKinds(bool firstInputOnly) const {
  TInputKinds kinds;
  const size_t count =
      firstInputOnly ? std::min<size_t>(1, FInputFiles.size()) : FInputFiles.size();
  for (size_t i = 0; i < count; ++i) {
    const AVFormatContext *ic = FInputFiles[i]->Ctx.get();
    for (unsigned k = 0; k < ic->nb_streams; ++k) {
      switch (StreamKindOf(ic->streams[k])) {
        case AVMEDIA_TYPE_VIDEO: kinds.HasVideo = true; break;
        case AVMEDIA_TYPE_AUDIO: kinds.HasAudio = true; break;
        case AVMEDIA_TYPE_SUBTITLE: kinds.HasSubtitle = true; break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT: break;
        default: throw FFmpegException("invalid codec_type of input file");
      }
    }
  }
  return kinds;
}

// ---- outputs

int TCustomFFmpeg::AddOutputFile(const std::wstring &fileName, bool join) {
  if (FJoinMode) {
    FLastError = "Cannot join more than one output file.";
    return -1;
  }
  if (OutputCount() >= MaxFiles) {
    FLastError = FormatText("max output files %d reached", MaxFiles);
    return -1;
  }
  const std::string shown = WideToUTF8(fileName);
  std::string url;
  try {
    url = FileNameToURL(fileName);
  } catch (const std::exception &e) {
    FLastError = shown + ": " + e.what();
    return -1;
  }
  auto file = std::make_shared<TOutputFile>();
  file->HasVideoFilters = !FSettings.VFilters.empty();
  file->VideoFilters = FSettings.VFilters;
  file->Ctx.reset(ff::avformat_alloc_context());
  if (!file->Ctx) throw FFmpegException("avformat_alloc_context failed");
  AVFormatContext *oc = file->Ctx.get();
  const AVOutputFormat *format = nullptr;
  if (!FSettings.ForceFormat.empty()) {
    format = ff::av_guess_format(FSettings.ForceFormat.c_str(), nullptr, nullptr);
    if (!format) {
      FLastError = FormatText("Requested output format '%s' is not a suitable output format",
                              FSettings.ForceFormat.c_str());
      return -1;
    }
    FSettings.ForceFormat.clear();
  } else {
    format = ff::av_guess_format(nullptr, url.c_str(), nullptr);
    if (!format) {
      FLastError = FormatText("Unable to find a suitable output format for '%s'", shown.c_str());
      return -1;
    }
  }
  oc->oformat = format;
  // The whole address: FileNameToURL has refused any that the libraries could not take.
  oc->url = ff::av_strdup(url.c_str());

  bool video = false, audio = false, subtitle = false;
  ChooseOutputStreams(*file, join, video, audio, subtitle);
  const struct {
    bool Wanted;
    void (TCustomFFmpeg::*Add)(TOutputFile &);
    const char *Failure;
  } creations[] = {{video, &TCustomFFmpeg::AddVideoStream, "new_video_stream fail: %s"},
                   {audio, &TCustomFFmpeg::AddAudioStream, "new_audio_stream fail: %s"},
                   {subtitle, &TCustomFFmpeg::AddSubtitleStream, "new_subtitle_stream fail: %s"}};
  for (const auto &c : creations) {
    if (!c.Wanted) continue;
    try {
      (this->*c.Add)(*file);
    } catch (const FFmpegException &e) {
      FLastError = FormatText(c.Failure, e.what());
      return -1;
    }
  }
  ApplyOutputMetadata(*file);

  FOutputFiles.push_back(file);
  try {
    OpenOutputIO(*file, fileName);
  } catch (const FFmpegException &e) {
    FOutputFiles.pop_back();
    FLastError = e.what();
    return -1;
  }
  oc->max_delay = static_cast<int>(FSettings.MuxMaxDelay * 1000000);
  file->MuxerOptions.emplace_back(
      "preload", std::to_string(static_cast<int64_t>(FSettings.MuxPreload * 1000000)));
  if (FSettings.LoopOutput >= 0)
    file->MuxerOptions.emplace_back("loop", std::to_string(FSettings.LoopOutput));
  oc->flags |= AVFMT_FLAG_NONBLOCK;
  if (FSettings.Generic.Format) CopyGenericOptions(oc, FSettings.Generic.Format.get(), 1);
  // Muxer-private options (muxrate, ...) can only reach the muxer when its header is written.
  for (const auto &[name, value] : FSettings.Generic.Private) {
    const AVClass *cls = format->priv_class;
    if (cls && ff::av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
      file->MuxerOptions.emplace_back(name, value);
  }
  FStreamIdMap.fill(0);

  if (join && InputCount() > 1) {
    FJoinMode = true;
    int64_t sum = 0;
    for (const auto &in : FInputFiles)
      if (in->Ctx->duration != AV_NOPTS_VALUE) sum += in->Ctx->duration;
    FExpectedDuration = sum ? sum : -1;
    for (int i = 1; i < InputCount(); ++i) FOutputFiles.push_back(file);
  }
  FSettings.ConsumeOutput();
  return OutputCount();
}

void TCustomFFmpeg::ChooseOutputStreams(TOutputFile &file, bool join, bool &video, bool &audio,
                                        bool &subtitle) {
  const AVOutputFormat *format = file.Ctx->oformat;
  video = FSettings.VideoStreamCopy || format->video_codec != AV_CODEC_ID_NONE ||
          !FSettings.VideoCodecName.empty();
  audio = FSettings.AudioStreamCopy || format->audio_codec != AV_CODEC_ID_NONE ||
          !FSettings.AudioCodecName.empty();
  subtitle = FSettings.SubtitleStreamCopy || format->subtitle_codec != AV_CODEC_ID_NONE ||
             !FSettings.SubtitleCodecName.empty();
  if (InputCount() > 0) {
    TInputKinds kinds;
    try {
      kinds = CheckInputKinds(join);
    } catch (const FFmpegException &e) {
      throw FFmpegException(FormatText("check_audio_video_sub_inputs fail: %s", e.what()));
    }
    video = video && kinds.HasVideo;
    audio = audio && kinds.HasAudio;
    subtitle = subtitle && kinds.HasSubtitle;
  }
  if (FSettings.AudioDisable) audio = false;
  if (FSettings.VideoDisable) video = false;
  if (FSettings.SubtitleDisable) subtitle = false;
  // The PSP's MP4 variant is refused by the muxer without a sound track: a source without sound
  // gets a silent one in the profile's sound format.
  if (video && !audio && !FSettings.AudioDisable && !join && InputCount() > 0 &&
      std::string(format->name) == "psp")
    audio = AddSilentInput();
}

namespace {

struct TSilenceSource {
  const TCustomFFmpeg *Engine;
  int FileIndex;
};

int ReadSilence(void *opaque, uint8_t *buf, int size) {
  const auto *source = static_cast<const TSilenceSource *>(opaque);
  if (source->Engine->OtherInputsEnded(source->FileIndex)) return AVERROR_EOF;
  std::memset(buf, 0, size);
  return size;
}

}  // namespace

bool TCustomFFmpeg::OtherInputsEnded(int fileIndex) const {
  // Before the run (probing) the others have not started: the silence goes on.
  if (FInputFileRecs.size() != FInputFiles.size()) return false;
  for (size_t i = 0; i < FInputFileRecs.size(); ++i)
    if (static_cast<int>(i) != fileIndex && !FInputFileRecs[i].EofReached) return false;
  return true;
}

bool TCustomFFmpeg::AddSilentInput() {
  if (InputCount() >= MaxFiles) return false;
  auto file = std::make_unique<TInputFile>();
  auto source = std::make_shared<TSilenceSource>(TSilenceSource{this, InputCount()});
  file->SourceState = source;
  constexpr int BufferSize = 4096;
  auto *buffer = static_cast<uint8_t *>(ff::av_malloc(BufferSize));
  if (!buffer) return false;
  file->CustomIO.reset(
      ff::avio_alloc_context(buffer, BufferSize, 0, source.get(), ReadSilence, nullptr, nullptr));
  if (!file->CustomIO) {
    ff::av_free(buffer);
    return false;
  }
  AVFormatContext *ic = ff::avformat_alloc_context();
  if (!ic) throw FFmpegException("avformat_alloc_context failed");
  ic->pb = file->CustomIO.get();
  ic->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVDictionary *params = nullptr;
  ff::av_dict_set_int(&params, "sample_rate", FSettings.AudioSampleRate, 0);
  ff::av_dict_set(&params, "ch_layout", FSettings.AudioChannels == 1 ? "mono" : "stereo", 0);
  const int ret = ff::avformat_open_input(&ic, "", ff::av_find_input_format("s16le"), &params);
  ff::av_dict_free(&params);
  if (ret < 0) return false;  // the library freed the context
  file->Ctx.reset(ic);
  const AVCodec *noForcedDecoders[3] = {};
  SetUpInputStreams(*file, noForcedDecoders);
  FInputTsOffsets[InputCount()] = 0;
  if (FSettings.Verbose >= 0) ff::av_dump_format(ic, InputCount(), "silence", 0);
  FInputFiles.push_back(std::move(file));
  return true;
}

void TCustomFFmpeg::ApplyOutputMetadata(TOutputFile &file) {
  AVFormatContext *oc = file.Ctx.get();
  if (FSettings.RecordingTimestamp)
    ff::av_dict_set(&oc->metadata, "creation_time", IsoTime(FSettings.RecordingTimestamp).c_str(),
                    0);
  // Written from the last pair to the first, so the first of two equal keys wins.
  for (auto it = FSettings.Metadata.rbegin(); it != FSettings.Metadata.rend(); ++it)
    ff::av_dict_set(&oc->metadata, it->first.c_str(), it->second.c_str(), 0);
  FSettings.Metadata.clear();
}

void TCustomFFmpeg::OpenOutputIO(TOutputFile &file, const std::wstring &fileName) {
  AVFormatContext *oc = file.Ctx.get();
  const std::string shown = WideToUTF8(fileName);
  if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(oc->url))
    throw FFmpegException(shown + ": " + MediaErrorText(-33));
  if (oc->oformat->flags & AVFMT_NOFILE) return;
  const int ret = OpenIO(&oc->pb, oc->url, AVIO_FLAG_WRITE);
  if (ret < 0) throw FFmpegException(shown + ": " + MediaErrorText(ret));
}

AVStream *TCustomFFmpeg::NewOutputStream(TOutputFile &file, AVMediaType type,
                                         const AVCodec *codec) {
  AVFormatContext *oc = file.Ctx.get();
  const int index = static_cast<int>(oc->nb_streams);
  AVStream *st = index < MaxStreams ? ff::avformat_new_stream(oc, nullptr) : nullptr;
  if (!st) throw FFmpegException("Could not alloc stream");
  if (FStreamIdMap[index]) st->id = FStreamIdMap[index];
  st->codecpar->codec_type = type;
  TOutputStreamSetup setup;
  setup.Codec.reset(ff::avcodec_alloc_context3(codec));
  if (!setup.Codec) throw FFmpegException("Could not alloc stream");
  setup.Codec->codec_type = type;
  setup.Codec->thread_count = FSettings.ThreadCount;
  setup.Encoder = codec;
  const int kind = type == AVMEDIA_TYPE_VIDEO ? 0 : type == AVMEDIA_TYPE_AUDIO ? 1 : 2;
  setup.Filters = std::move(FPendingBsfs[kind]);
  FPendingBsfs[kind].clear();
  file.Streams.push_back(std::move(setup));
  return st;
}

namespace {

// The encoder named by the setting, or the container's default for the file name.
const AVCodec *ChooseEncoder(const std::string &name, AVMediaType type, const AVFormatContext *oc,
                             bool &forced, AVCodecID &guessedId) {
  forced = !name.empty();
  guessedId = AV_CODEC_ID_NONE;
  if (forced) {
    const AVCodec *codec = nullptr;
    std::string message;
    if (!FindCodecByName(name, type, true, FF_COMPLIANCE_NORMAL, codec, message))
      throw FFmpegException(message);
    return codec;
  }
  guessedId = ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
  return guessedId == AV_CODEC_ID_NONE ? nullptr : ff::avcodec_find_encoder(guessedId);
}

AVRational SampleAspect(float aspect, int width, int height) {
  const double value = width && height ? aspect * height / width : aspect * 3.0 / 4.0;
  return value > 0 ? ff::av_d2q(value, 255) : AVRational{0, 1};
}

uint16_t *MatrixCopy(const TQuantMatrix &m) {
  auto *copy = static_cast<uint16_t *>(ff::av_malloc(sizeof(uint16_t) * 64));
  if (copy) std::memcpy(copy, m.data(), sizeof(uint16_t) * 64);
  return copy;
}

}  // namespace

void TCustomFFmpeg::AddVideoStream(TOutputFile &file) {
  AVFormatContext *oc = file.Ctx.get();
  const bool copy = FSettings.VideoStreamCopy;
  bool forced = false;
  AVCodecID guessed = AV_CODEC_ID_NONE;
  const AVCodec *codec =
      copy ? nullptr
           : ChooseEncoder(FSettings.VideoCodecName, AVMEDIA_TYPE_VIDEO, oc, forced, guessed);
  AVStream *st = NewOutputStream(file, AVMEDIA_TYPE_VIDEO, codec);
  TOutputStreamSetup &setup = file.Streams.back();
  if (!forced) setup.Encoder = nullptr;
  AVCodecContext *enc = setup.Codec.get();
  if (!codec && !copy) enc->codec_id = guessed;
  enc->codec_tag = FSettings.VideoCodecTag;
  st->codecpar->codec_tag = FSettings.VideoCodecTag;
  AVCodecContext *generic = FSettings.Generic.Codec[AVMEDIA_TYPE_VIDEO].get();
  const int vglobal = FSettings.VideoGlobalHeader;
  if ((vglobal & 1) || (vglobal == 0 && (oc->oformat->flags & AVFMT_GLOBALHEADER))) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (generic) generic->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (vglobal & 2) {
    enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    if (generic) generic->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }
  const AVRational sar =
      SampleAspect(FSettings.FrameAspectRatio, FSettings.FrameWidth, FSettings.FrameHeight);
  if (copy) {
    setup.StreamCopy = true;
    st->sample_aspect_ratio = enc->sample_aspect_ratio = sar;
  } else {
    AVRational rate = FSettings.FrameRate.num && FSettings.FrameRate.den ? FSettings.FrameRate
                                                                         : AVRational{25, 1};
    if (generic) CopyGenericOptions(enc, generic, 17);
    if (codec && codec->supported_framerates && !FSettings.ForceFps)
      rate =
          codec->supported_framerates[ff::av_find_nearest_q_idx(rate, codec->supported_framerates)];
    enc->framerate = rate;
    enc->time_base = AVRational{rate.den, rate.num};
    enc->width = FSettings.FrameWidth;
    enc->height = FSettings.FrameHeight;
    st->sample_aspect_ratio = enc->sample_aspect_ratio = sar;
    enc->pix_fmt = static_cast<AVPixelFormat>(FSettings.FramePixFmt);
    if (codec && codec->pix_fmts)
      enc->pix_fmt =
          EncoderPixelFormat(codec, enc->pix_fmt, enc->strict_std_compliance, enc->height);
    if (FSettings.IntraOnly) enc->gop_size = 0;
    if (FSettings.VideoQScale != 0 || FSettings.SameQuant) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      setup.Quality = FF_QP2LAMBDA * FSettings.VideoQScale;
      enc->global_quality = static_cast<int>(setup.Quality);
    }
    if (FSettings.IntraMatrix) enc->intra_matrix = MatrixCopy(*FSettings.IntraMatrix);
    if (FSettings.InterMatrix) enc->inter_matrix = MatrixCopy(*FSettings.InterMatrix);
    if (!FSettings.RcOverride.empty()) {
      const std::vector<RcOverride> items = ParseRcOverride(FSettings.RcOverride);
      enc->rc_override = static_cast<RcOverride *>(
          ff::av_malloc(sizeof(RcOverride) * std::max<size_t>(1, items.size())));
      if (enc->rc_override) {
        std::memcpy(enc->rc_override, items.data(), sizeof(RcOverride) * items.size());
        enc->rc_override_count = static_cast<int>(items.size());
      }
    }
    if (enc->rc_initial_buffer_occupancy == 0)
      enc->rc_initial_buffer_occupancy = static_cast<int>(enc->rc_buffer_size * 3LL / 4);
    enc->intra_dc_precision = FSettings.IntraDcPrecision - 8;
    if (FSettings.DoPSNR) enc->flags |= AV_CODEC_FLAG_PSNR;
    if (FSettings.DoPass == 1) enc->flags |= AV_CODEC_FLAG_PASS1;
    if (FSettings.DoPass == 2) enc->flags |= AV_CODEC_FLAG_PASS2;
    st->codecpar->codec_id = enc->codec_id;
  }
  if (!FSettings.VideoLanguage.empty())
    ff::av_dict_set(&st->metadata, "language", FSettings.VideoLanguage.c_str(), 0);
  FSettings.ConsumeStream(AVMEDIA_TYPE_VIDEO);
}

void TCustomFFmpeg::AddAudioStream(TOutputFile &file) {
  AVFormatContext *oc = file.Ctx.get();
  const bool copy = FSettings.AudioStreamCopy;
  bool forced = false;
  AVCodecID guessed = AV_CODEC_ID_NONE;
  const AVCodec *codec =
      copy ? nullptr
           : ChooseEncoder(FSettings.AudioCodecName, AVMEDIA_TYPE_AUDIO, oc, forced, guessed);
  AVStream *st = NewOutputStream(file, AVMEDIA_TYPE_AUDIO, codec);
  TOutputStreamSetup &setup = file.Streams.back();
  if (!forced) setup.Encoder = nullptr;
  AVCodecContext *enc = setup.Codec.get();
  if (!codec && !copy) enc->codec_id = guessed;
  enc->codec_tag = FSettings.AudioCodecTag;
  st->codecpar->codec_tag = FSettings.AudioCodecTag;
  if (oc->oformat->flags & AVFMT_GLOBALHEADER) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (auto *generic = FSettings.Generic.Codec[AVMEDIA_TYPE_AUDIO].get())
      generic->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  const int channels = FSettings.AudioChannels;
  if (copy) {
    setup.StreamCopy = true;
    ff::av_channel_layout_uninit(&enc->ch_layout);
    ff::av_channel_layout_default(&enc->ch_layout, channels);
    enc->sample_rate = FSettings.AudioSampleRate;
  } else {
    if (auto *generic = FSettings.Generic.Codec[AVMEDIA_TYPE_AUDIO].get())
      CopyGenericOptions(enc, generic, 9);
    if (FSettings.AudioQScale > -99999.0f) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      setup.Quality = FF_QP2LAMBDA * FSettings.AudioQScale;
      enc->global_quality = static_cast<int>(setup.Quality);
    }
    AVChannelLayout layout{};
    const uint64_t mask = FSettings.ChannelLayout;
    if (mask && __builtin_popcountll(mask) == channels)
      ff::av_channel_layout_from_mask(&layout, mask);
    else
      ff::av_channel_layout_default(&layout, channels);
    // Settled when the mapping has chosen the source (SetAudioFromSource); reported then.
    SetAudioEncoderFormat(enc, FSettings.AudioSampleRate, layout, FSettings.AudioSampleFmt, false);
    ff::av_channel_layout_uninit(&layout);
    if (!FSettings.AudioRateFromInput) setup.AudioRate = FSettings.AudioSampleRate;
    if (!FSettings.AudioChannelsFromInput) {
      setup.AudioChannels = channels;
      setup.AudioLayoutMask = mask && __builtin_popcountll(mask) == channels ? mask : 0;
    }
    if (!FSettings.AudioFormatFromInput) setup.AudioFormat = FSettings.AudioSampleFmt;
    st->codecpar->codec_id = enc->codec_id;
  }
  if (!FSettings.AudioLanguage.empty())
    ff::av_dict_set(&st->metadata, "language", FSettings.AudioLanguage.c_str(), 0);
  FSettings.ConsumeStream(AVMEDIA_TYPE_AUDIO);
}

void TCustomFFmpeg::SetAudioFromSource(TOutputStreamRec &ost, const TInputStreamRec &ist) {
  const TOutputStreamSetup &setup = *ost.Setup;
  const AVCodecParameters *par = ist.Stream->codecpar;
  AVChannelLayout layout{};
  if (setup.AudioChannels > 0 && setup.AudioLayoutMask)
    ff::av_channel_layout_from_mask(&layout, setup.AudioLayoutMask);
  else if (setup.AudioChannels > 0)
    ff::av_channel_layout_default(&layout, setup.AudioChannels);
  else if (par->ch_layout.order == AV_CHANNEL_ORDER_NATIVE)
    ff::av_channel_layout_copy(&layout, &par->ch_layout);
  else
    ff::av_channel_layout_default(&layout, par->ch_layout.nb_channels);
  SetAudioEncoderFormat(ost.Enc, setup.AudioRate > 0 ? setup.AudioRate : par->sample_rate, layout,
                        setup.AudioFormat >= 0 ? setup.AudioFormat : par->format, true);
  ff::av_channel_layout_uninit(&layout);
}

void TCustomFFmpeg::SetAudioEncoderFormat(AVCodecContext *enc, int rate,
                                          const AVChannelLayout &layout, int sampleFormat,
                                          bool report) {
  const AVCodec *codec = enc->codec ? enc->codec : ff::avcodec_find_encoder(enc->codec_id);
  ff::av_channel_layout_uninit(&enc->ch_layout);
  const AVChannelLayout *taken = codec ? NearestChannelLayout(codec->ch_layouts, layout) : nullptr;
  ff::av_channel_layout_copy(&enc->ch_layout, taken ? taken : &layout);
  if (report && taken && taken->nb_channels != layout.nb_channels && FSettings.Verbose >= 0)
    LogFmt(TLogLevel::llWarning, "%s takes no %d-channel sound: mixed down to %d channels",
           codec->name, layout.nb_channels, taken->nb_channels);
  enc->sample_fmt = static_cast<AVSampleFormat>(sampleFormat);
  if (codec && codec->sample_fmts) {
    bool listed = false;
    for (const AVSampleFormat *p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
      listed = listed || *p == enc->sample_fmt;
    if (!listed) enc->sample_fmt = codec->sample_fmts[0];
  }
  enc->sample_rate = rate;
  if (codec && codec->supported_samplerates) {
    const int best = NearestSampleRate(codec->supported_samplerates, rate);
    if (report && best != rate)
      LogFmt(TLogLevel::llWarning,
             "Requested sampling rate unsupported using closest supported (%d)", best);
    enc->sample_rate = best;
  }
  enc->time_base = AVRational{1, enc->sample_rate};
}

void TCustomFFmpeg::AddSubtitleStream(TOutputFile &file) {
  AVFormatContext *oc = file.Ctx.get();
  const bool copy = FSettings.SubtitleStreamCopy;
  const AVCodec *codec = nullptr;
  AVCodecID id = AV_CODEC_ID_NONE;
  bool forced = false;
  if (!copy) {
    codec = ChooseEncoder(FSettings.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, oc, forced, id);
    if (!forced && !codec) id = oc->oformat->subtitle_codec;
  }
  AVStream *st = NewOutputStream(file, AVMEDIA_TYPE_SUBTITLE, codec);
  TOutputStreamSetup &setup = file.Streams.back();
  if (!forced) setup.Encoder = nullptr;
  AVCodecContext *enc = setup.Codec.get();
  if (!codec && !copy) enc->codec_id = id;
  enc->codec_tag = FSettings.SubtitleCodecTag;
  st->codecpar->codec_tag = FSettings.SubtitleCodecTag;
  if (copy) {
    setup.StreamCopy = true;
  } else {
    if (auto *generic = FSettings.Generic.Codec[AVMEDIA_TYPE_SUBTITLE].get())
      CopyGenericOptions(enc, generic, 33);
    st->codecpar->codec_id = enc->codec_id;
  }
  if (!FSettings.SubtitleLanguage.empty())
    ff::av_dict_set(&st->metadata, "language", FSettings.SubtitleLanguage.c_str(), 0);
  FSettings.ConsumeStream(AVMEDIA_TYPE_SUBTITLE);
}
