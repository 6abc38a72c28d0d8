#include "editors/decoration/FrameDecoration.h"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstring>

#include "editors/decoration/MarkText.h"
#include "editors/decoration/PixelEffects.h"
#include "services/FFmpegLogger.h"
#include "workspace/SourceFile.h"

namespace {

bool DrawText(TBitmap &frame, const TDecorationParams &p) {
  return p.MarkText.empty() ||
         DrawMarkText(frame, p.MarkText, p.MarkFont, p.MarkTextX, p.MarkTextY);
}

void DrawEffects(TBitmap &frame, const TDecorationParams &p) {
  ApplyEffects(frame, p.Brightness, p.Contrast, p.Saturation, p.Exposure);
}

void DrawImage(TBitmap &frame, const TDecorationParams &p) {
  if (p.MarkImage)
    BlendImage(frame, *p.MarkImage, p.MarkImageX, p.MarkImageY, p.MarkImageAlpha, p.MarkImageStyle);
}

// Copies the decoration values of a row; the picture is left to the caller.
TDecorationParams ParamsOf(const TlvFilesRecord &r) {
  TDecorationParams p;
  p.Brightness = r.Brightness;
  p.Contrast = r.Contrast;
  p.Saturation = r.Saturation;
  p.Exposure = r.Exposure;
  p.MarkText = r.MarkText;
  p.MarkFont = r.MarkFont;
  p.MarkTextX = r.MarkTextX;
  p.MarkTextY = r.MarkTextY;
  p.MarkImageX = r.MarkImageX;
  p.MarkImageY = r.MarkImageY;
  p.MarkImageAlpha = r.MarkImageAlpha;
  p.MarkImageStyle = r.MarkImageStyle;
  p.EffectOnText = r.EffectOnText;
  p.EffectOnImage = r.EffectOnImage;
  return p;
}

}  // namespace

bool DecorateFrame(TBitmap &frame, const TDecorationParams &p) {
  bool textDrawn = true;
  if (p.EffectOnText && !p.EffectOnImage) {
    textDrawn = DrawText(frame, p);
    DrawEffects(frame, p);
    DrawImage(frame, p);
  } else if (!p.EffectOnText && p.EffectOnImage) {
    DrawImage(frame, p);
    DrawEffects(frame, p);
    textDrawn = DrawText(frame, p);
  } else if (p.EffectOnText && p.EffectOnImage) {
    textDrawn = DrawText(frame, p);
    DrawImage(frame, p);
    DrawEffects(frame, p);
  } else {
    DrawEffects(frame, p);
    textDrawn = DrawText(frame, p);
    DrawImage(frame, p);
  }
  return textDrawn;
}

bool LoadMarkPicture(const std::string &fileName, TBitmap &picture, std::string &error) {
  // Read on the window thread (the editor's preview, Start): a pipe would never let it go.
  if (std::string why = SourceFileRefusal(fileName); !why.empty()) {
    error = std::move(why);
    return false;
  }
  QImageReader reader(QString::fromStdString(fileName));
  QImage image = reader.read();
  if (image.isNull()) {
    error = reader.errorString().toStdString();
    return false;
  }
  if (image.hasAlphaChannel()) {
    // Keep the colours as they are stored instead of letting the conversion darken them by
    // their alpha.
    image.convertTo(QImage::Format_ARGB32);
    image.reinterpretAsFormat(QImage::Format_RGB32);
  }
  image.convertTo(QImage::Format_BGR888);
  picture.SetSize(image.width(), image.height());
  for (int row = 0; row < image.height(); ++row)
    std::memcpy(picture.ScanLine(row), image.constScanLine(row), image.width() * 3);
  return true;
}

TRowDecoration::TRowDecoration(const TlvFilesRecord &record, TReportEvent report)
    : FParams(ParamsOf(record)), FReport(std::move(report)) {
  if (record.MarkImage.empty()) return;
  std::string error;
  if (LoadMarkPicture(record.MarkImage, FPicture, error))
    FParams.MarkImage = &FPicture;
  else
    Report("Cannot read the watermark picture \"" + record.MarkImage + "\" (" + error +
           "); the frames are decorated without it.");
}

void TRowDecoration::Decorate(TBitmap &frame) {
  if (DecorateFrame(frame, FParams) || FTextReported) return;
  FTextReported = true;
  Report(
      "Cannot draw the watermark text without a QGuiApplication; the frames are decorated "
      "without it.");
}

void TRowDecoration::Report(const std::string &message) const {
  if (FReport)
    FReport(message);
  else
    FFLogger().Log(this, TLogLevel::llWarning, message);
}

void DecorateFrame(TBitmap &frame, const TlvFilesRecord &record) {
  TRowDecoration(record).Decorate(frame);
}
