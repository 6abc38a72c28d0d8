#include "platform/Mounts.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace mounts {

namespace fs = std::filesystem;

namespace {

// The kernel writes blanks, tabs, new lines and backslashes of a path as three octal digits
// after a backslash ("/media/usb\040disk").
std::string Unescaped(const std::string &field) {
  auto octal = [&](size_t i) { return i < field.size() && field[i] >= '0' && field[i] <= '7'; };
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      text += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

bool HasOption(const std::string &options, const std::string &wanted) {
  std::istringstream list(options);
  for (std::string option; std::getline(list, option, ',');)
    if (option == wanted) return true;
  return false;
}

// The folder as an absolute path without links in the part that exists, so that it can be
// matched against mount points.
fs::path ResolvedFolder(const fs::path &folder) {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  return ec ? folder.lexically_normal() : resolved;
}

// The folder itself when it exists, otherwise the nearest existing folder above it.
fs::path ExistingFolder(const fs::path &folder) {
  std::error_code ec;
  fs::path path = ResolvedFolder(folder);
  while (!fs::exists(path, ec) && path.has_relative_path()) path = path.parent_path();
  return path;
}

}  // namespace

std::vector<TMount> ParseMountInfo(const std::string &text) {
  // "36 35 98:0 /root /mnt/point rw,noatime shared:1 - ext4 /dev/sda1 rw,errors=continue"
  std::vector<TMount> mounts;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::vector<std::string> before;
    std::string field;
    while (fields >> field && field != "-") before.push_back(field);
    std::string fileSystem, source, superOptions;
    if (field != "-" || before.size() < 6 || !(fields >> fileSystem >> source)) continue;
    fields >> superOptions;
    TMount mount;
    mount.MountPoint = Unescaped(before[4]);
    mount.FileSystem = fileSystem;
    mount.Source = Unescaped(source);
    mount.ReadOnly = HasOption(before[5], "ro") || HasOption(superOptions, "ro");
    mounts.push_back(mount);
  }
  return mounts;
}

std::optional<TMount> MountOf(const std::vector<TMount> &mounts, const fs::path &path) {
  std::optional<TMount> found;
  size_t foundDepth = 0;
  const fs::path normal = path.lexically_normal();
  for (const TMount &mount : mounts) {
    const fs::path point = fs::path(mount.MountPoint).lexically_normal();
    const size_t depth = static_cast<size_t>(std::distance(point.begin(), point.end()));
    const bool contains =
        std::mismatch(point.begin(), point.end(), normal.begin(), normal.end()).first ==
        point.end();
    // The deepest mount point wins; of two on the same point, the later one covers the earlier.
    if (contains && (!found || depth >= foundDepth)) {
      found = mount;
      foundDepth = depth;
    }
  }
  return found;
}

bool IsOpticalDisc(const TMount &mount) {
  if (mount.FileSystem == "iso9660" || mount.FileSystem == "udf") return true;
  const std::string device = fs::path(mount.Source).filename().string();
  return mount.Source.rfind("/dev/", 0) == 0 &&
         (device.rfind("sr", 0) == 0 || device.rfind("cdrom", 0) == 0 ||
          device.rfind("dvd", 0) == 0 || device.rfind("scd", 0) == 0);
}

bool FolderOnReadOnlyOrOpticalMedium(const fs::path &folder, const std::string &mountInfo) {
  const auto mount = MountOf(ParseMountInfo(mountInfo), ResolvedFolder(folder));
  return mount && (mount->ReadOnly || IsOpticalDisc(*mount));
}

bool FolderOnReadOnlyOrOpticalMedium(const fs::path &folder) {
  // The file system's own flag also catches what the table does not say plainly (a read-only
  // bind mount, a file system the kernel turned read-only after an error).
  struct statvfs info {};
  if (statvfs(ExistingFolder(folder).c_str(), &info) == 0 && (info.f_flag & ST_RDONLY)) return true;
  std::ifstream file("/proc/self/mountinfo");
  std::stringstream text;
  text << file.rdbuf();
  return FolderOnReadOnlyOrOpticalMedium(folder, text.str());
}

}  // namespace mounts
