#include "workspace/FormatCatalogue.h"

#include "workspace/NumberText.h"

namespace {

const std::vector<TCatalogueCategory> Catalogue = {
    {"Apple iPod",
     {"iPod Video MPEG-4 (*.mp4)", "iPod Video H.264 (*.mp4)",
      "iPod MPEG-4 Excellent (320 x 240)(*.mp4)", "iPod MPEG-4 Normal (320 x 240)(*.mp4)",
      "iPod MPEG-4 Mini (320 x 240)(*.mp4)", "iPod Touch MPEG-4 Excellent (*.mp4)",
      "iPod Touch MPEG-4 (480 x 320) (*.mp4)", "iPod Touch MPEG-4 (320 x 240) (*.mp4)",
      "iPod Touch MPEG-4 Wide Screen (*.mp4)"}},
    {"Apple iPhone",
     {"iPhone MPEG-4 Extra Video (*.mp4)", "iPhone MPEG-4 Wide Screen (*.mp4)",
      "iPhone MPEG-4 Movie (*.mp4)", "iPhone Movie for 480p TV Out (*.mp4)",
      "iPhone Movie for 576p TV Out (*.mp4)"}},
    {"Apple TV",
     {"Apple TV (640 x 480) MPEG-4 Excellent (*.mp4)", "Apple TV (640 x 480) MPEG-4 Normal (*.mp4)",
      "Apple TV (640 x 480) MPEG-4 Mini (*.mp4)", "Apple H.264 (320 x 240) (*.mp4)",
      "Apple H.264 480P (640 x 480) (*.mp4)", "Apple H.264 720p (1280 x 720) (*.mp4)"}},
    {"GPhone", {"GPhone MPEG-4 Movie (*.mp4)"}},
    {"Sony PSP",
     {"PSP MPEG-4 Excellent Quality (*.mp4)", "PSP MPEG-4 Normal Quality (*.mp4)",
      "PSP MPEG-4 Mini Size (*.mp4)", "PSP H.264/AVC Video (*.mp4)", "PSP Video (480P) (*.mp4)"}},
    {"Sony PS3",
     {"PS3 MPEG-4 Video (480P) (*.mp4)", "PS3 MPEG-4 Video (480P) Excellent (*.mp4)",
      "PS3 MPEG-4 Video (720P) (*.mp4)", "PS3 MPEG-4 Video (1080P) (*.mp4)"}},
    {"Microsoft Zune",
     {"Microsoft Zune MPEG-4 Video (*.mp4)", "Microsoft Zune MPEG-4 AVC Video (*.mp4)",
      "Microsoft Zune Windows Media Video (*.wmv)"}},
    {"Sony Walkman",
     {"Sony Walkman MPEG-4 Video (*.mp4)", "Sony Walkman AVC Video (*.mp4)",
      "Sony Walkman WMV Video (*.wmv)"}},
    {"Archos",
     {"Archos H.264 Video (*.mp4)", "Archos MPEG4 Video (*.mp4)", "Archos 105 Video (*.wmv)",
      "Archos 404/405 Video (*.avi)", "Archos 504/604 Video (*.avi)",
      "Archos 605/705/TV+ Video (*.avi)", "Archos AV500/700 Video (*.avi)"}},
    {"Creative Zen",
     {"Creative Zen H.264 Video (*.mp4)", "Creative Zen MPEG4 Video (*.mp4)",
      "Creative Zen Xvid Video (*.avi)", "Creative Zen X-Fi Video (*.avi)",
      "Creative Zen Vison Video (*.avi)", "Creative Zen Vison M Video (*.avi)",
      "Creative Zen Vison W Video (*.avi)"}},
    {"iRiver",
     {"iRiver H.264 Video (*.mp4)", "iRiver MPEG4 Video (*.mp4)", "iRiver WMV Video (*.wmv)",
      "iRiver Xvid Video (*.avi)", "iRiver E10 Video (*.avi)", "iRiver U10/Clix Video (*.avi)",
      "iRiver B20/X20/Clix 2/E100/Lplayer Video (*.avi)",
      "iRiver Spinn/D28/DICPLE D30 Video (*.avi)", "iRiver P10/P20 Video (*.avi)",
      "iRiver PMP-120/140/IMP-1000/1100 Video (*.avi)"}},
    {"Sandisk Sansa",
     {"Sandisk Sansa AVI Video (*.avi)", "Sandisk Sansa WMV Video (*.wmv)",
      "Sandisk Sansa MPEG-4 Video (*.mp4)"}},
    {"Microsoft xbox 360",
     {"Microsoft Xbox WMV Video (*.wmv)", "Microsoft Xbox AVI Video (*.avi)",
      "Microsoft Xbox MPEG-4 Video (*.mp4)"}},
    {"Nitendeo WII", {"Nitendeo Wii AVI Video (*.avi)", "Nitendeo Wii MOV Video (*.mov)"}},
    {"Mobile Phone",
     {"Mobile Phone 3GP h263 Video(*.3gp)", "Mobile Phone 3GP MPEG-4 Video(*.3gp)",
      "Mobile Phone 3GP2 h263 Video(*.3gp)", "Mobile Phone 3GP2 MPEG-4 Video(*.3gp)",
      "Mobile Phone MPEG-4 Video(*.mp4)", "Nokia N Series MPEG-4 Video(*.mp4)"}},
    {"BlackBerry", {"BlackBerry MPEG-4 Video(*.mp4)"}},
    {"Nokia", {"Nokia N Series MPEG-4 Video (*.mp4)"}},
    {"Windows Mobile",
     {"Dell Axim 51 Video (*.wmv)", "Dell Axim 51V Video (*.wmv)",
      "HP iPAQ hw6500 Series Video (*.wmv)", "HP iPAQ hx2000/rx3000/rx1900 Series Video (*.wmv)",
      "HP iPAQ hx4700 Series Video (*.wmv)", "Palm Treo Series Video (*.wmv)",
      "HTC Touch Diamond Video (*.wmv)", "General Pocket PC Video (*.wmv)"}},
    {"Quick Time Video - MOV", {"MOV - Quick Time Video (*.mov)"}},
    {"Flash Video", {"Flash Video Format (*.flv)", "Flash SWF Format (*.swf)"}},
    {"Toshiba Gigabeat", {"Toshiba Gigabeat WMV Movie (*.wmv)"}},
    {"HD Video",
     {"HD AVI Video (*.avi)", "HD Divx Video (*.avi)", "HD H.264/MPEG-4 AVC Video (*.mp4)",
      "HD MOV Video (*.mov)", "HD WMV Video (*.wmv)", "HD MPEG-4 Video (*.mp4)",
      "HD Xvid Video (*.avi)", "HD MPEG2-PS Video (*.mpg)", "HD MPEG2-TS Video (*.ts)"}},
    {"Matroska Video - MKV", {"MKV - Matroska Video (*.mkv)"}},
    {"General Video formates",
     {"MPEG-1 Video (*.mpg)", "MPEG-2 Video (*.mpg)", "MPEG-4 Video (*.mp4)",
      "H.264/MPEG-4 AVC Video (*.mp4)", "AVI Video (*.avi)", "WMV Video (*.wmv)",
      "Divx Video (*.avi)", "Xvid Video (*.avi)", "DV - NTSC -Digital Video Format (*.dv)",
      "DV - PAL -Digital Video Format (*.dv)"}},
    {"General Audio formates",
     {"MP3 MPEG Layer-3 Audio (*.mp3)", "AAC Advenced Audio Codec (*.aac)",
      "M4A MPEG-4 Audio (*.m4a)", "WMA - Windows Meida Audio (*.wma)",
      "WAV - Waveform Audio (*.wav)", "OGG Vorbis Audio Codec (*.ogg)",
      "AC-3 Audio Codec (*.ac3)"}},
    // The formats of today's phones, televisions and web sites, and stream copy.
    {"HEVC - H.265 Video",
     {"H.265/HEVC Video (*.mp4)", "H.265/HEVC Video (*.mkv)",
      "4K Ultra HD H.265/HEVC Video (*.mp4)"}},
    {"AV1 Video", {"AV1 Video (*.mp4)", "AV1 Video (*.mkv)"}},
    {"WebM Video", {"WebM VP9 Video with Opus Audio (*.webm)"}},
    {"Android Phone", {"Android Phone H.264 1080p (*.mp4)"}},
    {"Web Video", {"Web Video H.264 720p (*.mp4)", "Web Video H.264 1080p (*.mp4)"}},
    {"Opus and FLAC Audio", {"Opus Audio (*.opus)", "FLAC Lossless Audio (*.flac)"}},
    {"Change container only",
     {"MP4 - Change container only (*.mp4)", "MKV - Change container only (*.mkv)",
      "MOV - Change container only (*.mov)", "TS - Change container only (*.ts)"}},
};

std::string Section(int formatCode) {
  return ProfileSection(formatCode);
}

}  // namespace

const std::vector<TCatalogueCategory> &TFormatCatalogue::Categories() {
  return Catalogue;
}

std::string TFormatCatalogue::ProfileName(int formatCode) {
  if (formatCode < 0) return {};
  const size_t category = static_cast<size_t>(formatCode / 100);
  const size_t slot = static_cast<size_t>(formatCode % 100);
  if (category >= Catalogue.size() || slot >= Catalogue[category].Profiles.size()) return {};
  return Catalogue[category].Profiles[slot];
}

std::string TFormatCatalogue::CategoryName(int categoryIndex) {
  if (categoryIndex < 0 || static_cast<size_t>(categoryIndex) >= Catalogue.size()) return {};
  return Catalogue[static_cast<size_t>(categoryIndex)].Name;
}

std::optional<int> TFormatCatalogue::CodeOfName(const std::string &name) {
  const std::string wanted = Trimmed(name);
  for (int code : AllCodes())
    if (ProfileName(code) == wanted) return code;
  return std::nullopt;
}

std::vector<int> TFormatCatalogue::AllCodes() {
  std::vector<int> codes;
  for (size_t c = 0; c < Catalogue.size(); ++c)
    for (size_t p = 0; p < Catalogue[c].Profiles.size(); ++p)
      codes.push_back(static_cast<int>(c * 100 + p));
  return codes;
}

std::optional<std::vector<std::string>> TFormatCatalogue::SplitList(const std::string &text) {
  if (text == "null") return std::nullopt;
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

std::string TFormatCatalogue::ReadString(int formatCode, const std::string &key,
                                         const std::string &defaultValue) const {
  return FIni.ReadString(Section(formatCode), key, defaultValue);
}

bool TFormatCatalogue::HasSection(int formatCode) const {
  return FIni.SectionExists(Section(formatCode));
}

TFormatInfo TFormatCatalogue::Read(int formatCode) const {
  const auto values = FIni.ReadSection(Section(formatCode));
  TFormatInfo info;
  auto text = [&](const char *key, std::string &field) {
    if (const auto it = values.find(LowerCase(key)); it != values.end()) field = it->second;
  };
  auto index = [&](const char *key, int &field) {
    if (const auto it = values.find(LowerCase(key)); it != values.end())
      field = IntegerText(it->second).value_or(field);
  };
  auto flag = [&](const char *key, bool &field) {
    int value = field ? 1 : 0;
    index(key, value);
    field = value != 0;
  };
  text("Format", info.Format);
  text("FileExt", info.FileExt);
  text("VideoSize", info.VideoSize);
  text("VideoBitRate", info.VideoBitRate);
  text("FrameRate", info.FrameRate);
  text("VideoEncoder", info.VideoEncoder);
  text("AudioBitRate", info.AudioBitRate);
  text("SampleRate", info.SampleRate);
  text("AudioEncoder", info.AudioEncoder);
  text("Channel", info.Channel);
  text("Volume", info.Volume);
  index("iVideoSize", info.iVideoSize);
  index("iVideoBitRate", info.iVideoBitRate);
  index("iFrameRate", info.iFrameRate);
  index("iVideoEncoder", info.iVideoEncoder);
  index("iAudioBitRate", info.iAudioBitRate);
  index("iSampleRate", info.iSampleRate);
  index("iChannel", info.iChannel);
  index("iVolume", info.iVolume);
  index("iAudioEncoder", info.iAudioEncoder);
  text("paraBitExact", info.paraBitExact);
  text("paraMaxBitrate", info.paraMaxBitrate);
  text("paraBufferSize", info.paraBufferSize);
  text("paraLevel", info.paraLevel);
  text("paraQscale", info.paraQscale);
  text("paraGop", info.paraGop);
  text("paraCoder", info.paraCoder);
  text("VideoTag", info.VideoTag);
  flag("TVAspect", info.TVAspect);
  flag("RateLimit", info.RateLimit);
  flag("VideoCD", info.VideoCD);
  text("VideoProfile", info.VideoProfile);
  text("VideoLevel", info.VideoLevel);
  text("EncoderSpeed", info.EncoderSpeed);
  return info;
}
