#include "editors/decoration/WaterMarkPreview.h"

#include "editors/decoration/CropOutline.h"
#include "editors/decoration/FrameDecoration.h"

void TWaterMarkPreview::SetValues(const TWaterMarkValues &values) {
  std::lock_guard lock(FLock);
  FValues = values;
}

void TWaterMarkPreview::SetCrop(int top, int left, int bottom, int right) {
  std::lock_guard lock(FLock);
  FCropTop = top;
  FCropLeft = left;
  FCropBottom = bottom;
  FCropRight = right;
}

void TWaterMarkPreview::FreeImage() {
  std::lock_guard lock(FLock);
  FPicture = TBitmap();
  FPictureName.clear();
}

void TWaterMarkPreview::ClearImage() {
  FreeImage();
  std::lock_guard lock(FLock);
  FLastImage = {};
}

void TWaterMarkPreview::ClearText() {
  std::lock_guard lock(FLock);
  FLastText = {};
}

TMarkPoint TWaterMarkPreview::LastText() const {
  std::lock_guard lock(FLock);
  return FLastText;
}

TMarkPoint TWaterMarkPreview::LastImage() const {
  std::lock_guard lock(FLock);
  return FLastImage;
}

const TBitmap *TWaterMarkPreview::Picture(const std::string &name) {
  // The preview shows what "Ok" stores: no picture without a file name.
  if (name.empty()) return nullptr;
  if (name != FPictureName) {
    std::string error;
    if (!LoadMarkPicture(name, FPicture, error)) FPicture = TBitmap();
    FPictureName = name;
  }
  return FPicture.Width() > 0 ? &FPicture : nullptr;
}

void TWaterMarkPreview::Decorate(TBitmap &frame) {
  std::lock_guard lock(FLock);
  const TWaterMarkValues &v = FValues;
  TDecorationParams p;
  p.Brightness = v.Brightness;
  p.Contrast = v.Contrast;
  p.Saturation = v.Saturation;
  p.Exposure = v.Exposure;
  p.EffectOnText = v.EffectOnText;
  p.EffectOnImage = v.EffectOnImage;
  if (!v.Text.empty()) {
    FLastText = TWaterMarkValues::Position(frame.Width(), frame.Height(), v.TextHorz, v.TextVert);
    p.MarkText = v.Text;
    p.MarkFont = v.Font;
    p.MarkTextX = FLastText.X;
    p.MarkTextY = FLastText.Y;
  }
  FLastImage = TWaterMarkValues::Position(frame.Width(), frame.Height(), v.ImageHorz, v.ImageVert);
  p.MarkImage = Picture(v.Image);
  p.MarkImageX = FLastImage.X;
  p.MarkImageY = FLastImage.Y;
  p.MarkImageAlpha = v.ImageAlpha;
  p.MarkImageStyle = v.ImageStyle;
  DecorateFrame(frame, p);
  OutlineCropArea(frame, FCropLeft + 1, FCropTop + 1, frame.Width() - FCropRight - 2,
                  frame.Height() - FCropBottom - 2);
}
