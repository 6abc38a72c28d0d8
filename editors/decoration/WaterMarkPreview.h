// The watermark window's decoration of its preview: the values of its controls drawn on every
// frame the player hands over, with the row's crop outlined.  The window changes the values on
// its own thread while the player decorates on its decoding thread.
#pragma once

#include <mutex>
#include <string>

#include "editors/WaterMarkValues.h"
#include "services/Bitmap.h"

class TWaterMarkPreview {
 public:
  // The controls' values for the next frames.
  void SetValues(const TWaterMarkValues &values);
  // The part of the picture the row's crop keeps (margins in source pixels).
  void SetCrop(int top, int left, int bottom, int right);
  // The picture is read again for the next frame that draws one.
  void FreeImage();
  // No picture drawn yet: the picture is read again and its last position is 0, 0.
  void ClearImage();
  // No text drawn yet: its last position is 0, 0.
  void ClearText();

  // Where the last frame drew the text and the picture (0, 0 before any frame).
  TMarkPoint LastText() const;
  TMarkPoint LastImage() const;

  // Decorates one frame: the values' text, effects and picture in the order of their flags,
  // then the crop outline just inside the kept part.
  void Decorate(TBitmap &frame);

 private:
  // The picture of `name`, read once per name; empty when it cannot be read.
  const TBitmap *Picture(const std::string &name);

  mutable std::mutex FLock;
  TWaterMarkValues FValues;
  int FCropTop = 0, FCropLeft = 0, FCropBottom = 0, FCropRight = 0;
  TMarkPoint FLastText, FLastImage;
  TBitmap FPicture;
  std::string FPictureName;  // the file FPicture was read from; empty: none read
};
