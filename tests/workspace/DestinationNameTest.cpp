#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/DestinationName.h"

namespace {

TEST(DestinationName, NewThenNumberedWhenTaken) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  store.SetOutPutDir(dir / "out/");
  TScriptedQuestions questions;
  const std::string source = "/clips/a.avi";
  const auto first = DestinationFileName(store, questions, source, ".mp4");
  EXPECT_EQ(first, dir / "out/a_(new).mp4");
  std::ofstream(first) << "x";
  EXPECT_EQ(DestinationFileName(store, questions, source, ".mp4"), dir / "out/a_(new_1).mp4");
  // A name handed to an earlier row of the same batch counts as taken.
  EXPECT_EQ(DestinationFileName(store, questions, source, ".mp4", {dir / "out/a_(new_1).mp4"}),
            dir / "out/a_(new_2).mp4");
  EXPECT_TRUE(questions.Messages.empty());
}

TEST(DestinationName, FolderThatCannotBeMadeFallsBackToDefault) {
  fixtures::TTempDir dir;
  setenv("HOME", (dir / "home").c_str(), 1);
  std::ofstream(dir / "blocker") << "a file where a folder should be";
  TSettingsStore store(dir / "s.ini");
  store.SetOutPutDir(dir / "blocker/out");
  TScriptedQuestions questions;
  const auto name = DestinationFileName(store, questions, "/clips/b.mkv", ".avi");
  const std::string fallback = dir / "home/videoconverter";
  EXPECT_EQ(name, fallback + "/b_(new).avi");
  ASSERT_EQ(questions.Messages.size(), 1u);
  EXPECT_EQ(questions.Messages[0], "Cannot create output directory:" + (dir / "blocker/out") +
                                       ".It will create default directory " + fallback + "!");
  EXPECT_EQ(questions.Captions[0], "Warning");
  EXPECT_EQ(store.OutPutDir(), fallback);
  EXPECT_TRUE(std::filesystem::is_directory(fallback));
}

// The command line refuses an output folder it cannot use instead of writing elsewhere: the
// reason says what is in the way.
TEST(DestinationName, PrepareOutputFolderSaysWhyAFolderCannotBeUsed) {
  fixtures::TTempDir dir;
  std::filesystem::create_directories(dir / "there");
  std::ofstream(dir / "file") << "a file where a folder should be";
  const struct {
    std::string Folder, Reason;
  } cases[] = {{"there", ""},
               {"new/deeper", ""},
               {"file", "it is a file, not a folder"},
               {"file/out", "Not a directory"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Folder);
    EXPECT_EQ(PrepareOutputFolder(dir / c.Folder), c.Reason);
    if (c.Reason.empty()) {
      EXPECT_TRUE(std::filesystem::is_directory(dir / c.Folder));
    }
  }
  std::ifstream file(dir / "file");
  std::string text;
  std::getline(file, text);
  EXPECT_EQ(text, "a file where a folder should be");
}

}  // namespace
