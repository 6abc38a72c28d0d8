#include "services/AVProbe.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include "services/FFUtils.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/MediaErrors.h"
#include "services/TextFormat.h"
#include "services/UnicodeProtocol.h"

namespace {

std::string Trim(const std::string &text) {
  const auto notSpace = [](unsigned char c) { return c > ' '; };
  const auto first = std::find_if(text.begin(), text.end(), notSpace);
  const auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string Tag(const AVDictionary *tags, const char *key) {
  const AVDictionaryEntry *e = ff::av_dict_get(tags, key, nullptr, 0);
  return e && e->value ? e->value : "";
}

// The number a tag starts with ("2010-05-01" is 2010, "3/12" is 3); 0 when there is none.
int LeadingNumber(const std::string &text) {
  return static_cast<int>(std::clamp(strtol(text.c_str(), nullptr, 10), 0L, long(INT_MAX)));
}

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Whole seconds and microseconds as "%d.%.6d"; the sign goes in front, not into the remainder.
std::string FormatSeconds(int64_t us) {
  const char *sign = us < 0 ? "-" : "";
  const int64_t a = us < 0 ? -us : us;
  return FormatText("%s%d.%.6d", sign, static_cast<int>(a / 1000000),
                    static_cast<int>(a % 1000000));
}

// A stream time base that can be used for rescaling: 0/0 becomes 1/1, n/0 becomes n/n.
AVRational RepairedTimeBase(AVRational tb) {
  if (tb.den == 0) tb.den = tb.num;
  if (tb.den == 0) tb = AVRational{1, 1};
  return tb;
}

// "provider@name" of a program, each "N/A" when absent.  The old field names come first; the
// transport-stream demuxer calls them "service_provider" and "service_name".
std::string ProgramName(const AVProgram *program) {
  const auto either = [program](const char *oldKey, const char *newKey) {
    std::string value = Tag(program->metadata, oldKey);
    if (value.empty()) value = Tag(program->metadata, newKey);
    return value.empty() ? std::string("N/A") : value;
  };
  return either("provider_name", "service_provider") + "@" + either("name", "service_name");
}

// Local date and time of a UTC timestamp, "yyyy-mm-dd hh:nn:ss", with the zone's standard bias.
std::string FormatLocalTimestamp(int64_t seconds) {
  const time_t local = static_cast<time_t>(seconds - int64_t(TimeZoneBias()) * 60);
  struct tm t = {};
  gmtime_r(&local, &t);
  return FormatText("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                    t.tm_hour, t.tm_min, t.tm_sec);
}

// One rate item of a video stream line: "29.97 fps", "25 tbr", "90k tbn".
std::string RateItem(AVRational rate, const char *name) {
  if (rate.num == 0 || rate.den == 0) return "";
  const double v = static_cast<double>(rate.num) / rate.den;
  const long long hundredths = llrint(v * 100);
  if (hundredths % 100 != 0) return FormatText(", %3.2f %s", v, name);
  if (hundredths % 100000 != 0) return FormatText(", %1.0f %s", v, name);
  return FormatText(", %1.0fk %s", v / 1000, name);
}

// The library's one-line description of a stream's codec ("Video: h264 (High) ...").
std::string CodecDescription(const AVStream *st) {
  TCodecCtxPtr ctx(ff::avcodec_alloc_context3(nullptr));
  if (!ctx || ff::avcodec_parameters_to_context(ctx.get(), st->codecpar) < 0) return "";
  char buf[256] = {};
  ff::avcodec_string(buf, sizeof buf, ctx.get(), 0);
  return buf;
}

// Key shown for an ID3v2 frame identifier; other keys are shown as they are.
const char *DisplayedKey(const char *key) {
  static const char *const table[][2] = {
      {"TALB", "album"},     {"TAL", "album"},      {"TCOM", "composer"},  {"TCON", "genre"},
      {"TCO", "genre"},      {"TCOP", "copyright"}, {"TDRL", "date"},      {"TENC", "encoder"},
      {"TEN", "encoder"},    {"TIT2", "title"},     {"TT2", "title"},      {"TLAN", "language"},
      {"TPE1", "artist"},    {"TP1", "artist"},     {"TPOS", "disc"},      {"TPUB", "publisher"},
      {"TRCK", "track"},     {"TRK", "track"},      {"TSOA", "albumsort"}, {"TSOP", "authorsort"},
      {"TSOT", "titlesort"}, {"TYER", "year"},
  };
  for (const auto &row : table)
    if (strcmp(row[0], key) == 0) return row[1];
  return key;
}

}  // namespace

std::string CodecNameOf(const AVStream *st) {
  const AVCodecParameters *par = st->codecpar;
  if (const AVCodec *dec = ff::avcodec_find_decoder(par->codec_id)) {
    const std::string longName = Trim(dec->long_name ? dec->long_name : "");
    return longName.empty() ? dec->name : FormatText("%s(%s)", dec->name, longName.c_str());
  }
  if (par->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
  // Codecs without a decoder: the name the library knows the codec id by.
  if (const AVCodecDescriptor *d = ff::avcodec_descriptor_get(par->codec_id)) {
    const std::string name = Trim(d->name ? d->name : "");
    if (!name.empty()) return name;
  }
  const unsigned tag = par->codec_tag;
  const char c[4] = {char(tag & 0xFF), char((tag >> 8) & 0xFF), char((tag >> 16) & 0xFF),
                     char((tag >> 24) & 0xFF)};
  if (std::all_of(c, c + 4, [](char ch) { return isprint(static_cast<unsigned char>(ch)); }))
    return FormatText("%c%c%c%c / 0x%04X", c[0], c[1], c[2], c[3], tag);
  return FormatText("0x%04x", tag);
}

int StreamKindOf(const AVStream *st) {
  if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) return AVMEDIA_TYPE_ATTACHMENT;
  return st->codecpar->codec_type;
}

int DisplayRotationOf(const AVStream *st) {
  size_t size = 0;
  const uint8_t *matrix = ff::av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix || size < 9 * sizeof(int32_t)) return 0;
  // The library gives the counter-clockwise angle of the matrix; a degenerate matrix gives NaN.
  const double ccw = ff::av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
  if (std::isnan(ccw)) return 0;
  const long quarters = lround(-ccw / 90.0);
  return static_cast<int>(((quarters % 4) + 4) % 4 * 90);
}

std::string FormatMediaTime(int64_t us) {
  if (us < 0) return "N/A";
  return FormatText("%.2d:%.2d:%.2d.%.3d", static_cast<int>(us / 3600000000LL),
                    static_cast<int>(us / 60000000 % 60), static_cast<int>(us / 1000000 % 60),
                    static_cast<int>(us / 1000 % 1000));
}

std::string FormatFileSize(int64_t bytes) {
  if (bytes <= 1024) return FormatText("%d Byte", static_cast<int>(bytes));
  if (bytes <= 1048576) return FormatText("%.2f KB", bytes / 1024.0);
  if (bytes <= 1073741824) return FormatText("%.2f MB", bytes / 1048576.0);
  return FormatText("%.2f GB", bytes / 1073741824.0);
}

TCustomAVProbe::TCustomAVProbe() {
  ParseStreams();
}

TCustomAVProbe::~TCustomAVProbe() {
  CloseFile();
}

void TCustomAVProbe::CheckLibraries() const {
  static const std::pair<TLibraryKind, const char *> required[] = {
      {TLibraryKind::avcodec, "LibAVCodec not loaded."},
      {TLibraryKind::avformat, "LibAVFormat not loaded."},
      {TLibraryKind::avutil, "LibAVUtil not loaded."},
      {TLibraryKind::swscale, "LibSwScale not loaded."},
  };
  for (const auto &[kind, text] : required)
    if (!FFLoader().LibLoaded(kind)) throw EAVProbeError(text);
}

void TCustomAVProbe::ReportError(const std::string &msg) {
  FLastErrMsg = msg;
  FFLogger().Log(this, TLogLevel::llError, msg);
}

void TCustomAVProbe::ReportWarning(const std::string &msg) {
  FLastErrMsg = msg;
  FFLogger().Log(this, TLogLevel::llWarning, msg);
}

bool TCustomAVProbe::LoadFile(const std::wstring &fileName, const std::string &formatName) {
  CheckLibraries();
  CloseFile();
  const AVInputFormat *fmt = nullptr;
  if (!formatName.empty()) {
    fmt = ff::av_find_input_format(formatName.c_str());
    if (!fmt) {
      FLastErrMsg = "Unknown input format: " + formatName;
      return false;
    }
  }
  const std::string name = WideToUTF8(fileName);
  std::string url;
  try {
    url = FileNameToURL(fileName);
  } catch (const EFileNameTooLong &e) {
    ReportError(name + ": " + e.what());
    return false;
  }
  AVFormatContext *ic = ff::avformat_alloc_context();
  if (!ic) {
    ReportError(name + ": " + MediaErrorText(AVERROR(ENOMEM)));
    return false;
  }
  ic->flags |= AVFMT_FLAG_NONBLOCK;
  if (const int err = OpenInputURL(&ic, url.c_str(), fmt, nullptr); err < 0) {
    // The library frees a pre-allocated context when it fails, but a "unicode:" address whose
    // file cannot be opened fails before the library sees the context.
    if (ic) ff::avformat_free_context(ic);
    ReportError(name + ": " + MediaErrorText(err));
    CloseFile();
    return false;
  }
  FOwned.reset(ic);
  FContext = ic;
  int err;
  {
    std::lock_guard<std::recursive_mutex> lock(CodecLock());
    err = ff::avformat_find_stream_info(ic, nullptr);
  }
  if (err < 0) {
    FLastErrMsg = name + ": could not find codec parameters";
    CloseFile();
    return false;
  }
  ParseStreams();
  FForceFormat = formatName;
  return true;
}

void TCustomAVProbe::AttachContext(AVFormatContext *context) {
  CheckLibraries();
  CloseFile();
  FContext = context;
  ParseStreams();
}

void TCustomAVProbe::CloseFile() {
  FForceFormat.clear();
  FOwned.reset();
  FContext = nullptr;
  ParseStreams();
}

int64_t TCustomAVProbe::ContextFileSize() const {
  const int64_t size = FContext->pb ? ff::avio_size(FContext->pb) : 0;
  if (size > 0) return size;
  if (FContext->url && *FContext->url) {
    // A context without a byte stream of known size: ask the file system.
    struct stat st;
    const std::string path = FileNameToPath(URLToFileName(FContext->url));
    if (stat(path.c_str(), &st) == 0)
      return S_ISDIR(st.st_mode) ? std::max<int64_t>(size, 0) : st.st_size;
  }
  // The library's "unknown" is a negative error code now; the size of nothing known is 0.
  return std::max<int64_t>(size, 0);
}

void TCustomAVProbe::ParseStreams() {
  FFileSize = FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FAudioStreamIndex = FVideoStreamIndex = FSubtitleStreamIndex = -1;
  if (!FContext) return;
  FFileSize = ContextFileSize();
  FStreamCount = static_cast<int>(FContext->nb_streams);
  FProgramCount = static_cast<int>(FContext->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    switch (StreamKindOf(FContext->streams[i])) {
      case AVMEDIA_TYPE_VIDEO:
        ++FVideoStreamCount;
        if (FVideoStreamIndex < 0) FVideoStreamIndex = i;
        break;
      case AVMEDIA_TYPE_AUDIO:
        ++FAudioStreamCount;
        if (FAudioStreamIndex < 0) FAudioStreamIndex = i;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        ++FSubtitleStreamCount;
        if (FSubtitleStreamIndex < 0) FSubtitleStreamIndex = i;
        break;
      default: break;
    }
  }
}

std::wstring TCustomAVProbe::FileName() const {
  return FContext && FContext->url ? URLToFileName(FContext->url) : std::wstring();
}

std::string TCustomAVProbe::FormatName() const {
  return FContext && FContext->iformat ? FContext->iformat->name : "";
}

void TCustomAVProbe::GetFileStreamInfo(TFileStreamInfo &info) {
  info = TFileStreamInfo();
  if (!FContext) {
    ReportWarning("file not loaded.");
    return;
  }
  const AVFormatContext *ic = FContext;
  info.StartTime = ic->start_time == AV_NOPTS_VALUE ? -1 : ic->start_time;
  info.Duration = ic->duration == AV_NOPTS_VALUE ? -1 : ic->duration;
  info.BitRate = ClampToInt(ic->bit_rate);
  // The library keeps no recording time, year or track fields any more; the demuxers put them
  // into the file's tags instead.
  info.Timestamp = 0;
  int64_t created = 0;
  const std::string creationTime = Tag(ic->metadata, "creation_time");
  if (!creationTime.empty() && ff::av_parse_time(&created, creationTime.c_str(), 0) == 0)
    info.Timestamp = created / 1000000;
  std::string year = Tag(ic->metadata, "date");
  if (year.empty()) year = Tag(ic->metadata, "year");
  info.Year = LeadingNumber(year);
  info.Track = LeadingNumber(Tag(ic->metadata, "track"));
  info.Title = Tag(ic->metadata, "title");
  // Demuxers now name the author "artist" (ID3v2 TPE1, MP4 (c)ART).
  info.Author = Tag(ic->metadata, "author");
  if (info.Author.empty()) info.Author = Tag(ic->metadata, "artist");
  info.Copyright = Tag(ic->metadata, "copyright");
  info.Comment = Tag(ic->metadata, "comment");
  info.Album = Tag(ic->metadata, "album");
  info.Genre = Tag(ic->metadata, "genre");
}

AVStream *TCustomAVProbe::CheckedStream(int &index, bool audio) {
  const char *kind = audio ? "audio" : "video";
  if (!FContext) {
    ReportWarning("file not loaded.");
    return nullptr;
  }
  if (index < 0) {
    index = audio ? FAudioStreamIndex : FVideoStreamIndex;
    if (index < 0) {
      ReportError(FormatText("no %s stream.", kind));
      return nullptr;
    }
  }
  if (index >= FStreamCount) {
    ReportError(FormatText("stream index #%d is invalid.", index));
    return nullptr;
  }
  AVStream *st = FContext->streams[index];
  if (StreamKindOf(st) != (audio ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO)) {
    ReportError(FormatText("stream #%d is not %s stream.", index, kind));
    return nullptr;
  }
  return st;
}

void TCustomAVProbe::FillTimes(AVStream *st, int64_t &rawStart, int64_t &start,
                               int64_t &rawDuration, int64_t &duration) {
  // A broken time base is repaired in the stream itself, so that later users rescale alike.  A
  // sound one is left alone: a player's threads may be reading the stream meanwhile.
  const AVRational repaired = RepairedTimeBase(st->time_base);
  if (repaired.num != st->time_base.num || repaired.den != st->time_base.den)
    st->time_base = repaired;
  rawStart = st->start_time;
  if (rawStart != AV_NOPTS_VALUE) start = ff::av_rescale_q(rawStart, st->time_base, AV_TIME_BASE_Q);
  rawDuration = st->duration;
  if (rawDuration != AV_NOPTS_VALUE)
    duration = ff::av_rescale_q(rawDuration, st->time_base, AV_TIME_BASE_Q);
}

void TCustomAVProbe::GetAudioStreamInfo(int index, TAudioStreamInfo &info) {
  info = TAudioStreamInfo();
  AVStream *st = CheckedStream(index, true);
  if (!st) return;
  info.Language = Tag(st->metadata, "language");
  info.CodecName = CodecNameOf(st);
  FillTimes(st, info.RawStartTime, info.StartTime, info.RawDuration, info.Duration);
  const AVCodecParameters *par = st->codecpar;
  info.BitRate = ClampToInt(par->bit_rate);
  info.Channels = par->ch_layout.nb_channels;
  info.SampleRate = par->sample_rate;
  info.SampleFormat = par->format;
}

void TCustomAVProbe::GetVideoStreamInfo(int index, TVideoStreamInfo &info) {
  info = TVideoStreamInfo();
  AVStream *st = CheckedStream(index, false);
  if (!st) return;
  info.Language = Tag(st->metadata, "language");
  info.CodecName = CodecNameOf(st);
  FillTimes(st, info.RawStartTime, info.StartTime, info.RawDuration, info.Duration);
  const AVCodecParameters *par = st->codecpar;
  info.BitRate = ClampToInt(par->bit_rate);
  info.Height = par->height;
  info.Width = par->width;
  const AVRational sar = par->sample_aspect_ratio;
  const double sarValue = sar.den ? static_cast<double>(sar.num) / sar.den : 0.0;
  info.DisplayAspectRatio =
      par->height ? static_cast<float>(sarValue * par->width / par->height) : 0.0f;
  info.PixelFormat = par->format;
  info.FrameRateNum = st->r_frame_rate.num;
  info.FrameRateDen = st->r_frame_rate.den;
  info.Rotation = DisplayRotationOf(st);
}

bool TCustomAVProbe::IsStreamOfType(int index, int type) {
  if (!FContext) {
    ReportWarning("file not loaded.");
    return false;
  }
  if (index < 0 || index >= FStreamCount) {
    ReportError(FormatText("stream index #%d is invalid.", index));
    return false;
  }
  return StreamKindOf(FContext->streams[index]) == type;
}

bool TCustomAVProbe::IsAudioStream(int index) {
  return IsStreamOfType(index, AVMEDIA_TYPE_AUDIO);
}

bool TCustomAVProbe::IsVideoStream(int index) {
  return IsStreamOfType(index, AVMEDIA_TYPE_VIDEO);
}

void TCustomAVProbe::AppendTagBlock(std::string &text, const AVDictionary *tags,
                                    const char *prefix) {
  const int count = ff::av_dict_count(tags);
  if (count == 0 || (count == 1 && ff::av_dict_get(tags, "language", nullptr, 0))) return;
  text += FormatText("%sMetadata:\r\n", prefix);
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(tags, "", e, AV_DICT_IGNORE_SUFFIX)))
    if (strcmp(e->key, "language") != 0)
      text += FormatText("%s  %-16s: ", prefix, DisplayedKey(e->key)) + e->value + "\r\n";
}

std::string TCustomAVProbe::StreamLine(int index) const {
  const AVStream *st = FContext->streams[index];
  const AVCodecParameters *par = st->codecpar;
  std::string line = FormatText("Stream #%d", index);
  if (FContext->iformat && (FContext->iformat->flags & AVFMT_SHOW_IDS))
    line += FormatText("[0x%x]", st->id);
  const std::string language = Tag(st->metadata, "language");
  if (!language.empty()) line += "(" + language + ")";
  int64_t divisor = ff::av_gcd(st->time_base.num, st->time_base.den);
  if (divisor == 0) divisor = 1;
  line += FormatText(", %d/%d", static_cast<int>(st->time_base.num / divisor),
                     static_cast<int>(st->time_base.den / divisor));
  line += ": " + CodecDescription(st);
  if (StreamKindOf(st) == AVMEDIA_TYPE_ATTACHMENT && par->codec_type == AVMEDIA_TYPE_VIDEO)
    line += " (cover art)";
  const AVRational sar = st->sample_aspect_ratio;
  if (sar.num != 0 && av_cmp_q(sar, par->sample_aspect_ratio) != 0) {
    int darNum = 0, darDen = 0;
    ff::av_reduce(&darNum, &darDen, int64_t(par->width) * sar.num, int64_t(par->height) * sar.den,
                  1024 * 1024);
    line += FormatText(", PAR %d:%d DAR %d:%d", sar.num, sar.den, darNum, darDen);
  }
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    line += RateItem(st->avg_frame_rate, "fps");
    line += RateItem(st->r_frame_rate, "tbr");
    line += RateItem(AVRational{st->time_base.den, st->time_base.num}, "tbn");
    const AVRational codecTb = ff::av_stream_get_codec_timebase(st);
    line += RateItem(AVRational{codecTb.den, codecTb.num}, "tbc");
  }
  if (const int rotation = DisplayRotationOf(st);
      rotation != 0 && par->codec_type == AVMEDIA_TYPE_VIDEO)
    line += FormatText(", Rotation: %d", rotation);
  // Rescaling needs a usable time base even where nobody repaired the stream's own.
  const AVRational tb = RepairedTimeBase(st->time_base);
  if (st->start_time != AV_NOPTS_VALUE)
    line += ", StartTime: " + FormatSeconds(ff::av_rescale_q(st->start_time, tb, AV_TIME_BASE_Q));
  if (st->duration == AV_NOPTS_VALUE)
    line += ", Duration: N/A";
  else
    line += ", Duration: " + FormatMediaTime(ff::av_rescale_q(st->duration, tb, AV_TIME_BASE_Q));
  return line + "\r\n";
}

std::string TCustomAVProbe::FileInfoText() {
  if (!FContext) {
    ReportWarning("file not loaded.");
    return "";
  }
  const AVFormatContext *ic = FContext;
  std::string text;
  const auto add = [&text](const std::string &line) { text += line + "\r\n"; };
  add("File Name: " + WideToUTF8(FileName()));
  add("Format Name: " + FormatName());
  add(std::string("Format Long Name: ") +
      (ic->iformat && ic->iformat->long_name ? ic->iformat->long_name : ""));
  add("File Size: " + FormatFileSize(FFileSize));

  TFileStreamInfo info;
  GetFileStreamInfo(info);
  add(info.Duration < 0 ? "Duration: N/A" : "Duration: " + FormatMediaTime(info.Duration));
  if (info.StartTime >= 0) add("StartTime: " + FormatSeconds(info.StartTime));
  add(info.BitRate < 1 ? "Bit Rate: N/A" : FormatText("Bit Rate: %d kb/s", info.BitRate / 1000));
  if (info.Timestamp > 0) add("Time Stamp: " + FormatLocalTimestamp(info.Timestamp));
  AppendTagBlock(text, ic->metadata, "");

  std::vector<bool> listed(ic->nb_streams, false);
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    const AVProgram *program = ic->programs[p];
    add(FormatText("Program %d ", program->id) + ProgramName(program));
    AppendTagBlock(text, program->metadata, "  ");
    for (unsigned k = 0; k < program->nb_stream_indexes; ++k) {
      const unsigned s = program->stream_index[k];
      if (s >= ic->nb_streams) continue;
      text += StreamLine(static_cast<int>(s));
      AppendTagBlock(text, ic->streams[s]->metadata, "  ");
      listed[s] = true;
    }
  }
  for (unsigned s = 0; s < ic->nb_streams; ++s) {
    if (listed[s]) continue;
    text += StreamLine(static_cast<int>(s));
    AppendTagBlock(text, ic->streams[s]->metadata, "  ");
  }
  return text;
}
