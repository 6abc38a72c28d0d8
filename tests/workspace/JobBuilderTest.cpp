#include <gtest/gtest.h>

#include <fstream>

#include "services/AVProbe.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/JobBuilder.h"

namespace {

const char FormatIni[] =
    "[formatInfo401]\nFormat=psp\nFileExt=mp4\nVideoSize=320x240,480x272\n"
    "VideoBitRate=384,512,768\nFrameRate=14.985,29.97\nVideoEncoder=mpeg-4,h264\n"
    "AudioBitRate=64,96\nSampleRate=24000,48000\nAudioEncoder=aac\n"
    "Channel=as source,mono 1 channel,stereo 2 channels\nVolume=50%,100%\n"
    "iVideoSize=0\niVideoBitRate=1\niFrameRate=1\niAudioBitRate=1\niSampleRate=1\niChannel=2\n"
    "iVolume=1\n"
    "[formatInfo2406]\nFormat=ac3\nFileExt=ac3\nAudioEncoder=ac-3\n"
    "[formatInfo2301]\nFormat=pal-dvd\nFileExt=mpg\n"
    "[formatInfo2304]\nFormat=avi\nFileExt=avi\nVideoTag=XVID\n"
    "[formatInfo1400]\nFormat=3gp\nFileExt=3gp\n"
    "[formatInfo1401]\nFormat=3gp\nFileExt=3gp\nRateLimit=1\n"
    "[formatInfo2309]\nFormat=dv\nFileExt=dv\nTVAspect=1\n"
    "[formatInfo2310]\nFormat=dvd\nFileExt=mpg\nTVAspect=1\n";

class JobBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(Dir / "f.ini") << FormatIni;
    Store.SetOutPutDir(Dir / "out");
  }
  // Writes a profile section of the settings store from key=value pairs.
  void Profile(int code, std::initializer_list<std::pair<const char *, const char *>> values) {
    Store.WriteString(ProfileSection(code), "Description", "test");
    for (const auto &[key, value] : values) Store.WriteProfile(code, key, value);
  }
  TOutputOptions Build(int code, const TSourceInfo &src, const TlvFilesRecord &rec = {}) {
    InitInputOptions(Input);
    TOutputOptions out;
    InitOutputOptions(out);
    Builder.BuildOutputOptions(code, out, Input, src, rec);
    return out;
  }
  static TlvFilesRecord Zoom(const char *mode) {
    TlvFilesRecord r;
    r.ZoomMode = mode;
    return r;
  }

  fixtures::TTempDir Dir;
  TFormatCatalogue Catalogue{Dir / "f.ini"};
  TSettingsStore Store{Dir / "s.ini"};
  TScriptedQuestions Questions;
  TJobBuilder Builder{Catalogue, Store, Questions};
  TInputOptions Input;
  const TSourceInfo Vga{L"/in/a.avi", "", 1, 640, 480, 900000};
};

TEST(Zoom, LetterboxRows) {
  struct Case {
    int w, h, sw, sh;
    const char *size, *aspect, *filter;
  };
  const Case cases[] = {
      {320, 240, 640, 360, "320x180", "320:180", "pad=320:240:0:30"},
      {320, 240, 480, 480, "240x240", "240:240", "pad=320:240:40:0"},
      {320, 240, 320, 240, "320x240", "320:240", "pad=320:240:0:0"},
      {640, 480, 320, 180, "640x360", "640:360", "pad=640:480:0:60"},   // both larger, wider
      {640, 480, 200, 300, "320x480", "320:480", "pad=640:480:160:0"},  // both larger, taller
      {320, 240, 640, 200, "320x100", "320:100", "pad=320:240:0:70"},   // case 1
      // The bars share an odd pair of lines unevenly: the picture keeps 16:9 (not 160x92).
      {160, 128, 1280, 720, "160x90", "160:90", "pad=160:128:0:18"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh));
    const TZoomResult z = ZoomLetterbox(c.w, c.h, TSourcePicture::Square(c.sw, c.sh), {});
    EXPECT_EQ(z.FrameSize, c.size);
    EXPECT_EQ(z.AspectRatio, c.aspect);
    EXPECT_EQ(z.Filter, c.filter);
  }
}

TEST(Zoom, LetterboxWithCropCropsThenScalesThenPads) {
  TlvFilesRecord r;
  r.CropLeft = 10, r.CropTop = 4, r.CropRight = 20, r.CropBottom = 6;
  const TZoomResult z = ZoomLetterbox(320, 240, TSourcePicture::Square(640, 360), r);
  EXPECT_EQ(z.FrameSize, "");
  EXPECT_EQ(z.AspectRatio, "320:180");
  EXPECT_EQ(z.Filter, "crop=610:350:10:4,scale=320:180,pad=320:240:0:30");
}

TEST(Zoom, PanAndScanCutsToTheFramesShape) {
  struct Case {
    int sw, sh, top, bottom, left, right;
  };
  const Case cases[] = {{640, 360, 0, 0, 80, 80}, {480, 480, 60, 60, 0, 0}, {640, 480, 0, 0, 0, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh));
    const TZoomResult z = ZoomPanScan(320, 240, TSourcePicture::Square(c.sw, c.sh), {});
    EXPECT_EQ(z.CropTop, c.top);
    EXPECT_EQ(z.CropBottom, c.bottom);
    EXPECT_EQ(z.CropLeft, c.left);
    EXPECT_EQ(z.CropRight, c.right);
    EXPECT_EQ(z.FrameSize, "320x240");
    EXPECT_EQ(z.AspectRatio, "320:240");
    EXPECT_EQ(z.Filter, "");
  }
  TlvFilesRecord r;  // the row's own crop is kept and counted in
  r.CropTop = 20, r.CropBottom = 20;
  const TZoomResult z = ZoomPanScan(320, 240, TSourcePicture::Square(640, 360), r);
  EXPECT_EQ(z.CropTop, 20);
  EXPECT_EQ(z.CropLeft, 106);  // 640 x 320 is left: (640 - 320 * 4 / 3) / 2, even
  EXPECT_EQ(z.CropRight, 106);
}

TEST(Zoom, CentringPadsAtSourceSizeThenScales) {
  struct Case {
    int sw, sh;
    const char *filter;
  };
  const Case cases[] = {{640, 360, "pad=640:480:0:60:black,scale=320:240"},
                        {480, 480, "pad=640:480:80:0:black,scale=320:240"},
                        {640, 480, "scale=320:240"},
                        {160, 90, "pad=160:120:0:14:black,scale=320:240"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.filter);
    const TZoomResult z = ZoomCenter(320, 240, TSourcePicture::Square(c.sw, c.sh));
    EXPECT_EQ(z.Filter, c.filter);
    EXPECT_EQ(z.FrameSize, "");
    EXPECT_EQ(z.AspectRatio, "320:240");
  }
}

// Bars and cuts follow the shapes as shown: an anamorphic source, an anamorphic frame, or both.
TEST(Zoom, ShapesAsShown) {
  const TSourcePicture pal43{720, 576, 768, 576};    // 4:3 PAL, SAR 16:15
  const TSourcePicture pal169{720, 576, 1024, 576};  // 16:9 PAL, SAR 64:45
  const TSourcePicture wide = TSourcePicture::Square(640, 360);
  const TSourcePicture vga = TSourcePicture::Square(640, 480);
  const TRatio square, tvWide{64, 45};
  struct Case {
    const char *what;
    int w, h;
    TSourcePicture src;
    TRatio sar;
    const char *size, *aspect, *filter;
  };
  const Case cases[] = {
      {"4:3 anamorphic fills 4:3", 320, 240, pal43, square, "320x240", "320:240",
       "pad=320:240:0:0"},
      {"16:9 anamorphic gets bars", 320, 240, pal169, square, "320x180", "320:180",
       "pad=320:240:0:30"},
      {"16:9 fills a 16:9 TV frame", 720, 576, wide, tvWide, "720x576", "16:9", "pad=720:576:0:0"},
      {"4:3 in a 16:9 TV frame", 720, 576, vga, tvWide, "540x576", "4:3", "pad=720:576:90:0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const TZoomResult z = ZoomLetterbox(c.w, c.h, c.src, {}, c.sar);
    EXPECT_EQ(z.FrameSize, c.size);
    EXPECT_EQ(z.AspectRatio, c.aspect);
    EXPECT_EQ(z.Filter, c.filter);
  }
  // Pan and scan cuts a 16:9 anamorphic picture to 4:3: 540 of its 720 columns stay.
  const TZoomResult pan = ZoomPanScan(320, 240, pal169, {});
  EXPECT_EQ(pan.CropLeft, 90);
  EXPECT_EQ(pan.CropRight, 90);
  EXPECT_EQ(pan.CropTop, 0);
  // Centring a 4:3 anamorphic picture in a 4:3 frame needs no bars.
  EXPECT_EQ(ZoomCenter(320, 240, pal43).Filter, "scale=320:240");
  EXPECT_EQ(ZoomCenter(320, 240, pal169).Filter, "pad=720:768:0:96:black,scale=320:240");
}

TEST(Zoom, SourcePictureTurnsWithTheDisplayRotation) {
  struct Case {
    int w, h;
    double sar;
    int rotation;
    TSourcePicture want;
  };
  const Case cases[] = {
      {1920, 1080, 0, 0, {1920, 1080, 1920, 1080}},
      {1920, 1080, 1, 90, {1080, 1920, 1080, 1920}},
      {1440, 1080, 4.0 / 3, 270, {1080, 1440, 1080, 1920}},
      {720, 576, 16.0 / 15, 180, {720, 576, 768, 576}},
      {720, 576, 16.0 / 15, -90, {576, 720, 576, 768}},
  };
  for (const Case &c : cases) {
    TSourceInfo src{L"/in/a.mp4", "", 1, c.w, c.h, 0, c.sar, 25, c.rotation};
    const TSourcePicture p = SourcePicture(src);
    SCOPED_TRACE(std::to_string(c.rotation));
    EXPECT_EQ(p.Width, c.want.Width);
    EXPECT_EQ(p.Height, c.want.Height);
    EXPECT_DOUBLE_EQ(p.DisplayWidth, c.want.DisplayWidth);
    EXPECT_DOUBLE_EQ(p.DisplayHeight, c.want.DisplayHeight);
  }
}

TEST(Zoom, TvFramesShowFourThreeOrSixteenNine) {
  TFormatInfo tv, other;
  tv.TVAspect = true;
  const TSourcePicture wide = TSourcePicture::Square(1920, 1080);
  const TSourcePicture pal43{720, 576, 768, 576};
  const TSourcePicture justUnder{155, 100, 155, 100};
  struct Case {
    const TFormatInfo &f;
    int w, h;
    TSourcePicture src;
    int num, den;
  };
  const Case cases[] = {
      {tv, 720, 576, wide, 64, 45},      {tv, 720, 576, pal43, 16, 15},
      {tv, 720, 480, wide, 32, 27},      {tv, 720, 480, pal43, 8, 9},
      {tv, 704, 576, pal43, 12, 11},     {tv, 704, 480, wide, 40, 33},
      {tv, 720, 576, justUnder, 16, 15}, {tv, 640, 480, wide, 1, 1},
      {other, 720, 576, wide, 1, 1},
  };
  for (const Case &c : cases) {
    const TRatio sar = FrameSampleAspect(c.f, c.w, c.h, c.src);
    EXPECT_EQ(sar.Num, c.num) << c.w << "x" << c.h;
    EXPECT_EQ(sar.Den, c.den) << c.w << "x" << c.h;
  }
}

TEST(Zoom, UnknownSourceSizeGivesNoFilter) {
  const TZoomResult z = ZoomLetterbox(320, 240, {}, {});
  EXPECT_EQ(z.Filter, "");
  EXPECT_EQ(z.FrameSize, "320x240");
  EXPECT_EQ(ZoomCenter(320, 240, {}).Filter, "");
}

TEST_F(JobBuilderTest, VideoProfileValues) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"},
                {"paraVideoSize", "320x240"},
                {"paraVideoBitRate", "512"},
                {"paraFrameRate", "29.97"},
                {"paraAudioEncoder", "libfaac"},
                {"paraAudioBitRate", "96"},
                {"paraSampleRate", "48000"},
                {"paraChannel", "2"},
                {"paraVolume", "256"}});
  const TOutputOptions o = Build(401, {L"/in/w.mp4", "", 1, 640, 360, 0}, Zoom("lbox"));
  EXPECT_EQ(o.VideoCodec, "mpeg4");
  EXPECT_EQ(o.VideoPreset, "");
  EXPECT_EQ(o.FileFormat, "psp");
  EXPECT_EQ(o.VideoBitrate, 512000);
  EXPECT_EQ(o.FrameRate, "29.97");
  EXPECT_EQ(o.FrameSize, "320x180");
  EXPECT_EQ(o.AspectRatio, "320:180");
  EXPECT_EQ(o.VideoFilters, "pad=320:240:0:30,setsar=1/1");
  EXPECT_EQ(o.AudioCodec, "libfaac");
  EXPECT_EQ(o.AudioBitrate, 96000);
  EXPECT_EQ(o.AudioSampleRate, 48000);
  EXPECT_EQ(o.AudioChannels, 2);
  EXPECT_EQ(o.AudioVolume, -1);
  EXPECT_EQ(o.CropTop, 0);
  EXPECT_FALSE(o.DisableVideo || o.DisableAudio);
  EXPECT_EQ(Input.ExtOptions, "");
}

TEST_F(JobBuilderTest, H264PresetFollowsTheTargetKind) {
  const std::pair<int, const char *> cases[] = {{401, "libx264-psp"}, {2304, "libx264-mp4"}};
  for (const auto &[code, preset] : cases) {
    Profile(code, {{"paraVideoEncoder", "libx264"}, {"paraVideoSize", "320x240"}});
    const TOutputOptions o = Build(code, Vga, Zoom("full"));
    EXPECT_EQ(o.VideoCodec, "libx264");
    EXPECT_EQ(o.VideoPreset, preset);
    EXPECT_EQ(o.VideoTag, "") << "the tag is for MPEG-4 Part 2 only";
  }
  Profile(2304, {{"paraVideoEncoder", "libxvid"}});
  EXPECT_EQ(Build(2304, Vga, Zoom("full")).VideoTag, "XVID");
  Profile(2304, {{"paraVideoEncoder", "mpeg2video"}});
  EXPECT_EQ(Build(2304, Vga, Zoom("full")).TargetType, 3);
  Profile(2304, {{"paraVideoEncoder", "flv"}});
  EXPECT_EQ(Build(2304, Vga, Zoom("full")).VideoCodec, "") << "container's own codec";
}

TEST_F(JobBuilderTest, H263SizesSnapToItsPictureFormats) {
  const std::pair<const char *, const char *> cases[] = {
      {"400x300", "704x576"}, {"176x144", "176x144"}, {"300x200", "352x288"},
      {"800x600", "704x576"}, {"160x120", "176x144"}, {"100x80", "128x96"}};
  for (const auto &[asked, used] : cases) {
    Profile(1400, {{"paraVideoEncoder", "h263"}, {"paraVideoSize", asked}});
    EXPECT_EQ(Build(1400, Vga, Zoom("full")).FrameSize, used) << asked;
  }
}

TEST_F(JobBuilderTest, AudioOnlyProfile) {
  Profile(2406, {{"paraVolume", "512"}});
  const TOutputOptions o = Build(2406, Vga, Zoom("lbox"));
  EXPECT_EQ(Input.ExtOptions, "vn=1");
  EXPECT_TRUE(o.DisableVideo);
  EXPECT_TRUE(o.DisableSubtitle);
  EXPECT_EQ(o.AudioCodec, "libfaac");
  EXPECT_EQ(o.AudioChannels, 2);
  EXPECT_EQ(o.AudioSampleRate, 44100);
  EXPECT_EQ(o.AudioBitrate, 128000);
  EXPECT_EQ(o.AudioVolume, 512);
  EXPECT_EQ(o.VideoFilters, "");
  EXPECT_EQ(o.FrameSize, "");
}

TEST_F(JobBuilderTest, VorbisGetsTheAskedRateAsItsFloor) {
  Profile(2406, {{"paraAudioEncoder", "vorbis"}, {"paraAudioBitRate", "160"}});
  const TOutputOptions o = Build(2406, Vga, Zoom("full"));
  EXPECT_EQ(o.AudioBitrate, 160000);
  EXPECT_EQ(o.ExtOptions, "aminrate=160000");
  Profile(2406, {{"paraAudioEncoder", "libmp3lame"}});
  EXPECT_EQ(Build(2406, Vga, Zoom("full")).ExtOptions, "");
}

TEST_F(JobBuilderTest, SourceWithoutVideo) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"},
                {"paraVideoSize", "320x240"},
                {"paraAudioEncoder", "libmp3lame"},
                {"paraChannel", "1"}});
  const TOutputOptions o = Build(401, {L"/in/a.mp3", "", 0, 0, 0, 0}, Zoom("lbox"));
  EXPECT_TRUE(o.DisableVideo);
  EXPECT_EQ(o.VideoFilters, "");
  EXPECT_EQ(o.FrameSize, "");
  EXPECT_EQ(o.FileFormat, "");
  EXPECT_EQ(o.AudioCodec, "libmp3lame");
  EXPECT_EQ(o.AudioChannels, 1);
  EXPECT_TRUE(Questions.Asked.empty());
}

TEST_F(JobBuilderTest, AsSourceSizeWithLetterbox) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"},
                {"paraVideoSize", "as source"},
                {"paraVideoBitRate", "as source"}});
  const TOutputOptions o = Build(401, {L"/in/b.mkv", "", 1, 720, 400, 2500000}, Zoom("lbox"));
  EXPECT_EQ(o.FrameSize, "720x400");
  EXPECT_EQ(o.VideoFilters, "pad=720:400:0:0,setsar=1/1");
  EXPECT_EQ(o.VideoBitrate, 2500000) << "the source's bit rate";
  // A phone clip stored 640x360 and shown turned a quarter is 360x640 as the engine scales it.
  TSourceInfo turned{L"/in/phone.mp4", "", 1, 640, 360, 1000000};
  turned.Rotation = 90;
  EXPECT_EQ(Build(401, turned, Zoom("lbox")).FrameSize, "360x640");
}

TEST_F(JobBuilderTest, SizeQuestionWhenTheStoredSizeIsUnusable) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"}});  // paraVideoSize absent: "null"
  EXPECT_EQ(Build(401, Vga, Zoom("full")).FrameSize, "320x240");
  ASSERT_EQ(Questions.Asked.size(), 1u);
  EXPECT_EQ(Questions.Asked[0], "Error output Video Size.Use the default size 320x240?");
  EXPECT_EQ(Questions.Captions[0], "Warning");
  Questions.Answer = false;
  EXPECT_EQ(Build(401, Vga, Zoom("full")).FrameSize, "640x480") << "No: as source";
}

TEST_F(JobBuilderTest, PalDvdAspect) {
  const std::tuple<const char *, const char *, const char *> cases[] = {
      {"720x576", "orig", "16:9"}, {"720x480", "orig", "4:3"}, {"720x576", "full", "720:576"}};
  for (const auto &[size, zoom, aspect] : cases) {
    Profile(2301, {{"paraVideoEncoder", "mpeg2video"}, {"paraVideoSize", size}});
    const TOutputOptions o = Build(2301, Vga, Zoom(zoom));
    EXPECT_EQ(o.TargetType, 3);
    EXPECT_EQ(o.TargetNorm, 1);
    EXPECT_EQ(o.AspectRatio, aspect) << size << " " << zoom;
  }
}

TEST_F(JobBuilderTest, RotatedSourceIsLetterboxedUpright) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"}, {"paraVideoSize", "320x240"}});
  const TSourceInfo portrait{L"/in/p.mp4", "", 1, 1280, 720, 0, 1.0, 30, 90};
  const TOutputOptions o = Build(401, portrait, Zoom("lbox"));
  EXPECT_EQ(o.FrameSize, "136x240");
  EXPECT_EQ(o.VideoFilters, "pad=320:240:92:0,setsar=1/1");
}

TEST_F(JobBuilderTest, TvTargetsWriteTheirDisplayAspect) {
  // A 16:9 source on DV, in every zoom mode: 16:9 anamorphic pixels over the whole frame.
  for (const char *zoom : {"full", "lbox", "pan", "center"}) {
    Profile(2309, {{"paraVideoEncoder", "dvvideo"}, {"paraVideoSize", "720x576"}});
    const TOutputOptions o =
        Build(2309, {L"/in/w.mp4", "", 1, 1920, 1080, 0, 1.0, 29.97}, Zoom(zoom));
    EXPECT_EQ(o.AspectRatio, "16:9") << zoom;
    EXPECT_NE(o.VideoFilters.find("setsar=64/45"), std::string::npos) << zoom;
  }
  // A 4:3 PAL anamorphic source on a DVD-like MPEG-2 stream keeps 4:3 and no bars; the group of
  // pictures follows the frame rate.
  const std::pair<const char *, int> rates[] = {{"25", 15}, {"29.97", 18}, {"23.976", 18}};
  for (const auto &[rate, gop] : rates) {
    Profile(2310, {{"paraVideoEncoder", "mpeg2video"},
                   {"paraVideoSize", "720x576"},
                   {"paraFrameRate", rate}});
    const TOutputOptions o =
        Build(2310, {L"/in/p.mpg", "", 1, 720, 576, 0, 16.0 / 15, 25}, Zoom("lbox"));
    EXPECT_EQ(o.AspectRatio, "4:3");
    EXPECT_EQ(o.VideoFilters, "pad=720:576:0:0,setsar=16/15");
    EXPECT_EQ(o.GOPSize, gop) << rate;
  }
}

TEST_F(JobBuilderTest, H264AdvancedValuesAndALevelThatFits) {
  // The profile's values reach the encoder; its level is raised where the frame needs more.
  Profile(2304, {{"paraVideoEncoder", "libx264"},
                 {"paraVideoSize", "640x480"},
                 {"paraVideoBitRate", "768"},
                 {"paraFrameRate", "29.97"},
                 {"paraLevel", "13"},
                 {"paraMaxBitrate", "768"},
                 {"paraBufferSize", "1536"},
                 {"paraGop", "250"},
                 {"paraCoder", "0"},
                 {"paraBitExact", "True"}});
  TOutputOptions o = Build(2304, Vga, Zoom("full"));
  EXPECT_EQ(o.VideoMaxRate, 768000);
  EXPECT_EQ(o.VideoBufSize, 1536000);
  EXPECT_EQ(o.GOPSize, 250);
  EXPECT_EQ(o.ExtOptions, "coder=0\nflags=+bitexact\nlevel=30");

  // A higher level the profile asks for stays; without values the level is what the frame
  // needs (1080p at 29.97 fps: 4.0).
  Store.EraseSection(ProfileSection(2304));
  Profile(2304,
          {{"paraVideoEncoder", "libx264"}, {"paraVideoSize", "1920x1080"}, {"paraLevel", "41"}});
  EXPECT_EQ(Build(2304, Vga, Zoom("full")).ExtOptions, "level=41");
  Store.EraseSection(ProfileSection(2304));
  Profile(2304, {{"paraVideoEncoder", "libx264"}, {"paraVideoSize", "1920x1080"}});
  o = Build(2304, Vga, Zoom("full"));
  EXPECT_EQ(o.ExtOptions, "level=40");
  EXPECT_EQ(o.VideoMaxRate, -1);
  EXPECT_EQ(o.GOPSize, -1);
}

TEST_F(JobBuilderTest, DeviceRateLimitAndMpeg4Level) {
  Profile(1401, {{"paraVideoEncoder", "mpeg4"},
                 {"paraVideoSize", "176x144"},
                 {"paraVideoBitRate", "192"},
                 {"paraFrameRate", "15"}});
  const TOutputOptions o = Build(1401, Vga, Zoom("full"));
  EXPECT_EQ(o.VideoBitrate, 192000);
  EXPECT_EQ(o.VideoMaxRate, 192000);
  EXPECT_EQ(o.VideoBufSize, 48000) << "a quarter of a second";
  // The encoder starts with a quarter of the buffer, so a short clip stays under the ceiling.
  EXPECT_EQ(o.ExtOptions, "movflags=+faststart\nlevel=3\nrc_init_occupancy=12000")
      << "192 kbit/s is beyond L0b and L2";
  // Without a device limit only the level is set: CIF at 30 fps is Simple Profile level 3.
  Profile(2304, {{"paraVideoEncoder", "mpeg4"},
                 {"paraVideoSize", "352x288"},
                 {"paraVideoBitRate", "300"},
                 {"paraFrameRate", "29.97"}});
  const TOutputOptions cif = Build(2304, Vga, Zoom("full"));
  EXPECT_EQ(cif.VideoMaxRate, -1);
  EXPECT_EQ(cif.ExtOptions, "level=3");
}

TEST_F(JobBuilderTest, Mp4FamilyIndexAtTheStart) {
  const std::pair<int, bool> cases[] = {{401, true}, {1400, true}, {2304, false}, {2406, false}};
  for (const auto &[code, faststart] : cases) {
    Profile(code, {{"paraVideoEncoder", "mpeg4"}, {"paraVideoSize", "320x240"}});
    const std::string text = Build(code, Vga, Zoom("full")).ExtOptions;
    EXPECT_EQ(text.find("movflags=+faststart") != std::string::npos, faststart) << code;
  }
}

TEST_F(JobBuilderTest, FullZoomTakesTheRowsCrop) {
  Profile(401, {{"paraVideoEncoder", "mpeg4"}, {"paraVideoSize", "320x240"}});
  TlvFilesRecord r = Zoom("full");
  r.CropTop = 10;
  const TOutputOptions o = Build(401, Vga, r);
  EXPECT_EQ(o.CropTop, 10);
  EXPECT_EQ(o.CropBottom, 0);
  EXPECT_EQ(o.CropLeft, 0);
  EXPECT_EQ(o.CropRight, 0);
  EXPECT_EQ(o.VideoFilters, "setsar=1/1") << "stretched to the frame, with square pixels";
  EXPECT_EQ(o.FrameSize, "320x240");
}

TEST_F(JobBuilderTest, UnusableVolumeStopsTheBatch) {
  Profile(401,
          {{"paraVideoEncoder", "mpeg4"}, {"paraVideoSize", "320x240"}, {"paraVolume", "loud"}});
  try {
    Build(401, Vga, Zoom("full"));
    ADD_FAILURE() << "a volume of 'loud' was taken";
  } catch (const EJobError &e) {
    EXPECT_NE(std::string(e.what()).find(
                  "profile 401, section [formatInfo401], key paraVolume: 'loud' is not a valid"),
              std::string::npos)
        << e.what();
  }
}

TEST_F(JobBuilderTest, TrimStartAndLength) {
  Store.SetFormatCode(401);
  TlvFilesRecord trimmed;
  trimmed.TrimStart = 10'000'000;
  trimmed.TrimLength = 20'000'000;
  Builder.BeginBatch();
  const TJob job = Builder.BuildJob(L"/in/a.avi", trimmed, Vga);
  EXPECT_EQ(job.Input.StartTime, 10'000'000);
  EXPECT_EQ(job.Output.Duration, 20'000'000);
  EXPECT_EQ(job.Input.FileName, L"/in/a.avi");

  TlvFilesRecord untrimmed;
  const TJob whole = Builder.BuildJob(L"/in/a.avi", untrimmed, Vga);
  EXPECT_EQ(whole.Input.StartTime, 0);
  EXPECT_EQ(whole.Output.Duration, NoTimestamp);
}

// A start at or past the end of a source of known length is refused; an unknown length lets the
// conversion find out.
TEST_F(JobBuilderTest, AStartAtOrPastTheSourcesEndIsRefused) {
  Store.SetFormatCode(401);
  struct {
    int64_t Start, Duration;
    bool Refused;
  } const cases[] = {{1'999'999, 2'000'000, false},
                     {2'000'000, 2'000'000, true},
                     {90'000'000, 2'000'000, true},
                     {90'000'000, 0, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.Start) + " of " + std::to_string(c.Duration));
    TlvFilesRecord r;
    r.TrimStart = c.Start;
    TSourceInfo source = Vga;
    source.Duration = c.Duration;
    Builder.BeginBatch();
    if (!c.Refused) {
      EXPECT_NO_THROW(Builder.BuildJob(L"/in/a.avi", r, source));
      continue;
    }
    try {
      Builder.BuildJob(L"/in/a.avi", r, source);
      ADD_FAILURE() << "not refused";
    } catch (const std::invalid_argument &e) {
      EXPECT_EQ(std::string(e.what()), "the start " + FormatMediaTime(c.Start) +
                                           " is beyond the end of the source (duration "
                                           "00:00:02.000)");
    }
  }
}

TEST_F(JobBuilderTest, FirstUseSeedsTheProfileAndNamesTheDestination) {
  Store.SetFormatCode(401);
  std::filesystem::create_directories(Dir / "out");
  std::ofstream(Dir / "out/a_(new).mp4") << "earlier result";
  TlvFilesRecord r;
  r.ZoomMode = "pan";  // replaced by the profile's zoom
  Builder.BeginBatch();
  const TJob job = Builder.BuildJob(L"/in/a.avi", r, Vga);
  EXPECT_EQ(job.Destination, Dir / "out/a_(new_1).mp4");
  EXPECT_EQ(WideToUTF8(job.Output.FileName), Dir / "out/a_(new_1).mp4");
  EXPECT_EQ(r.ZoomMode, "full");
  EXPECT_EQ(job.Output.VideoCodec, "mpeg4") << "seeded from the format INI, not audio-only";
  EXPECT_EQ(job.Output.FrameSize, "320x240");
  EXPECT_EQ(job.Output.VideoBitrate, 512000);
  EXPECT_EQ(job.Output.AudioSampleRate, 48000);
  EXPECT_TRUE(Questions.Asked.empty());
  // A second row of the same source in the same batch gets a name of its own.
  EXPECT_EQ(Builder.BuildJob(L"/in/a.avi", r, Vga).Destination, Dir / "out/a_(new_2).mp4");
}

// A section that lost keys (hand-edited: only the zoom left) converts as the profile: the
// missing keys come from the profile's defaults, the ones that are there stay.
TEST_F(JobBuilderTest, APartialSectionConvertsTheProfileNotItsSound) {
  Store.SetFormatCode(401);
  Store.WriteProfile(401, "paraZoom", "lbox");
  Store.WriteProfile(401, "paraVideoBitRate", "384");
  Builder.BeginBatch();
  TlvFilesRecord r;
  const TJob job = Builder.BuildJob(L"/in/a.avi", r, Vga);
  EXPECT_EQ(job.Input.ExtOptions, "");
  EXPECT_FALSE(job.Output.DisableVideo);
  EXPECT_EQ(job.Output.VideoCodec, "mpeg4");
  EXPECT_EQ(job.Output.VideoBitrate, 384000) << "a stored value stays";
  EXPECT_EQ(r.ZoomMode, "lbox");
  EXPECT_EQ(job.Output.AudioSampleRate, 48000);
  EXPECT_EQ(Store.ReadProfile(401, "paraVideoEncoder", ""), "mpeg4") << "the section is mended";
  EXPECT_EQ(Store.ReadProfile(401, "iVideoBitRate", ""), "1");
  EXPECT_TRUE(Questions.Messages.empty());
}

// A video profile whose stored encoder is empty would write a file without its picture: the row
// fails with the reason instead of passing for converted.
TEST_F(JobBuilderTest, AVideoProfileWithoutAnEncoderIsAFailureNotSound) {
  Profile(401, {{"paraVideoEncoder", ""}, {"paraVideoSize", "320x240"}});
  try {
    Build(401, Vga, Zoom("full"));
    ADD_FAILURE() << "the video was dropped without a word";
  } catch (const EJobError &e) {
    EXPECT_NE(std::string(e.what()).find("profile 401, section [formatInfo401], key "
                                         "paraVideoEncoder: no video encoder is stored"),
              std::string::npos)
        << e.what();
  }
  Profile(2406, {{"paraVideoEncoder", ""}});  // a sound profile: empty is what it should be
  EXPECT_NO_THROW(Build(2406, Vga, Zoom("full")));
  EXPECT_EQ(Input.ExtOptions, "vn=1");
}

TEST(JobBuilderHook, OnlyForEffectsOrWatermark) {
  const auto with = [](auto change) {
    TlvFilesRecord r;
    change(r);
    return TJobBuilder::HookNeeded(r);
  };
  EXPECT_FALSE(with([](TlvFilesRecord &) {}));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.Brightness = 200; }));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.Contrast = -5; }));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.Saturation = 0; }));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.Exposure = 10; }));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.MarkText = "(c)"; }));
  EXPECT_TRUE(with([](TlvFilesRecord &r) { r.MarkImage = "/logo.png"; }));
}

}  // namespace
