// The editors' rules without their windows: the trim marks and what "Ok" stores, the crop
// rectangle in its video area and the margins in source pixels, the rectangle's grips and
// drags, the watermark values, and the shortened source paths.
#include <gtest/gtest.h>

#include "editors/CropFrame.h"
#include "editors/EditorTexts.h"
#include "editors/TrackerDrag.h"
#include "editors/TrimRange.h"
#include "editors/WaterMarkValues.h"

namespace {

constexpr int64_t Second = 1000000;
constexpr int64_t Duration = 30 * Second;

// Trim

struct TTrimCase {
  const char *Name;
  int64_t Start, End;  // the marks (End 0: untouched, the file's end)
  int64_t StoredStart, StoredLength;
  const char *Column;
};

void PrintTo(const TTrimCase &c, std::ostream *os) {
  *os << c.Name;
}

class TrimStore : public testing::TestWithParam<TTrimCase> {};

TEST_P(TrimStore, StoresThePartOrTheWholeFile) {
  const TTrimCase &c = GetParam();
  TTrimRange range;
  range.Opened(Duration);
  range.Load(TlvFilesRecord{});
  if (c.Start > 0) range.MarkStart(c.Start);
  if (c.End > 0) range.MarkEnd(c.End);
  TlvFilesRecord record;
  record.TrimStart = 77;  // whatever was stored before
  record.TrimLength = 88;
  const auto column = range.Store(record);
  EXPECT_EQ(record.TrimStart, c.StoredStart);
  EXPECT_EQ(record.TrimLength, c.StoredLength);
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(*column, c.Column);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, TrimStore,
    testing::Values(
        TTrimCase{"Untrimmed", 0, 0, 0, 0, "30"},
        TTrimCase{"FromTenSecondsToTheEnd", 10 * Second, 0, 10 * Second, 20 * Second, "20"},
        TTrimCase{"TenPlusTwenty", 10 * Second, 30 * Second - 1, 10 * Second, 20 * Second - 1,
                  "19"},
        TTrimCase{"EndBeforeStartKeepsTheWholeFile", 20 * Second, 5 * Second, 0, 0, "30"},
        TTrimCase{"WithinOneMillisecondOfTheWholeFile", 500, Duration - 400, 500, 0, "29"},
        TTrimCase{"ShorterThanOneMillisecond", 5 * Second, 5 * Second + 999, 5 * Second, 0, "0"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(TrimRange, RecordMarksAreShownAndPositionZeroIsNoMark) {
  TTrimRange range;
  range.Opened(Duration);
  TlvFilesRecord record;
  record.TrimStart = 4 * Second;
  record.TrimLength = 6 * Second;
  range.Load(record);
  EXPECT_EQ(range.Start(), 4 * Second);
  EXPECT_EQ(range.End(), 10 * Second);
  EXPECT_FALSE(range.MarkStart(0));
  EXPECT_FALSE(range.MarkEnd(0));
  EXPECT_EQ(range.Start(), 4 * Second);
  range.Reset();
  EXPECT_EQ(range.Start(), 0);
  EXPECT_EQ(range.End(), Duration);
}

TEST(TrimRange, AFileWithoutLengthLeavesTheColumnAlone) {
  TTrimRange range;
  range.Opened(0);
  range.Load(TlvFilesRecord{});
  TlvFilesRecord record;
  record.TrimStart = 5;
  record.TrimLength = 6;
  EXPECT_FALSE(range.Store(record).has_value());
  EXPECT_EQ(record.TrimStart, 0);
  EXPECT_EQ(record.TrimLength, 0);
}

// Crop: a 720 x 576 source in the 370 x 253 preview image.

TCropFrame PalFrame() {
  TCropFrame frame;
  frame.SetVideoArea(TCropFrame::FitPicture(720, 576, {10, 20, 370, 253}));
  return frame;
}

TEST(CropFrame, PalSourceFitsThePreviewAndTenPixelsBecomeTwentyTwo) {
  EXPECT_EQ(TCropFrame::FitPicture(720, 576, {0, 0, 370, 253}), (TBounds{27, 0, 316, 253}));
  TCropFrame frame = PalFrame();
  EXPECT_EQ(frame.Area(), (TBounds{38, 21, 314, 251}));
  TlvFilesRecord record;
  frame.Store({0, 0, 10, 0}, 720, 576, record);
  EXPECT_EQ(record.CropEditLeft, 10);
  EXPECT_EQ(record.CropLeft, 22);
  EXPECT_EQ(record.CropTop, 0);
}

TEST(CropFrame, SourceMarginsAreRoundedThenMadeEven) {
  EXPECT_EQ(TCropFrame::SourceMargin(10, 720, 314), 22);  // 22.93 -> 23 -> 22
  EXPECT_EQ(TCropFrame::SourceMargin(7, 100, 100), 6);    // same size: not scaled
  EXPECT_EQ(TCropFrame::SourceMargin(5, 200, 400), 2);    // 2.5 -> 2 (ties to even)
  EXPECT_EQ(TCropFrame::SourceMargin(0, 720, 314), 0);
}

TEST(CropFrame, ResetMarginsStoreZeros) {
  TCropFrame frame = PalFrame();
  TlvFilesRecord record;
  record.CropEditTop = record.CropTop = record.CropLeft = record.CropRight = 8;
  frame.Store({}, 720, 576, record);
  for (int value :
       {record.CropEditTop, record.CropEditLeft, record.CropEditBottom, record.CropEditRight,
        record.CropTop, record.CropLeft, record.CropBottom, record.CropRight})
    EXPECT_EQ(value, 0);
}

TEST(CropFrame, DraggedOutOfTheAreaComesBackAndMarginsNeverGoNegative) {
  TCropFrame frame = PalFrame();
  const TBounds area = frame.Area();
  TBounds tracker = frame.BoundsOf({});
  // The left edge dragged 30 pixels past the area's side.
  tracker.Left -= 30;
  tracker.Width += 30;
  TCropMargins margins = frame.Moved(tracker);
  EXPECT_EQ(tracker, area);
  EXPECT_EQ(margins, TCropMargins{});
  // The whole rectangle moved past the bottom right corner.
  tracker = frame.BoundsOf({20, 20, 20, 20});
  tracker.Left += 100;
  tracker.Top += 100;
  margins = frame.Moved(tracker);
  EXPECT_EQ(tracker.Right(), area.Right());
  EXPECT_EQ(tracker.Bottom(), area.Bottom());
  EXPECT_EQ(margins, (TCropMargins{40, 0, 40, 0}));
}

TEST(CropFrame, AMarginThatWouldShrinkBelowTenPixelsIsRefused) {
  TCropFrame frame = PalFrame();
  const int height = frame.Area().Height;
  TCropMargins shown{height - 10 - 5, 5, 0, 0};
  TBounds tracker = frame.BoundsOf(shown);
  ASSERT_EQ(tracker.Height, 10);
  shown.Up += 1;
  EXPECT_FALSE(frame.MarginChanged(TCropSide::Up, shown, tracker));
  EXPECT_EQ(shown.Up, height - 15);  // the last value comes back
  EXPECT_EQ(tracker.Height, 10);
  shown.Down -= 1;  // growing again is allowed
  EXPECT_TRUE(frame.MarginChanged(TCropSide::Down, shown, tracker));
  EXPECT_EQ(tracker.Height, 11);
  shown.Left = -4;  // a negative margin becomes 0
  EXPECT_TRUE(frame.MarginChanged(TCropSide::Left, shown, tracker));
  EXPECT_EQ(shown.Left, 0);
  EXPECT_EQ(tracker.Left, frame.Area().Left);
}

TEST(CropFrame, ZoomModesTheListDoesNotKnowComeBackFull) {
  const struct {
    const char *Stored, *AfterOk;
  } cases[] = {{"full", "full"},   {"lbox", "lbox"}, {"pan", "full"},
               {"center", "full"}, {"orig", "orig"}, {"cent", "cent"}};
  for (const auto &c : cases) {
    const int index = TCropFrame::ZoomIndex(c.Stored);
    // The list has two items: the window shows no selection for the others.
    const int shown = index <= 1 ? index : -1;
    EXPECT_EQ(TCropFrame::ZoomOfIndex(shown, c.Stored), c.AfterOk) << c.Stored;
  }
}

// The rectangle's grips and drags

TEST(TrackerDrag, HitTestFindsGripsInOrder) {
  // A 65 x 65 rectangle: corner grips at 0 and 60, middle grips at 30.
  EXPECT_EQ(TTrackerDrag::MiddleGrip(65), 30);
  EXPECT_EQ(TTrackerDrag::MiddleGrip(64), 29);
  const struct {
    int X, Y;
    TTrackerHit Hit;
  } cases[] = {{1, 1, TTrackerHit::TopLeft},     {62, 62, TTrackerHit::BottomRight},
               {1, 62, TTrackerHit::BottomLeft}, {62, 1, TTrackerHit::TopRight},
               {1, 32, TTrackerHit::LeftEdge},   {62, 32, TTrackerHit::RightEdge},
               {32, 1, TTrackerHit::TopEdge},    {32, 62, TTrackerHit::BottomEdge},
               {20, 20, TTrackerHit::Move},      {0, 20, TTrackerHit::None}};
  for (const auto &c : cases)
    EXPECT_EQ(TTrackerDrag::HitTest(65, 65, c.X, c.Y), c.Hit) << c.X << "," << c.Y;
}

TEST(TrackerDrag, DragsResizeMoveAndReportTheInnerRectangle) {
  TTrackerDrag drag;
  TBounds bounds{100, 50, 65, 65};
  drag.Press(bounds, 62, 62);  // bottom-right grip
  bounds = drag.Move(bounds, 72, 82);
  EXPECT_EQ(bounds, (TBounds{100, 50, 75, 85}));
  const auto inner = drag.Release(bounds);
  ASSERT_TRUE(inner.has_value());
  EXPECT_EQ(*inner, (TBounds{102, 52, 71, 81}));
  EXPECT_FALSE(drag.Dragging());
  // A left edge dragged far to the right stops at the smallest width.
  drag.Press(bounds, 1, 42);
  for (int x = 11; x <= 200; x += 10) bounds = TTrackerDrag::Constrained(drag.Move(bounds, x, 42));
  EXPECT_EQ(bounds.Width, TTrackerDrag::MinSize);
  drag.Release(bounds);
  // A click without a move reports nothing.
  drag.Press(bounds, 5, 5);
  EXPECT_FALSE(drag.Release(bounds).has_value());
}

// The watermark values

TEST(WaterMarkValues, PositionsArePercentagesOfTheFrameTruncated) {
  EXPECT_EQ(TWaterMarkValues::Position(320, 240, 100, 0), (TMarkPoint{320, 0}));
  EXPECT_EQ(TWaterMarkValues::Position(333, 241, 50, 33), (TMarkPoint{166, 79}));
}

TEST(WaterMarkValues, OkBeforeAnyFrameStoresZeroPixelsWithThePercentages) {
  TlvFilesRecord record;
  record.MarkText = "Hello";
  record.MarkTextHorzPos = 40;
  record.MarkTextVertPos = 60;
  record.MarkImage = "/tmp/logo.bmp";
  record.MarkImageHorzPos = 70;
  record.MarkImageVertPos = 10;
  record.MarkTextX = record.MarkImageY = 99;
  const TWaterMarkValues values = TWaterMarkValues::FromRecord(record);
  values.Store(record, {}, {});
  EXPECT_EQ(record.MarkTextX, 0);
  EXPECT_EQ(record.MarkTextY, 0);
  EXPECT_EQ(record.MarkImageY, 0);
  EXPECT_EQ(record.MarkTextHorzPos, 40);
  EXPECT_EQ(record.MarkTextVertPos, 60);
  EXPECT_EQ(record.MarkImageHorzPos, 70);
  EXPECT_EQ(record.MarkImageVertPos, 10);
}

TEST(WaterMarkValues, StoresWhatTheControlsShow) {
  TWaterMarkValues values = TWaterMarkValues::FromRecord(TlvFilesRecord{});
  EXPECT_FALSE(values.FontChosen);
  values.Text = "Mark";
  values.TextHorz = 100;
  values.Image.clear();  // cleared by hand
  values.ImageStyle = 2;
  values.Brightness = 300;
  values.Exposure = -20;
  values.EffectOnImage = true;
  TlvFilesRecord record;
  record.MarkImage = "/tmp/old.bmp";
  values.Store(record, {320, 10}, {-5, 7});
  EXPECT_EQ(record.MarkText, "Mark");
  EXPECT_EQ(record.MarkTextX, 320);
  EXPECT_EQ(record.MarkTextHorzPos, 100);
  EXPECT_EQ(record.MarkImage, "");
  EXPECT_EQ(record.MarkImageX, 0);  // left of the frame: stored as 0
  EXPECT_EQ(record.MarkImageHorzPos, 0);
  EXPECT_EQ(record.MarkImageY, 7);
  EXPECT_EQ(record.MarkImageStyle, 2);
  EXPECT_EQ(record.Brightness, 300);
  EXPECT_EQ(record.Exposure, -20);
  EXPECT_TRUE(record.EffectOnImage);
  values.ResetEffects();
  values.Store(record, {}, {});
  EXPECT_EQ(record.Brightness, 255);
  EXPECT_EQ(record.Saturation, 255);
  EXPECT_EQ(record.Exposure, 0);
  EXPECT_FALSE(record.EffectOnImage);
}

// Texts

TEST(EditorTexts, LongSourcePathsAreShortenedWithTheirExtension) {
  const std::string fifty = "/media/" + std::string(39, 'a') + ".mkv";
  ASSERT_EQ(fifty.size(), 50u);
  EXPECT_EQ(SourceNameText(fifty), fifty);
  const std::string longer = fifty + "x";  // 51 characters, extension ".mkvx"
  EXPECT_EQ(SourceNameText(longer), longer.substr(0, 44) + "...mkvx  ");
  // Characters, not bytes: "é" is two bytes and is never cut.
  std::string accented = "/";
  for (int i = 0; i < 60; ++i) accented += "\xC3\xA9";
  accented += ".avi";
  const std::string shown = SourceNameText(accented);
  EXPECT_EQ(shown.substr(shown.size() - 8), "...avi  ");
  EXPECT_EQ(shown.size(), 1 + 43 * 2 + 8u);
  EXPECT_EQ(WaterMarkTitle("/a.avi"), "Water Mark  /a.avi");
}

TEST(EditorTexts, ClockAndBarArithmetic) {
  EXPECT_EQ(ClockText(3725), "1:02:05");
  EXPECT_EQ(ClockText(-3), "0:00:00");
  EXPECT_EQ(RoundedSeconds(2500000), 2);
  EXPECT_EQ(RoundedSeconds(3500000), 4);
  EXPECT_EQ(SecondsText(12345678), "12.345 Second");
  EXPECT_EQ(BarTime(150, 300, 30 * Second), 15 * Second);
  EXPECT_EQ(BarTime(10, 0, Duration), 0);
  EXPECT_EQ(BarPosition(300, 10 * Second, Duration), 100);
  EXPECT_EQ(BarPosition(300, 10 * Second, 0), 0);
}

}  // namespace
