#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/ConversionList.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<std::string>;

class ConversionListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(Dir / "f.ini") << "[formatInfo2406]\nFileExt=ac3\n";
    Store.SetOutPutDir(Dir / "out");
    Store.SetFormatCode(2406);
    Store.WriteProfile(2406, "paraZoom", "pan");
  }

  // Durations by path; a path without one cannot be opened.
  TDurationProbe Probe() {
    return [this](const std::string &path) -> std::optional<int64_t> {
      Probed.push_back(path);
      const auto it = Durations.find(path);
      if (it == Durations.end()) return std::nullopt;
      return it->second;
    };
  }

  int Add(const Paths &paths) { return List.Add(paths, Store, Catalogue, Questions, Probe()); }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{Dir / "f.ini"};
  TSettingsStore Store{Dir / "s.ini"};
  TScriptedQuestions Questions;
  std::map<std::string, int64_t> Durations;
  Paths Probed;
  TConversionList List;
};

TEST_F(ConversionListTest, AddsOpenableFilesOnceWithTheirRecords) {
  Durations = {{"/clips/a.avi", 62'900'000}, {"/clips/A.avi", 1'000'000}, {"/clips/n.mp3", -1}};
  fs::create_directories(Dir / "folder.avi");
  EXPECT_EQ(Add({"/clips/a.avi", Dir / "folder.avi", "/clips/bad.avi", "/clips/a.avi",
                 "/clips/A.avi", "/clips/n.mp3"}),
            3);
  ASSERT_EQ(List.Count(), 3);
  // A folder is never probed; a listed path is not probed again.
  EXPECT_EQ(Probed, (Paths{"/clips/a.avi", "/clips/bad.avi", "/clips/A.avi", "/clips/n.mp3"}));

  const TConversionRow &a = List.Rows()[0];
  EXPECT_EQ(a.Caption, "/clips/a.avi");
  EXPECT_EQ(a.LengthText, "62");
  EXPECT_EQ(a.TrimmedLengthText, "62");
  EXPECT_EQ(a.DestinationText, "a_(new).ac3");
  EXPECT_TRUE(a.Checked);
  EXPECT_EQ(a.Record.AddIndex, 0);
  EXPECT_EQ(a.Record.SourceFile, "/clips/a.avi");
  EXPECT_EQ(a.Record.DestFile, Dir / "out/a_(new).ac3");
  EXPECT_EQ(a.Record.DurationSec, 62);
  EXPECT_EQ(a.Record.ZoomMode, "pan");
  // The comparison is case-sensitive, as file names are.
  EXPECT_EQ(List.Rows()[1].Caption, "/clips/A.avi");
  EXPECT_EQ(List.Rows()[1].Record.AddIndex, 4);
  // An unknown duration shows as 0 seconds.
  EXPECT_EQ(List.Rows()[2].LengthText, "0");
  EXPECT_TRUE(Questions.Messages.empty());
}

// The destinations are named as Start names them: rows of one base name apart, an unchecked row
// beside the checked ones, for the profile and the folder of the moment; nothing is made.
TEST_F(ConversionListTest, DestinationsAreNamedAsStartNamesThem) {
  Durations = {{"/one/a.avi", 1'000'000}, {"/two/a.avi", 1'000'000}, {"/three/a.avi", 1'000'000}};
  Add({"/one/a.avi", "/two/a.avi", "/three/a.avi"});
  const auto texts = [&] {
    Paths texts;
    for (const TConversionRow &row : List.Rows()) texts.push_back(row.DestinationText);
    return texts;
  };
  EXPECT_EQ(texts(), (Paths{"a_(new).ac3", "a_(new_1).ac3", "a_(new_2).ac3"}));

  List.SetChecked(0, false);
  std::ofstream(Dir / "f.ini", std::ios::app) << "[formatInfo803]\nFileExt=avi\n";
  Store.SetFormatCode(803);
  Store.SetOutPutDir(Dir / "other");
  fs::create_directories(Dir / "other");
  std::ofstream(Dir / "other/a_(new).avi") << "an earlier conversion";
  List.NameDestinations(Store, Catalogue);
  EXPECT_EQ(texts(), (Paths{"a_(new_1).avi", "a_(new_1).avi", "a_(new_2).avi"}));
  EXPECT_EQ(List.Rows()[2].Record.DestFile, Dir / "other/a_(new_2).avi");

  Store.SetOutPutDir(Dir / "missing");
  List.NameDestinations(Store, Catalogue);
  EXPECT_EQ(texts(), (Paths{"a_(new).avi", "a_(new).avi", "a_(new_1).avi"}));
  EXPECT_FALSE(fs::exists(Dir / "missing"));
  EXPECT_TRUE(Questions.Messages.empty());
}

// A second add names its own rows after the ones above, as naming the whole list would; a
// converted row goes on showing the name its file was written under.
TEST_F(ConversionListTest, AnAddNamesItsRowsAndAConvertedRowKeepsItsWrittenName) {
  Durations = {{"/one/a.avi", 1'000'000}, {"/two/a.avi", 1'000'000}, {"/three/a.avi", 1'000'000}};
  Add({"/one/a.avi"});
  List.Row(0).Converted = true;
  List.Row(0).DestinationText = "a_(new_4).ac3";
  Add({"/two/a.avi", "/three/a.avi"});
  Paths texts;
  for (const TConversionRow &row : List.Rows()) texts.push_back(row.DestinationText);
  EXPECT_EQ(texts, (Paths{"a_(new_4).ac3", "a_(new_1).ac3", "a_(new_2).ac3"}));
  const std::string added = List.Rows()[2].Record.DestFile;
  List.NameDestinations(Store, Catalogue);
  EXPECT_EQ(List.Rows()[2].Record.DestFile, added);
  EXPECT_EQ(List.Rows()[0].DestinationText, "a_(new_4).ac3");
}

// Adding in two steps: the rows come in the order given, each reading until its probe's result,
// which may come from another thread at any time; a file that cannot be opened leaves again.
TEST_F(ConversionListTest, AdmittedRowsReadInTheOrderGivenAndUnreadableOnesLeave) {
  std::vector<TPendingRead> reads = List.Admit({"a", "bad", "c", "a"}, Store, Catalogue, Questions);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].Path, "a");
  EXPECT_EQ(reads[1].Path, "bad");
  EXPECT_EQ(reads[2].Path, "c");
  ASSERT_EQ(List.Count(), 3);
  EXPECT_TRUE(List.Reading());
  for (const TConversionRow &row : List.Rows()) {
    EXPECT_TRUE(row.Reading) << row.Caption;
    EXPECT_EQ(row.LengthText, "") << row.Caption;
    EXPECT_FALSE(row.DestinationText.empty()) << row.Caption;
  }
  EXPECT_EQ(List.Rows()[2].Record.AddIndex, 2);

  // The last file's probe ends first.
  const auto c = List.Resolve(reads[2].Id, 3'500'000);
  EXPECT_EQ(c.Row, 2);
  EXPECT_TRUE(c.Kept);
  EXPECT_EQ(List.Rows()[2].LengthText, "3");
  EXPECT_EQ(List.Rows()[2].Record.DurationSec, 3);
  EXPECT_FALSE(List.Rows()[2].Reading);
  const auto bad = List.Resolve(reads[1].Id, std::nullopt);
  EXPECT_EQ(bad.Row, 1);
  EXPECT_FALSE(bad.Kept);
  ASSERT_EQ(List.Count(), 2);
  EXPECT_TRUE(List.Reading());
  // A result for a row no longer listed changes nothing.
  EXPECT_EQ(List.Resolve(reads[1].Id, 1'000'000).Row, -1);
  EXPECT_EQ(List.Resolve(reads[0].Id, 61'000'000).Row, 0);
  EXPECT_FALSE(List.Reading());
  EXPECT_EQ(List.Rows()[0].Caption, "a");
  EXPECT_EQ(List.Rows()[0].TrimmedLengthText, "61");
  EXPECT_EQ(List.Rows()[1].Caption, "c");
  EXPECT_TRUE(Questions.Messages.empty());
}

TEST_F(ConversionListTest, CancelledReadingDropsOnlyTheRowsStillReading) {
  Durations = {{"a", 0}};
  Add({"a"});
  const std::vector<TPendingRead> reads = List.Admit({"b", "c"}, Store, Catalogue, Questions);
  List.Resolve(reads[0].Id, 2'000'000);
  EXPECT_EQ(List.DropReading(), 1);
  ASSERT_EQ(List.Count(), 2);
  EXPECT_EQ(List.Rows()[1].Caption, "b");
  EXPECT_FALSE(List.Reading());
  // A probe that ends after the cancel finds no row.
  EXPECT_EQ(List.Resolve(reads[1].Id, 2'000'000).Row, -1);
  EXPECT_EQ(List.Count(), 2);
}

TEST_F(ConversionListTest, RemoveClearAndChecks) {
  Durations = {{"a", 0}, {"b", 0}, {"c", 0}};
  Add({"a", "b", "c"});
  List.SetChecked(1, false);
  List.ReverseCheck();
  EXPECT_EQ(List.CheckedCount(), 1);
  EXPECT_TRUE(List.Rows()[1].Checked);
  EXPECT_EQ(List.Remove(2), 1);  // the new last row
  EXPECT_EQ(List.Remove(5), -1);
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(List.Remove(0), 0);   // the row that moved up
  EXPECT_EQ(List.Remove(0), -1);  // the list is empty
  EXPECT_FALSE(List.Clear());
  Add({"a", "b"});
  EXPECT_TRUE(List.Clear());
  EXPECT_EQ(List.Count(), 0);

  EXPECT_FALSE(TConversionList::RowCommandsEnabled(0, -1));
  EXPECT_FALSE(TConversionList::RowCommandsEnabled(3, -1));
  EXPECT_FALSE(TConversionList::RowCommandsEnabled(3, 3));
  EXPECT_TRUE(TConversionList::RowCommandsEnabled(3, 2));
}

TEST_F(ConversionListTest, SeveralRowsAreRemovedAndCheckedAtOnce) {
  struct TCase {
    std::set<int> Removed;
    Paths Left;
    int Selected;
  };
  const TCase cases[] = {
      {{1, 3}, {"a", "c", "e"}, 1},           // the row that moved into the first gap
      {{0, 1}, {"c", "d", "e"}, 0},           // the first rows
      {{3, 4}, {"a", "b", "c"}, 2},           // the last rows: the new last row
      {{0, 1, 2, 3, 4}, {}, -1},              // all of them
      {{2, 9, -1}, {"a", "b", "d", "e"}, 2},  // indices outside the list are passed over
      {{7}, {"a", "b", "c", "d", "e"}, -1},   // nothing to remove
  };
  for (const TCase &c : cases) {
    List.Clear();
    Durations = {{"a", 0}, {"b", 0}, {"c", 0}, {"d", 0}, {"e", 0}};
    Add({"a", "b", "c", "d", "e"});
    EXPECT_EQ(List.Remove(c.Removed), c.Selected);
    Paths left;
    for (const TConversionRow &row : List.Rows()) left.push_back(row.Caption);
    EXPECT_EQ(left, c.Left);
  }

  Add({"a", "b", "c", "d", "e"});
  List.SetChecked(std::set<int>{0, 2, 4, 8}, false);
  std::vector<bool> checks;
  for (const TConversionRow &row : List.Rows()) checks.push_back(row.Checked);
  EXPECT_EQ(checks, std::vector<bool>({false, true, false, true, false}));
  List.SetChecked(std::set<int>{2, 3}, true);
  EXPECT_EQ(List.CheckedCount(), 3);
}

TEST(AddDialogFilter, EntriesAndListedMediaFiles) {
  const auto &filters = AddDialogFilters();
  ASSERT_EQ(filters.size(), 36u);
  EXPECT_EQ(filters[0].Name, "All Supported Video Formats");
  EXPECT_EQ(filters[0].Patterns.size(), 24u);  // the trailing ";" adds no empty pattern
  EXPECT_EQ(filters[4].Name, "MPEG files (*.mpg,*.mpeg)");
  EXPECT_EQ(filters[4].Patterns, (std::vector<std::string>{"*.mpg", "*.mpeg"}));
  EXPECT_EQ(filters.back().Name, "All files (*.*)");

  for (const char *listed : {"/a/b.AVI", "x.mkv", "song.Flac", "t.ac3", "v.ts"})
    EXPECT_TRUE(IsListedMediaFile(listed)) << listed;
  // Only the two "All Supported" groups count: .gif and .m2ts have entries of their own.
  for (const char *other : {"notes.txt", "anim.gif", "clip.m2ts", "README", ".mkv"})
    EXPECT_FALSE(IsListedMediaFile(other)) << other;
}

TEST(DroppedPaths, FoldersGiveTheirMediaFilesSorted) {
  fixtures::TTempDir dir;
  fs::create_directories(dir.Path() / "drop/sub");
  for (const char *name : {"drop/b.mp4", "drop/a.MP3", "drop/notes.txt", "drop/sub/c.mkv"})
    std::ofstream(dir / name) << "x";
  fs::create_directories(dir.Path() / "drop/empty.avi");  // a folder named like a video
  const std::string loose = dir / "loose.txt";
  EXPECT_EQ(ExpandDroppedPaths({loose, dir / "drop"}),
            (Paths{loose, dir / "drop/a.MP3", dir / "drop/b.mp4", dir / "drop/sub/c.mkv"}));
  EXPECT_TRUE(ExpandDroppedPaths({dir / "missing"}) == Paths{dir / "missing"});
}

TEST(DroppedPaths, AWalkStopsWhenCancelled) {
  fixtures::TTempDir dir;
  fs::create_directories(dir.Path() / "drop");
  for (int i = 0; i < 50; ++i) std::ofstream(dir / ("drop/" + std::to_string(i) + ".mp4")) << "x";
  int asked = 0;
  const Paths files = ExpandDroppedPaths({dir / "first.mp4", dir / "drop", dir / "last.mp4"},
                                         [&] { return ++asked > 10; });
  // The walk gave up within the folder and never came to the name after it.
  EXPECT_LE(asked, 12);
  EXPECT_TRUE(files.size() <= 1u) << files.size();
}

TEST(CommandLinePaths, RelativeNamesAreTakenFromTheWorkingFolder) {
  const struct {
    Paths Arguments;
    Paths Expected;
  } cases[] = {
      {{"clip.mp4", "/abs/song.mp3"}, {"/home/u/clip.mp4", "/abs/song.mp3"}},
      {{"./a/../b.avi", "sub/dir/"}, {"/home/u/b.avi", "/home/u/sub/dir/"}},
      // "--" ends the options; a second one is a file of that name.
      {{"--", "-dash.mp4", "--"}, {"/home/u/-dash.mp4", "/home/u/--"}},
      {{"", "x.mkv"}, {"/home/u/x.mkv"}},
      {{}, {}},
  };
  for (const auto &c : cases) EXPECT_EQ(CommandLinePaths(c.Arguments, "/home/u"), c.Expected);
}

}  // namespace
