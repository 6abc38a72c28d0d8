#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/ProfileSettings.h"

namespace {

// A video profile with an H.264 item and a bad volume item, and a sound-only profile.
const char FormatIni[] =
    "[formatInfo402]\nVideoSize=320x240,480x272,as source\nVideoBitRate=384,512,768\n"
    "FrameRate=25,29.97\nVideoEncoder=mpeg-4,h264\nAudioBitRate=64,96\nSampleRate=24000,48000\n"
    "AudioEncoder=aac\nChannel=as source,mono 1 channel,stereo 2 channels\n"
    "Volume=50%,100%,loud!\niVideoSize=1\niVideoBitRate=2\niFrameRate=1\niVideoEncoder=0\n"
    "iAudioBitRate=1\niSampleRate=1\niChannel=2\niVolume=1\niAudioEncoder=0\nparaLevel=30\n"
    "[formatInfo2400]\nVideoSize=null\nVideoEncoder=null\nAudioBitRate=128,192\n"
    "SampleRate=44100\nAudioEncoder=mp3\nChannel=stereo 2 channels\nVolume=100%\n";

class ProfileSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(Dir / "f.ini") << FormatIni; }
  std::string Para(int code, const char *key) { return Store.ReadProfile(code, key, "<none>"); }
  std::string StoreText() {
    std::stringstream text;
    text << std::ifstream(Dir / "s.ini").rdbuf();
    return text.str();
  }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{Dir / "f.ini"};
  TSettingsStore Store{Dir / "s.ini"};
  TScriptedQuestions Questions;
  TProfileSettings Settings{Catalogue, Store, Questions};
};

}  // namespace

TEST_F(ProfileSettingsTest, ShowingTakesStoredTextsAPickedProfileOnlyItsIndexes) {
  Store.WriteProfileInteger(402, "iVideoSize", -1);
  Store.WriteProfile(402, "paraVideoSize", "400x300");
  Store.WriteProfileInteger(402, "iVideoBitRate", 1);
  Store.WriteProfile(402, "paraVideoBitRate", "384");  // the index wins
  Store.WriteProfile(402, "paraZoom", "center");

  const TPanelState shown = Settings.Load(402);
  EXPECT_EQ(shown.VideoSize.Text, "400x300");
  EXPECT_EQ(shown.VideoSize.ItemIndex, -1);
  EXPECT_EQ(shown.VideoBitRate.Text, "512");
  EXPECT_EQ(shown.Zoom.Items.front(), "Full screen");
  EXPECT_EQ(shown.Zoom.ItemIndex, -1) << "\"center\" has no item";
  EXPECT_EQ(shown.Zoom.Text, "");
  EXPECT_EQ(shown.FrameRate.Text, "25") << "index 0 when none is stored";

  const TPanelState picked = Settings.LoadPicked(402);
  EXPECT_EQ(picked.VideoSize.Text, "");
  EXPECT_EQ(picked.VideoSize.ItemIndex, -1);
  EXPECT_EQ(picked.VideoBitRate.Text, "512");
}

TEST_F(ProfileSettingsTest, AProfileNeverUsedShowsItsDefaultsAndASoundProfileNoVideo) {
  const TPanelState fresh = Settings.Load(402);
  EXPECT_EQ(fresh.VideoSize.Text, "480x272");
  EXPECT_EQ(fresh.VideoBitRate.Text, "768");
  EXPECT_EQ(fresh.Channel.Text, "stereo 2 channels");
  EXPECT_EQ(fresh.Zoom.Text, "Full screen");
  EXPECT_EQ(StoreText(), "") << "showing writes nothing";

  const TPanelState sound = Settings.Load(2400);
  for (const TParamBoxState *box : {&sound.VideoSize, &sound.VideoEncoder, &sound.Zoom})
    EXPECT_TRUE(!box->Enabled && box->Grey);
  EXPECT_TRUE(sound.AudioEncoder.Enabled && !sound.AudioEncoder.Grey);
}

TEST_F(ProfileSettingsTest, OkWritesTheWholeSetAndMakesTheProfileCurrent) {
  TPanelState s = Settings.LoadPicked(402);
  s.VideoBitRate.SetText("1000");  // free text
  s.VideoEncoder.Select(1);        // h264
  s.Zoom.Select(-1);
  s.Volume.Select(0);
  std::vector<TProfileRow> rows = TProfileList::Build(Store);
  TProfileList::Toggle(rows, 4);  // "Sony PSP" opened
  Settings.Save(402, "PSP MPEG-4 Mini Size (*.mp4)", s, rows);

  EXPECT_EQ(Para(402, "Description"), "PSP MPEG-4 Mini Size (*.mp4)");
  EXPECT_EQ(Para(402, "iVideoBitRate"), "-1");
  EXPECT_EQ(Para(402, "paraVideoBitRate"), "1000");
  EXPECT_EQ(Para(402, "iVideoSize"), "1");  // the profile's default, as shown
  EXPECT_EQ(Para(402, "paraVideoSize"), "480x272");
  EXPECT_EQ(Para(402, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Para(402, "paraLevel"), "30");
  EXPECT_EQ(Para(402, "paraZoom"), "<none>") << "no zoom item, no value";
  EXPECT_EQ(Para(402, "paraVolume"), "128");
  EXPECT_EQ(Para(402, "paraChannel"), "2");
  EXPECT_EQ(Para(402, "paraAudioEncoder"), "libfaac");
  EXPECT_EQ(Store.FormatCode(), 402);
  EXPECT_EQ(Store.FormatName(""), "PSP MPEG-4 Mini Size (*.mp4)");
  EXPECT_FALSE(Store.CategoryCollapsed(4));
  EXPECT_TRUE(Store.CategoryCollapsed(0));
}

TEST_F(ProfileSettingsTest, ABadVolumeItemStopsOkBeforeAnythingIsWritten) {
  TPanelState s = Settings.Load(402);
  s.Volume.Select(2);  // "loud!"
  EXPECT_THROW(Settings.Save(402, "x", s, TProfileList::Build(Store)), std::invalid_argument);
  EXPECT_EQ(StoreText(), "");
}

TEST_F(ProfileSettingsTest, LeavingABoxChecksWithoutWritingAndDefaultSelectsOnly) {
  struct Case {
    bool (TProfileSettings::*Left)(TParamBoxState &);
    TParamBoxState TPanelState::*Box;
    const char *Typed;
    bool Passes;
    const char *BoxAfter;
  };
  const Case cases[] = {
      {&TProfileSettings::VideoSizeLeft, &TPanelState::VideoSize, "As Source", true, "As Source"},
      {&TProfileSettings::VideoSizeLeft, &TPanelState::VideoSize, "640x360", true, "640x360"},
      {&TProfileSettings::VideoSizeLeft, &TPanelState::VideoSize, "321x241", false, "320x240"},
      {&TProfileSettings::VideoSizeLeft, &TPanelState::VideoSize, "640", false, "480x272"},
      {&TProfileSettings::VideoBitRateLeft, &TPanelState::VideoBitRate, "9x", false, "512"},
      {&TProfileSettings::AudioBitRateLeft, &TPanelState::AudioBitRate, "96.5", true, "96.5"},
      {&TProfileSettings::SampleRateLeft, &TPanelState::SampleRate, "44.1", false, "48000"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Typed);
    TPanelState s = Settings.Load(402);
    (s.*c.Box).SetText(c.Typed);
    EXPECT_EQ((Settings.*c.Left)(s.*c.Box), c.Passes);
    EXPECT_EQ((s.*c.Box).Text, c.BoxAfter);
  }
  EXPECT_EQ(Questions.Messages.size(), 4u);

  Store.WriteProfileInteger(402, "iVideoSize", 2);
  TPanelState s = Settings.Load(402);
  Settings.Default(402, s);
  EXPECT_EQ(s.VideoSize.Text, "480x272");
  EXPECT_EQ(s.Volume.Text, "100%");
  EXPECT_EQ(Para(402, "iVideoSize"), "2");
}
