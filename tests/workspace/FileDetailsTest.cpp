#include <gtest/gtest.h>

#include "services/AVProbe.h"
#include "services/FFmpegLoader.h"
#include "tests/support/Fixtures.h"
#include "workspace/FileDetails.h"

namespace {

TEST(FileDetails, LongNamesKeepTheirStartAndExtension) {
  const std::string start40 = "/home/user/Videos/holiday/2023/day-one/a";  // 40 characters
  // 40 characters in 45 bytes: the limits count characters.
  const std::string accented40 =
      "/home/\u00e9\u00e9\u00e9\u00e9\u00e9/Videos/holiday/2023/day-one/";
  const std::pair<std::string, std::string> cases[] = {
      // 45 characters: shown whole.
      {start40 + "b.mp4", start40 + "b.mp4"},
      {accented40 + "b.mp4", accented40 + "b.mp4"},
      // 46 characters: the first 40, "..", the extension and two blanks.
      {start40 + "bc.mp4", start40 + "...mp4  "},
      {accented40 + "bc.mp4", accented40 + "...mp4  "},
      {start40 + "bcdefg", start40 + "..  "}};
  for (const auto &[path, shown] : cases) EXPECT_EQ(ShortenedSourceName(path), shown) << path;
}

TEST(FileDetails, LengthInSecondsWithMilliseconds) {
  EXPECT_EQ(FileLengthText(62500000), "62.500 Second");
  EXPECT_EQ(FileLengthText(5999), "0.005 Second");
  EXPECT_EQ(FileLengthText(-1), "");
}

TEST(FileDetails, FrameRateAsADecimalAndFramesFromTheDuration) {
  struct TCase {
    int Num, Den;
    const char *Rate;
    int64_t Duration;
    const char *Frames;
  };
  const TCase cases[] = {{30000, 1001, "29.97", 10000000, "300"},  // 299.7
                         {25, 1, "25", 62520000, "1563"},
                         {24000, 1001, "23.976", 60000000, "1439"},
                         {0, 1, "", 60000000, ""},
                         {25, 0, "", 60000000, ""},
                         {25, 1, "25", -1, ""}};
  for (const TCase &c : cases) {
    EXPECT_EQ(FrameRateText(c.Num, c.Den), c.Rate) << c.Num << "/" << c.Den;
    EXPECT_EQ(TotalFramesText(c.Duration, c.Num, c.Den), c.Frames) << c.Num << "/" << c.Den;
  }
}

TEST(FileDetails, AudioFormatIsTheCodecOfTheFirstAudioStream) {
  const std::pair<const char *, const char *> cases[] = {
      {"Stream #0[0x1](und), 1/30000: Video: h264 (High), yuv420p\n"
       "Stream #1[0x2](und), 1/44100: Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, stereo\n"
       "Stream #2: Audio: mp3, 44100 Hz",
       "aac (LC) (mp4a / 0x6134706D)"},
      {"Stream #0: Audio: flac", "flac"},  // nothing after the codec
      {"Stream #0: Video: h264, yuv420p", ""},
      {"Audio:,", ""}};
  for (const auto &[text, format] : cases) EXPECT_EQ(AudioFormatOf(text), format) << text;
}

TEST(FileDetails, AVideoWithSound) {
  ASSERT_TRUE(FFLoader().LoadLibs(PlayerLibs)) << FFLoader().LastErrMsg();
  const std::string clip = fixtures::Clip(2.0, 320, 240, 25);
  TAVProbe probe;
  const auto details = ReadFileDetails(probe, clip);
  ASSERT_TRUE(details.has_value()) << probe.LastErrMsg();
  EXPECT_EQ(details->SourceName, ShortenedSourceName(clip));
  EXPECT_EQ(details->Format, "mov,mp4,m4a,3gp,3g2,mj2");
  EXPECT_EQ(details->Resolution, "320x240");
  EXPECT_EQ(details->FrameRate, "25");
  EXPECT_EQ(details->TotalFrames, "50");
  EXPECT_GT(std::stoi(details->BitRate), 0);
  EXPECT_EQ(details->AudioFormat.substr(0, 3), "aac");
  EXPECT_EQ(details->SampleRate, "44100");
  EXPECT_EQ(details->Channels, "2");
  EXPECT_GT(std::stoi(details->AudioBitRate), 0);

  EXPECT_FALSE(ReadFileDetails(probe, clip + ".missing").has_value());
}

}  // namespace
