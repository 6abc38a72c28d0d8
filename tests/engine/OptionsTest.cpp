#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <regex>

#include "engine/FFmpeg.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

namespace {

// An engine with the encoder libraries loaded, and what it logs.
class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    FFLogger().SetLogLevel(TLogLevel::llDebug);
    FFLogger().SetTriggerEventInMainThread(false);
    FFLogger().SetOnLog([this](const void *, uint32_t, TLogLevel level, const std::string &s) {
      std::lock_guard lock(FLock);
      Lines.push_back({level, s});
    });
    Engine = std::make_unique<TCustomFFmpeg>();
    Engine->Reset();
  }
  void TearDown() override {
    Engine.reset();
    FFLogger().SetOnLog(nullptr);
  }

  // The message SetOption fails with ("" when it succeeds).
  std::string Error(const std::string &name, const std::string &value) {
    try {
      Engine->SetOption(name, value);
    } catch (const FFmpegException &e) {
      return e.what();
    }
    return "";
  }
  bool Logged(TLogLevel level, const std::string &text) {
    std::lock_guard lock(FLock);
    for (const auto &[l, s] : Lines)
      if (l == level && s == text) return true;
    return false;
  }
  bool LoggedStart(TLogLevel level, const std::string &start) {
    std::lock_guard lock(FLock);
    for (const auto &[l, s] : Lines)
      if (l == level && s.rfind(start, 0) == 0) return true;
    return false;
  }
  int64_t CodecInt(int type, const char *name) {
    int64_t v = 0;
    EXPECT_GE(ff::av_opt_get_int(S().Generic.Codec[type].get(), name, 0, &v), 0) << name;
    return v;
  }
  std::string Private(const std::string &name) {
    for (const auto &[n, v] : S().Generic.Private)
      if (n == name) return v;
    return "(none)";
  }
  TEngineSettings &S() { return Engine->Settings(); }

  std::unique_ptr<TCustomFFmpeg> Engine;
  std::mutex FLock;
  std::vector<std::pair<TLogLevel, std::string>> Lines;
};

constexpr const char *CropHint =
    " crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

}  // namespace

TEST_F(OptionsTest, RowsThatRefuseOrDoNothing) {
  struct TCase {
    const char *Name, *Value, *Error;
  } cases[] = {
      {"threads", "2", "TODO: option - threads"},
      {"padtop", "16", "Please use vfilters=pad"},
      {"padcolor", "", "Please use vfilters=pad"},
      {"qscale", "0", "qscale must be > 0.0 and <= 255"},
      {"qscale", "256", "qscale must be > 0.0 and <= 255"},
      {"pass", "3", "pass number can be only 1 or 2"},
      {"aspect", "4:0", "Incorrect aspect ratio specification."},
      {"r", "often", "Incorrect frame rate"},
      {"s", "huge", "Incorrect frame size"},
      {"pix_fmt", "rgb99", "Unknown pixel format requested: rgb99"},
      {"metadata", "title", "Missing ="},
      {"vtag", "DIV", "video tag parameter must be 4 chars"},
      {"newaudio", "", "At least one output file must be specified"},
      {"target", "pal-bluray", "Unknown target type"},
      {"vframes", "many", "'many' is not a valid integer value"},
      {"loglevel", "chatty", "'chatty' is not a valid integer value"},
      {"absf", "no_such_filter", "Unknown bitstream filter no_such_filter"},
      {"streamid", "20:1", "Invalid stream index 20 for option \"streamid\" (0 to 19)"},
      {"vhook", "/nonexistent/hook.so -x",
       "Failed to add video hook function: /nonexistent/hook.so -x"},
  };
  for (const TCase &c : cases) EXPECT_EQ(Error(c.Name, c.Value), c.Error) << c.Name;

  EXPECT_EQ(Error("version", ""), "");
  EXPECT_TRUE(Logged(TLogLevel::llInfo, "Do nothing: option - version"));
  EXPECT_EQ(Error("no_such_option", "1"), "");  // unknown names are ignored
}

TEST_F(OptionsTest, SwitchValues) {
  EXPECT_EQ(Error("deinterlace", ""), "");
  EXPECT_TRUE(S().DoDeinterlace);
  EXPECT_EQ(Error("deinterlace", "0"), "");
  EXPECT_FALSE(S().DoDeinterlace);
  EXPECT_EQ(Error("copyts", "0"), "");  // the value is ignored
  EXPECT_TRUE(S().CopyTs);
  EXPECT_EQ(Error("an", "1"), "");
  EXPECT_TRUE(S().AudioDisable);
}

TEST_F(OptionsTest, CropNeedsTheInputSizeFirst) {
  EXPECT_EQ(Error("croptop", "10"), std::string("Vertical") + CropHint);
  EXPECT_EQ(Error("cropleft", "10"), std::string("Horizontal") + CropHint);
  EXPECT_EQ(Error("croptop", "-4"), "");  // ignored
  ASSERT_EQ(Error("s", "320x240"), "");
  EXPECT_EQ(Error("croptop", "10"), "");
  EXPECT_EQ(Error("cropright", "20"), "");
  EXPECT_EQ(S().CropTop, 10);
  EXPECT_EQ(S().FrameHeight, 230);
  EXPECT_EQ(S().FrameWidth, 300);
  EXPECT_TRUE(Logged(TLogLevel::llWarning, "CropXXX is deprecated in favor of the crop avfilter"));
  EXPECT_EQ(Error("cropbottom", "230"), std::string("Vertical") + CropHint);
}

TEST_F(OptionsTest, BitRateWarningBelowOneKilobit) {
  const std::string warning =
      "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
  ASSERT_EQ(Error("vb", "500000"), "");
  EXPECT_EQ(CodecInt(0, "b"), 500000);
  EXPECT_FALSE(Logged(TLogLevel::llWarning, warning));
  ASSERT_EQ(Error("vb", "500"), "");
  EXPECT_EQ(CodecInt(0, "b"), 500);
  EXPECT_TRUE(Logged(TLogLevel::llWarning, warning));
  ASSERT_EQ(Error("ab", "96000"), "");
  EXPECT_EQ(CodecInt(1, "b"), 96000);
  EXPECT_EQ(CodecInt(0, "b"), 500);  // the audio rate leaves the video rate alone
}

TEST_F(OptionsTest, TargetPalDvd) {
  ASSERT_EQ(Error("target", "pal-dvd"), "");
  EXPECT_EQ(S().VideoCodecName, "mpeg2video");
  EXPECT_EQ(S().AudioCodecName, "ac3");
  EXPECT_EQ(S().ForceFormat, "dvd");
  EXPECT_EQ(S().FrameWidth, 720);
  EXPECT_EQ(S().FrameHeight, 576);
  EXPECT_EQ(S().FrameRate.num, 25);
  EXPECT_EQ(S().FrameRate.den, 1);
  EXPECT_EQ(CodecInt(0, "g"), 15);
  EXPECT_EQ(CodecInt(0, "b"), 6000000);
  EXPECT_EQ(CodecInt(0, "maxrate"), 9000000);
  EXPECT_EQ(CodecInt(1, "b"), 448000);
  int64_t packetSize = 0;
  ff::av_opt_get_int(S().Generic.Format.get(), "packetsize", 0, &packetSize);
  EXPECT_EQ(packetSize, 2048);
  EXPECT_EQ(Private("muxrate"), "10080000");  // the MPEG muxer's own option
  EXPECT_EQ(S().AudioSampleRate, 48000);
  EXPECT_FLOAT_EQ(S().FrameAspectRatio, 16.0f / 9.0f);
  EXPECT_TRUE(Logged(TLogLevel::llInfo, "Assuming 16:9 for aspect ratio"));
  EXPECT_FALSE(Logged(TLogLevel::llVerbose, "Assuming PAL for target."));  // named, not guessed
}

TEST_F(OptionsTest, TargetNormFromTheInput) {
  EXPECT_EQ(Error("target", "dvd"), "frame_rate is invalid.");
  const std::string clip =
      fixtures::Make("ntsc-160x120.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=0.5 -c:v mpeg4");
  ASSERT_TRUE(Engine->AddInputFile(UTF8ToWide(clip))) << Engine->LastError();
  // A frame rate of no norm leaves the decision to the input's video stream.
  ASSERT_EQ(Error("r", "15"), "");
  ASSERT_EQ(Error("ac", "1"), "");
  ASSERT_EQ(Error("target", "dvd"), "");
  EXPECT_EQ(S().FrameWidth, 720);
  EXPECT_EQ(S().FrameHeight, 480);
  EXPECT_EQ(S().FrameRate.num, 30000);
  EXPECT_EQ(CodecInt(0, "g"), 18);
  EXPECT_EQ(S().AudioChannels, 2);
  EXPECT_TRUE(Logged(TLogLevel::llVerbose, "Assuming NTSC for target."));
}

TEST_F(OptionsTest, BuiltInPresetsByCodecAndByFullName) {
  ASSERT_EQ(Error("vcodec", "libx264"), "");
  ASSERT_EQ(Error("vpre", "ipod"), "");
  EXPECT_EQ(CodecInt(0, "refs"), 1);
  EXPECT_EQ(CodecInt(0, "trellis"), 2);
  EXPECT_EQ(CodecInt(0, "level"), 30);
  EXPECT_EQ(CodecInt(0, "b"), 1000000);
  EXPECT_EQ(Private("coder"), "0");
  EXPECT_EQ(Private("partitions"), "i4x4,i8x8,p8x8");
  EXPECT_EQ(Private("direct-pred"), "1");

  Engine->Reset();
  ASSERT_EQ(Error("vpre", "LIBX264-IPOD"), "");
  EXPECT_EQ(CodecInt(0, "b"), 1000000);

  ASSERT_EQ(Error("vcodec", "libx264"), "");
  EXPECT_EQ(Error("vpre", "nosuch"), "Preset \"nosuch\" not found");
  EXPECT_EQ(Error("fpre", "libx264-ipod"), "Preset \"libx264-ipod\" not found");
}

TEST_F(OptionsTest, PresetFiles) {
  fixtures::TTempDir dir;
  const std::string good = dir / "good.ffpreset", bad = dir / "bad.ffpreset",
                    unknown = dir / "unknown.ffpreset";
  std::ofstream(good) << "\r\n  VCodec=mpeg4 \r\ng=48\r\n\r\nx264-params=keyint=50\r\n";
  std::ofstream(bad) << "g=48\nsubq\n";
  std::ofstream(unknown) << "g=48\nno_such_option=1\n";
  ASSERT_EQ(Error("fpre", good), "");
  EXPECT_EQ(S().VideoCodecName, "mpeg4");
  EXPECT_EQ(CodecInt(0, "g"), 48);
  EXPECT_EQ(Private("x264-params"), "keyint=50");
  EXPECT_EQ(Error("fpre", bad), bad + ": Invalid syntax: \"subq\"");
  EXPECT_EQ(Error("vpre", unknown),
            unknown +
                ": Invalid option or argument: \"no_such_option=1\", parsed as "
                "\"no_such_option\" = \"1\"");
}

TEST_F(OptionsTest, TablesFromMapStreamIdAndItsScale) {
  ASSERT_EQ(Error("map", "0.1"), "");
  ASSERT_EQ(Error("map", "0:1:0:0"), "");
  ASSERT_EQ(Engine->StreamMaps().size(), 2u);
  EXPECT_EQ(Engine->StreamMaps()[0].SyncStreamIndex, 1);
  EXPECT_EQ(Engine->StreamMaps()[1].StreamIndex, 1);
  EXPECT_EQ(Engine->StreamMaps()[1].SyncStreamIndex, 0);
  for (int i = 2; i < MaxFiles * MaxStreams; ++i) ASSERT_EQ(Error("map", "0:0"), "");
  EXPECT_EQ(Error("map", "0:0"), "Too many stream maps (at most 400)");

  ASSERT_EQ(Error("streamid", "1:33"), "");
  EXPECT_EQ(Engine->StreamIdMap()[1], 33);
  ASSERT_EQ(Error("itsscale", "2:0.5"), "");
  EXPECT_DOUBLE_EQ(Engine->InputTsScales()[0][2], 0.5);
  ASSERT_EQ(Error("map_meta_data", "0:1"), "");
  EXPECT_EQ(Engine->MetaDataMaps()[0].InFile, 1);
}

TEST_F(OptionsTest, MatricesMetadataAndTimes) {
  std::string list;
  for (int i = 0; i < 63; ++i) list += std::to_string(16 + i) + ",";
  EXPECT_EQ(Error("intra_matrix", list.substr(0, list.size() - 1)),
            "Syntax error in matrix \"" + list.substr(0, list.size() - 1) + "\" at coeff 62");
  EXPECT_FALSE(S().IntraMatrix);
  ASSERT_EQ(Error("intra_matrix", list + "99"), "");
  ASSERT_TRUE(S().IntraMatrix);
  EXPECT_EQ((*S().IntraMatrix)[63], 99);

  ASSERT_EQ(Error("metadata", "title="), "");
  ASSERT_EQ(S().Metadata.size(), 1u);
  EXPECT_EQ(S().Metadata[0].first, "title");
  EXPECT_EQ(S().Metadata[0].second, "");

  ASSERT_EQ(Error("t", "00:00:30"), "");
  EXPECT_EQ(S().RecordingTime, 30000000);
  EXPECT_EQ(Engine->ExpectedDuration(), 30000000);
  ASSERT_EQ(Error("timestamp", "1970-01-01 00:00:02.5Z"), "");
  EXPECT_EQ(S().RecordingTimestamp, 2);  // ties go to the even second
  EXPECT_EQ(Error("ss", "later"), "Invalid duration specification for ss: later");
}

TEST_F(OptionsTest, CodecNamesFormatsAndFilters) {
  ASSERT_EQ(Error("vcodec", "copy"), "");
  EXPECT_TRUE(S().VideoStreamCopy);
  EXPECT_EQ(S().VideoCodecName, "");
  ASSERT_EQ(Error("acodec", "aac"), "");
  EXPECT_EQ(S().AudioCodecName, "aac");
  ASSERT_EQ(Error("f", "pgmyuv"), "");
  EXPECT_EQ(S().ForceFormat, "image2");
  EXPECT_TRUE(Logged(TLogLevel::llInfo, "pgmyuv format is deprecated, use image2"));
  ASSERT_EQ(Error("pix_fmt", "yuv422p"), "");
  EXPECT_EQ(S().FramePixFmt, AV_PIX_FMT_YUV422P);
  ASSERT_EQ(Error("pix_fmt", "list"), "");
  EXPECT_TRUE(LoggedStart(TLogLevel::llInfo, "yuv420p "));
  ASSERT_EQ(Error("sample_fmt", "nosuch"), "");
  EXPECT_EQ(S().AudioSampleFmt, -1);

  ASSERT_EQ(Error("vbsf", "h264_mp4toannexb"), "");
  ASSERT_EQ(Error("absf", "=ignored"), "");
  ASSERT_EQ(Error("sbsf", ""), "");
  ASSERT_EQ(Error("vbsf", "noise=amount=-1"), "");
  EXPECT_EQ(Engine->PendingBitstreamFilters()[0].size(), 2u);
  EXPECT_TRUE(Engine->PendingBitstreamFilters()[1].empty());
  EXPECT_EQ(Error("vbsf", "noise=bogus=1"), "Invalid options for bitstream filter noise=bogus=1");
}

TEST_F(OptionsTest, GenericOptionsFindTheirContexts) {
  EXPECT_TRUE(Engine->ApplyGenericOption(" g ", " 120 "));  // trimmed
  EXPECT_EQ(CodecInt(0, "g"), 120);
  EXPECT_FALSE(Engine->ApplyGenericOption("g", "many"));  // known, bad value
  EXPECT_FALSE(Engine->ApplyGenericOption("no_such_option", "1"));
  EXPECT_FALSE(Engine->ApplyGenericOption("g", ""));
  EXPECT_TRUE(Engine->ApplyGenericOption("ar", "22050"));  // audio codec context
  EXPECT_EQ(CodecInt(1, "ar"), 22050);
  EXPECT_TRUE(Engine->ApplyGenericOption("fflags", "+genpts"));     // format context
  EXPECT_TRUE(Engine->ApplyGenericOption("sws_flags", "lanczos"));  // scaling context
  EXPECT_EQ(S().ScalerFlags, SWS_LANCZOS);
  // Codec-private options, kept until a codec that has them is set up.
  EXPECT_TRUE(Engine->ApplyGenericOption("preset", "slow"));
  EXPECT_TRUE(Engine->ApplyGenericOption("crf", "20"));
  EXPECT_FALSE(Engine->ApplyGenericOption("crf", "fine"));
  EXPECT_TRUE(Engine->ApplyGenericOption("profile", "main"));  // libx264's own, not the generic
  EXPECT_TRUE(Engine->ApplyGenericOption("x264-params", "keyint=50:bframes=2"));
  EXPECT_TRUE(Engine->ApplyGenericOption("flags", "-loop"));
  EXPECT_EQ(Private("preset"), "slow");
  EXPECT_EQ(Private("crf"), "20");
  EXPECT_EQ(Private("x264-params"), "keyint=50:bframes=2:no-deblock=1");
  const auto &names = S().Generic.Names;
  EXPECT_EQ(std::count(names.begin(), names.end(), "g"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "preset"), 0);
}

TEST_F(OptionsTest, CopyGenericOptionsByFlags) {
  ASSERT_EQ(Error("g", "33"), "");
  ASSERT_EQ(Error("flags", "+loop"), "");
  ASSERT_EQ(Error("b", "900000"), "");
  ASSERT_EQ(Error("ab", "64000"), "");
  ASSERT_EQ(Error("preset", "fast"), "");
  ASSERT_EQ(Error("movflags", "+faststart"), "");

  const AVCodec *x264 = ff::avcodec_find_encoder_by_name("libx264");
  TCodecCtxPtr video(ff::avcodec_alloc_context3(x264));
  Engine->CopyGenericOptions(video.get(), S().Generic.Codec[0].get(), 17);
  EXPECT_EQ(video->gop_size, 33);
  // A flag given on its own leaves the encoder's default flags (closed GOPs for libx264) alone.
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_CLOSED_GOP);
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_LOOP_FILTER);
  EXPECT_EQ(video->bit_rate, 900000);
  uint8_t *preset = nullptr;
  ASSERT_GE(ff::av_opt_get(video->priv_data, "preset", 0, &preset), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(preset), "fast");
  ff::av_free(preset);

  TCodecCtxPtr audio(ff::avcodec_alloc_context3(ff::avcodec_find_encoder_by_name("aac")));
  Engine->CopyGenericOptions(audio.get(), S().Generic.Codec[1].get(), 9);
  EXPECT_EQ(audio->bit_rate, 64000);  // "b" is the video rate only
  EXPECT_NE(audio->gop_size, 33);

  AVFormatContext *raw = nullptr;
  ASSERT_GE(ff::avformat_alloc_output_context2(&raw, nullptr, "mp4", nullptr), 0);
  TFormatCtxPtr mp4(raw);
  Engine->CopyGenericOptions(mp4.get(), S().Generic.Format.get(), 1);
  int64_t movflags = 0;
  ff::av_opt_get_int(mp4->priv_data, "movflags", 0, &movflags);
  EXPECT_NE(movflags, 0);
}

TEST_F(OptionsTest, OptionStringsAndDirectSetters) {
  Engine->SetOptions("vcodec=mpeg4<CRLF>g=99\r\nAN\nmetadata=comment=a=b");
  EXPECT_EQ(S().VideoCodecName, "mpeg4");
  EXPECT_EQ(CodecInt(0, "g"), 99);
  EXPECT_TRUE(S().AudioDisable);  // names are lowered when a string is split
  ASSERT_EQ(S().Metadata.size(), 1u);
  EXPECT_EQ(S().Metadata[0].second, "a=b");
  EXPECT_EQ(Error("AN", ""), "");  // SetOption itself matches exactly: a generic name, ignored
  Engine->SetProgramId(-1);
  Engine->SetAudioVolume(-5);
  Engine->SetMuxDelay(0);
  Engine->SetMuxPreload(-1);
  Engine->SetAudioRate(0);
  Engine->SetAudioChannels(-2);
  EXPECT_EQ(S().ProgramId, 0);
  EXPECT_EQ(S().AudioVolume, 256);
  EXPECT_FLOAT_EQ(S().MuxMaxDelay, 0.7f);
  EXPECT_FLOAT_EQ(S().MuxPreload, 0.5f);
  EXPECT_EQ(S().AudioSampleRate, 44100);
  EXPECT_EQ(S().AudioChannels, 2);
  Engine->SetAudioRate(22050);
  Engine->SetMuxPreload(0.25f);
  Engine->SetIntGenericOption("bf", 2);
  EXPECT_EQ(S().AudioSampleRate, 22050);
  EXPECT_FLOAT_EQ(S().MuxPreload, 0.25f);
  EXPECT_EQ(CodecInt(0, "bf"), 2);
  ASSERT_EQ(Error("vstats", ""), "");
  EXPECT_TRUE(std::regex_match(S().VStatsFileName, std::regex(".*/vstats_[0-9]{6}\\.log")))
      << S().VStatsFileName;
}
