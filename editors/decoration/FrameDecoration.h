// The frame decoration: colour effects, a watermark text and a watermark picture drawn onto the
// 24-bit frames of the editors' previews and of a conversion, in the order the two "effects
// over" flags choose.  One implementation for every place that decorates.
#pragma once

#include <functional>
#include <string>

#include "services/Bitmap.h"
#include "workspace/FilesRecord.h"

// What one decoration draws: a row's values, or the effects editor's controls while it previews.
struct TDecorationParams {
  int Brightness = 255;  // 255, 0, 255: no colour adjustment
  int Contrast = 0;
  int Saturation = 255;
  int Exposure = 0;      // 0: no exposure change
  std::string MarkText;  // empty: no text
  TMarkFont MarkFont;
  int MarkTextX = 0, MarkTextY = 0;
  const TBitmap *MarkImage = nullptr;  // the decoded picture; nullptr or empty: no picture
  int MarkImageX = 0, MarkImageY = 0;
  int MarkImageAlpha = 168;
  int MarkImageStyle = 1;
  bool EffectOnText = false;   // the effects also change the text
  bool EffectOnImage = false;  // the effects also change the picture
};

// Runs the text, effects and picture steps on `frame` in the order the flags select: text,
// effects, picture with only EffectOnText; picture, effects, text with only EffectOnImage; text,
// picture, effects with both; effects, text, picture with neither.  False when a text was asked
// for but could not be drawn (no QGuiApplication); the other steps are done all the same.
bool DecorateFrame(TBitmap &frame, const TDecorationParams &params);

// Reads a picture file (BMP, or any other format the GUI library reads) as a 24-bit bitmap; an
// alpha channel is dropped, as when a 32-bit bitmap is made 24-bit.  On failure returns false
// with the reason in `error`.
bool LoadMarkPicture(const std::string &fileName, TBitmap &picture, std::string &error);

// The decoration of one row's conversion (what the conversion's frame hook keeps per task): the
// row's values, copied when the conversion starts, and its picture, decoded once instead of for
// every frame.  A picture that
// cannot be read, or a text that cannot be drawn, is reported once; the frames go on without it.
class TRowDecoration {
 public:
  using TReportEvent = std::function<void(const std::string &message)>;

  // Reports through `report`, or when none is given as a warning through the logger.
  explicit TRowDecoration(const TlvFilesRecord &record, TReportEvent report = {});
  TRowDecoration(const TRowDecoration &) = delete;
  TRowDecoration &operator=(const TRowDecoration &) = delete;

  // Decorates one frame in place.  Called on the conversion thread, one frame at a time.
  void Decorate(TBitmap &frame);

 private:
  void Report(const std::string &message) const;

  TDecorationParams FParams;
  TBitmap FPicture;
  TReportEvent FReport;
  bool FTextReported = false;
};

// Decorates one frame with a row's values, reading the picture for this frame alone (single
// frames and reference pictures; a conversion keeps a TRowDecoration instead).
void DecorateFrame(TBitmap &frame, const TlvFilesRecord &record);
