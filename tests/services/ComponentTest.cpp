#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "platform/MainThread.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"
#include "services/component/FFmpegVCL.h"
#include "services/component/Previewer.h"
#include "tests/support/Deadlocks.h"
#include "tests/support/Fixtures.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A long, tiny video-only clip: copying it takes a moment, so runs can be watched and stopped.
std::string LongClip() {
  return fixtures::Make("long-300s-64x48.mp4",
                        "-f lavfi -i testsrc=size=64x48:rate=25:duration=300 -c:v libx264 "
                        "-preset ultrafast -g 250 -pix_fmt yuv420p");
}

struct TEventLog {
  std::mutex Lock;
  std::vector<TTerminateInfo> Terminations;
  std::vector<std::thread::id> Threads;
  std::atomic<bool> FinalSeen{false};

  TTerminateEvent Handler() {
    return [this](TCustomFFmpegVCL *, const TTerminateInfo &info) {
      std::lock_guard lock(Lock);
      Terminations.push_back(info);
      Threads.push_back(std::this_thread::get_id());
      if (info.TaskIndex == -1) FinalSeen = true;
    };
  }
  std::vector<int> Indexes() {
    std::lock_guard lock(Lock);
    std::vector<int> r;
    for (const auto &t : Terminations) r.push_back(t.TaskIndex);
    return r;
  }
};

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Vcl.LoadAVLib("")) << Vcl.LastErrMsg();
    Vcl.SetOnTerminate(Events.Handler());
  }

  // Adds a task that copies `input` into a Matroska file in the temp folder.
  int AddCopyTask(const std::string &input, const std::string &outName) {
    TInputOptions in;
    InitInputOptions(in);
    const int index = Vcl.AddTask(UTF8ToWide(input), &in);
    EXPECT_GE(index, 0) << Vcl.LastErrMsg();
    TOutputOptions out;
    InitOutputOptions(out);
    out.VideoCodec = "copy";
    out.AudioCodec = "copy";
    EXPECT_TRUE(Vcl.SetOutputFile(index, UTF8ToWide(Dir / outName), &out)) << Vcl.LastErrMsg();
    return index;
  }

  void WaitForFinal() {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!Events.FinalSeen && std::chrono::steady_clock::now() < deadline) ServeMainThread(5ms);
    ASSERT_TRUE(Events.FinalSeen);
  }

  fixtures::TTempDir Dir;
  TEventLog Events;  // outlives the component, whose last events it may still receive
  TFFmpegVCL Vcl;
};

}  // namespace

TEST(Component, ProgressIntervalHasAFloorOf100ms) {
  TFFmpegVCL vcl;
  const std::pair<int, int> cases[] = {{50, 100}, {100, 100}, {101, 101}, {500, 500}};
  for (const auto &[set, stored] : cases) {
    vcl.SetProgressInterval(set);
    EXPECT_EQ(vcl.ProgressInterval(), stored);
  }
}

TEST(Component, AddTaskWithoutLibrariesFailsWithAMessage) {
  TFFmpegVCL vcl;
  EXPECT_EQ(vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0))), -1);
  EXPECT_FALSE(vcl.LastErrMsg().empty());
}

TEST_F(ComponentTest, MissingInputFailsWithTheEnginesText) {
  EXPECT_EQ(Vcl.AddTask(UTF8ToWide(Dir / "missing.mp4")), -1);
  EXPECT_EQ(Vcl.LastErrMsg(), (Dir / "missing.mp4") + ": No such file or directory");
  EXPECT_EQ(Vcl.TaskCount(), 0);
}

TEST_F(ComponentTest, SynchronousRunDeliversEveryEventOnTheCallingThread) {
  const std::string clip = fixtures::Clip(1.0);
  for (int i = 0; i < 3; ++i) AddCopyTask(clip, "out" + std::to_string(i) + ".mkv");
  ASSERT_NE(Vcl.AVProbes(0, 0), nullptr);
  EXPECT_EQ(Vcl.AVProbes(0, 0)->VideoStreamCount(), 1);

  Vcl.StartTask(0);
  EXPECT_EQ(Events.Indexes(), (std::vector<int>{0, 1, 2, -1}));
  for (const auto &id : Events.Threads) EXPECT_EQ(id, std::this_thread::get_id());
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Events.Terminations[i].Finished);
    EXPECT_FALSE(Events.Terminations[i].Exception) << Events.Terminations[i].ExceptionMsg;
    EXPECT_GT(fs::file_size(Dir / ("out" + std::to_string(i) + ".mkv")), 0u);
  }
  EXPECT_TRUE(Vcl.AllTerminated());
}

TEST_F(ComponentTest, NeverRunsMoreTasksThanThreads) {
  const std::string clip = LongClip();
  for (int i = 0; i < 5; ++i) AddCopyTask(clip, "out" + std::to_string(i) + ".mkv");
  int most = 0;
  Vcl.StartTask(2);
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (!Events.FinalSeen && std::chrono::steady_clock::now() < deadline) {
    most = std::max(most, Vcl.RunningTaskCount());
    ServeMainThread(std::chrono::milliseconds(0));
  }
  ASSERT_TRUE(Events.FinalSeen);
  EXPECT_EQ(most, 2);
  auto order = Events.Indexes();
  ASSERT_EQ(order.size(), 6u);
  EXPECT_EQ(order.back(), -1);
  std::sort(order.begin(), order.end() - 1);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, -1}));
  for (const auto &id : Events.Threads) EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(ComponentTest, StopDuringAThreadedRunEndsEveryTaskOnceThenTheRun) {
  const std::string clip = LongClip();
  for (int i = 0; i < 4; ++i) AddCopyTask(clip, "out" + std::to_string(i) + ".mkv");
  Vcl.StartTask(1);
  std::this_thread::sleep_for(20ms);
  Vcl.StopTask(true);
  WaitForFinal();
  auto order = Events.Indexes();
  ASSERT_EQ(order.size(), 5u);
  EXPECT_EQ(order.back(), -1);
  std::sort(order.begin(), order.end() - 1);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, -1}));
  // The tasks that never started end unfinished; the first may have got to its end already.
  for (size_t i = 0; i + 1 < Events.Terminations.size(); ++i)
    if (Events.Terminations[i].TaskIndex > 0) {
      EXPECT_FALSE(Events.Terminations[i].Finished);
    }
  // The stopped task's file was finished properly and can be read.
  EXPECT_FALSE(fixtures::Probe(Dir / "out0.mkv", "format=duration").empty());
}

TEST_F(ComponentTest, ProgressMarshalledToAMainThreadWaitingInStopDoesNotDeadlock) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  std::atomic<int> progressCalls{0};
  std::thread::id progressThread;
  Vcl.SetProgressInterval(100);
  Vcl.SetOnProgress([&](TCustomFFmpegVCL *, PProgressInfo info) {
    progressThread = std::this_thread::get_id();
    EXPECT_EQ(info->TaskIndex, 0);
    ++progressCalls;
  });
  AddCopyTask(LongClip(), "out.mkv");
  Vcl.StartTask(1);
  // Do not serve the main thread for a while: the worker blocks on its first progress event.
  std::this_thread::sleep_for(300ms);
  Vcl.StopTask(true);
  WaitForFinal();
  SetMainThreadDispatcher(nullptr);
  EXPECT_GE(progressCalls, 1);
  EXPECT_EQ(progressThread, std::this_thread::get_id());
}

TEST_F(ComponentTest, AfterTheFinalEventTasksCanBeAddedOnlyAfterClearing) {
  AddCopyTask(fixtures::Clip(1.0), "out.mkv");
  Vcl.StartTask(0);
  ASSERT_TRUE(Events.FinalSeen);
  try {
    Vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0)));
    FAIL() << "AddTask accepted while working";
  } catch (const EFFmpegVCLError &e) {
    EXPECT_STREQ(e.what(), "Cannot AddTask while working.");
  }
  EXPECT_THROW(Vcl.StartTask(0), EFFmpegVCLError);
  Vcl.ClearTasks();
  EXPECT_EQ(Vcl.TaskCount(), 0);
  EXPECT_GE(Vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0))), 0);
}

// The final event comes when the run has ended: a synchronous run's handler may clear the tasks
// in the event, and whoever a threaded run's event wakes may clear them at once.
TEST_F(ComponentTest, TheFinalEventEndsTheRunForClearing) {
  std::atomic<bool> final{false};
  bool threaded = false;
  Vcl.SetOnTerminate([&](TCustomFFmpegVCL *, const TTerminateInfo &info) {
    if (info.TaskIndex != -1) return;
    if (!threaded) Vcl.ClearTasks();
    final = true;
  });
  AddCopyTask(fixtures::Clip(1.0), "sync.mkv");
  Vcl.StartTask(0);
  EXPECT_TRUE(final);
  EXPECT_EQ(Vcl.TaskCount(), 0);

  final = false;
  threaded = true;
  AddCopyTask(fixtures::Clip(1.0), "threaded.mkv");
  Vcl.StartTask(1);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!final && std::chrono::steady_clock::now() < deadline) ServeMainThread(1ms);
  ASSERT_TRUE(final);
  EXPECT_NO_THROW(Vcl.ClearTasks());
  EXPECT_EQ(Vcl.TaskCount(), 0);
}

TEST_F(ComponentTest, ClearingIsRefusedWhileRunning) {
  AddCopyTask(LongClip(), "out.mkv");
  Vcl.StartTask(1);
  try {
    Vcl.ClearTasks();
    FAIL() << "ClearTasks accepted while running";
  } catch (const EFFmpegVCLError &e) {
    EXPECT_STREQ(e.what(), "Cannot ClearTasks while working.");
  }
  Vcl.StopTask(true);
  WaitForFinal();
  Vcl.ClearTasks();
}

TEST_F(ComponentTest, AnEmptyRunEndsAtOnce) {
  Vcl.StartTask(1);
  WaitForFinal();
  EXPECT_EQ(Events.Indexes(), std::vector<int>{-1});
  EXPECT_NO_THROW(Vcl.ClearTasks());
}

TEST_F(ComponentTest, TheTwentyFirstOutputIsRefused) {
  const int task = Vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0)));
  ASSERT_GE(task, 0);
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(Vcl.SetOutputFile(task, UTF8ToWide(Dir / ("o" + std::to_string(i) + ".mkv"))))
        << i << ": " << Vcl.LastErrMsg();
  EXPECT_FALSE(Vcl.SetOutputFile(task, UTF8ToWide(Dir / "o20.mkv")));
  EXPECT_EQ(Vcl.LastErrMsg(), "max output files 20 reached");
  EXPECT_THROW(Vcl.SetOutputFile(5, UTF8ToWide(Dir / "x.mkv")), EFFmpegVCLError);
}

TEST_F(ComponentTest, ATaskWithoutOutputFailsAtStart) {
  ASSERT_GE(Vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0))), 0);
  Vcl.StartTask(0);
  ASSERT_EQ(Events.Terminations.size(), 2u);
  EXPECT_TRUE(Events.Terminations[0].Exception);
  EXPECT_FALSE(Events.Terminations[0].Finished);
  EXPECT_EQ(Events.Terminations[0].ExceptionMsg, "At least one output file must be specified");
}

namespace {
int OpenDescriptors() {
  return static_cast<int>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}
long ResidentKiB() {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      in >> kib;
      return kib;
    }
    in.ignore(4096, '\n');
  }
  return 0;
}
}  // namespace

TEST_F(ComponentTest, ManyShortRunsLeaveNoDescriptorsOrMemoryBehind) {
  const std::string clip = fixtures::Clip(1.0);
  auto batch = [&](int tasks) {
    for (int i = 0; i < tasks; ++i) AddCopyTask(clip, "out" + std::to_string(i % 4) + ".mkv");
    Events.FinalSeen = false;
    Vcl.StartTask(0);
    ASSERT_TRUE(Events.FinalSeen);
    Vcl.ClearTasks();
  };
  batch(20);  // warm up: libraries, caches, first allocations
  const int fds = OpenDescriptors();
  const long rss = ResidentKiB();
  for (int round = 0; round < 9; ++round) batch(20);
  EXPECT_EQ(OpenDescriptors(), fds);
  EXPECT_LT(ResidentKiB() - rss, 8 * 1024) << "resident memory grew by more than 8 MiB";
}

TEST(Previewer, ShowsPicturesWithTheirTimeUntilTheWindowIsClosed) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_TRUE(FFLoader().LoadLibs(PlayerLibs)) << FFLoader().LastErrMsg();
  auto previewer = CreateSDLPreviewer();
  ASSERT_NE(previewer, nullptr);
  auto &window = static_cast<TSDLPreviewer &>(*previewer);
  TBitmap bitmap;
  bitmap.SetSize(33, 17);  // odd sizes: rows padded to four bytes
  EXPECT_TRUE(window.Show(bitmap, 1, 3723004000));
  EXPECT_EQ(window.Caption(), "01:02:03.004");
  EXPECT_TRUE(window.Show(bitmap, 2, -1));
  EXPECT_EQ(window.Caption(), "N/A");

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = 1;  // the only window
  ASSERT_EQ(ff::SDL_PushEvent(&close), 1);
  EXPECT_FALSE(window.Show(bitmap, 3, 0));
  EXPECT_TRUE(window.Closed());
  EXPECT_FALSE(window.Show(bitmap, 4, 0));
}

namespace {
// Average luma of the first frame of a video file.
double FirstFrameLuma(const std::string &file) {
  const std::string out =
      fixtures::Run("ffprobe -v error -f lavfi -i " +
                    fixtures::Quote("movie=" + file + ",signalstats") +
                    " -read_intervals %+#1 -show_entries frame_tags=lavfi.signalstats.YAVG"
                    " -of default=noprint_wrappers=1:nokey=1")
          .Output;
  return std::atof(out.c_str());
}
}  // namespace

TEST_F(ComponentTest, HookDrawsOnFramesUntilItStopsItself) {
  struct TCase {
    bool Update;
    int StopAfter;
    bool ExpectBlack;
  };
  for (const TCase c :
       {TCase{true, 1000, true}, TCase{false, 1000, false}, TCase{true, 5, false}}) {
    std::atomic<int> calls{0};
    Vcl.SetOnCustomHook([&](TCustomFFmpegVCL *, PHookInfo info) {
      ++calls;
      for (int y = 0; y < info->Bitmap->Height(); ++y)
        std::fill_n(info->Bitmap->ScanLine(y), info->Bitmap->Width() * 3, 0);
      info->Update = c.Update;
      if (calls == c.StopAfter) info->StopHook = true;
    });
    TInputOptions in;
    InitInputOptions(in);
    const int task = Vcl.AddTask(UTF8ToWide(fixtures::Clip(1.0)), &in);
    ASSERT_GE(task, 0) << Vcl.LastErrMsg();
    TOutputOptions out;
    InitOutputOptions(out);
    out.VideoCodec = "mpeg4";
    out.DisableAudio = true;
    out.HookEnabled = true;
    const std::string file = Dir / "hooked.avi";
    ASSERT_TRUE(Vcl.SetOutputFile(task, UTF8ToWide(file), &out)) << Vcl.LastErrMsg();
    Events.FinalSeen = false;
    Vcl.StartTask(0);
    ASSERT_TRUE(Events.FinalSeen);
    EXPECT_EQ(calls, std::min(c.StopAfter, 25));
    const double luma = FirstFrameLuma(file);
    if (c.StopAfter > 25) {
      if (c.ExpectBlack) {
        EXPECT_LT(luma, 20) << "hook drawing did not reach the encoder";
      } else {
        EXPECT_GT(luma, 40) << "frame changed although Update was cleared";
      }
    }
    Vcl.ClearTasks();
  }
}

namespace {
// The titles of the SDL windows that exist now, with their sizes.
std::vector<std::tuple<std::string, int, int>> SDLWindows() {
  std::vector<std::tuple<std::string, int, int>> windows;
  for (uint32_t id = 1; id < 64; ++id)
    if (SDL_Window *w = ff::SDL_GetWindowFromID(id)) {
      int width = 0, height = 0;
      ff::SDL_GetWindowSize(w, &width, &height);
      windows.emplace_back(ff::SDL_GetWindowTitle(w), width, height);
    }
  return windows;
}
}  // namespace

// With the preview switched on, each task shows its pictures in a window of its own, captioned
// with the time of the picture, and the window goes with the run.
TEST_F(ComponentTest, PreviewWindowShowsThePicturesOfTheRun) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  Vcl.SetPreview(true);
  const int task = Vcl.AddTask(UTF8ToWide(fixtures::Clip(3.0, 160, 120)));
  ASSERT_GE(task, 0) << Vcl.LastErrMsg();
  ASSERT_TRUE(Vcl.SetOutputFile(task, UTF8ToWide(Dir / "preview.avi"))) << Vcl.LastErrMsg();
  std::set<std::string> captions;
  Vcl.StartTask(1);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!Events.FinalSeen && std::chrono::steady_clock::now() < deadline) {
    ServeMainThread(2ms);
    if (!FFLoader().LibLoaded(TLibraryKind::SDL)) continue;
    for (const auto &[title, width, height] : SDLWindows()) {
      EXPECT_EQ(width, 160);
      EXPECT_EQ(height, 120);
      if (!title.empty()) captions.insert(title);
    }
  }
  ASSERT_TRUE(Events.FinalSeen);
  ServeMainThread(0ms);
  SetMainThreadDispatcher(nullptr);
  EXPECT_FALSE(Events.Terminations[0].Exception) << Events.Terminations[0].ExceptionMsg;
  ASSERT_FALSE(captions.empty()) << "no picture reached a preview window";
  for (const std::string &caption : captions)
    EXPECT_TRUE(std::regex_match(caption, std::regex(R"(00:00:0\d\.\d{3})"))) << caption;
  EXPECT_TRUE(SDLWindows().empty()) << "the window outlived its task";
}

// The GUI switches the preview off at the moment a task waits for it to take a picture (the
// bitmap event, or the preview window): the switch must not wait for the task, which waits for
// the GUI.
TEST_F(ComponentTest, ThePreviewCanBeSwitchedOffWhileAPictureWaitsForTheMainThread) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  for (const bool window : {false, true}) {
    SCOPED_TRACE(window ? "preview window" : "preview bitmaps");
    fixtures::TWatchedDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    std::atomic<int> pictures{0};
    Vcl.SetOnPreviewBitmap([&](TCustomFFmpegVCL *, const TPreviewInfo &) { ++pictures; });
    window ? Vcl.SetPreview(true) : Vcl.SetPreviewBitmap(true);
    const int task = Vcl.AddTask(UTF8ToWide(LongClip()));
    ASSERT_GE(task, 0) << Vcl.LastErrMsg();
    ASSERT_TRUE(Vcl.SetOutputFile(task, UTF8ToWide(Dir / "preview.avi"))) << Vcl.LastErrMsg();
    Events.FinalSeen = false;
    Vcl.StartTask(1);
    ASSERT_TRUE(dispatcher.WaitForArrivals(1, 20s));  // the task waits for the GUI thread now
    {
      fixtures::TDeadlockWatchdog watchdog("switching the preview off", 20s);
      window ? Vcl.SetPreview(false) : Vcl.SetPreviewBitmap(false);
    }
    Vcl.StopTask(true);
    WaitForFinal();
    ServeMainThread(0ms);
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(pictures, window ? 0 : 1);
    Vcl.ClearTasks();
  }
}

// The handler of the final event clears the tasks, as the main window does when a batch has
// ended: on the thread that delivers the event, or marshalled to a GUI thread that serves calls.
TEST_F(ComponentTest, TheFinalEventsHandlerMayClearTheTasks) {
  const std::string clip = fixtures::Clip(1.0);
  struct TCase {
    const char *Name;
    int Threads;
    bool OnGuiThread;    // the handler hands ClearTasks to the GUI thread and waits for it
    bool StartOnWorker;  // StartTask is called on a thread other than the GUI thread
  };
  for (const TCase c :
       {TCase{"threaded, on the delivering thread", 1, false, false},
        TCase{"threaded, on the GUI thread", 1, true, false}, TCase{"synchronous", 0, false, false},
        TCase{"synchronous on a worker, on the GUI thread", 0, true, true}}) {
    SCOPED_TRACE(c.Name);
    TQueueDispatcher dispatcher;
    SetMainThreadDispatcher(&dispatcher);
    std::atomic<bool> cleared{false};
    std::string error;
    Vcl.SetOnTerminate([&](TCustomFFmpegVCL *, const TTerminateInfo &info) {
      if (info.TaskIndex != -1) return;
      auto clear = [&] {
        try {
          Vcl.ClearTasks();
        } catch (const std::exception &e) {
          error = e.what();
        }
      };
      c.OnGuiThread ? RunInMainThread(clear) : clear();
      cleared = true;
    });
    AddCopyTask(clip, "out0.mkv");
    AddCopyTask(clip, "out1.mkv");
    {
      fixtures::TDeadlockWatchdog watchdog(c.Name, 60s);
      std::thread starter;
      if (c.StartOnWorker)
        starter = std::thread([&] { Vcl.StartTask(c.Threads); });
      else
        Vcl.StartTask(c.Threads);
      while (!cleared) ServeMainThread(5ms);
      if (starter.joinable()) starter.join();
    }
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(error, "");
    EXPECT_EQ(Vcl.TaskCount(), 0);
    EXPECT_FALSE(Vcl.Working());
    EXPECT_GE(Vcl.AddTask(UTF8ToWide(clip)), 0) << Vcl.LastErrMsg();  // ready for the next batch
    Vcl.ClearTasks();
  }
}

// The host replaces and clears the handlers on its own thread while a run raises every event, as
// the main window does when it closes in the middle of a batch.  Every event goes to the handler
// assigned at that moment or to none; no swap waits for a handler that waits for the host.
TEST_F(ComponentTest, HandlersAreReplacedWhileTheEventsFire) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  std::atomic<int> hooks{0}, pictures{0}, reports{0};
  const TCustomHookEvent hook = [&](TCustomFFmpegVCL *, PHookInfo) { ++hooks; };
  const TPreviewBitmapEvent picture = [&](TCustomFFmpegVCL *, const TPreviewInfo &) { ++pictures; };
  const TProgressEvent progress = [&](TCustomFFmpegVCL *, PProgressInfo) { ++reports; };
  Vcl.SetProgressInterval(100);
  Vcl.SetPreviewBitmap(true);
  Vcl.SetCodecThreads(1);  // the threads that matter here are the component's, not the codecs'
  TInputOptions in;
  InitInputOptions(in);
  const int task = Vcl.AddTask(UTF8ToWide(LongClip()), &in);
  ASSERT_GE(task, 0) << Vcl.LastErrMsg();
  TOutputOptions out;
  InitOutputOptions(out);
  out.VideoCodec = "mpeg4";
  out.HookEnabled = true;
  ASSERT_TRUE(Vcl.SetOutputFile(task, UTF8ToWide(Dir / "swapped.avi"), &out)) << Vcl.LastErrMsg();
  Vcl.StartTask(1);
  {
    fixtures::TDeadlockWatchdog watchdog("replacing the handlers", 60s);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (int round = 0;
         (hooks < 50 || pictures < 3 || reports < 3) && std::chrono::steady_clock::now() < deadline;
         ++round) {
      const bool on = round % 2 == 0;
      Vcl.SetOnCustomHook(on ? hook : nullptr);
      Vcl.SetOnPreviewBitmap(on ? picture : nullptr);
      Vcl.SetOnProgress(on ? progress : nullptr);
      Vcl.SetOnTerminate(Events.Handler());
      if (round % 64 == 0) ServeMainThread(1ms);
    }
    // The close path: no handler but the one for the end, then the run is stopped.
    Vcl.SetOnCustomHook(nullptr);
    Vcl.SetOnPreviewBitmap(nullptr);
    Vcl.SetOnProgress(nullptr);
    Vcl.StopTask(true);
    WaitForFinal();
  }
  ServeMainThread(0ms);
  SetMainThreadDispatcher(nullptr);
  EXPECT_GE(hooks, 50);
  EXPECT_GE(pictures, 3);
  EXPECT_GE(reports, 3);
  ASSERT_FALSE(Events.Terminations.empty());
  EXPECT_FALSE(Events.Terminations[0].Exception) << Events.Terminations[0].ExceptionMsg;
}
