// Pure picture arithmetic of the display: subtitle colours and blending, output rectangles.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "player/SubtitleDecoder.h"
#include "player/VideoOutput.h"

namespace {

uint32_t YUVA(int y, int u, int v, int a) {
  return (static_cast<uint32_t>(a) << 24) | (y << 16) | (u << 8) | v;
}

// A 4x4 planar YUV 4:2:0 picture filled with studio black.
struct TSmallPicture {
  std::array<uint8_t, 16> Y;
  std::array<uint8_t, 4> U;
  std::array<uint8_t, 4> V;
  TSmallPicture() {
    Y.fill(16);
    U.fill(128);
    V.fill(128);
  }
  void Blend(const AVSubtitleRect &rect) {
    uint8_t *planes[3] = {Y.data(), U.data(), V.data()};
    const int linesizes[3] = {4, 2, 2};
    BlendSubtitleRect(planes, linesizes, 4, 4, rect);
  }
};

}  // namespace

TEST(PictureMathTest, PaletteColoursBecomeStudioRangeYUV) {
  struct TCase {
    uint32_t RGBA;
    uint32_t Expected;
  };
  const TCase cases[] = {
      {0xFFFFFFFF, YUVA(235, 128, 128, 255)},
      {0x80000000, YUVA(16, 128, 128, 128)},
      {0xFFFF0000, YUVA(81, 90, 240, 255)},
      {0x00000000, YUVA(16, 128, 128, 0)},
  };
  for (const auto &c : cases) EXPECT_EQ(RGBAToYUVA(c.RGBA), c.Expected) << std::hex << c.RGBA;
}

TEST(PictureMathTest, SubtitleBlendsByItsAlphaInsideItsRectangleOnly) {
  struct TCase {
    int Alpha;
    uint8_t Luma;
    uint8_t U;
  };
  const TCase cases[] = {{255, 235, 200}, {128, 125, 164}, {0, 16, 128}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Alpha);
    std::vector<uint8_t> indexes(4, 0);
    uint32_t palette[1] = {YUVA(235, 200, 60, c.Alpha)};
    AVSubtitleRect rect{};
    rect.x = 1;
    rect.y = 1;
    rect.w = 2;
    rect.h = 2;
    rect.nb_colors = 1;
    rect.data[0] = indexes.data();
    rect.data[1] = reinterpret_cast<uint8_t *>(palette);
    rect.linesize[0] = 2;
    TSmallPicture picture;
    picture.Blend(rect);
    EXPECT_EQ(picture.Y[1 * 4 + 1], c.Luma);
    EXPECT_EQ(picture.Y[2 * 4 + 2], c.Luma);
    EXPECT_EQ(picture.Y[0], 16);
    EXPECT_EQ(picture.Y[3 * 4 + 3], 16);
    // Each chroma block holds one covered pixel.
    for (uint8_t u : picture.U) EXPECT_EQ(u, c.U);
  }
}

TEST(PictureMathTest, SubtitleReachingOutOfThePictureIsClipped) {
  std::vector<uint8_t> indexes(4 * 4, 0);
  uint32_t palette[1] = {YUVA(235, 128, 128, 255)};
  AVSubtitleRect rect{};
  rect.x = 3;
  rect.y = -2;
  rect.w = 4;
  rect.h = 4;
  rect.data[0] = indexes.data();
  rect.data[1] = reinterpret_cast<uint8_t *>(palette);
  rect.linesize[0] = 4;
  TSmallPicture picture;
  picture.Blend(rect);
  EXPECT_EQ(picture.Y[0 * 4 + 3], 235);
  EXPECT_EQ(picture.Y[1 * 4 + 3], 235);
  EXPECT_EQ(picture.Y[2 * 4 + 3], 16);
  EXPECT_EQ(picture.Y[0 * 4 + 2], 16);
}

TEST(PictureMathTest, PictureIsFittedAndCentredInTheOutputArea) {
  struct TCase {
    int W, H;
    double Aspect;
    SDL_Rect Expected;
  };
  const TCase cases[] = {
      {640, 480, 16.0 / 9.0, {0, 60, 640, 360}},
      {640, 480, 4.0 / 3.0, {0, 0, 640, 480}},
      {640, 480, 1.0, {80, 0, 480, 480}},
      {320, 240, 2.35, {0, 52, 320, 136}},
  };
  for (const auto &c : cases) {
    const SDL_Rect r = TVideoOutput::FitRect(c.W, c.H, c.Aspect);
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}),
              (std::array{c.Expected.x, c.Expected.y, c.Expected.w, c.Expected.h}))
        << c.Aspect;
  }
}
