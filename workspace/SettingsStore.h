// The user's settings store: an INI file opened anew by every operation (read or write, then
// closed), so that two windows, or a window and the command-line converter, never work on stale
// copies.  Key names are matched without regard to case.
#pragma once

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

// Key names of the `settings` section.
namespace settingskeys {
inline constexpr const char Section[] = "settings";
inline constexpr const char OutPutDir[] = "OutPutDir";
inline constexpr const char FormatCode[] = "FormatCode";
inline constexpr const char FormatName[] = "FormatName";
inline constexpr const char OutPutFormat[] = "OutPutFormat";
inline constexpr const char SkinIndex[] = "skinIndex";
inline constexpr const char Volume[] = "volume";
inline constexpr const char Mute[] = "mute";
inline constexpr const char Priority[] = "priority";
inline constexpr const char SnapOutPutDir[] = "SnapOutPutDir";
inline constexpr const char SnapFullSize[] = "snapFullSize";
inline constexpr const char SnapSmallSize[] = "snapSmallSize";
inline constexpr const char SnapBmp[] = "snapBmp";
inline constexpr const char SnapJpg[] = "snapJpg";
inline constexpr const char JpgCmp[] = "jpgCmp";
// The address of the update document (the program's default when absent).
inline constexpr const char UpdateDocumentUrl[] = "UpdateDocumentUrl";
inline constexpr const char ListSection[] = "lstformat";
}  // namespace settingskeys

// Key names of a profile's section (`formatInfo` + code) in the settings store.
namespace profilekeys {
inline constexpr const char iVideoSize[] = "iVideoSize";
inline constexpr const char paraVideoSize[] = "paraVideoSize";
inline constexpr const char iVideoEncoder[] = "iVideoEncoder";
inline constexpr const char paraVideoEncoder[] = "paraVideoEncoder";
inline constexpr const char iVideoBitRate[] = "iVideoBitRate";
inline constexpr const char paraVideoBitRate[] = "paraVideoBitRate";
inline constexpr const char iFrameRate[] = "iFrameRate";
inline constexpr const char paraFrameRate[] = "paraFrameRate";
inline constexpr const char paraZoom[] = "paraZoom";
inline constexpr const char iSampleRate[] = "iSampleRate";
inline constexpr const char paraSampleRate[] = "paraSampleRate";
inline constexpr const char iAudioBitRate[] = "iAudioBitRate";
inline constexpr const char paraAudioBitRate[] = "paraAudioBitRate";
inline constexpr const char iAudioEncoder[] = "iAudioEncoder";
inline constexpr const char paraAudioEncoder[] = "paraAudioEncoder";
inline constexpr const char iChannel[] = "iChannel";
inline constexpr const char paraChannel[] = "paraChannel";
inline constexpr const char iVolume[] = "iVolume";
inline constexpr const char paraVolume[] = "paraVolume";
// Advanced H.264 values copied from the format INI when the H.264 encoder is chosen.
inline constexpr const char paraBitExact[] = "paraBitExact";
inline constexpr const char paraMaxBitrate[] = "paraMaxBitrate";
inline constexpr const char paraBufferSize[] = "paraBufferSize";
inline constexpr const char paraLevel[] = "paraLevel";
inline constexpr const char paraQscale[] = "paraQscale";
inline constexpr const char paraGop[] = "paraGop";
inline constexpr const char paraCoder[] = "paraCoder";
inline constexpr const char Description[] = "Description";
}  // namespace profilekeys

// The section of a profile: "formatInfo" followed by the format code in decimal.
std::string ProfileSection(int formatCode);

// A value of a profile's section that the rules cannot use (a damaged or hand-edited format INI
// or settings store).  Its text names the file, the profile, its section and the key, so that
// the user knows what to mend; the bare parsing error alone would not say where it came from.
struct EProfileValueError : std::runtime_error {
  EProfileValueError(const std::filesystem::path &file, int formatCode, const std::string &key,
                     const std::string &why);
};

// Reads and writes of one INI file, Windows profile-string style: a read of a missing file or
// key gives the default written at the reading site; integers and Booleans are decimal text
// ("1"/"0"); a write creates the file (and its folder).  Writes replace the file in one step
// (a temporary file renamed over it), so a crash or a full disk never leaves half a store.
class TIniFile {
 public:
  explicit TIniFile(std::filesystem::path path) : FPath(std::move(path)) {}
  const std::filesystem::path &Path() const { return FPath; }

  std::string ReadString(const std::string &section, const std::string &key,
                         const std::string &defaultValue) const;
  // Text that is not integer text reads as the default.
  int ReadInteger(const std::string &section, const std::string &key, int defaultValue) const;
  bool ReadBool(const std::string &section, const std::string &key, bool defaultValue) const;
  bool SectionExists(const std::string &section) const;
  bool ValueExists(const std::string &section, const std::string &key) const;
  // Every key of a section in one read, keyed by the lower-cased key name.
  std::map<std::string, std::string> ReadSection(const std::string &section) const;

  // Raise std::runtime_error "Unable to write to <path>" when the file cannot be written.
  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int value);
  void WriteBool(const std::string &section, const std::string &key, bool value);
  void EraseSection(const std::string &section);

 private:
  std::filesystem::path FPath;
};

// The settings store with every key of the `settings` and `lstformat` sections and the defaults
// their readers use; per-profile sections are read and written through the generic calls.
class TSettingsStore : public TIniFile {
 public:
  using TIniFile::TIniFile;

  // `settings`
  std::string OutPutDir() const;  // default ~/videoconverter
  void SetOutPutDir(const std::string &folder);
  int FormatCode() const;              // default 1
  std::string FormatCodeText() const;  // as the window reads it at show time: default "1"
  void SetFormatCode(int code);
  std::string FormatName(const std::string &defaultName) const;
  void SetFormatName(const std::string &name);
  int OutPutFormat() const;  // default 0
  void SetOutPutFormat(int index);
  int SkinIndex() const;  // default 0
  void SetSkinIndex(int index);
  int Volume() const;             // the stored value, default 0
  int VolumeBarPosition() const;  // Volume(), or 64 when outside 0..128
  void SetVolume(int volume);
  int Mute()
      const;  // default 0; 1 = checked, 0 = unchecked, other values leave the box as designed
  void SetMute(bool mute);
  int Priority() const;  // default 1
  void SetPriority(int priority);
  std::string SnapOutPutDir() const;  // default ~/videoconverter
  void SetSnapOutPutDir(const std::string &folder);
  bool SnapFullSize() const;  // default True
  void SetSnapFullSize(bool on);
  bool SnapSmallSize() const;  // default True
  void SetSnapSmallSize(bool on);
  bool SnapBmp() const;  // default True
  void SetSnapBmp(bool on);
  bool SnapJpg() const;  // default True
  void SetSnapJpg(bool on);
  int JpgCmp() const;  // default 30
  void SetJpgCmp(int quality);

  // `lstformat`: whether a category of the profile list is shown collapsed (default True).
  bool CategoryCollapsed(int categoryIndex) const;
  void SetCategoryCollapsed(int categoryIndex, bool collapsed);

  // A profile's section.
  std::string ReadProfile(int formatCode, const std::string &key,
                          const std::string &defaultValue) const;
  int ReadProfileInteger(int formatCode, const std::string &key, int defaultValue) const;
  void WriteProfile(int formatCode, const std::string &key, const std::string &value);
  void WriteProfileInteger(int formatCode, const std::string &key, int value);
  bool ProfileExists(int formatCode) const;
};

// The defaults of `FormatName`: the window reads the first at show time, the profile list the
// second (which is not a catalogue name, so no row is selected on a first start).
inline constexpr const char FormatNameAtShow[] = "iPod Video MPEG-4";
inline constexpr const char FormatNameInList[] = "Apple iPod Video MPEG-4 Movie (*.mp4)";
