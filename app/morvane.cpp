// Morvane MP4 Video Converter: the program's main entry.
//
// Loads the player's library set through the loader and reports what it found.
#include <cstdio>

#include "platform/Paths.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

namespace {

void Report(TLibraryKind kind, unsigned version, const char *configuration) {
  std::printf("%-20s %u.%u.%u  %s\n  configuration: %s\n",
              TFFmpegLoader::LibraryFileName(kind).c_str(), version >> 16, (version >> 8) & 0xff,
              version & 0xff, FFLoader().LoadedFrom(kind).c_str(), configuration);
}

}  // namespace

int main() {
  InitFloatingPoint();
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(paths::LibAVFolder().string());
  if (!loader.LoadLibs(PlayerLibs)) {
    std::fprintf(stderr, "%s\n", loader.LastErrMsg().c_str());
    return 1;
  }
  Report(TLibraryKind::avutil, ff::avutil_version(), ff::avutil_configuration());
  Report(TLibraryKind::swresample, ff::swresample_version(), ff::swresample_configuration());
  Report(TLibraryKind::swscale, ff::swscale_version(), ff::swscale_configuration());
  Report(TLibraryKind::avcodec, ff::avcodec_version(), ff::avcodec_configuration());
  Report(TLibraryKind::avformat, ff::avformat_version(), ff::avformat_configuration());
  Report(TLibraryKind::avfilter, ff::avfilter_version(), ff::avfilter_configuration());
  SDL_version sdl;
  ff::SDL_GetVersion(&sdl);
  std::printf("%-20s %u.%u.%u  %s\n", TFFmpegLoader::LibraryFileName(TLibraryKind::SDL).c_str(),
              sdl.major, sdl.minor, sdl.patch, loader.LoadedFrom(TLibraryKind::SDL).c_str());
  return 0;
}
