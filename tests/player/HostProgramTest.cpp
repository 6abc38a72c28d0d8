// A host that converts and previews in one program (the main window does both) includes the
// encoder component's header and the player's header in one source file.
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "player/FFPlay.h"
#include "services/FFmpegLoader.h"
#include "services/RgbConverter.h"
#include "services/component/FFmpegVCL.h"

namespace {

// One drawing routine serves the conversion hook and the preview hook alike.
void Stamp(TBitmap *bitmap) {
  for (int y = 0; y < bitmap->Height(); ++y) bitmap->ScanLine(y)[0] = 255;
}

TEST(HostProgram, ComponentAndPlayerHandOutTheSameBitmap) {
  static_assert(std::is_same_v<decltype(THookInfo::Bitmap), TBitmap *>);
  TCustomHookEvent conversionHook = [](TCustomFFmpegVCL *, PHookInfo info) { Stamp(info->Bitmap); };
  THookEvent previewHook = [](TCustomPlayer *, TBitmap *bitmap, int64_t) { Stamp(bitmap); };
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  THookInfo info;
  info.Bitmap = &bitmap;
  conversionHook(nullptr, &info);
  EXPECT_EQ(bitmap.ScanLine(1)[0], 255);
  bitmap.SetSize(3, 2);
  previewHook(nullptr, &bitmap, 0);
  EXPECT_EQ(bitmap.ScanLine(1)[0], 255);
}

// The one converter keeps the last column of an odd-width picture (the scaler's fast path works
// on pixel pairs and would leave it black).
TEST(HostProgram, ConverterFillsTheLastColumnOfOddWidths) {
  ASSERT_TRUE(FFLoader().LoadLibs(PlayerLibs)) << FFLoader().LastErrMsg();
  TFramePtr frame(ff::av_frame_alloc());
  frame->width = 321;
  frame->height = 241;
  frame->format = AV_PIX_FMT_YUV420P;
  ASSERT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
  for (int p = 0; p < 3; ++p) {
    const int rows = p ? (frame->height + 1) / 2 : frame->height;
    for (int y = 0; y < rows; ++y)
      std::memset(frame->data[p] + y * frame->linesize[p], p ? 128 : 235, frame->linesize[p]);
  }
  TRgbConverter converter;
  ASSERT_TRUE(converter.ToBitmap(frame.get()));
  const TBitmap &bitmap = converter.Bitmap();
  ASSERT_EQ(bitmap.Width(), 321);
  for (int y : {0, 120, 240})
    for (int c = 0; c < 3; ++c) EXPECT_GT(bitmap.ScanLine(y)[320 * 3 + c], 200) << "row " << y;
}

}  // namespace
