// The per-file job record of a conversion-list row: what the editors set for one source (trim,
// crop, zoom, colour effects, watermark) and the job builder reads at Start.
#pragma once

#include <cstdint>
#include <string>

// The watermark text's font, as plain values the drawing code turns into its own font object.
struct TMarkFont {
  std::string Name = "MS Sans Serif";
  int Size = 8;        // points
  uint32_t Color = 0;  // 0x00BBGGRR; black
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  bool operator==(const TMarkFont &) const = default;
};

// An inclusive range of whole numbers.
struct TValueRange {
  int Min, Max;
  bool Contains(int value) const { return value >= Min && value <= Max; }
};

// What the window's controls accept; the command-line converter refuses what lies outside.
namespace decorationranges {
inline constexpr TValueRange Brightness{0, 512};   // 255: unchanged
inline constexpr TValueRange Contrast{-100, 100};  // 0: unchanged
inline constexpr TValueRange Saturation{0, 512};   // 255: unchanged
inline constexpr TValueRange Exposure{-255, 512};  // 0: unchanged
inline constexpr TValueRange Position{0, 100};     // per cent of the frame's width or height
inline constexpr TValueRange Opacity{0, 255};      // of the picture
inline constexpr TValueRange FontSize{7, 70};      // points, the size list's entries
inline constexpr TValueRange ImageStyle{1, 2};     // "Transparent style 1" or "2"
}  // namespace decorationranges

struct TlvFilesRecord {
  int AddIndex = 0;
  std::string SourceFile;
  std::string DestFile;
  int DurationSec = 0;
  int64_t TrimStart = 0;          // microseconds; 0 = from the beginning
  int64_t TrimLength = 0;         // microseconds; 0 = no trim
  std::string ZoomMode = "lbox";  // "full", "lbox", "pan" or "center"
  int CropTop = 0, CropLeft = 0, CropBottom = 0, CropRight = 0;  // source pixels
  int CropEditTop = 0, CropEditLeft = 0, CropEditBottom = 0, CropEditRight = 0;
  std::string MarkText;
  TMarkFont MarkFont;
  int MarkTextX = 0, MarkTextY = 0;
  int MarkTextHorzPos = 0, MarkTextVertPos = 0;
  std::string MarkImage;
  int MarkImageX = 0, MarkImageY = 0;
  int MarkImageHorzPos = 0, MarkImageVertPos = 0;
  int MarkImageAlpha = 168;
  int MarkImageStyle = 1;
  int Brightness = 255;  // 255 = unchanged
  int Contrast = 0;      // 0 = unchanged
  int Saturation = 255;  // 255 = unchanged
  int Exposure = 0;      // 0 = unchanged
  bool EffectOnText = false;
  bool EffectOnImage = false;
  bool operator==(const TlvFilesRecord &) const = default;
};
