// The values of the watermark window's controls without the widgets: the picture adjustments,
// the watermark text with its font and position, and the watermark picture with its position,
// opacity and style; what a row's record gives them when the window shows, and what "Ok" stores.
#pragma once

#include <string>

#include "workspace/FilesRecord.h"

// A position in frame pixels.
struct TMarkPoint {
  int X = 0, Y = 0;
  bool operator==(const TMarkPoint &) const = default;
};

struct TWaterMarkValues {
  static constexpr int NoFontSize = 7;      // the text's size while no size is chosen
  static constexpr int ClearedAlpha = 125;  // the opacity "Clear Image" sets

  std::string Text;
  TMarkFont Font;                  // the font the text is drawn in
  bool FontChosen = false;         // the font, size and colour lists show the font (a stored text)
  int TextHorz = 0, TextVert = 0;  // percent of the frame, 0..100
  std::string Image;
  int ImageHorz = 0, ImageVert = 0;
  int ImageAlpha = 0;  // 0..255
  int ImageStyle = 2;  // 1: mixed by opacity; 2: multiplied
  int Brightness = 255, Contrast = 0, Saturation = 255, Exposure = 0;
  bool EffectOnText = false, EffectOnImage = false;

  // The controls as the window shows a row's record.
  static TWaterMarkValues FromRecord(const TlvFilesRecord &record);
  // What "Ok" stores, with the text's and the picture's last positions in frame pixels (as the
  // preview placed them; 0, 0 when it drew no frame yet).
  void Store(TlvFilesRecord &record, TMarkPoint lastText, TMarkPoint lastImage) const;

  // The position of a mark on a frame: the percentages of the frame's size, truncated.
  static TMarkPoint Position(int frameWidth, int frameHeight, int horz, int vert);
  // The effects neither change nor draw anything.
  void ResetEffects();
};
