// The command-line converter's effects, watermark and trim end in the converted frames: output
// frames compared with the source's frames as the decoration draws them, both decoded by the
// same routine (the ffmpeg tool to 24-bit BGR), allowing the codec's error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "editors/WaterMarkValues.h"
#include "tests/support/DecoratedFrames.h"
#include "tests/support/Fixtures.h"

using decoratedframes::DecodeFrame;
using decoratedframes::Psnr;

namespace {

constexpr int Width = 320, Height = 240;
// An H.264 profile at the source's size and rate, so that output frame N is source frame N.
const std::string Quality =
    "--yes --profile 2102 --set paraVideoSize=320x240 --set paraFrameRate=25 ";

fixtures::TCommandResult Convert(const std::string &options, const std::string &source,
                                 const fixtures::TTempDir &dir) {
  return fixtures::Run("MORVANE_SETTINGS_INI=" + fixtures::Quote(dir / "settings.ini") +
                       " MORVANE_FORMAT_INI=" + fixtures::Quote(MORVANE_FORMAT_INI) + " " +
                       fixtures::Quote(MORVANE_CONVERT) + " " + options + " --output-dir " +
                       fixtures::Quote(dir / "out") + " " + fixtures::Quote(source));
}

std::string OnlyOutput(const fixtures::TTempDir &dir) {
  std::string found;
  for (const auto &entry : std::filesystem::directory_iterator(dir / "out")) {
    EXPECT_TRUE(found.empty()) << "more than one output file";
    found = entry.path().string();
  }
  return found;
}

}  // namespace

// A brighter picture with a big white text: every compared frame matches the decoration drawn
// on the decoded source frame, and clearly differs from the undecorated source.
TEST(ConvertDecoration, OutputFramesMatchTheDecorationOfTheSourceFrames) {
  fixtures::TTempDir dir;
  const std::string source = decoratedframes::MutedClip();
  const auto result = Convert(Quality +
                                  "--brightness 340 --contrast 20 --text 'Morvane 13' "
                                  "--text-font 'DejaVu Sans' --text-size 28 --text-color white "
                                  "--text-style bold --text-position 10,40",
                              source, dir);
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  const std::string output = OnlyOutput(dir);

  TlvFilesRecord record;
  record.Brightness = 340;
  record.Contrast = 20;
  record.MarkText = "Morvane 13";
  record.MarkFont.Name = "DejaVu Sans";
  record.MarkFont.Size = 28;
  record.MarkFont.Color = 0xFFFFFF;
  record.MarkFont.Bold = true;
  const TMarkPoint at = TWaterMarkValues::Position(Width, Height, 10, 40);
  record.MarkTextX = at.X;
  record.MarkTextY = at.Y;
  for (int frame : {0, 12, 37}) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    const auto scores = decoratedframes::CompareFrame(source, output, Width, Height, frame, record);
    EXPECT_GT(scores.Decorated, 35);
    EXPECT_LT(scores.Undecorated, 25);
  }
}

// 20 s from 10 s of a 32 s source: the output lasts 20 s within a frame and begins with the
// source's frame at 10 s (the test picture's clock changes every second, so a frame from
// another second does not match).
TEST(ConvertDecoration, TrimKeepsTheChosenPart) {
  fixtures::TTempDir dir;
  const std::string source = fixtures::Clip(32.0, Width, Height, 25);
  const auto result = Convert(Quality + "--start 10 --length 20", source, dir);
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  const std::string output = OnlyOutput(dir);

  const double duration = std::stod(fixtures::Probe(output, "stream=duration", "v:0"));
  EXPECT_NEAR(duration, 20.0, 1.0 / 25 + 1e-6);
  const TBitmap first = DecodeFrame(output, Width, Height, 0);
  EXPECT_GT(Psnr(first, DecodeFrame(source, Width, Height, 0, 10.0)), 35);
  EXPECT_LT(Psnr(first, DecodeFrame(source, Width, Height, 0, 9.0)), 30);
}

// The command line refuses values the editor's controls cannot take, in its own words, before
// it converts anything.
TEST(ConvertDecoration, OutOfRangeValuesAreRefused) {
  fixtures::TTempDir dir;
  const std::string source = fixtures::Clip(2.0, Width, Height, 25);
  struct TCase {
    const char *Options, *Message;
  } cases[] = {
      {"--brightness 513", "--brightness wants a whole number from 0 to 512, not \"513\""},
      {"--contrast -101", "--contrast wants a whole number from -100 to 100"},
      {"--exposure 1.5", "--exposure wants a whole number from -255 to 512"},
      {"--text x --text-position 50,101", "--text-position wants X,Y in per cent"},
      {"--text x --text-size 6", "--text-size wants a whole number from 7 to 70"},
      {"--text x --text-color nocolour", "--text-color wants a colour name or #RRGGBB"},
      {"--text-size 20", "the --text-... options need a watermark text"},
      {"--image /nonexistent.bmp", "--image: no picture file"},
  };
  for (const TCase &c : cases) {
    const auto result = Convert(std::string("--yes ") + c.Options, source, dir);
    EXPECT_EQ(result.ExitCode, 2) << c.Options;
    EXPECT_NE(result.Output.find(c.Message), std::string::npos) << result.Output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}
