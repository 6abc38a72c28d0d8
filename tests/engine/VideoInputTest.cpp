#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/FrameHook.h"
#include "engine/VideoInput.h"
#include "services/RgbConverter.h"
#include "tests/engine/VideoTestSupport.h"

namespace {

using namespace videotest;

class VideoInput : public ::testing::Test {
 protected:
  void SetUp() override { LoadLibraries(); }

  TVideoInput::TRequest Request(const TVideoInput::THook *hook) {
    TVideoInput::TRequest r;
    r.CustomHook = hook;
    r.Converter = &Converter;
    r.FrameCounter = &Counter;
    return r;
  }

  TRgbConverter Converter;
  int32_t Counter = 0;
};

TEST_F(VideoInput, HookThatRaisesLeavesPicturesUnchangedAndIsCalledAgain) {
  int calls = 0;
  TVideoInput::THook hook = [&](TBitmap &bitmap, int32_t, int64_t, bool &, bool &) {
    ++calls;
    std::memset(bitmap.ScanLine(0), 255, bitmap.LineSize());  // drawn, then failed
    throw std::runtime_error("boom");
  };
  TVideoInput input;
  for (int i = 0; i < 3; ++i) {
    auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 90, 100, 110);
    EXPECT_FALSE(input.Process(picture.get(), i * 40000, Request(&hook)));
    EXPECT_EQ(picture->data[0][0], 90);
    EXPECT_EQ(picture->data[1][0], 100);
  }
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(Counter, 3);
}

TEST_F(VideoInput, HookDrawsIntoThePictureAndCanStopItself) {
  std::vector<int32_t> numbers;
  TVideoInput::THook hook = [&](TBitmap &bitmap, int32_t frame, int64_t, bool &, bool &stop) {
    numbers.push_back(frame);
    for (int y = 0; y < bitmap.Height(); ++y)
      std::memset(bitmap.ScanLine(y), 255, bitmap.Width() * 3);
    stop = frame == 2;
  };
  TVideoInput input;
  auto first = Picture(64, 48, AV_PIX_FMT_YUV420P, 16, 128, 128);
  uint8_t *decoderBuffer = first->data[0];
  TFramePtr decoderRef(ff::av_frame_clone(first.get()));  // the decoder still holds the picture
  EXPECT_FALSE(input.Process(first.get(), 0, Request(&hook)));
  EXPECT_GE(first->data[0][0], 234);  // white in YUV
  EXPECT_EQ(decoderBuffer[0], 16);    // the decoder's buffer was not written into
  auto second = Picture(64, 48, AV_PIX_FMT_YUV420P, 16, 128, 128);
  EXPECT_TRUE(input.Process(second.get(), 40000, Request(&hook)));  // asks to be switched off
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
}

TEST_F(VideoInput, RgbConverterTakesTheFastPathOnlyForEvenPackedBgr) {
  struct TCase {
    int Width, Height;
    AVPixelFormat Format;
    bool Converted;
  } cases[] = {
      {320, 240, AV_PIX_FMT_YUV420P, true},
      {321, 240, AV_PIX_FMT_YUV420P, true},
      {320, 240, AV_PIX_FMT_BGR24, false},
      {321, 241, AV_PIX_FMT_BGR24, true},
  };
  for (const auto &c : cases) {
    // Pure red: Y 81, U 90, V 240 in YUV; 0, 0, 255 in BGR.
    auto picture = c.Format == AV_PIX_FMT_BGR24 ? Picture(c.Width, c.Height, c.Format, 0, 0, 255)
                                                : Picture(c.Width, c.Height, c.Format, 81, 90, 240);
    if (c.Format == AV_PIX_FMT_BGR24 && !c.Converted) {
      // Make the rows exactly as long as the bitmap's so that they can be copied as they are.
      ASSERT_EQ(picture->linesize[0] % 4, 0);
      if (picture->linesize[0] != c.Width * 3) GTEST_SKIP() << "padded rows";
    }
    TRgbConverter converter;
    ASSERT_TRUE(converter.ToBitmap(picture.get()));
    const std::string label = std::to_string(c.Width) + "x" + std::to_string(c.Height);
    EXPECT_EQ(converter.Converted(), c.Converted) << label;
    const TBitmap &bitmap = converter.Bitmap();
    ASSERT_EQ(bitmap.Width(), c.Width);
    EXPECT_EQ(bitmap.LineSize() % 4, 0);
    const uint8_t *last = bitmap.ScanLine(c.Height - 1) + 3 * (c.Width - 1);
    EXPECT_LE(last[0], 4) << label;
    EXPECT_LE(last[1], 4) << label;
    EXPECT_GE(last[2], 250) << label;
  }
}

TEST_F(VideoInput, DeinterlacingGivesEveryPictureBackAtOnce) {
  TVideoInput input;
  TVideoInput::TRequest request = Request(nullptr);
  request.Deinterlace = true;
  for (int i = 0; i < 3; ++i) {
    // Combing: even lines dark, odd lines bright.
    auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 40, 128, 128);
    for (int y = 1; y < 48; y += 2)
      std::memset(picture->data[0] + y * picture->linesize[0], 220, 64);
    picture->interlaced_frame = 1;
    picture->pts = i;
    input.Process(picture.get(), i * 40000, request);
    EXPECT_EQ(picture->width, 64);
    EXPECT_EQ(picture->pts, i);
    // One field is rebuilt from the other: the comb is gone.
    EXPECT_EQ(picture->data[0][20 * picture->linesize[0] + 10],
              picture->data[0][21 * picture->linesize[0] + 10])
        << i;
  }
}

TEST_F(VideoInput, HookLibrariesAreLoadedByPathAndCalled) {
  TFrameHookList hooks;
  EXPECT_EQ(hooks.Add({}), -2);
  EXPECT_EQ(hooks.Add({"/nonexistent/hook.so"}), -1);
  EXPECT_EQ(hooks.Add({TEST_HOOK_NO_PROCESS}), -2);
  EXPECT_EQ(hooks.Add({TEST_HOOK, "1", "refuse"}), -22);
  ASSERT_EQ(hooks.Add({TEST_HOOK, "77"}), 0);

  TVideoInput input;
  TVideoInput::TRequest request = Request(nullptr);
  request.Hooks = &hooks;
  auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 16, 128, 128);
  TFramePtr decoderRef(ff::av_frame_clone(picture.get()));
  input.Process(picture.get(), 0, request);
  EXPECT_EQ(picture->data[0][5 * picture->linesize[0] + 5], 77);
  EXPECT_EQ(decoderRef->data[0][5 * decoderRef->linesize[0] + 5], 16);
  hooks.Release();
  EXPECT_TRUE(hooks.Empty());
}

}  // namespace
