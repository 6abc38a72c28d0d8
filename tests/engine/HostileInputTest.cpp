// Everyday and broken sources through morvane-engine: clocks that jump, several sound tracks,
// cover art, rotated phone clips, late sound, damaged files, stream copy of edited files, error
// texts and the command line's own vocabulary.  Each fixture is made small, at test time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Probe;
using fixtures::Quote;

// A run that hangs is a failure, not a stuck suite.
fixtures::TCommandResult Engine(const std::string &args) {
  return fixtures::Run("timeout 120 " + std::string(MORVANE_ENGINE_EXE) + " " + args);
}

double Number(const std::string &text) {
  return text.empty() || text.find("N/A") != std::string::npos ? NAN : std::stod(text);
}

int Count(const std::string &text, const std::string &part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Packets of the first stream of a kind, as the demuxer reads them.
int Packets(const std::string &file, const std::string &stream) {
  return static_cast<int>(
      Number(fixtures::Probe(file, "stream=nb_read_packets", stream + " -count_packets")));
}

TEST(HostileInput, ClockJumpOf1000HoursIsBridged) {
  fixtures::TTempDir dir;
  for (const char *name : {"out.avi", "out.mp4"}) {
    const std::string out = dir / name;
    const auto r = Engine("-y -i " + Quote(fixtures::ClockJumpMkv()) + " " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << name << ": " << r.Output.substr(0, 2000);
    EXPECT_LT(fs::file_size(out), 2u << 20) << name;
    EXPECT_NEAR(Number(Probe(out, "format=duration")), 3.0, 0.3) << name;
    EXPECT_NEAR(Packets(out, "v:0"), 30, 2) << name << ": no copies fill the gap";
    EXPECT_NEAR(Number(Probe(out, "stream=start_time", "v:0")),
                Number(Probe(out, "stream=start_time", "a:0")), 0.2)
        << name << ": picture and sound start together";
  }
}

TEST(HostileInput, EachSoundTrackKeepsItsOwnRateAndChannels) {
  const std::string file =
      fixtures::Make("two-tracks.mkv",
                     "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 "
                     "-f lavfi -i sine=frequency=880:sample_rate=22050:duration=1 "
                     "-map 0 -map 1 -ac:a:0 2 -ac:a:1 1 -c:a pcm_s16le");
  const struct {
    const char *Map;
    const char *RateAndChannels;
  } cases[] = {{"", "48000\n2"}, {"-map 0:0", "48000\n2"}, {"-map 0:1", "22050\n1"}};
  fixtures::TTempDir dir;
  for (const auto &c : cases) {
    const std::string out = dir / "out.wav";
    const auto r = Engine("-y -i " + Quote(file) + " " + c.Map + " " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << c.Map << ": " << r.Output;
    EXPECT_EQ(Probe(out, "stream=sample_rate,channels", "a:0"), c.RateAndChannels)
        << "mapping '" << c.Map << "'";
  }
}

TEST(HostileInput, CoverArtIsNotVideo) {
  fixtures::TTempDir dir;
  const std::string out = dir / "out.mp4";
  const auto r = Engine("-y -i " + Quote(fixtures::CoverArtMp3()) + " " + Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Probe(out, "stream=codec_type"), "audio");
}

// The first picture of a file as grey bytes, and the brightness of one of its corners.
struct TPicture {
  int Width = 0, Height = 0;
  std::string Grey;
  int Corner(bool right, bool bottom) const {
    const int x = right ? Width - 4 : 3, y = bottom ? Height - 4 : 3;
    return static_cast<unsigned char>(Grey[static_cast<size_t>(y) * Width + x]);
  }
};

TPicture FirstPicture(const std::string &file) {
  TPicture p;
  const std::string size = Probe(file, "stream=width,height", "v:0");
  p.Width = std::stoi(size);
  p.Height = std::stoi(size.substr(size.find('\n') + 1));
  p.Grey = fixtures::Run("ffmpeg -nostdin -v error -noautorotate -i " + Quote(file) +
                         " -frames:v 1 -f rawvideo -pix_fmt gray -")
               .Output;
  return p;
}

TEST(HostileInput, DisplayRotationIsAppliedBeforeScaling) {
  // The fixture's white block is in the top left corner of the stored picture.
  const struct {
    int Tag;             // as the ffmpeg tool's rotate metadata (counter-clockwise)
    bool Right, Bottom;  // where the block is once the picture is upright
  } cases[] = {{270, true, false}, {90, false, true}, {180, true, true}};
  fixtures::TTempDir dir;
  for (const auto &c : cases) {
    const std::string label = "rotate=" + std::to_string(c.Tag);
    const std::string out = dir / "out.mp4";
    const auto r = Engine("-y -i " + Quote(fixtures::CornerClip(c.Tag)) +
                          " -vcodec mpeg4 -qscale 2 " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << label << ": " << r.Output;
    EXPECT_EQ(Probe(out, "stream_side_data=rotation", "v:0"), "") << label << ": cleared";
    const TPicture p = FirstPicture(out);
    EXPECT_EQ(p.Width, c.Tag == 180 ? 64 : 36) << label;
    ASSERT_EQ(p.Grey.size(), static_cast<size_t>(p.Width * p.Height)) << label;
    for (bool right : {false, true})
      for (bool bottom : {false, true})
        EXPECT_EQ(p.Corner(right, bottom) > 128, right == c.Right && bottom == c.Bottom)
            << label << " corner right=" << right << " bottom=" << bottom;
  }
  // A picture scaled to a size of the profile's is turned first: the block stays in its corner.
  const std::string scaled = dir / "scaled.mp4";
  ASSERT_EQ(Engine("-y -i " + Quote(fixtures::CornerClip(270)) +
                   " -vcodec mpeg4 -qscale 2 -s 72x128 " + Quote(scaled))
                .ExitCode,
            0);
  const TPicture p = FirstPicture(scaled);
  EXPECT_GT(p.Corner(true, false), 128);
  EXPECT_LT(p.Corner(false, false), 128);
  // Stream copy keeps the matrix, so players still turn the picture.
  const std::string copied = dir / "copied.mp4";
  ASSERT_EQ(Engine("-y -i " + Quote(fixtures::CornerClip(90)) + " -vcodec copy " + Quote(copied))
                .ExitCode,
            0);
  EXPECT_EQ(Probe(copied, "stream_side_data=rotation", "v:0"), "90");
}

// When the first audible sound comes after the first picture: the container's start offset
// between the two, plus the silence at the start of the sound.
double SoundStart(const std::string &file) {
  const double picture = Number(Probe(file, "stream=start_time", "v:0"));
  double sound = Number(Probe(file, "stream=start_time", "a:0"));
  const std::string log =
      fixtures::Run("ffmpeg -nostdin -v info -copyts -i " + Quote(file) +
                    " -map 0:a -af silencedetect=noise=-50dB:duration=0.05 -f null -")
          .Output;
  const size_t start = log.find("silence_start: "), end = log.find("silence_end: ");
  if (start != std::string::npos && end != std::string::npos &&
      std::fabs(std::stod(log.substr(start + 15)) - sound) < 0.01)
    sound = std::stod(log.substr(end + 13));
  return sound - picture;
}

TEST(HostileInput, LateSoundStaysLate) {
  const std::string file = fixtures::Make(
      "late-sound.mp4",
      "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 -itsoffset 0.5 "
      "-f lavfi -i sine=frequency=440:duration=1.5 -c:v libx264 -preset ultrafast -c:a aac");
  ASSERT_NEAR(SoundStart(file), 0.5, 0.05);
  fixtures::TTempDir dir;
  for (const char *name : {"out.avi", "out.mp4", "out.flv", "out.mpg"}) {
    const std::string out = dir / name;
    const auto r = Engine("-y -i " + Quote(file) + " " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << name << ": " << r.Output;
    EXPECT_NEAR(SoundStart(out), 0.5, 0.06) << name;
  }
}

TEST(HostileInput, AutomaticThreadsDecodeWhatOneThreadDecodes) {
  // Index first, data cut at 60 %: the end of the file is missing.
  const std::string whole = fixtures::FaststartClip();
  fixtures::TTempDir dir;
  const std::string cut = dir / "cut.mp4";
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) * 6 / 10);
  int frames[2] = {};
  for (int threads : {1, 0}) {
    const std::string out = dir / ("out" + std::to_string(threads) + ".avi");
    const auto r = Engine("-y -threads " + std::to_string(threads) + " -i " + Quote(cut) +
                          " -vcodec mpeg4 " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    frames[threads] = Packets(out, "v:0");
  }
  EXPECT_GT(frames[1], 70);
  EXPECT_EQ(frames[0], frames[1]) << "automatic threads against one thread";
}

TEST(HostileInput, StreamCopyKeepsWhatTheSourceShows) {
  // An edit list that hides the first 22 frames: the decoder shows 78 of 100.
  const std::string clip = fixtures::Make(
      "edit-source-g25.mp4",
      "-f lavfi -i testsrc=size=64x48:rate=25:duration=4 -c:v libx264 -preset ultrafast -g 25");
  const std::string edited =
      fixtures::Make("edit-list-g25.mp4", "-ss 0.88 -i " + Quote(clip) + " -c copy");
  const auto shownFrames = [](const std::string &file) {
    return static_cast<int>(Number(Probe(file, "stream=nb_read_frames", "v:0 -count_frames")));
  };
  const int shown = shownFrames(edited);
  ASSERT_EQ(shown, 78);
  fixtures::TTempDir dir;
  // MP4 keeps the edit list; elsewhere the hidden pictures are left out and the copy starts at
  // the next key picture, at its own time where the container keeps start times (not AVI).
  const struct {
    const char *Name;
    int Frames;
    double Start;
  } cases[] = {{"out.mp4", 78, 0.0}, {"out.mkv", 75, 0.12}, {"out.avi", 75, 0.0}};
  for (const auto &c : cases) {
    const std::string out = dir / c.Name;
    const auto r = Engine("-y -i " + Quote(edited) + " -vcodec copy " + Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << c.Name << ": " << r.Output;
    EXPECT_EQ(shownFrames(out), c.Frames) << c.Name;
    EXPECT_NEAR(Number(Probe(out, "stream=start_time", "v:0")), c.Start, 0.005) << c.Name;
  }
  // Odd size, the codec's sample aspect 4:3 and the container's another: the copy's stream
  // takes the codec's, as muxers demand.
  const std::string coded =
      fixtures::Make("odd-sar-coded.avi",
                     "-f lavfi -i testsrc=size=321x241:rate=25:duration=1 -vf setsar=4/3 "
                     "-c:v mpeg4");
  const std::string sar =
      fixtures::Make("odd-sar-2to1.avi", "-i " + Quote(coded) + " -c copy -aspect 2:1");
  ASSERT_EQ(Probe(sar, "stream=sample_aspect_ratio", "v:0"), "482:321");
  const std::string out = dir / "sar.mkv";
  const auto r = Engine("-y -i " + Quote(sar) + " -vcodec copy " + Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Probe(out, "stream=sample_aspect_ratio", "v:0"), "4:3");
}

TEST(HostileInput, ErrorTextsInTheSystemsWordsOnce) {
  fixtures::TTempDir dir;
  fs::create_directories(dir / "folder.mp4");
  std::ofstream(dir / "plain.txt") << "x";
  const struct {
    std::string Args, Text;
  } cases[] = {
      {"-i " + Quote(dir / "folder.mp4") + " " + Quote(dir / "out.avi"), "Is a directory"},
      {"-i " + Quote(fixtures::Clip()) + " " + Quote(dir / "plain.txt/out.avi"), "Not a directory"},
  };
  for (const auto &c : cases) {
    const auto r = Engine("-y " + c.Args);
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_EQ(Count(r.Output, c.Text), 1) << r.Output;
    EXPECT_EQ(Count(r.Output, "Error number"), 0) << r.Output;
  }
  // A failure inside the run is printed once as well.
  const auto r = Engine("-y -i " + Quote(fixtures::Clip()) + " -vcodec h263 -s 300x200 " +
                        Quote(dir / "out.avi"));
  EXPECT_NE(r.ExitCode, 0);
  EXPECT_EQ(Count(r.Output, "Error while opening encoder for output stream #0.0 (Video)"), 1)
      << r.Output;
}

TEST(HostileInput, SurroundSoundIsMixedDownForAStereoEncoder) {
  const std::string file =
      fixtures::Make("surround.wav", "-f lavfi -i sine=duration=1 -af " +
                                         Quote("pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0"));
  fixtures::TTempDir dir;
  const std::string out = dir / "out.mp3";
  const auto r = Engine("-y -i " + Quote(file) + " -acodec libmp3lame " + Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Probe(out, "stream=channels", "a:0"), "2");
  EXPECT_NEAR(Number(Probe(out, "stream=duration", "a:0")), 1.0, 0.1);
}

TEST(HostileInput, CommandLineKnowsItsOptions) {
  fixtures::TTempDir dir;
  const std::string out = dir / "out.avi";
  const auto refused = Engine("-y -i " + Quote(fixtures::Clip()) + " -bogus 1 " + Quote(out));
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Output.find("'bogus'"), std::string::npos) << refused.Output;
  EXPECT_FALSE(fs::exists(out));

  const struct {
    std::string Args, Output, Entries, Stream, Expected;
  } cases[] = {
      {"-c copy", "copy.mkv", "stream=codec_name", "", "h264\naac"},
      {"-c:v mpeg4 -c:a mp2", "codecs.avi", "stream=codec_name", "", "mpeg4\nmp2"},
      {"-c:v mpeg4 -filter:v scale=160:120", "filter.avi", "stream=width,height", "v:0",
       "160\n120"},
      {"-c:a mp2 -b:a 64k", "audio.mp2", "stream=bit_rate", "a:0", "64000"},
  };
  for (const auto &c : cases) {
    const std::string file = dir / c.Output;
    const auto r = Engine("-y -i " + Quote(fixtures::Clip()) + " " + c.Args + " " + Quote(file));
    ASSERT_EQ(r.ExitCode, 0) << c.Args << ": " << r.Output;
    EXPECT_EQ(Probe(file, c.Entries, c.Stream), c.Expected) << c.Args;
  }
  // -b:v reaches the video encoder: a low rate gives a smaller file.
  const std::string low = dir / "low.avi", high = dir / "high.avi";
  ASSERT_EQ(Engine("-y -i " + Quote(fixtures::Clip()) + " -an -c:v mpeg4 -b:v 50k " + Quote(low))
                .ExitCode,
            0);
  ASSERT_EQ(Engine("-y -i " + Quote(fixtures::Clip()) + " -an -c:v mpeg4 -b:v 2000k " + Quote(high))
                .ExitCode,
            0);
  EXPECT_LT(fs::file_size(low) * 5 / 4, fs::file_size(high));
}

}  // namespace
