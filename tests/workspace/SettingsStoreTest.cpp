#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "workspace/GlobalUnit.h"
#include "workspace/SettingsStore.h"

namespace {

void WriteFile(const std::string &path, const std::string &text) {
  std::ofstream(path) << text;
}

TEST(SettingsStore, FirstStartReadsEveryDefault) {
  fixtures::TTempDir dir;
  const TSettingsStore store(dir / "none.ini");
  const std::string home = paths::HomeFolder().string();
  EXPECT_EQ(store.OutPutDir(), home + "/videoconverter");
  EXPECT_EQ(store.SnapOutPutDir(), home + "/videoconverter");
  EXPECT_EQ(store.FormatCode(), 1);
  EXPECT_EQ(store.FormatCodeText(), "1");
  EXPECT_EQ(store.FormatName(FormatNameAtShow), "iPod Video MPEG-4");
  EXPECT_EQ(store.FormatName(FormatNameInList), "Apple iPod Video MPEG-4 Movie (*.mp4)");
  EXPECT_EQ(store.OutPutFormat(), 0);
  EXPECT_EQ(store.SkinIndex(), 0);
  EXPECT_EQ(store.Volume(), 0);
  EXPECT_EQ(store.Mute(), 0);
  EXPECT_EQ(store.Priority(), 1);
  EXPECT_TRUE(store.SnapFullSize());
  EXPECT_TRUE(store.SnapSmallSize());
  EXPECT_TRUE(store.SnapBmp());
  EXPECT_TRUE(store.SnapJpg());
  EXPECT_EQ(store.JpgCmp(), 30);
  EXPECT_TRUE(store.CategoryCollapsed(0));
  EXPECT_TRUE(store.CategoryCollapsed(24));
  EXPECT_FALSE(store.ProfileExists(401));
}

TEST(SettingsStore, KeysMatchWithoutRegardToCase) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  // The preferences dialog writes "snapOutPutDir" and reads "Priority".
  store.WriteString("settings", "snapOutPutDir", "/data/snaps");
  store.WriteInteger("Settings", "Priority", 3);
  EXPECT_EQ(store.SnapOutPutDir(), "/data/snaps");
  EXPECT_EQ(store.Priority(), 3);
  store.WriteProfile(401, "PARAVIDEOSIZE", "480x272");
  EXPECT_EQ(store.ReadProfile(401, "paraVideoSize", "null"), "480x272");
}

TEST(SettingsStore, StoredValuesAndOddTexts) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  WriteFile(path,
            "[settings]\nvolume=200\nskinIndex=9\npriority=fast\nmute=1\n"
            "[lstformat]\n4=0\n7=1\n");
  const TSettingsStore store(path);
  EXPECT_EQ(store.Volume(), 200);
  EXPECT_EQ(store.VolumeBarPosition(), 64);
  EXPECT_EQ(store.SkinIndex(), 9);
  EXPECT_EQ(store.Priority(), 1) << "text that is not an integer reads as the default";
  EXPECT_EQ(store.Mute(), 1);
  EXPECT_FALSE(store.CategoryCollapsed(4));
  EXPECT_TRUE(store.CategoryCollapsed(7));
  EXPECT_TRUE(store.CategoryCollapsed(5));
}

TEST(SettingsStore, WritesCreateFolderAndKeepOtherKeys) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "cfg/morvane/s.ini");
  store.SetFormatCode(401);
  store.SetFormatName("PSP MPEG-4 Normal Quality (*.mp4)");
  store.SetMute(true);
  store.SetCategoryCollapsed(4, false);
  store.WriteProfile(401, "paraZoom", "lbox");
  const TSettingsStore reread(dir / "cfg/morvane/s.ini");
  EXPECT_EQ(reread.FormatCode(), 401);
  EXPECT_EQ(reread.FormatName(FormatNameAtShow), "PSP MPEG-4 Normal Quality (*.mp4)");
  EXPECT_EQ(reread.Mute(), 1);
  EXPECT_FALSE(reread.CategoryCollapsed(4));
  EXPECT_TRUE(reread.ProfileExists(401));
  EXPECT_EQ(reread.ReadString("formatInfo401", "paraZoom", ""), "lbox");
}

// A line that opens a section without closing it used to make every write add to the file
// (found by fuzzing: 550 bytes grew to 3.8 MB within one job, and each read then took seconds).
TEST(SettingsStore, UnclosedSectionLineNeitherGrowsTheFileNorHidesKeys) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  WriteFile(path,
            "[settings]\nFormatCode=401\n[broken\n;note\nmute=1\n[formatInfo401]\nparaZoom=full\n");
  TSettingsStore store(path);
  for (int i = 0; i < 20; ++i) store.SetSkinIndex(i);
  EXPECT_LT(std::filesystem::file_size(path), 200u);
  EXPECT_EQ(store.SkinIndex(), 19);
  EXPECT_EQ(store.FormatCode(), 401);
  EXPECT_EQ(store.Mute(), 1) << "the keys below the damaged line stay in the section before it";
  EXPECT_EQ(store.ReadString("formatInfo401", "paraZoom", ""), "full");
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(";[broken"), std::string::npos) << "the damaged line is kept";
}

TEST(SettingsStore, UnwritableStoreRaisesInsteadOfLosingTheWrite) {
  fixtures::TTempDir dir;
  WriteFile(dir / "file", "x");
  TSettingsStore store(dir / "file/s.ini");  // a folder that cannot exist
  EXPECT_THROW(store.SetSkinIndex(2), std::runtime_error);
}

TEST(GlobalObject, SettersIgnoreEmptyAndTooShortValues) {
  TGlobalObject global("/cfg/s.ini", "/data/f.ini");
  EXPECT_EQ(global.ProductTitle(), "Morvane MP4 Video Converter");
  EXPECT_EQ(global.VersionText(), " ver 1.60 ");
  global.SetSettingsIniPath("a.i");
  global.SetFormatIniPath("");
  global.SetProductTitle("");
  EXPECT_EQ(global.SettingsIniPath(), "/cfg/s.ini");
  EXPECT_EQ(global.FormatIniPath(), "/data/f.ini");
  EXPECT_EQ(global.ProductTitle(), "Morvane MP4 Video Converter");
  global.SetSettingsIniPath("b.ini");
  EXPECT_EQ(global.SettingsIniPath(), "b.ini");
}

TEST(GlobalObject, VersionTextRunsMinorBuildReleaseTogether) {
  EXPECT_EQ(VersionTextOf(3, 3, 0, 0), " 3.300 ");
  EXPECT_EQ(VersionTextOf(2, 10, 1, 0), " 2.1010 ");
}

TEST(GlobalObject, PathsComeFromEnvironmentOrConfigFolder) {
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  unsetenv("MORVANE_SETTINGS_INI");
  setenv("MORVANE_FORMAT_INI", "/opt/f.ini", 1);
  const TGlobalObject fromConfig;
  EXPECT_EQ(fromConfig.SettingsIniPath(), "/xdg/morvane/morvanemp4videoconverter.ini");
  EXPECT_EQ(fromConfig.FormatIniPath(), "/opt/f.ini");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultSettingsIniPath(), "/home/u/.config/morvane/morvanemp4videoconverter.ini");
  setenv("MORVANE_SETTINGS_INI", "/t/s.ini", 1);
  EXPECT_EQ(TGlobalObject().SettingsIniPath(), "/t/s.ini");
}

}  // namespace
