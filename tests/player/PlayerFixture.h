// Shared set-up of the player tests: SDL's headless drivers (the "disk" audio driver writes the
// mixed sound into a file of the test's temporary folder), the loaded libraries, a player whose
// events are recorded with the wall-clock time they arrived.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "player/FFPlay.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

inline double SecondsSince(TClock::time_point t0) {
  return std::chrono::duration<double>(TClock::now() - t0).count();
}

class TEventRecorder {
 public:
  struct TPosition {
    double Wall;
    int64_t PTS;
  };

  void Attach(TCustomPlayer &player) {
    player.OnState = [this](TCustomPlayer *, TPlayState state) {
      std::lock_guard lock(FLock);
      FStates.push_back(state);
      FChanged.notify_all();
    };
    player.OnPosition = [this](TCustomPlayer *, int64_t pts) {
      std::lock_guard lock(FLock);
      FPositions.push_back({SecondsSince(Start), pts});
    };
  }
  bool WaitFor(TPlayState state, std::chrono::milliseconds timeout, int count = 1) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return Count(state) >= count; });
  }
  std::vector<TPlayState> States() {
    std::lock_guard lock(FLock);
    return FStates;
  }
  std::vector<TPosition> Positions() {
    std::lock_guard lock(FLock);
    return FPositions;
  }
  int StateCount(TPlayState state) {
    std::lock_guard lock(FLock);
    return Count(state);
  }

  TClock::time_point Start = TClock::now();

 private:
  int Count(TPlayState state) const {
    int n = 0;
    for (TPlayState s : FStates) n += s == state;
    return n;
  }
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<TPlayState> FStates;
  std::vector<TPosition> FPositions;
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", AudioFile().c_str(), 1);
    ASSERT_TRUE(FFLoader().LoadLibs(PlayerLibs)) << FFLoader().LastErrMsg();
    Player.SetTriggerEventInMainThread(false);
    Events.Attach(Player);
  }

  std::string AudioFile() const { return Temp / "audio.raw"; }
  int64_t AudioFileSize() const {
    std::error_code ec;
    const auto size = std::filesystem::file_size(AudioFile(), ec);
    return ec ? 0 : static_cast<int64_t>(size);
  }
  // The mixed sound written so far, as interleaved 16-bit samples.
  std::vector<int16_t> ReadAudio() const {
    std::ifstream in(AudioFile(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }
  bool Open(const std::string &file, bool startPaused = false) {
    return Player.Open(UTF8ToWide(file), 0, startPaused);
  }

  fixtures::TTempDir Temp;
  TEventRecorder Events;  // outlives the player, whose threads deliver to it until it is gone
  TFFPlayer Player;
};

// Test clips.  The numbered clip's frames carry their own number in ten black-or-white columns
// (bit b in the column 32*b .. 32*b+31, least significant on the left); its left channel has a
// click at every half second past a whole second over a quiet tone on both channels.
inline std::string NumberedClip(double seconds) {
  char name[64], args[1024];
  std::snprintf(name, sizeof name, "numbered-%gs-32k.mkv", seconds);
  std::snprintf(args, sizeof args,
                "-f lavfi -i color=c=black:s=320x240:r=25:d=%g,format=yuv420p,"
                "geq=lum='255*mod(floor(N/pow(2\\,floor(X/32)))\\,2)':cb=128:cr=128 "
                "-f lavfi -i aevalsrc=exprs='0.8*lt(mod(t+0.5\\,1)\\,0.002)+0.1*sin(2*PI*440*t)"
                "|0.1*sin(2*PI*440*t)':s=32000:d=%g "
                "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a pcm_s16le -shortest",
                seconds, seconds);
  return fixtures::Make(name, args);
}

// The frame number drawn into a numbered clip's picture (24-bit, at least 320 by 240).
inline int FrameNumberOf(const TBitmap &bitmap) {
  int number = 0;
  for (int bit = 0; bit < 10; ++bit)
    if (bitmap.ScanLine(120)[(bit * 32 + 16) * 3 + 1] > 128) number |= 1 << bit;
  return number;
}
