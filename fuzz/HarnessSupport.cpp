#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/FuzzHarness.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"

namespace fuzzsupport {

// The folder lives as long as the process and goes with it.
class TWorkFolder {
 public:
  TWorkFolder() {
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    FPath = (base / ("morvane-fuzz-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(FPath);
  }
  ~TWorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  const std::string &Path() const { return FPath; }

 private:
  std::string FPath;
};

const std::string &WorkFolder() {
  static const TWorkFolder folder;
  return folder.Path();
}

std::string WriteWorkFile(const std::string &name, const void *data, size_t size) {
  const std::string path = WorkFolder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
  return path;
}

bool MediaLibrariesLoaded() {
  static const bool loaded = [] {
    if (!FFLoader().LoadLibs(EncoderLibs)) return false;
    // The libraries' own log lines would drown the fuzzer's report.
    FFLogger().SetLogLevel(TLogLevel::llQuiet);
    return true;
  }();
  return loaded;
}

}  // namespace fuzzsupport
