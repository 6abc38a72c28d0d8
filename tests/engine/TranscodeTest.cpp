// Conversions end to end through morvane-engine, each output checked with ffprobe and decoded
// in full with the ffmpeg tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/Fixtures.h"

namespace {

using fixtures::Probe;
using fixtures::Quote;

std::string Clip() {
  return fixtures::Clip(2.0, 320, 240, 25);
}

fixtures::TCommandResult Convert(const std::string &args, const std::string &out) {
  return fixtures::Run(std::string(MORVANE_ENGINE_EXE) + " " + args + " " + Quote(out));
}

// Decoding the whole file prints nothing when it is sound.
std::string DecodeErrors(const std::string &file) {
  return fixtures::Run("ffmpeg -nostdin -v error -i " + Quote(file) + " -f null -").Output;
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

double Duration(const std::string &file, const std::string &stream) {
  const std::string d = Probe(file, "stream=duration", stream);
  return d.empty() || d.find("N/A") != std::string::npos ? NAN : std::stod(d);
}

struct TCase {
  const char *Name;  // output file name
  std::string Args;  // between the input and the output
  std::vector<std::string> Codecs;
  const char *Size;  // "WxH" of the video, or ""
};

void PrintTo(const TCase &c, std::ostream *os) {
  *os << c.Name << " " << c.Args;
}

class Transcode : public ::testing::TestWithParam<TCase> {};

TEST_P(Transcode, OutputIsReadableAndComplete) {
  const TCase &c = GetParam();
  fixtures::TTempDir dir;
  const std::string out = dir / c.Name;
  const auto r = Convert("-i " + Quote(Clip()) + " " + c.Args, out);
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  const auto codecs = Lines(Probe(out, "stream=codec_name"));
  for (const std::string &codec : c.Codecs) {
    EXPECT_NE(std::find(codecs.begin(), codecs.end(), codec), codecs.end())
        << codec << " missing in " << Probe(out, "stream=codec_name");
  }
  EXPECT_EQ(DecodeErrors(out), "");
  if (*c.Size) {
    EXPECT_EQ(Probe(out, "stream=width,height", "v:0"), std::string(c.Size));
  }
  // The audio lasts as long as the video, give or take the encoders' frame granularity.
  const double video = Duration(out, "v:0"), audio = Duration(out, "a:0");
  if (!std::isnan(video) && !std::isnan(audio)) {
    EXPECT_NEAR(audio, video, 0.05);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Transcode,
    ::testing::Values(
        TCase{"mpeg4mp3.avi", "-vcodec mpeg4 -acodec libmp3lame", {"mpeg4", "mp3"}, "320\n240"},
        TCase{"ipod.mp4", "-vcodec libx264 -vpre libx264-ipod -acodec aac", {"h264", "aac"}, ""},
        TCase{"psp.mp4", "-vcodec libx264 -vpre libx264-psp -acodec aac", {"h264", "aac"}, ""},
        TCase{"default.mp4",
              "-vcodec libx264 -vpre libx264-default -acodec aac",
              {"h264", "aac"},
              ""},
        TCase{"paldvd.mpg", "-target pal-dvd", {"mpeg2video", "ac3"}, "720\n576"},
        TCase{"ntscvcd.mpg", "-target ntsc-vcd", {"mpeg1video", "mp2"}, "352\n240"},
        TCase{"flash.flv", "-vcodec flv -acodec libmp3lame -ar 44100", {"flv1", "mp3"}, ""},
        TCase{"windows.asf", "-vcodec wmv2 -acodec wmav2", {"wmv2", "wmav2"}, ""},
        TCase{"phone.3gp",
              "-vcodec h263 -s 176x144 -acodec aac -ar 8000 -ac 1",
              {"h263", "aac"},
              "176\n144"},
        TCase{"matroska.mkv", "-vcodec mpeg4 -acodec libvorbis", {"mpeg4", "vorbis"}, ""},
        TCase{"audio.mp3", "-vn -acodec libmp3lame", {"mp3"}, ""},
        TCase{"audio.aac", "-vn -acodec aac", {"aac"}, ""},
        TCase{"cropped.avi",
              "-croptop 20 -cropbottom 20 -cropleft 40 -cropright 40 -s 160x120 -vcodec mpeg4 "
              "-acodec libmp3lame",
              {"mpeg4", "mp3"},
              "160\n120"},
        TCase{"padded.avi",
              "-vf pad=400:300:40:30:black -vcodec mpeg4 -acodec libmp3lame",
              {"mpeg4", "mp3"},
              "400\n300"}),
    [](const ::testing::TestParamInfo<TCase> &info) {
      std::string name = info.param.Name;
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });

TEST(TranscodeRun, NearLosslessReencodeKeepsEveryFrameAndThePicture) {
  fixtures::TTempDir dir;
  const std::string out = dir / "q.mkv";
  ASSERT_EQ(
      Convert("-i " + Quote(Clip()) + " -vcodec mpeg4 -qscale 2 -acodec libvorbis", out).ExitCode,
      0);
  EXPECT_EQ(fixtures::Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=nb_read_frames -of csv=p=0 " +
                          Quote(out))
                .Output,
            "50\n");
  const auto psnr =
      fixtures::Run("ffmpeg -nostdin -v info -i " + Quote(out) + " -i " + Quote(Clip()) +
                    " -lavfi psnr -f null - 2>&1 | grep -o 'average:[0-9.]*'");
  ASSERT_EQ(psnr.Output.rfind("average:", 0), 0u) << psnr.Output;
  EXPECT_GT(std::stod(psnr.Output.substr(8)), 40.0);
}

TEST(TranscodeRun, AudioEndsWithTheVideoWithinOneAudioFrame) {
  fixtures::TTempDir dir;
  const std::string out = dir / "sync.mp4";
  ASSERT_EQ(Convert("-i " + Quote(Clip()) + " -vcodec mpeg4 -acodec aac", out).ExitCode, 0);
  EXPECT_NEAR(Duration(out, "a:0"), Duration(out, "v:0"), 1024.0 / 44100);
}

TEST(TranscodeRun, TwoPassUsesTheFirstPassStatistics) {
  fixtures::TTempDir dir;
  const std::string log = dir / "stats";
  const std::string args =
      "-i " + Quote(Clip()) + " -vcodec mpeg4 -b 200k -passlogfile " + Quote(log) + " -pass ";
  ASSERT_EQ(Convert(args + "1 -an", dir / "pass1.avi").ExitCode, 0);
  ASSERT_GT(std::filesystem::file_size(log + "-0.log"), 0u);
  const auto r = Convert(args + "2 -acodec libmp3lame", dir / "pass2.avi");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(DecodeErrors(dir / "pass2.avi"), "");
  EXPECT_EQ(Probe(dir / "pass2.avi", "stream=codec_name", "v:0"), "mpeg4");
}

TEST(TranscodeRun, LibX264PresetsReachTheEncoder) {
  fixtures::TTempDir dir;
  std::vector<std::string> settings;
  for (const char *preset : {"libx264-ipod", "libx264-default"}) {
    const std::string out = dir / (std::string(preset) + ".mp4");
    ASSERT_EQ(
        Convert("-i " + Quote(Clip()) + " -vcodec libx264 -vpre " + preset + " -an", out).ExitCode,
        0);
    settings.push_back(
        fixtures::Run("strings " + Quote(out) + " | grep -o 'x264 - core.*'").Output);
    EXPECT_NE(settings.back().find("x264 - core"), std::string::npos);
  }
  // The iPod settings are baseline-profile: no CABAC.
  EXPECT_NE(settings[0].find("cabac=0"), std::string::npos) << settings[0];
  EXPECT_NE(settings[1].find("cabac=1"), std::string::npos) << settings[1];
}

TEST(TranscodeRun, JoinOfThreeClipsAddsTheirDurations) {
  fixtures::TTempDir dir;
  const std::string clip = fixtures::Clip(1.0, 160, 120, 25);
  const std::string out = dir / "joined.mp4";
  const auto r = Convert("-i " + Quote(clip) + " -i " + Quote(clip) + " -i " + Quote(clip) +
                             " -join -vcodec mpeg4 -acodec aac",
                         out);
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_NEAR(Duration(out, "v:0"), 3.0, 0.05);
  EXPECT_NEAR(Duration(out, "a:0"), 3.0, 0.05);
  EXPECT_EQ(Probe(out, "stream=nb_frames", "v:0"), "75");
}

TEST(TranscodeRun, VariableRateInputKeepsItsTimesInAVariableRateFormat) {
  fixtures::TTempDir dir;
  // 25 pictures at 25 fps, then 25 more at 12.5 fps.
  const std::string vfr = fixtures::Make(
      "vfr-2.96s.mkv",
      "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
      "-vf setpts='if(lt(N\\,25)\\,N*0.04\\,1+(N-25)*0.08)/TB' -c:v mpeg4 -fps_mode vfr");
  const auto frames = [](const std::string &file) {
    return fixtures::Run(
               "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=nb_read_frames -of csv=p=0 " +
               Quote(file))
        .Output;
  };
  ASSERT_EQ(frames(vfr), "50\n");
  ASSERT_EQ(Convert("-i " + Quote(vfr) + " -vcodec mpeg4", dir / "vfr.mkv").ExitCode, 0);
  ASSERT_EQ(Convert("-i " + Quote(vfr) + " -vcodec mpeg4", dir / "cfr.avi").ExitCode, 0);
  EXPECT_EQ(frames(dir / "vfr.mkv"), "50\n");  // never duplicated
  EXPECT_EQ(frames(dir / "cfr.avi"), "73\n");  // the slow half filled up to 25 fps
  EXPECT_NEAR(std::stod(Probe(dir / "vfr.mkv", "format=duration")), 2.96, 0.05);
}

}  // namespace

namespace {

TEST(TranscodeRun, TextSubtitlesAreDecodedAndEncodedAgain) {
  fixtures::TTempDir dir;
  {
    std::ofstream srt(dir / "s.srt");
    srt << "1\n00:00:00,500 --> 00:00:01,500\nHello\n\n2\n00:00:01,600 --> 00:00:01,900\nWorld\n";
  }
  const std::string input = dir / "subs.mkv";
  ASSERT_EQ(fixtures::Run("ffmpeg -nostdin -v error -i " + Quote(Clip()) + " -i " +
                          Quote(dir / "s.srt") + " -map 0 -map 1 -c copy " + Quote(input))
                .ExitCode,
            0);
  const std::string out = dir / "out.mkv";
  const auto r =
      Convert("-i " + Quote(input) + " -vcodec mpeg4 -acodec libmp3lame -scodec ass", out);
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(DecodeErrors(out), "");
  const auto packets = Lines(fixtures::Run("ffprobe -v error -select_streams s -show_entries "
                                           "packet=pts,duration -of csv=p=0 " +
                                           Quote(out))
                                 .Output);
  ASSERT_EQ(packets.size(), 2u);
  const auto field = [](const std::string &line, int i) {
    return std::stoll(i ? line.substr(line.find(',') + 1) : line.substr(0, line.find(',')));
  };
  EXPECT_EQ(field(packets[0], 1), 1000);  // milliseconds shown
  EXPECT_EQ(field(packets[1], 1), 300);
  EXPECT_EQ(field(packets[1], 0) - field(packets[0], 0), 1100);
}

}  // namespace

namespace {

// A path of about `bytes` bytes in `dir`, made of folders of at most 200 bytes.
std::string LongPath(const std::filesystem::path &dir, size_t bytes) {
  std::filesystem::path path = dir;
  while (path.string().size() + 210 < bytes) path /= std::string(200, 'd');
  std::filesystem::create_directories(path);
  const size_t left = bytes - path.string().size() - 1;
  return (path / (std::string(left - 4, 'n') + ".mkv")).string();
}

TEST(TranscodeRun, LongOutputNamesConvertToTheFullNameOrAreRefused) {
  fixtures::TTempDir dir;
  const std::string fits = LongPath(dir.Path(), 1100);
  const auto ok = Convert("-v -1 -i " + Quote(Clip()), fits);
  EXPECT_EQ(ok.ExitCode, 0) << ok.Output;
  EXPECT_EQ(Probe(fits, "stream=codec_type", "v:0"), "video");
  const std::string tooLong = LongPath(dir.Path(), 2100);
  const auto refused = Convert("-v -1 -i " + Quote(Clip()), tooLong);
  EXPECT_NE(refused.ExitCode, 0);
  EXPECT_NE(refused.Output.find("File name is too long"), std::string::npos) << refused.Output;
}

TEST(TranscodeRun, RelativeInputNameWithAColonIsALocalFile) {
  fixtures::TTempDir dir;
  std::filesystem::copy_file(Clip(), dir / "take:1.mp4");
  const auto r = fixtures::Run("cd " + Quote(dir.Path()) + " && " + MORVANE_ENGINE_EXE +
                               " -v -1 -i take:1.mp4 out.mkv");
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Probe(dir / "out.mkv", "stream=codec_type", "v:0"), "video");
}

// An input whose reads fail half-way (a terminal whose other side went away answers reads with
// an I/O error) ends the run as a failure with that reason; what was converted stays readable.
TEST(TranscodeRun, ReadErrorHalfWayIsAFailureWithItsReason) {
  fixtures::TTempDir dir;
  const std::string ts = fixtures::Make(
      "engine-4s.ts", "-f lavfi -i testsrc=size=160x120:rate=25:duration=4 -c:v mpeg2video");
  std::ifstream in(ts, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const int reader = posix_openpt(O_RDWR | O_NOCTTY);  // inherited by the engine
  ASSERT_GE(reader, 0);
  ASSERT_EQ(grantpt(reader), 0);
  ASSERT_EQ(unlockpt(reader), 0);
  const int writer = open(ptsname(reader), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  termios raw{};
  tcgetattr(writer, &raw);
  cfmakeraw(&raw);
  tcsetattr(writer, TCSANOW, &raw);
  std::thread feed([&] {
    for (size_t done = 0; done < bytes.size() / 2;) {
      const ssize_t n =
          write(writer, bytes.data() + done, std::min<size_t>(4096, bytes.size() / 2 - done));
      if (n <= 0) break;
      done += n;
    }
    close(writer);
  });
  const std::string out = dir / "out.mkv";
  const auto r = Convert("-v -1 -i pipe:" + std::to_string(reader), out);
  feed.join();
  close(reader);
  EXPECT_NE(r.ExitCode, 0) << r.Output;
  EXPECT_NE(r.Output.find("I/O error"), std::string::npos) << r.Output;
  EXPECT_EQ(DecodeErrors(out), "");
}

}  // namespace
