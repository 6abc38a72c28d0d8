#include "workspace/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::runtime_error StepFailed(const std::string &step, const fs::path &file, int error) {
  return std::runtime_error("cannot " + step + " " + file.string() + ": " + std::strerror(error));
}

// The start of the names of the temporary files of saves of `path`: ".NAME.saving-".
std::string SavePrefix(const fs::path &path) {
  return "." + path.filename().string() + ".saving-";
}

// A temporary file of our own beside `path`: hidden, named after it and this process, made
// afresh (O_EXCL), so that nothing planted at the name is written through.
int CreateBeside(const fs::path &path, fs::path &temp) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path.parent_path() /
           (SavePrefix(path) + std::to_string(getpid()) + "-" + std::to_string(serial++));
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void WriteAll(int fd, const std::string &bytes, const TFileWriteCalls &calls,
              const fs::path &temp) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = calls.Write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    // A write that takes nothing would loop for ever; the disk is as good as full.
    if (n <= 0) throw StepFailed("write", temp, n == 0 ? ENOSPC : errno);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

TFileWriteCalls TFileWriteCalls::System() {
  return {[](int fd, const void *data, size_t size) { return ::write(fd, data, size); },
          [](int fd) { return ::fsync(fd); }, [](int fd) { return ::close(fd); },
          [](const char *from, const char *to) { return ::rename(from, to); }};
}

void ReplaceFileContents(const fs::path &named, const std::string &bytes,
                         const TFileWriteCalls &calls) {
  // A file kept elsewhere and linked here (a folder of dotfiles) is replaced where it lives; the
  // link stays a link.
  std::error_code ec;
  fs::path path = named;
  if (fs::is_symlink(fs::symlink_status(named, ec))) {
    path = fs::weakly_canonical(named, ec);
    if (ec) throw StepFailed("follow the link", named, ec.value());
  }
  fs::path temp;
  int fd = CreateBeside(path, temp);
  if (fd < 0) throw StepFailed("create a file beside", path, errno);
  try {
    struct stat old {};
    if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);
    WriteAll(fd, bytes, calls, temp);
    if (calls.Sync(fd) != 0) throw StepFailed("sync", temp, errno);
    const int closed = calls.Close(fd);
    fd = -1;  // closed even when close reports an error: it must not be closed twice
    if (closed != 0) throw StepFailed("close", temp, errno);
    if (calls.Rename(temp.c_str(), path.c_str()) != 0) throw StepFailed("replace", path, errno);
  } catch (...) {
    if (fd >= 0) ::close(fd);
    unlink(temp.c_str());
    throw;
  }
  // The rename itself lasts through a power cut only once the folder is synced; the data is
  // already safe, so a failure here changes nothing for the caller.
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    fsync(dir);
    ::close(dir);
  }
}

TFileBytes ReadFileBytes(const fs::path &path, uint64_t limit) {
  // Not blocking: a named pipe at the name must not stop the program.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return {"", errno == ENOENT || errno == ENOTDIR ? std::string() : std::strerror(errno)};
  TFileBytes file;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    file.Damage = "it is not a regular file";
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    file.Damage = "it is larger than " + std::to_string(limit) + " bytes";
  } else {
    char buffer[16384];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) file.Damage = std::strerror(errno);
      if (n <= 0) break;
      file.Bytes.append(buffer, static_cast<size_t>(n));
      // A file that grows while it is read stops at the limit too.
      if (file.Bytes.size() > limit) {
        file.Damage = "it is larger than " + std::to_string(limit) + " bytes";
        break;
      }
    }
  }
  close(fd);
  if (!file.Damage.empty()) file.Bytes.clear();
  return file;
}

std::vector<TLeftSave> LeftSaves(const fs::path &path) {
  const std::string prefix = SavePrefix(path);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::vector<TLeftSave> saves;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    TLeftSave save{it->path()};
    // "PID-N" after the prefix: the writer's id, when the name says it.
    const char *digits = name.c_str() + prefix.size();
    const char *dash = std::strchr(digits, '-');
    pid_t writer = 0;
    if (dash && std::from_chars(digits, dash, writer).ptr == dash && writer > 0)
      save.Writer = writer;
    saves.push_back(std::move(save));
  }
  return saves;
}
