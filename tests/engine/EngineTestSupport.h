// Shared helpers of the engine tests: library loading, log capture, small media.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/FFmpeg.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

namespace enginetest {

// Loads the encoder libraries once per test process.
class TEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    FFLogger().SetTriggerEventInMainThread(false);
  }
};

// Collects everything the logger hands out while it lives.
class TLogCapture {
 public:
  TLogCapture() {
    FFLogger().SetOnLog([this](const void *, uint32_t, TLogLevel, const std::string &msg) {
      std::lock_guard lock(FLock);
      FLines.push_back(msg);
    });
  }
  ~TLogCapture() { FFLogger().SetOnLog(nullptr); }
  bool Contains(const std::string &text) const {
    std::lock_guard lock(FLock);
    for (const auto &line : FLines)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  std::string All() const {
    std::lock_guard lock(FLock);
    std::string all;
    for (const auto &line : FLines) all += line + "\n";
    return all;
  }

 private:
  mutable std::mutex FLock;
  std::vector<std::string> FLines;
};

inline std::wstring W(const std::string &s) {
  return UTF8ToWide(s);
}

// H.264 + AAC with a key frame every 5 frames (0.2 s), so that cuts can land on key frames.
inline std::string GopClip(double seconds) {
  char name[64], args[512];
  std::snprintf(name, sizeof name, "engine-gop5-%gs.mp4", seconds);
  std::snprintf(args, sizeof args,
                "-f lavfi -i testsrc=size=160x120:rate=25:duration=%g "
                "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=%g -ac 2 "
                "-c:v libx264 -preset ultrafast -g 5 -pix_fmt yuv420p -c:a aac -b:a 64k -shortest",
                seconds, seconds);
  return fixtures::Make(name, args);
}

inline double ProbeDouble(const std::string &file, const std::string &entries,
                          const std::string &streams = "") {
  return std::stod(fixtures::Probe(file, entries, streams));
}

}  // namespace enginetest
