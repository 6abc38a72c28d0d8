#include "workspace/OutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <regex>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// rename without replacing what is there; false with errno set when it failed.
bool RenameNoReplace(const fs::path &from, const fs::path &to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL) return false;
  // A file system without the flag: link and unlink never replace either.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

}  // namespace

fs::path ReserveWorkingFile(const fs::path &destination) {
  const std::string base = (destination.parent_path() / ("." + destination.stem().string() +
                                                         ".converting-" + std::to_string(getpid())))
                               .string();
  const std::string extension = destination.extension().string();
  for (int n = 0; n < 1000; ++n) {
    const fs::path name = base + (n == 0 ? "" : "-" + std::to_string(n)) + extension;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return name;
    }
    if (errno != EEXIST)
      throw std::runtime_error(destination.parent_path().string() + ": " + std::strerror(errno));
  }
  throw std::runtime_error(destination.string() + ": no free working name beside it");
}

std::string PublishWorkingFile(const fs::path &working, const fs::path &destination) {
  const int fd = open(working.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return working.string() + ": " + std::strerror(errno);
  const bool synced = fsync(fd) == 0;
  const int syncError = errno;
  close(fd);
  if (!synced) return working.string() + ": " + std::strerror(syncError);
  if (!RenameNoReplace(working, destination))
    return destination.string() + ": " + std::strerror(errno);
  return "";
}

fs::path SetAsidePartialOutput(const fs::path &file, const fs::path &named) {
  std::error_code ec;
  if (file.empty() || !fs::is_regular_file(file, ec)) return {};
  const std::string name = (named.empty() ? file : named).string();
  for (int n = 0; n < 1000; ++n) {
    const fs::path partial =
        n == 0 ? fs::path(name + ".part") : fs::path(name + "." + std::to_string(n) + ".part");
    if (RenameNoReplace(file, partial)) return partial;  // never over a file that is there
    if (errno != EEXIST) return {};
  }
  return {};
}

namespace {

// ".NAME.converting-PID.EXT" or ".NAME.converting-PID-N.EXT" (EXT may be missing); the first
// group is the writer's process id.
const std::regex &WorkingNamePattern() {
  static const std::regex pattern(R"(^\..+\.converting-([1-9][0-9]{0,9})(-[0-9]+)?(\.[^.]*)?$)");
  return pattern;
}

// A process that cannot be signalled because it is another user's is still there.
bool ProcessExists(long pid) {
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::vector<fs::path> RemoveAbandonedWorkingFiles(const fs::path &folder) {
  std::vector<fs::path> removed;
  std::error_code ec;
  if (folder.empty()) return removed;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::smatch match;
    if (!std::regex_match(name, match, WorkingNamePattern())) continue;
    // Only what our writers make: a plain file, never a link or a folder of that name.
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
    const long pid = std::stol(match[1].str());
    if (pid > std::numeric_limits<pid_t>::max() || ProcessExists(pid)) continue;
    std::error_code removeError;
    if (fs::remove(it->path(), removeError)) removed.push_back(it->path());
  }
  return removed;
}

std::string AbandonedWorkingFileNote(const fs::path &removed) {
  return "removed " + removed.string() + ", left unfinished by a run that was killed";
}
