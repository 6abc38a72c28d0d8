// Sources a new user brings, through morvane-convert with stored profiles: cover art, a clip
// without sound for a profile whose container needs sound, a clock that jumps, a damaged file,
// what --info says about a rotated clip, and a part cut out with a start and a length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

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
  EXPECT_NE(r.Output.find(", the source is damaged or cut short)"), std::string::npos) << r.Output;
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

// Times (s) of a stream's decoded frames, in order of presentation.
std::vector<double> FrameTimes(const std::string &file, const std::string &stream) {
  std::istringstream in(Probe(file, "frame=pts_time", stream));
  std::vector<double> times;
  for (double t; in >> t;) times.push_back(t);
  std::sort(times.begin(), times.end());
  return times;
}

// The number after `key` in a text, NaN when it is not there.
double NumberAfter(const std::string &text, const std::string &key) {
  const size_t at = text.find(key);
  return at == std::string::npos ? std::nan("") : std::atof(text.c_str() + at + key.size());
}

// Where the tone of the trim clip begins in a file (on the stream's clock, s).
double ToneStart(const std::string &file) {
  return NumberAfter(fixtures::Run("ffmpeg -nostdin -copyts -i " + Quote(file) +
                                   " -map 0:a:0 -af silencedetect=n=-30dB:d=0.2 -f null -")
                         .Output,
                     "silence_end: ");
}

// Mean brightness of the middle of the first picture (away from any letterbox bars).
double FirstPictureLuma(const std::string &file) {
  return NumberAfter(fixtures::Run("ffmpeg -nostdin -v error -i " + Quote(file) +
                                   " -map 0:v:0 -frames:v 1 -vf crop=iw/4:ih/4,signalstats,"
                                   "metadata=print:key=lavfi.signalstats.YAVG:file=- -f null -")
                         .Output,
                     "YAVG=");
}

// A part cut out of a clip whose key frames are 2 s apart, so that the seek to the start lands
// well before it: the file begins with the source's picture and sound at the start, both at the
// file's first time, and lasts as long as the part, in every kind of container (MP4 hides a
// lead-in with its edit list; AVI, MPEG program streams and Matroska have no such thing).
TEST_F(ConvertSources, APartBeginsWithThePictureAndSoundAtItsStart) {
  // Picture n has brightness 3n (25 a second); the tone begins at 1.5 s.
  const std::string clip = fixtures::Make(
      "trim-marks.mp4",
      "-f lavfi -i 'nullsrc=size=160x120:rate=25:duration=3,geq=lum=N*3:cb=128:cr=128' "
      "-f lavfi -i \"aevalsrc='if(gte(t,1.5),0.5*sin(2*PI*1000*t),0)':s=44100:d=3\" -ac 2 "
      "-c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p -c:a aac -shortest");
  const struct {
    int Profile;
    const char *Length;  // "" for up to the end
    double Duration;
  } cases[] = {
      {100, "1.5", 1.5},   // MP4
      {2307, "", 2.0},     // AVI
      {2307, "1.5", 1.5},  // AVI
      {2301, "1.5", 1.5},  // DVD: MPEG-2 program stream
      {2200, "1.5", 1.5},  // Matroska
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("profile " + std::to_string(c.Profile) + ", length " + c.Length);
    fs::remove_all(Dir / "out");
    const auto r = Convert("--profile " + std::to_string(c.Profile) + " --start 1" +
                           (*c.Length ? std::string(" --length ") + c.Length : "") +
                           " --output-dir " + Quote(Dir / "out") + " " + Quote(clip));
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    const std::string out = Output();
    const std::vector<double> video = FrameTimes(out, "v:0"), audio = FrameTimes(out, "a:0");
    ASSERT_GT(video.size(), 10u);
    ASSERT_GT(audio.size(), 10u);
    const double step = video[2] - video[1];
    EXPECT_LT(video[1] - video[0], 2.5 * step) << "the first picture stands still";
    EXPECT_NEAR(audio[0], video[0], 0.05) << "sound and picture begin apart";
    EXPECT_NEAR(FirstPictureLuma(out), 25 * 3, 1.4) << "the first picture is not the one at 1 s";
    EXPECT_NEAR(ToneStart(out) - video[0], 0.5, 0.05) << "the sound is out of step";
    EXPECT_NEAR(video.back() + step - video[0], c.Duration, 1.5 * step);
    EXPECT_NEAR(std::stod(Probe(out, "format=duration")), c.Duration, 0.1);
  }
}

}  // namespace
