#include "workspace/JobBuilder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>

#include "services/UnicodeProtocol.h"
#include "workspace/DestinationName.h"
#include "workspace/NumberText.h"
#include "workspace/ParameterPanel.h"

namespace pk = profilekeys;

namespace {

constexpr const char AsSource[] = "as source";

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

int Even(long double v) {
  return 2 * (static_cast<int>(std::trunc(v)) / 2);
}

}  // namespace

// The profile's values in the settings store, with the defaults the job builder reads them with.
struct TJobBuilder::TProfileValues {
  std::map<std::string, std::string> Section;
  std::string Get(const char *key, const std::string &defaultValue) const {
    const auto it = Section.find(LowerCase(key));
    return it == Section.end() ? defaultValue : it->second;
  }
};

bool TJobBuilder::HookNeeded(const TlvFilesRecord &r) {
  return r.Brightness != 255 || r.Contrast != 0 || r.Saturation != 255 || r.Exposure != 0 ||
         !r.MarkText.empty() || !r.MarkImage.empty();
}

TJob TJobBuilder::BuildJob(const std::wstring &caption, TlvFilesRecord &record,
                           const TSourceInfo &source) {
  TJob job;
  InitInputOptions(job.Input);
  job.Input.FileName = caption;
  job.Input.FileFormat = source.ForceFormat;
  if (record.TrimStart >= 0) job.Input.StartTime = record.TrimStart;

  const int code = FStore.FormatCode();
  TParameterPanel(FCatalogue, FStore, FQuestions).EnsureSeeded(code);
  const std::string extension = "." + FCatalogue.Read(code).FileExt;
  job.Destination =
      DestinationFileName(FStore, FQuestions, FileNameToPath(source.FileName), extension, FTaken);
  FTaken.insert(job.Destination);
  record.ZoomMode = FStore.ReadProfile(code, pk::paraZoom, "lbox");

  InitOutputOptions(job.Output);
  job.Output.FileName = UTF8ToWide(job.Destination.string());
  if (record.TrimLength > 0) job.Output.Duration = record.TrimLength;
  BuildOutputOptions(code, job.Output, job.Input, source, record);
  job.Output.HookEnabled = HookNeeded(record);
  return job;
}

void TJobBuilder::BuildOutputOptions(int formatCode, TOutputOptions &o, TInputOptions &i,
                                     const TSourceInfo &src, const TlvFilesRecord &r) {
  const TFormatInfo f = FCatalogue.Read(formatCode);
  const TProfileValues p{FStore.ReadSection(ProfileSection(formatCode))};
  const std::string fmt = LowerCase(f.Format);

  ApplyDiscTarget(fmt, p.Get(pk::paraVideoSize, "null"), o);

  if (Trimmed(p.Get(pk::paraVideoEncoder, "")).empty()) {
    ApplyAudioValues(p, o, true);
    i.ExtOptions = "vn=1";
    o.DisableVideo = true;
    o.DisableSubtitle = true;
    return;
  }
  ApplyVideoCodec(p, f, o);
  if (src.VideoStreamCount <= 0)
    o.DisableVideo = true;
  else
    ApplyVideoValues(p, f, src, r, o);
  ApplyAudioValues(p, o, false);
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

  const std::string channels = p.Get(pk::paraChannel, "2");
  if (channels != AsSource)
    if (const auto n = IntegerText(channels); n && (*n > 0 || !audioOnly)) o.AudioChannels = *n;

  // A section without a volume keeps the source's loudness (engine volume 256): reading the
  // missing key as the engine volume 3 would make the output all but silent.
  const std::string volume = p.Get(pk::paraVolume, "256");
  if (volume != "256") {
    const auto v = IntegerText(volume);
    if (!v) throw EJobError("'" + volume + "' is not a valid integer value");
    o.AudioVolume = *v;
  }

  const std::string rate = p.Get(pk::paraSampleRate, "44100");
  if (rate != AsSource)
    if (const auto n = IntegerText(rate); n && *n > 0) o.AudioSampleRate = *n;

  const std::string bitRate = p.Get(pk::paraAudioBitRate, "128");
  if (bitRate != AsSource)
    if (const auto kbit = NumberText(bitRate))
      if (const auto bits = KbitToBit(*kbit)) o.AudioBitrate = *bits;
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

  if (OneOf(LowerCase(f.Format),
            {"ipod", "3gp", "3g2", "avi", "psp", "mov", "vcd", "flv", "mpegts", "vob"}))
    o.FileFormat = f.Format;

  int w = 0, h = 0;
  TargetSize(p, src, o, w, h);
  for (int *crop : {&o.CropTop, &o.CropBottom, &o.CropLeft, &o.CropRight})
    if (*crop == -1) *crop = 0;

  TZoomResult z;
  if (r.ZoomMode == "full")
    z = ZoomFull(w, h, r);
  else if (r.ZoomMode == "lbox")
    z = ZoomLetterbox(w, h, src.Width, src.Height, r);
  else if (r.ZoomMode == "pan")
    z = ZoomPanScan(w, h, src.Width, src.Height, r);
  else if (r.ZoomMode == "center")
    z = ZoomCenter(w, h, src.Width, src.Height);
  else
    return;  // no zoom step: the disc target's aspect stays
  o.FrameSize = z.FrameSize;
  if (!z.AspectRatio.empty()) o.AspectRatio = z.AspectRatio;
  o.CropTop = z.CropTop, o.CropBottom = z.CropBottom;
  o.CropLeft = z.CropLeft, o.CropRight = z.CropRight;
  if (!z.Filter.empty())
    o.VideoFilters = o.VideoFilters.empty() ? z.Filter : o.VideoFilters + "," + z.Filter;
}

void TJobBuilder::TargetSize(const TProfileValues &p, const TSourceInfo &src,
                             const TOutputOptions &o, int &w, int &h) {
  std::string s = p.Get(pk::paraVideoSize, "null");
  const size_t x = s.find('x');
  if (s != AsSource && x != std::string::npos && x >= 1 && x + 1 < s.size()) {
    w = IntegerText(s.substr(0, x)).value_or(src.Width);
    h = IntegerText(s.substr(x + 1)).value_or(src.Height);
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
    if (FQuestions.AskYesNo("Error output Video Size.Use the default size 320x240?",
                            WarningCaption)) {
      w = 320, h = 240;
    } else {
      s = AsSource;
    }
  }
  if (s == AsSource) w = src.Width, h = src.Height;
}

// Zoom modes

TZoomResult ZoomFull(int w, int h, const TlvFilesRecord &r) {
  TZoomResult z;
  if (AnyCrop(r)) {
    z.CropTop = r.CropTop, z.CropBottom = r.CropBottom;
    z.CropLeft = r.CropLeft, z.CropRight = r.CropRight;
  }
  if (w > 0 && h > 0) {
    z.FrameSize = Size(w, h);
    z.AspectRatio = Ratio(w, h);
  }
  return z;
}

// Letterbox: the picture keeps its shape and fills the frame's width or height; the rest is
// black bars of even height (top and bottom) or width (left and right).
TZoomResult ZoomLetterbox(int w, int h, int sw, int sh, const TlvFilesRecord &r) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return ZoomFull(w, h, TlvFilesRecord());
  const long double r1 = static_cast<long double>(sw) / w;
  const long double r2 = static_cast<long double>(sh) / h;
  const int hv = Even(sh / r1), wv = Even(sw / r2);
  const int padV = 2 * ((h - hv) / 4), padH = 2 * ((w - wv) / 4);
  int pt = 0, pb = 0, pl = 0, pr = 0;
  auto bars = [&](bool vertical, bool horizontal) {
    pt = pb = vertical ? padV : 0;
    pl = pr = horizontal ? padH : 0;
  };
  if (w <= sw && h >= sh) bars(true, false);
  if (w >= sw && h <= sh) bars(false, true);
  if (w >= sw && h >= sh) bars(r1 >= r2, r1 <= r2);
  if (w <= sw && h <= sh) bars(r1 > r2, r1 <= r2);
  if (w == sw && h == sh) bars(false, false);

  TZoomResult z;
  const int pw = w - pl - pr, ph = h - pt - pb;
  z.AspectRatio = Ratio(pw, ph);
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
TZoomResult ZoomPanScan(int w, int h, int sw, int sh, const TlvFilesRecord &r) {
  const int cl = std::max(r.CropLeft, 0), cr = std::max(r.CropRight, 0);
  const int ct = std::max(r.CropTop, 0), cb = std::max(r.CropBottom, 0);
  const long double wc = sw - cl - cr, hc = sh - ct - cb;
  if (w <= 0 || h <= 0 || wc <= 0 || hc <= 0) return ZoomFull(w, h, r);
  int sideW = 0, sideH = 0;
  if (wc * h > hc * w) sideW = Even((wc - hc * w / h) / 2);
  if (wc * h < hc * w) sideH = Even((hc - wc * h / w) / 2);
  TZoomResult z;
  z.CropLeft = 2 * ((cl + sideW) / 2), z.CropRight = 2 * ((cr + sideW) / 2);
  z.CropTop = 2 * ((ct + sideH) / 2), z.CropBottom = 2 * ((cb + sideH) / 2);
  z.FrameSize = Size(w, h);
  z.AspectRatio = Ratio(w, h);
  return z;
}

// Centring: the source is first given black bars to the frame's shape at its own size (so it
// sits in the middle) and then scaled to the frame.  The scaling comes last, so the frame size
// is left to the filter.
TZoomResult ZoomCenter(int w, int h, int sw, int sh) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return ZoomFull(w, h, TlvFilesRecord());
  int pw = sw, ph = sh;
  if (static_cast<long double>(sw) * h > static_cast<long double>(sh) * w)
    ph = 2 * static_cast<int>(std::ceil(static_cast<long double>(sw) * h / w / 2));
  else if (static_cast<long double>(sw) * h < static_cast<long double>(sh) * w)
    pw = 2 * static_cast<int>(std::ceil(static_cast<long double>(sh) * w / h / 2));
  TZoomResult z;
  z.AspectRatio = Ratio(w, h);
  if (pw != sw || ph != sh)
    z.Filter = "pad=" + std::to_string(pw) + ":" + std::to_string(ph) + ":" +
               std::to_string(2 * ((pw - sw) / 4)) + ":" + std::to_string(2 * ((ph - sh) / 4)) +
               ":black,";
  z.Filter += "scale=" + std::to_string(w) + ":" + std::to_string(h);
  return z;
}
