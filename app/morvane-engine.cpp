// morvane-engine: the transcoding engine from the command line, for scripts, benchmarks and tests.
//
//   morvane-engine [options] -i INPUT ... [options] [-join] OUTPUT ...
//
// Options are given to the engine as they come, so the options before an "-i" configure that
// input and the options before an output name configure that output, as with the ffmpeg tool.
// "-join" concatenates the inputs into the next output.  The engine's status line and messages go
// to stderr; the exit status is 0 only when the conversion ran to its end without an error.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ProgramInfo.h"
#include "engine/CommandLine.h"
#include "engine/FFmpeg.h"
#include "platform/Paths.h"
#include "platform/ProgramMain.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/UnicodeProtocol.h"

namespace {

std::atomic<bool> GInterrupted{false};

void OnSignal(int) {
  GInterrupted = true;
}

bool IsStatusLine(const std::string &line) {
  return line.rfind("frame=", 0) == 0 || line.rfind("size=", 0) == 0;
}

void InstallLogPrinter() {
  TFFLogger &logger = FFLogger();
  logger.SetTriggerEventInMainThread(false);
  static const bool tty = isatty(STDERR_FILENO);
  logger.SetOnLog([](const void *, uint32_t, TLogLevel, const std::string &msg) {
    std::string line = msg;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // A failure is logged where it happens and again as the text that ended the run: a reader
    // of the terminal needs it once.
    static std::mutex lock;
    static std::string previous;
    std::lock_guard guard(lock);
    if (line == previous && !IsStatusLine(line)) return;
    previous = line;
    const char end = tty && IsStatusLine(line) ? '\r' : '\n';
    std::fprintf(stderr, "%s%c", line.c_str(), end);
  });
}

const char Help[] =
    "Usage: morvane-engine [options] -i INPUT ... [options] [-join] OUTPUT ...\n"
    "\n"
    "The transcoding engine with the option vocabulary of the ffmpeg tool. Options before an\n"
    "-i configure that input, options before an output name configure that output.\n"
    "\n"
    "Options of its own:\n"
    "  -join          concatenate every input into the next output\n"
    "  -threads N     codec threads (0: automatic)\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "Exit status: 0 when the conversion ran to its end without an error, 1 otherwise.\n";

int Usage() {
  std::fputs(Help, stderr);
  return 1;
}

}  // namespace

static int Main(int argc, char **argv) {
  if (argc < 2) return Usage();
  if (argc == 2 && AnswerHelpOrVersion(argv[1], "morvane-engine", Help)) return 0;
  InitFloatingPoint();
  InstallLogPrinter();
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(paths::LibAVFolder().string());
  if (!loader.LoadLibs(EncoderLibs)) {
    std::fprintf(stderr, "%s\n", loader.LastErrMsg().c_str());
    return 1;
  }
  TCustomFFmpeg engine;
  engine.Reset();
  try {
    std::string error;
    if (!ApplyCommandLine(engine, std::vector<std::string>(argv + 1, argv + argc),
                          EngineFiles(engine), error)) {
      if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::atomic<bool> done{false};
  engine.SetTerminateCallback([&done](TCustomFFmpeg *) { done = true; });
  if (TConvertThread *worker = engine.StartConvert(true)) worker->Resume();
  while (!done) {
    if (GInterrupted) engine.StopConvert(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  engine.StopConvert(true);
  if (engine.ErrorOccurred()) return 1;
  return engine.RanToEnd() ? 0 : 1;
}

int main(int argc, char **argv) {
  return RunProgram("morvane-engine", [&] { return Main(argc, argv); });
}
