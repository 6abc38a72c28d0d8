#include <gtest/gtest.h>

#include "workspace/StreamLevels.h"

namespace {

struct TLevelCase {
  TStreamDemand Demand;
  int Level;
};

void ExpectLevels(int (*levelOf)(const TStreamDemand &), std::initializer_list<TLevelCase> cases) {
  for (const TLevelCase &c : cases) {
    const TStreamDemand &d = c.Demand;
    EXPECT_EQ(levelOf(d), c.Level)
        << d.Width << "x" << d.Height << "@" << d.FrameRate << " " << d.BitRate;
  }
}

TEST(StreamLevels, H264LevelHoldsFrameRateAndRates) {
  ExpectLevels(H264Level, {
                              {{176, 144, 15, 64'000, 0}, 10},
                              {{320, 240, 29.97, 768'000, 1'536'000}, 13},
                              // the rate, not the frame, asks for more
                              {{320, 240, 29.97, 1'500'000, 0}, 20},
                              {{640, 480, 29.97, 0, 0}, 30},  // 1200 macroblocks at 30 fps
                              // exactly level 3.0's 40500 macroblocks per second
                              {{720, 576, 25, 2'500'000, 5'000'000}, 30},
                              {{1280, 720, 29.97, 5'000'000, 10'000'000}, 31},
                              {{1280, 720, 60, 0, 0}, 32},
                              {{1920, 1080, 29.97, 10'000'000, 20'000'000}, 40},
                              // the buffer is beyond 4.0
                              {{1920, 1080, 29.97, 20'000'000, 40'000'000}, 41},
                              {{3840, 2160, 30, 0, 0}, 51},
                              {{8192, 4320, 60, 0, 0}, 52},  // beyond every level: the highest
                              {{4096, 16, 1, 0, 0}, 40},  // a side longer than lower levels allow
                          });
}

TEST(StreamLevels, Mpeg4SimpleProfileLevel) {
  ExpectLevels(Mpeg4SimpleLevel, {
                                     {{176, 144, 15, 64'000, 0}, 1},
                                     {{176, 144, 15, 128'000, 0}, 9},
                                     {{176, 144, 15, 192'000, 0}, 3},
                                     {{352, 288, 15, 128'000, 0}, 2},
                                     {{352, 288, 30, 0, 0}, 3},
                                     {{320, 240, 29.97, 768'000, 384'000}, 4},
                                     {{720, 576, 25, 6'000'000, 0}, 5},
                                     {{1280, 720, 29.97, 6'000'000, 0}, 6},
                                     {{1920, 1080, 30, 0, 0}, 6},
                                 });
  EXPECT_EQ(Mpeg4SimpleBuffer(3), 655'360);
  EXPECT_EQ(Mpeg4SimpleBuffer(7), 0);
}

}  // namespace
