// Small 24-bit frames for the decoration tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "services/Bitmap.h"

namespace bitmaps {

struct TPixel {
  uint8_t B, G, R;
  bool operator==(const TPixel &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const TPixel &p) {
  return os << "(" << int(p.B) << "," << int(p.G) << "," << int(p.R) << ")";
}

// Every pixel the same; the row padding is filled with 0xA5 so that a stray write shows.
inline TBitmap Filled(int width, int height, TPixel pixel) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t *p = bitmap.ScanLine(y);
    for (int i = width * 3; i < bitmap.LineSize(); ++i) p[i] = 0xA5;
    for (int x = 0; x < width; ++x) {
      p[3 * x] = pixel.B;
      p[3 * x + 1] = pixel.G;
      p[3 * x + 2] = pixel.R;
    }
  }
  return bitmap;
}

inline TBitmap Grey(int width, int height, uint8_t value) {
  return Filled(width, height, {value, value, value});
}

// One row of pixels, as given.
inline TBitmap Row(const std::vector<TPixel> &pixels) {
  TBitmap bitmap = Filled(static_cast<int>(pixels.size()), 1, {0, 0, 0});
  for (size_t x = 0; x < pixels.size(); ++x) {
    bitmap.ScanLine(0)[3 * x] = pixels[x].B;
    bitmap.ScanLine(0)[3 * x + 1] = pixels[x].G;
    bitmap.ScanLine(0)[3 * x + 2] = pixels[x].R;
  }
  return bitmap;
}

inline TPixel At(const TBitmap &bitmap, int x, int y) {
  const uint8_t *p = bitmap.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

// Every byte of the frame, padding included.
inline std::vector<uint8_t> Bytes(const TBitmap &bitmap) {
  const uint8_t *first = bitmap.ScanLine(0);
  return {first, first + static_cast<size_t>(bitmap.LineSize()) * bitmap.Height()};
}

// The padding bytes of every row are still 0xA5.
inline bool PaddingIntact(const TBitmap &bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int i = bitmap.Width() * 3; i < bitmap.LineSize(); ++i)
      if (bitmap.ScanLine(y)[i] != 0xA5) return false;
  return true;
}

}  // namespace bitmaps
