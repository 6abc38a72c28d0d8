#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "platform/MainThread.h"
#include "platform/Shell.h"
#include "platform/Shutdown.h"
#include "services/component/FFmpegVCL.h"
#include "tests/support/Fixtures.h"
#include "tests/support/PipeRescue.h"
#include "tests/support/RecordingServices.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/BatchRunner.h"
#include "workspace/ParameterPanel.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int AviProfile = 2307;  // Xvid AVI

// Everything the runner tells its host, with the thread each call came on.
struct TRecorder : IBatchObserver {
  std::vector<int> JobsBuilt;
  std::vector<TRowProgress> Progress;
  std::vector<TRowResult> Results;
  std::vector<std::thread::id> Threads;
  int Ended = 0;
  TBatchSummary Summary;

  void RowJobBuilt(int row, const TJob &) override {
    JobsBuilt.push_back(row);
    Threads.push_back(std::this_thread::get_id());
  }
  void RowProgress(const TRowProgress &p) override {
    Progress.push_back(p);
    Threads.push_back(std::this_thread::get_id());
  }
  void RowEnded(const TRowResult &r) override {
    Results.push_back(r);
    Threads.push_back(std::this_thread::get_id());
  }
  void BatchEnded(const TBatchSummary &s) override {
    ++Ended;
    Summary = s;
    Threads.push_back(std::this_thread::get_id());
  }
  const TRowResult *ResultOf(int row) const {
    for (const auto &r : Results)
      if (r.Row == row) return &r;
    return nullptr;
  }
};

// Records what would have been opened or shut down: no test may power the machine off.
class BatchRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetShellService(std::make_unique<TRecordingShell>(AfterBatch));
    SetShutdownService(std::make_unique<TRecordingShutdown>(AfterBatch));
    ASSERT_TRUE(Vcl.LoadAVLib("")) << Vcl.LastErrMsg();
    Store.SetFormatCode(AviProfile);
    Store.SetOutPutDir((Dir.Path() / "out").string());
    TParameterPanel(Catalogue, Store, Questions).EnsureSeeded(AviProfile);
    Store.WriteProfile(AviProfile, profilekeys::paraVideoSize, "160x120");
    SetMainThreadDispatcher(&Dispatcher);
  }
  void TearDown() override {
    SetMainThreadDispatcher(nullptr);
    SetShellService(nullptr);
    SetShutdownService(nullptr);
  }

  // Serves the main thread until the batch has ended.
  void ServeUntilEnded() {
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (Recorder.Ended == 0 && std::chrono::steady_clock::now() < deadline) ServeMainThread(5ms);
    ASSERT_EQ(Recorder.Ended, 1);
  }

  void ExpectAllOnThisThread() const {
    for (const auto &id : Recorder.Threads) EXPECT_EQ(id, std::this_thread::get_id());
  }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{MORVANE_BINARY_DIR "/data/morvanemp4format.ini"};
  TSettingsStore Store{Dir / "settings.ini"};
  TScriptedQuestions Questions;
  TQueueDispatcher Dispatcher;
  TDesktopLog AfterBatch;
  TRecorder Recorder;
  TFFmpegVCL Vcl;
  TBatchRunner Runner{Vcl, Catalogue, Store, Questions, Recorder};
};

}  // namespace

TEST_F(BatchRunnerTest, CheckedRowsBecomeTasksAndReportThroughTheirRows) {
  const std::string clip = fixtures::Clip(2.0);
  for (const int threads : {1, 0}) {
    SCOPED_TRACE(threads ? "one conversion thread" : "on the calling thread");
    Recorder = {};
    std::vector<TlvFilesRecord> records(3);
    const std::vector<TBatchRow> rows = {{clip, true, &records[0]},
                                         {"/nowhere/unchecked.mp4", false, &records[1]},
                                         {clip, true, &records[2]}};
    ASSERT_EQ(Runner.Start(rows, threads), 2);
    EXPECT_EQ(Runner.RowOfTask(), (std::vector<int>{0, 2}));
    ServeUntilEnded();

    EXPECT_EQ(Recorder.JobsBuilt, (std::vector<int>{0, 2}));
    ASSERT_EQ(Recorder.Results.size(), 2u);
    for (const int row : {0, 2}) {
      const TRowResult *r = Recorder.ResultOf(row);
      ASSERT_NE(r, nullptr) << row;
      EXPECT_EQ(r->Outcome, TRowOutcome::Finished) << r->Reason;
      EXPECT_GT(fs::file_size(r->Destination), 0u);
    }
    EXPECT_NE(Recorder.ResultOf(0)->Destination, Recorder.ResultOf(2)->Destination);
    ASSERT_FALSE(Recorder.Progress.empty());
    for (const TRowProgress &p : Recorder.Progress) {
      EXPECT_EQ(p.Row, p.Task == 0 ? 0 : 2);
      EXPECT_EQ(p.TaskCount, 2);
      EXPECT_GE(p.Percent, 0);
      EXPECT_LE(p.Percent, 100);
    }
    EXPECT_GE(Recorder.Progress.back().Percent, 90);  // the last report of the last task
    EXPECT_EQ(Recorder.Summary.Finished, 2);
    ExpectAllOnThisThread();
    // The batch has cleared its tasks: the next one may start at once.
    EXPECT_EQ(Vcl.TaskCount(), 0);
    EXPECT_FALSE(Vcl.Working());
    EXPECT_FALSE(Runner.Running());
  }
}

TEST_F(BatchRunnerTest, ARowThatCannotBeOpenedIsRefusedAndTheOthersRun) {
  std::vector<TlvFilesRecord> records(2);
  const std::string missing = Dir / "missing.mp4";
  const std::vector<TBatchRow> rows = {{missing, true, &records[0]},
                                       {fixtures::Clip(1.0), true, &records[1]}};
  ASSERT_EQ(Runner.Start(rows, 1), 1);
  // Refused at once, before any task runs.
  ASSERT_EQ(Recorder.Results.size(), 1u);
  EXPECT_EQ(Recorder.Results[0].Outcome, TRowOutcome::Refused);
  EXPECT_EQ(Recorder.Results[0].Reason, missing + ": No such file or directory");
  EXPECT_EQ(Runner.RowOfTask(), std::vector<int>{1});
  ServeUntilEnded();
  ASSERT_NE(Recorder.ResultOf(1), nullptr);
  EXPECT_EQ(Recorder.ResultOf(1)->Outcome, TRowOutcome::Finished);
  EXPECT_EQ(Recorder.Summary.Refused, 1);
  EXPECT_EQ(Recorder.Summary.Finished, 1);
}

TEST_F(BatchRunnerTest, WithoutACheckedRowTheUserIsToldAndNothingStarts) {
  TlvFilesRecord record;
  EXPECT_EQ(Runner.Start({{fixtures::Clip(1.0), false, &record}}, 1), 0);
  EXPECT_EQ(Questions.Messages,
            std::vector<std::string>{"Please select a file by clicking the check box!"});
  EXPECT_EQ(Questions.Captions, std::vector<std::string>{"Warning"});
  EXPECT_TRUE(Recorder.Results.empty());
  EXPECT_FALSE(Runner.Running());
}

// The output folder is opened and the machine shut down when asked, after a batch that converted
// its last file; a batch the user stopped does neither, and its unfinished file is set aside.
TEST_F(BatchRunnerTest, AfterTheLastFileTheFolderOpensAndTheMachineShutsDownUnlessStopped) {
  const std::string longClip =
      fixtures::Make("long-120s-320x240.mp4",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=120 -c:v libx264 "
                     "-preset ultrafast -pix_fmt yuv420p");
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stopped" : "ran to its end");
    Recorder = {};
    AfterBatch.Opened.clear();
    AfterBatch.PowerOffs = 0;
    Runner.SetAfterBatch({true, true});
    TlvFilesRecord record;
    ASSERT_EQ(Runner.Start({{stop ? longClip : fixtures::Clip(1.0), true, &record}}, 1), 1);
    if (stop) {
      while (Recorder.Progress.empty()) ServeMainThread(5ms);  // the file is being written
      Runner.Stop();
    }
    ServeUntilEnded();
    ASSERT_EQ(Recorder.Results.size(), 1u);
    const TRowResult &r = Recorder.Results[0];
    if (stop) {
      EXPECT_EQ(r.Outcome, TRowOutcome::Stopped);
      EXPECT_FALSE(fs::exists(r.Destination)) << "an unfinished file kept the finished name";
      EXPECT_EQ(r.PartialFile, r.Destination.string() + ".part");
      EXPECT_GT(fs::file_size(r.PartialFile), 0u);
      EXPECT_TRUE(AfterBatch.Opened.empty());
      EXPECT_EQ(AfterBatch.PowerOffs.load(), 0);
    } else {
      EXPECT_EQ(r.Outcome, TRowOutcome::Finished);
      EXPECT_EQ(AfterBatch.Opened, std::vector<std::string>{(Dir.Path() / "out").string()});
      EXPECT_EQ(AfterBatch.PowerOffs.load(), 1);
    }
  }
}

// The files in a folder, hidden ones too.
std::set<std::string> FilesIn(const fs::path &folder) {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// While a file is written it has a hidden name with the same extension beside its destination;
// the destination's name appears only with the complete file.  Stopped, the file being written
// is set aside as unfinished and a file that never started leaves nothing.
TEST_F(BatchRunnerTest, OutputsTakeTheirNameOnlyWhenCompleteAndUnstartedOnesLeaveNothing) {
  const std::string longClip =
      fixtures::Make("long-120s-320x240.mp4",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=120 -c:v libx264 "
                     "-preset ultrafast -pix_fmt yuv420p");
  const fs::path out = Dir.Path() / "out";
  std::vector<TlvFilesRecord> records(2);
  ASSERT_EQ(
      Runner.Start({{longClip, true, &records[0]}, {fixtures::Clip(1.0), true, &records[1]}}, 1),
      2);
  while (Recorder.Progress.empty()) ServeMainThread(5ms);
  // The working names carry the writer's process id.
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(FilesIn(out),
            (std::set<std::string>{".long-120s-320x240_(new).converting-" + pid + ".avi",
                                   ".clip-1s-320x240-25_(new).converting-" + pid + ".avi"}));
  Runner.Stop();
  ServeUntilEnded();
  ASSERT_NE(Recorder.ResultOf(1), nullptr);
  EXPECT_EQ(Recorder.ResultOf(1)->Outcome, TRowOutcome::Stopped);
  EXPECT_TRUE(Recorder.ResultOf(1)->PartialFile.empty());
  EXPECT_EQ(FilesIn(out), std::set<std::string>{"long-120s-320x240_(new).avi.part"});

  Recorder = {};
  fs::remove_all(out);
  ASSERT_EQ(Runner.Start({{fixtures::Clip(1.0), true, &records[1]}}, 1), 1);
  ServeUntilEnded();
  EXPECT_EQ(FilesIn(out), std::set<std::string>{"clip-1s-320x240-25_(new).avi"});
}

// Given up while its tasks are added a few at a time: the added ones are taken out of the
// component again, no reserved file is left, every row ends Stopped, and the next batch runs.
TEST_F(BatchRunnerTest, ABatchDiscardedWhileItsTasksAreAddedLeavesNothing) {
  const std::string clip = fixtures::Clip(1.0);
  const fs::path out = Dir.Path() / "out";
  std::vector<TlvFilesRecord> records(3);
  ASSERT_EQ(Runner.Prepare(
                {{clip, true, &records[0]}, {clip, true, &records[1]}, {clip, true, &records[2]}}),
            3);
  EXPECT_EQ(FilesIn(out).size(), 3u);  // the working names are reserved
  EXPECT_EQ(Runner.AddPrepared(2), 1);
  EXPECT_EQ(Vcl.TaskCount(), 2);
  Runner.Discard();
  EXPECT_EQ(Vcl.TaskCount(), 0);
  EXPECT_TRUE(FilesIn(out).empty());
  ASSERT_EQ(Recorder.Results.size(), 3u);
  for (const int row : {0, 1, 2}) {
    ASSERT_NE(Recorder.ResultOf(row), nullptr) << row;
    EXPECT_EQ(Recorder.ResultOf(row)->Outcome, TRowOutcome::Stopped);
  }
  EXPECT_EQ(Runner.Summary().Stopped, 3);

  Recorder = {};
  ASSERT_EQ(Runner.Start({{clip, true, &records[0]}}, 1), 1);
  ServeUntilEnded();
  EXPECT_EQ(FilesIn(out), std::set<std::string>{"clip-1s-320x240-25_(new).avi"});
}

// A start at or past the source's end is refused before anything is written, with the source's
// duration in the reason; the other rows are converted.
TEST_F(BatchRunnerTest, AStartPastTheSourcesEndIsRefusedWithItsDuration) {
  std::vector<TlvFilesRecord> records(2);
  records[0].TrimStart = 5'000'000;
  const std::string clip = fixtures::Clip(1.0);
  ASSERT_EQ(Runner.Start({{clip, true, &records[0]}, {clip, true, &records[1]}}, 1), 1);
  ServeUntilEnded();
  ASSERT_NE(Recorder.ResultOf(0), nullptr);
  EXPECT_EQ(Recorder.ResultOf(0)->Outcome, TRowOutcome::Refused);
  // The clip's container says 1 s and a little (the sound's encoder delay).
  EXPECT_EQ(Recorder.ResultOf(0)->Reason.rfind(
                "the start 00:00:05.000 is beyond the end of the source (duration 00:00:01.0", 0),
            0u)
      << Recorder.ResultOf(0)->Reason;
  EXPECT_EQ(Recorder.ResultOf(1)->Outcome, TRowOutcome::Finished);
  EXPECT_EQ(FilesIn(Dir.Path() / "out"), std::set<std::string>{"clip-1s-320x240-25_(new).avi"});
}

// Rows with effects or a watermark have their frames decorated on the conversion thread, by a
// decorator made once for the row's conversion on the main thread; rows without are converted
// without the hook.
TEST_F(BatchRunnerTest, TheFrameDecorationGetsTheRecordOfTheTasksRow) {
  std::vector<TlvFilesRecord> records(2);
  records[1].Brightness = 200;
  std::mutex lock;
  std::vector<const TlvFilesRecord *> made;
  std::set<const TlvFilesRecord *> decorated;
  std::set<std::thread::id> threads;
  const std::thread::id mainThread = std::this_thread::get_id();
  Runner.SetFrameDecoration([&](const TlvFilesRecord &record) -> TFrameDecorator {
    EXPECT_EQ(std::this_thread::get_id(), mainThread);
    made.push_back(&record);
    return [&, row = &record](THookInfo &hook) {
      std::lock_guard guard(lock);
      EXPECT_GT(hook.Bitmap->Width(), 0);
      decorated.insert(row);
      threads.insert(std::this_thread::get_id());
    };
  });
  const std::string clip = fixtures::Clip(1.0);
  ASSERT_EQ(Runner.Start({{clip, true, &records[0]}, {clip, true, &records[1]}}, 1), 2);
  ServeUntilEnded();
  EXPECT_EQ(made, std::vector<const TlvFilesRecord *>{&records[1]});
  EXPECT_EQ(decorated, std::set<const TlvFilesRecord *>{&records[1]});
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(PartialOutput, IsSetAsideUnderAFreeName) {
  fixtures::TTempDir dir;
  const fs::path file = dir.Path() / "a_(new).avi";
  std::ofstream(file) << "unfinished";
  std::ofstream(file.string() + ".part") << "somebody else's";
  const fs::path partial = SetAsidePartialOutput(file);
  EXPECT_EQ(partial, file.string() + ".1.part");
  EXPECT_FALSE(fs::exists(file));
  std::ifstream other(file.string() + ".part");
  std::string text;
  std::getline(other, text);
  EXPECT_EQ(text, "somebody else's");
  EXPECT_TRUE(SetAsidePartialOutput(dir.Path() / "never-written.avi").empty());
}

// A row whose source became a named pipe after it was added is refused with a message naming
// it, without the pipe being opened (which would wait for a writer for ever); the batch goes on.
TEST_F(BatchRunnerTest, ARowWhoseSourceIsAPipeIsRefusedAndTheBatchGoesOn) {
  const std::string fifo = Dir / "became-a-pipe.mp4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TPipeRescue rescue(fifo, 10s);
  std::vector<TlvFilesRecord> records(2);
  ASSERT_EQ(Runner.Start({{fifo, true, &records[0]}, {fixtures::Clip(1.0), true, &records[1]}}, 1),
            1);
  ServeUntilEnded();
  EXPECT_FALSE(rescue.Rescued()) << "the pipe was opened";
  ASSERT_NE(Recorder.ResultOf(0), nullptr);
  EXPECT_EQ(Recorder.ResultOf(0)->Outcome, TRowOutcome::Refused);
  EXPECT_EQ(Recorder.ResultOf(0)->Reason,
            fifo + ": is a named pipe, not a regular file; only regular files can be converted");
  ASSERT_NE(Recorder.ResultOf(1), nullptr);
  EXPECT_EQ(Recorder.ResultOf(1)->Outcome, TRowOutcome::Finished);
}

// Working files of writers that are gone are removed at the next start; a live writer's file,
// names that only look alike, links and folders stay.
TEST(WorkingFiles, OnlyThoseOfAGoneWriterAreRemoved) {
  fixtures::TTempDir dir;
  // A process id that was in use and is free now.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  const std::string gone = std::to_string(child), live = std::to_string(getpid());
  const std::vector<std::string> removed = {".a_(new).converting-" + gone + ".avi",
                                            ".b.c_(new).converting-" + gone + "-2.mp4",
                                            ".noext_(new).converting-" + gone};
  const std::vector<std::string> kept = {
      ".a_(new).converting-" + live + ".avi",  // still being written
      ".old_(new).converting.avi",             // no writer named
      "a_(new).converting-" + gone + ".avi",   // not hidden: not ours
      ".a_(new).converting-" + gone + "x.avi",
      ".a_(new).converting-0.avi",
      "a_(new).avi",
      "a_(new).avi.part"};
  for (const auto &name : removed) std::ofstream(dir / name) << "unfinished";
  for (const auto &name : kept) std::ofstream(dir / name) << "keep";
  const std::string link = ".l_(new).converting-" + gone + ".avi";
  fs::create_symlink(dir / "a_(new).avi", dir / link);
  const std::string folder = ".f_(new).converting-" + gone + ".avi";
  fs::create_directory(dir / folder);

  const std::vector<fs::path> gotRemoved = RemoveAbandonedWorkingFiles(dir.Path());
  std::set<std::string> names;
  for (const fs::path &path : gotRemoved) names.insert(path.filename().string());
  EXPECT_EQ(names, std::set<std::string>(removed.begin(), removed.end()));
  std::set<std::string> left(kept.begin(), kept.end());
  left.insert({link, folder});
  EXPECT_EQ(FilesIn(dir.Path()), left);
  EXPECT_TRUE(RemoveAbandonedWorkingFiles(dir / "no-such-folder").empty());
}
