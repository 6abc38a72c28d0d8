// Stream copy and the encoders of today's formats, from the panel's boxes to the job's options.
#include <gtest/gtest.h>

#include <fstream>

#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/JobBuilder.h"
#include "workspace/ParameterPanel.h"
#include "workspace/StreamLevels.h"

namespace {

namespace pk = profilekeys;

const char FormatIni[] =
    "[formatInfo2200]\nFormat=mkv\nFileExt=mkv\nVideoSize=640x480,1920x1080,as source\n"
    "VideoBitRate=1500,4000\nFrameRate=25,29.97\nVideoEncoder=h264,h265,copy\n"
    "AudioBitRate=128,192\nSampleRate=44100,48000\nAudioEncoder=aac,opus,copy\n"
    "Channel=as source,mono 1 channel,stereo 2 channels\nVolume=50%,100%,200%\n"
    "iVideoSize=1\niVideoBitRate=1\niFrameRate=1\niAudioBitRate=1\niSampleRate=1\niChannel=2\n"
    "iVolume=2\n"
    "[formatInfo2304]\nFormat=avi\nFileExt=avi\nVideoEncoder=mpeg-4,copy\nAudioEncoder=mp3,copy\n"
    "[formatInfo2500]\nFormat=mp4\nFileExt=mp4\nVideoSize=1920x1080,3840x2160\n"
    "VideoBitRate=4000\nFrameRate=25,59.94\nVideoEncoder=h265\nAudioEncoder=aac\n"
    "VideoTag=hvc1\nVideoLevel=4.1\nEncoderSpeed=fast\n"
    "[formatInfo2600]\nFormat=mkv\nFileExt=mkv\nVideoEncoder=av1\nAudioEncoder=opus\n"
    "EncoderSpeed=10\n"
    "[formatInfo2700]\nFormat=webm\nFileExt=webm\nVideoEncoder=vp9\nAudioEncoder=opus\n"
    "[formatInfo2800]\nFormat=mp4\nFileExt=mp4\nVideoEncoder=h264\nAudioEncoder=aac\n"
    "VideoProfile=High\n"
    "[formatInfo3100]\nFormat=mp4\nFileExt=mp4\nVideoSize=as source\nVideoEncoder=copy\n"
    "AudioEncoder=copy\nVolume=100%\n";

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  for (const TOptionLine &line : ParseOptionText(text))
    lines.push_back(line.Name + "=" + line.Value);
  return lines;
}

bool Has(const std::vector<std::string> &lines, const std::string &line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class StreamCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(Dir / "f.ini") << FormatIni;
    Store.SetOutPutDir(Dir / "out");
  }
  // The profile's defaults, then the encoder items chosen as the panel chooses them.
  void Choose(int code, const char *video, const char *audio) {
    TPanelState state = Panel.Load(code);
    Panel.Default(code, state);
    for (auto [box, item] : {std::pair{&state.VideoEncoder, video}, {&state.AudioEncoder, audio}}) {
      if (!item) continue;
      const auto it = std::find(box->Items.begin(), box->Items.end(), item);
      ASSERT_NE(it, box->Items.end()) << item;
      box->Select(static_cast<int>(it - box->Items.begin()));
    }
    if (video) Panel.VideoEncoderChanged(code, state.VideoEncoder);
    if (audio) Panel.AudioEncoderChanged(code, state.AudioEncoder);
  }
  TOutputOptions Build(int code, const TSourceInfo &src, const TlvFilesRecord &rec = Full()) {
    TInputOptions input;
    InitInputOptions(input);
    TOutputOptions out;
    InitOutputOptions(out);
    Builder.BuildOutputOptions(code, out, input, src, rec);
    return out;
  }
  static TlvFilesRecord Full() {
    TlvFilesRecord r;
    r.ZoomMode = "full";
    return r;
  }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{Dir / "f.ini"};
  TSettingsStore Store{Dir / "s.ini"};
  TScriptedQuestions Questions;
  TParameterPanel Panel{Catalogue, Store, Questions};
  TJobBuilder Builder{Catalogue, Store, Questions};
  const TSourceInfo Hd{L"/in/a.mkv", "", 1, 1920, 1080, 6000000, 1.0, 25.0};
};

// The boxes a copied stream cannot use are off while its encoder box says copy, with the hint;
// the other group is untouched.
TEST_F(StreamCopyTest, CopyTurnsOffTheBoxesOfItsGroup) {
  struct TCase {
    const char *Video, *Audio;
    bool VideoOff, AudioOff;
  };
  const TCase cases[] = {{"h264", "aac", false, false},
                         {"copy", "aac", true, false},
                         {"h265", "copy", false, true},
                         {"copy", "copy", true, true}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(std::string(c.Video) + " / " + c.Audio);
    Choose(2200, c.Video, c.Audio);
    const TPanelState s = Panel.Load(2200);
    EXPECT_EQ(s.VideoCopy, c.VideoOff);
    EXPECT_EQ(s.AudioCopy, c.AudioOff);
    for (const TParamBoxState *box : {&s.VideoSize, &s.VideoBitRate, &s.FrameRate, &s.Zoom})
      EXPECT_EQ(box->Enabled, !c.VideoOff);
    for (const TParamBoxState *box : {&s.AudioBitRate, &s.SampleRate, &s.Channel, &s.Volume})
      EXPECT_EQ(box->Enabled, !c.AudioOff);
    EXPECT_TRUE(s.VideoEncoder.Enabled && s.AudioEncoder.Enabled);
    EXPECT_FALSE(s.VideoSize.Grey || s.AudioBitRate.Grey);
    EXPECT_EQ(s.CopyHint.find("key frame at or before its start") != std::string::npos, c.VideoOff);
    EXPECT_EQ(s.CopyHint.empty(), !c.VideoOff && !c.AudioOff);
  }
  // Back to an encoder: the boxes come back on in the state the window holds.
  TPanelState s = Panel.Load(2200);
  s.VideoEncoder.Select(0);
  TParameterPanel::ApplyStreamCopy(s);
  EXPECT_TRUE(s.VideoSize.Enabled && s.Zoom.Enabled && !s.VideoCopy);
}

TEST_F(StreamCopyTest, EncoderItemsOfTodaysFormats) {
  const std::pair<const char *, const char *> video[] = {{"h265", "libx265"},
                                                         {"HEVC", "libx265"},
                                                         {"av1", "libsvtav1"},
                                                         {"vp9", "libvpx-vp9"},
                                                         {"copy", "copy"}};
  for (const auto &[shown, written] : video) EXPECT_EQ(VideoEncoderOfDisplay(shown), written);
  EXPECT_EQ(AudioEncoderOfDisplay("opus"), "libopus");
  EXPECT_EQ(AudioEncoderOfDisplay("copy"), "copy");
}

// What the encoder would change is not asked of a copy: no size, rate, bit rate, zoom, crop,
// volume, resampling, and no frame hook; the trim stays.
TEST_F(StreamCopyTest, CopyIgnoresWhatCannotApplyAndKeepsTheTrim) {
  Choose(2200, "copy", "copy");
  TlvFilesRecord rec = Full();
  rec.CropTop = 8;
  rec.Brightness = 300;
  rec.MarkText = "hello";
  rec.TrimStart = 2'000'000;
  rec.TrimLength = 3'000'000;
  const TOutputOptions o = Build(2200, Hd, rec);
  EXPECT_EQ(o.VideoCodec, "copy");
  EXPECT_EQ(o.AudioCodec, "copy");
  EXPECT_EQ(o.SubtitleCodec, "copy");
  EXPECT_TRUE(o.FrameSize.empty() && o.FrameRate.empty() && o.AspectRatio.empty());
  EXPECT_TRUE(o.VideoFilters.empty());
  EXPECT_LE(o.CropTop, 0);
  EXPECT_LE(o.VideoBitrate, 0);
  EXPECT_LE(o.AudioBitrate, 0);
  EXPECT_LT(o.AudioVolume, 0) << "the engine refuses a volume on a copied sound";
  EXPECT_LE(o.AudioSampleRate, 0);
  EXPECT_LE(o.AudioChannels, 0);

  Store.SetFormatCode(2200);
  const TJob job = Builder.BuildJob(L"/in/a.mkv", rec, Hd);
  EXPECT_FALSE(job.Output.HookEnabled) << "a copied picture is never decoded";
  EXPECT_EQ(job.Input.StartTime, 2'000'000);
  EXPECT_EQ(job.Output.Duration, 3'000'000);

  // Only the video copied: the sound keeps its values.
  Choose(2200, "copy", "aac");
  const TOutputOptions v = Build(2200, Hd);
  EXPECT_EQ(v.AudioCodec, "libfaac");
  EXPECT_EQ(v.AudioBitrate, 192000);
  EXPECT_EQ(v.AudioVolume, 512);
  EXPECT_TRUE(v.SubtitleCodec.empty());
}

TEST_F(StreamCopyTest, H265ClaimsItsLevelAndTagAndTakesThePreset) {
  struct TCase {
    const char *Size, *Rate;
    const char *Level;
  };
  // At least the profile's 4.1; more where the frame needs it.
  const TCase cases[] = {{"1920x1080", "25", "level-idc=4.1"},
                         {"3840x2160", "25", "level-idc=5.0"},
                         {"3840x2160", "59.94", "level-idc=5.1"}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(std::string(c.Size) + " at " + c.Rate);
    Choose(2500, nullptr, nullptr);
    Store.WriteProfile(2500, pk::paraVideoSize, c.Size);
    Store.WriteProfile(2500, pk::paraFrameRate, c.Rate);
    const TOutputOptions o = Build(2500, Hd);
    EXPECT_EQ(o.VideoCodec, "libx265");
    EXPECT_EQ(o.VideoTag, "hvc1");
    const auto lines = Lines(o.ExtOptions);
    EXPECT_TRUE(Has(lines, "preset=fast"));
    EXPECT_TRUE(Has(lines, "profile=main"));
    EXPECT_TRUE(Has(lines, "pix_fmt=yuv420p"));
    EXPECT_TRUE(Has(lines, std::string("x265-params=log-level=error:") + c.Level)) << o.ExtOptions;
    EXPECT_TRUE(Has(lines, "movflags=+faststart"));
  }
}

TEST_F(StreamCopyTest, Av1Vp9AndH264HighSettings) {
  Choose(2600, nullptr, nullptr);
  auto lines = Lines(Build(2600, Hd).ExtOptions);
  EXPECT_TRUE(Has(lines, "preset=10") && Has(lines, "pix_fmt=yuv420p"));
  Choose(2700, nullptr, nullptr);
  const TOutputOptions vp9 = Build(2700, Hd);
  EXPECT_EQ(vp9.VideoCodec, "libvpx-vp9");
  EXPECT_EQ(vp9.AudioCodec, "libopus");
  lines = Lines(vp9.ExtOptions);
  EXPECT_TRUE(Has(lines, "cpu-used=5") && Has(lines, "row-mt=1") && Has(lines, "deadline=good"));
  Choose(2800, nullptr, nullptr);
  lines = Lines(Build(2800, Hd).ExtOptions);
  EXPECT_TRUE(Has(lines, "profile=high") && Has(lines, "8x8dct=1"));
}

TEST(HevcLevel, LowestMainTierLevelThatHoldsTheStream) {
  struct TCase {
    int W, H;
    double Fps;
    int64_t Rate;
    int Level;
  };
  const TCase cases[] = {{1280, 720, 30, 0, 93},   {1920, 1080, 30, 0, 120},
                         {1920, 1080, 60, 0, 123}, {1920, 1080, 30, 15'000'000, 123},
                         {3840, 2160, 30, 0, 150}, {3840, 2160, 60, 0, 153},
                         {7680, 4320, 30, 0, 180}, {416, 240, 30, 0, 60}};
  for (const TCase &c : cases)
    EXPECT_EQ(HevcLevel({c.W, c.H, c.Fps, c.Rate, 0}), c.Level)
        << c.W << "x" << c.H << "@" << c.Fps;
}

// A copy the container cannot hold is refused before anything is written, naming the codec and
// the container; one it holds passes.
class CopyRefusalTest : public StreamCopyTest {
 protected:
  void SetUp() override {
    StreamCopyTest::SetUp();
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  }
};

TEST_F(CopyRefusalTest, ACopyTheContainerCannotHoldIsRefused) {
  struct TCase {
    int Code;
    const char *Video, *Audio;
    AVCodecID VideoId, AudioId, SubtitleId;
    const char *Refusal;  // nullptr: accepted
  };
  const TCase cases[] = {
      {3100, "copy", "copy", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, AV_CODEC_ID_NONE, nullptr},
      {3100, "copy", "copy", AV_CODEC_ID_HEVC, AV_CODEC_ID_OPUS, AV_CODEC_ID_MOV_TEXT, nullptr},
      {2304, "copy", "mp3", AV_CODEC_ID_VP9, AV_CODEC_ID_OPUS, AV_CODEC_ID_NONE,
       "the source's video (vp9) cannot be copied into the container avi"},
      {2304, "mpeg-4", "copy", AV_CODEC_ID_VP9, AV_CODEC_ID_OPUS, AV_CODEC_ID_NONE,
       "the source's sound (opus) cannot be copied into the container avi"},
      {3100, "copy", "copy", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, AV_CODEC_ID_SUBRIP,
       "the source's subtitles (subrip) cannot be copied into the container mp4"},
      {3100, "copy", "copy", AV_CODEC_ID_H264, AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_NONE,
       "the source's sound (pcm_s16le) cannot be copied into the container mp4"},
      {2200, "copy", "copy", AV_CODEC_ID_VP9, AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_SUBRIP, nullptr},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(std::to_string(c.Code) + " " + c.Video + " " + c.Audio);
    Choose(c.Code, c.Video, c.Audio);
    TSourceInfo src = Hd;
    src.VideoCodecId = c.VideoId;
    src.AudioCodecId = c.AudioId;
    src.SubtitleCodecId = c.SubtitleId;
    if (!c.Refusal) {
      EXPECT_NO_THROW(Build(c.Code, src));
      continue;
    }
    try {
      Build(c.Code, src);
      ADD_FAILURE() << "not refused";
    } catch (const std::invalid_argument &e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.Refusal, 0), 0u) << e.what();
      const bool subtitles = std::string(c.Refusal).find("subtitles") != std::string::npos;
      EXPECT_NE(std::string(e.what()).find(subtitles ? "choose a container that holds them"
                                                     : "choose an encoder instead of copy"),
                std::string::npos);
    }
  }
}

}  // namespace
