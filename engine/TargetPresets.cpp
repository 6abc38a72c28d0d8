#include "engine/TargetPresets.h"

#include <cmath>

namespace {

// The per-type rows; the group size and frame size depend on the norm, and film uses the NTSC
// values.
struct TTargetRow {
  const char *Type;
  const char *VideoCodec, *AudioCodec, *Format;
  const char *SizePal, *SizeNtsc;
  const char *GopPal, *GopNtsc;                              // "g"; null: not set
  std::vector<std::pair<std::string, std::string>> Options;  // after "g"
  int SampleRate;
  int Channels;
  bool MonoBecomesStereo;
  float MuxPreload;
  float DefaultAspect;
  const char *AspectNotice;
};

const std::vector<TTargetRow> &Rows() {
  static const std::vector<TTargetRow> rows = {
      {"vcd",
       "mpeg1video",
       "mp2",
       "vcd",
       "352x288",
       "352x240",
       "15",
       "18",
       {{"b", "1150000"},
        {"maxrate", "1150000"},
        {"minrate", "1150000"},
        {"bufsize", "327680"},
        {"ab", "224000"},
        {"packetsize", "2324"},
        {"muxrate", "1411200"}},
       44100,
       2,
       false,
       0.44f,
       4.0f / 3.0f,
       "Assuming 4:3 for aspect ratio"},
      {"svcd",
       "mpeg2video",
       "mp2",
       "svcd",
       "480x576",
       "480x480",
       "15",
       "18",
       {{"b", "2040000"},
        {"maxrate", "2516000"},
        {"minrate", "0"},
        {"bufsize", "1835008"},
        {"flags", "+scan_offset"},
        {"ab", "224000"},
        {"packetsize", "2324"}},
       44100,
       0,
       true,
       0,
       4.0f / 3.0f,
       "Assuming 4:3 for aspect ratio"},
      {"dvd",
       "mpeg2video",
       "ac3",
       "dvd",
       "720x576",
       "720x480",
       "15",
       "18",
       {{"b", "6000000"},
        {"maxrate", "9000000"},
        {"minrate", "0"},
        {"bufsize", "1835008"},
        {"packetsize", "2048"},
        {"muxrate", "10080000"},
        {"ab", "448000"}},
       48000,
       0,
       true,
       0,
       16.0f / 9.0f,
       "Assuming 16:9 for aspect ratio"},
      {"dv",
       "",
       "",
       "dv",
       "720x576",
       "720x480",
       nullptr,
       nullptr,
       {},
       48000,
       2,
       false,
       0,
       0,
       nullptr},
      {"dv50",
       "",
       "",
       "dv",
       "720x576",
       "720x480",
       nullptr,
       nullptr,
       {},
       48000,
       2,
       false,
       0,
       0,
       nullptr},
  };
  return rows;
}

}  // namespace

std::optional<TTargetSetup> TargetSetup(const std::string &type, TVideoNorm norm) {
  for (const TTargetRow &row : Rows()) {
    if (type != row.Type) continue;
    const bool pal = norm == TVideoNorm::PAL;
    TTargetSetup s;
    s.VideoCodec = row.VideoCodec;
    s.AudioCodec = row.AudioCodec;
    s.Format = row.Format;
    s.FrameSize = pal ? row.SizePal : row.SizeNtsc;
    if (type == "dv50")
      s.PixelFormat = "yuv422p";
    else if (type == "dv")
      s.PixelFormat = pal ? "yuv420p" : "yuv411p";
    s.FrameRate = pal ? "25" : norm == TVideoNorm::NTSC ? "30000/1001" : "24000/1001";
    if (row.GopPal) s.GenericOptions.push_back({"g", pal ? row.GopPal : row.GopNtsc});
    s.GenericOptions.insert(s.GenericOptions.end(), row.Options.begin(), row.Options.end());
    s.SampleRate = row.SampleRate;
    s.Channels = row.Channels;
    s.MonoBecomesStereo = row.MonoBecomesStereo;
    s.MuxPreload = row.MuxPreload;
    s.DefaultAspect = row.DefaultAspect;
    s.AspectNotice = row.AspectNotice;
    return s;
  }
  return std::nullopt;
}

std::optional<TVideoNorm> NormByName(const std::string &norm) {
  if (norm == "pal") return TVideoNorm::PAL;
  if (norm == "ntsc") return TVideoNorm::NTSC;
  if (norm == "film") return TVideoNorm::FILM;
  return std::nullopt;
}

std::optional<TVideoNorm> NormByFrameRate(AVRational rate) {
  if (rate.den == 0) return std::nullopt;
  const double fr = std::nearbyint(double(rate.num) * 1000.0 / double(rate.den));
  if (fr == 23976 || fr == 29970) return TVideoNorm::NTSC;
  if (fr == 25000) return TVideoNorm::PAL;
  return std::nullopt;
}

TVideoNorm NormByDefault(const std::string &defaultNorm) {
  if (defaultNorm == "film") return TVideoNorm::FILM;
  if (defaultNorm == "ntsc") return TVideoNorm::NTSC;
  return TVideoNorm::PAL;
}

const char *NormName(TVideoNorm norm) {
  return norm == TVideoNorm::PAL ? "PAL" : "NTSC";
}
