// The preferences: where snapshots go, their sizes and formats, the JPEG quality, and the work
// priority of conversions, and whether the update check runs at start-up, as the preferences
// dialog shows and stores them in the settings store's `settings` section.
#pragma once

#include <string>

#include "workspace/SettingsStore.h"

namespace settingskeys {
// 1: the update document is fetched at every start; 0: nothing is fetched.
inline constexpr const char CheckForUpdates[] = "checkForUpdates";
}  // namespace settingskeys

struct TPreferenceValues {
  std::string SnapOutPutDir;
  bool FullSize = true;
  bool SmallSize = false;
  bool Bmp = true;
  bool Jpg = false;
  int JpgCmp = 20;   // JPEG quality, 1..100
  int Priority = 1;  // 0 "Idle", 1 "Normal", 2 "Lower", 3 "Lowest"; -1 none chosen
  bool CheckForUpdates = true;
};

class TPreferences {
 public:
  static constexpr int MinQuality = 1;
  static constexpr int MaxQuality = 100;

  // As stored; a size or format is on only when its key is 1.
  static TPreferenceValues Load(const TSettingsStore &store);
  // What "Default" shows: the default folder, full-size BMP snapshots, quality 20, "Normal",
  // and the update check as the build chose (packages of distributions leave it off).
  static TPreferenceValues Defaults();
  // Whether the update check runs at start-up: the stored choice, else the build's default.
  static bool CheckForUpdates(const TSettingsStore &store);
  static bool CheckForUpdatesByDefault();
  // Writes every value.  An empty folder stores the default folder; a quality below 1 leaves the
  // stored quality as it was.
  static void Save(const TPreferenceValues &values, TSettingsStore &store);

  // Of two check boxes one of which stays checked (the two sizes, the two formats): whether the
  // box just clicked is checked after the click, given whether the other one is.
  static bool KeepOneChecked(bool clickedNowChecked, bool otherChecked) {
    return clickedNowChecked || !otherChecked;
  }
};
