// The user's settings store: an INI file opened anew by every operation or user action (read or
// write, then closed), so that two windows, or a window and the command-line converter, never
// work on stale copies.  Key names are matched without regard to case.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "workspace/WindowPlacement.h"

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
// The main window's place and size, and the file list's column widths, as it was last closed.
inline constexpr const char WindowLeft[] = "WindowLeft";
inline constexpr const char WindowTop[] = "WindowTop";
inline constexpr const char WindowWidth[] = "WindowWidth";
inline constexpr const char WindowHeight[] = "WindowHeight";
inline constexpr const char WindowMaximized[] = "WindowMaximized";
inline constexpr const char ColumnWidths[] = "ColumnWidths";
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
// ("1"/"0"); a write creates the file (and its folder).
//
// Every save replaces the file in one step (ReplaceFileContents: a temporary file beside it,
// every step checked, renamed over it), so a crash or a full disk never leaves half a file.  A
// save that fails does not raise: the file keeps its old bytes, the change is kept for the rest
// of the run (later reads see it, later saves try again), and the user is told once (see
// SetStoreNoticeHandler).  A file the user made read-only (no write permission) is read and
// never written.
//
// A write outside a TStoreEdit is one load and one save of its own.  A lock file beside the
// file (NAME.lock, flock) keeps another running copy of the program from saving between our
// load and our save.
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
  // The key names of a section as they are written.
  std::vector<std::string> KeyNames(const std::string &section) const;
  // The whole file as this run sees it (with the changes that could not be saved), as INI text.
  std::string Text() const;

  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int value);
  void WriteBool(const std::string &section, const std::string &key, bool value);
  void EraseSection(const std::string &section);

 protected:
  // A file in memory only: it starts empty, is never read from or written to a disk, and
  // nothing is said of it.
  struct TInMemory {};
  TIniFile(std::filesystem::path name, TInMemory);
  void Forget();  // drops what this run holds of the file
  // A settings store: a file that cannot be read, or that holds binary data, is set aside as
  // NAME.damaged (and the user told once) instead of being read as settings or written over.
  // Other INI files (the format INI, program data) are read as they are.
  struct TSetsDamagedAside {};
  TIniFile(std::filesystem::path path, TSetsDamagedAside)
      : FPath(std::move(path)), FSetsDamagedAside(true) {}

 private:
  friend class TStoreEdit;
  template <class Reader>
  auto Read(Reader reader) const;
  void Change(const std::string &section, const std::string &key, const std::string &value,
              bool eraseSection);

  std::filesystem::path FPath;
  bool FSetsDamagedAside = false;
};

// One user action on an INI file (a dialog's "Ok", a change of the parameter panel, closing the
// main window): every read and write of the file while the edit lasts works on one copy loaded
// at its start, and its end saves that copy once when something changed.  Edits nest (the
// outermost one saves) and reach every TIniFile object of the same path in this process.  The
// lock beside the file is held for the whole edit, so an edit should not wait for the user
// (another running copy of the program waits five seconds for it, then keeps its own changes for
// its run only and says so).
class TStoreEdit {
 public:
  explicit TStoreEdit(const TIniFile &file);
  ~TStoreEdit();
  TStoreEdit(const TStoreEdit &) = delete;
  TStoreEdit &operator=(const TStoreEdit &) = delete;

 private:
  TIniFile FFile;
};

// What the user must hear of a settings file: a damaged file set aside, a read-only file, a save
// that failed ("... Changes will not be kept.").  Each is said once per run and file.  The
// window shows the texts, morvane-convert prints them; texts raised before a handler is set wait
// for it.  The handler is called on the thread that met the problem, never with a lock held.
void SetStoreNoticeHandler(std::function<void(const std::string &text)> handler);

struct TFileWriteCalls;
// The system calls the saves of every INI file make; nullptr puts the operating system's back.
// Tests put in calls that fail or count.
void SetStoreWriteCalls(const TFileWriteCalls *calls);

// The settings store with every key of the `settings` and `lstformat` sections and the defaults
// their readers use; per-profile sections are read and written through the generic calls.
class TSettingsStore : public TIniFile {
 public:
  explicit TSettingsStore(std::filesystem::path path)
      : TIniFile(std::move(path), TSetsDamagedAside{}) {}

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
  // Default: the default size, no position, not maximised, no column widths (a store of an
  // older version has none of these keys).
  TWindowPlacement MainWindowPlacement() const;
  void SetMainWindowPlacement(const TWindowPlacement &placement);

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

 protected:
  TSettingsStore(std::filesystem::path name, TInMemory tag) : TIniFile(std::move(name), tag) {}
};

// A settings store in memory only, for working out what the rules would write without writing
// it: it starts empty and is gone with the object.
class TScratchStore : public TSettingsStore {
 public:
  TScratchStore();
  ~TScratchStore();
  TScratchStore(const TScratchStore &) = delete;
  TScratchStore &operator=(const TScratchStore &) = delete;
};

// The defaults of `FormatName`: the window reads the first at show time, the profile list the
// second (which is not a catalogue name, so no row is selected on a first start).
inline constexpr const char FormatNameAtShow[] = "iPod Video MPEG-4";
inline constexpr const char FormatNameInList[] = "Apple iPod Video MPEG-4 Movie (*.mp4)";
