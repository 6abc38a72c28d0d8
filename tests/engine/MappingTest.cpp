// Stream mapping: which input stream feeds each output stream, and the set-up refusals.
#include <filesystem>

#include "tests/engine/EngineTestSupport.h"

using namespace enginetest;

namespace {

// Two audio streams: a short one (fewer frames) first, a longer one second.
std::string TwoAudioClip() {
  return fixtures::Make("engine-two-audio.mp4",
                        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=0.3 "
                        "-f lavfi -i sine=frequency=880:sample_rate=44100:duration=1 "
                        "-map 0 -map 1 -c:a aac -b:a 64k");
}

std::string AudioOnlyClip() {
  return fixtures::Make("engine-audio-only.m4a",
                        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -c:a aac");
}

// Runs the engine synchronously; returns its error message (empty on success).
std::string RunEngine(TCustomFFmpeg &e) {
  e.StartConvert(false);
  return e.ErrorOccurred() ? e.ErrorMessage() : std::string();
}

}  // namespace

class Mapping : public TEngineTest {
 protected:
  fixtures::TTempDir Dir;
  TLogCapture Log;
  TCustomFFmpeg E;
  void SetUp() override {
    TEngineTest::SetUp();
    E.Reset();
  }
  void AddCopyOutput(const std::string &name) {
    E.SetOption("vcodec", "copy");
    E.SetOption("acodec", "copy");
    ASSERT_GT(E.AddOutputFile(W(Dir / name), false), 0) << E.LastError();
  }
};

TEST_F(Mapping, EachOutputStreamTakesTheInputStreamOfItsKind) {
  ASSERT_TRUE(E.AddInputFile(W(GopClip(1))));
  AddCopyOutput("out.mkv");
  EXPECT_EQ(RunEngine(E), "");
  EXPECT_TRUE(Log.Contains("  Stream #0.0 -> #0.0 (Video)")) << Log.All();
  EXPECT_TRUE(Log.Contains("  Stream #0.1 -> #0.1 (Audio)"));
  EXPECT_FALSE(Log.Contains("[sync"));
}

TEST_F(Mapping, TheMostAnalysedStreamWins) {
  ASSERT_TRUE(E.AddInputFile(W(TwoAudioClip())));
  AddCopyOutput("out.mka");
  EXPECT_EQ(RunEngine(E), "");
  EXPECT_TRUE(Log.Contains("  Stream #0.1 -> #0.0 (Audio)")) << Log.All();
}

TEST_F(Mapping, ASecondOutputReusesAStreamAlreadyTaken) {
  ASSERT_TRUE(E.AddInputFile(W(AudioOnlyClip())));
  AddCopyOutput("a.mka");
  AddCopyOutput("b.mka");
  EXPECT_EQ(RunEngine(E), "");
  EXPECT_TRUE(Log.Contains("  Stream #0.0 -> #0.0 (Audio)")) << Log.All();
  EXPECT_TRUE(Log.Contains("  Stream #0.0 -> #1.0 (Audio)"));
  EXPECT_GT(std::filesystem::file_size(Dir / "b.mka"), 1000u);
}

TEST_F(Mapping, ExplicitMapsAndSyncStreams) {
  ASSERT_TRUE(E.AddInputFile(W(GopClip(1))));
  E.SetOption("map", "0.0");
  E.SetOption("map", "0:1:0:0");
  AddCopyOutput("out.mkv");
  EXPECT_EQ(RunEngine(E), "");
  EXPECT_TRUE(Log.Contains("  Stream #0.1 -> #0.1 (Audio)")) << Log.All();
  EXPECT_TRUE(Log.Contains(" [sync #0.0 (Audio)]"));
}

TEST_F(Mapping, RefusedSetUps) {
  const struct {
    std::vector<std::string> Maps;
    const char *Message;
  } cases[] = {
      {{"0:0"}, "Number of stream maps must match number of output streams"},
      {{"0:1", "0:0"}, "Codec type mismatch for mapping #0.1 (Audio) -> #0.0 (Video)"},
      {{"0:0", "0:7"}, "Could not find input stream #0.7"},
      {{"0:0", "0:1:3:0"}, "Could not find sync stream #3.0"},
  };
  for (const auto &c : cases) {
    TCustomFFmpeg e;
    e.Reset();
    ASSERT_TRUE(e.AddInputFile(W(GopClip(1))));
    for (const auto &m : c.Maps) e.SetOption("map", m);
    e.SetOption("vcodec", "copy");
    e.SetOption("acodec", "copy");
    ASSERT_EQ(e.AddOutputFile(W(Dir / "refused.mkv"), false), 1);
    EXPECT_EQ(RunEngine(e), c.Message);
    EXPECT_FALSE(std::filesystem::exists(Dir / "refused.mkv"));
  }
}

TEST_F(Mapping, NoStreamOfTheProgramIsAnError) {
  ASSERT_TRUE(E.AddInputFile(W(GopClip(1))));
  E.SetOption("programid", "77");  // after the input: it only filters the mapping
  AddCopyOutput("out.mkv");
  EXPECT_EQ(RunEngine(E), "Could not find input stream matching output stream #0.0 (Video)");
}

TEST_F(Mapping, StreamCopyRefusesWhatNeedsDecodedData) {
  {
    E.SetCustomHookCallback([](TCustomFFmpeg *, TBitmap &, int32_t, int64_t, bool &, bool &) {});
    ASSERT_TRUE(E.AddInputFile(W(GopClip(1))));
    AddCopyOutput("hook.mkv");
    EXPECT_EQ(RunEngine(E), "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
  }
  TCustomFFmpeg e;
  e.Reset();
  ASSERT_TRUE(e.AddInputFile(W(AudioOnlyClip())));
  e.SetOption("vol", "512");
  e.SetOption("acodec", "copy");
  ASSERT_EQ(e.AddOutputFile(W(Dir / "vol.mka"), false), 1);
  EXPECT_EQ(RunEngine(e), "-acodec copy and -vol are incompatible (frames are not decoded)");
}

TEST_F(Mapping, PassTwoWithoutItsLogFails) {
  std::filesystem::current_path(Dir.Path());
  ASSERT_TRUE(E.AddInputFile(W(GopClip(1))));
  E.SetOption("vcodec", "mpeg4");
  E.SetOption("pass", "2");
  E.SetOption("an", "");
  ASSERT_EQ(E.AddOutputFile(W(Dir / "out.avi"), false), 1);
  EXPECT_EQ(RunEngine(E),
            "Cannot read file: Error reading log file \"ffmpeg2pass-0.log\" for pass-2 "
            "encoding");
}
