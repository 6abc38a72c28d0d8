// The level a video stream has to claim for what it carries.  A decoder sizes its buffers and
// its speed by the level written in the stream: a stream that claims less than its frame size,
// frame rate or bit rate need is refused or stutters on the device it was made for.
#pragma once

#include <cstdint>

// What one video stream carries.  Rates of 0 are unknown and count for nothing.
struct TStreamDemand {
  int Width = 0;
  int Height = 0;
  double FrameRate = 0;    // frames per second
  int64_t BitRate = 0;     // the highest rate the stream may reach, bit/s
  int64_t BufferSize = 0;  // the decoder buffer the rate control works with, bits
};

// level_idc (10, 11, 12, 13, 20, ... 52) of the lowest H.264 level whose frame size, macroblock
// rate, bit rate and buffer limits hold the stream (Main and Baseline figures, which a High
// profile stream meets too); 52 when none does.
int H264Level(const TStreamDemand &demand);

// Level of the MPEG-4 Part 2 Simple Profile as the encoder writes it into the profile and level
// indication (1, 9 for L0b, 2, 3, 4 for L4a, 5, 6); the largest when none holds the stream.
int Mpeg4SimpleLevel(const TStreamDemand &demand);
// The video buffer (VBV) of a Simple Profile level, in bits; 0 for an unknown level.
int64_t Mpeg4SimpleBuffer(int level);

// general_level_idc of the lowest H.265 Main tier level (30 times the level: 30, 60, 63, 90, 93,
// 120, 123, 150, 153, 156, 180, 183, 186) whose picture size, luma sample rate and bit rate
// limits hold the stream; 186 when none does.
int HevcLevel(const TStreamDemand &demand);
