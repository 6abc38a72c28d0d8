// The decoration as the previews and the conversion run it: neutral values, the order of the
// three steps, the text step's placement and colours, and the picture read once per conversion.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "editors/decoration/FrameDecoration.h"
#include "editors/decoration/MarkText.h"
#include "tests/editors/BitmapHelpers.h"
#include "tests/support/Fixtures.h"
#include "tests/support/PipeRescue.h"

using bitmaps::At;
using bitmaps::Grey;
using bitmaps::TPixel;

namespace {

// Bounding box of the pixels that differ from `background`; empty (Right <= Left) when none do.
struct TInk {
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
  bool Empty() const { return Right < Left; }
};
TInk InkOf(const TBitmap &frame, TPixel background) {
  TInk ink;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x)
      if (!(At(frame, x, y) == background)) {
        ink.Left = std::min(ink.Left, x);
        ink.Top = std::min(ink.Top, y);
        ink.Right = std::max(ink.Right, x + 1);
        ink.Bottom = std::max(ink.Bottom, y + 1);
      }
  return ink;
}

}  // namespace

TEST(FrameDecorationTest, NeutralValuesLeaveEveryByteUnchanged) {
  TBitmap frame;
  frame.SetSize(7, 5);  // 21 bytes and 3 of padding per row
  std::mt19937 random(13);
  for (int y = 0; y < frame.Height(); ++y)
    for (int i = 0; i < frame.LineSize(); ++i) frame.ScanLine(y)[i] = random() & 0xFF;
  const auto before = bitmaps::Bytes(frame);

  DecorateFrame(frame, TDecorationParams{});
  EXPECT_EQ(bitmaps::Bytes(frame), before);
  TRowDecoration(TlvFilesRecord{}).Decorate(frame);
  EXPECT_EQ(bitmaps::Bytes(frame), before);
}

// A white text over the left part of a grey frame, a picture over its middle, and brightness 0
// as the effect (it turns every byte into 1): what stays bright shows which steps came after
// the effects and which step was drawn last.
TEST(FrameDecorationTest, FlagsChooseTheOrderOfTheSteps) {
  const int pictureLeft = 40, pictureRight = 56;
  const TBitmap picture = Grey(pictureRight - pictureLeft, 48, 200);
  struct TLook {
    bool TextOutside;    // white text bytes outside the picture
    bool OutsideFlat;    // everything outside the picture is 1
    bool PictureShown;   // the picture area holds only the blend of the picture (199, 200)
    bool TextOnPicture;  // white text bytes inside the picture area
    bool PictureFlat;    // the picture area is all 1
    bool operator==(const TLook &) const = default;
  };
  struct TCase {
    bool EffectOnText, EffectOnImage;
    const char *Order;
    TLook Look;
  };
  const TCase cases[] = {
      {false, false, "effects, text, picture", {true, false, true, false, false}},
      {true, false, "text, effects, picture", {false, true, true, false, false}},
      {false, true, "picture, effects, text", {true, false, false, true, false}},
      {true, true, "text, picture, effects", {false, true, false, false, true}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Order);
    TDecorationParams p;
    p.Brightness = 0;
    p.MarkText = "AgAg";
    p.MarkFont.Name = "DejaVu Sans";
    p.MarkFont.Size = 24;
    p.MarkFont.Bold = true;
    p.MarkFont.Color = 0xFFFFFF;
    p.MarkTextX = 2;
    p.MarkTextY = 2;
    p.MarkImage = &picture;
    p.MarkImageX = pictureLeft;
    p.MarkImageAlpha = 255;
    p.MarkImageStyle = 1;
    p.EffectOnText = c.EffectOnText;
    p.EffectOnImage = c.EffectOnImage;
    TBitmap frame = Grey(96, 48, 100);
    ASSERT_TRUE(DecorateFrame(frame, p));

    TLook look{false, true, true, false, true};
    for (int y = 0; y < frame.Height(); ++y)
      for (int x = 0; x < frame.Width() * 3; ++x) {
        const uint8_t v = frame.ScanLine(y)[x];
        if (x / 3 >= pictureLeft && x / 3 < pictureRight) {
          look.TextOnPicture |= v == 255;
          look.PictureShown &= v == 199 || v == 200;
          look.PictureFlat &= v == 1;
        } else {
          look.TextOutside |= v == 255;
          look.OutsideFlat &= v == 1;
        }
      }
    EXPECT_EQ(look, c.Look) << look.TextOutside << look.OutsideFlat << look.PictureShown
                            << look.TextOnPicture << look.PictureFlat;
  }
}

TEST(FrameDecorationTest, TextIsDrawnFromItsTopLeftCornerInTheFontsColour) {
  TMarkFont font;
  font.Name = "DejaVu Sans";
  font.Size = 20;
  font.Color = 0x0000FF;  // red
  const TPixel black{0, 0, 0};

  TBitmap frame = bitmaps::Filled(200, 60, black);
  ASSERT_TRUE(DrawMarkText(frame, "Hi", font, 10, 15));
  const TInk ink = InkOf(frame, black);
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.Left, 10);
  EXPECT_GE(ink.Top, 15);  // (x, y) is the corner of the line, not its baseline
  EXPECT_LT(ink.Top, 15 + 12);
  bool fullRed = false;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) {
      const TPixel p = At(frame, x, y);
      EXPECT_TRUE(p.B == 0 && p.G == 0) << x << "," << y;
      fullRed |= p.R == 255;
    }
  EXPECT_TRUE(fullRed);
  EXPECT_TRUE(bitmaps::PaddingIntact(frame));

  // A larger size gives taller letters.
  TBitmap larger = bitmaps::Filled(200, 60, black);
  font.Size = 30;
  DrawMarkText(larger, "Hi", font, 10, 15);
  const TInk largerInk = InkOf(larger, black);
  EXPECT_GT(largerInk.Bottom - largerInk.Top, ink.Bottom - ink.Top);
}

TEST(FrameDecorationTest, TextIsCutAtTheFrameEdges) {
  TMarkFont font;
  font.Size = 20;
  font.Color = 0xFFFFFF;
  const TPixel black{0, 0, 0};
  struct TCase {
    int X, Y;
    bool Visible;
  };
  for (const TCase c : {TCase{200, 10, false}, TCase{10, 60, false}, TCase{190, 50, true}}) {
    SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
    TBitmap frame = bitmaps::Filled(200, 60, black);
    DrawMarkText(frame, "Wide text", font, c.X, c.Y);
    const TInk ink = InkOf(frame, black);
    EXPECT_EQ(!ink.Empty(), c.Visible);
    if (c.Visible) {
      EXPECT_GE(ink.Top, c.Y);
    }
    EXPECT_TRUE(bitmaps::PaddingIntact(frame));
  }
}

// The conversion hook decorates on the conversion thread, not on the one that made the
// application.
TEST(FrameDecorationTest, DecoratesOnAnotherThreadAsOnTheMainThread) {
  TlvFilesRecord record;
  record.MarkText = "Thread";
  record.MarkFont.Size = 18;
  record.MarkFont.Color = 0x00FF00;
  record.MarkTextX = 4;
  record.MarkTextY = 4;
  record.Contrast = 30;
  record.EffectOnText = true;
  TRowDecoration decoration(record);
  TBitmap here = Grey(120, 40, 60);
  decoration.Decorate(here);
  TBitmap there = Grey(120, 40, 60);
  std::thread([&] { decoration.Decorate(there); }).join();
  EXPECT_NE(bitmaps::Bytes(here), bitmaps::Bytes(Grey(120, 40, 60)));
  EXPECT_EQ(bitmaps::Bytes(there), bitmaps::Bytes(here));
}

class MarkPictureTest : public testing::Test {
 protected:
  // A 3 x 2 picture: red, green, blue over white, black, grey.
  std::string WritePicture(const std::string &name) {
    QImage image(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                            qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(128, 128, 128)};
    for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, colours[i]);
    const std::string path = Dir / name;
    EXPECT_TRUE(image.save(QString::fromStdString(path), "BMP"));
    return path;
  }
  fixtures::TTempDir Dir;
};

TEST_F(MarkPictureTest, PictureIsReadOnceWithItsColoursInFrameOrder) {
  TlvFilesRecord record;
  record.MarkImage = WritePicture("mark.bmp");
  record.MarkImageX = 1;
  record.MarkImageY = 1;
  record.MarkImageStyle = 2;  // over white the frame takes the picture's own values
  int reports = 0;
  TRowDecoration decoration(record, [&](const std::string &) { ++reports; });

  TBitmap frame = Grey(5, 4, 255);
  decoration.Decorate(frame);
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(At(frame, 1, 1), (TPixel{0, 0, 255}));  // red: blue, green, red bytes
  EXPECT_EQ(At(frame, 2, 1), (TPixel{0, 255, 0}));
  EXPECT_EQ(At(frame, 3, 1), (TPixel{255, 0, 0}));
  EXPECT_EQ(At(frame, 1, 2), (TPixel{255, 255, 255}));
  EXPECT_EQ(At(frame, 2, 2), (TPixel{0, 0, 0}));
  EXPECT_EQ(At(frame, 3, 2), (TPixel{128, 128, 128}));
  EXPECT_EQ(At(frame, 0, 0), (TPixel{255, 255, 255}));

  // The same as reading the file for every frame, with opacity and effects over the picture;
  // and still so once the file is gone, since it was read when the conversion started.
  record.MarkImageStyle = 1;
  record.MarkImageAlpha = 168;
  record.Exposure = 100;
  record.EffectOnImage = true;
  TRowDecoration mixed(record, [&](const std::string &) { ++reports; });
  TBitmap reloaded = Grey(5, 4, 90);
  DecorateFrame(reloaded, record);
  TBitmap once = Grey(5, 4, 90);
  mixed.Decorate(once);
  EXPECT_EQ(bitmaps::Bytes(once), bitmaps::Bytes(reloaded));
  std::filesystem::remove(record.MarkImage);
  TBitmap later = Grey(5, 4, 90);
  mixed.Decorate(later);
  EXPECT_EQ(bitmaps::Bytes(later), bitmaps::Bytes(reloaded));
  EXPECT_EQ(reports, 0);
}

// A picture with an alpha channel keeps its stored colours, as a 32-bit bitmap made 24-bit does.
TEST_F(MarkPictureTest, AlphaChannelIsDropped) {
  QImage image(2, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(255, 0, 0, 0));
  image.setPixel(1, 0, qRgba(0, 200, 100, 128));
  const std::string path = Dir / "alpha.png";
  ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  TBitmap picture;
  std::string error;
  ASSERT_TRUE(LoadMarkPicture(path, picture, error)) << error;
  EXPECT_EQ(At(picture, 0, 0), (TPixel{0, 0, 255}));
  EXPECT_EQ(At(picture, 1, 0), (TPixel{100, 200, 0}));
}

// A watermark picture that is a named pipe is refused without being opened: the editor's
// preview and Start read the picture on the window thread, which would wait for a writer.
TEST_F(MarkPictureTest, APipeIsRefusedWithoutBeingOpened) {
  const std::string fifo = Dir / "mark.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TPipeRescue rescue(fifo, std::chrono::seconds(10));
  TBitmap picture;
  std::string error;
  EXPECT_FALSE(LoadMarkPicture(fifo, picture, error));
  EXPECT_FALSE(rescue.Rescued()) << "the pipe was opened";
  EXPECT_NE(error.find("is a named pipe"), std::string::npos) << error;
}

TEST_F(MarkPictureTest, UnreadablePictureIsReportedOnceAndTheOtherStepsStillApply) {
  const std::string notAPicture = Dir / "notes.bmp";
  std::ofstream(notAPicture) << "not a picture";
  for (const std::string &file : {Dir / "missing.bmp", notAPicture}) {
    SCOPED_TRACE(file);
    TlvFilesRecord record;
    record.MarkImage = file;
    record.Brightness = 0;  // every byte becomes 1
    std::vector<std::string> reports;
    TRowDecoration decoration(record, [&](const std::string &m) { reports.push_back(m); });
    for (int i = 0; i < 3; ++i) {
      TBitmap frame = Grey(4, 2, 90);
      decoration.Decorate(frame);
      EXPECT_EQ(At(frame, 3, 1), (TPixel{1, 1, 1}));
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(file), std::string::npos) << reports[0];
  }
}
