// Morvane MP4 Video Converter: the program a user starts.
//
// Shows the splash window, creates the main window, adds the files named on the command line to
// its list and runs the window loop.  With --libraries it reports the media libraries the loader
// finds instead.
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "workspace/Application.h"
#include "workspace/ConversionList.h"
#include "workspace/GlobalUnit.h"
#include "workspace/WinCover.h"
#include "workspace/WinMain.h"

namespace {

const char Usage[] =
    "Usage: morvane [--] [FILE|FOLDER ...]\n"
    "       morvane --libraries | --help | --version\n"
    "\n"
    "Opens the converter's main window (on an X display; the program always uses X11, through\n"
    "XWayland in a Wayland session, so that its preview can draw into the window).  Files given\n"
    "are added to the list as Add adds them; a folder adds the video and audio files inside it.\n"
    "\n"
    "Options:\n"
    "  --libraries   report the media libraries the loader finds, and exit\n"
    "  --help        this text\n"
    "  --version     the program's version\n"
    "\n"
    "Exit status: 0 when the window was closed normally or a report was printed, 1 when the\n"
    "window could not be opened or the libraries could not be loaded, 2 for a wrong option.\n";

void Report(TLibraryKind kind, unsigned version, const char *configuration) {
  std::printf("%-20s %u.%u.%u  %s\n  configuration: %s\n",
              TFFmpegLoader::LibraryFileName(kind).c_str(), version >> 16, (version >> 8) & 0xff,
              version & 0xff, FFLoader().LoadedFrom(kind).c_str(), configuration);
}

int ReportLibraries() {
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

int RunWindows(int argc, char **argv) {
  // The preview player draws into native X windows of the main window.
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  const char *display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr,
                 "morvane: no X display to open the window on (DISPLAY is not set).\n"
                 "Start it from a desktop session, or under xvfb-run; morvane-convert converts "
                 "without a window.\n");
    return 1;
  }
  TApplication app(argc, argv);
  TfrmCover cover;
  cover.show();
  cover.repaint();
  QApplication::processEvents();
  QApplication::setApplicationName("Morvane");  // until the main window names the product
  TfrmMain main;
  cover.SetMainWindow(&main);
  main.show();
  // The toolkit has taken its own options (-display, -style ...) out of the arguments; the rest
  // are files.  They are added once the window is up, as if dropped on it.
  std::vector<std::string> arguments;
  for (const QString &argument : QApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  std::error_code ec;
  const auto files = CommandLinePaths(arguments, std::filesystem::current_path(ec));
  if (!files.empty()) QTimer::singleShot(0, &main, [&main, files] { main.AddPaths(files); });
  return QApplication::exec();
}

}  // namespace

int main(int argc, char **argv) {
  InitFloatingPoint();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;  // file names follow
    if (std::strcmp(argv[i], "--libraries") == 0) return ReportLibraries();
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::string version = ProgramVersionText();
      version.erase(0, version.find_first_not_of(' '));
      version.erase(version.find_last_not_of(' ') + 1);
      std::printf("morvane %s\n", version.c_str());
      return 0;
    }
    // Options the toolkit itself takes (-display, -style ...) are left to it.
    if (std::strncmp(argv[i], "--", 2) == 0) {
      std::fprintf(stderr, "morvane: unknown option %s (see --help)\n", argv[i]);
      return 2;
    }
  }
  return RunWindows(argc, argv);
}
