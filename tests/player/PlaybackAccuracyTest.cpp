// Playback against the clock: pictures, sound and seeking on a clip whose frames carry their
// own numbers and whose sound clicks once a second.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <thread>

#include "tests/player/PlayerFixture.h"

namespace {

constexpr int SampleRate = 32000;  // 1024 samples take exactly 32 ms: the disk device keeps time
constexpr int Channels = 2;
constexpr int FrameUs = 40000;

struct THookRecord {
  double Wall;
  int64_t PTS;
  int Number;
};

// Linear interpolation in a series of (x, y) points sorted by x.
template <typename T, typename X, typename Y>
double Interpolate(const std::vector<T> &points, double x, X xOf, Y yOf) {
  auto it = std::lower_bound(points.begin(), points.end(), x,
                             [&](const T &p, double v) { return xOf(p) < v; });
  if (it == points.begin()) return yOf(*it);
  if (it == points.end()) return yOf(points.back());
  const T &a = *(it - 1);
  const T &b = *it;
  const double span = xOf(b) - xOf(a);
  return span <= 0 ? yOf(b) : yOf(a) + (yOf(b) - yOf(a)) * (x - xOf(a)) / span;
}

// Mean of clock(wall) minus picture time over the pictures within half a second of `around`.
template <typename Clock>
double MeanOffset(const std::vector<THookRecord> &hooks, double around, Clock clock) {
  double sum = 0;
  int n = 0;
  for (const auto &h : hooks)
    if (std::fabs(h.PTS / 1e6 - around) < 0.5) {
      sum += clock(h.Wall) - h.PTS / 1e6;
      ++n;
    }
  return n ? sum / n : 1e9;
}

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

}  // namespace

class PlaybackAccuracyTest : public PlayerTest {};

TEST_F(PlaybackAccuracyTest, PicturesFollowTheWallClockAndClicksSitWhereTheVideoSaysTheyBelong) {
  const std::string clip = NumberedClip(10.0);
  std::mutex lock;
  std::vector<THookRecord> hooks;
  Player.SetHook(true);
  Player.OnHook = [&](TCustomPlayer *, TBitmap *bitmap, int64_t pts) {
    std::lock_guard guard(lock);
    hooks.push_back({SecondsSince(Events.Start), pts, FrameNumberOf(*bitmap)});
  };
  struct TWrite {
    double Wall;
    int64_t Frames;
  };
  std::vector<TWrite> writes;  // when the disk driver's file grew
  Events.Start = TClock::now();
  ASSERT_TRUE(Open(clip)) << Player.LastErrMsg();
  int64_t lastSize = -1;
  while (Events.StateCount(TPlayState::psEnd) == 0 && SecondsSince(Events.Start) < 15) {
    const int64_t size = AudioFileSize();
    if (size != lastSize) writes.push_back({SecondsSince(Events.Start), size / (2 * Channels)});
    lastSize = size;
    std::this_thread::sleep_for(2ms);
  }
  Player.Stop(true);
  ASSERT_EQ(Events.StateCount(TPlayState::psEnd), 1);

  // Every picture in order, each carrying its own time.
  ASSERT_GT(hooks.size(), 240u);
  for (size_t i = 0; i < hooks.size(); ++i) {
    EXPECT_EQ(hooks[i].PTS, int64_t{hooks[i].Number} * FrameUs) << "picture " << i;
    if (i > 0) {
      EXPECT_GT(hooks[i].Number, hooks[i - 1].Number) << "picture " << i;
    }
  }
  // No drift against the sound device, whose clock the pictures follow: device time minus
  // picture time around the second second against the same around the last second.
  auto deviceTime = [&](double wall) {
    return Interpolate(
        writes, wall, [](const TWrite &w) { return w.Wall; },
        [](const TWrite &w) { return static_cast<double>(w.Frames) / SampleRate; });
  };
  const double drift = MeanOffset(hooks, 9.0, deviceTime) - MeanOffset(hooks, 1.5, deviceTime);
  EXPECT_NEAR(drift, 0, 0.05);

  // The clicks in the written sound, against the displayed picture time at that moment.
  const std::vector<int16_t> audio = ReadAudio();
  const auto positions = Events.Positions();
  ASSERT_GT(positions.size(), 100u);
  int clicks = 0;
  double worstClick = 0;
  for (size_t frame = 0; frame < audio.size() / Channels; ++frame) {
    if (std::abs(audio[frame * Channels]) < 16000) continue;
    // The device takes a buffer at once, and the player counts it as played once handed over:
    // its samples are due over the buffer period that ends when the buffer was written.
    const auto chunk = std::lower_bound(writes.begin(), writes.end(), static_cast<int64_t>(frame),
                                        [](const TWrite &w, int64_t f) { return w.Frames <= f; });
    if (chunk == writes.begin() || chunk == writes.end()) break;
    const int64_t chunkStart = (chunk - 1)->Frames;
    const double wall = chunk->Wall + static_cast<double>(frame - chunkStart) / SampleRate -
                        static_cast<double>(chunk->Frames - chunkStart) / SampleRate;
    const double videoTime = Interpolate(
        positions, wall, [](const auto &p) { return p.Wall; },
        [](const auto &p) { return p.PTS / 1e6; });
    const double clickTime = clicks + 0.5;
    EXPECT_NEAR(videoTime, clickTime, 0.04) << "click " << clicks;
    worstClick = std::max(worstClick, std::fabs(videoTime - clickTime));
    std::printf("click %d: video %+.1f ms\n", clicks, (videoTime - clickTime) * 1000);
    ++clicks;
    frame += SampleRate / 2;  // past this click
  }
  EXPECT_GE(clicks, 9);
  std::printf("pictures %zu, drift %.1f ms, clicks %d, worst click offset %.1f ms\n", hooks.size(),
              drift * 1000, clicks, worstClick * 1000);
}

// Without sound the pictures keep time with the wall clock itself.
TEST_F(PlaybackAccuracyTest, SilentPicturesKeepTimeWithTheWallClock) {
  std::mutex lock;
  std::vector<THookRecord> hooks;
  Player.SetDisableAudio(true);
  Player.SetHook(true);
  Player.OnHook = [&](TCustomPlayer *, TBitmap *bitmap, int64_t pts) {
    std::lock_guard guard(lock);
    hooks.push_back({SecondsSince(Events.Start), pts, FrameNumberOf(*bitmap)});
  };
  ASSERT_TRUE(Open(NumberedClip(10.0))) << Player.LastErrMsg();
  std::this_thread::sleep_for(5s);
  Player.Stop(true);
  std::lock_guard guard(lock);
  ASSERT_GT(hooks.size(), 110u);
  for (size_t i = 1; i < hooks.size(); ++i) {
    EXPECT_EQ(hooks[i].Number, hooks[i - 1].Number + 1) << "picture " << i;
  }
  auto wall = [](double w) { return w; };
  // 50 ms over 10 s.
  EXPECT_NEAR(MeanOffset(hooks, 4.0, wall) - MeanOffset(hooks, 1.0, wall), 0, 0.015);
}

TEST_F(PlaybackAccuracyTest, SeekWhilePausedShowsThePictureAtTheTargetAndStaysPaused) {
  ASSERT_TRUE(Open(NumberedClip(10.0))) << Player.LastErrMsg();
  std::this_thread::sleep_for(500ms);
  Player.Pause();
  Player.Seek(0, true, 5000000);
  std::this_thread::sleep_for(200ms);
  int64_t pts = 0;
  const TBitmap *snapshot = Player.FrameSnapshot(pts);
  ASSERT_EQ(snapshot->Width(), 320);
  EXPECT_NEAR(FrameNumberOf(*snapshot), 125, 1);
  EXPECT_NEAR(pts, 5000000, FrameUs);
  EXPECT_TRUE(Player.IsPaused());
  std::this_thread::sleep_for(300ms);
  EXPECT_NEAR(FrameNumberOf(*Player.FrameSnapshot()), 125, 1);
}

TEST_F(PlaybackAccuracyTest, PausingSilencesTheOutputWithinOneBuffer) {
  ASSERT_TRUE(Open(NumberedClip(10.0))) << Player.LastErrMsg();
  std::this_thread::sleep_for(1s);
  Player.Pause();
  const int64_t framesAtPause = AudioFileSize() / (2 * Channels);
  std::this_thread::sleep_for(400ms);
  const std::vector<int16_t> audio = ReadAudio();
  int64_t lastSound = 0;
  for (size_t frame = 0; frame < audio.size() / Channels; ++frame)
    if (audio[frame * Channels + 1] != 0) lastSound = static_cast<int64_t>(frame);
  EXPECT_GT(static_cast<int64_t>(audio.size() / Channels), framesAtPause + SampleRate / 4)
      << "the device keeps running while paused";
  EXPECT_LE(lastSound - framesAtPause, 1024);
}

// Memory stays bounded by the queues while a full-HD file plays, and a 720p H.264 file needs no
// more than one core's worth of processor time.
TEST_F(PlaybackAccuracyTest, StaysWithinItsMemoryAndProcessorLimits) {
  const std::string fullHD = fixtures::Clip(3.0, 1920, 1080, 25);
  const std::string hd = fixtures::Clip(3.0, 1280, 720, 25);
  Player.SetScreenWidth(480);
  Player.SetScreenHeight(270);
  ASSERT_TRUE(Open(fullHD)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 6s));
  Player.Stop(true);
  const long peak = PeakResidentKiB();
  EXPECT_LT(peak, 200 * 1024);

  const double cpu0 = CpuSeconds();
  const auto t0 = TClock::now();
  ASSERT_TRUE(Open(hd)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 6s, 2));
  const double wall = SecondsSince(t0);
  Player.Stop(true);
  const double load = (CpuSeconds() - cpu0) / wall;
  EXPECT_LT(load, 1.0);
  std::printf("peak resident %ld KiB, 720p processor load %.2f\n", peak, load);
}

// When the sound ends before the pictures, the rest of the pictures keep time with the wall
// clock, and the end is reported once.
TEST_F(PlaybackAccuracyTest, KeepsTimeAfterTheSoundEndsAndReportsTheEndOnce) {
  const std::string clip =
      fixtures::Make("video-4s-sound-1.5s.mkv",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=4 "
                     "-f lavfi -i sine=frequency=440:sample_rate=32000:duration=1.5 "
                     "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a pcm_s16le");
  ASSERT_TRUE(Open(clip)) << Player.LastErrMsg();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psPlay, 2s));
  const auto start = TClock::now();
  ASSERT_TRUE(Events.WaitFor(TPlayState::psEnd, 10s));
  const double took = SecondsSince(start);
  std::this_thread::sleep_for(1s);
  EXPECT_NEAR(took, 4.0, 0.4);
  EXPECT_EQ(Events.StateCount(TPlayState::psEnd), 1);
  EXPECT_EQ(Player.CurrentPosition(), 4000000);
}

// 400 pictures a second are more than the display keeps up with: the refresh drops the late
// ones, and the position still follows the pictures it shows (it stood still for half a second
// at a time when every refresh that dropped one kept quiet).
TEST_F(PlaybackAccuracyTest, PositionMovesOnWhilePicturesAreDropped) {
  Player.SetDisableAudio(true);
  ASSERT_TRUE(Open(fixtures::Clip(3.0, 320, 240, 400))) << Player.LastErrMsg();
  const auto start = TClock::now();
  int64_t position = Player.CurrentPosition();
  double changed = 0, longestStill = 0;
  while (SecondsSince(start) < 2.0) {
    std::this_thread::sleep_for(10ms);
    if (Player.CurrentPosition() == position) continue;
    position = Player.CurrentPosition();
    longestStill = std::max(longestStill, SecondsSince(start) - changed);
    changed = SecondsSince(start);
  }
  Player.Stop(true);
  EXPECT_GT(position, 1000000);
  EXPECT_LT(longestStill, 0.25);
  std::printf("longest still position %.0f ms\n", longestStill * 1000);
}
