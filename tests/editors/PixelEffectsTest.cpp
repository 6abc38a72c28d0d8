// The pixel arithmetic of the decoration: exposure, colours and the picture blend, on frames of a
// few pixels whose expected values were worked out by hand from the formulas.
#include <gtest/gtest.h>

#include "editors/decoration/PixelEffects.h"
#include "tests/editors/BitmapHelpers.h"

using bitmaps::At;
using bitmaps::Grey;
using bitmaps::TPixel;

TEST(PixelEffectsTest, ExposureMapsValuesAsItsTable) {
  struct TCase {
    float Exposure;
    uint8_t In, Out;
  };
  const TCase cases[] = {
      {255, 64, 184}, {255, 16, 68}, {255, 128, 237}, {-255, 64, 0}, {512, 200, 255},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.Exposure << ": " << int(c.In));
    TBitmap frame = Grey(3, 2, c.In);  // 9 bytes and 3 of padding per row
    AdjustExposure(frame, c.Exposure);
    EXPECT_EQ(At(frame, 0, 0), (TPixel{c.Out, c.Out, c.Out}));
    EXPECT_EQ(At(frame, 2, 1), (TPixel{c.Out, c.Out, c.Out}));
    EXPECT_TRUE(bitmaps::PaddingIntact(frame));
  }
}

TEST(PixelEffectsTest, ExposureNeverChangesBlackOrWhite) {
  for (float exposure : {-255.0f, -100.0f, -1.0f, 1.0f, 77.0f, 255.0f, 512.0f}) {
    SCOPED_TRACE(exposure);
    TBitmap frame = bitmaps::Row({{0, 0, 0}, {255, 255, 255}, {0, 255, 0}, {255, 0, 255}});
    const auto before = bitmaps::Bytes(frame);
    AdjustExposure(frame, exposure);
    EXPECT_EQ(bitmaps::Bytes(frame), before);
  }
}

TEST(PixelEffectsTest, ColoursFollowBrightnessContrastAndSaturation) {
  struct TCase {
    const char *What;
    int Brightness, Contrast, Saturation;
    TPixel In, Out;
  };
  const TCase cases[] = {
      // 256 leaves brightness and saturation alone, so the contrast table shows by itself:
      // round((v - 170) / cos(99 * pi / 200) + 170), clamped.
      {"contrast 99", 256, 99, 256, {168, 170, 171}, {43, 170, 234}},
      {"contrast 99, clamped", 256, 99, 256, {167, 169, 172}, {0, 106, 255}},
      {"contrast 100 as 99", 256, 100, 256, {168, 170, 171}, {43, 170, 234}},
      {"contrast 100 as 99, clamped", 256, 100, 256, {167, 169, 172}, {0, 106, 255}},
      {"contrast -100", 256, -100, 256, {0, 128, 255}, {170, 170, 170}},
      {"contrast -100, stored neutrals", 255, -100, 255, {0, 128, 255}, {170, 170, 170}},
      {"saturation 0", 256, 0, 0, {10, 20, 60}, {30, 30, 30}},
      {"saturation 0, blue", 256, 0, 0, {255, 0, 0}, {85, 85, 85}},
      {"saturation 0, near white", 256, 0, 0, {254, 255, 255}, {254, 254, 254}},
      {"saturation 512", 256, 0, 512, {100, 150, 200}, {50, 150, 250}},
      {"saturation 512, clamped", 256, 0, 512, {0, 0, 255}, {0, 0, 255}},
      {"brightness 128", 128, 0, 256, {0, 200, 255}, {0, 100, 128}},
      {"brightness 512", 512, 0, 256, {0, 100, 200}, {0, 199, 255}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.What);
    TBitmap frame = bitmaps::Row({c.In, c.In});
    AdjustColors(frame, c.Brightness, c.Contrast, c.Saturation);
    EXPECT_EQ(At(frame, 0, 0), c.Out);
    EXPECT_EQ(At(frame, 1, 0), c.Out);
    EXPECT_TRUE(bitmaps::PaddingIntact(frame));
  }
}

// The effects step does colours and exposure in one pass; the bytes must be those of the two
// routines one after the other.
TEST(PixelEffectsTest, EffectsStepEqualsColoursThenExposure) {
  struct TCase {
    int Brightness, Contrast, Saturation, Exposure;
  };
  const TCase cases[] = {
      {300, 20, 320, 60}, {0, -100, 0, -255}, {512, 100, 512, 512},
      {255, 0, 255, 40},  {128, -30, 255, 0},
  };
  TBitmap pattern;
  pattern.SetSize(61, 47);
  for (int y = 0; y < pattern.Height(); ++y)
    for (int i = 0; i < pattern.LineSize(); ++i) pattern.ScanLine(y)[i] = (i * 37 + y * 91) & 0xFF;
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.Brightness << " " << c.Contrast << " " << c.Saturation << " " << c.Exposure);
    TBitmap expected = pattern;
    if (c.Brightness != 255 || c.Contrast != 0 || c.Saturation != 255)
      AdjustColors(expected, c.Brightness, c.Contrast, c.Saturation);
    if (c.Exposure != 0) AdjustExposure(expected, static_cast<float>(c.Exposure));
    TBitmap frame = pattern;
    ApplyEffects(frame, c.Brightness, c.Contrast, c.Saturation, c.Exposure);
    EXPECT_EQ(bitmaps::Bytes(frame), bitmaps::Bytes(expected));
  }
}

TEST(PixelEffectsTest, BlendMixesByOpacityOrMultiplies) {
  struct TCase {
    int Style, Opacity;
    TPixel Picture, Out;  // over the frame pixel (10, 100, 250)
  };
  const TPixel frame{10, 100, 250};
  const TCase cases[] = {
      {1, 0, {200, 200, 200}, frame},
      {1, 128, {200, 200, 200}, {105, 150, 225}},
      {1, 255, {200, 200, 200}, {199, 199, 200}},
      // Style 2: white leaves the frame and black blackens it, whatever the opacity.
      {2, 0, {255, 255, 255}, frame},
      {2, 128, {255, 255, 255}, frame},
      {2, 255, {255, 255, 255}, frame},
      {2, 0, {0, 0, 0}, {0, 0, 0}},
      {2, 128, {0, 0, 0}, {0, 0, 0}},
      {2, 255, {0, 0, 0}, {0, 0, 0}},
      {2, 40, {128, 128, 128}, {5, 50, 125}},
      {7, 40, {128, 128, 128}, {5, 50, 125}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "style " << c.Style << ", opacity " << c.Opacity << ", " << c.Picture);
    TBitmap dest = bitmaps::Filled(3, 2, frame);
    BlendImage(dest, bitmaps::Filled(3, 2, c.Picture), 0, 0, c.Opacity, c.Style);
    EXPECT_EQ(At(dest, 0, 0), c.Out);
    EXPECT_EQ(At(dest, 2, 1), c.Out);
    EXPECT_TRUE(bitmaps::PaddingIntact(dest));
  }
}

TEST(PixelEffectsTest, BlendIsClippedAtTheFrameEdges) {
  struct TCase {
    int X, Y, PictureWidth, PictureHeight;
    int Left, Top, Right, Bottom;  // covered frame pixels, right and bottom exclusive
  };
  const TCase cases[] = {
      {0, 0, 3, 3, 0, 0, 3, 3},   {3, 2, 3, 3, 3, 2, 5, 4},  // right and bottom edge
      {4, 3, 3, 3, 4, 3, 5, 4},   {5, 0, 3, 3, 0, 0, 0, 0},  // beyond the right edge
      {0, 4, 3, 3, 0, 0, 0, 0},   {0, 0, 8, 6, 0, 0, 5, 4},  // below; larger than the frame
      {-2, -1, 3, 3, 0, 0, 1, 2},                            // before the left and top edges
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "at " << c.X << "," << c.Y);
    TBitmap frame = Grey(5, 4, 100);
    BlendImage(frame, Grey(c.PictureWidth, c.PictureHeight, 0), c.X, c.Y, 255, 2);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool covered = x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom;
        const uint8_t v = covered ? 0 : 100;
        EXPECT_EQ(At(frame, x, y), (TPixel{v, v, v})) << x << "," << y;
      }
    EXPECT_TRUE(bitmaps::PaddingIntact(frame));
  }
}
