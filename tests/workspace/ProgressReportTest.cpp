// The progress window's texts and the place of its picture.
#include "workspace/ProgressReport.h"

#include <gtest/gtest.h>

TEST(ProgressReportTest, TextsOfAProgressReport) {
  TRowProgress progress;
  progress.Task = 1;
  progress.TaskCount = 3;
  progress.Info.CurrentDuration = 12'900'000;
  progress.Info.TotalDuration = 60'000'000;
  progress.Info.CurrentSize = 523'999;
  const TProgressTexts texts = ProgressTextsOf(progress, "/videos/a.avi");
  EXPECT_EQ(texts.Time, "12 Second");
  EXPECT_EQ(texts.Length, "60 Second");
  EXPECT_EQ(texts.Size, "523 kb");
  EXPECT_EQ(texts.Position, "[2/3]");
  EXPECT_EQ(texts.File, "/videos/a.avi");
  progress.Info.TotalDuration = -1;  // a source of unknown length
  EXPECT_EQ(ProgressTextsOf(progress, "a.avi").Length, "");
}

TEST(ProgressReportTest, TheBatchsShareDoneCountsTheTasksBeforeTheRunningOne) {
  struct TCase {
    int Task, TaskCount, Percent, Expected;
  } cases[] = {
      {0, 1, 42, 42},    // one file: its own percentage
      {0, 4, 50, 12},    // half of the first of four
      {2, 4, 50, 62},    // two done, half of the third
      {3, 4, 100, 100},  // the last one ended
      {1, 2, -1, 50},    // the running file's length is not known yet
      {0, 0, 30, -1},    // no tasks
  };
  for (const TCase &c : cases) {
    TRowProgress progress;
    progress.Task = c.Task;
    progress.TaskCount = c.TaskCount;
    progress.Percent = c.Percent;
    EXPECT_EQ(BatchPercentOf(progress), c.Expected) << c.Task << "/" << c.TaskCount;
  }
}

TEST(ProgressReportTest, LongFileNamesKeepTheirStartAndExtension) {
  const std::string fifty(46, 'x');
  EXPECT_EQ(ShortFileCaption(fifty + ".avi"), fifty + ".avi");  // 50 characters stay whole
  const std::string long51 = std::string(47, 'y') + ".mkv";
  EXPECT_EQ(ShortFileCaption(long51), std::string(44, 'y') + "...mkv");
}

TEST(ProgressReportTest, PictureFitsWithItsShapeKept) {
  struct TCase {
    int W, H;
    TFitRect Expected;
  } cases[] = {
      {640, 480, {54, 0, 335, 210}},   // full height; 54.5 rounds to even
      {1920, 1080, {8, 0, 381, 210}},  // full height, margins of 8
      {320, 100, {0, 44, 389, 166}},   // full width, margins of 44
      {389, 210, {0, 0, 389, 210}},    // the frame's own size
  };
  for (const TCase &c : cases) {
    const TFitRect r = FitPicture(c.W, c.H, 389, 210);
    EXPECT_EQ(r.Left, c.Expected.Left) << c.W << "x" << c.H;
    EXPECT_EQ(r.Top, c.Expected.Top) << c.W << "x" << c.H;
    EXPECT_EQ(r.Right, c.Expected.Right) << c.W << "x" << c.H;
    EXPECT_EQ(r.Bottom, c.Expected.Bottom) << c.W << "x" << c.H;
  }
}
