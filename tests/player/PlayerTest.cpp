// The player component's contract with its host: opening, states, positions, snapshots, hook,
// and stopping.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/MainThread.h"
#include "tests/player/PlayerFixture.h"

TEST_F(PlayerTest, OpenOfMissingFileFailsWithReadersMessageAndReportsNoStop) {
  const std::string missing = Temp / "missing.mp4";
  EXPECT_FALSE(Open(missing));
  EXPECT_EQ(Player.LastErrMsg(), missing + ": No such file or directory");
  EXPECT_FALSE(Player.Playing());
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(Events.States().empty());
}

TEST_F(PlayerTest, OpenWithoutLibrariesFails) {
  FFLoader().UnloadLibs(PlayerLibs);
  EXPECT_FALSE(Player.AVLibLoaded());
  EXPECT_FALSE(Open(fixtures::Clip(1.0)));
  EXPECT_EQ(Player.LastErrMsg(), "libav or libsdl not loaded.");
}

TEST_F(PlayerTest, OpenWhilePlayingReportsOldStopThenNewPlay) {
  const std::string clip = fixtures::Clip(1.0);
  ASSERT_TRUE(Open(clip)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s));
  ASSERT_TRUE(Open(clip)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s, 2));
  Player.Stop(true);
  EXPECT_EQ(Events.States(), (std::vector{TPlayState::psPlay, TPlayState::psStop,
                                          TPlayState::psPlay, TPlayState::psStop}));
}

TEST_F(PlayerTest, PauseTwiceReportsOnePauseAndResumeWithoutPauseNothing) {
  ASSERT_TRUE(Open(fixtures::Clip(2.0))) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s));
  Player.Resume();
  Player.Pause();
  Player.Pause();
  EXPECT_TRUE(Player.IsPaused());
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Events.StateCount(TPlayState::psPause), 1);
  EXPECT_EQ(Events.StateCount(TPlayState::psResume), 0);
  Player.Resume();
  EXPECT_TRUE(Events.WaitFor(TPlayState::psResume, 1s));
  EXPECT_FALSE(Player.IsPaused());
}

TEST_F(PlayerTest, PositionsStepMoreThan10msAndTheLastEqualsTheDuration) {
  int64_t duration = 0;
  Player.OnFileOpen = [&](TCustomPlayer *, int64_t d, int, int, int &, int &) { duration = d; };
  ASSERT_TRUE(Open(fixtures::Clip(1.0))) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 5s));
  std::this_thread::sleep_for(100ms);
  const auto positions = Events.Positions();
  ASSERT_GT(positions.size(), 10u);
  ASSERT_GT(duration, 0);
  for (size_t i = 1; i + 1 < positions.size(); ++i)
    EXPECT_GT(positions[i].PTS - positions[i - 1].PTS, 10000) << "at " << i;
  EXPECT_EQ(positions.back().PTS, duration);
  EXPECT_EQ(Player.CurrentPosition(), duration);
}

TEST_F(PlayerTest, BurstOfPositionsReachesABusyMainThreadAsOneEvent) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  Player.SetTriggerEventInMainThread(true);
  ASSERT_TRUE(Open(fixtures::Clip(2.0))) << Player.LastErrMsg();
  std::this_thread::sleep_for(800ms);  // busy: about 20 positions pile up
  for (int i = 0; i < 3; ++i) dispatcher.ProcessPending(50ms);
  const auto positions = Events.Positions();
  // psPlay was on its way when the main thread got busy; the positions behind it collapsed into
  // the newest one.
  ASSERT_GE(positions.size(), 1u);
  ASSERT_LE(positions.size(), 2u);
  EXPECT_GE(positions.front().PTS, 600000);
  Player.Stop(true);
  SetMainThreadDispatcher(nullptr);
}

TEST_F(PlayerTest, AudioOnlyFileReportsAudioClockPositionsAndEndAfterItsEnd) {
  ASSERT_TRUE(Open(fixtures::AudioMp3(1.0))) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 4s));
  const double endWall = SecondsSince(Events.Start);
  const auto positions = Events.Positions();
  ASSERT_GT(positions.size(), 10u);
  // The audio clock runs with the wall clock.
  const auto &first = positions.front();
  const auto &middle = positions[positions.size() / 2];
  EXPECT_NEAR((middle.PTS - first.PTS) / 1e6, middle.Wall - first.Wall, 0.1);
  EXPECT_GE(endWall, 0.9);
  // Without a video stream the end is reported again on later refreshes.
  EXPECT_TRUE(Events.WaitFor(TPlayState::psEnd, 1s, 2));
  int64_t pts = 0;
  const TBitmap *snapshot = Player.FrameSnapshot(pts);
  EXPECT_EQ(snapshot->Width(), 0);
  EXPECT_EQ(snapshot->Height(), 0);
  EXPECT_EQ(pts, -1);
}

TEST_F(PlayerTest, SnapshotWithNothingOpenIsEmpty) {
  int64_t pts = 0;
  const TBitmap *snapshot = Player.FrameSnapshot(pts);
  EXPECT_EQ(snapshot->Width(), 0);
  EXPECT_EQ(snapshot->Height(), 0);
  EXPECT_EQ(pts, -1);
}

TEST_F(PlayerTest, SoundOnlyPlayerOpensNoVideo) {
  Player.SetDisableDisplay(true);
  int width = 0;
  Player.OnFileOpen = [&](TCustomPlayer *, int64_t, int w, int, int &, int &) { width = w; };
  ASSERT_TRUE(Open(fixtures::Clip(1.0))) << Player.LastErrMsg();
  EXPECT_EQ(width, -1);
  EXPECT_TRUE(Player.DisableVideo());
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 4s));
  EXPECT_GT(AudioFileSize(), 44100 * 4 / 2);
}

// A hook's drawing reaches the screen; a hook that raises leaves the picture as decoded and
// playback goes on to the end.
TEST_F(PlayerTest, HookDrawsOnThePictureAndARaisingHookChangesNothing) {
  for (const bool raise : {false, true}) {
    SCOPED_TRACE(raise ? "raising hook" : "drawing hook");
    std::atomic<int> calls{0};
    Player.SetHook(true);
    Player.OnHook = [&](TCustomPlayer *, TBitmap *bitmap, int64_t) {
      ++calls;
      for (int y = 0; y < bitmap->Height(); ++y)
        std::memset(bitmap->ScanLine(y), 255, bitmap->Width() * 3);
      if (raise) throw std::runtime_error("drawing failed");
    };
    ASSERT_TRUE(Open(NumberedClip(1.0))) << Player.LastErrMsg();
    ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 4s, raise ? 2 : 1));
    EXPECT_GT(calls, 20);
    const TBitmap *snapshot = Player.FrameSnapshot();
    ASSERT_EQ(snapshot->Width(), 320);
    // The last frame (24) has black and white columns; the drawing hook made it all white.
    const int number = FrameNumberOf(*snapshot);
    EXPECT_EQ(number, raise ? 24 : 1023);
    Player.Stop(true);
  }
}

// The host replaces and clears the handlers on its own thread while the player's threads raise
// the events, as an editor does when it closes while its preview plays.  Every event goes to the
// handler assigned at that moment or to none.
TEST_F(PlayerTest, HandlersAreReplacedWhileTheEventsFire) {
  std::atomic<int> hooks{0}, positions{0}, states{0};
  const THookEvent hook = [&](TCustomPlayer *, TBitmap *, int64_t) { ++hooks; };
  const TPositionEvent position = [&](TCustomPlayer *, int64_t) { ++positions; };
  const TPlayStateEvent state = [&](TCustomPlayer *, TPlayState) { ++states; };
  Player.SetHook(true);
  ASSERT_TRUE(Open(fixtures::Clip(10.0))) << Player.LastErrMsg();
  const auto deadline = TClock::now() + 30s;
  for (int round = 0; (hooks < 20 || positions < 3) && TClock::now() < deadline; ++round) {
    const bool on = round % 2 == 0;
    Player.OnHook = on ? hook : nullptr;
    Player.OnPosition = on ? position : nullptr;
    Player.OnState = on ? state : nullptr;
    if (round % 64 == 0) std::this_thread::sleep_for(1ms);
  }
  Events.Attach(Player);
  Player.Stop(true);
  EXPECT_GE(hooks, 20);
  EXPECT_GE(positions, 3);
  EXPECT_FALSE(Player.Playing());
}

// A reader blocked in the input (a pipe whose writer went quiet) does not hold Stop up.
TEST_F(PlayerTest, StopReturnsWithinASecondWhileTheReaderIsBlocked) {
  const std::string tone =
      fixtures::Make("tone-8s.mp3", "-f lavfi -i sine=d=8 -c:a libmp3lame -b:a 64k");
  const std::string pipe = Temp / "pipe.mp3";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::atomic<bool> release{false};
  std::thread writer([&] {
    const int fd = open(pipe.c_str(), O_WRONLY);
    std::ifstream in(tone, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (write(fd, bytes.data(), bytes.size()) < 0) return;
    while (!release) std::this_thread::sleep_for(10ms);
    close(fd);
  });
  ASSERT_TRUE(Open(pipe)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s));
  std::this_thread::sleep_for(300ms);  // the reader has read everything and waits for more
  const auto t0 = TClock::now();
  Player.Stop(true);
  EXPECT_LT(SecondsSince(t0), 1.6);
  EXPECT_FALSE(Player.Playing());
  EXPECT_EQ(Events.StateCount(TPlayState::psStop), 1);
  release = true;
  writer.join();
  std::this_thread::sleep_for(200ms);  // the left-behind reader finishes its read and closes
}

// Opened paused, the player shows its first pictures and holds there.
TEST_F(PlayerTest, OpenPausedShowsTheFirstPicturesAndHolds) {
  ASSERT_TRUE(Open(NumberedClip(1.0), true)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPause, 2s));
  std::this_thread::sleep_for(300ms);
  int64_t pts = -1;
  const TBitmap *snapshot = Player.FrameSnapshot(pts);
  ASSERT_EQ(snapshot->Width(), 320);
  EXPECT_LE(FrameNumberOf(*snapshot), 1);
  EXPECT_LE(pts, 40000);
  EXPECT_TRUE(Player.IsPaused());
  Player.Resume();
  EXPECT_TRUE(Events.WaitFor(TPlayState::psEnd, 3s));
}

// A different aspect ratio while playing re-creates the output; playback goes on.
TEST_F(PlayerTest, AspectRatioChangeWhilePlayingKeepsPlaying) {
  ASSERT_TRUE(Open(fixtures::Clip(1.0))) << Player.LastErrMsg();
  std::this_thread::sleep_for(200ms);
  Player.SetAspectRatio(-1);
  Player.SetAspectRatio(2.35f);
  EXPECT_TRUE(Events.WaitFor(TPlayState::psEnd, 3s));
}

TEST_F(PlayerTest, SeekRelativeMovesThePositionAndClearsTheEnd) {
  ASSERT_TRUE(Open(fixtures::Clip(2.0))) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 4s));
  Player.Seek(skAny, true, 0);
  std::this_thread::sleep_for(300ms);
  const int64_t before = Player.CurrentPosition();
  EXPECT_LT(before, 500000);
  Player.SeekRelative(0, true, 1.0);
  std::this_thread::sleep_for(200ms);
  // One second on from the sound's clock, which runs up to a buffer ahead of the picture, plus
  // the 200 ms played since.
  EXPECT_NEAR(Player.CurrentPosition(), before + 1300000, 200000);
  EXPECT_TRUE(Events.WaitFor(TPlayState::psEnd, 3s, 2));
}

// A still picture ("image2") is shown without positions, end or end-of-file reports.
TEST_F(PlayerTest, StillImageShowsItsPictureWithoutPositionsOrEnd) {
  const std::string still =
      fixtures::Make("still-320x240.jpg", "-f lavfi -i testsrc=s=320x240 -frames:v 1");
  int64_t duration = -1;
  Player.OnFileOpen = [&](TCustomPlayer *, int64_t d, int, int, int &, int &) { duration = d; };
  ASSERT_TRUE(Open(still)) << Player.LastErrMsg();
  EXPECT_EQ(duration, 0);
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(Player.FrameSnapshot()->Width(), 320);
  EXPECT_TRUE(Events.Positions().empty());
  EXPECT_EQ(Events.StateCount(TPlayState::psEnd), 0);
}

// A host may stop the player from its own state handler, for example at the end of the file.
TEST_F(PlayerTest, StopFromTheStateHandlerReturns) {
  std::atomic<bool> stopped{false};
  auto record = Player.OnState;
  Player.OnState = [&](TCustomPlayer *sender, TPlayState state) {
    record(sender, state);
    if (state == TPlayState::psEnd) {
      sender->Stop(true);
      stopped = true;
    }
  };
  ASSERT_TRUE(Open(fixtures::Clip(1.0))) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psStop, 4s));
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(Player.Playing());
}

// The hook's bitmap of an odd-width picture is whole: its last column is not left black.
TEST_F(PlayerTest, HookBitmapOfAnOddWidthIsFilledToTheLastColumn) {
  const std::string white = fixtures::Make(
      "white-321x240.mkv",
      "-f lavfi -i color=c=white:s=322x240:r=25:d=1,format=yuv444p,crop=321:240:0:0 -c:v ffv1");
  std::atomic<int> calls{0}, blackEdges{0};
  Player.SetDisableAudio(true);
  Player.SetHook(true);
  Player.OnHook = [&](TCustomPlayer *, TBitmap *bitmap, int64_t) {
    ++calls;
    const int last = bitmap->Width() - 1;
    if (last != 320 || bitmap->ScanLine(bitmap->Height() / 2)[last * 3 + 1] < 200) ++blackEdges;
  };
  ASSERT_TRUE(Open(white)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 4s));
  EXPECT_GT(calls, 10);
  EXPECT_EQ(blackEdges, 0);
}

// Drivers are SDL's own names here.  A choice holds for the Open it is made for and leaves
// nothing in the environment: after a driver that cannot start, the default opens again.
TEST_F(PlayerTest, DriverChoicesLeaveNothingBehindForLaterOpens) {
  const std::string clip = fixtures::Clip(1.0);
  struct TCase {
    const char *Audio;
    const char *Video;
    bool Opens;
  };
  const TCase cases[] = {
      {"dummy", "dummy", true},
      {"", "no-such-display", false},
      {"no-such-sound", "", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Audio) + "/" + c.Video);
    Player.SetAudioDriver(std::string(c.Audio));
    Player.SetVideoDriver(std::string(c.Video));
    EXPECT_EQ(Open(clip), c.Opens) << Player.LastErrMsg();
    Player.Stop(true);
    EXPECT_STREQ(getenv("SDL_VIDEODRIVER"), "dummy");
    EXPECT_STREQ(getenv("SDL_AUDIODRIVER"), "disk");
    Player.SetAudioDriver(TAudioDriver::adDefault);
    Player.SetVideoDriver(TVideoDriver::vdDefault);
    EXPECT_TRUE(Open(clip)) << Player.LastErrMsg();
    Player.Stop(true);
  }
  // The other platform's choices, as hosts written for it set them, then the default again.
  Player.SetVideoDriver(TVideoDriver::vdGDI);
  Player.SetAudioDriver(TAudioDriver::adWaveOut);
  EXPECT_EQ(Player.VideoDriverName(), "x11");
  EXPECT_EQ(Player.AudioDriverName(), "alsa");
  Open(clip);  // may or may not start here (no display, no sound card)
  Player.Stop(true);
  Player.SetVideoDriver(TVideoDriver::vdDefault);
  Player.SetAudioDriver(TAudioDriver::adDefault);
  EXPECT_TRUE(Open(clip)) << Player.LastErrMsg();
}

// A player that stops without waiting (or waiting only until it no longer draws) still closes
// its sound while the next player opens: each gets its own events (the next loop starts once the
// last one has ended, so neither takes the other's), the first ends, and the second plays on.
TEST_F(PlayerTest, NextPlayerOpensWhileTheLastOneStillStops) {
  const std::string clip = fixtures::Clip(2.0);
  for (int round = 0; round < 4; ++round) {
    TEventRecorder nextEvents;
    TFFPlayer next;
    next.SetTriggerEventInMainThread(false);
    nextEvents.Attach(next);
    ASSERT_TRUE(Open(clip)) << Player.LastErrMsg();
    ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s, round + 1));
    std::this_thread::sleep_for(200ms);
    if (round % 2)
      Player.StopLeavingWindow();
    else
      Player.Stop(false);
    ASSERT_TRUE(next.Open(UTF8ToWide(clip), 0, false)) << next.LastErrMsg();
    EXPECT_TRUE(Events.WaitFor(TPlayState::psStop, 2s, round + 1)) << "round " << round;
    EXPECT_TRUE(nextEvents.WaitFor(TPlayState::psEnd, 5s)) << "round " << round;
    EXPECT_GT(next.CurrentPosition(), 1500000);
    EXPECT_FALSE(Player.Playing());
    next.Stop(true);
    Player.Stop(true);
  }
}
