// The 24-bit bitmap the engine hands to the custom hook and to the preview, and the callback types
// that receive it.  The bitmap belongs to the engine and is valid only during a call.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Bottom-up order does not matter to anyone here: rows are stored top to bottom, each row holds
// Width pixels of blue, green, red bytes padded to a multiple of four bytes (the classic DIB
// layout, which drawing code written for device-independent bitmaps expects).
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

// Called for every decoded frame while a hook is set; Update = false keeps the frame as it was,
// StopHook = true switches the hook off for the rest of the run.
using TCustomHookCallback = std::function<void(void *Sender, TBitmap *Bitmap, int32_t FrameNumber,
                                               int64_t PTS, bool &Update, bool &StopHook)>;
// Called at most once per preview period with the frame about to be written.
using TPreviewBitmapCallback =
    std::function<void(void *Sender, TBitmap *Bitmap, int32_t FrameNumber, int64_t PTS)>;
