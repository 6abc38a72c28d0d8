#include "editors/decoration/PixelEffects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

using TByteTable = std::array<uint8_t, 256>;

uint8_t ClampByte(int64_t value) {
  return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
}

// Nearest integer, ties to the even one, whatever rounding mode the thread runs with.
int64_t RoundHalfEven(long double value) {
  const long double whole = std::floor(value);
  const long double rest = value - whole;
  auto result = static_cast<int64_t>(whole);
  if (rest > 0.5L || (rest == 0.5L && result % 2 != 0)) ++result;
  return result;
}

// Replaces `count` bytes by their table entries; four look-ups before the four stores, so that
// the loads need not wait for the stores.
void MapRow(uint8_t *__restrict p, int count, const uint8_t *__restrict table) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const uint8_t a = table[p[i]], b = table[p[i + 1]], c = table[p[i + 2]], d = table[p[i + 3]];
    p[i] = a;
    p[i + 1] = b;
    p[i + 2] = c;
    p[i + 3] = d;
  }
  for (; i < count; ++i) p[i] = table[p[i]];
}

TByteTable ExposureTable(float exposure) {
  const long double e = std::isnan(exposure) ? 0.0f : std::clamp(exposure, -255.0f, 512.0f);
  TByteTable table;
  for (int i = 0; i < 256; ++i) {
    const long double t = (i / -128.0L) * (e / 128.0L);
    const int64_t k = RoundHalfEven((1.0L - std::exp(t)) * 256.0L);
    const int64_t v = e >= 0 ? i + ((k * (255 - i)) >> 8) : i - (((-k) * (255 - i)) >> 8);
    table[i] = ClampByte(v);
  }
  return table;
}

// Brightness followed by contrast around 170, as one table.
TByteTable ColorTable(int brightness, int contrast) {
  // The two constants differ on purpose: the darkening side keeps the rounded 0.015708 of the
  // established look.  At -100 it lands a hair past the right angle (a tiny negative factor),
  // and every value still rounds to 170.
  const long double f = contrast > 0 ? 1.0L / std::cos(contrast * 0.015707963267948967L)
                                     : std::cos(contrast * 0.015708L);
  TByteTable contrastTable;
  for (int i = 0; i < 256; ++i) contrastTable[i] = ClampByte(RoundHalfEven((i - 170) * f + 170));
  TByteTable table;
  for (int i = 0; i < 256; ++i) {
    const int j = (brightness * i - brightness + 256) / 256;  // truncates toward zero
    table[i] = contrastTable[ClampByte(j)];
  }
  return table;
}

// The colour adjustment, with `after` (when given) applied to every resulting byte in the same
// pass.
void MapColors(TBitmap &bitmap, int brightness, int contrast, int saturation,
               const TByteTable *after) {
  brightness = std::clamp(brightness, 0, 512);
  saturation = std::clamp(saturation, 0, 512);
  // At 100 the contrast factor would be 1 / cos(pi / 2): 99 is the steepest usable slope.
  contrast = std::clamp(contrast, -100, 99);
  const TByteTable table = ColorTable(brightness, contrast);

  // Saturation: each channel moves away from (or towards) the pixel's grey average.
  std::array<int16_t, 256> weight;
  for (int j = 0; j < 256; ++j) weight[j] = static_cast<int16_t>(((j + 1) * saturation) >> 8);
  std::array<int16_t, 766> grey;
  for (int s = 0; s < 766; ++s) grey[s] = static_cast<int16_t>(s / 3 - weight[s / 3]);

  // A saturated channel (grey + weight) runs from -257 to 767 with saturations up to 512: one
  // table clamps it and applies the colour table (and `after`) at once.
  constexpr int lowest = -257;
  std::array<uint8_t, 767 - lowest + 1> output;
  for (int v = lowest; v <= 767; ++v) {
    const uint8_t c = table[ClampByte(v)];
    output[v - lowest] = after ? (*after)[c] : c;
  }

  const int width = bitmap.Width();
  for (int row = 0; row < bitmap.Height(); ++row) {
    uint8_t *p = bitmap.ScanLine(row);
    for (int x = 0; x < width; ++x, p += 3) {
      const int b = p[0], g = p[1], r = p[2];
      const int base = grey[b + g + r] - lowest;
      p[0] = output[base + weight[b]];
      p[1] = output[base + weight[g]];
      p[2] = output[base + weight[r]];
    }
  }
}

}  // namespace

void AdjustExposure(TBitmap &bitmap, float exposure) {
  const TByteTable table = ExposureTable(exposure);
  for (int row = 0; row < bitmap.Height(); ++row)
    MapRow(bitmap.ScanLine(row), bitmap.Width() * 3, table.data());
}

void AdjustColors(TBitmap &bitmap, int brightness, int contrast, int saturation) {
  MapColors(bitmap, brightness, contrast, saturation, nullptr);
}

void ApplyEffects(TBitmap &bitmap, int brightness, int contrast, int saturation, int exposure) {
  const bool colors = brightness != 255 || contrast != 0 || saturation != 255;
  if (colors && exposure != 0) {
    const TByteTable after = ExposureTable(static_cast<float>(exposure));
    MapColors(bitmap, brightness, contrast, saturation, &after);
  } else if (colors) {
    AdjustColors(bitmap, brightness, contrast, saturation);
  } else if (exposure != 0) {
    AdjustExposure(bitmap, static_cast<float>(exposure));
  }
}

void BlendImage(TBitmap &dest, const TBitmap &source, int x, int y, int opacity, int style) {
  // The covered rectangle, in source coordinates; a position left of or above the frame cuts
  // the source instead of writing before the frame's first byte.
  const int left = std::max(0, -x), top = std::max(0, -y);
  const int columns = std::min(source.Width(), dest.Width() - x);
  const int rows = std::min(source.Height(), dest.Height() - y);
  if (columns <= left || rows <= top) return;

  const int alpha = std::clamp(opacity, 0, 255);
  const int bytes = (columns - left) * 3;
  for (int r = top; r < rows; ++r) {
    const uint8_t *s = source.ScanLine(r) + left * 3;
    uint8_t *d = dest.ScanLine(y + r) + (x + left) * 3;
    if (style == 1) {
      for (int i = 0; i < bytes; ++i)
        d[i] = static_cast<uint8_t>(((256 - alpha) * d[i] + alpha * s[i]) >> 8);
    } else {
      for (int i = 0; i < bytes; ++i) d[i] = static_cast<uint8_t>(s[i] * d[i] / 255);
    }
  }
}
