// The batch session in Qt's event loop, without widgets: its state, its signals, the rows'
// results, Stop and Pause, and the files a batch keeps open while it runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "platform/MainThread.h"
#include "platform/Shell.h"
#include "platform/Shutdown.h"
#include "tests/support/Fixtures.h"
#include "tests/support/RecordingServices.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/ParameterPanel.h"
#include "workspace/session/BatchSession.h"
#include "workspace/session/QtMainThread.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int AviProfile = 2307;  // Xvid AVI

std::string LongClip() {
  return fixtures::Make("long-120s-320x240.mp4",
                        "-f lavfi -i testsrc=size=320x240:rate=25:duration=120 -c:v libx264 "
                        "-preset ultrafast -pix_fmt yuv420p");
}

// The files this process has open now.
std::set<fs::path> OpenFiles() {
  std::set<fs::path> files;
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator("/proc/self/fd", ec)) {
    const fs::path target = fs::read_symlink(entry.path(), ec);
    if (!ec) files.insert(target);
  }
  return files;
}

class BatchSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetShellService(std::make_unique<TRecordingShell>(AfterBatch));
    SetShutdownService(std::make_unique<TRecordingShutdown>(AfterBatch));
    ASSERT_TRUE(Vcl.LoadAVLib("")) << Vcl.LastErrMsg();
    Vcl.SetPreviewBitmap(true);
    {
      TSettingsStore store(SettingsIni);
      store.SetFormatCode(AviProfile);
      store.SetOutPutDir(Out.string());
      TFormatCatalogue catalogue(FormatIni);
      TParameterPanel(catalogue, store, Questions).EnsureSeeded(AviProfile);
      store.WriteProfile(AviProfile, profilekeys::paraVideoSize, "160x120");
    }
    SetMainThreadDispatcher(&Dispatcher);
    const std::thread::id mainThread = std::this_thread::get_id();
    auto onMain = [this, mainThread] { OffMainThread |= std::this_thread::get_id() != mainThread; };
    QObject::connect(&Session, &TBatchSession::stateChanged, [this, onMain](TBatchState state) {
      onMain();
      States.push_back(state);
    });
    QObject::connect(&Session, &TBatchSession::rowProgress,
                     [this, onMain](const TRowProgress &progress) {
                       onMain();
                       Progress.push_back(progress);
                     });
    QObject::connect(&Session, &TBatchSession::rowEnded, [this, onMain](const TRowResult &result) {
      onMain();
      Ended.push_back(result.Row);
    });
    QObject::connect(&Session, &TBatchSession::batchEnded, [this, onMain](const TBatchSummary &s) {
      onMain();
      ++BatchesEnded;
      Summary = s;
    });
  }

  void TearDown() override {
    Session.Close();
    SetMainThreadDispatcher(nullptr);
    SetShellService(nullptr);
    SetShutdownService(nullptr);
  }

  TBatchSetup BatchSetup() {
    TBatchSetup setup;
    setup.SettingsIniPath = SettingsIni.string();
    setup.FormatIniPath = FormatIni;
    setup.Questions = &Questions;
    return setup;
  }

  // Serves the window thread's event loop until `done` holds (at most two minutes).
  template <class Done>
  bool ServeUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      std::this_thread::sleep_for(2ms);
    }
    return done();
  }
  void ServeFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    ServeUntil([&] { return std::chrono::steady_clock::now() >= end; });
  }

  const TRowResult &ResultOf(int row) {
    static const TRowResult none = [] {
      TRowResult result;
      result.Row = -1;
      return result;
    }();
    const auto it = Session.Results().find(row);
    return it == Session.Results().end() ? none : it->second;
  }

  fixtures::TTempDir Dir;
  fs::path SettingsIni = Dir.Path() / "settings.ini";
  fs::path Out = Dir.Path() / "out";
  std::string FormatIni = MORVANE_BINARY_DIR "/data/morvanemp4format.ini";
  TScriptedQuestions Questions;
  TDesktopLog AfterBatch;
  TFFmpegVCL Vcl;
  QObject Context;
  TQtMainThreadDispatcher Dispatcher{&Context};
  TBatchSession Session{Vcl};
  std::vector<TBatchState> States;
  std::vector<TRowProgress> Progress;
  std::vector<int> Ended;
  int BatchesEnded = 0;
  TBatchSummary Summary;
  bool OffMainThread = false;
};

}  // namespace

// Running from Start until the last row has ended; every row that took part has its result, and
// every signal comes on the window thread.
TEST_F(BatchSessionTest, TheStateAndTheResultsFollowTheBatch) {
  const std::string clip = fixtures::Clip(1.0);
  std::vector<TlvFilesRecord> records(3);
  TBatchSetup setup = BatchSetup();
  setup.AfterBatch = {true, false};
  ASSERT_TRUE(Session.Start({{clip, true, &records[0]},
                             {"/nowhere/unchecked.mp4", false, &records[1]},
                             {clip, true, &records[2]}},
                            setup));
  EXPECT_EQ(Session.State(), TBatchState::Running);  // at once, while the jobs are built
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  EXPECT_EQ(States, (std::vector<TBatchState>{TBatchState::Running, TBatchState::Idle}));
  EXPECT_EQ(Session.RowOfTask(), (std::vector<int>{0, 2}));
  EXPECT_EQ(Ended, (std::vector<int>{0, 2}));
  for (const int row : {0, 2}) {
    EXPECT_EQ(ResultOf(row).Outcome, TRowOutcome::Finished) << ResultOf(row).Reason;
    EXPECT_GT(fs::file_size(ResultOf(row).Destination), 0u);
  }
  EXPECT_NE(ResultOf(0).Destination, ResultOf(2).Destination);
  EXPECT_EQ(Summary.Finished, 2);
  EXPECT_FALSE(Progress.empty());
  EXPECT_EQ(AfterBatch.Opened, std::vector<std::string>{Out.string()});
  EXPECT_FALSE(OffMainThread);
  EXPECT_EQ(BatchesEnded, 1);
}

TEST_F(BatchSessionTest, WithoutACheckedRowTheUserIsToldAndTheSessionStaysIdle) {
  TlvFilesRecord record;
  EXPECT_FALSE(Session.Start({{fixtures::Clip(1.0), false, &record}}, BatchSetup()));
  EXPECT_EQ(Questions.Messages,
            std::vector<std::string>{"Please select a file by clicking the check box!"});
  EXPECT_EQ(Session.State(), TBatchState::Idle);
  ServeFor(200ms);
  EXPECT_TRUE(States.empty());
  EXPECT_EQ(BatchesEnded, 0);
}

// Stop while a file is written: Stopping, then Idle when the tasks have ended; the file being
// written is set aside, the row that had not started leaves nothing, and a stopped batch does
// not open the folder.
TEST_F(BatchSessionTest, StopEndsTheRunningAndTheWaitingRows) {
  std::vector<TlvFilesRecord> records(2);
  TBatchSetup setup = BatchSetup();
  setup.AfterBatch = {true, true};
  ASSERT_TRUE(Session.Start(
      {{LongClip(), true, &records[0]}, {fixtures::Clip(1.0), true, &records[1]}}, setup));
  ASSERT_TRUE(ServeUntil([&] { return !Progress.empty(); }));
  Session.Stop();
  // Stop waits for the running task, and its end may have been served meanwhile.
  EXPECT_NE(Session.State(), TBatchState::Running);
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  EXPECT_EQ(States, (std::vector<TBatchState>{TBatchState::Running, TBatchState::Stopping,
                                              TBatchState::Idle}));
  EXPECT_EQ(ResultOf(0).Outcome, TRowOutcome::Stopped);
  EXPECT_EQ(ResultOf(0).PartialFile, ResultOf(0).Destination.string() + ".part");
  EXPECT_EQ(ResultOf(1).Outcome, TRowOutcome::Stopped);
  EXPECT_TRUE(ResultOf(1).PartialFile.empty());
  std::set<fs::path> left;
  for (const auto &entry : fs::directory_iterator(Out)) left.insert(entry.path());
  EXPECT_EQ(left, std::set<fs::path>{ResultOf(0).PartialFile});
  EXPECT_TRUE(AfterBatch.Opened.empty());
  EXPECT_EQ(AfterBatch.PowerOffs.load(), 0);
}

// Stopped before its jobs were built: nothing starts and nothing is left in the folder.
TEST_F(BatchSessionTest, StopWhileTheJobsAreBuiltStartsNothing) {
  std::vector<TlvFilesRecord> records(2);
  const std::string clip = fixtures::Clip(1.0);
  ASSERT_TRUE(Session.Start({{clip, true, &records[0]}, {clip, true, &records[1]}}, BatchSetup()));
  Session.Stop();
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  EXPECT_EQ(States, (std::vector<TBatchState>{TBatchState::Running, TBatchState::Stopping,
                                              TBatchState::Idle}));
  EXPECT_TRUE(Progress.empty());
  EXPECT_EQ(Summary.Finished, 0);
  std::error_code ec;
  EXPECT_TRUE(fs::is_empty(Out, ec) || !fs::exists(Out));
  EXPECT_EQ(Vcl.TaskCount(), 0);
}

// Paused, the running file makes no progress; resumed, it runs to its end.
TEST_F(BatchSessionTest, PauseHoldsTheRunningFileAndResumeFinishesIt) {
  std::vector<TlvFilesRecord> records(1);
  ASSERT_TRUE(Session.Start({{LongClip(), true, &records[0]}}, BatchSetup()));
  ASSERT_TRUE(ServeUntil([&] { return !Progress.empty(); }));
  Session.Pause();
  EXPECT_EQ(Session.State(), TBatchState::Paused);
  ServeFor(600ms);  // what was on its way before the pause
  const size_t reports = Progress.size();
  const int64_t converted = Progress.back().Info.CurrentDuration;
  ServeFor(1500ms);  // three progress intervals
  EXPECT_EQ(Progress.size(), reports);
  EXPECT_EQ(Progress.back().Info.CurrentDuration, converted);
  Session.Resume();
  EXPECT_EQ(Session.State(), TBatchState::Running);
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  EXPECT_EQ(States, (std::vector<TBatchState>{TBatchState::Running, TBatchState::Paused,
                                              TBatchState::Running, TBatchState::Idle}));
  EXPECT_EQ(ResultOf(0).Outcome, TRowOutcome::Finished) << ResultOf(0).Reason;
  EXPECT_GT(Progress.back().Info.CurrentDuration, converted);
}

// A task opens its source when it starts: while the first row converts, the later rows' sources
// are not open; a source removed meanwhile fails its own row with the reason, and the batch goes
// on with the next.
TEST_F(BatchSessionTest, EachRowOpensItsSourceWhenItsTurnComes) {
  const fs::path later = Dir.Path() / "later.mp4";
  const fs::path removed = Dir.Path() / "removed.mp4";
  fs::copy_file(fixtures::Clip(1.0), later);
  fs::copy_file(fixtures::Clip(1.0), removed);
  const fs::path first = fs::canonical(LongClip());
  std::vector<TlvFilesRecord> records(3);
  ASSERT_TRUE(Session.Start({{first.string(), true, &records[0]},
                             {removed.string(), true, &records[1]},
                             {later.string(), true, &records[2]}},
                            BatchSetup()));
  ASSERT_TRUE(ServeUntil([&] { return !Progress.empty(); }));
  const std::set<fs::path> open = OpenFiles();
  EXPECT_EQ(open.count(first), 1u);
  EXPECT_EQ(open.count(fs::canonical(removed)), 0u);
  EXPECT_EQ(open.count(fs::canonical(later)), 0u);
  fs::remove(removed);
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  EXPECT_EQ(ResultOf(0).Outcome, TRowOutcome::Finished) << ResultOf(0).Reason;
  EXPECT_EQ(ResultOf(1).Outcome, TRowOutcome::Failed);
  EXPECT_EQ(ResultOf(1).Reason, removed.string() + ": No such file or directory");
  EXPECT_EQ(ResultOf(2).Outcome, TRowOutcome::Finished) << ResultOf(2).Reason;
}

// The pictures of the conversion reach the picture handler on the conversion thread, so that
// the conversion never waits for the window thread to take them.
TEST_F(BatchSessionTest, PicturesComeOnTheConversionThread) {
  std::mutex lock;
  std::set<std::thread::id> threads;
  int pictures = 0;
  Session.SetPictureHandler([&](int row, const TBitmap &picture) {
    std::lock_guard guard(lock);
    EXPECT_EQ(row, 0);
    EXPECT_GT(picture.Width(), 0);
    threads.insert(std::this_thread::get_id());
    ++pictures;
  });
  std::vector<TlvFilesRecord> records(1);
  ASSERT_TRUE(Session.Start({{fixtures::Clip(2.0), true, &records[0]}}, BatchSetup()));
  ASSERT_TRUE(ServeUntil([&] { return BatchesEnded > 0; }));
  Session.SetPictureHandler(nullptr);
  std::lock_guard guard(lock);
  EXPECT_GT(pictures, 0);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
