// How long the main window's GUI thread goes without serving its event loop while it is given
// work: a 5 ms timer on the GUI thread records the longest gap between two of its ticks.
//
//   gui-latency-driver SCENARIO FOLDER
//
// SCENARIO is one of
//   command-line  the files in FOLDER given on the program's command line (as morvane adds them)
//   drop          FOLDER dropped on the conversion list
//   start         the files in FOLDER added, then Start; also the largest number of open file
//                 descriptors of the process while the batch runs
//   preview       the first file in FOLDER added, played in the preview, then Trim opened on it
//
// The window is driven only through what a person or the desktop uses: its controls, menus and
// list found by object name, a drop on the list and the command line's entry point.  Every
// dialog is answered as a person would (Yes, OK); the progress window runs modally as it does in
// the program.  Prints one line per measured step.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gui/Application.h"
#include "gui/UserDialogs.h"
#include "workspace/ConversionList.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;

namespace {

// Every question answered Yes, every message taken; a modal window runs its own loop as in the
// program, an editor for a few seconds, the progress window until its batch's end closes it.
class TBenchDialogs : public IUserDialogs {
 public:
  QStringList FilesToChoose;
  int EditorMilliseconds = 4000;

  bool AskYesNo(QWidget *, const QString &, const QString &) override { return true; }
  void ShowMessage(QWidget *, const QString &caption, const QString &text, TMessageIcon) override {
    std::fprintf(stderr, "message: %s: %s\n", qPrintable(caption), qPrintable(text.left(200)));
  }
  QStringList ChooseFiles(QWidget *, const QStringList &) override { return FilesToChoose; }
  QString ChooseFile(QWidget *, const QStringList &) override { return {}; }
  QString ChooseFolder(QWidget *, const QString &) override { return {}; }
  int ShowModal(QDialog &dialog) override {
    if (dialog.objectName() != "frmProgress")
      QTimer::singleShot(EditorMilliseconds, &dialog, &QDialog::reject);
    return dialog.exec();
  }
  void OpenInDesktop(const QString &) override {}
  void ShowInFolder(const QString &) override {}
  void Notify(const QString &, const QString &) override {}
};

// The longest gap between two ticks of a 5 ms timer on the GUI thread, from Start() on.
class TGapMeter {
 public:
  TGapMeter() {
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setInterval(5);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      const qint64 now = FClock.elapsed();
      FLongest = std::max(FLongest, now - FLast);
      FLast = now;
      ++FTicks;
    });
  }
  void Start() {
    FClock.start();
    FLast = 0;
    FLongest = 0;
    FTicks = 0;
    FTimer.start();
  }
  void Stop() {
    const qint64 now = FClock.elapsed();
    FLongest = std::max(FLongest, now - FLast);
    FTimer.stop();
  }
  qint64 Longest() const { return FLongest; }
  qint64 Elapsed() const { return FClock.elapsed(); }
  int Ticks() const { return FTicks; }

 private:
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLast = 0, FLongest = 0;
  int FTicks = 0;
};

// The largest number of entries of /proc/self/fd, sampled every 5 ms on a thread of its own.
class TDescriptorSampler {
 public:
  TDescriptorSampler()
      : FThread([this] {
          while (!FStop) {
            int count = 0;
            std::error_code ec;
            for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
                 it.increment(ec))
              ++count;
            FLargest = std::max(FLargest.load(), count);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }) {}
  ~TDescriptorSampler() {
    FStop = true;
    FThread.join();
  }
  int Largest() const { return FLargest; }

 private:
  std::atomic<bool> FStop{false};
  std::atomic<int> FLargest{0};
  std::thread FThread;
};

// Runs the event loop until `done` holds (checked every 20 ms) or `seconds` have passed.
bool WaitUntil(const std::function<bool()> &done, int seconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > seconds * 1000) return false;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

void Spin(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// The rows the list shows with their duration read (a row still being read has none yet).
int ReadRows(TfrmMain &window) {
  const auto &rows = window.Files().Rows();
  return static_cast<int>(std::count_if(
      rows.begin(), rows.end(), [](const TConversionRow &row) { return !row.LengthText.empty(); }));
}

std::vector<std::string> FilesIn(const fs::path &folder) {
  std::vector<std::string> files;
  for (const auto &entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

size_t MediaFilesUnder(const fs::path &folder) {
  size_t count = 0;
  for (const auto &entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && IsListedMediaFile(entry.path())) ++count;
  return count;
}

template <class T>
T *Find(TfrmMain &window, const char *name) {
  T *found = window.findChild<T *>(name);
  if (!found) {
    std::fprintf(stderr, "gui-latency: the window has no %s\n", name);
    std::exit(1);
  }
  return found;
}

void Report(const char *step, const TGapMeter &meter, bool finished, const QString &more = {}) {
  std::printf("%-44s longest gap %6lld ms  (%d ticks over %.1f s)%s%s\n", step, meter.Longest(),
              meter.Ticks(), meter.Elapsed() / 1000.0, qPrintable(more),
              finished ? "" : "  NOT FINISHED (timed out)");
  std::fflush(stdout);
}

struct TBench {
  TBenchDialogs Dialogs;
  std::unique_ptr<TfrmMain> Window;

  TfrmMain &Open() {
    Window = std::make_unique<TfrmMain>(&Dialogs);
    Window->show();
    Spin(500);  // shown, painted, the start-up's own work done
    return *Window;
  }
  ~TBench() {
    if (!Window) return;
    Window->SkipExitPrompt = true;
    Window->close();
  }

  // The files added through "Add" and read, before anything is measured.
  void AddAndWait(const std::vector<std::string> &files) {
    for (const std::string &file : files) Dialogs.FilesToChoose << QString::fromStdString(file);
    Find<QPushButton>(*Window, "btnAdd")->click();
    Dialogs.FilesToChoose.clear();
    if (!WaitUntil([&] { return ReadRows(*Window) >= static_cast<int>(files.size()); }, 600)) {
      std::fprintf(stderr, "gui-latency: the files were not added\n");
      std::exit(1);
    }
  }

  int CommandLine(const fs::path &folder) {
    TfrmMain &window = Open();
    const std::vector<std::string> files = FilesIn(folder);
    std::vector<std::string> arguments;
    for (const std::string &file : files) arguments.push_back(fs::path(file).filename().string());
    const auto paths = CommandLinePaths(arguments, folder);
    TGapMeter meter;
    meter.Start();
    // As the program does once its window is up.
    QTimer::singleShot(0, &window, [&window, paths] { window.AddPaths(paths); });
    const int expected = static_cast<int>(files.size());
    const bool done = WaitUntil([&] { return ReadRows(window) >= expected; }, 600);
    meter.Stop();
    Report(qPrintable(QString("(a) %1 files on the command line").arg(expected)), meter, done);
    return done ? 0 : 1;
  }

  int Drop(const fs::path &folder) {
    TfrmMain &window = Open();
    const int expected = static_cast<int>(MediaFilesUnder(folder));
    QWidget *target = Find<QAbstractItemView>(window, "lvFiles")->viewport();
    TGapMeter meter;
    meter.Start();
    QTimer::singleShot(0, target, [target, folder] {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
      const QPoint at = target->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &enter);
      QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &drop);
    });
    const bool done = WaitUntil([&] { return ReadRows(window) >= expected; }, 600);
    meter.Stop();
    Report(qPrintable(QString("(b) a folder of %1 files dropped").arg(expected)), meter, done);
    return done ? 0 : 1;
  }

  int Start(const fs::path &folder) {
    TfrmMain &window = Open();
    const std::vector<std::string> files = FilesIn(folder);
    AddAndWait(files);
    Spin(300);
    auto *start = Find<QPushButton>(window, "btnStart");
    TGapMeter meter;
    bool done = false;
    int descriptors = 0;
    {
      TDescriptorSampler sampler;
      meter.Start();
      QTimer::singleShot(0, start, [start] { start->click(); });
      // The batch has ended when its progress window is gone and Start can be pressed again.
      Spin(1000);
      done = WaitUntil(
          [&] {
            const auto *progress = window.findChild<QDialog *>("frmProgress");
            return start->isEnabled() && !(progress && progress->isVisible());
          },
          1800);
      meter.Stop();
      descriptors = sampler.Largest();
    }
    Report(qPrintable(QString("(c) Start of a %1-row batch").arg(files.size())), meter, done,
           QString("; open files at most %1").arg(descriptors));
    return done ? 0 : 1;
  }

  int Preview(const fs::path &folder) {
    TfrmMain &window = Open();
    const std::vector<std::string> files = FilesIn(folder);
    if (files.empty()) return 1;
    AddAndWait({files.front()});
    Spin(300);
    TGapMeter meter;
    meter.Start();
    auto *play = Find<QPushButton>(window, "btnPlay");
    QTimer::singleShot(0, play, [play] { play->click(); });
    Spin(3000);
    meter.Stop();
    Report("(d) the preview opened on a 1080p file", meter, true);

    auto *trim = Find<QAction>(window, "mnuTrim");
    meter.Start();
    QTimer::singleShot(0, &window, [&window, trim] {
      // As when the menu opens: its entries follow the list's selection.
      for (QObject *owner : trim->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(owner)) {
          emit menu->aboutToShow();
          break;
        }
      trim->trigger();
    });
    Spin(Dialogs.EditorMilliseconds + 1000);
    meter.Stop();
    Report("(d) Trim opened on the same file (playing)", meter, true);
    return 0;
  }
};

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gui-latency-driver command-line|drop|start|preview FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  const std::string scenario = argv[1];
  const fs::path folder = fs::absolute(argv[2]);
  // Every run starts with an empty list, and the user's own list is left alone.
  const fs::path state = folder / ".state";
  std::error_code ec;
  fs::remove_all(state, ec);
  setenv("XDG_STATE_HOME", state.c_str(), 1);
  int appArgc = 1;
  TApplication app(appArgc, argv);
  TBench bench;
  if (scenario == "command-line") return bench.CommandLine(folder);
  if (scenario == "drop") return bench.Drop(folder);
  if (scenario == "start") return bench.Start(folder);
  if (scenario == "preview") return bench.Preview(folder);
  std::fprintf(stderr, "gui-latency: unknown scenario %s\n", scenario.c_str());
  return 2;
}
