// The "target" presets: complete set-ups for VCD, SVCD, DVD and DV streams in the PAL, NTSC and
// film norms.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

enum class TVideoNorm { PAL, NTSC, FILM };

// Everything one target sets, already resolved for a norm.  Empty texts and zero numbers mean "left
// as it is".
struct TTargetSetup {
  std::string VideoCodec, AudioCodec, Format;
  std::string FrameSize;  // "720x576"
  std::string PixelFormat;
  std::string FrameRate;  // "25", "30000/1001", "24000/1001"
  std::vector<std::pair<std::string, std::string>> GenericOptions;  // in the order to set them
  int SampleRate = 0;
  int Channels = 0;                // set unconditionally when not 0
  bool MonoBecomesStereo = false;  // one channel becomes two
  float MuxPreload = 0;
  float DefaultAspect = 0;  // taken when no aspect ratio is set
  const char *AspectNotice = nullptr;
};

// The set-up of a target type ("vcd", "svcd", "dvd", "dv", "dv50") in a norm; none for another
// type.
std::optional<TTargetSetup> TargetSetup(const std::string &type, TVideoNorm norm);

// The norm of an explicit name ("pal", "ntsc", "film"); none for "auto" and anything else.
std::optional<TVideoNorm> NormByName(const std::string &norm);
// The norm a frame rate stands for: 23.976 and 29.97 fps NTSC, 25 fps PAL (rounded to 1/1000 fps);
// none for any other rate or a rate with a zero denominator.
std::optional<TVideoNorm> NormByFrameRate(AVRational rate);
// The fallback when nothing decided: "film" FILM, "ntsc" NTSC, anything else PAL.
TVideoNorm NormByDefault(const std::string &defaultNorm);
// "NTSC" for NTSC and FILM, "PAL" for PAL.
const char *NormName(TVideoNorm norm);
