// The custom hook, the preview callback and the thread setting in real runs of the engine.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

#include "engine/Preview.h"
#include "services/Bitmap.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

using enginetest::TEngineTest;
using enginetest::TLogCapture;
using enginetest::W;

class HookRun : public TEngineTest {
 protected:
  // One second of 160x120 video at 25 fps into an MPEG-4 AVI without audio.
  void AddFiles(TCustomFFmpeg &e) {
    ASSERT_TRUE(e.AddInputFile(W(fixtures::Clip(1.0, 160, 120, 25)))) << e.LastError();
    e.SetOption("vcodec", "mpeg4");
    e.SetOption("an", "");
    ASSERT_EQ(e.AddOutputFile(W(Dir / "out.avi"), false), 1) << e.LastError();
  }
  std::string Decoded() {
    return fixtures::Run(
               "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=nb_read_frames -of csv=p=0 " +
               fixtures::Quote(Dir / "out.avi"))
        .Output;
  }
  // Mean luma of the output, 0 to 255.
  double MeanLuma() {
    const auto r = fixtures::Run("ffprobe -v error -f lavfi -i " +
                                 fixtures::Quote("movie=" + (Dir / "out.avi") + ",signalstats") +
                                 " -show_entries frame_tags=lavfi.signalstats.YAVG -of csv=p=0 "
                                 "-read_intervals %+#1");
    return r.Output.empty() ? -1 : std::stod(r.Output);
  }

  fixtures::TTempDir Dir;
};

TEST_F(HookRun, HookThatRaisesIsCalledForEveryFrameAndChangesNothing) {
  TLogCapture log;
  TCustomFFmpeg e;
  e.Reset();
  std::atomic<int> calls{0};
  e.SetCustomHookCallback([&](TCustomFFmpeg *, TBitmap &bitmap, int32_t, int64_t, bool &, bool &) {
    ++calls;
    std::memset(bitmap.ScanLine(0), 255, bitmap.LineSize());
    throw std::runtime_error("cannot draw");
  });
  AddFiles(e);
  e.StartConvert(false);
  EXPECT_FALSE(e.ErrorOccurred()) << e.ErrorMessage();
  EXPECT_TRUE(e.RanToEnd());
  EXPECT_EQ(calls, 25);
  EXPECT_TRUE(log.Contains("Error occurs OnCustomHook: cannot draw"));
  EXPECT_EQ(Decoded(), "25\n");
}

TEST_F(HookRun, HookDrawsOnTheFramesUntilItStopsItself) {
  TCustomFFmpeg e;
  e.Reset();
  std::atomic<int> calls{0};
  std::vector<int32_t> numbers;
  e.SetCustomHookCallback(
      [&](TCustomFFmpeg *, TBitmap &bitmap, int32_t frame, int64_t, bool &, bool &stop) {
        ++calls;
        numbers.push_back(frame);
        for (int y = 0; y < bitmap.Height(); ++y)
          std::memset(bitmap.ScanLine(y), 255, bitmap.Width() * 3);
        stop = frame == 3;
      });
  AddFiles(e);
  e.StartConvert(false);
  EXPECT_TRUE(e.RanToEnd()) << e.ErrorMessage();
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_GT(MeanLuma(), 230);  // the first frame was painted white
  EXPECT_EQ(Decoded(), "25\n");
}

TEST_F(HookRun, PreviewCallbackIsThrottledByThePeriod) {
  struct TCase {
    int64_t Period;
    int Min, Max;
  } cases[] = {{0, 25, 25}, {3600LL * 1000000, 1, 1}};
  for (const auto &c : cases) {
    TCustomFFmpeg e;
    e.Reset();
    int calls = 0;
    int lastWidth = 0;
    e.SetPreviewPeriod(c.Period);
    e.SetPreviewFlags(PreviewToCallback);
    e.SetPreviewBitmapCallback([&](TCustomFFmpeg *, TBitmap &bitmap, int32_t, int64_t) {
      ++calls;
      lastWidth = bitmap.Width();
    });
    AddFiles(e);
    e.StartConvert(false);
    EXPECT_TRUE(e.RanToEnd()) << e.ErrorMessage();
    EXPECT_GE(calls, c.Min) << c.Period;
    EXPECT_LE(calls, c.Max) << c.Period;
    EXPECT_EQ(lastWidth, 160);
  }
}

TEST_F(HookRun, AutomaticThreadCountConverts) {
  TCustomFFmpeg e;
  e.Reset();
  e.SetThreadCount(0);
  AddFiles(e);
  e.StartConvert(false);
  EXPECT_TRUE(e.RanToEnd()) << e.ErrorMessage();
  EXPECT_EQ(Decoded(), "25\n");
}

}  // namespace
