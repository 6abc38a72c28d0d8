#include "workspace/JobBuilder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <stdexcept>

#include "services/AVProbe.h"
#include "services/ContainerCodecs.h"
#include "services/UnicodeProtocol.h"
#include "workspace/DestinationName.h"
#include "workspace/LogicTexts.h"
#include "workspace/NumberText.h"
#include "workspace/ParameterPanel.h"
#include "workspace/StreamLevels.h"

namespace pk = profilekeys;

namespace {

constexpr const char AsSource[] = "as source";
constexpr int VideoCDRate = 1150000;          // bit/s
constexpr int VideoCDBuffer = 40 * 1024 * 8;  // bits
// The encoder name that writes the source's stream as it is.
constexpr const char StreamCopy[] = "copy";

std::string Size(int w, int h) {
  return std::to_string(w) + "x" + std::to_string(h);
}
std::string Ratio(int w, int h) {
  return std::to_string(w) + ":" + std::to_string(h);
}

bool AnyCrop(const TlvFilesRecord &r) {
  return r.CropTop > 0 || r.CropBottom > 0 || r.CropLeft > 0 || r.CropRight > 0;
}

bool OneOf(const std::string &value, std::initializer_list<const char *> names) {
  for (const char *name : names)
    if (value == name) return true;
  return false;
}

// kbit/s text to bit/s; nothing when the result does not fit the record's 32-bit field.
std::optional<int> KbitToBit(double kbit) {
  const double bits = std::trunc(kbit * 1000.0);
  if (bits <= 0 || bits > INT_MAX) return std::nullopt;
  return static_cast<int>(bits);
}

// The H.263 encoder takes only its five picture formats.
bool H263Size(int w, int h) {
  return (w == 128 && h == 96) || (w == 176 && h == 144) || (w == 352 && h == 288) ||
         (w == 704 && h == 576) || (w == 1408 && h == 1152);
}

// Truncated to an even number.  A millionth of a pixel is forgiven, so that a size that is
// whole on paper (a shape computed through a sample aspect) does not lose two pixels.
int Even(long double v) {
  return 2 * (static_cast<int>(std::trunc(v + 1e-6L)) / 2);
}

// Rounded to the nearest even number (a picture side in a frame of 4:2:0 samples).
int NearestEven(long double v) {
  return 2 * static_cast<int>(std::llround(v / 2));
}

// A width counted in the frame's pixels, to a millionth of a pixel, so that shapes that are equal
// on paper compare equal.
long double FramePixels(long double v) {
  return std::round(v * 1e6L) / 1e6L;
}

// The frame sizes of a Video CD (PAL and NTSC); a player shows both 4:3.
bool VideoCDFrame(int w, int h) {
  return w == 352 && (h == 288 || h == 240);
}

// One more line of the output's option text.
void AddOption(TOutputOptions &o, const std::string &name, const std::string &value) {
  o.ExtOptions += (o.ExtOptions.empty() ? "" : "\n") + name + "=" + value;
}

// Containers of the MP4 family keep their index where the muxer puts it, at the end, unless told
// otherwise; phones and browsers need it at the start to play while the file downloads.
bool Mp4Family(const TFormatInfo &f) {
  return OneOf(LowerCase(f.Format), {"ipod", "psp", "mov", "3gp", "3g2"}) ||
         OneOf(LowerCase(f.FileExt), {"mp4", "m4a", "m4v", "mov", "3gp", "3g2"});
}

// The target kinds that are also the container's name; the others leave it to the extension.
void ApplyContainer(const TFormatInfo &f, TOutputOptions &o) {
  if (OneOf(LowerCase(f.Format),
            {"ipod", "3gp", "3g2", "avi", "psp", "mov", "vcd", "flv", "mpegts", "vob"}))
    o.FileFormat = f.Format;
}

// The profile offers video encoders (the panel's video group is on).
bool MakesVideo(const TFormatInfo &f) {
  return TFormatCatalogue::SplitList(f.VideoEncoder) && !Trimmed(f.VideoEncoder).empty();
}

TRatio Reduced(int num, int den) {
  const int g = std::gcd(num, den);
  return g > 0 ? TRatio{num / g, den / g} : TRatio{};
}

// The display aspect of W x H pixels of that sample aspect, as the aspect option takes it.
// Square pixels keep the pixel counts ("320:180"), as the zoom modes always wrote them.
std::string DisplayRatio(int w, int h, TRatio sar) {
  if (sar.Square()) return Ratio(w, h);
  const TRatio d = Reduced(w * sar.Num, h * sar.Den);
  return Ratio(d.Num, d.Den);
}

// How many of the frame's pixels one source pixel is wide, as both are shown.
long double Stretch(const TSourcePicture &src, TRatio sar) {
  if (src.Width <= 0 || src.Height <= 0 || src.DisplayWidth <= 0 || src.DisplayHeight <= 0)
    return 1;
  const long double source = (static_cast<long double>(src.DisplayWidth) / src.Width) /
                             (static_cast<long double>(src.DisplayHeight) / src.Height);
  return source * sar.Den / sar.Num;
}

}  // namespace

// The profile's values in the settings store, with the defaults the job builder reads them with.
struct TJobBuilder::TProfileValues {
  int Code = 0;
  std::map<std::string, std::string> Section;
  std::string Get(const char *key, const std::string &defaultValue) const {
    const auto it = Section.find(LowerCase(key));
    return it == Section.end() ? defaultValue : it->second;
  }
};

// A start at or past the source's end would give a file without a single frame that passes for
// converted: the row is refused before anything is written.
void TJobBuilder::RefuseStartBeyondEnd(const TlvFilesRecord &record, const TSourceInfo &source) {
  if (record.TrimStart <= 0 || source.Duration <= 0 || record.TrimStart < source.Duration) return;
  throw std::invalid_argument(
      ArgText(logictexts::StartBeyondEnd,
              {FormatMediaTime(record.TrimStart), FormatMediaTime(source.Duration)}));
}

// A video profile given a source without video (sound alone, perhaps with a cover picture)
// writes a sound-only file where its container holds one; a DV file cannot, and the row is refused
// before anything is written, saying why.  (A profile whose settings give no video encoder is an
// audio profile, not this case.)
void TJobBuilder::RefuseSourceWithoutVideo(int formatCode, const TFormatInfo &f,
                                           const TSourceInfo &source) const {
  if (source.VideoStreamCount > 0) return;
  if (Trimmed(FStore.ReadProfile(formatCode, pk::paraVideoEncoder, "")).empty()) return;
  if (LowerCase(f.Format) != "dv" && LowerCase(f.FileExt) != "dv") return;
  throw std::invalid_argument(QT_TRANSLATE_NOOP(
      "Messages", "the source has no video, and a DV file cannot hold sound alone"));
}

bool TJobBuilder::HookNeeded(const TlvFilesRecord &r) {
  return r.Brightness != 255 || r.Contrast != 0 || r.Saturation != 255 || r.Exposure != 0 ||
         !r.MarkText.empty() || !r.MarkImage.empty();
}

TJob TJobBuilder::BuildJob(const std::wstring &caption, TlvFilesRecord &record,
                           const TSourceInfo &source) {
  RefuseStartBeyondEnd(record, source);
  TJob job;
  InitInputOptions(job.Input);
  job.Input.FileName = caption;
  job.Input.FileFormat = source.ForceFormat;
  if (record.TrimStart >= 0) job.Input.StartTime = record.TrimStart;

  const int code = FStore.FormatCode();
  TParameterPanel(FCatalogue, FStore, FQuestions).EnsureSeeded(code);
  const TFormatInfo format = FCatalogue.Read(code);
  RefuseSourceWithoutVideo(code, format, source);
  const std::string extension = "." + format.FileExt;
  job.Destination =
      DestinationFileName(FStore, FQuestions, FileNameToPath(source.FileName), extension, FTaken);
  FTaken.insert(job.Destination);
  record.ZoomMode = FStore.ReadProfile(code, pk::paraZoom, "lbox");

  InitOutputOptions(job.Output);
  job.Output.FileName = UTF8ToWide(job.Destination.string());
  if (record.TrimLength > 0) job.Output.Duration = record.TrimLength;
  BuildOutputOptions(code, job.Output, job.Input, source, record);
  // A copied picture is never decoded: there is nothing to draw effects or a watermark on.
  job.Output.HookEnabled = HookNeeded(record) && job.Output.VideoCodec != StreamCopy;
  return job;
}

void TJobBuilder::BuildOutputOptions(int formatCode, TOutputOptions &o, TInputOptions &i,
                                     const TSourceInfo &src, const TlvFilesRecord &r) {
  const TFormatInfo f = FCatalogue.Read(formatCode);
  const TProfileValues p{formatCode, FStore.ReadSection(ProfileSection(formatCode))};
  const std::string fmt = LowerCase(f.Format);

  ApplyDiscTarget(fmt, p.Get(pk::paraVideoSize, "null"), o);
  if (Mp4Family(f)) AddOption(o, "movflags", "+faststart");

  if (Trimmed(p.Get(pk::paraVideoEncoder, "")).empty()) {
    // An empty encoder means a sound-only profile.  For a profile that makes video it means a
    // damaged section, and a file without its picture must not pass for converted.
    if (MakesVideo(f))
      throw EJobError(FStore.Path(), formatCode, pk::paraVideoEncoder,
                      "no video encoder is stored for a profile that makes video, so the video "
                      "would be dropped; choose a video encoder or press Default");
    ApplyAudioValues(p, o, true);
    i.ExtOptions = "vn=1";
    o.DisableVideo = true;
    o.DisableSubtitle = true;
    return;
  }
  ApplyVideoCodec(p, f, o);
  if (src.VideoStreamCount <= 0) {
    o.DisableVideo = true;
    // A disc target reads its norm from the frame rate, which a source without video does not
    // have: the profile's rate says it (only the sound is written either way).
    if (o.TargetType > 0 && o.TargetNorm == 0) {
      const auto fps = NumberText(p.Get(pk::paraFrameRate, "29.97"));
      o.TargetNorm = fps && std::abs(*fps - 25.0) < 0.01 ? 1 : 2;
    }
  } else if (o.VideoCodec == StreamCopy) {
    // A copied stream keeps the source's frame size, rate, bit rate and picture: of the video
    // values only the container applies.
    ApplyContainer(f, o);
  } else {
    ApplyVideoValues(p, f, src, r, o);
  }
  ApplyAudioValues(p, o, false);
  // With both streams copied the file changes only its container: subtitles are copied too.
  if (o.VideoCodec == StreamCopy && o.AudioCodec == StreamCopy) o.SubtitleCodec = StreamCopy;
  RefuseUnfitCopy(f, src, o);
}

// A stream the container cannot hold as it is would fail the run, or give a file that nothing
// plays: the row is refused before anything is written, naming the codec and the container.
void TJobBuilder::RefuseUnfitCopy(const TFormatInfo &f, const TSourceInfo &src,
                                  const TOutputOptions &o) {
  const struct {
    bool Copied;
    int CodecId;
    const char *Kind;
  } streams[] = {
      {o.VideoCodec == StreamCopy && !o.DisableVideo, src.VideoCodecId, "video"},
      {o.AudioCodec == StreamCopy && !o.DisableAudio, src.AudioCodecId, "sound"},
      {o.SubtitleCodec == StreamCopy && !o.DisableSubtitle, src.SubtitleCodecId, "subtitles"}};
  // Asked of the libraries only when a copied stream's codec is known (the probe found it).
  std::string muxer;
  for (const auto &stream : streams) {
    if (!stream.Copied || stream.CodecId == 0) continue;
    if (muxer.empty()) muxer = MuxerOf(o.FileFormat, f.FileExt);
    if (const auto refusal = CopyRefusal(muxer, stream.CodecId, stream.Kind))
      throw std::invalid_argument(*refusal);
  }
}

void TJobBuilder::ApplyDiscTarget(const std::string &fmt, const std::string &videoSize,
                                  TOutputOptions &o) {
  struct TDisc {
    const char *Format;
    int Type, Norm;
    const char *WideSize;  // the frame size that makes a 16:9 disc; nullptr: always 4:3
  };
  static const TDisc discs[] = {{"ntsc-dvd", 3, 2, "720x480"}, {"pal-dvd", 3, 1, "720x576"},
                                {"ntsc-vcd", 1, 2, nullptr},   {"pal-vcd", 1, 1, nullptr},
                                {"ntsc-svcd", 2, 2, nullptr},  {"pal-svcd", 2, 1, nullptr}};
  for (const TDisc &d : discs) {
    if (fmt != d.Format) continue;
    o.TargetType = d.Type;
    o.TargetNorm = d.Norm;
    o.AspectRatio = d.WideSize && videoSize == d.WideSize ? "16:9" : "4:3";
  }
}

void TJobBuilder::ApplyAudioValues(const TProfileValues &p, TOutputOptions &o, bool audioOnly) {
  if (audioOnly) {
    o.AudioCodec = p.Get(pk::paraAudioEncoder, "libfaac");
  } else {
    std::string codec = p.Get(pk::paraAudioEncoder, "");
    if (codec == "libamr_nb") codec = "libopencore_amrnb";
    o.AudioCodec = codec;
    if (Trimmed(codec).empty()) o.DisableAudio = true;
  }
  // A copied sound keeps its rate, channels and loudness (the engine refuses a volume on a copy).
  if (o.AudioCodec == StreamCopy) return;

  const std::string channels = p.Get(pk::paraChannel, "2");
  if (channels != AsSource)
    if (const auto n = IntegerText(channels); n && (*n > 0 || !audioOnly)) o.AudioChannels = *n;

  // A section without a volume keeps the source's loudness (engine volume 256): reading the
  // missing key as the engine volume 3 would make the output all but silent.
  const std::string volume = p.Get(pk::paraVolume, "256");
  if (volume != "256") {
    const auto v = IntegerText(volume);
    if (!v)
      throw EJobError(FStore.Path(), p.Code, pk::paraVolume,
                      "'" + volume + "' is not a valid integer value");
    o.AudioVolume = *v;
  }

  const std::string rate = p.Get(pk::paraSampleRate, "44100");
  if (rate != AsSource)
    if (const auto n = IntegerText(rate); n && *n > 0) o.AudioSampleRate = *n;

  const std::string bitRate = p.Get(pk::paraAudioBitRate, "128");
  if (bitRate != AsSource)
    if (const auto kbit = NumberText(bitRate))
      if (const auto bits = KbitToBit(*kbit)) o.AudioBitrate = *bits;

  // Vorbis takes an asked rate only as an estimate and lets the sound decide (a plain tone came
  // out at 30 of 128 kbit/s); with the rate as its floor the encoder manages it.
  if ((o.AudioCodec == "vorbis" || o.AudioCodec == "libvorbis") && o.AudioBitrate > 0)
    AddOption(o, "aminrate", std::to_string(o.AudioBitrate));
}

void TJobBuilder::ApplyVideoCodec(const TProfileValues &p, const TFormatInfo &f,
                                  TOutputOptions &o) {
  const std::string venc = p.Get(pk::paraVideoEncoder, "");
  const std::string fmt = LowerCase(f.Format);
  if (OneOf(venc,
            {"mpeg4",   "libxvid", "mpeg1video", "mpeg2video", "msmpeg4", "msmpeg4v1", "msmpeg4v2",
             "huffyuv", "dvvideo", "rawvideo",   "h263p",      "h263",    "rv10",      "rv20",
             "ljpeg",   "mjpeg",   "svq1",       "zlib",       "wmv1",    "wmv2"})) {
    o.VideoCodec = venc;
    if (venc == "mpeg2video") o.TargetType = 3;
  } else if (OneOf(venc, {"libx265", "libsvtav1", "libvpx-vp9", StreamCopy})) {
    o.VideoCodec = venc;
  } else if (venc == "libx264") {
    o.VideoCodec = "libx264";
    o.VideoPreset = fmt == "psp"    ? "libx264-psp"
                    : fmt == "ipod" ? "libx264-ipod"
                    : fmt == "ps3"  ? "libx264-ps3"
                                    : "libx264-mp4";
  }
  // Players that know MPEG-4 Part 2 in AVI only by an "XVID" or "DX50" tag get it; the tag says
  // nothing true about other codecs, so it goes with these two only.
  if (f.VideoTag.size() == 4 && (o.VideoCodec == "mpeg4" || o.VideoCodec == "libxvid"))
    o.VideoTag = f.VideoTag;
  // Apple players take H.265 in MP4 only under the tag "hvc1" (parameter sets in the sample
  // description); the muxer's own choice is "hev1".
  if (o.VideoCodec == "libx265" && OneOf(LowerCase(f.VideoTag), {"hvc1", "hev1"}))
    o.VideoTag = LowerCase(f.VideoTag);
}

void TJobBuilder::ApplyVideoValues(const TProfileValues &p, const TFormatInfo &f,
                                   const TSourceInfo &src, const TlvFilesRecord &r,
                                   TOutputOptions &o) {
  const std::string bitRate = p.Get(pk::paraVideoBitRate, "512");
  const auto kbit = bitRate == AsSource ? std::nullopt : IntegerText(bitRate);
  if (kbit) {
    if (const auto bits = KbitToBit(*kbit)) o.VideoBitrate = *bits;
  } else if (src.VideoBitRate > 0 && src.VideoBitRate <= INT_MAX) {
    o.VideoBitrate = static_cast<int>(src.VideoBitRate);
  }

  const std::string rate = p.Get(pk::paraFrameRate, "29.97");
  if (rate != AsSource)
    if (const auto fps = NumberText(rate); fps && *fps > 0) o.FrameRate = rate;

  ApplyContainer(f, o);

  int w = 0, h = 0;
  TargetSize(p, src, o, w, h);
  for (int *crop : {&o.CropTop, &o.CropBottom, &o.CropLeft, &o.CropRight})
    if (*crop == -1) *crop = 0;
  ApplyZoom(f, src, r, w, h, o);
  ApplyStreamLimits(p, f, src, w, h, o);
}

void TJobBuilder::ApplyZoom(const TFormatInfo &f, const TSourceInfo &src, const TlvFilesRecord &r,
                            int w, int h, TOutputOptions &o) {
  const TSourcePicture picture = SourcePicture(src);
  const TRatio sar = FrameSampleAspect(f, w, h, picture);
  TZoomResult z;
  if (r.ZoomMode == "full")
    z = ZoomFull(w, h, r, sar);
  else if (r.ZoomMode == "lbox")
    z = ZoomLetterbox(w, h, picture, r, sar);
  else if (r.ZoomMode == "pan")
    z = ZoomPanScan(w, h, picture, r, sar);
  else if (r.ZoomMode == "center")
    z = ZoomCenter(w, h, picture, sar);
  else
    return;  // no zoom step: the disc target's aspect stays
  o.FrameSize = z.FrameSize;
  if (!z.AspectRatio.empty()) o.AspectRatio = z.AspectRatio;
  o.CropTop = z.CropTop, o.CropBottom = z.CropBottom;
  o.CropLeft = z.CropLeft, o.CropRight = z.CropRight;
  // The scaler hands on the source's pixel shape (adjusted to keep the source's display); the
  // frame is written with its own, whatever the source had.
  const std::string filter = z.Filter + (z.Filter.empty() ? "" : ",") +
                             "setsar=" + std::to_string(sar.Num) + "/" + std::to_string(sar.Den);
  o.VideoFilters = o.VideoFilters.empty() ? filter : o.VideoFilters + "," + filter;
}

// The limits a device checks: the level the stream claims, its peak rate and buffer, and the
// distance between key frames.
void TJobBuilder::ApplyStreamLimits(const TProfileValues &p, const TFormatInfo &f,
                                    const TSourceInfo &src, int w, int h, TOutputOptions &o) {
  double fps = src.FrameRate;
  if (const auto asked = NumberText(o.FrameRate); asked && *asked > 0) fps = *asked;

  if (f.RateLimit && o.VideoBitrate > 0) {
    // The asked rate is the most the device takes: it becomes the encoder's ceiling, with a
    // quarter of a second of buffer (two pictures at least, which the encoder needs), so that
    // neither a second of the stream nor a short clip as a whole runs far above it.
    o.VideoMaxRate = o.VideoBitrate;
    o.VideoBufSize = o.VideoBitrate / 4;
    if (fps > 0)
      o.VideoBufSize = std::max(o.VideoBufSize, static_cast<int>(2 * o.VideoBitrate / fps));
  }
  if (f.VideoCD && VideoCDFrame(w, h) && o.VideoBitrate == VideoCDRate) {
    // A Video CD player reads at a constant rate into a buffer of 40 KiB: the encoder keeps
    // that buffer model, stuffing what the picture does not need.
    o.VideoMinRate = o.VideoMaxRate = o.VideoBitrate;
    o.VideoBufSize = VideoCDBuffer;
  }
  if (o.VideoCodec == "libx264") {
    ApplyH264Values(p, w, h, fps, o);
    if (!f.VideoProfile.empty()) {
      const std::string profile = LowerCase(f.VideoProfile);
      AddOption(o, "profile", profile);
      // The profile is a ceiling to x264: without the 8x8 transform a stream stays Main.
      if (profile == "high") AddOption(o, "8x8dct", "1");
    }
  } else if (OneOf(o.VideoCodec, {"libx265", "libsvtav1", "libvpx-vp9"})) {
    ApplyModernEncoderValues(f, w, h, fps, o);
  } else if (o.VideoCodec == "mpeg4" && w > 0 && h > 0) {
    // The encoder writes Simple Profile level 1 unless told otherwise.
    const int level =
        Mpeg4SimpleLevel({w, h, fps, std::max(o.VideoMaxRate, o.VideoBitrate), o.VideoBufSize});
    if (o.VideoBufSize > Mpeg4SimpleBuffer(level))
      o.VideoBufSize = static_cast<int>(Mpeg4SimpleBuffer(level));
    AddOption(o, "level", std::to_string(level));
  }
  // The encoder's model starts with the decoder's buffer this full and may spend what is in it
  // on top of the rate: a full start puts a short clip as a whole above a ceiling.  A quarter
  // keeps it under, and a device that waits for more before it starts is only safer.
  if (f.RateLimit && o.VideoMinRate <= 0 && o.VideoBufSize > 0)
    AddOption(o, "rc_init_occupancy", std::to_string(o.VideoBufSize / 4));
  // DVD players take at most 15 pictures between key frames at 25 fps and 18 at the NTSC rates.
  if (o.TargetType == 3 && o.VideoCodec == "mpeg2video") {
    const bool ntsc = fps > 0 && std::abs(fps - 25.0) > 0.01;
    o.GOPSize = ntsc ? 18 : 15;
  }
}

// The profile's advanced H.264 values (copied into its section when H.264 was chosen), and a
// level never below what the frame size, frame rate and rates need.
void TJobBuilder::ApplyH264Values(const TProfileValues &p, int w, int h, double fps,
                                  TOutputOptions &o) {
  auto integer = [&](const char *key, int missing) {
    return IntegerText(p.Get(key, "")).value_or(missing);
  };
  if (const int kbit = integer(pk::paraMaxBitrate, 0); kbit > 0)
    if (const auto bits = KbitToBit(kbit)) o.VideoMaxRate = *bits;
  if (const int kbit = integer(pk::paraBufferSize, 0); kbit > 0)
    if (const auto bits = KbitToBit(kbit)) o.VideoBufSize = *bits;
  if (const int gop = integer(pk::paraGop, 0); gop > 0) o.GOPSize = gop;
  if (const int coder = integer(pk::paraCoder, -1); coder >= 0)
    AddOption(o, "coder", std::to_string(coder));
  if (const int q = integer(pk::paraQscale, 0); q > 0) AddOption(o, "qscale", std::to_string(q));
  if (LowerCase(p.Get(pk::paraBitExact, "")) == "true") AddOption(o, "flags", "+bitexact");

  int level = integer(pk::paraLevel, 0);
  if (w > 0 && h > 0)
    level = std::max(level, H264Level({w, h, fps, std::max(o.VideoMaxRate, o.VideoBitrate),
                                       std::max(o.VideoBufSize, 0)}));
  if (level > 0) AddOption(o, "level", std::to_string(level));
}

// H.265, AV1 and VP9: 4:2:0 8-bit pictures (H.265 Main, AV1 Main, VP9 profile 0, which every
// device that decodes these codecs in hardware takes), the profile's speed setting, and for H.265
// a level never below the profile's nor below what the frame size, rate and bit rate need.
void TJobBuilder::ApplyModernEncoderValues(const TFormatInfo &f, int w, int h, double fps,
                                           TOutputOptions &o) {
  AddOption(o, "pix_fmt", "yuv420p");
  const std::string speed = Trimmed(f.EncoderSpeed);
  const bool numeric = IntegerText(speed).has_value();
  if (o.VideoCodec == "libx265") {
    // A profile that names no preset gets "faster": x265's own "medium" takes minutes for a
    // minute of 1080p on two cores.
    AddOption(o, "preset", !speed.empty() && !numeric ? speed : "faster");
    AddOption(o, "profile", "main");
    int level = 0;
    if (const auto least = NumberText(f.VideoLevel))
      level = static_cast<int>(std::lround(*least * 30));
    if (w > 0 && h > 0)
      level = std::max(level, HevcLevel({w, h, fps, std::max(o.VideoMaxRate, o.VideoBitrate), 0}));
    std::string params = "log-level=error";
    if (level > 0) {
      // x265 takes the level as major.minor: 123 is "4.1".
      params += ":level-idc=" + std::to_string(level / 30) + "." + std::to_string(level % 30 / 3);
    }
    AddOption(o, "x265-params", params);
  } else if (o.VideoCodec == "libsvtav1") {
    // Presets 8 to 10 encode 1080p at several frames a second on two cores; 0 to 4 are for
    // archives made overnight.
    AddOption(o, "preset", numeric ? speed : "8");
  } else {
    // libvpx-vp9: "good" quality with cpu-used 5 and rows encoded in parallel is the practical
    // speed; its default (cpu-used 1, one row at a time) is many times slower.
    AddOption(o, "deadline", "good");
    AddOption(o, "cpu-used", numeric ? speed : "5");
    AddOption(o, "row-mt", "1");
  }
}

void TJobBuilder::TargetSize(const TProfileValues &p, const TSourceInfo &src,
                             const TOutputOptions &o, int &w, int &h) {
  // The engine turns a rotated source upright before it scales, so "as source" means the upright
  // size.
  const TSourcePicture upright = SourcePicture(src);
  std::string s = p.Get(pk::paraVideoSize, "null");
  const size_t x = s.find('x');
  if (s != AsSource && x != std::string::npos && x >= 1 && x + 1 < s.size()) {
    w = IntegerText(s.substr(0, x)).value_or(upright.Width);
    h = IntegerText(s.substr(x + 1)).value_or(upright.Height);
    if (LowerCase(o.VideoCodec) == "h263" &&
        std::string("704x576,352x288,176x144,160x120,128x96").find(s) == std::string::npos) {
      if (w > 352)
        w = 704, h = 576;
      else if (w > 176)
        w = 352, h = 288;
    }
    // What is left must still be one of the H.263 picture formats, or the encoder refuses it.
    if (LowerCase(o.VideoCodec) == "h263" && !H263Size(w, h)) {
      if (w <= 128)
        w = 128, h = 96;
      else
        w = 176, h = 144;
    }
  } else if (s != AsSource) {
    if (FQuestions.AskYesNo(
            QT_TRANSLATE_NOOP("Messages", "Error output Video Size.Use the default size 320x240?"),
            WarningCaption)) {
      w = 320, h = 240;
    } else {
      s = AsSource;
    }
  }
  if (s == AsSource) w = upright.Width, h = upright.Height;
}

// Zoom modes

TSourcePicture SourcePicture(const TSourceInfo &src) {
  TSourcePicture p;
  p.Width = src.Width;
  p.Height = src.Height;
  p.DisplayWidth = src.Width * (src.SampleAspect > 0 ? src.SampleAspect : 1.0);
  p.DisplayHeight = src.Height;
  const int turn = ((src.Rotation % 360) + 360) % 360;
  if (turn == 90 || turn == 270) {
    std::swap(p.Width, p.Height);
    std::swap(p.DisplayWidth, p.DisplayHeight);
  }
  return p;
}

TRatio FrameSampleAspect(const TFormatInfo &f, int w, int h, const TSourcePicture &src) {
  if (f.VideoCD && VideoCDFrame(w, h)) return Reduced(4 * h, 3 * w);
  if (!f.TVAspect || (w != 720 && w != 704) || (h != 576 && h != 480)) return {};
  const bool wide = src.DisplayAspect() > 1.55;
  return Reduced(wide ? 16 * h : 4 * h, wide ? 9 * w : 3 * w);
}

TZoomResult ZoomFull(int w, int h, const TlvFilesRecord &r, TRatio sar) {
  TZoomResult z;
  if (AnyCrop(r)) {
    z.CropTop = r.CropTop, z.CropBottom = r.CropBottom;
    z.CropLeft = r.CropLeft, z.CropRight = r.CropRight;
  }
  if (w > 0 && h > 0) {
    z.FrameSize = Size(w, h);
    z.AspectRatio = DisplayRatio(w, h, sar);
  }
  return z;
}

// Letterbox: the picture keeps its shape and fills the frame's width or height; the rest is
// black bars of even height (top and bottom) or width (left and right).
TZoomResult ZoomLetterbox(int w, int h, const TSourcePicture &src, const TlvFilesRecord &r,
                          TRatio sar) {
  const int sw = src.Width, sh = src.Height;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return ZoomFull(w, h, TlvFilesRecord(), sar);
  // The source's width counted in the frame's pixels, so that the ratios below compare shapes.
  const long double swf = FramePixels(sw * Stretch(src, sar));
  const long double r1 = swf / w;
  const long double r2 = static_cast<long double>(sh) / h;
  // The picture's side is the nearest even size (never more than the frame): the bars take
  // what is left, the second bar the odd pair of lines, so that the shape stays.
  const int hv = std::min(NearestEven(sh / r1), h), wv = std::min(NearestEven(swf / r2), w);
  const int padV = 2 * ((h - hv) / 4), padH = 2 * ((w - wv) / 4);
  int pt = 0, pb = 0, pl = 0, pr = 0;
  auto bars = [&](bool vertical, bool horizontal) {
    pt = vertical ? padV : 0;
    pb = vertical ? h - hv - padV : 0;
    pl = horizontal ? padH : 0;
    pr = horizontal ? w - wv - padH : 0;
  };
  if (w <= swf && h >= sh) bars(true, false);
  if (w >= swf && h <= sh) bars(false, true);
  if (w >= swf && h >= sh) bars(r1 >= r2, r1 <= r2);
  if (w <= swf && h <= sh) bars(r1 > r2, r1 <= r2);
  if (w == swf && h == sh) bars(false, false);

  TZoomResult z;
  const int pw = w - pl - pr, ph = h - pt - pb;
  z.AspectRatio = DisplayRatio(pw, ph, sar);
  const std::string pad = "pad=" + std::to_string(w) + ":" + std::to_string(h) + ":" +
                          std::to_string(pl) + ":" + std::to_string(pt);
  if (AnyCrop(r)) {
    // The crop filter takes the kept width and height first, then the top-left corner.
    z.Filter = "crop=" + std::to_string(sw - r.CropLeft - r.CropRight) + ":" +
               std::to_string(sh - r.CropTop - r.CropBottom) + ":" + std::to_string(r.CropLeft) +
               ":" + std::to_string(r.CropTop) + ",scale=" + std::to_string(pw) + ":" +
               std::to_string(ph) + "," + pad;
  } else {
    z.FrameSize = Size(pw, ph);
    z.Filter = pad;
  }
  return z;
}

// Pan and scan: the picture (after the row's own crop) is cut on two opposite sides to the
// frame's shape, so that it fills the frame without bars and without being distorted.
TZoomResult ZoomPanScan(int w, int h, const TSourcePicture &src, const TlvFilesRecord &r,
                        TRatio sar) {
  const int cl = std::max(r.CropLeft, 0), cr = std::max(r.CropRight, 0);
  const int ct = std::max(r.CropTop, 0), cb = std::max(r.CropBottom, 0);
  const long double stretch = Stretch(src, sar);
  // The kept picture, its width counted in the frame's pixels.
  const long double wc = FramePixels((src.Width - cl - cr) * stretch), hc = src.Height - ct - cb;
  if (w <= 0 || h <= 0 || wc <= 0 || hc <= 0) return ZoomFull(w, h, r, sar);
  int sideW = 0, sideH = 0;
  if (wc * h > hc * w) sideW = Even((wc - hc * w / h) / 2 / stretch);
  if (wc * h < hc * w) sideH = Even((hc - wc * h / w) / 2);
  TZoomResult z;
  z.CropLeft = 2 * ((cl + sideW) / 2), z.CropRight = 2 * ((cr + sideW) / 2);
  z.CropTop = 2 * ((ct + sideH) / 2), z.CropBottom = 2 * ((cb + sideH) / 2);
  z.FrameSize = Size(w, h);
  z.AspectRatio = DisplayRatio(w, h, sar);
  return z;
}

// Centring: the source is first given black bars to the frame's shape at its own size (so it
// sits in the middle) and then scaled to the frame.  The scaling comes last, so the frame size
// is left to the filter.
TZoomResult ZoomCenter(int w, int h, const TSourcePicture &src, TRatio sar) {
  const int sw = src.Width, sh = src.Height;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return ZoomFull(w, h, TlvFilesRecord(), sar);
  const long double stretch = Stretch(src, sar);
  const long double swf = FramePixels(sw * stretch);  // in the frame's pixels
  int pw = sw, ph = sh;
  if (swf * h > static_cast<long double>(sh) * w)
    ph = 2 * static_cast<int>(std::ceil(swf * h / w / 2));
  else if (swf * h < static_cast<long double>(sh) * w)
    pw = 2 * static_cast<int>(
                 std::ceil(FramePixels(static_cast<long double>(sh) * w / h / stretch) / 2));
  TZoomResult z;
  z.AspectRatio = DisplayRatio(w, h, sar);
  if (pw != sw || ph != sh)
    z.Filter = "pad=" + std::to_string(pw) + ":" + std::to_string(ph) + ":" +
               std::to_string(2 * ((pw - sw) / 4)) + ":" + std::to_string(2 * ((ph - sh) / 4)) +
               ":black,";
  z.Filter += "scale=" + std::to_string(w) + ":" + std::to_string(h);
  return z;
}
