#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fuzz/FuzzHarness.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"

namespace fuzzsupport {

const std::string &WorkFolder() {
  static const std::string folder = [] {
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    const std::filesystem::path dir = base / ("morvane-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(WorkFolder(), ec);
    });
    return dir.string();
  }();
  return folder;
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
