// morvane-convert: the converter on the command line.
//
// Converts files with one of the product's profiles, using the user's settings store exactly as
// the main window would (the profile's stored values, seeded with the profile's defaults the first
// time it is used), through the encoder component and the job builder.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/MainThread.h"
#include "platform/Paths.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegVCL.h"
#include "services/UnicodeProtocol.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/GlobalUnit.h"
#include "workspace/JobBuilder.h"
#include "workspace/ParameterPanel.h"
#include "workspace/SettingsStore.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> GInterrupted{false};

void OnInterrupt(int) {
  GInterrupted = true;
}

const char Usage[] =
    "Usage: morvane-convert [options] FILE...\n"
    "       morvane-convert --list-profiles\n"
    "       morvane-convert --info FILE\n"
    "\n"
    "Options:\n"
    "  --profile CODE|NAME   output profile (default: the one last chosen in the program)\n"
    "  --output-dir DIR      folder for the converted files (default: the stored output folder)\n"
    "  --start TIME          start of the part to convert (seconds or [hh:]mm:ss[.fff])\n"
    "  --length TIME         length of the part to convert\n"
    "  --crop T,L,B,R        crop margins in source pixels\n"
    "  --zoom MODE           full, lbox, pan or center\n"
    "  --set KEY=VALUE       a profile value for this run (paraVideoSize=640x480, ...)\n"
    "  --jobs N              files converted at the same time (default 1)\n"
    "  --threads N           codec threads per file (default 0: automatic)\n"
    "  --yes                 answer every question with its default without asking\n"
    "  --show-job            print the output values each file is converted with\n"
    "  --help                this text\n";

// A time as the libraries read durations: seconds ("12.5") or "[hh:]mm:ss[.fff]"; negative
// times are refused.
std::optional<int64_t> ParseTime(const std::string &text) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, text.c_str(), 1) < 0 || us < 0) return std::nullopt;
  return us;
}

std::string Clock2(int64_t us) {
  if (us < 0) return "--:--";
  const int64_t s = us / 1000000;
  char buf[32];
  if (s >= 3600)
    snprintf(buf, sizeof buf, "%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
  else
    snprintf(buf, sizeof buf, "%02d:%02d", int(s / 60), int(s % 60));
  return buf;
}

// "1.25x", or "-" while the speed is not known yet.
std::string SpeedText(double speed) {
  if (speed <= 0) return "-";
  char buf[32];
  snprintf(buf, sizeof buf, "%.2fx", speed);
  return buf;
}

// Questions on the terminal when there is one; otherwise the default answer with a notice.
class TTerminalQuestions : public IJobQuestions {
 public:
  explicit TTerminalQuestions(bool ask) : FAsk(ask) {}
  bool AskYesNo(const std::string &text, const std::string &) override {
    if (!FAsk) {
      std::fprintf(stderr, "%s -> Yes (default; no terminal to ask)\n", text.c_str());
      return true;
    }
    std::fprintf(stderr, "%s [Y/n] ", text.c_str());
    std::string answer;
    if (!std::getline(std::cin, answer)) return true;
    return answer.empty() || answer[0] == 'y' || answer[0] == 'Y';
  }
  void ShowMessage(const std::string &text, const std::string &caption) override {
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
  }

 private:
  bool FAsk;
};

struct TFileState {
  std::string Source;
  std::string Destination;
  int Task = -1;
  Clock::time_point Started{};
  bool Running = false;
  bool Done = false;
  bool Failed = false;
  int DecodeErrors = 0;  // of a file converted as far as its source could be read
  std::string Error;
  TProgressInfo Last{};
  int64_t FirstMedia = 0;  // output time at the first progress report
  Clock::time_point LastPrinted{};
};

// One progress line per running file: redrawn in place on a terminal, plain lines otherwise.
class TProgressDisplay {
 public:
  explicit TProgressDisplay(bool terminal) : FTerminal(terminal) {}

  void Update(std::vector<TFileState> &files) {
    if (FTerminal) {
      if (FLinesShown > 0) std::fprintf(stderr, "\033[%dA", FLinesShown);
      FLinesShown = 0;
      for (auto &f : files) {
        if (!f.Running) continue;
        std::fprintf(stderr, "\r\033[K%s\n", Line(f).c_str());
        ++FLinesShown;
      }
      std::fflush(stderr);
      return;
    }
    const auto now = Clock::now();
    for (auto &f : files) {
      if (!f.Running || now - f.LastPrinted < std::chrono::seconds(2)) continue;
      f.LastPrinted = now;
      std::fprintf(stderr, "%s\n", Line(f).c_str());
    }
  }

  // Prints a line above the progress lines (a file that ended).
  void Note(const std::string &text) {
    if (FTerminal && FLinesShown > 0) {
      std::fprintf(stderr, "\033[%dA\033[J", FLinesShown);
      FLinesShown = 0;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
  }

 private:
  static std::string Line(const TFileState &f) {
    const TProgressInfo &p = f.Last;
    // Speed over the reports seen so far: the first report comes only after a report period.
    const double elapsed = std::chrono::duration<double>(Clock::now() - f.Started).count();
    const double done = (p.CurrentDuration - f.FirstMedia) / 1e6;
    const double speed = elapsed > 0.4 ? done / elapsed : 0;
    char buf[512];
    if (p.MovingIndex) {
      snprintf(buf, sizeof buf, "moving the index to the start  %s",
               fs::path(f.Source).filename().c_str());
    } else if (p.TotalDuration > 0) {
      const double fraction = std::min(1.0, double(p.CurrentDuration) / p.TotalDuration);
      const int64_t left =
          speed > 0 ? int64_t((p.TotalDuration - p.CurrentDuration) / speed) : int64_t(-1);
      snprintf(buf, sizeof buf, "%5.1f%%  %4d fps  %6s  ETA %s  %s", fraction * 100,
               std::max(p.FPS, 0), SpeedText(speed).c_str(), Clock2(left).c_str(),
               fs::path(f.Source).filename().c_str());
    } else {
      snprintf(buf, sizeof buf, "%s  %4d fps  %6s  %s", Clock2(p.CurrentDuration).c_str(),
               std::max(p.FPS, 0), SpeedText(speed).c_str(), fs::path(f.Source).filename().c_str());
    }
    return buf;
  }

  bool FTerminal;
  int FLinesShown = 0;
};

struct TArguments {
  bool ListProfiles = false;
  std::string Info;
  std::string Profile;
  std::string OutputDir;
  std::string StartText, LengthText;
  std::optional<int64_t> Start, Length;
  std::optional<std::array<int, 4>> Crop;
  std::string Zoom;
  std::vector<std::pair<std::string, std::string>> Sets;
  int Jobs = 1;
  int Threads = 0;
  bool Yes = false;
  bool ShowJob = false;
  std::vector<std::string> Files;
};

[[noreturn]] void Fail(const std::string &text) {
  std::fprintf(stderr, "morvane-convert: %s\n", text.c_str());
  std::exit(2);
}

TArguments ParseArguments(int argc, char **argv) {
  TArguments a;
  auto value = [&](int &i) -> std::string {
    if (i + 1 >= argc) Fail(std::string(argv[i]) + " needs a value");
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      std::exit(0);
    } else if (arg == "--list-profiles") {
      a.ListProfiles = true;
    } else if (arg == "--info") {
      a.Info = value(i);
    } else if (arg == "--profile") {
      a.Profile = value(i);
    } else if (arg == "--output-dir") {
      a.OutputDir = value(i);
    } else if (arg == "--start" || arg == "--length") {
      (arg == "--start" ? a.StartText : a.LengthText) = value(i);  // read once libraries load
    } else if (arg == "--crop") {
      std::array<int, 4> c{};
      const std::string text = value(i);
      if (std::sscanf(text.c_str(), "%d,%d,%d,%d", &c[0], &c[1], &c[2], &c[3]) != 4 || c[0] < 0 ||
          c[1] < 0 || c[2] < 0 || c[3] < 0)
        Fail("--crop wants four margins T,L,B,R: " + text);
      a.Crop = c;
    } else if (arg == "--zoom") {
      a.Zoom = value(i);
      if (a.Zoom != "full" && a.Zoom != "lbox" && a.Zoom != "pan" && a.Zoom != "center")
        Fail("--zoom wants full, lbox, pan or center");
    } else if (arg == "--set") {
      const std::string text = value(i);
      const auto eq = text.find('=');
      if (eq == std::string::npos || eq == 0) Fail("--set wants KEY=VALUE: " + text);
      a.Sets.emplace_back(text.substr(0, eq), text.substr(eq + 1));
    } else if (arg == "--jobs" || arg == "--threads") {
      const std::string text = value(i);
      char *end = nullptr;
      const long n = std::strtol(text.c_str(), &end, 10);
      if (*end || n < (arg == "--jobs" ? 1 : 0) || n > 64) Fail("invalid " + arg + ": " + text);
      (arg == "--jobs" ? a.Jobs : a.Threads) = static_cast<int>(n);
    } else if (arg == "--show-job") {
      a.ShowJob = true;
    } else if (arg == "--yes" || arg == "-y") {
      a.Yes = true;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      Fail("unknown option " + arg + " (see --help)");
    } else {
      a.Files.push_back(arg);
    }
  }
  return a;
}

int ResolveProfile(const std::string &text, const TSettingsStore &store) {
  if (text.empty()) return store.FormatCode();
  char *end = nullptr;
  const long code = std::strtol(text.c_str(), &end, 10);
  if (*end == '\0' && !TFormatCatalogue::ProfileName(static_cast<int>(code)).empty())
    return static_cast<int>(code);
  if (const auto byName = TFormatCatalogue::CodeOfName(text)) return *byName;
  Fail("unknown profile '" + text + "' (see --list-profiles)");
}

void ListProfiles() {
  for (int code : TFormatCatalogue::AllCodes())
    std::printf("%5d  %-28s %s\n", code, TFormatCatalogue::CategoryName(code / 100).c_str(),
                TFormatCatalogue::ProfileName(code).c_str());
}

// A stopped or failed conversion may leave a readable but partial file: give it a name that
// does not claim to be the finished conversion.
void SetAsidePartial(TFileState &f, TProgressDisplay &display) {
  std::error_code ec;
  if (f.Destination.empty() || !fs::exists(f.Destination, ec)) return;
  const std::string partial = f.Destination + ".part";
  fs::rename(f.Destination, partial, ec);
  if (!ec) display.Note("  partial output kept as " + partial);
}

class TConvertCommand {
 public:
  TConvertCommand(const TArguments &args, TFFmpegVCL &vcl) : FArgs(args), FVcl(vcl) {}

  int Run() {
    TGlobalObject global;
    TSettingsStore userStore(global.SettingsIniPath());
    TFormatCatalogue catalogue(global.FormatIniPath());
    TTerminalQuestions questions(!FArgs.Yes && isatty(STDIN_FILENO));

    const int code = ResolveProfile(FArgs.Profile, userStore);
    if (!catalogue.HasSection(code))
      Fail("the format INI " + catalogue.FormatIniPath() + " has no section for profile " +
           std::to_string(code));
    // A profile used for the first time gets its defaults in the user's store, as in the window.
    TParameterPanel(catalogue, userStore, questions).EnsureSeeded(code);

    // This run's values go into a private copy of the store, so the user's stays as it was.
    FRunStore =
        fs::temp_directory_path() / ("morvane-convert-" + std::to_string(getpid()) + ".ini");
    std::error_code ec;
    fs::copy_file(userStore.Path(), FRunStore, fs::copy_options::overwrite_existing, ec);
    TSettingsStore store(FRunStore);
    store.SetFormatCode(code);
    if (!FArgs.OutputDir.empty()) store.SetOutPutDir(FArgs.OutputDir);
    if (!FArgs.Zoom.empty()) store.WriteProfile(code, profilekeys::paraZoom, FArgs.Zoom);
    for (const auto &[key, value] : FArgs.Sets) store.WriteProfile(code, key, value);

    std::printf("Profile %d: %s -> %s\n", code, TFormatCatalogue::ProfileName(code).c_str(),
                store.OutPutDir().c_str());
    const int failedSetup = AddTasks(catalogue, store, questions);
    const int failedRuns = RunTasks();
    fs::remove(FRunStore, ec);

    int converted = 0, damaged = 0;
    for (const auto &f : FFiles) {
      converted += f.Done && !f.Failed;
      damaged += f.Done && !f.Failed && f.DecodeErrors > 0;
    }
    std::printf("%d converted, %d failed", converted, failedSetup + failedRuns);
    if (damaged > 0) std::printf(", %d with decode errors (warning)", damaged);
    std::printf("\n");
    if (GInterrupted) return 130;
    return failedSetup + failedRuns > 0 ? 1 : 0;
  }

 private:
  TSourceInfo Probe(const std::string &file) {
    TSourceInfo source;
    source.FileName = UTF8ToWide(file);
    TAVProbe &probe = FVcl.Probe();
    if (!probe.LoadFile(source.FileName)) return source;
    source.ForceFormat = probe.ForceFormat();
    source.VideoStreamCount = probe.VideoStreamCount();
    if (source.VideoStreamCount > 0) {
      TVideoStreamInfo v;
      probe.GetVideoStreamInfo(-1, v);
      source.Width = v.Width;
      source.Height = v.Height;
      source.VideoBitRate = v.BitRate > 0 ? v.BitRate : 0;
      if (v.DisplayAspectRatio > 0 && v.Width > 0 && v.Height > 0)
        source.SampleAspect = v.DisplayAspectRatio * v.Height / v.Width;
      if (v.FrameRateNum > 0 && v.FrameRateDen > 0)
        source.FrameRate = static_cast<double>(v.FrameRateNum) / v.FrameRateDen;
      if (v.Rotation > 0) source.Rotation = v.Rotation;
    }
    probe.CloseFile();
    return source;
  }

  int AddTasks(const TFormatCatalogue &catalogue, TSettingsStore &store,
               TTerminalQuestions &questions) {
    TJobBuilder builder(catalogue, store, questions);
    builder.BeginBatch();
    int failed = 0;
    for (const std::string &file : FArgs.Files) {
      TFileState state;
      state.Source = file;
      try {
        TlvFilesRecord record;
        record.SourceFile = file;
        record.TrimStart = FArgs.Start.value_or(0);
        record.TrimLength = FArgs.Length.value_or(0);
        if (FArgs.Crop) {
          record.CropTop = (*FArgs.Crop)[0];
          record.CropLeft = (*FArgs.Crop)[1];
          record.CropBottom = (*FArgs.Crop)[2];
          record.CropRight = (*FArgs.Crop)[3];
        }
        TJob job = builder.BuildJob(UTF8ToWide(file), record, Probe(file));
        state.Destination = job.Destination.string();
        if (FArgs.ShowJob) ShowJob(file, job);
        state.Task = FVcl.AddTask(UTF8ToWide(file), &job.Input);
        if (state.Task < 0) throw std::runtime_error(FVcl.LastErrMsg());
        if (!FVcl.SetOutputFile(state.Task, job.Output.FileName, &job.Output)) {
          const std::string error = FVcl.LastErrMsg();
          FVcl.RemoveTask(state.Task);
          state.Task = -1;
          throw std::runtime_error(error);
        }
      } catch (const std::exception &e) {
        state.Failed = true;
        state.Error = e.what();
        ++failed;
        const std::string error = e.what();
        if (error.rfind(file, 0) == 0)
          std::fprintf(stderr, "%s\n", error.c_str());
        else
          std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
      }
      FFiles.push_back(state);
    }
    // Task indexes shift down when a task is removed: number them again from the list.
    int index = 0;
    for (auto &f : FFiles)
      if (f.Task >= 0) f.Task = index++;
    return failed;
  }

  static void ShowJob(const std::string &file, const TJob &job) {
    static const char *const Targets[] = {"", "vcd", "svcd", "dvd"};
    const TOutputOptions &o = job.Output;
    std::printf("job: file=%s\njob: destination=%s\njob: format=%s\n", file.c_str(),
                job.Destination.c_str(), o.FileFormat.c_str());
    std::printf("job: target=%s\njob: vn=%d\njob: vcodec=%s\njob: size=%s\njob: rate=%s\n",
                o.TargetType >= 1 && o.TargetType <= 3 ? Targets[o.TargetType] : "",
                o.DisableVideo ? 1 : 0, o.VideoCodec.c_str(), o.FrameSize.c_str(),
                o.FrameRate.c_str());
    std::printf("job: an=%d\njob: acodec=%s\njob: ar=%d\njob: ac=%d\njob: vf=%s\n",
                o.DisableAudio ? 1 : 0, o.AudioCodec.c_str(), o.AudioSampleRate, o.AudioChannels,
                o.VideoFilters.c_str());
    std::printf("job: vb=%d\n", o.VideoBitrate);
    std::fflush(stdout);
  }

  TFileState *FileOfTask(int task) {
    for (auto &f : FFiles)
      if (f.Task == task) return &f;
    return nullptr;
  }

  int RunTasks() {
    if (FVcl.TaskCount() == 0) return 0;
    TQueueDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    TProgressDisplay display(isatty(STDERR_FILENO));
    std::atomic<bool> finished{false};
    int failed = 0;

    FVcl.SetProgressInterval(500);
    FVcl.SetOnProgress([&](TCustomFFmpegVCL *, PProgressInfo info) {
      if (TFileState *f = FileOfTask(info->TaskIndex)) {
        if (!f->Running) {
          f->Started = Clock::now();
          f->FirstMedia = info->CurrentDuration;
        }
        f->Running = true;
        f->Last = *info;
      }
      display.Update(FFiles);
    });
    FVcl.SetOnTerminate([&](TCustomFFmpegVCL *, const TTerminateInfo &info) {
      // Delivered on a thread of its own: the bookkeeping is done on the main thread.
      RunInMainThread([&, info] {
        if (info.TaskIndex < 0) {
          finished = true;
          return;
        }
        TFileState *f = FileOfTask(info.TaskIndex);
        if (!f) return;
        f->Running = false;
        f->Done = true;
        if (info.Exception || !info.Finished) {
          f->Failed = true;
          ++failed;
          f->Error = info.Exception ? info.ExceptionMsg : "stopped";
          display.Note(f->Source + ": " + f->Error);
          SetAsidePartial(*f, display);
        } else if (info.DecodeErrors > 0) {
          f->DecodeErrors = info.DecodeErrors;
          display.Note(f->Source + " -> " + f->Destination +
                       " (warning: " + std::to_string(info.DecodeErrors) +
                       (info.DecodeErrors == 1 ? " decode error" : " decode errors") +
                       ", the source is damaged or cut short)");
        } else {
          display.Note(f->Source + " -> " + f->Destination);
        }
      });
    });

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    FVcl.StartTask(FArgs.Jobs);
    bool stopping = false;
    while (!finished) {
      dispatcher.ProcessPending(std::chrono::milliseconds(50));
      if (GInterrupted && !stopping) {
        stopping = true;
        display.Note("Stopping...");
        FVcl.StopTask(true);
      }
    }
    dispatcher.ProcessPending(std::chrono::milliseconds(0));
    FVcl.ClearTasks();
    SetMainThreadDispatcher(nullptr);
    return failed;
  }

  const TArguments &FArgs;
  TFFmpegVCL &FVcl;
  fs::path FRunStore;
  std::vector<TFileState> FFiles;
};

}  // namespace

int main(int argc, char **argv) {
  setlocale(LC_ALL, "");
  setvbuf(stdout, nullptr, _IOLBF, 0);  // results and progress lines keep their order
  InitFloatingPoint();
  TArguments args = ParseArguments(argc, argv);
  if (args.ListProfiles) {
    ListProfiles();
    return 0;
  }
  TFFmpegVCL vcl;
  vcl.SetCodecThreads(args.Threads);
  if (!vcl.LoadAVLib(paths::LibAVFolder().string())) {
    std::fprintf(stderr, "morvane-convert: %s\n", vcl.LastErrMsg().c_str());
    return 1;
  }
  for (auto [text, time, name] : {std::tuple{&args.StartText, &args.Start, "--start"},
                                  std::tuple{&args.LengthText, &args.Length, "--length"}}) {
    if (text->empty()) continue;
    *time = ParseTime(*text);
    if (!*time) Fail(std::string("invalid time for ") + name + ": " + *text);
  }
  if (!args.Info.empty()) {
    if (!vcl.Probe().LoadFile(UTF8ToWide(args.Info))) {
      std::fprintf(stderr, "%s\n", vcl.Probe().LastErrMsg().c_str());
      return 1;
    }
    std::fputs(vcl.Probe().FileInfoText().c_str(), stdout);
    return 0;
  }
  if (args.Files.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  return TConvertCommand(args, vcl).Run();
}
