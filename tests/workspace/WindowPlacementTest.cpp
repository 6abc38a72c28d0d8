#include "workspace/WindowPlacement.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/Fixtures.h"
#include "workspace/SettingsStore.h"

namespace {

const std::vector<TScreenRect> TwoScreens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};

struct TReachCase {
  TScreenRect Window;
  bool Reachable;
};

class ReachableOnScreensTest : public ::testing::TestWithParam<TReachCase> {};

TEST_P(ReachableOnScreensTest, TheTopEdgeMustLieOnAScreen) {
  EXPECT_EQ(ReachableOnScreens(GetParam().Window, TwoScreens), GetParam().Reachable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReachableOnScreensTest,
    ::testing::Values(
        TReachCase{{100, 100, 786, 522}, true},
        // On the second screen, and across both.
        TReachCase{{2500, 300, 786, 522}, true}, TReachCase{{1500, 10, 786, 522}, true},
        // A screen that has since gone (it stood right of the second one).
        TReachCase{{3300, 100, 786, 522}, false},
        // Above every screen, its title out of reach; below the second screen.
        TReachCase{{100, -600, 786, 522}, false}, TReachCase{{2000, 1030, 786, 522}, false},
        // Only a sliver left of the first screen.
        TReachCase{{-750, 100, 786, 522}, false}, TReachCase{{100, 100, 0, 0}, false}));

TEST(PreviewPictureFor, GrowsInTheDefaultShapeAndNeverShrinks) {
  EXPECT_EQ(PreviewPictureFor(786, 522), (TPictureSize{243, 171}));
  EXPECT_EQ(PreviewPictureFor(600, 400), (TPictureSize{243, 171}));
  // Twice the size in both directions: twice the picture.
  EXPECT_EQ(PreviewPictureFor(1572, 1044), (TPictureSize{486, 342}));
  // A wide window grows the picture only as far as its height allows.
  EXPECT_EQ(PreviewPictureFor(3000, 783), (TPictureSize{365, 257}));
}

TEST(ColumnWidthsText, RoundTripsAndRejectsWhatIsNotAList) {
  EXPECT_EQ(ColumnWidthsOfText(TextOfColumnWidths({90, 300, 60})), (std::vector<int>{90, 300, 60}));
  for (const char *bad : {"", "90,,60", "90,x", "-5,20", "0"})
    EXPECT_TRUE(ColumnWidthsOfText(bad).empty()) << bad;
}

TEST(MainWindowPlacementStore, AnOlderStoreReadsTheDefaultsAndAWrittenOneReadsBack) {
  fixtures::TTempDir dir;
  const std::filesystem::path path = dir.Path() / "settings.ini";
  std::ofstream(path) << "[settings]\nOutPutDir=/tmp/out\n";
  TSettingsStore store(path);
  const TWindowPlacement old = store.MainWindowPlacement();
  EXPECT_FALSE(old.PositionKnown);
  EXPECT_FALSE(old.Maximized);
  EXPECT_EQ(old.Normal.Width, DefaultWindowWidth);
  EXPECT_EQ(old.Normal.Height, DefaultWindowHeight);
  EXPECT_TRUE(old.ColumnWidths.empty());

  TWindowPlacement kept;
  kept.Normal = {40, 60, 1000, 700};
  kept.Maximized = true;
  kept.ColumnWidths = {120, 250, 80};
  store.SetMainWindowPlacement(kept);
  const TWindowPlacement read = TSettingsStore(path).MainWindowPlacement();
  EXPECT_TRUE(read.PositionKnown);
  EXPECT_EQ(read.Normal, kept.Normal);
  EXPECT_TRUE(read.Maximized);
  EXPECT_EQ(read.ColumnWidths, kept.ColumnWidths);
  // What was there before is kept.
  EXPECT_EQ(TSettingsStore(path).OutPutDir(), "/tmp/out");
}

}  // namespace
