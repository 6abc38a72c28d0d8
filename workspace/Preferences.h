// The preferences: where snapshots go, their sizes and formats, the JPEG quality, and the work
// priority of conversions, as the preferences dialog shows and stores them in the settings
// store's `settings` section.
#pragma once

#include <string>

#include "workspace/SettingsStore.h"

struct TPreferenceValues {
  std::string SnapOutPutDir;
  bool FullSize = true;
  bool SmallSize = false;
  bool Bmp = true;
  bool Jpg = false;
  int JpgCmp = 20;   // JPEG quality, 1..100
  int Priority = 1;  // 0 "Idle", 1 "Normal", 2 "Lower", 3 "Lowest"; -1 none chosen
};

class TPreferences {
 public:
  static constexpr int MinQuality = 1;
  static constexpr int MaxQuality = 100;

  // As stored; a size or format is on only when its key is 1.
  static TPreferenceValues Load(const TSettingsStore &store);
  // What "Default" shows: the default folder, full-size BMP snapshots, quality 20, "Normal".
  static TPreferenceValues Defaults();
  // Writes every value.  An empty folder stores the default folder; a quality below 1 leaves the
  // stored quality as it was.
  static void Save(const TPreferenceValues &values, TSettingsStore &store);

  // Of two check boxes one of which stays checked (the two sizes, the two formats): whether the
  // box just clicked is checked after the click, given whether the other one is.
  static bool KeepOneChecked(bool clickedNowChecked, bool otherChecked) {
    return clickedNowChecked || !otherChecked;
  }
};
