// What a device checks in a converted file, measured with ffprobe on clips made at test time: a
// Video CD's constant rate into its 40 KiB buffer and its 4:3 frame, Apple TV's rate ceiling,
// sound-only sources given to video profiles, and pictures close together in variable-rate
// Matroska.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Probe;
using fixtures::Quote;

class ProfileLimits : public ::testing::Test {
 protected:
  fixtures::TCommandResult Convert(const std::string &args) {
    return fixtures::Run("MORVANE_SETTINGS_INI=" + Quote(Dir / "settings.ini") +
                         " MORVANE_FORMAT_INI=" + Quote(MORVANE_FORMAT_INI_FILE) + " timeout 120 " +
                         MORVANE_CONVERT_EXE + " --yes " + args);
  }
  // Converts SOURCE with profile CODE and returns the one file written ("" when none).
  std::string ConvertOne(int code, const std::string &source, const std::string &more = "") {
    fs::remove_all(Dir / "out");
    Last = Convert("--profile " + std::to_string(code) + " " + more + " --output-dir " +
                   Quote(Dir / "out") + " " + Quote(source));
    std::string found;
    if (fs::exists(Dir / "out"))
      for (const auto &entry : fs::directory_iterator(Dir / "out")) found = entry.path().string();
    return found;
  }

  fixtures::TTempDir Dir;
  fixtures::TCommandResult Last;
};

std::vector<long> PacketSizes(const std::string &file) {
  std::istringstream in(Probe(file, "packet=size", "v:0"));
  std::vector<long> sizes;
  for (long size; in >> size;) sizes.push_back(size);
  return sizes;
}

// The decoder's buffer as a device models it: filled at RATE bit/s up to BUFFER bits, one
// picture taken out every 1/FPS s in decoding order.  The lowest level it reaches (below zero:
// the picture was not there in time).
double LowestBufferLevel(const std::vector<long> &sizes, double rate, double buffer, double fps) {
  double level = buffer, lowest = buffer;
  for (long size : sizes) {
    level -= 8.0 * size;
    lowest = std::min(lowest, level);
    level = std::min(buffer, level + rate / fps);
  }
  return lowest;
}

double AverageRate(const std::vector<long> &sizes, double fps) {
  double bytes = 0;
  for (long size : sizes) bytes += size;
  return sizes.empty() ? 0 : bytes * 8 / (sizes.size() / fps);
}

double Ratio(const std::string &text) {
  const size_t colon = text.find_first_of(":/");
  if (colon == std::string::npos) return 0;
  return std::stod(text.substr(0, colon)) / std::stod(text.substr(colon + 1));
}

// A 16:9 picture that is hard to code (moving detail), with sound.
std::string WideBusyClip() {
  return fixtures::Make("busy-1280x720-25.mp4",
                        "-f lavfi -i testsrc2=size=1280x720:rate=25:duration=3 "
                        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 -ac 2 "
                        "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest");
}

TEST_F(ProfileLimits, VideoCdKeepsItsConstantRateBufferAndFourByThreeFrame) {
  const std::string out = ConvertOne(2300, WideBusyClip());
  ASSERT_FALSE(out.empty()) << Last.Output;
  const std::vector<long> sizes = PacketSizes(out);
  ASSERT_GT(sizes.size(), 60u);
  EXPECT_GE(LowestBufferLevel(sizes, 1150000, 327680, 25), 0) << "the 40 KiB buffer ran empty";
  EXPECT_NEAR(AverageRate(sizes, 25), 1150000, 0.05 * 1150000);
  EXPECT_EQ(Probe(out, "stream=width,height", "v:0"), "352\n288");
  // Shown 4:3 as a player shows 352 x 288 (the stream's pixel shape is a table entry of MPEG-1).
  EXPECT_NEAR(Ratio(Probe(out, "stream=display_aspect_ratio", "v:0")), 4.0 / 3, 0.01);
}

TEST_F(ProfileLimits, AppleTvStaysWithinItsRate) {
  const std::string out = ConvertOne(200, WideBusyClip());
  ASSERT_FALSE(out.empty()) << Last.Output;
  const std::vector<long> sizes = PacketSizes(out);
  const double fps = Ratio(Probe(out, "stream=avg_frame_rate", "v:0"));
  ASSERT_GT(fps, 0);
  // 2500 kbit/s with a quarter of a second of buffer: the device's ceiling.
  EXPECT_GE(LowestBufferLevel(sizes, 2500000, 625000, fps), 0);
  EXPECT_LE(AverageRate(sizes, fps), 2500000);
}

// Sound alone (with a cover picture too) on a video profile: a sound-only file where the
// container holds one, an MPEG program stream included; a refusal before the run that says why
// where it cannot (DV).
TEST_F(ProfileLimits, SoundOnlySourcesOnVideoProfiles) {
  const std::string tone = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -ac 2";
  const std::vector<std::string> sources = {
      fixtures::Make("tone.m4a", tone + " -c:a aac"),
      fixtures::Make("tone.opus", tone + " -c:a libopus"),
      fixtures::Make("tone.wav", tone),
      fixtures::Make("tone.aiff", tone),
      fixtures::Make("tone.flac", tone),
      fixtures::AudioMp3(1.0),
      fixtures::CoverArtMp3(),
  };
  for (const std::string &source : sources) {
    for (int code : {2301, 2300}) {
      SCOPED_TRACE(source + " with profile " + std::to_string(code));
      const std::string out = ConvertOne(code, source);
      ASSERT_FALSE(out.empty()) << Last.Output;
      EXPECT_EQ(Last.ExitCode, 0) << Last.Output;
      EXPECT_EQ(Probe(out, "stream=codec_type", "a"), "audio");
      EXPECT_EQ(Probe(out, "stream=codec_type", "v"), "");
      EXPECT_EQ(fixtures::Run("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -").Output,
                "");
    }
    SCOPED_TRACE(source + " with the DV profile");
    EXPECT_EQ(ConvertOne(2308, source), "");
    EXPECT_EQ(Last.ExitCode, 1);
    EXPECT_NE(Last.Output.find("the source has no video, and a DV file cannot hold sound alone"),
              std::string::npos)
        << Last.Output;
  }
}

// Pictures under a millisecond apart (in a Matroska file, where they share one, and in an MP4 file
// whose clock tells them apart) into Matroska, at the profile's rate and at an output clock finer
// than the file's millisecond: no two pictures share a time and the file decodes cleanly.
TEST_F(ProfileLimits, VariableRateIntoMatroskaNeverRepeatsATime) {
  const std::string pairs =
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 "
      "-vf setpts='(N*0.04+if(mod(N\\,2)\\,-0.0397\\,0))/TB' -fps_mode passthrough "
      "-c:v libx264 -preset ultrafast";
  const std::vector<std::string> sources = {
      fixtures::Make("pairs-under-1ms.mkv", pairs),
      fixtures::Make("pairs-under-1ms.mp4", pairs + " -video_track_timescale 10000")};
  for (const std::string &source : sources) {
    for (const char *rate : {"29.97", "5000"}) {
      SCOPED_TRACE(source + " at " + rate);
      const std::string out = ConvertOne(2200, source, std::string("--set paraFrameRate=") + rate);
      ASSERT_FALSE(out.empty()) << Last.Output;
      std::istringstream in(Probe(out, "packet=pts", "v:0"));
      std::vector<long> times;
      for (long t; in >> t;) times.push_back(t);
      std::sort(times.begin(), times.end());
      ASSERT_GT(times.size(), 20u);
      EXPECT_EQ(std::adjacent_find(times.begin(), times.end()), times.end())
          << "two pictures share a time";
      EXPECT_EQ(fixtures::Run("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -").Output,
                "");
    }
  }
}

}  // namespace
