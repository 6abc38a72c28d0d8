// Replacing a file so that it holds either its old bytes or all of the new ones, never a stub: the
// new bytes go to a temporary file beside it, every write, the sync and the close are checked, and
// only then is the temporary file renamed over the old one.  A full disk, a quota or an I/O error
// leaves the old file as it was (the library writers we had before ignored write and close
// errors and renamed a short file over a good one).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The system calls the writer makes, so that a test can make any one of them fail.
struct TFileWriteCalls {
  std::function<ssize_t(int fd, const void *data, size_t size)> Write;
  std::function<int(int fd)> Sync;
  std::function<int(int fd)> Close;
  std::function<int(const char *from, const char *to)> Rename;
  // The calls of the operating system.
  static TFileWriteCalls System();
};

// Writes `bytes` as the new contents of `path` (its folder must exist).  The temporary file is
// named ".NAME.saving-PID-N" beside it.  The new file keeps the
// old one's permission bits; a new one gets the usual ones (0666 less the umask).  Throws
// std::runtime_error saying which step failed and why ("cannot write ...: No space left on
// device"); the old file is then unchanged and no temporary file is left.
void ReplaceFileContents(const std::filesystem::path &path, const std::string &bytes,
                         const TFileWriteCalls &calls = TFileWriteCalls::System());

// A file's bytes, read without trusting what is at its name: a named pipe or a device is not
// waited on, a file larger than `limit` is not read.  `Damage` says why the bytes could not be
// had (they are then empty); a missing file (or one under a folder that cannot exist) is empty,
// not damaged.
struct TFileBytes {
  std::string Bytes;
  std::string Damage;
};
TFileBytes ReadFileBytes(const std::filesystem::path &path, uint64_t limit = UINT64_MAX);

// The temporary files that saves of `path` left beside it (ReplaceFileContents names them
// ".NAME.saving-PID-N"): a save cut short by a kill or a crash, or one in progress in another
// process.  `Writer` is the id of the process that wrote it, 0 when the name does not say.
struct TLeftSave {
  std::filesystem::path File;
  pid_t Writer = 0;
};
std::vector<TLeftSave> LeftSaves(const std::filesystem::path &path);
