// What the editors' previews draw on a frame: the crop outline, and the watermark window's
// controls through the shared decoration.
#include <gtest/gtest.h>

#include <QImage>

#include "editors/decoration/CropOutline.h"
#include "editors/decoration/FrameDecoration.h"
#include "editors/decoration/WaterMarkPreview.h"
#include "tests/editors/BitmapHelpers.h"
#include "tests/support/Fixtures.h"

using bitmaps::At;
using bitmaps::Grey;
using bitmaps::TPixel;

namespace {

constexpr TPixel Green{0, 128, 0};
constexpr TPixel Background{90, 90, 90};

// The pixels of a frame that are not `background`.
int Changed(const TBitmap &frame, TPixel background) {
  int count = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) count += !(At(frame, x, y) == background);
  return count;
}

}  // namespace

TEST(CropOutlineTest, RowCropIsOutlinedTwoPixelsWideOnTheKeptPartsEdges) {
  TBitmap frame = Grey(40, 30, 90);
  TlvFilesRecord record;
  record.CropLeft = 10;
  record.CropTop = 6;
  record.CropRight = 8;
  record.CropBottom = 4;
  OutlineRowCrop(frame, record);
  // The left line covers the pixel before and the pixel on the edge.
  EXPECT_EQ(At(frame, 9, 15), Green);
  EXPECT_EQ(At(frame, 10, 15), Green);
  EXPECT_EQ(At(frame, 8, 15), Background);
  EXPECT_EQ(At(frame, 11, 15), Background);
  EXPECT_EQ(At(frame, 31, 15), Green);  // the right edge is at 40 - 8
  EXPECT_EQ(At(frame, 20, 5), Green);   // top
  EXPECT_EQ(At(frame, 20, 26), Green);  // bottom edge at 30 - 4
  EXPECT_EQ(At(frame, 20, 15), Background);
  EXPECT_TRUE(bitmaps::PaddingIntact(frame));
}

TEST(CropOutlineTest, UncroppedOutlineIsCutAtTheFrameEdges) {
  TBitmap frame = Grey(13, 9, 90);
  OutlineRowCrop(frame, TlvFilesRecord{});
  EXPECT_EQ(At(frame, 0, 4), Green);
  EXPECT_EQ(At(frame, 12, 4), Green);
  EXPECT_EQ(At(frame, 6, 0), Green);
  EXPECT_EQ(At(frame, 6, 8), Green);
  EXPECT_EQ(At(frame, 1, 4), Background);
  EXPECT_TRUE(bitmaps::PaddingIntact(frame));
}

TEST(WaterMarkPreviewTest, NeutralValuesShowTheFrameWithOnlyTheCropOutline) {
  TWaterMarkPreview preview;
  TWaterMarkValues values;
  values.ImageAlpha = 200;
  preview.SetValues(values);
  TBitmap frame = Grey(60, 40, 90);
  preview.Decorate(frame);
  // The outline from (1, 1) to (58, 38), two pixels wide: columns 0-1 and 57-58, rows 0-1 and
  // 37-38; nothing else changes.
  const int outline = 2 * 59 * 2 + 2 * 35 * 2;
  EXPECT_EQ(Changed(frame, Background), outline);
  EXPECT_EQ(At(frame, 0, 0), Green);
  EXPECT_EQ(At(frame, 58, 38), Green);
  EXPECT_EQ(At(frame, 59, 39), Background);
  EXPECT_EQ(At(frame, 30, 20), Background);
  EXPECT_EQ(preview.LastText(), TMarkPoint{});
}

// The preview draws through the shared decoration: a frame it decorates equals one that
// DecorateFrame decorates with the same values (apart from the outline, cut off here by
// comparing the inside only).
TEST(WaterMarkPreviewTest, DrawsTheSameAsTheConversionsDecoration) {
  fixtures::TTempDir dir;
  const std::string logo = (dir.Path() / "logo.bmp").string();
  QImage image(12, 8, QImage::Format_RGB888);
  image.fill(QColor(200, 40, 10));
  ASSERT_TRUE(image.save(QString::fromStdString(logo), "BMP"));

  TWaterMarkValues values;
  values.Text = "Ab";
  values.Font.Size = 14;
  values.Font.Color = 0xFFFFFF;
  values.TextHorz = 10;
  values.TextVert = 20;
  values.Image = logo;
  values.ImageHorz = 50;
  values.ImageVert = 50;
  values.ImageAlpha = 160;
  values.ImageStyle = 1;
  values.Brightness = 300;
  values.Saturation = 100;
  values.EffectOnText = true;
  TWaterMarkPreview preview;
  preview.SetValues(values);
  TBitmap shown = Grey(80, 60, 90);
  preview.Decorate(shown);
  EXPECT_EQ(preview.LastText(), (TMarkPoint{8, 12}));
  EXPECT_EQ(preview.LastImage(), (TMarkPoint{40, 30}));

  TlvFilesRecord record;
  values.Store(record, preview.LastText(), preview.LastImage());
  TBitmap converted = Grey(80, 60, 90);
  DecorateFrame(converted, record);
  int differing = 0;
  for (int y = 2; y < 57; ++y)
    for (int x = 2; x < 77; ++x) differing += !(At(shown, x, y) == At(converted, x, y));
  EXPECT_EQ(differing, 0);
  EXPECT_GT(Changed(converted, Background), 0);

  // The picture path emptied by hand: the preview draws what "Ok" would store, no picture.
  values.Image.clear();
  preview.SetValues(values);
  TBitmap withoutPicture = Grey(80, 60, 90);
  preview.Decorate(withoutPicture);
  EXPECT_NE(At(withoutPicture, 45, 33), At(shown, 45, 33));
}
