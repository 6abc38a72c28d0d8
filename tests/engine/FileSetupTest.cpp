// Input and output file set-up: codec lookup, error texts, expected duration, join mode.
#include <filesystem>

#include "engine/FFFiles.h"
#include "engine/FFMapping.h"
#include "tests/engine/EngineTestSupport.h"

using namespace enginetest;

class FileSetup : public TEngineTest {};

TEST_F(FileSetup, CodecLookupMessages) {
  const struct {
    const char *Name;
    AVMediaType Type;
    bool Encoder;
    const char *Message;
  } cases[] = {
      {"nosuchcodec", AVMEDIA_TYPE_AUDIO, true, "Unknown encoder 'nosuchcodec'"},
      {"nosuchcodec", AVMEDIA_TYPE_VIDEO, false, "Unknown decoder 'nosuchcodec'"},
      {"libx264", AVMEDIA_TYPE_AUDIO, true, "Invalid encoder type 'libx264'"},
      {"opus", AVMEDIA_TYPE_AUDIO, true,
       "encoder 'opus' is experimental and might produce bad results.\r\nAdd '-strict "
       "experimental' if you want to use it.\r\nOr use the non experimental encoder 'libopus'."},
      {"dca", AVMEDIA_TYPE_AUDIO, true,
       "encoder 'dca' is experimental and might produce bad results.\r\nAdd '-strict "
       "experimental' if you want to use it."},
  };
  for (const auto &c : cases) {
    const AVCodec *codec = nullptr;
    std::string message;
    EXPECT_FALSE(FindCodecByName(c.Name, c.Type, c.Encoder, FF_COMPLIANCE_NORMAL, codec, message));
    EXPECT_EQ(message, c.Message);
  }
  const AVCodec *codec = nullptr;
  std::string message;
  EXPECT_TRUE(FindCodecByName("opus", AVMEDIA_TYPE_AUDIO, true, FF_COMPLIANCE_EXPERIMENTAL, codec,
                              message));
  EXPECT_TRUE(FindCodecByName("", AVMEDIA_TYPE_AUDIO, true, 0, codec, message));
  EXPECT_EQ(codec, nullptr);
}

TEST_F(FileSetup, OldEncoderNamesFindTheirPresentDayEncoders) {
  const std::pair<const char *, const char *> cases[] = {{"libfaac", "aac"},
                                                         {"libflac", "flac"},
                                                         {"vorbis", "libvorbis"},
                                                         {"libopencore_amrnb", "aac"},
                                                         {"libmp3lame", "libmp3lame"}};
  for (const auto &[name, expected] : cases) {
    const AVCodec *codec = nullptr;
    std::string message;
    ASSERT_TRUE(FindCodecByName(name, AVMEDIA_TYPE_AUDIO, true, 0, codec, message)) << message;
    EXPECT_STREQ(codec->name, expected) << name;
  }
  // Decoders keep their own names: the native Vorbis decoder is not experimental.
  const AVCodec *codec = nullptr;
  std::string message;
  ASSERT_TRUE(FindCodecByName("vorbis", AVMEDIA_TYPE_AUDIO, false, 0, codec, message));
  EXPECT_STREQ(codec->name, "vorbis");
}

TEST_F(FileSetup, InputFailuresLeaveTheTextInLastError) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  e.Reset();
  const std::string missing = dir / "missing.mp4";
  EXPECT_FALSE(e.AddInputFile(W(missing)));
  EXPECT_EQ(e.LastError(), missing + ": No such file or directory");
  e.SetOption("acodec", "nosuch");
  EXPECT_FALSE(e.AddInputFile(W(GopClip(1))));
  EXPECT_EQ(e.LastError(), "Unknown decoder 'nosuch'");
  EXPECT_TRUE(e.AddInputFile(W(GopClip(1)))) << "the codec name was freed by the failure";
  e.SetOption("f", "nosuchformat");
  EXPECT_THROW(
      {
        try {
          e.AddInputFile(W(GopClip(1)));
        } catch (const FFmpegException &x) {
          EXPECT_STREQ(x.what(), "Unknown input format: \"nosuchformat\"");
          throw;
        }
      },
      FFmpegException);
  EXPECT_EQ(e.InputCount(), 1);
}

TEST_F(FileSetup, OutputFailuresLeaveNoOutput) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  e.Reset();
  ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
  e.SetOption("f", "nosuchformat");
  EXPECT_EQ(e.AddOutputFile(W(dir / "a.mkv"), false), -1);
  EXPECT_EQ(e.LastError(),
            "Requested output format 'nosuchformat' is not a suitable output format");
  e.Reset();  // a failed addition keeps the forced format
  ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
  const std::string odd = dir / "a.nosuchextension";
  EXPECT_EQ(e.AddOutputFile(W(odd), false), -1);
  EXPECT_EQ(e.LastError(), "Unable to find a suitable output format for '" + odd + "'");
  e.SetOption("f", "webm_chunk");
  const std::string chunk = dir / "chunk.webm";
  EXPECT_EQ(e.AddOutputFile(W(chunk), false), -1);
  EXPECT_EQ(e.LastError(), chunk + ": Number syntax expected in filename");
  EXPECT_EQ(e.OutputCount(), 0);
}

TEST_F(FileSetup, NoAudioOptionDropsTheFormatsDefaultAudio) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  e.Reset();
  ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
  e.SetOption("an", "");
  ASSERT_EQ(e.AddOutputFile(W(dir / "a.mkv"), false), 1);
  const AVFormatContext *oc = e.OutputFiles()[0]->Ctx.get();
  ASSERT_EQ(oc->nb_streams, 1u);
  EXPECT_EQ(oc->streams[0]->codecpar->codec_type, AVMEDIA_TYPE_VIDEO);
}

TEST_F(FileSetup, ExpectedDurationIsTheLongestInputUntilARecordingTime) {
  TCustomFFmpeg e;
  e.Reset();
  EXPECT_EQ(e.ExpectedDuration(), -1);
  ASSERT_TRUE(e.AddInputFile(W(GopClip(2))));
  ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
  const double longest = ProbeDouble(GopClip(2), "format=duration");
  EXPECT_NEAR(e.ExpectedDuration() / 1e6, longest, 0.001);
  e.SetOption("t", "0.5");
  EXPECT_EQ(e.ExpectedDuration(), 500000);
}

TEST_F(FileSetup, JoinTakesOneOutputForAllInputs) {
  fixtures::TTempDir dir;
  TCustomFFmpeg e;
  e.Reset();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
  EXPECT_EQ(e.AddOutputFile(W(dir / "joined.mkv"), true), 3);
  EXPECT_TRUE(e.JoinMode());
  EXPECT_NEAR(e.ExpectedDuration() / 1e6, 3 * ProbeDouble(GopClip(1), "format=duration"), 0.001);
  EXPECT_EQ(e.AddOutputFile(W(dir / "second.mkv"), false), -1);
  EXPECT_EQ(e.LastError(), "Cannot join more than one output file.");

  TCustomFFmpeg single;
  single.Reset();
  ASSERT_TRUE(single.AddInputFile(W(GopClip(1))));
  EXPECT_EQ(single.AddOutputFile(W(dir / "single.mkv"), true), 1);
  EXPECT_FALSE(single.JoinMode());
}

TEST_F(FileSetup, FrameRateWarningRule) {
  EXPECT_FALSE(FrameRateDiffers({1001, 60000}, 2, {30000, 1001}));
  EXPECT_TRUE(FrameRateDiffers({1001, 30000}, 2, {30000, 1001}));
}

TEST_F(FileSetup, NearestSampleRateKeepsTheEarlierOnATie) {
  const int rates[] = {48000, 44100, 32000, 0};
  EXPECT_EQ(NearestSampleRate(rates, 44100), 44100);
  EXPECT_EQ(NearestSampleRate(rates, 46050), 48000);
  EXPECT_EQ(NearestSampleRate(rates, 8000), 32000);
  EXPECT_EQ(NearestSampleRate(nullptr, 8000), 8000);
}

TEST_F(FileSetup, RateControlOverrideSyntax) {
  const auto items = ParseRcOverride("0,10,5/20,30,-50");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].start_frame, 0);
  EXPECT_EQ(items[0].end_frame, 10);
  EXPECT_EQ(items[0].qscale, 5);
  EXPECT_EQ(items[1].qscale, 0);
  EXPECT_FLOAT_EQ(items[1].quality_factor, 0.5f);
  EXPECT_THROW(ParseRcOverride("a,10,5"), FFmpegException);
  EXPECT_THROW(ParseRcOverride("0,,5"), FFmpegException);
}

TEST_F(FileSetup, PassLogFileNames) {
  EXPECT_EQ(PassLogFileName("", 0), "ffmpeg2pass-0.log");
  EXPECT_EQ(PassLogFileName("/tmp/stats", 3), "/tmp/stats-3.log");
}
