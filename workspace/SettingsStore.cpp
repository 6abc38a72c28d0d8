#include "workspace/SettingsStore.h"

#include <unistd.h>

// Texts are kept as the UTF-8 bytes they are; no wide-character conversion is wanted.  The
// library's template bodies are compiled here (Debian's header keeps them behind
// SI_IMPLEMENTATION), so nothing is linked.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "platform/Paths.h"
#include "workspace/NumberText.h"

namespace fs = std::filesystem;
namespace sk = settingskeys;

namespace {

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

// One open of the file: its whole contents, parsed.  A missing or unreadable file reads as empty.
struct TLoadedIni {
  CSimpleIniA Ini;  // CSimpleIniA folds the case of section and key names
  explicit TLoadedIni(const fs::path &path) {
    Ini.SetUnicode(true);
    Ini.SetSpaces(false);
    Ini.SetMultiKey(false);
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const std::string loaded = WithOpenSectionLinesAsComments(text);
    Ini.LoadData(loaded.data(), loaded.size());
  }
};

void Save(TLoadedIni &loaded, const fs::path &path) {
  std::error_code ec;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  const fs::path temp = path.string() + ".tmp-" + std::to_string(getpid());
  if (loaded.Ini.SaveFile(temp.c_str(), false) < 0) {
    fs::remove(temp, ec);
    throw std::runtime_error("Unable to write to " + path.string());
  }
  fs::rename(temp, path, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw std::runtime_error("Unable to write to " + path.string());
  }
}

}  // namespace

std::string ProfileSection(int formatCode) {
  return "formatInfo" + std::to_string(formatCode);
}

EProfileValueError::EProfileValueError(const std::filesystem::path &file, int formatCode,
                                       const std::string &key, const std::string &why)
    : std::runtime_error(file.string() + ": profile " + std::to_string(formatCode) + ", section [" +
                         ProfileSection(formatCode) + "], key " + key + ": " + why) {}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &defaultValue) const {
  TLoadedIni loaded(FPath);
  const char *value = loaded.Ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return value ? std::string(value) : defaultValue;
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
  TLoadedIni loaded(FPath);
  return loaded.Ini.GetSection(section.c_str()) != nullptr;
}

bool TIniFile::ValueExists(const std::string &section, const std::string &key) const {
  TLoadedIni loaded(FPath);
  return loaded.Ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::map<std::string, std::string> TIniFile::ReadSection(const std::string &section) const {
  TLoadedIni loaded(FPath);
  std::map<std::string, std::string> values;
  if (const auto *keys = loaded.Ini.GetSection(section.c_str()))
    for (const auto &[key, value] : *keys) values[LowerCase(key.pItem)] = value;
  return values;
}

void TIniFile::WriteString(const std::string &section, const std::string &key,
                           const std::string &value) {
  TLoadedIni loaded(FPath);
  if (loaded.Ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0)
    throw std::runtime_error("Unable to write to " + FPath.string());
  Save(loaded, FPath);
}

void TIniFile::WriteInteger(const std::string &section, const std::string &key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string &section) {
  TLoadedIni loaded(FPath);
  if (loaded.Ini.Delete(section.c_str(), nullptr)) Save(loaded, FPath);
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
