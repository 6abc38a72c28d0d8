#include <string_view>
#include <vector>

#include "engine/CommandLine.h"
#include "engine/FFmpeg.h"
#include "engine/FFmpegException.h"
#include "fuzz/FuzzHarness.h"

int FuzzEngineArguments(const uint8_t *data, size_t size) {
  if (!fuzzsupport::MediaLibrariesLoaded()) return 0;
  std::vector<std::string> args;
  std::string_view rest(reinterpret_cast<const char *>(data), size);
  while (!rest.empty()) {
    const size_t end = rest.find('\0');
    args.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  TCustomFFmpeg engine;
  engine.Reset();
  // The names are taken as given: only the parsing is under test, never the file system.
  const TCommandLineFiles files{[](const std::string &) { return true; },
                                [](const std::string &, bool) { return true; }};
  std::string error;
  try {
    ApplyCommandLine(engine, args, files, error);
  } catch (const FFmpegException &) {
    // A value the engine refuses, in its own words.
  }
  return 0;
}
