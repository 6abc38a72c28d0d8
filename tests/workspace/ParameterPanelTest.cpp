#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/ParameterPanel.h"

namespace {

// A small format INI: a video profile with H.264 values and an audio-only one.
const char FormatIni[] =
    "[formatInfo401]\nFormat=psp\nFileExt=mp4\nVideoSize=320x240,480x272,as source\n"
    "VideoBitRate=384,512,768\nFrameRate=14.985,29.97\nVideoEncoder=mpeg-4,H264\n"
    "AudioBitRate=64,96,128\nSampleRate=24000,48000\nAudioEncoder=aac,mp3\n"
    "Channel=as source,mono 1 channel,stereo 2 channels\nVolume=25%,50%,75%,100%,125%\n"
    "iVideoSize=1\niVideoBitRate=2\niFrameRate=1\niVideoEncoder=0\niAudioBitRate=1\n"
    "iSampleRate=1\niChannel=2\niVolume=3\niAudioEncoder=0\n"
    "paraGop=0\nparaLevel=30\nparaCoder=0\nparaMaxBitrate=\nparaBitExact=TRUE\n"
    "[formatInfo2406]\nFormat=ac3\nFileExt=ac3\nVideoSize=null\nVideoEncoder=null\n"
    "AudioBitRate=192,448\nSampleRate=48000\nAudioEncoder=ac-3\n"
    "Channel=as source,mono 1 channel,stereo 2 channels\nVolume=50%,100%,200%\n"
    "iAudioBitRate=0\niSampleRate=0\niChannel=2\niVolume=1\n";

class ParameterPanelTest : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(Dir / "f.ini") << FormatIni; }
  std::string Para(int code, const char *key) { return Store.ReadProfile(code, key, "<none>"); }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{Dir / "f.ini"};
  TSettingsStore Store{Dir / "s.ini"};
  TScriptedQuestions Questions;
  TParameterPanel Panel{Catalogue, Store, Questions};
};

TEST(ParameterTables, VideoEncoderTableV) {
  const std::pair<const char *, const char *> cases[] = {
      {"MPEG-4", "mpeg4"}, {"xvid", "libxvid"},  {"H264", "libx264"},
      {"wmv2", "wmv2"},    {"flv", "flv"},       {"mpeg2video", "mpeg2video"},
      {"h263", "h263"},    {"zlib", "zlib"},     {"H265", "libx265"},
      {"HEVC", "libx265"}, {"AV1", "libsvtav1"}, {"VP9", "libvpx-vp9"},
      {"copy", "copy"}};
  for (const auto &[display, written] : cases) EXPECT_EQ(VideoEncoderOfDisplay(display), written);
  EXPECT_FALSE(VideoEncoderOfDisplay("theora").has_value());
  EXPECT_FALSE(VideoEncoderOfDisplay("").has_value());
}

TEST(ParameterTables, AudioEncoderTableA) {
  const std::pair<const char *, const char *> cases[] = {{"mp3", "libmp3lame"},
                                                         {"OGG", "vorbis"},
                                                         {"aac", "libfaac"},
                                                         {"ac-3", "ac3"},
                                                         {"flac", "libflac"},
                                                         {"amr_nb", "libopencore_amrnb"},
                                                         {"pcm_s16", "pcm_s16le"},
                                                         {"pcm_u16", "pcm_u16le"},
                                                         {"pcm_mulaw ", "pcm_mulaw"},
                                                         {"pcm_mulaw", "pcm_mulaw"},
                                                         {"wma1", "wmav1"},
                                                         {"wma2", "wmav2"},
                                                         {"adpcm_ima_wav", "adpcm_ima_wav"},
                                                         {"Opus", "libopus"},
                                                         {"copy", "copy"}};
  for (const auto &[display, written] : cases) EXPECT_EQ(AudioEncoderOfDisplay(display), written);
  EXPECT_FALSE(AudioEncoderOfDisplay("speex").has_value());
}

TEST(ParameterTables, VolumeTableW) {
  const std::pair<const char *, const char *> cases[] = {
      {"25%", "64"},   {"50%", "128"},  {"75%", "192"},  {"100%", "256"},
      {"125%", "320"}, {"150%", "384"}, {"175%", "448"}, {"200%", "512"},
      {"250%", "640"}, {"300%", "768"}, {"350%", "896"}, {"400%", "1024"}};
  for (const auto &[item, volume] : cases) EXPECT_EQ(EngineVolumeOfItem(item), volume);
  EXPECT_FALSE(EngineVolumeOfItem("110%").has_value());
  EXPECT_THROW(EngineVolumeOfItem("loud"), std::invalid_argument);
}

TEST_F(ParameterPanelTest, FrameSizeValidator) {
  struct Case {
    const char *typed;
    const char *stored;  // "<none>" = nothing written
    const char *message;
    const char *boxAfter;
  };
  const Case cases[] = {
      {"321x241", "320x240", "Frame Size must be a multiple of 2.\nThe correct value:320x240",
       "320x240"},
      {"0x480", "2x480", "Frame Size must be a multiple of 2.\nThe correct value:2x480", "2x480"},
      {"640x360", "640x360", "", "640x360"},
      {"AS SOURCE", "<none>", "", "AS SOURCE"},
      {"640x480x2", "<none>", "Frame Size is not a valid value!", "480x272"},
      {"640", "<none>", "Frame Size is not a valid value!", "480x272"},
      {"-320x240", "<none>", "Frame Size is not a valid value!", "480x272"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.typed);
    Store.EraseSection("formatInfo401");
    Questions.Messages.clear();
    TPanelState s = Panel.Load(401);
    s.VideoSize.SetText(c.typed);
    Panel.VideoSizeLeft(401, s.VideoSize);
    EXPECT_EQ(Para(401, "paraVideoSize"), c.stored);
    EXPECT_EQ(Questions.Messages.empty() ? "" : Questions.Messages[0], c.message);
    EXPECT_EQ(s.VideoSize.Text, c.boxAfter);
    if (std::string(c.stored) != "<none>") {  // typed text is no item: index 0 is stored
      EXPECT_EQ(Store.ReadProfileInteger(401, "iVideoSize", -9), 0);
    }
  }
}

TEST_F(ParameterPanelTest, CorrectionMessageHasInputErrorCaption) {
  TPanelState s = Panel.Load(401);
  s.VideoSize.SetText("481x272");
  Panel.VideoSizeLeft(401, s.VideoSize);
  ASSERT_EQ(Questions.Captions.size(), 1u);
  EXPECT_EQ(Questions.Captions[0], "Input Error!");
  EXPECT_EQ(Para(401, "paraVideoSize"), "480x272");
  EXPECT_EQ(Store.ReadProfileInteger(401, "iVideoSize", -9), 0) << "index taken before correction";
}

TEST_F(ParameterPanelTest, EditableBoxesRejectTextThatIsNoNumber) {
  TPanelState s = Panel.Load(401);
  s.VideoBitRate.SetText("fast");
  Panel.VideoBitRateChanged(401, s.VideoBitRate);
  EXPECT_EQ(Para(401, "paraVideoBitRate"), "<none>");
  EXPECT_EQ(s.VideoBitRate.Text, "512");  // item 1
  s.AudioBitRate.SetText("96.5");
  Panel.AudioBitRateChanged(401, s.AudioBitRate);
  EXPECT_EQ(Para(401, "paraAudioBitRate"), "96.5");
  s.SampleRate.SetText("as source");
  Panel.SampleRateChanged(401, s.SampleRate);
  EXPECT_EQ(Para(401, "paraSampleRate"), "as source");
  s.SampleRate.SetText("44.1k");
  Panel.SampleRateChanged(401, s.SampleRate);
  EXPECT_EQ(Questions.Messages,
            (std::vector<std::string>{"Video BitRate is not a valid value!",
                                      "Audio SampleRate is not a valid value!"}));
}

TEST_F(ParameterPanelTest, ChoosingH264CopiesOnlyUsableAdvancedValues) {
  TPanelState s = Panel.Load(401);
  s.VideoEncoder.Select(1);
  Panel.VideoEncoderChanged(401, s.VideoEncoder);
  EXPECT_EQ(Para(401, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Para(401, "iVideoEncoder"), "1");
  EXPECT_EQ(Para(401, "paraGop"), "<none>") << "a GOP of 0 is not copied";
  EXPECT_EQ(Para(401, "paraLevel"), "30");
  EXPECT_EQ(Para(401, "paraCoder"), "0");
  EXPECT_EQ(Para(401, "paraMaxBitrate"), "<none>");
  EXPECT_EQ(Para(401, "paraBitExact"), "TRUE");
}

TEST_F(ParameterPanelTest, LoadShowsGroupsAndStoredChoices) {
  Store.WriteProfile(2406, "paraZoom", "center");
  const TPanelState audio = Panel.Load(2406);
  EXPECT_FALSE(audio.VideoEncoder.Enabled);
  EXPECT_TRUE(audio.VideoSize.Grey && !audio.VideoSize.Enabled);
  EXPECT_TRUE(audio.AudioEncoder.Enabled && !audio.AudioEncoder.Grey);
  EXPECT_EQ(audio.Zoom.ItemIndex, -1) << "a stored \"center\" shows no zoom item";
  EXPECT_EQ(audio.Zoom.Text, "");

  Store.WriteProfile(401, "paraVideoSize", "400x300");
  Store.WriteProfile(401, "paraAudioBitRate", "128");
  Store.WriteProfileInteger(401, "iFrameRate", 1);
  const TPanelState psp = Panel.Load(401);
  EXPECT_EQ(psp.VideoSize.ItemIndex, -1);
  EXPECT_EQ(psp.VideoSize.Text, "400x300");
  EXPECT_EQ(psp.AudioBitRate.ItemIndex, 2);
  EXPECT_EQ(psp.FrameRate.Text, "29.97");
  EXPECT_EQ(psp.Zoom.Text, "Full Screen");
  EXPECT_EQ(psp.VideoBitRate.Text, "768");  // reader's default, one of the items
}

TEST_F(ParameterPanelTest, DefaultWritesTheProfilesDefaults) {
  TPanelState s = Panel.Load(401);
  Panel.Default(401, s);
  EXPECT_EQ(Para(401, "paraVideoEncoder"), "mpeg4");
  EXPECT_EQ(Para(401, "paraVideoSize"), "480x272");
  EXPECT_EQ(Para(401, "iVideoSize"), "1");
  EXPECT_EQ(Para(401, "paraFrameRate"), "29.97");
  EXPECT_EQ(Para(401, "paraVideoBitRate"), "768");
  EXPECT_EQ(Para(401, "paraZoom"), "full");
  EXPECT_EQ(Para(401, "paraAudioEncoder"), "libfaac");
  EXPECT_EQ(Para(401, "paraAudioBitRate"), "96");
  EXPECT_EQ(Para(401, "paraSampleRate"), "48000");
  EXPECT_EQ(Para(401, "paraChannel"), "2");
  EXPECT_EQ(Para(401, "iVolume"), "3") << "iVolume 3 selects the fourth item";
  EXPECT_EQ(Para(401, "paraVolume"), "256");
  EXPECT_TRUE(Questions.Messages.empty());
}

TEST_F(ParameterPanelTest, SeedingAnAudioOnlyProfileLeavesItAudioOnly) {
  EXPECT_TRUE(Panel.EnsureSeeded(2406));
  EXPECT_FALSE(Panel.EnsureSeeded(2406));
  EXPECT_EQ(Para(2406, "paraVideoEncoder"), "<none>");
  EXPECT_EQ(Para(2406, "paraVideoSize"), "<none>");
  EXPECT_EQ(Para(2406, "paraAudioEncoder"), "ac3");
  EXPECT_EQ(Para(2406, "paraAudioBitRate"), "192");
  EXPECT_EQ(Para(2406, "paraVolume"), "256");
  EXPECT_TRUE(Questions.Messages.empty()) << "boxes the profile does not offer are not checked";

  // A profile the format INI does not know seeds without questions or errors too.
  EXPECT_NO_THROW(Panel.EnsureSeeded(2300));
  EXPECT_TRUE(Questions.Messages.empty());
}

// A hand-damaged volume list in the format INI: seeding stores every other default and reports
// the profile and the key instead of a bare number-parsing error.
TEST_F(ParameterPanelTest, DamagedVolumeDefaultNamesProfileAndKey) {
  struct TCase {
    const char *Volume, *Index, *Expected;
  };
  const TCase cases[] = {
      {"25%,Rate=1", "3", "key iVolume: 3 selects no item of Volume=25%,Rate=1"},
      {"25%,Rate=1", "1", "key Volume: the item \"Rate=1\" is no percentage ('Rate=' is not"},
      {"25%,,50%", "1", "key Volume: the item \"\" is no percentage"},
  };
  for (const TCase &c : cases) {
    fixtures::TTempDir dir;
    std::ofstream(dir / "f.ini") << "[formatInfo401]\nVideoEncoder=mpeg-4\nVideoSize=320x240\n"
                                 << "AudioEncoder=aac\nVolume=" << c.Volume
                                 << "\niVolume=" << c.Index << "\n";
    TFormatCatalogue catalogue{dir / "f.ini"};
    TSettingsStore store{dir / "s.ini"};
    TParameterPanel panel{catalogue, store, Questions};
    try {
      panel.EnsureSeeded(401);
      ADD_FAILURE() << c.Volume << " was taken";
    } catch (const EProfileValueError &e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(dir / "f.ini" + ": profile 401, section [formatInfo401], " + c.Expected),
                std::string::npos)
          << text;
    }
    EXPECT_EQ(store.ReadProfile(401, "paraVideoEncoder", ""), "mpeg4") << "the rest is seeded";
    EXPECT_EQ(store.ReadProfile(401, "paraAudioEncoder", ""), "libfaac");
    EXPECT_EQ(store.ReadProfile(401, "paraVolume", "<none>"), "<none>");
  }
}

TEST(ParameterKeys, EditableBoxKeyFilters) {
  EXPECT_TRUE(TParameterPanel::FrameSizeKeyAccepted("", 'q'));
  EXPECT_TRUE(TParameterPanel::FrameSizeKeyAccepted("320", 'x'));
  EXPECT_FALSE(TParameterPanel::FrameSizeKeyAccepted("320x", 'x'));
  EXPECT_TRUE(TParameterPanel::FrameSizeKeyAccepted("320x", '2'));
  EXPECT_TRUE(TParameterPanel::FrameSizeKeyAccepted("320x", '\b'));
  EXPECT_FALSE(TParameterPanel::FrameSizeKeyAccepted("320", '-'));
  EXPECT_TRUE(TParameterPanel::NumericKeyAccepted('7'));
  EXPECT_FALSE(TParameterPanel::NumericKeyAccepted('.'));
}

}  // namespace
