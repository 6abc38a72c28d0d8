// Morvane MP4 Video Converter: the program a user starts.
//
// Shows the splash window, creates the main window, adds the files named on the command line to
// its list and runs the window loop.  With --libraries it reports the media libraries the loader
// finds instead.
#include <QLocale>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ProgramInfo.h"
#include "gui/Application.h"
#include "gui/Translations.h"
#include "platform/Paths.h"
#include "platform/ProgramMain.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/LibraryReport.h"
#include "workspace/ConversionList.h"
#include "workspace/mainwindow/QuitSignals.h"
#include "workspace/mainwindow/WinCover.h"
#include "workspace/mainwindow/WinMain.h"

namespace {

const char Usage[] =
    "Usage: morvane [--] [FILE|FOLDER ...]\n"
    "       morvane --libraries [--verbose] | --help | --version\n"
    "\n"
    "Opens the converter's main window (on an X display; the program always uses X11, through\n"
    "XWayland in a Wayland session, so that its preview can draw into the window).  Files given\n"
    "are added to the list as Add adds them; a folder adds the video and audio files inside it.\n"
    "The list, with each row's edits and results, is kept in $XDG_STATE_HOME/morvane/queue.ini\n"
    "(~/.local/state/morvane/queue.ini) and comes back at the next start, before the files given.\n"
    "\n"
    "Options:\n"
    "  --libraries   report the media libraries the loader finds, one line each (file,\n"
    "                version, folder), and exit\n"
    "  --verbose     with --libraries: each library's build configuration as well\n"
    "  --help        this text\n"
    "  --version     the program's version\n"
    "\n"
    "Exit status: 0 when the window was closed normally or a report was printed, 1 when the\n"
    "window could not be opened or the libraries could not be loaded, 2 for a wrong option,\n"
    "128 + N when ended by signal N (SIGTERM, SIGINT, SIGHUP: a conversion that was running\n"
    "is kept as NAME.part).\n";

int ReportLibraries(bool verbose) {
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(paths::LibAVFolder().string());
  if (!loader.LoadLibs(PlayerLibs)) {
    std::fprintf(stderr, "%s\n", loader.LastErrMsg().c_str());
    return 1;
  }
  std::fputs(LibraryReport(verbose).c_str(), stdout);
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
  // The desktop's language, where the program has a catalogue for it.
  InstallTranslations(app, QLocale::system());
  TfrmCover cover;
  cover.show();
  cover.repaint();
  QApplication::processEvents();
  QApplication::setApplicationName("Morvane");  // until the main window names the product
  TfrmMain main;
  cover.SetMainWindow(&main);
  // Terminated, interrupted or logged out: the window closes in order (a running conversion
  // is set aside as NAME.part) and the program ends with 128 + the signal's number.
  int quitSignal = 0;
  TQuitSignals quitSignals([&main, &quitSignal](int signal) {
    if (quitSignal != 0) return;
    quitSignal = signal;
    main.CloseOnSignal();
    QCoreApplication::exit(128 + signal);
  });
  main.show();
  // The toolkit has taken its own options (-display, -style ...) out of the arguments; the rest
  // are files.  They are added once the window is up, as if dropped on it.  Their bytes are
  // taken as they are (the toolkit's decoded copies lose names that are not UTF-8).
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::error_code ec;
  const auto files = CommandLinePaths(arguments, std::filesystem::current_path(ec));
  if (!files.empty()) QTimer::singleShot(0, &main, [&main, files] { main.AddPaths(files); });
  return QApplication::exec();
}

}  // namespace

static int Main(int argc, char **argv) {
  InitFloatingPoint();
  bool libraries = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;  // file names follow
    if (AnswerHelpOrVersion(argv[i], "morvane", Usage)) return 0;
    if (std::strcmp(argv[i], "--libraries") == 0) {
      libraries = true;
    } else if (std::strcmp(argv[i], "--verbose") == 0) {
      verbose = true;
    } else if (std::strncmp(argv[i], "--", 2) == 0) {
      // Options the toolkit itself takes (-display, -style ...) are left to it.
      std::fprintf(stderr, "morvane: unknown option %s (see --help)\n", argv[i]);
      return 2;
    }
  }
  if (libraries) return ReportLibraries(verbose);
  return RunWindows(argc, argv);
}

int main(int argc, char **argv) {
  return RunProgram("morvane", [&] { return Main(argc, argv); });
}
