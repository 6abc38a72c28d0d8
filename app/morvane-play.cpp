// morvane-play: a small player window on the player component, for trying playback by hand.
//
//   morvane-play [--once] [--window X11-WINDOW-ID] FILE
//
// Space pauses and resumes, the left and right arrows seek by 10 seconds, q quits; with --once the
// program quits when the file has been played to its end.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>

#include "app/ProgramInfo.h"
#include "platform/MainThread.h"
#include "platform/Paths.h"
#include "platform/ProgramMain.h"
#include "player/FFPlay.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"

namespace {

const char Help[] =
    "Usage: morvane-play [--once] [--window X11-WINDOW-ID] FILE\n"
    "\n"
    "Plays FILE with sound in a window. Space pauses and resumes, the left and right arrows\n"
    "seek by 10 seconds, q quits.\n"
    "\n"
    "Options:\n"
    "  --once              quit when the file has been played to its end\n"
    "  --window ID         draw into this X11 window instead of a window of its own\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\n"
    "Exit status: 0 after playing, 1 when the libraries or the file could not be opened,\n"
    "2 for a wrong command line.\n";

int WrongCommandLine(const std::string &why) {
  std::fprintf(stderr, "morvane-play: %s (see --help)\n", why.c_str());
  return 2;
}

const char *StateName(TPlayState state) {
  static const char *const names[] = {"play", "pause", "resume", "step", "stop", "end"};
  return names[static_cast<int>(state)];
}

// Keys arrive on the player's play thread; the main loop acts on them.
class TKeyQueue {
 public:
  void Push(int key) {
    std::lock_guard lock(FLock);
    FKeys.push_back(key);
  }
  bool Pop(int &key) {
    std::lock_guard lock(FLock);
    if (FKeys.empty()) return false;
    key = FKeys.front();
    FKeys.pop_front();
    return true;
  }

 private:
  std::mutex FLock;
  std::deque<int> FKeys;
};

}  // namespace

static int Main(int argc, char **argv) {
  bool once = false;
  uintptr_t window = 0;  // draw into this X11 window instead of a window of our own
  const char *file = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (AnswerHelpOrVersion(arg, "morvane-play", Help)) return 0;
    if (arg == "--once") {
      once = true;
    } else if (arg == "--window") {
      if (i + 1 >= argc) return WrongCommandLine("--window needs a window id");
      char *end = nullptr;
      window = std::strtoull(argv[++i], &end, 0);
      if (*end || window == 0) return WrongCommandLine(std::string("not a window id: ") + argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return WrongCommandLine("unknown option " + arg);
    } else if (file) {
      return WrongCommandLine("one file at a time");
    } else {
      file = argv[i];
    }
  }
  if (!file) return WrongCommandLine("no file to play");
  InitFloatingPoint();
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);

  TKeyQueue keys;
  bool quit = false;
  {
    TFFPlayer player;
    if (!player.AVLibLoaded() && !player.LoadAVLib(UTF8ToWide(paths::LibAVFolder().string())) &&
        !player.LoadAVLib(L"")) {
      std::fprintf(stderr, "%s\n", player.LastErrMsg().c_str());
      return 1;
    }
    player.OnFileOpen = [](TCustomPlayer *, int64_t duration, int width, int height, int &, int &) {
      std::printf("opened: duration %lld us, frame %dx%d\n", static_cast<long long>(duration),
                  width, height);
    };
    player.OnState = [&](TCustomPlayer *, TPlayState state) {
      std::printf("state: %s\n", StateName(state));
      std::fflush(stdout);
      if (state == TPlayState::psStop || (once && state == TPlayState::psEnd)) quit = true;
    };
    player.OnKeyDown = [&](TCustomPlayer *, int key) { keys.Push(key); };

    if (!player.Open(UTF8ToWide(file), window)) {
      std::fprintf(stderr, "%s\n", player.LastErrMsg().c_str());
      SetMainThreadDispatcher(nullptr);
      return 1;
    }
    while (!quit) {
      dispatcher.ProcessPending(std::chrono::milliseconds(20));
      int key;
      while (keys.Pop(key)) {
        if (key == SDLK_SPACE)
          player.IsPaused() ? player.Resume() : player.Pause();
        else if (key == SDLK_LEFT || key == SDLK_RIGHT)
          player.SeekRelative(0, false, key == SDLK_LEFT ? -10.0 : 10.0);
        else if (key == SDLK_q || key == SDLK_ESCAPE)
          quit = true;
      }
    }
    player.Stop(true);
  }
  SetMainThreadDispatcher(nullptr);
  return 0;
}

int main(int argc, char **argv) {
  return RunProgram("morvane-play", [&] { return Main(argc, argv); });
}
