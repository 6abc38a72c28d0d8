// End to end through the engine's command line: remuxing, cuts, size limit.
#include <filesystem>

#include "tests/engine/EngineTestSupport.h"

using namespace enginetest;

namespace {

fixtures::TCommandResult Engine(const std::string &args) {
  return fixtures::Run(std::string(MORVANE_ENGINE_EXE) + " " + args);
}

// Stream count and the codec of each kind (MPEG-TS lists its streams under the program too).
std::string Streams(const std::string &file) {
  auto first = [&](const std::string &stream) {
    const std::string all = fixtures::Probe(file, "stream=codec_name", stream);
    return all.substr(0, all.find('\n'));
  };
  return fixtures::Probe(file, "format=nb_streams") + " " + first("v:0") + " " + first("a:0");
}

int Packets(const std::string &file, const std::string &stream) {
  return std::stoi(fixtures::Run("ffprobe -v error -count_packets -select_streams " + stream +
                                 " -show_entries stream=nb_read_packets -of csv=p=0 " +
                                 fixtures::Quote(file))
                       .Output);
}

// The duration of the video stream where the container keeps one, else of the file.
double VideoDuration(const std::string &file) {
  std::string d = fixtures::Probe(file, "stream=duration", "v:0");
  d = d.substr(0, d.find('\n'));
  return d == "N/A" || d.empty() ? ProbeDouble(file, "format=duration") : std::stod(d);
}

}  // namespace

class Remux : public TEngineTest {
 protected:
  fixtures::TTempDir Dir;
};

TEST_F(Remux, StreamCopyKeepsStreamsPacketsAndDuration) {
  const std::string in = GopClip(2);
  const double frame = 1.0 / 25 + 1e-6;  // the AVI muxer counts the reordering delay as a frame
  for (const char *ext : {"mkv", "mov", "ts", "avi"}) {
    const std::string out = Dir / (std::string("out.") + ext);
    const auto r =
        Engine("-i " + fixtures::Quote(in) + " -vcodec copy -acodec copy " + fixtures::Quote(out));
    ASSERT_EQ(r.ExitCode, 0) << ext << "\n" << r.Output;
    EXPECT_EQ(Streams(out), Streams(in)) << ext;
    EXPECT_EQ(Packets(out, "v:0"), Packets(in, "v:0")) << ext;
    EXPECT_EQ(Packets(out, "a:0"), Packets(in, "a:0")) << ext;
    EXPECT_NEAR(VideoDuration(out), VideoDuration(in), frame) << ext;
    EXPECT_NE(r.Output.find("frame="), std::string::npos) << "status line on stderr";
  }
}

TEST_F(Remux, StartAndRecordingTimeCutAtTheRightPlaces) {
  const std::string in = GopClip(3);
  const std::string out = Dir / "cut.mkv";
  const auto r = Engine("-ss 1 -i " + fixtures::Quote(in) + " -t 1 -vcodec copy -acodec copy " +
                        fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  // 1.0 s is a key frame, so the copy starts exactly there.
  EXPECT_NEAR(ProbeDouble(out, "format=duration"), 1.0, 0.05);
  EXPECT_EQ(Packets(out, "v:0"), 25);
  EXPECT_NEAR(ProbeDouble(out, "stream=start_time", "v:0"), 0.0, 0.05);
}

TEST_F(Remux, SizeLimitStopsNearTheLimit) {
  const std::string in = GopClip(3);
  const std::string out = Dir / "limited.ts";
  const auto r = Engine("-i " + fixtures::Quote(in) + " -fs 30000 -vcodec copy -acodec copy " +
                        fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  const auto size = std::filesystem::file_size(out);
  EXPECT_GT(size, 30000u);
  EXPECT_LT(size, 45000u);
  EXPECT_LT(ProbeDouble(out, "format=duration"), 2.5);
}

TEST_F(Remux, FailuresGiveANonZeroExitStatus) {
  const auto missing =
      Engine("-i " + fixtures::Quote(Dir / "missing.mp4") + " " + fixtures::Quote(Dir / "x.mkv"));
  EXPECT_NE(missing.ExitCode, 0);
  EXPECT_NE(missing.Output.find("No such file or directory"), std::string::npos);
  const auto badMap =
      Engine("-i " + fixtures::Quote(GopClip(1)) + " -map 0:9 -map 0:1 -vcodec copy -acodec copy " +
             fixtures::Quote(Dir / "y.mkv"));
  EXPECT_NE(badMap.ExitCode, 0);
  EXPECT_NE(badMap.Output.find("Could not find input stream #0.9"), std::string::npos);
}

TEST_F(Remux, JoinedCopiesFollowEachOther) {
  const std::string in = fixtures::Quote(GopClip(1));
  const std::string out = Dir / "joined.mkv";
  const auto r = Engine("-i " + in + " -i " + in + " -i " + in +
                        " -vcodec copy -acodec copy -join " + fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Packets(out, "v:0"), 3 * Packets(GopClip(1), "v:0"));
  EXPECT_NEAR(ProbeDouble(out, "format=duration"), 3 * VideoDuration(GopClip(1)), 0.05);
  const auto check = fixtures::Run("ffmpeg -v error -i " + fixtures::Quote(out) + " -f null -");
  EXPECT_EQ(check.Output, "") << "timestamps must keep increasing across the joins";
}

TEST_F(Remux, BitstreamFiltersRewriteThePackets) {
  // AVI stores the packets as they come (Matroska and MP4 would convert them back).
  const std::string out = Dir / "annexb.avi";
  const auto r =
      Engine("-i " + fixtures::Quote(GopClip(1)) +
             " -vcodec copy -vbsf h264_mp4toannexb -acodec copy " + fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  // Annex B packets start with a start code instead of a length field.
  const auto dump = fixtures::Run(
      "ffprobe -v error -select_streams v:0 -read_intervals %+#1 "
      "-show_entries packet=data -show_data " +
      fixtures::Quote(out));
  EXPECT_NE(dump.Output.find("00000000: 0000 0001"), std::string::npos) << dump.Output;
  EXPECT_EQ(Packets(out, "v:0"), Packets(GopClip(1), "v:0"));
}

TEST_F(Remux, MetadataAndUnicodeNames) {
  const std::filesystem::path in = Dir.Path() / "eingabe-\xc3\xbc\xc3\x9f.mp4";
  std::filesystem::copy_file(GopClip(1), in);
  const std::string out = (Dir.Path() / "ausgabe-\xc3\xbc\xc3\x9f.mkv").string();
  const auto r = Engine("-i " + fixtures::Quote(in.string()) +
                        " -metadata title=Hallo -vcodec copy -acodec copy " + fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(fixtures::Probe(out, "format_tags=title"), "Hallo");
}

TEST_F(Remux, FirstPassWritesItsLogFile) {
  std::filesystem::current_path(Dir.Path());
  const auto r = Engine("-i " + fixtures::Quote(GopClip(1)) + " -vcodec mpeg4 -pass 1 -an " +
                        fixtures::Quote(Dir / "pass1.avi"));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ASSERT_TRUE(std::filesystem::exists(Dir / "ffmpeg2pass-0.log"));
  EXPECT_GT(std::filesystem::file_size(Dir / "ffmpeg2pass-0.log"), 100u);
}

TEST_F(Remux, AFrameLimitEndsTheRun) {
  const std::string out = Dir / "ten.mkv";
  const auto r = Engine("-i " + fixtures::Quote(GopClip(2)) +
                        " -vframes 10 -vcodec copy -acodec copy " + fixtures::Quote(out));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(Packets(out, "v:0"), 10);
  EXPECT_LT(ProbeDouble(out, "format=duration"), 0.6);
}
