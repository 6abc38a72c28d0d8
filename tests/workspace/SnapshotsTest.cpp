#include <gtest/gtest.h>

#include <QImageReader>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "services/Bitmap.h"
#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/images/Snapshots.h"

namespace fs = std::filesystem;

namespace {

// A picture with detail, so that the JPEG quality shows in the file size.
QImage Picture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.setPixelColor(x, y, QColor((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 5) % 256));
  return picture;
}

std::set<std::string> FilesIn(const fs::path &folder) {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

class SnapshotsTest : public ::testing::Test {
 protected:
  void SetUp() override { Store.SetSnapOutPutDir(Dir / "snaps"); }
  fs::path Save() { return SaveSnapshots(Picture(320, 240), Picture(243, 171), Store, Questions); }

  fixtures::TTempDir Dir;
  TSettingsStore Store{Dir / "settings.ini"};
  TScriptedQuestions Questions;
};

TEST_F(SnapshotsTest, TheSettingsChooseTheFiles) {
  struct TCase {
    bool Full, Small, Bmp, Jpg;
    std::set<std::string> Files;
  };
  const TCase cases[] = {
      {true,
       true,
       true,
       true,
       {"Snapshot_full.bmp", "Snapshot_small.bmp", "Snapshot_full.jpg", "Snapshot_small.jpg"}},
      {true, true, true, false, {"Snapshot_full.bmp", "Snapshot_small.bmp"}},
      {false, true, true, true, {"Snapshot_small.bmp", "Snapshot_small.jpg"}},
      {true, true, false, false, {}}};
  for (const TCase &c : cases) {
    fs::remove_all(Dir / "snaps");
    Store.SetSnapFullSize(c.Full);
    Store.SetSnapSmallSize(c.Small);
    Store.SetSnapBmp(c.Bmp);
    Store.SetSnapJpg(c.Jpg);
    EXPECT_EQ(Save(), Dir / "snaps");
    EXPECT_EQ(FilesIn(Dir / "snaps"), c.Files);
    // Each file is a picture of its size.
    for (const std::string &name : c.Files) {
      QImageReader reader(QString::fromStdString((Dir.Path() / "snaps" / name).string()));
      EXPECT_EQ(reader.read().size(),
                name.find("full") != std::string::npos ? QSize(320, 240) : QSize(243, 171))
          << name;
    }
  }
  EXPECT_TRUE(Questions.Messages.empty());
}

TEST_F(SnapshotsTest, JpegFilesShrinkAsTheQualityFalls) {
  Store.SetSnapBmp(false);
  int64_t previous = INT64_MAX;
  for (int quality : {95, 60, 30, 5}) {
    Store.SetJpgCmp(quality);
    Save();
    const QImage read(QString::fromStdString(Dir / "snaps/Snapshot_full.jpg"));
    EXPECT_EQ(read.size(), QSize(320, 240));
    const auto size = static_cast<int64_t>(fs::file_size(Dir / "snaps/Snapshot_full.jpg"));
    EXPECT_LT(size, previous) << "quality " << quality;
    previous = size;
  }
}

TEST_F(SnapshotsTest, AFolderThatCannotBeMadeGivesWayToTheDefault) {
  setenv("HOME", (Dir / "home").c_str(), 1);
  std::ofstream(Dir / "blocker") << "a file where a folder should be";
  Store.SetSnapOutPutDir(Dir / "blocker/snaps");
  Store.SetSnapJpg(false);
  const fs::path fallback = Dir / "home/videoconverter";
  EXPECT_EQ(Save(), fallback);
  ASSERT_EQ(Questions.Messages.size(), 1u);
  EXPECT_EQ(Questions.Messages[0], "Cannot create output directory:" + (Dir / "blocker/snaps") +
                                       ".It will create default directory " + fallback.string() +
                                       "!");
  EXPECT_EQ(Questions.Captions[0], "Warning");
  EXPECT_EQ(Store.SnapOutPutDir(), fallback.string());
  EXPECT_EQ(FilesIn(fallback), (std::set<std::string>{"Snapshot_full.bmp", "Snapshot_small.bmp"}));
}

TEST_F(SnapshotsTest, AFileThatCannotBeWrittenIsReportedAndLeavesNothingHalfWritten) {
  Store.SetSnapJpg(false);
  fs::create_directories(Dir / "snaps/Snapshot_full.bmp");  // a folder where the file goes
  try {
    Save();
    ADD_FAILURE() << "no error for a file that cannot be written";
  } catch (const std::runtime_error &e) {
    EXPECT_NE(std::string(e.what()).find("Snapshot_full.bmp"), std::string::npos) << e.what();
  }
  EXPECT_EQ(FilesIn(Dir / "snaps"), std::set<std::string>{"Snapshot_full.bmp"});
  EXPECT_TRUE(fs::is_directory(Dir / "snaps/Snapshot_full.bmp"));
}

TEST(Snapshots, FittedPicturesKeepTheirAspectRatioAndAreCentred) {
  struct TCase {
    QSize Source, Target;
    QRect Placed;
  };
  const TCase cases[] = {{{640, 480}, {389, 210}, {54, 0, 281, 210}},  // margin 54.5 -> 54
                         {{1920, 1080}, {389, 210}, {8, 0, 373, 210}},
                         {{320, 100}, {389, 210}, {0, 44, 389, 122}},
                         {{320, 240}, {243, 171}, {8, 0, 227, 171}}};  // 7.5 -> 8
  for (const TCase &c : cases)
    EXPECT_EQ(FittedRect(c.Source, QRect(QPoint(0, 0), c.Target)), c.Placed) << c.Source.width();

  // The margins take the background; the picture keeps its colours.
  QImage red(640, 480, QImage::Format_RGB888);
  red.fill(Qt::red);
  const QImage fitted = FittedPicture(red, {389, 210}, Qt::black);
  EXPECT_EQ(fitted.size(), QSize(389, 210));
  EXPECT_EQ(fitted.pixelColor(20, 100), QColor(Qt::black));
  EXPECT_EQ(fitted.pixelColor(194, 100), QColor(Qt::red));
}

TEST(Snapshots, BitmapsBecomePicturesWithTheirColours) {
  TBitmap bitmap;
  bitmap.SetSize(3, 2);                 // rows padded to 12 bytes
  bitmap.ScanLine(1)[2 * 3 + 0] = 255;  // blue at (2, 1)
  bitmap.ScanLine(0)[0 + 2] = 200;      // red at (0, 0)
  const QImage picture = PictureOfBitmap(bitmap);
  EXPECT_EQ(picture.size(), QSize(3, 2));
  EXPECT_EQ(picture.pixelColor(2, 1), QColor(0, 0, 255));
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(200, 0, 0));
  EXPECT_TRUE(PictureOfBitmap(TBitmap()).isNull());
}

}  // namespace
