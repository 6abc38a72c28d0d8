#include "services/LibraryReport.h"

#include <cstdio>
#include <filesystem>

#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

namespace {

// A version as the libraries pack it: major << 16 | minor << 8 | micro.
std::string VersionText(unsigned version) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u", version >> 16, (version >> 8) & 0xff,
                version & 0xff);
  return text;
}

std::string Line(TLibraryKind kind, const std::string &version, const char *configuration,
                 bool verbose) {
  const std::string file = TFFmpegLoader::LibraryFileName(kind);
  char line[1024];
  if (!FFLoader().LibLoaded(kind)) {
    std::snprintf(line, sizeof line, "%-20s not loaded\n", file.c_str());
    return line;
  }
  const std::string folder =
      std::filesystem::path(FFLoader().LoadedFrom(kind)).parent_path().string();
  std::snprintf(line, sizeof line, "%-20s %-10s %s\n", file.c_str(), version.c_str(),
                folder.c_str());
  std::string text = line;
  if (verbose && configuration) text += "  configuration: " + std::string(configuration) + "\n";
  return text;
}

}  // namespace

std::string LibraryReport(bool verbose) {
  const auto loaded = [](TLibraryKind kind) { return FFLoader().LibLoaded(kind); };
  std::string text;
  auto add = [&](TLibraryKind kind, unsigned (*version)(), const char *(*configuration)()) {
    text += loaded(kind) ? Line(kind, VersionText(version()), configuration(), verbose)
                         : Line(kind, "", nullptr, verbose);
  };
  add(TLibraryKind::avutil, ff::avutil_version, ff::avutil_configuration);
  add(TLibraryKind::swresample, ff::swresample_version, ff::swresample_configuration);
  add(TLibraryKind::swscale, ff::swscale_version, ff::swscale_configuration);
  add(TLibraryKind::avcodec, ff::avcodec_version, ff::avcodec_configuration);
  add(TLibraryKind::avformat, ff::avformat_version, ff::avformat_configuration);
  add(TLibraryKind::avfilter, ff::avfilter_version, ff::avfilter_configuration);
  std::string sdl;
  if (loaded(TLibraryKind::SDL)) {
    SDL_version v;
    ff::SDL_GetVersion(&v);
    sdl = std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
  }
  text += Line(TLibraryKind::SDL, sdl, nullptr, verbose);
  return text;
}
