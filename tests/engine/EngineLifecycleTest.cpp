// The engine's life cycle: start, stop, pause, termination delivered exactly once on every path.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/MainThread.h"
#include "tests/engine/EngineTestSupport.h"

using namespace enginetest;
using namespace std::chrono_literals;

namespace {

// Counts terminations and remembers the thread of the last one.
struct TTerminations {
  std::atomic<int> Count{0};
  std::thread::id Thread;
  void Attach(TCustomFFmpeg &e) {
    e.SetTerminateCallback([this](TCustomFFmpeg *) {
      Thread = std::this_thread::get_id();
      ++Count;
    });
  }
};

// An engine copying a clip into a Matroska file; with `nativeRate` it reads at the clip's pace.
void SetUpCopy(TCustomFFmpeg &e, const std::string &input, const std::string &output,
               bool nativeRate) {
  e.Reset();
  if (nativeRate) e.SetOption("re", "");
  ASSERT_TRUE(e.AddInputFile(W(input))) << e.LastError();
  e.SetOption("vcodec", "copy");
  e.SetOption("acodec", "copy");
  ASSERT_EQ(e.AddOutputFile(W(output), false), 1) << e.LastError();
}

bool DecodesCleanly(const std::string &file) {
  const auto r = fixtures::Run("ffmpeg -v error -i " + fixtures::Quote(file) + " -f null -");
  return r.ExitCode == 0 && r.Output.empty();
}

}  // namespace

class EngineLifecycle : public TEngineTest {};

TEST_F(EngineLifecycle, ASuccessfulRunTerminatesOnceAndRunsOnlyOnce) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  TTerminations t;
  t.Attach(e);
  SetUpCopy(e, GopClip(1), dir / "out.mkv", false);
  EXPECT_EQ(e.StartConvert(false), nullptr);
  EXPECT_EQ(t.Count, 1);
  EXPECT_TRUE(e.RanToEnd());
  EXPECT_FALSE(e.ErrorOccurred());
  EXPECT_TRUE(e.Terminated());
  EXPECT_FALSE(e.Running());
  EXPECT_EQ(e.InputCount(), 0) << "the run clears the files";
  EXPECT_EQ(e.StartConvert(false), nullptr);
  e.TerminateConvert(true);
  EXPECT_EQ(t.Count, 1) << "an engine runs once per Reset";
  EXPECT_TRUE(DecodesCleanly(dir / "out.mkv"));
}

TEST_F(EngineLifecycle, StartingWithoutFilesFailsAndStillTerminates) {
  fixtures::TTempDir dir;
  const struct {
    bool Input, Output;
    const char *Message;
  } cases[] = {{true, false, "At least one output file must be specified"},
               {false, true, "At least one input file must be specified"}};
  for (const auto &c : cases) {
    TCustomFFmpeg e;
    e.Reset();
    TTerminations t;
    t.Attach(e);
    if (c.Input) {
      ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
    }
    if (c.Output) {
      ASSERT_EQ(e.AddOutputFile(W(dir / "none.mkv"), false), 1) << e.LastError();
    }
    EXPECT_EQ(e.StartConvert(true), nullptr);
    EXPECT_EQ(t.Count, 1) << c.Message;
    EXPECT_TRUE(e.ErrorOccurred());
    EXPECT_EQ(e.ErrorMessage(), c.Message);
    EXPECT_FALSE(e.RanToEnd());
    EXPECT_FALSE(std::filesystem::exists(dir / "none.mkv")) << "empty output left behind";
  }
}

TEST_F(EngineLifecycle, AFailureInsideTheRunTerminatesOnceAndRemovesTheEmptyOutput) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  TTerminations t;
  t.Attach(e);
  SetUpCopy(e, GopClip(1), dir / "out.mkv", false);
  e.SetOption("map", "0:5");
  e.SetOption("map", "0:1");
  TConvertThread *worker = e.StartConvert(true);
  ASSERT_NE(worker, nullptr);
  worker->Resume();
  e.StopConvert(true);  // waits for the end of the run
  EXPECT_EQ(t.Count, 1);
  EXPECT_TRUE(e.ErrorOccurred());
  EXPECT_EQ(e.ErrorMessage(), "Could not find input stream #0.5");
  EXPECT_FALSE(e.RanToEnd());
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mkv"));
}

TEST_F(EngineLifecycle, TerminatingATaskThatNeverStartedDeliversOnceFromAnotherThread) {
  TCustomFFmpeg e;
  e.Reset();
  TTerminations t;
  t.Attach(e);
  e.TerminateConvert(true);
  EXPECT_EQ(t.Count, 1);
  EXPECT_NE(t.Thread, std::this_thread::get_id());
  EXPECT_TRUE(e.Terminated());
  e.TerminateConvert(true);
  EXPECT_EQ(t.Count, 1);
}

TEST_F(EngineLifecycle, ClearingAnUnusedOutputRemovesTheEmptyFile) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  SetUpCopy(e, GopClip(1), dir / "out.mkv", false);
  ASSERT_TRUE(std::filesystem::exists(dir / "out.mkv"));
  e.Reset();
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mkv"));
}

TEST_F(EngineLifecycle, APausedRunMakesNoProgressAndStoppingItWritesAReadableFile) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  TTerminations t;
  t.Attach(e);
  std::atomic<int> reports{0};
  e.SetReportPeriod(10000);
  e.SetProgressCallback(
      [&](TCustomFFmpeg *, int, int, int, float, float, int64_t, int64_t, int64_t) { ++reports; });
  SetUpCopy(e, GopClip(4), dir / "out.mkv", true);
  e.StartConvert(true)->Resume();
  std::this_thread::sleep_for(400ms);
  e.PauseConvert();
  EXPECT_TRUE(e.Paused());
  std::this_thread::sleep_for(100ms);  // let the worker reach the top of its loop
  const int before = reports;
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(reports, before) << "progress while paused";
  EXPECT_GT(before, 0);
  e.StopConvert(true);
  EXPECT_EQ(t.Count, 1);
  EXPECT_FALSE(e.RanToEnd());
  EXPECT_FALSE(e.ErrorOccurred()) << e.ErrorMessage();
  EXPECT_TRUE(DecodesCleanly(dir / "out.mkv"));
  EXPECT_LT(ProbeDouble(dir / "out.mkv", "format=duration"), 3.0);
}

TEST_F(EngineLifecycle, AResumedRunGoesOnToTheEnd) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  TTerminations t;
  t.Attach(e);
  SetUpCopy(e, GopClip(1), dir / "out.mkv", true);
  e.StartConvert(true)->Resume();
  std::this_thread::sleep_for(200ms);
  e.PauseConvert();
  std::this_thread::sleep_for(200ms);
  e.ResumeConvert();
  while (t.Count == 0) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(e.RanToEnd());
  EXPECT_NEAR(ProbeDouble(dir / "out.mkv", "format=duration"), 1.0, 0.1);
}

TEST_F(EngineLifecycle, StoppingFromAnotherThreadEndsTheRunWithAReadableFile) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  TTerminations t;
  t.Attach(e);
  SetUpCopy(e, GopClip(4), dir / "out.mkv", true);
  e.StartConvert(true)->Resume();
  std::thread stopper([&] {
    std::this_thread::sleep_for(500ms);
    e.StopConvert(true);
  });
  stopper.join();
  EXPECT_EQ(t.Count, 1);
  EXPECT_FALSE(e.RanToEnd());
  EXPECT_FALSE(e.ErrorOccurred()) << e.ErrorMessage();
  EXPECT_TRUE(DecodesCleanly(dir / "out.mkv"));
  const double duration = ProbeDouble(dir / "out.mkv", "format=duration");
  EXPECT_GT(duration, 0.1);
  EXPECT_LT(duration, 2.0);
}

TEST_F(EngineLifecycle, WaitingOnTheMainThreadServesCallsMarshalledToIt) {
  fixtures::TTempDir dir;
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  TCustomFFmpeg e;
  std::atomic<int> served{0};
  e.SetReportPeriod(10000);
  // A progress handler that needs the main thread, as a window would.
  e.SetProgressCallback([&](TCustomFFmpeg *, int, int, int, float, float, int64_t, int64_t,
                            int64_t) { RunInMainThread([&] { ++served; }); });
  SetUpCopy(e, GopClip(4), dir / "out.mkv", true);
  e.StartConvert(true)->Resume();
  std::this_thread::sleep_for(300ms);  // the worker now waits for the main thread
  e.StopConvert(true);
  SetMainThreadDispatcher(nullptr);
  EXPECT_GT(served, 0);
  EXPECT_FALSE(e.Running());
}

TEST_F(EngineLifecycle, TheFinalProgressReportCarriesTheWholeRun) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  struct TReport {
    int FileIndex, Frame;
    int64_t Current, Total;
  };
  std::vector<TReport> reports;
  e.SetProgressCallback([&](TCustomFFmpeg *, int file, int frame, int, float, float, int64_t,
                            int64_t current, int64_t total) {
    reports.push_back({file, frame, current, total});
  });
  SetUpCopy(e, GopClip(1), dir / "out.mkv", false);
  const int64_t expected = e.ExpectedDuration();
  e.StartConvert(false);
  ASSERT_FALSE(reports.empty());
  const TReport &last = reports.back();
  EXPECT_EQ(last.FileIndex, -1);
  EXPECT_EQ(last.Frame, 25);
  EXPECT_EQ(last.Total, expected);
  EXPECT_NEAR(last.Current / 1e6, expected / 1e6, 0.05);
}

// An MP4 whose index goes to the start is rewritten inside the trailer: the report sent just
// before says so, the final one no longer does, and the file has its index first.
TEST_F(EngineLifecycle, MovingTheIndexToTheStartIsReported) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  std::vector<bool> moving;
  e.SetProgressCallback([&](TCustomFFmpeg *sender, int, int, int, float, float, int64_t, int64_t,
                            int64_t) { moving.push_back(sender->MovingIndex()); });
  e.Reset();
  ASSERT_TRUE(e.AddInputFile(W(GopClip(1)))) << e.LastError();
  e.SetOption("vcodec", "copy");
  e.SetOption("acodec", "copy");
  e.SetOption("movflags", "+faststart");
  const std::string out = dir / "out.mp4";
  ASSERT_EQ(e.AddOutputFile(W(out), false), 1) << e.LastError();
  e.StartConvert(false);
  ASSERT_GE(moving.size(), 2u);
  EXPECT_TRUE(moving[moving.size() - 2]);
  EXPECT_FALSE(moving.back());
  const auto trace = fixtures::Run("ffprobe -v trace " + fixtures::Quote(out) + " 2>&1");
  const size_t moov = trace.Output.find("type:'moov'"), mdat = trace.Output.find("type:'mdat'");
  ASSERT_NE(moov, std::string::npos);
  EXPECT_LT(moov, mdat);
  EXPECT_FALSE(e.MovingIndex());
}
