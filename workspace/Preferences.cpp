#include "workspace/Preferences.h"

#include "platform/Paths.h"

namespace sk = settingskeys;

TPreferenceValues TPreferences::Load(const TSettingsStore &store) {
  auto on = [&](const char *key) { return store.ReadInteger(sk::Section, key, 1) == 1; };
  TPreferenceValues values;
  values.SnapOutPutDir = store.SnapOutPutDir();
  values.FullSize = on(sk::SnapFullSize);
  values.SmallSize = on(sk::SnapSmallSize);
  values.Bmp = on(sk::SnapBmp);
  values.Jpg = on(sk::SnapJpg);
  values.JpgCmp = store.JpgCmp();
  values.Priority = store.Priority();
  values.CheckForUpdates = CheckForUpdates(store);
  return values;
}

bool TPreferences::CheckForUpdatesByDefault() {
  return MORVANE_UPDATE_CHECK_DEFAULT != 0;
}

bool TPreferences::CheckForUpdates(const TSettingsStore &store) {
  return store.ReadBool(sk::Section, sk::CheckForUpdates, CheckForUpdatesByDefault());
}

TPreferenceValues TPreferences::Defaults() {
  TPreferenceValues values;
  values.SnapOutPutDir = paths::DefaultOutputFolder().string();
  values.CheckForUpdates = CheckForUpdatesByDefault();
  return values;
}

void TPreferences::Save(const TPreferenceValues &values, TSettingsStore &store) {
  const TStoreEdit edit(store);
  store.SetSnapOutPutDir(values.SnapOutPutDir.empty() ? paths::DefaultOutputFolder().string()
                                                      : values.SnapOutPutDir);
  store.SetSnapBmp(values.Bmp);
  store.SetSnapJpg(values.Jpg);
  store.SetSnapFullSize(values.FullSize);
  store.SetSnapSmallSize(values.SmallSize);
  if (values.JpgCmp > 0) store.SetJpgCmp(values.JpgCmp);
  store.SetPriority(values.Priority);
  store.WriteBool(sk::Section, sk::CheckForUpdates, values.CheckForUpdates);
}
