#include "editors/WaterMarkValues.h"

#include <algorithm>

TWaterMarkValues TWaterMarkValues::FromRecord(const TlvFilesRecord &r) {
  TWaterMarkValues v;
  // A percentage or opacity of 0 or less shows as 0.
  v.TextHorz = std::max(0, r.MarkTextHorzPos);
  v.TextVert = std::max(0, r.MarkTextVertPos);
  v.ImageHorz = std::max(0, r.MarkImageHorzPos);
  v.ImageVert = std::max(0, r.MarkImageVertPos);
  v.ImageAlpha = std::max(0, r.MarkImageAlpha);
  v.ImageStyle = r.MarkImageStyle == 1 ? 1 : 2;
  v.Brightness = r.Brightness;
  v.Contrast = r.Contrast;
  v.Saturation = r.Saturation;
  v.Exposure = r.Exposure;
  v.EffectOnText = r.EffectOnText;
  v.EffectOnImage = r.EffectOnImage;
  v.Text = r.MarkText;
  if (!r.MarkText.empty()) {
    v.Font = r.MarkFont;
    v.FontChosen = true;
  } else {
    v.Font.Size = NoFontSize;
    v.Font.Color = 0;
  }
  v.Image = r.MarkImage;
  return v;
}

void TWaterMarkValues::Store(TlvFilesRecord &r, TMarkPoint lastText, TMarkPoint lastImage) const {
  r.MarkText = Text;
  r.MarkFont = Font;
  // A position the preview could not place (left of or above the frame) is stored as 0.
  const auto place = [](int last, int percent, int &pixels, int &stored) {
    pixels = last < 0 ? 0 : last;
    stored = last < 0 ? 0 : percent;
  };
  place(lastText.X, TextHorz, r.MarkTextX, r.MarkTextHorzPos);
  place(lastText.Y, TextVert, r.MarkTextY, r.MarkTextVertPos);
  place(lastImage.X, ImageHorz, r.MarkImageX, r.MarkImageHorzPos);
  place(lastImage.Y, ImageVert, r.MarkImageY, r.MarkImageVertPos);
  r.MarkImage = Image;
  r.MarkImageAlpha = ImageAlpha;
  r.MarkImageStyle = ImageStyle == 1 ? 1 : 2;
  r.Brightness = Brightness;
  r.Contrast = Contrast;
  r.Saturation = Saturation;
  r.Exposure = Exposure;
  r.EffectOnText = EffectOnText;
  r.EffectOnImage = EffectOnImage;
}

TMarkPoint TWaterMarkValues::Position(int frameWidth, int frameHeight, int horz, int vert) {
  return {frameWidth * horz / 100, frameHeight * vert / 100};
}

void TWaterMarkValues::ResetEffects() {
  Brightness = 255;
  Contrast = 0;
  Saturation = 255;
  Exposure = 0;
  EffectOnText = false;
  EffectOnImage = false;
}
