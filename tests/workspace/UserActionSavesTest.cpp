// Each user action that changes settings loads and saves the store once (the profile dialog's
// "Ok" saved it 47 times, and each save rewrote the whole file).
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "tests/support/Fixtures.h"
#include "tests/workspace/CountedSaves.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/ParameterPanel.h"
#include "workspace/Preferences.h"
#include "workspace/ProfileList.h"
#include "workspace/ProfileSettings.h"

namespace {

const char FormatIni[] =
    "[formatInfo402]\nVideoSize=320x240,480x272,as source\nVideoBitRate=384,512,768\n"
    "FrameRate=25,29.97\nVideoEncoder=mpeg-4,h264\nAudioBitRate=64,96\nSampleRate=24000,48000\n"
    "AudioEncoder=aac\nChannel=as source,mono 1 channel,stereo 2 channels\n"
    "Volume=50%,100%\niVideoSize=1\niVideoBitRate=2\niFrameRate=1\niVideoEncoder=0\n"
    "iAudioBitRate=1\niSampleRate=1\niChannel=2\niVolume=1\niAudioEncoder=0\nparaLevel=30\n"
    "paraGop=250\nparaCoder=1\n";

TEST(UserActionSaves, EachActionIsOneSave) {
  fixtures::TTempDir dir;
  std::ofstream(dir / "f.ini") << FormatIni;
  const TFormatCatalogue catalogue(dir / "f.ini");
  TSettingsStore store(dir / "s.ini");
  TScriptedQuestions questions;
  TParameterPanel panel(catalogue, store, questions);
  TProfileSettings settings(catalogue, store, questions);

  struct TAction {
    const char *Name;
    std::function<void()> Run;
  };
  const TAction actions[] = {
      {"a profile seen for the first time", [&] { panel.EnsureSeeded(402); }},
      {"the panel's video encoder set to H.264",
       [&] {
         TPanelState state = panel.Load(402);
         state.VideoEncoder.Select(1);
         panel.VideoEncoderChanged(402, state.VideoEncoder);
       }},
      {"the panel's frame rate",
       [&] {
         TPanelState state = panel.Load(402);
         state.FrameRate.Select(0);
         panel.FrameRateChanged(402, state.FrameRate);
       }},
      {"the panel's Default",
       [&] {
         TPanelState state = panel.Load(402);
         panel.Default(402, state);
       }},
      {"the profile dialog's Ok",
       [&] {
         TPanelState state = settings.Load(402);
         state.VideoEncoder.Select(1);
         state.VideoBitRate.Select(0);
         settings.Save(402, "Profile 402", state, TProfileList::Build(store));
       }},
      {"the preferences' Ok",
       [&] {
         TPreferenceValues values = TPreferences::Load(store);
         values.Priority = 3;
         values.JpgCmp = 77;
         TPreferences::Save(values, store);
       }},
      {"closing the main window (the list's open categories)",
       [&] {
         std::vector<TProfileRow> rows = TProfileList::Build(store);
         for (TProfileRow &row : rows) row.Info.Collapsed = !row.Info.Collapsed;
         TProfileList::SaveCollapsedStates(rows, store);
       }},
  };
  for (const TAction &action : actions) {
    SCOPED_TRACE(action.Name);
    const TCountedSaves saves;
    action.Run();
    EXPECT_EQ(saves.Count, 1);
  }
  EXPECT_TRUE(questions.Messages.empty());
}

}  // namespace
