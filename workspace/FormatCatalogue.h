// The catalogue of output profiles compiled into the program (32 device or format categories,
// 130 profiles: the 115 of the classic players and phones in categories 0 to 24, today's formats
// and stream copy from category 25 on) and the reader of the format INI that defines each profile's
// container, file extension, parameter lists and defaults.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workspace/SettingsStore.h"

struct TCatalogueCategory {
  const char *Name;
  std::vector<const char *> Profiles;  // in position order
};

// One profile's section `formatInfo` + code of the format INI, with the readers' defaults for
// whatever is absent.  Lists are kept as the raw text; SplitList turns them into items.
struct TFormatInfo {
  std::string Format = "null";
  std::string FileExt = "mp4";
  std::string VideoSize = "null";
  std::string VideoBitRate = "null";
  std::string FrameRate = "null";
  std::string VideoEncoder = "null";
  std::string AudioBitRate = "null";
  std::string SampleRate = "null";
  std::string AudioEncoder = "null";
  std::string Channel = "null";
  std::string Volume = "null";
  int iVideoSize = 0;
  int iVideoBitRate = 0;
  int iFrameRate = 0;
  int iVideoEncoder = 0;
  int iAudioBitRate = 0;
  int iSampleRate = 0;
  int iChannel = 0;
  int iVolume = 0;
  int iAudioEncoder = 0;
  std::string paraBitExact;
  std::string paraMaxBitrate;
  std::string paraBufferSize;
  std::string paraLevel;
  std::string paraQscale;
  std::string paraGop;
  std::string paraCoder;
  // Four-character code the container should carry for the video stream (for example "XVID"
  // for players that recognise MPEG-4 Part 2 in AVI only by that tag, "hvc1" for Apple players
  // that take H.265 in MP4 only by that one); empty = the muxer's own.
  std::string VideoTag;
  // The frame is shown on a TV: 720 or 704 x 576 or 480 frames are anamorphic and get the sample
  // aspect of a 4:3 or 16:9 display instead of square pixels.
  bool TVAspect = false;
  // The video bit rate is the device's limit: the encoder gets it as its maximum rate as well.
  bool RateLimit = false;
  // A Video CD kind: its 352 x 288 and 352 x 240 frames are shown 4:3, and at the Video CD's
  // 1150 kbit/s they keep its buffer model (a constant rate into a 40 KiB buffer).
  bool VideoCD = false;
  // The profile the H.264 or H.265 stream is written in ("main", "high"); empty = the encoder's
  // choice.
  std::string VideoProfile;
  // The least H.265 level the stream claims ("4.1"), for devices that are sold by level; a
  // frame size, rate or bit rate that needs more gets more.
  std::string VideoLevel;
  // The speed setting of the encoders whose default speed is impractical for long files: the
  // x265 preset ("faster"), the SVT-AV1 preset ("8") or the libvpx-vp9 cpu-used value ("5").
  std::string EncoderSpeed;
};

class TFormatCatalogue {
 public:
  static constexpr int CategoryCount = 32;
  static constexpr int ProfileCount = 130;
  // The categories of the classic devices; the codes of their 115 profiles stay as they were.
  static constexpr int ClassicCategoryCount = 25;
  // The names table the profile list is built from: 51 rows of 51 slots.
  static constexpr int NamesTableSize = 51;

  explicit TFormatCatalogue(std::string formatIniPath) : FIni(std::move(formatIniPath)) {}
  std::string FormatIniPath() const { return FIni.Path().string(); }

  static const std::vector<TCatalogueCategory> &Categories();
  // Names table lookup [code div 100, code mod 100]; empty when the slot holds no profile.
  static std::string ProfileName(int formatCode);
  static std::string CategoryName(int categoryIndex);
  // The code of the profile whose name equals `name` with blanks trimmed.
  static std::optional<int> CodeOfName(const std::string &name);
  // Every format code in catalogue order.
  static std::vector<int> AllCodes();

  // A list value split at every comma (blanks kept as part of the items); nullopt when the whole
  // text is "null" (no list).
  static std::optional<std::vector<std::string>> SplitList(const std::string &text);

  // Readers of the profile's section; a missing file or section gives the defaults.
  TFormatInfo Read(int formatCode) const;
  std::string ReadString(int formatCode, const std::string &key,
                         const std::string &defaultValue) const;
  bool HasSection(int formatCode) const;

 private:
  TIniFile FIni;
};
