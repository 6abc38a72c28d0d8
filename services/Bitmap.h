// The 24-bit bitmap that the engine hands to its custom hook and preview and the player to its hook
// and snapshot.  The bitmap belongs to the one that hands it out and is valid only during a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Rows are stored top to bottom; each row holds Width pixels of blue, green, red bytes padded to a
// multiple of four bytes (the classic DIB layout, which drawing code for such bitmaps expects).
class TBitmap {
 public:
  void SetSize(int width, int height) {
    FWidth = width;
    FHeight = height;
    FLineSize = ((width * 24 + 31) / 32) * 4;
    FPixels.assign(static_cast<size_t>(FLineSize) * height, 0);
  }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int LineSize() const { return FLineSize; }
  uint8_t *ScanLine(int row) { return FPixels.data() + static_cast<size_t>(row) * FLineSize; }
  const uint8_t *ScanLine(int row) const {
    return FPixels.data() + static_cast<size_t>(row) * FLineSize;
  }

 private:
  int FWidth = 0;
  int FHeight = 0;
  int FLineSize = 0;
  std::vector<uint8_t> FPixels;
};
