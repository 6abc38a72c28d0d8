#include "workspace/StreamLevels.h"

#include <cmath>
#include <iterator>

namespace {

struct TLevelLimits {
  int Level;
  int64_t MacroblocksPerSecond;
  int64_t MacroblocksPerFrame;
  int64_t BitRate;     // bit/s
  int64_t BufferSize;  // bits
};

// H.264 levels (Baseline and Main figures; kbit/s and kbit written out).
constexpr TLevelLimits H264Levels[] = {
    {10, 1485, 99, 64'000, 175'000},
    {11, 3000, 396, 192'000, 500'000},
    {12, 6000, 396, 384'000, 1'000'000},
    {13, 11880, 396, 768'000, 2'000'000},
    {20, 11880, 396, 2'000'000, 2'000'000},
    {21, 19800, 792, 4'000'000, 4'000'000},
    {22, 20250, 1620, 4'000'000, 4'000'000},
    {30, 40500, 1620, 10'000'000, 10'000'000},
    {31, 108000, 3600, 14'000'000, 14'000'000},
    {32, 216000, 5120, 20'000'000, 20'000'000},
    {40, 245760, 8192, 20'000'000, 25'000'000},
    {41, 245760, 8192, 50'000'000, 62'500'000},
    {42, 522240, 8704, 50'000'000, 62'500'000},
    {50, 589824, 22080, 135'000'000, 135'000'000},
    {51, 983040, 36864, 240'000'000, 240'000'000},
    {52, 2073600, 36864, 240'000'000, 240'000'000},
};

// MPEG-4 Part 2 Simple Profile levels in the order of what they hold; the buffer is counted in
// units of 16384 bits.
constexpr TLevelLimits Mpeg4SimpleLevels[] = {
    {1, 1485, 99, 64'000, 10 * 16384},          {9, 1485, 99, 128'000, 20 * 16384},
    {2, 5940, 396, 128'000, 40 * 16384},        {3, 11880, 396, 384'000, 40 * 16384},
    {4, 36000, 1200, 4'000'000, 80 * 16384},    {5, 40500, 1620, 8'000'000, 112 * 16384},
    {6, 108000, 3600, 12'000'000, 248 * 16384},
};

int64_t Macroblocks(int pixels) {
  return (static_cast<int64_t>(pixels) + 15) / 16;
}

// Whether the level holds the stream; `squareLimit` adds H.264's rule that neither side of the
// frame may exceed the square root of eight times the frame limit (in macroblocks).
bool Holds(const TLevelLimits &l, const TStreamDemand &d, bool squareLimit) {
  const int64_t wide = Macroblocks(d.Width), high = Macroblocks(d.Height);
  const int64_t frame = wide * high;
  if (frame > l.MacroblocksPerFrame) return false;
  if (squareLimit) {
    const double side = std::sqrt(8.0 * static_cast<double>(l.MacroblocksPerFrame));
    if (static_cast<double>(wide) > side || static_cast<double>(high) > side) return false;
  }
  if (d.FrameRate > 0 &&
      static_cast<double>(frame) * d.FrameRate > static_cast<double>(l.MacroblocksPerSecond))
    return false;
  if (d.BitRate > l.BitRate) return false;
  if (d.BufferSize > l.BufferSize) return false;
  return true;
}

template <size_t N>
int LowestLevel(const TLevelLimits (&levels)[N], const TStreamDemand &d, bool squareLimit) {
  for (const TLevelLimits &l : levels)
    if (Holds(l, d, squareLimit)) return l.Level;
  return std::prev(std::end(levels))->Level;
}

}  // namespace

int H264Level(const TStreamDemand &demand) {
  return LowestLevel(H264Levels, demand, true);
}

int Mpeg4SimpleLevel(const TStreamDemand &demand) {
  return LowestLevel(Mpeg4SimpleLevels, demand, false);
}

int64_t Mpeg4SimpleBuffer(int level) {
  for (const TLevelLimits &l : Mpeg4SimpleLevels)
    if (l.Level == level) return l.BufferSize;
  return 0;
}

namespace {

struct THevcLimits {
  int Level;  // general_level_idc
  int64_t LumaPictureSize;
  int64_t LumaSampleRate;
  int64_t BitRate;  // Main tier, bit/s
};

// H.265 levels, Main tier.
constexpr THevcLimits HevcLevels[] = {
    {30, 36'864, 552'960, 128'000},
    {60, 122'880, 3'686'400, 1'500'000},
    {63, 245'760, 7'372'800, 3'000'000},
    {90, 552'960, 16'588'800, 6'000'000},
    {93, 983'040, 33'177'600, 10'000'000},
    {120, 2'228'224, 66'846'720, 12'000'000},
    {123, 2'228'224, 133'693'440, 20'000'000},
    {150, 8'912'896, 267'386'880, 25'000'000},
    {153, 8'912'896, 534'773'760, 40'000'000},
    {156, 8'912'896, 1'069'547'520, 60'000'000},
    {180, 35'651'584, 1'069'547'520, 60'000'000},
    {183, 35'651'584, 2'139'095'040, 120'000'000},
    {186, 35'651'584, 4'278'190'080, 240'000'000},
};

}  // namespace

int HevcLevel(const TStreamDemand &d) {
  const int64_t picture = static_cast<int64_t>(d.Width) * d.Height;
  for (const THevcLimits &l : HevcLevels) {
    // Neither side may exceed the square root of eight times the picture limit.
    const double side = std::sqrt(8.0 * static_cast<double>(l.LumaPictureSize));
    if (picture > l.LumaPictureSize || d.Width > side || d.Height > side) continue;
    if (d.FrameRate > 0 &&
        static_cast<double>(picture) * d.FrameRate > static_cast<double>(l.LumaSampleRate))
      continue;
    if (d.BitRate > l.BitRate) continue;
    return l.Level;
  }
  return std::prev(std::end(HevcLevels))->Level;
}
