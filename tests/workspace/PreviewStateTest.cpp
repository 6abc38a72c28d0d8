#include <gtest/gtest.h>

#include "workspace/PreviewState.h"

namespace {

TEST(PreviewState, DurationShowsHoursUnpaddedAndTheRestInTwoDigits) {
  const std::pair<int64_t, const char *> cases[] = {
      {3725, "1:02:05"}, {0, "0:00:00"}, {59, "0:00:59"}, {36000, "10:00:00"}, {-5, "0:00:00"}};
  for (const auto &[seconds, text] : cases) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

TEST(PreviewState, PositionShowsMilliseconds) {
  EXPECT_EQ(PositionText(3725123456), "01:02:05.123");
  EXPECT_EQ(PositionText(999), "00:00:00.000");
  EXPECT_EQ(PositionText(-40000), "00:00:00.000");
}

TEST(PreviewState, DurationRoundsToWholeSecondsTiesToEven) {
  const std::pair<int64_t, int64_t> cases[] = {
      {3725499999, 3725}, {3725500000, 3726}, {2500000, 2}, {3500000, 4}, {-1, 0}};
  for (const auto &[us, seconds] : cases) EXPECT_EQ(DurationSeconds(us), seconds) << us;
}

TEST(PreviewState, ReleasingTheBarSeeksToItsShareOfTheDuration) {
  struct TCase {
    int Position, Maximum;
    int64_t Duration, Target;
  };
  const TCase cases[] = {{121, 242, 60000000, 30000000},  // half the bar of a 60 s file
                         {1, 3, 10, 3},                   // truncated, not rounded
                         {242, 242, 60000000, 60000000},
                         {0, 242, 60000000, 0},
                         {5, 0, 60000000, 0}};  // a bar without range
  for (const TCase &c : cases)
    EXPECT_EQ(SeekPosition(c.Position, c.Maximum, c.Duration), c.Target) << c.Position;
}

}  // namespace
