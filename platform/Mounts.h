// Which mounted file system a folder lies on, and whether that one can take files: an output
// folder on a read-only mount or on an optical disc would fail every conversion, so the folder
// chooser refuses it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mounts {

struct TMount {
  std::string MountPoint;
  std::string FileSystem;  // "ext4", "iso9660", ...
  std::string Source;      // "/dev/sr0", "tmpfs", ...
  bool ReadOnly = false;   // mounted read-only, or its file system is
};

// The mounts listed in the text of /proc/self/mountinfo, in the order listed (a later mount
// covers an earlier one on the same point).  Lines that do not have the kernel's form are skipped.
std::vector<TMount> ParseMountInfo(const std::string &text);

// The mount that holds `path` (an absolute path without "." or ".." parts): the one with the
// longest mount point that contains it.
std::optional<TMount> MountOf(const std::vector<TMount> &mounts, const std::filesystem::path &path);

// A disc in an optical drive: its file system (ISO 9660, UDF) or its device (/dev/sr*, /dev/cdrom).
bool IsOpticalDisc(const TMount &mount);

// Whether `folder` (or, when it does not exist yet, the nearest folder above it that does) lies on
// a read-only mount or an optical disc, by the mount table `mountInfo`.
bool FolderOnReadOnlyOrOpticalMedium(const std::filesystem::path &folder,
                                     const std::string &mountInfo);
// The same by the system's mount table and the file system's own read-only flag.
bool FolderOnReadOnlyOrOpticalMedium(const std::filesystem::path &folder);

}  // namespace mounts
