#include "workspace/QueueStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "tests/support/Fixtures.h"

namespace fs = std::filesystem;

namespace {

std::string FileText(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A row on which every editor and a finished conversion left something, with texts that an INI
// line cannot hold as they are.
TConversionRow EditedRow() {
  TConversionRow row;
  row.Caption = "/media/clips/ tab\there [1]; a=b \\ new\nline ü.mp4 ";
  row.LengthText = "125";
  row.TrimmedLengthText = "40";
  row.DestinationText = "tab\there [1]; a=b (1).mp4";
  row.ProgressText = "100% (the source is damaged)";
  row.Checked = false;
  row.Warning = "the source is damaged";
  row.Converted = true;
  row.WrittenFile = "/videos/out put/clip_(new).mp4";
  TlvFilesRecord &r = row.Record;
  r.AddIndex = 3;
  r.SourceFile = row.Caption;
  r.DestFile = "/home/u/videoconverter/tab\there [1]; a=b (1).mp4";
  r.DurationSec = 125;
  r.TrimStart = 12'345'678;
  r.TrimLength = 40'000'000'000;  // beyond 32 bits
  r.ZoomMode = "pan";
  r.CropTop = 10, r.CropLeft = 20, r.CropBottom = 30, r.CropRight = 40;
  r.CropEditTop = 1, r.CropEditLeft = 2, r.CropEditBottom = 3, r.CropEditRight = 4;
  r.MarkText = "  © Morvane\nsecond line  ";
  r.MarkFont = {"DejaVu Sans", 24, 0x00FF8040, true, true, true, true};
  r.MarkTextX = 160, r.MarkTextY = 60, r.MarkTextHorzPos = 50, r.MarkTextVertPos = 25;
  r.MarkImage = "/home/u/logo #1.png";
  r.MarkImageX = 5, r.MarkImageY = 6, r.MarkImageHorzPos = 90, r.MarkImageVertPos = 80;
  r.MarkImageAlpha = 100;
  r.MarkImageStyle = 2;
  r.Brightness = 300, r.Contrast = -40, r.Saturation = 0, r.Exposure = -200;
  r.EffectOnText = true, r.EffectOnImage = true;
  return row;
}

void ExpectSameRow(const TConversionRow &a, const TConversionRow &b) {
  EXPECT_EQ(a.Caption, b.Caption);
  EXPECT_EQ(a.LengthText, b.LengthText);
  EXPECT_EQ(a.TrimmedLengthText, b.TrimmedLengthText);
  EXPECT_EQ(a.DestinationText, b.DestinationText);
  EXPECT_EQ(a.ProgressText, b.ProgressText);
  EXPECT_EQ(a.Checked, b.Checked);
  EXPECT_EQ(a.FailReason, b.FailReason);
  EXPECT_EQ(a.Warning, b.Warning);
  EXPECT_EQ(a.Converted, b.Converted);
  EXPECT_EQ(a.WrittenFile, b.WrittenFile);
  EXPECT_EQ(a.Reading, b.Reading);
  EXPECT_TRUE(a.Record == b.Record);
}

TEST(QueueStore, KeepsEveryFieldTheEditorsAndTheConversionSet) {
  fixtures::TTempDir dir;
  const TQueueStore store(dir.Path() / "state" / "queue.ini");  // the folder is made
  TConversionRow failed;
  failed.Caption = failed.Record.SourceFile = "/media/b.avi";
  failed.ProgressText = "Failed";
  failed.FailReason = "the encoder refused the frame size";
  const std::vector<TConversionRow> rows = {EditedRow(), failed, TConversionRow{}};
  store.Save({rows[0], rows[1]});
  const std::vector<TConversionRow> back = store.Load();
  ASSERT_EQ(back.size(), 2u);
  ExpectSameRow(back[0], rows[0]);
  ExpectSameRow(back[1], rows[1]);
  // Written whole through a temporary file: nothing else is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "state"), fs::directory_iterator()),
            1);
}

TEST(QueueStore, AConversionCutShortLosesItsPercentageOnly) {
  TConversionRow row = EditedRow();
  row.Converted = false;
  row.ProgressText = "57%";
  const std::vector<TConversionRow> back = QueueRowsOfText(QueueText({row}));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].ProgressText, "");
  EXPECT_TRUE(back[0].Record == row.Record);
}

TEST(QueueStore, AMissingFileIsAnEmptyList) {
  fixtures::TTempDir dir;
  EXPECT_TRUE(TQueueStore(dir.Path() / "none" / "queue.ini").Load().empty());
}

// What a hostile, damaged or hand-edited file gives: never a crash, the rows that can be read,
// each field inside what the editors accept.
struct THostileCase {
  const char *Name;
  std::string Text;
  size_t Rows;
  std::function<void(const std::vector<TConversionRow> &)> Check;
};

void PrintTo(const THostileCase &c, std::ostream *out) {
  *out << c.Name;
}

std::string Row0(const std::string &keys) {
  return "[queue]\nCount=1\n[row0]\nSource=/a.mp4\n" + keys;
}

class QueueHostileFile : public testing::TestWithParam<THostileCase> {};

TEST_P(QueueHostileFile, GivesWhatCanBeReadAndNothingElse) {
  const THostileCase &c = GetParam();
  fixtures::TTempDir dir;
  WriteFile(dir.Path() / "queue.ini", c.Text);
  const std::vector<TConversionRow> rows = TQueueStore(dir.Path() / "queue.ini").Load();
  ASSERT_EQ(rows.size(), c.Rows);
  for (const TConversionRow &row : rows) {
    EXPECT_FALSE(row.Caption.empty());
    EXPECT_EQ(row.Record.SourceFile, row.Caption);
  }
  if (c.Check) c.Check(rows);
}

const TlvFilesRecord Defaults;

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueHostileFile,
    testing::Values(
        THostileCase{"Empty", "", 0, {}},
        THostileCase{"Garbage",
                     "\x7f"
                     "ELF\x01\x02 ]]][[[ ==== \xff\xfe\n[\n=\n",
                     0,
                     {}},
        THostileCase{"ZeroBytes", Row0("") + std::string(64, '\0'), 0, {}},
        THostileCase{"NoCount", "[row0]\nSource=/a.mp4\n", 0, {}},
        THostileCase{"NegativeCount", "[queue]\nCount=-3\n[row0]\nSource=/a.mp4\n", 0, {}},
        THostileCase{
            "CountBeyondInt", "[queue]\nCount=99999999999999999999\n[row0]\nSource=/a\n", 0, {}},
        THostileCase{"HugeCount", "[queue]\nCount=2147483647\n[row5]\nSource=/b.mp4\n", 1, {}},
        THostileCase{"RowWithoutSource",
                     "[queue]\nCount=3\n[row0]\nChecked=1\n[row1]\nSource=/b\n[row2]\nSource=\n",
                     1,
                     {}},
        THostileCase{
            "UnclosedSection", "[queue]\nCount=2\n[row0]\nSource=/a\n[row1\nSource=/b\n", 1, {}},
        THostileCase{"BadNumbersKeepTheDefaults",
                     Row0("TrimStart=abc\nTrimLength=1e400\nCropTop=12px\nBrightness=\n"
                          "MarkFontColor=0x10\nChecked=yes\n"),
                     1,
                     [](const std::vector<TConversionRow> &rows) {
                       const TlvFilesRecord &r = rows[0].Record;
                       EXPECT_EQ(r.TrimStart, 0);
                       EXPECT_EQ(r.TrimLength, 0);
                       EXPECT_EQ(r.CropTop, 0);
                       EXPECT_EQ(r.Brightness, Defaults.Brightness);
                       EXPECT_EQ(r.MarkFont.Color, Defaults.MarkFont.Color);
                       EXPECT_TRUE(rows[0].Checked);
                     }},
        THostileCase{"OutOfRangeIsClamped",
                     Row0("TrimStart=-5\nBrightness=99999\nContrast=-1000\nSaturation=-1\n"
                          "Exposure=100000\nMarkImageStyle=7\nMarkImageAlpha=999\n"
                          "MarkTextHorzPos=250\nMarkFontSize=0\nMarkFontColor=4294967296\n"
                          "CropLeft=-20\nMarkTextX=9999999\nDurationSec=-1\n"),
                     1,
                     [](const std::vector<TConversionRow> &rows) {
                       const TlvFilesRecord &r = rows[0].Record;
                       EXPECT_EQ(r.TrimStart, 0);
                       EXPECT_EQ(r.Brightness, 512);
                       EXPECT_EQ(r.Contrast, -100);
                       EXPECT_EQ(r.Saturation, 0);
                       EXPECT_EQ(r.Exposure, 512);
                       EXPECT_EQ(r.MarkImageStyle, 2);
                       EXPECT_EQ(r.MarkImageAlpha, 255);
                       EXPECT_EQ(r.MarkTextHorzPos, 100);
                       EXPECT_EQ(r.MarkFont.Size, 7);
                       EXPECT_EQ(r.MarkFont.Color, 0xFFFFFFu);
                       EXPECT_EQ(r.CropLeft, 0);
                       EXPECT_EQ(r.MarkTextX, 65535);
                       EXPECT_EQ(r.DurationSec, 0);
                     }},
        THostileCase{"UnknownZoomAndBadEscapes",
                     Row0("ZoomMode=../../etc\nMarkText=a\\qb\nMarkImage=\\x4\n"
                          "Destination=ends in \\\n"),
                     1,
                     [](const std::vector<TConversionRow> &rows) {
                       EXPECT_EQ(rows[0].Record.ZoomMode, "lbox");
                       EXPECT_EQ(rows[0].Record.MarkText, "");
                       EXPECT_EQ(rows[0].Record.MarkImage, "");
                       EXPECT_EQ(rows[0].DestinationText, "");
                     }}),
    [](const testing::TestParamInfo<THostileCase> &info) { return info.param.Name; });

// A file cut off anywhere (a disk that filled up under another writer, a copy interrupted) gives
// the rows before the cut, never a crash or a row without its source.
TEST(QueueStore, AFileCutOffAnywhereGivesTheRowsBeforeTheCut) {
  TConversionRow second = EditedRow();
  second.Caption = second.Record.SourceFile = "/media/second.mp4";
  const std::string text = QueueText({EditedRow(), second});
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    const std::vector<TConversionRow> rows = QueueRowsOfText(text.substr(0, cut));
    ASSERT_LE(rows.size(), 2u) << cut;
    for (const TConversionRow &row : rows) ASSERT_FALSE(row.Caption.empty()) << cut;
  }
  EXPECT_EQ(QueueRowsOfText(text).size(), 2u);
}

TEST(QueueStore, RandomBytesNeverCrashTheReader) {
  std::mt19937 random(23);
  const std::string valid = QueueText({EditedRow()});
  for (int round = 0; round < 300; ++round) {
    std::string text = valid;
    for (int flips = 0; flips < 8; ++flips)
      text[random() % text.size()] = static_cast<char>(random() % 255 + 1);
    for (const TConversionRow &row : QueueRowsOfText(text)) ASSERT_FALSE(row.Caption.empty());
  }
}

TEST(QueueStore, WhatIsNotARegularFileOrTooLargeIsNotRead) {
  fixtures::TTempDir dir;
  // A named pipe nobody writes to would stop a blocking read for ever.
  ASSERT_EQ(mkfifo((dir.Path() / "fifo.ini").c_str(), 0600), 0);
  EXPECT_TRUE(TQueueStore(dir.Path() / "fifo.ini").Load().empty());
  fs::create_directory(dir.Path() / "folder.ini");
  EXPECT_TRUE(TQueueStore(dir.Path() / "folder.ini").Load().empty());
  // A sparse file of 300 MB: refused by its size, not read.
  WriteFile(dir.Path() / "big.ini", QueueText({EditedRow()}));
  fs::resize_file(dir.Path() / "big.ini", 300ull << 20);
  EXPECT_TRUE(TQueueStore(dir.Path() / "big.ini").Load().empty());
}

// A save cut short by a kill leaves its temporary file; the next start removes it, but not the
// one of a save that another running copy is making.
TEST(QueueStore, ASaveCutShortByAKillIsRemovedAtTheNextLoad) {
  fixtures::TTempDir dir;
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const fs::path left = dir.Path() / (".queue.ini.saving-" + std::to_string(gone) + "-0");
  const fs::path running = dir.Path() / (".queue.ini.saving-" + std::to_string(getpid()) + "-0");
  WriteFile(left, "[queue]\nCount=1\n[row0]\nSo");
  WriteFile(running, "[queue]\n");
  WriteFile(dir.Path() / "queue.ini", QueueText({EditedRow()}));
  EXPECT_EQ(TQueueStore(dir.Path() / "queue.ini").Load().size(), 1u);
  EXPECT_FALSE(fs::exists(left));
  EXPECT_TRUE(fs::exists(running));
}

TEST(QueueWriter, WritesTheLatestRowsPutAndSkipsNothing) {
  fixtures::TTempDir dir;
  const fs::path path = dir.Path() / "queue.ini";
  {
    TQueueWriter writer{TQueueStore(path)};
    std::vector<TConversionRow> rows;
    for (int i = 0; i < 50; ++i) {
      rows.push_back(EditedRow());
      rows.back().Caption = "/media/" + std::to_string(i) + ".mp4";
      writer.Put(rows);
    }
    writer.Flush();
    EXPECT_EQ(TQueueStore(path).Load().size(), 50u);
    rows.resize(3);
    writer.Put(rows);  // written by the destructor at the latest
  }
  EXPECT_EQ(TQueueStore(path).Load().size(), 3u);
}

TEST(QueueWriter, AFailedSaveIsToldOnceAndKeepsTheOldFile) {
  fixtures::TTempDir dir;
  WriteFile(dir.Path() / "not-a-folder", "x");
  std::mutex lock;
  std::vector<std::string> told;
  TQueueWriter writer(TQueueStore(dir.Path() / "not-a-folder" / "queue.ini"),
                      [&](const std::string &why) {
                        const std::lock_guard<std::mutex> guard(lock);
                        told.push_back(why);
                      });
  writer.Put({EditedRow()});
  writer.Flush();
  writer.Put({EditedRow(), EditedRow()});
  writer.Flush();
  const std::lock_guard<std::mutex> guard(lock);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("not-a-folder"), std::string::npos) << told[0];
  EXPECT_EQ(FileText(dir.Path() / "not-a-folder"), "x");
}

// Restored rows: a source that has gone is marked and not converted, a finished row keeps its
// result, a row still reading when the list was kept is read again.
TEST(QueueRestore, MarksRowsWhoseSourceHasGone) {
  fixtures::TTempDir dir;
  WriteFile(dir.Path() / "here.mp4", "x");
  WriteFile(dir.Path() / "reading.mp4", "x");
  TConversionRow gone = EditedRow(), finished = EditedRow(), reading;
  gone.Caption = (dir.Path() / "gone.mp4").string();
  gone.Converted = false;
  gone.Checked = true;
  finished.Caption = (dir.Path() / "here.mp4").string();
  reading.Caption = (dir.Path() / "reading.mp4").string();
  reading.Reading = true;
  TConversionList list;
  const std::vector<TPendingRead> reads = list.Restore({gone, finished, reading});
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.Rows()[0].SourceGone);
  EXPECT_TRUE(list.Rows()[0].Checked);
  EXPECT_FALSE(list.Rows()[0].ToConvert());
  EXPECT_FALSE(list.Rows()[1].SourceGone);
  EXPECT_EQ(list.Rows()[1].ProgressText, finished.ProgressText);
  EXPECT_TRUE(list.Rows()[1].Converted);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].Path, reading.Caption);
  EXPECT_TRUE(list.Resolve(reads[0].Id, 3'000'000).Kept);
  EXPECT_EQ(list.Rows()[2].LengthText, "3");
}

TEST(QueueStore, LivesInTheStateFolder) {
  const char *oldHome = std::getenv("HOME");
  const std::string home = oldHome ? oldHome : "";
  setenv("XDG_STATE_HOME", "/xdg/state", 1);
  EXPECT_EQ(DefaultQueuePath(), "/xdg/state/morvane/queue.ini");
  setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(paths::StateFolder(), "/home/u/.local/state/morvane");
  unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(DefaultQueuePath(), "/home/u/.local/state/morvane/queue.ini");
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
