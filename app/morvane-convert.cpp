// morvane-convert: the converter on the command line.
//
// Converts files with one of the product's profiles, using the user's settings store exactly as
// the main window would (the profile's stored values, seeded with the profile's defaults the first
// time it is used), through the batch runner the main window's Start uses.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/ProgramInfo.h"
#include "editors/decoration/ConversionDecoration.h"
#include "editors/decoration/DecorationOptions.h"
#include "editors/decoration/OffscreenGui.h"
#include "platform/MainThread.h"
#include "platform/Paths.h"
#include "platform/ProgramMain.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"
#include "services/component/FFmpegVCL.h"
#include "workspace/BatchRunner.h"
#include "workspace/DestinationName.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/GlobalUnit.h"
#include "workspace/JobBuilder.h"
#include "workspace/OutputFile.h"
#include "workspace/ParameterPanel.h"
#include "workspace/SafeFileWriter.h"
#include "workspace/SettingsStore.h"
#include "workspace/SourceFile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> GInterrupted{false};

void OnInterrupt(int) {
  GInterrupted = true;
}

const char UsageHead[] =
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
    "  --help                this text\n"
    "  --version             the program's version\n"
    "\n";
const char UsageTail[] =
    "\n"
    "Exit status: 0 when every file was converted, 1 when a file failed or the libraries\n"
    "could not be loaded, 2 for a wrong command line or profile, 130 when stopped by Ctrl-C.\n";

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

// What the progress line knows of one running file.
struct TFileState {
  std::string Source;
  bool Running = false;
  TProgressInfo Last{};
  // The first report seen: speed and frame rate are measured from it, since the engine's own
  // frame rate stays 0 for the first second.
  Clock::time_point FirstSeen{};
  int64_t FirstMedia = 0;
  int FirstFrame = 0;
  Clock::time_point LastPrinted{};
};

// Speed (media seconds per second), frames per second and time left of a running file, each
// known only once there is something to measure (-1 before).
struct TRates {
  double Speed = -1;
  double FPS = -1;
  int64_t Left = -1;  // µs

  static TRates Of(const TFileState &f, Clock::time_point now) {
    TRates r;
    const TProgressInfo &p = f.Last;
    const double elapsed = std::chrono::duration<double>(now - f.FirstSeen).count();
    if (elapsed >= 0.4 && p.CurrentDuration > f.FirstMedia) {
      r.Speed = (p.CurrentDuration - f.FirstMedia) / 1e6 / elapsed;
      if (p.FrameNumber > f.FirstFrame) r.FPS = (p.FrameNumber - f.FirstFrame) / elapsed;
    }
    if (r.FPS < 0 && p.FPS > 0) r.FPS = p.FPS;
    if (r.Speed > 0 && p.TotalDuration > 0)
      r.Left = std::max<int64_t>(0, int64_t((p.TotalDuration - p.CurrentDuration) / r.Speed));
    return r;
  }
};

// One progress line per running file: redrawn in place on a terminal, plain lines otherwise.
class TProgressDisplay {
 public:
  explicit TProgressDisplay(bool terminal) : FTerminal(terminal) {}

  void Update(std::map<int, TFileState> &files) {
    if (FTerminal) {
      if (FLinesShown > 0) std::fprintf(stderr, "\033[%dA", FLinesShown);
      FLinesShown = 0;
      for (auto &[row, f] : files) {
        if (!f.Running) continue;
        std::fprintf(stderr, "\r\033[K%s\n", Line(f).c_str());
        ++FLinesShown;
      }
      std::fflush(stderr);
      return;
    }
    const auto now = Clock::now();
    for (auto &[row, f] : files) {
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
  // "  42.0%  310 fps  12.40x  ETA 00:03  clip.mp4"; a value not known yet is left out.
  static std::string Line(const TFileState &f) {
    const TProgressInfo &p = f.Last;
    const TRates rates = TRates::Of(f, Clock::now());
    char buf[512];
    if (p.MovingIndex)
      return "moving the index to the start  " + fs::path(f.Source).filename().string();
    std::string line;
    if (p.TotalDuration > 0) {
      snprintf(buf, sizeof buf, "%5.1f%%",
               std::min(1.0, double(p.CurrentDuration) / p.TotalDuration) * 100);
      line = buf;
    } else {
      line = Clock2(p.CurrentDuration);
    }
    if (rates.FPS > 0) {
      snprintf(buf, sizeof buf, "  %4.0f fps", rates.FPS);
      line += buf;
    }
    if (rates.Speed > 0) line += "  " + SpeedText(rates.Speed);
    if (rates.Left >= 0) line += "  ETA " + Clock2(rates.Left);
    return line + "  " + fs::path(f.Source).filename().string();
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
  TDecorationOptions Decoration;
  bool NeedsGui = false;  // a text to draw or a picture to read
  std::vector<std::string> Files;
};

std::string Usage() {
  return std::string(UsageHead) + TDecorationOptions::HelpText + UsageTail;
}

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
    if (AnswerHelpOrVersion(arg, "morvane-convert", Usage().c_str())) {
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
    } else if (TDecorationOptions::Handles(arg)) {
      const std::string error =
          a.Decoration.Set(arg, TDecorationOptions::TakesValue(arg) ? value(i) : std::string());
      if (!error.empty()) Fail(error);
      a.NeedsGui |= arg == "--text" || arg == "--image";
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
  if (const std::string error = a.Decoration.Check(); !error.empty()) Fail(error);
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

// A private folder for this run's copy of the settings store, removed with what is in it: made
// with a name nobody can guess or take first, readable by the user only.
class TPrivateFolder {
 public:
  TPrivateFolder() {
    std::string pattern = (fs::temp_directory_path() / "morvane-convert-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::fprintf(stderr, "morvane-convert: cannot make a private folder in %s: %s\n",
                   fs::temp_directory_path().c_str(), std::strerror(errno));
      std::exit(1);
    }
    FPath = pattern;
  }
  ~TPrivateFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
  }
  TPrivateFolder(const TPrivateFolder &) = delete;
  TPrivateFolder &operator=(const TPrivateFolder &) = delete;
  const fs::path &Path() const { return FPath; }

 private:
  fs::path FPath;
};

// The batch on the terminal: the job of each file (--show-job), one progress line per running
// file, a line for each file that ended and the count at the end.
class TConsoleBatch : public IBatchObserver {
 public:
  TConsoleBatch(const std::vector<TBatchRow> &rows, bool showJob)
      : FRows(rows), FShowJob(showJob), FDisplay(isatty(STDERR_FILENO)) {}

  bool Ended() const { return FEnded; }
  // The files counted as they ended (a batch whose files were all refused has no end event).
  const TBatchSummary &Summary() const { return FSummary; }
  // Files converted as far as their source could be read.
  int Damaged() const { return FDamaged; }
  void Note(const std::string &text) { FDisplay.Note(text); }

  void RowJobBuilt(int, const TJob &job) override {
    if (FShowJob) ShowJob(job);
  }

  void RowProgress(const TRowProgress &p) override {
    TFileState &f = FFiles[p.Row];
    if (!f.Running) {
      f.Source = FRows[p.Row].SourceFile;
      f.Running = true;
      f.FirstSeen = Clock::now();
      f.FirstMedia = p.Info.CurrentDuration;
      f.FirstFrame = p.Info.FrameNumber;
    }
    f.Last = p.Info;
    FDisplay.Update(FFiles);
  }

  void RowEnded(const TRowResult &r) override {
    FFiles.erase(r.Row);
    ++(r.Outcome == TRowOutcome::Finished  ? FSummary.Finished
       : r.Outcome == TRowOutcome::Failed  ? FSummary.Failed
       : r.Outcome == TRowOutcome::Stopped ? FSummary.Stopped
                                           : FSummary.Refused);
    const std::string &file = FRows[r.Row].SourceFile;
    switch (r.Outcome) {
      case TRowOutcome::Finished:
        if (r.DecodeErrors > 0) {
          ++FDamaged;
          FDisplay.Note(file + " -> " + r.Destination.string() + " (" +
                        DecodeErrorWarning(r.DecodeErrors) + ")");
        } else {
          FDisplay.Note(file + " -> " + r.Destination.string());
        }
        break;
      case TRowOutcome::Refused:
        // The engine's texts often start with the file's name already (or with the name as it
        // can be shown, when it is not UTF-8).
        std::fprintf(
            stderr, "%s\n",
            (r.Reason.rfind(file, 0) == 0 || r.Reason.rfind(PrintableFileName(file), 0) == 0
                 ? r.Reason
                 : file + ": " + r.Reason)
                .c_str());
        break;
      case TRowOutcome::Failed:
      case TRowOutcome::Stopped:
        FDisplay.Note(file + ": " + (r.Outcome == TRowOutcome::Failed ? r.Reason : "stopped"));
        if (!r.PartialFile.empty())
          FDisplay.Note("  partial output kept as " + r.PartialFile.string());
        break;
    }
  }

  void BatchEnded(const TBatchSummary &) override { FEnded = true; }

 private:
  static void ShowJob(const TJob &job) {
    static const char *const Targets[] = {"", "vcd", "svcd", "dvd"};
    const TOutputOptions &o = job.Output;
    std::printf("job: file=%s\njob: destination=%s\njob: format=%s\n",
                WideToUTF8(job.Input.FileName).c_str(), job.Destination.c_str(),
                o.FileFormat.c_str());
    std::printf("job: target=%s\njob: vn=%d\njob: vcodec=%s\njob: size=%s\njob: rate=%s\n",
                o.TargetType >= 1 && o.TargetType <= 3 ? Targets[o.TargetType] : "",
                o.DisableVideo ? 1 : 0, o.VideoCodec.c_str(), o.FrameSize.c_str(),
                o.FrameRate.c_str());
    std::printf("job: an=%d\njob: acodec=%s\njob: ar=%d\njob: ac=%d\njob: vf=%s\n",
                o.DisableAudio ? 1 : 0, o.AudioCodec.c_str(), o.AudioSampleRate, o.AudioChannels,
                o.VideoFilters.c_str());
    std::printf("job: vb=%d\n", o.VideoBitrate);
    std::printf("job: maxrate=%d\njob: minrate=%d\njob: bufsize=%d\n", o.VideoMaxRate,
                o.VideoMinRate, o.VideoBufSize);
    std::fflush(stdout);
  }

  const std::vector<TBatchRow> &FRows;
  bool FShowJob;
  TProgressDisplay FDisplay;
  std::map<int, TFileState> FFiles;  // by row, while running
  TBatchSummary FSummary;
  int FDamaged = 0;
  bool FEnded = false;
};

class TConvertCommand {
 public:
  TConvertCommand(const TArguments &args, TFFmpegVCL &vcl) : FArgs(args), FVcl(vcl) {}

  int Run() {
    // A settings store that is damaged, read-only or cannot be saved is said once; the run goes
    // on with what it can read.
    SetStoreNoticeHandler([](const std::string &text) {
      std::fprintf(stderr, "morvane-convert: %s\n", text.c_str());
    });
    TGlobalObject global;
    TSettingsStore userStore(global.SettingsIniPath());
    TFormatCatalogue catalogue(global.FormatIniPath());
    TTerminalQuestions questions(!FArgs.Yes && isatty(STDIN_FILENO));

    const int code = ResolveProfile(FArgs.Profile, userStore);
    if (!catalogue.HasSection(code))
      Fail("the format INI " + catalogue.FormatIniPath() + " has no section for profile " +
           std::to_string(code));
    // A profile used for the first time gets its defaults in the user's store, as in the window.
    // A damaged default of the format INI is reported; the batch goes on with the values that
    // could be read, and the run ends as failed.
    int failedProfile = 0;
    try {
      TParameterPanel(catalogue, userStore, questions).EnsureSeeded(code);
    } catch (const EProfileValueError &e) {
      std::fprintf(stderr, "morvane-convert: %s\n", e.what());
      failedProfile = 1;
    }

    // This run's values go into a private copy of the store, so the user's stays as it was.
    TPrivateFolder folder;
    // The copy is of the store as this run sees it: with the values it could not save (a full
    // disk, a read-only store), and without a damaged file that was set aside.
    const fs::path runStore = folder.Path() / SettingsIniName;
    try {
      ReplaceFileContents(runStore, userStore.Text());
    } catch (const std::exception &e) {
      std::fprintf(stderr, "morvane-convert: cannot copy the settings store %s: %s\n",
                   userStore.Path().c_str(), e.what());
      return 1;
    }
    TSettingsStore store(runStore);
    {
      const TStoreEdit edit(store);  // this run's values in one save
      store.SetFormatCode(code);
      // A folder named on the command line is the one the user wants: no other takes its place.
      if (!FArgs.OutputDir.empty()) {
        if (const std::string why = PrepareOutputFolder(FArgs.OutputDir); !why.empty()) {
          std::fprintf(stderr, "morvane-convert: cannot write into the output folder %s: %s\n",
                       FArgs.OutputDir.c_str(), why.c_str());
          return 1;
        }
        store.SetOutPutDir(FArgs.OutputDir);
      }
      if (!FArgs.Zoom.empty()) store.WriteProfile(code, profilekeys::paraZoom, FArgs.Zoom);
      for (const auto &[key, value] : FArgs.Sets) store.WriteProfile(code, key, value);
    }

    std::printf("Profile %d: %s -> %s\n", code, TFormatCatalogue::ProfileName(code).c_str(),
                store.OutPutDir().c_str());
    // What a killed run left under a working name in this folder goes now.
    for (const fs::path &left : RemoveAbandonedWorkingFiles(store.OutPutDir()))
      std::fprintf(stderr, "%s\n", AbandonedWorkingFileNote(left).c_str());
    MakeRows();
    TConsoleBatch console(FRows, FArgs.ShowJob);
    RunBatch(catalogue, store, questions, console);
    const TBatchSummary &summary = console.Summary();
    const int failed = summary.Failed + summary.Stopped + summary.Refused;
    std::printf("%d converted, %d failed", summary.Finished, failed);
    if (console.Damaged() > 0) std::printf(", %d with decode errors (warning)", console.Damaged());
    std::printf("\n");
    if (GInterrupted) return 130;
    return failedProfile + failed > 0 ? 1 : 0;
  }

 private:
  // The size of the source's decoded frames, on which the watermark positions are reckoned as
  // the editor reckons them (0 x 0 when the file cannot be read: its row is refused anyway).
  std::pair<int, int> FrameSize(const std::string &file) {
    TAVProbe &probe = FVcl.Probe();
    std::pair<int, int> size{0, 0};
    // A pipe or a device is refused by the batch; opening it here would wait for ever.
    if (!SourceFileRefusal(file).empty() || !probe.LoadFile(UTF8ToWide(file))) return size;
    if (probe.VideoStreamCount() > 0) {
      TVideoStreamInfo video;
      probe.GetVideoStreamInfo(-1, video);
      size = {std::max(0, video.Width), std::max(0, video.Height)};
    }
    probe.CloseFile();
    return size;
  }

  // Every file is a checked row with the trim, crop, effects and watermark of the command line.
  void MakeRows() {
    FRecords.resize(FArgs.Files.size());
    for (size_t i = 0; i < FArgs.Files.size(); ++i) {
      TlvFilesRecord &record = FRecords[i];
      record.SourceFile = FArgs.Files[i];
      record.TrimStart = FArgs.Start.value_or(0);
      record.TrimLength = FArgs.Length.value_or(0);
      if (FArgs.Crop) {
        record.CropTop = (*FArgs.Crop)[0];
        record.CropLeft = (*FArgs.Crop)[1];
        record.CropBottom = (*FArgs.Crop)[2];
        record.CropRight = (*FArgs.Crop)[3];
      }
      const auto [width, height] = FrameSize(FArgs.Files[i]);
      FArgs.Decoration.ApplyTo(record, width, height);
      FRows.push_back({FArgs.Files[i], true, &record});
    }
  }

  void RunBatch(const TFormatCatalogue &catalogue, TSettingsStore &store, IJobQuestions &questions,
                TConsoleBatch &console) {
    TQueueDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    FVcl.SetProgressInterval(500);
    {
      TBatchRunner runner(FVcl, catalogue, store, questions, console);
      // Reported from the conversion threads as well: one plain line each.
      runner.SetFrameDecoration(ConversionDecoration([](const std::string &message) {
        std::fprintf(stderr, "morvane-convert: warning: %s\n", message.c_str());
      }));
      struct sigaction action {};
      action.sa_handler = OnInterrupt;
      sigaction(SIGINT, &action, nullptr);
      sigaction(SIGTERM, &action, nullptr);

      if (runner.Start(FRows, FArgs.Jobs) > 0) {
        bool stopping = false;
        while (!console.Ended()) {
          dispatcher.ProcessPending(std::chrono::milliseconds(50));
          if (GInterrupted && !stopping) {
            stopping = true;
            console.Note("Stopping...");
            runner.Stop();
          }
        }
      }
    }
    dispatcher.ProcessPending(std::chrono::milliseconds(0));
    SetMainThreadDispatcher(nullptr);
  }

  const TArguments &FArgs;
  TFFmpegVCL &FVcl;
  std::vector<TlvFilesRecord> FRecords;
  std::vector<TBatchRow> FRows;
};

}  // namespace

static int Main(int argc, char **argv) {
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
    if (const std::string why = SourceFileRefusal(args.Info); !why.empty()) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return 1;
    }
    if (!vcl.Probe().LoadFile(UTF8ToWide(args.Info))) {
      std::fprintf(stderr, "%s\n", vcl.Probe().LastErrMsg().c_str());
      return 1;
    }
    std::fputs(vcl.Probe().FileInfoText().c_str(), stdout);
    return 0;
  }
  if (args.Files.empty()) {
    std::fputs(Usage().c_str(), stderr);
    return 2;
  }
  // The watermark text is drawn with the GUI library's fonts and the picture read by its
  // readers, which need an application object.
  std::optional<TOffscreenGui> gui;
  if (args.NeedsGui) gui.emplace();
  return TConvertCommand(args, vcl).Run();
}

int main(int argc, char **argv) {
  return RunProgram("morvane-convert", [&] { return Main(argc, argv); });
}
