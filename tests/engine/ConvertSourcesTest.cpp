// Sources a new user brings, through morvane-convert with stored profiles: cover art, a clip
// without sound for a profile whose container needs sound, a clock that jumps, a damaged file,
// and what --info says about a rotated clip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Probe;
using fixtures::Quote;

class ConvertSources : public ::testing::Test {
 protected:
  fixtures::TCommandResult Convert(const std::string &args) {
    return fixtures::Run("MORVANE_SETTINGS_INI=" + Quote(Dir / "settings.ini") +
                         " MORVANE_FORMAT_INI=" + Quote(MORVANE_FORMAT_INI_FILE) + " timeout 120 " +
                         MORVANE_CONVERT_EXE + " --yes " + args);
  }
  // The one file the run wrote into the output folder.
  std::string Output() const {
    std::string found;
    for (const auto &entry : fs::directory_iterator(Dir / "out")) found = entry.path().string();
    return found;
  }

  fixtures::TTempDir Dir;
};

TEST_F(ConvertSources, EachConvertsWithWhatItHas) {
  const std::string silentClip = fixtures::Make(
      "no-sound.mp4",
      "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 -preset ultrafast");
  const struct {
    std::string Source;
    int Profile;
    const char *Streams;  // codec types of the output
    double Duration;
  } cases[] = {
      {fixtures::CoverArtMp3(), 1, "audio", 1.0},          // an MP4 profile: sound only
      {silentClip, 401, "video\naudio", 2.0},              // PSP: a silent sound track is added
      {fixtures::ClockJumpMkv(), 1, "video\naudio", 3.0},  // the jump is bridged, not filled
  };
  for (const auto &c : cases) {
    fs::remove_all(Dir / "out");
    const auto r = Convert("--profile " + std::to_string(c.Profile) + " --output-dir " +
                           Quote(Dir / "out") + " " + Quote(c.Source));
    ASSERT_EQ(r.ExitCode, 0) << c.Source << ": " << r.Output;
    EXPECT_NE(r.Output.find("1 converted, 0 failed\n"), std::string::npos) << r.Output;
    const std::string out = Output();
    EXPECT_EQ(Probe(out, "stream=codec_type"), c.Streams) << c.Source;
    EXPECT_NEAR(std::stod(Probe(out, "format=duration")), c.Duration, 0.3) << c.Source;
  }
}

TEST_F(ConvertSources, DamagedSourceIsAWarningInTheSummary) {
  const std::string whole = fixtures::FaststartClip();
  const std::string cut = Dir / "cut.mp4";
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) * 6 / 10);
  const auto r = Convert("--profile 2306 --output-dir " + Quote(Dir / "out") + " " + Quote(cut));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_NE(r.Output.find(", the source is damaged or cut short)"), std::string::npos)
      << r.Output;
  EXPECT_NE(r.Output.find("1 converted, 0 failed, 1 with decode errors (warning)\n"),
            std::string::npos)
      << r.Output;

  const auto sound =
      Convert("--profile 2306 --output-dir " + Quote(Dir / "out") + " " + Quote(fixtures::Clip()));
  EXPECT_NE(sound.Output.find("1 converted, 0 failed\n"), std::string::npos) << sound.Output;
}

TEST_F(ConvertSources, InfoShowsTheRotation) {
  const auto r = Convert("--info " + Quote(fixtures::CornerClip(270)));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_NE(r.Output.find(", Rotation: 90,"), std::string::npos) << r.Output;
}

}  // namespace
