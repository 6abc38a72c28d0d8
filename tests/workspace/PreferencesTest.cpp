#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "workspace/Preferences.h"

namespace sk = settingskeys;

TEST(Preferences, OnlyAStoredOneTurnsASizeOrFormatOn) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  const TPreferenceValues fresh = TPreferences::Load(store);
  EXPECT_TRUE(fresh.FullSize && fresh.SmallSize && fresh.Bmp && fresh.Jpg);
  EXPECT_EQ(fresh.JpgCmp, 30);
  EXPECT_EQ(fresh.Priority, 1);
  store.WriteInteger(sk::Section, sk::SnapJpg, 0);
  store.WriteInteger(sk::Section, sk::SnapBmp, 2);
  const TPreferenceValues stored = TPreferences::Load(store);
  EXPECT_FALSE(stored.Jpg);
  EXPECT_FALSE(stored.Bmp);
}

TEST(Preferences, SavingAnEmptyFolderOrNoQualityKeepsUsableValues) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  store.SetJpgCmp(55);
  TPreferenceValues values = TPreferences::Defaults();
  values.SnapOutPutDir.clear();
  values.JpgCmp = 0;
  values.Priority = -1;
  TPreferences::Save(values, store);
  EXPECT_EQ(store.SnapOutPutDir(), paths::DefaultOutputFolder().string());
  EXPECT_EQ(store.JpgCmp(), 55);
  EXPECT_EQ(store.ReadString(sk::Section, "PRIORITY", ""), "-1");
}

TEST(Preferences, OfTwoBoxesOneStaysChecked) {
  // clicked box now checked, other box checked -> clicked box checked after the click
  const bool cases[][3] = {
      {false, false, true}, {false, true, false}, {true, false, true}, {true, true, true}};
  for (const auto &c : cases) EXPECT_EQ(TPreferences::KeepOneChecked(c[0], c[1]), c[2]);
}

// The update check follows the stored choice; without one, the build's default (on, unless the
// build was made for a distribution's package).
TEST(Preferences, TheUpdateCheckFollowsTheStoredChoiceElseTheBuildsDefault) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  EXPECT_EQ(TPreferences::CheckForUpdates(store), MORVANE_TEST_UPDATE_CHECK_DEFAULT != 0);
  EXPECT_EQ(TPreferences::Defaults().CheckForUpdates, MORVANE_TEST_UPDATE_CHECK_DEFAULT != 0);
  for (const bool on : {false, true}) {
    TPreferenceValues values = TPreferences::Load(store);
    values.CheckForUpdates = on;
    TPreferences::Save(values, store);
    EXPECT_EQ(store.ReadString(sk::Section, "CheckForUpdates", ""), on ? "1" : "0");
    EXPECT_EQ(TPreferences::CheckForUpdates(store), on);
    EXPECT_EQ(TPreferences::Load(store).CheckForUpdates, on);
  }
}
