#include "workspace/SettingsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Texts are kept as the UTF-8 bytes they are; no wide-character conversion is wanted.  The
// library's template bodies are compiled here (Debian's header keeps them behind
// SI_IMPLEMENTATION), so nothing is linked.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Paths.h"
#include "workspace/LogicTexts.h"
#include "workspace/NumberText.h"
#include "workspace/SafeFileWriter.h"

namespace fs = std::filesystem;
namespace sk = settingskeys;

namespace {

// How long an edit waits for another running copy of the program to finish its own.
constexpr auto LockPatience = std::chrono::seconds(5);

// A line that opens a section name without closing it ("[name" alone) is turned into a comment
// line.  The INI library skips such a line but goes on using its text as the name of the section
// for the keys that follow, up to the next bracket, line breaks included; written back, that name
// reads as a longer one, so a damaged file grew with every write until each read took seconds.
// As a comment the line is kept, and the keys below it stay in the section before it.
std::string WithOpenSectionLinesAsComments(std::string text) {
  for (size_t line = 0; line < text.size();) {
    const size_t end = std::min(text.find_first_of("\r\n", line), text.size());
    const size_t first = text.find_first_not_of(" \t", line);
    if (first < end && text[first] == '[' && text.find(']', first) >= end) {
      text.insert(line, 1, ';');
      line = end + 2;
    } else {
      line = end + 1;
    }
  }
  return text;
}

// The file's text as the library writes it.
std::string IniText(const CSimpleIniA &ini) {
  std::string text;
  ini.Save(text, false);
  return text;
}

// One change of a file: a key set, or a whole section erased.
struct TChange {
  std::string Section, Key, Value;
  bool EraseSection = false;
};

// One parsed copy of a file.
struct TLoadedIni {
  CSimpleIniA Ini;  // CSimpleIniA folds the case of section and key names
  explicit TLoadedIni(const std::string &text) {
    Ini.SetUnicode(true);
    Ini.SetSpaces(false);
    Ini.SetMultiKey(false);
    const std::string loaded = WithOpenSectionLinesAsComments(text);
    Ini.LoadData(loaded.data(), loaded.size());
  }
  void Apply(const TChange &change) {
    if (change.EraseSection)
      Ini.Delete(change.Section.c_str(), nullptr);
    else
      Ini.SetValue(change.Section.c_str(), change.Key.c_str(), change.Value.c_str());
  }
  std::string Text() const { return IniText(Ini); }
};

// What this process holds of one file.
struct TFileState {
  // Changes that could not be saved: every later read of the file sees them, and every later
  // save tries them again.
  std::vector<TChange> Unsaved;
  // A damaged file that could not be set aside: it is left exactly as it is for the rest of the
  // run, and the settings start from the defaults.
  bool NeverWrite = false;
  // The open edit: its depth, its copy, the copy's text at the start and the changes made.
  int Depth = 0;
  std::unique_ptr<TLoadedIni> Copy;
  std::string TextAtStart;
  std::vector<TChange> EditChanges;
  int LockFd = -1;
  std::string LockFailure;  // why the lock could not be had: the edit is then not saved
  std::set<std::string> Said;
};

// The state of every file, and the calls its saves make.  Recursive: an edit's reads and writes
// come back in on the thread that opened it.
std::recursive_mutex GFilesLock;
std::map<std::string, TFileState> GFiles;
const TFileWriteCalls *GWriteCalls = nullptr;

std::mutex GNoticesLock;
std::function<void(const std::string &)> GNoticeHandler;
std::vector<std::string> GNotices;  // said, and waiting for a handler

TFileState &StateOf(const fs::path &path) {
  return GFiles[path.lexically_normal().string()];
}

void Say(TFileState &state, const std::string &kind, const std::string &text) {
  if (!state.Said.insert(kind).second) return;
  const std::lock_guard<std::mutex> lock(GNoticesLock);
  GNotices.push_back(text);
}

// Called with no store lock held, so that the handler may do anything.
void DeliverNotices() {
  std::vector<std::string> texts;
  std::function<void(const std::string &)> handler;
  {
    const std::lock_guard<std::mutex> lock(GNoticesLock);
    if (!GNoticeHandler) return;
    texts.swap(GNotices);
    handler = GNoticeHandler;
  }
  for (const std::string &text : texts) handler(text);
}

// The user took the right to write it away (mode 0444), or we never had it.
bool ReadOnlyFile(const fs::path &path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
}

// The file's bytes; `Damage` says why they cannot be taken for settings.
TFileBytes ReadFileText(const fs::path &path) {
  TFileBytes file = ReadFileBytes(path);
  // Settings are text; zero bytes are what a crash leaves of a file that was never written out.
  if (file.Damage.empty() && file.Bytes.find('\0') != std::string::npos)
    file.Damage = "it holds binary data, not settings";
  if (!file.Damage.empty()) file.Bytes.clear();
  return file;
}

// A damaged store is never read as settings nor written over: it goes aside as NAME.damaged so
// that the user (or support) can still look at it, and the settings start from the defaults.
void SetAside(const fs::path &path, TFileState &state, const std::string &why) {
  if (!ReadOnlyFile(path)) {
    for (int n = 1; n < 100; ++n) {
      const fs::path aside = path.string() + ".damaged" + (n == 1 ? "" : "-" + std::to_string(n));
      std::error_code ec;
      if (fs::exists(aside, ec) || fs::is_symlink(aside, ec)) continue;
      if (rename(path.c_str(), aside.c_str()) == 0) {
        Say(state, "damaged",
            ArgText(logictexts::SettingsKeptAside, {path.string(), why, aside.string()}));
        return;
      }
      if (errno == ENOENT) return;  // another running copy set it aside first
      break;
    }
  }
  state.NeverWrite = true;
  Say(state, "damaged", ArgText(logictexts::SettingsLeftDamaged, {path.string(), why}));
}

// The file's text as the settings start from: a damaged store is set aside and reads as empty.
std::string StartingText(const fs::path &path, TFileState &state, bool setsDamagedAside) {
  if (state.NeverWrite) return "";
  TFileBytes file = ReadFileText(path);
  if (!file.Damage.empty() && setsDamagedAside) SetAside(path, state, file.Damage);
  return std::move(file.Bytes);
}

std::unique_ptr<TLoadedIni> LoadForReading(const fs::path &path, TFileState &state,
                                           bool setsDamagedAside) {
  auto loaded = std::make_unique<TLoadedIni>(StartingText(path, state, setsDamagedAside));
  for (const TChange &change : state.Unsaved) loaded->Apply(change);
  return loaded;
}

// Every save happens under the lock, so a temporary file of a save found by the lock's holder
// is what a killed or crashed process left (ReplaceFileContents names them ".NAME.saving-...").
void RemoveStaleSaves(const fs::path &path) {
  std::error_code ec;
  for (const TLeftSave &left : LeftSaves(path))
    if (fs::is_regular_file(left.File, ec)) fs::remove(left.File, ec);
}

void TakeLock(const fs::path &path, TFileState &state) {
  std::error_code ec;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  const fs::path lockPath = path.string() + ".lock";
  const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return;  // a folder we cannot write: the save fails too and says why
  const auto deadline = std::chrono::steady_clock::now() + LockPatience;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(fd);  // a file system without locks: go on as before there were any
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      state.LockFailure = "another running copy of the program keeps " + lockPath.string();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  state.LockFd = fd;
  RemoveStaleSaves(path);
}

void ReleaseLock(TFileState &state) {
  if (state.LockFd < 0) return;
  close(state.LockFd);  // releases the lock
  state.LockFd = -1;
}

void BeginEdit(const fs::path &path, TFileState &state, bool setsDamagedAside) {
  if (state.Depth++ > 0) return;
  state.LockFailure.clear();
  if (!state.NeverWrite && !ReadOnlyFile(path)) TakeLock(path, state);
  state.Copy = LoadForReading(path, state, setsDamagedAside);
  state.TextAtStart = state.Copy->Text();
  state.EditChanges.clear();
}

// Saves the edit's copy; what cannot be saved is kept for the run and said once.
void Save(const fs::path &path, TFileState &state, const TLoadedIni &copy,
          const std::vector<TChange> &changes) {
  const auto keep = [&](const std::string &kind, const std::string &text) {
    for (const TChange &change : changes) {
      // A key set again replaces its earlier value: a long run on a read-only store keeps one
      // change per key, not one per write.
      if (!change.EraseSection)
        std::erase_if(state.Unsaved, [&](const TChange &earlier) {
          return !earlier.EraseSection && LowerCase(earlier.Section) == LowerCase(change.Section) &&
                 LowerCase(earlier.Key) == LowerCase(change.Key);
        });
      state.Unsaved.push_back(change);
    }
    if (!kind.empty()) Say(state, kind, text);
  };
  if (state.NeverWrite) return keep("", "");  // the damaged file's notice said so
  if (ReadOnlyFile(path))
    return keep("read-only", ArgText(logictexts::SettingsReadOnly, {path.string()}));
  if (!state.LockFailure.empty())
    return keep("not saved",
                ArgText(logictexts::SettingsNotSaved, {path.string(), state.LockFailure}));
  try {
    std::error_code ec;
    if (path.has_parent_path() && !fs::create_directories(path.parent_path(), ec) && ec)
      throw std::runtime_error("cannot make the folder " + path.parent_path().string() + ": " +
                               ec.message());
    ReplaceFileContents(path, copy.Text(), GWriteCalls ? *GWriteCalls : TFileWriteCalls::System());
    state.Unsaved.clear();
  } catch (const std::exception &e) {
    keep("not saved", ArgText(logictexts::SettingsNotSaved, {path.string(), e.what()}));
  }
}

void EndEdit(const fs::path &path, TFileState &state) {
  if (--state.Depth > 0) return;
  const std::unique_ptr<TLoadedIni> copy = std::move(state.Copy);
  const std::vector<TChange> changes = std::move(state.EditChanges);
  state.EditChanges.clear();
  // Writes that change nothing (a value written as it was) cost no save.
  if (!state.Unsaved.empty() || (!changes.empty() && copy->Text() != state.TextAtStart))
    Save(path, state, *copy, changes);
  ReleaseLock(state);
}

}  // namespace

std::string ProfileSection(int formatCode) {
  return "formatInfo" + std::to_string(formatCode);
}

EProfileValueError::EProfileValueError(const std::filesystem::path &file, int formatCode,
                                       const std::string &key, const std::string &why)
    : std::runtime_error(file.string() + ": profile " + std::to_string(formatCode) + ", section [" +
                         ProfileSection(formatCode) + "], key " + key + ": " + why) {}

void SetStoreNoticeHandler(std::function<void(const std::string &text)> handler) {
  {
    const std::lock_guard<std::mutex> lock(GNoticesLock);
    GNoticeHandler = std::move(handler);
  }
  DeliverNotices();
}

void SetStoreWriteCalls(const TFileWriteCalls *calls) {
  const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
  GWriteCalls = calls;
}

// An edit

TStoreEdit::TStoreEdit(const TIniFile &file) : FFile(file) {
  {
    const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
    BeginEdit(FFile.FPath, StateOf(FFile.FPath), FFile.FSetsDamagedAside);
  }
  DeliverNotices();
}

TStoreEdit::~TStoreEdit() {
  {
    const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
    EndEdit(FFile.FPath, StateOf(FFile.FPath));
  }
  DeliverNotices();
}

// Files in memory

TIniFile::TIniFile(std::filesystem::path name, TInMemory) : FPath(std::move(name)) {
  const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
  StateOf(FPath).NeverWrite = true;
}

void TIniFile::Forget() {
  const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
  GFiles.erase(FPath.lexically_normal().string());
}

namespace {
fs::path ScratchName() {
  static std::atomic<unsigned> serial{0};
  return "(memory)/scratch-" + std::to_string(serial++) + ".ini";
}
}  // namespace

TScratchStore::TScratchStore() : TSettingsStore(ScratchName(), TInMemory{}) {}

TScratchStore::~TScratchStore() {
  Forget();
}

// Reading and writing

template <class Reader>
auto TIniFile::Read(Reader reader) const {
  std::unique_lock<std::recursive_mutex> lock(GFilesLock);
  TFileState &state = StateOf(FPath);
  if (state.Depth > 0) return reader(state.Copy->Ini);
  const auto loaded = LoadForReading(FPath, state, FSetsDamagedAside);
  auto result = reader(loaded->Ini);
  lock.unlock();
  DeliverNotices();
  return result;
}

void TIniFile::Change(const std::string &section, const std::string &key, const std::string &value,
                      bool eraseSection) {
  {
    const std::lock_guard<std::recursive_mutex> lock(GFilesLock);
    TFileState &state = StateOf(FPath);
    BeginEdit(FPath, state, FSetsDamagedAside);
    const TChange change{section, key, value, eraseSection};
    state.Copy->Apply(change);
    state.EditChanges.push_back(change);
    EndEdit(FPath, state);
  }
  DeliverNotices();
}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &defaultValue) const {
  return Read([&](const CSimpleIniA &ini) {
    const char *value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? std::string(value) : defaultValue;
  });
}

int TIniFile::ReadInteger(const std::string &section, const std::string &key,
                          int defaultValue) const {
  const std::string text = ReadString(section, key, "");
  return IntegerText(text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const std::string &section, const std::string &key,
                        bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string &section) const {
  return Read([&](const CSimpleIniA &ini) { return ini.GetSection(section.c_str()) != nullptr; });
}

bool TIniFile::ValueExists(const std::string &section, const std::string &key) const {
  return Read([&](const CSimpleIniA &ini) {
    return ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
  });
}

std::map<std::string, std::string> TIniFile::ReadSection(const std::string &section) const {
  return Read([&](const CSimpleIniA &ini) {
    std::map<std::string, std::string> values;
    if (const auto *keys = ini.GetSection(section.c_str()))
      for (const auto &[key, value] : *keys) values[LowerCase(key.pItem)] = value;
    return values;
  });
}

std::vector<std::string> TIniFile::KeyNames(const std::string &section) const {
  return Read([&](const CSimpleIniA &ini) {
    std::vector<std::string> names;
    if (const auto *keys = ini.GetSection(section.c_str()))
      for (const auto &entry : *keys) names.emplace_back(entry.first.pItem);
    return names;
  });
}

std::string TIniFile::Text() const {
  return Read(IniText);
}

void TIniFile::WriteString(const std::string &section, const std::string &key,
                           const std::string &value) {
  Change(section, key, value, false);
}

void TIniFile::WriteInteger(const std::string &section, const std::string &key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string &section) {
  Change(section, "", "", true);
}

// settings

std::string TSettingsStore::OutPutDir() const {
  return ReadString(sk::Section, sk::OutPutDir, paths::DefaultOutputFolder().string());
}
void TSettingsStore::SetOutPutDir(const std::string &folder) {
  WriteString(sk::Section, sk::OutPutDir, folder);
}

int TSettingsStore::FormatCode() const {
  return ReadInteger(sk::Section, sk::FormatCode, 1);
}
std::string TSettingsStore::FormatCodeText() const {
  return ReadString(sk::Section, sk::FormatCode, "1");
}
void TSettingsStore::SetFormatCode(int code) {
  WriteInteger(sk::Section, sk::FormatCode, code);
}

std::string TSettingsStore::FormatName(const std::string &defaultName) const {
  return ReadString(sk::Section, sk::FormatName, defaultName);
}
void TSettingsStore::SetFormatName(const std::string &name) {
  WriteString(sk::Section, sk::FormatName, name);
}

int TSettingsStore::OutPutFormat() const {
  return ReadInteger(sk::Section, sk::OutPutFormat, 0);
}
void TSettingsStore::SetOutPutFormat(int index) {
  WriteInteger(sk::Section, sk::OutPutFormat, index);
}

int TSettingsStore::SkinIndex() const {
  return ReadInteger(sk::Section, sk::SkinIndex, 0);
}
void TSettingsStore::SetSkinIndex(int index) {
  WriteInteger(sk::Section, sk::SkinIndex, index);
}

int TSettingsStore::Volume() const {
  return ReadInteger(sk::Section, sk::Volume, 0);
}
int TSettingsStore::VolumeBarPosition() const {
  const int volume = Volume();
  return volume < 0 || volume > 128 ? 64 : volume;
}
void TSettingsStore::SetVolume(int volume) {
  WriteInteger(sk::Section, sk::Volume, volume);
}

int TSettingsStore::Mute() const {
  return ReadInteger(sk::Section, sk::Mute, 0);
}
void TSettingsStore::SetMute(bool mute) {
  WriteBool(sk::Section, sk::Mute, mute);
}

int TSettingsStore::Priority() const {
  return ReadInteger(sk::Section, sk::Priority, 1);
}
void TSettingsStore::SetPriority(int priority) {
  WriteInteger(sk::Section, sk::Priority, priority);
}

std::string TSettingsStore::SnapOutPutDir() const {
  return ReadString(sk::Section, sk::SnapOutPutDir, paths::DefaultOutputFolder().string());
}
void TSettingsStore::SetSnapOutPutDir(const std::string &folder) {
  WriteString(sk::Section, sk::SnapOutPutDir, folder);
}

bool TSettingsStore::SnapFullSize() const {
  return ReadBool(sk::Section, sk::SnapFullSize, true);
}
void TSettingsStore::SetSnapFullSize(bool on) {
  WriteBool(sk::Section, sk::SnapFullSize, on);
}
bool TSettingsStore::SnapSmallSize() const {
  return ReadBool(sk::Section, sk::SnapSmallSize, true);
}
void TSettingsStore::SetSnapSmallSize(bool on) {
  WriteBool(sk::Section, sk::SnapSmallSize, on);
}
bool TSettingsStore::SnapBmp() const {
  return ReadBool(sk::Section, sk::SnapBmp, true);
}
void TSettingsStore::SetSnapBmp(bool on) {
  WriteBool(sk::Section, sk::SnapBmp, on);
}
bool TSettingsStore::SnapJpg() const {
  return ReadBool(sk::Section, sk::SnapJpg, true);
}
void TSettingsStore::SetSnapJpg(bool on) {
  WriteBool(sk::Section, sk::SnapJpg, on);
}
int TSettingsStore::JpgCmp() const {
  return ReadInteger(sk::Section, sk::JpgCmp, 30);
}
void TSettingsStore::SetJpgCmp(int quality) {
  WriteInteger(sk::Section, sk::JpgCmp, quality);
}

// lstformat

TWindowPlacement TSettingsStore::MainWindowPlacement() const {
  TWindowPlacement placement;
  placement.PositionKnown =
      ValueExists(sk::Section, sk::WindowLeft) && ValueExists(sk::Section, sk::WindowTop);
  placement.Normal.Left = ReadInteger(sk::Section, sk::WindowLeft, 0);
  placement.Normal.Top = ReadInteger(sk::Section, sk::WindowTop, 0);
  const int width = ReadInteger(sk::Section, sk::WindowWidth, DefaultWindowWidth);
  const int height = ReadInteger(sk::Section, sk::WindowHeight, DefaultWindowHeight);
  // A size that no window can have (hand-edited) reads as the default.
  if (width > 0 && height > 0)
    placement.Normal = {placement.Normal.Left, placement.Normal.Top, width, height};
  placement.Maximized = ReadBool(sk::Section, sk::WindowMaximized, false);
  placement.ColumnWidths = ColumnWidthsOfText(ReadString(sk::Section, sk::ColumnWidths, ""));
  return placement;
}
void TSettingsStore::SetMainWindowPlacement(const TWindowPlacement &placement) {
  const TStoreEdit edit(*this);
  WriteInteger(sk::Section, sk::WindowLeft, placement.Normal.Left);
  WriteInteger(sk::Section, sk::WindowTop, placement.Normal.Top);
  WriteInteger(sk::Section, sk::WindowWidth, placement.Normal.Width);
  WriteInteger(sk::Section, sk::WindowHeight, placement.Normal.Height);
  WriteBool(sk::Section, sk::WindowMaximized, placement.Maximized);
  WriteString(sk::Section, sk::ColumnWidths, TextOfColumnWidths(placement.ColumnWidths));
}

bool TSettingsStore::CategoryCollapsed(int categoryIndex) const {
  return ReadBool(sk::ListSection, std::to_string(categoryIndex), true);
}
void TSettingsStore::SetCategoryCollapsed(int categoryIndex, bool collapsed) {
  WriteBool(sk::ListSection, std::to_string(categoryIndex), collapsed);
}

// formatInfo<code>

std::string TSettingsStore::ReadProfile(int formatCode, const std::string &key,
                                        const std::string &defaultValue) const {
  return ReadString(ProfileSection(formatCode), key, defaultValue);
}
int TSettingsStore::ReadProfileInteger(int formatCode, const std::string &key,
                                       int defaultValue) const {
  return ReadInteger(ProfileSection(formatCode), key, defaultValue);
}
void TSettingsStore::WriteProfile(int formatCode, const std::string &key,
                                  const std::string &value) {
  WriteString(ProfileSection(formatCode), key, value);
}
void TSettingsStore::WriteProfileInteger(int formatCode, const std::string &key, int value) {
  WriteInteger(ProfileSection(formatCode), key, value);
}
bool TSettingsStore::ProfileExists(int formatCode) const {
  return SectionExists(ProfileSection(formatCode));
}
