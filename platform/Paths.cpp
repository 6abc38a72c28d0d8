#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace paths {

namespace fs = std::filesystem;

namespace {

std::string EnvText(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

fs::path HomeFolder() {
  const std::string home = EnvText("HOME");
  if (!home.empty()) return home;
  if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// The program's folder under an XDG base folder: the variable's value when it is an absolute
// path, otherwise `fallback` in the home folder.
static fs::path XdgFolder(const char *variable, const char *fallback) {
  const fs::path xdg = EnvText(variable);
  if (!xdg.empty() && xdg.is_absolute()) return xdg / "morvane";
  return HomeFolder() / fallback / "morvane";
}

fs::path ConfigFolder() {
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

fs::path CacheFolder() {
  return XdgFolder("XDG_CACHE_HOME", ".cache");
}

fs::path StateFolder() {
  return XdgFolder("XDG_STATE_HOME", ".local/state");
}

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

fs::path LibAVFolder() {
  return ExecutableFolder() / "LibAV";
}

fs::path DefaultOutputFolder() {
  return HomeFolder() / "videoconverter";
}

std::vector<fs::path> DataFolders() {
  std::vector<fs::path> folders;
  const fs::path exe = ExecutableFolder();
  if (!exe.empty()) {
    folders.push_back(exe / "data");
    folders.push_back(exe.parent_path() / "data");
    folders.push_back(exe.parent_path() / "share" / "morvane");
  }
  folders.push_back("/usr/local/share/morvane");
  folders.push_back("/usr/share/morvane");
  return folders;
}

fs::path FindDataFile(const std::string &name) {
  std::error_code ec;
  for (const fs::path &folder : DataFolders())
    if (fs::is_regular_file(folder / name, ec)) return folder / name;
  return {};
}

}  // namespace paths
