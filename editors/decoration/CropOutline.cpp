#include "editors/decoration/CropOutline.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t Green[3] = {0, 128, 0};  // blue, green, red

void FillRect(TBitmap &frame, int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, frame.Width());
  bottom = std::min(bottom, frame.Height());
  for (int y = top; y < bottom; ++y) {
    uint8_t *pixel = frame.ScanLine(y) + left * 3;
    for (int x = left; x < right; ++x, pixel += 3) std::memcpy(pixel, Green, 3);
  }
}

}  // namespace

void OutlineCropArea(TBitmap &frame, int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  FillRect(frame, left - 1, top - 1, right + 1, top + 1);        // top line
  FillRect(frame, left - 1, bottom - 1, right + 1, bottom + 1);  // bottom line
  FillRect(frame, left - 1, top - 1, left + 1, bottom + 1);      // left line
  FillRect(frame, right - 1, top - 1, right + 1, bottom + 1);    // right line
}

void OutlineRowCrop(TBitmap &frame, const TlvFilesRecord &r) {
  OutlineCropArea(frame, r.CropLeft, r.CropTop, frame.Width() - r.CropRight,
                  frame.Height() - r.CropBottom);
}
