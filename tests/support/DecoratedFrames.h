// Converted frames compared with the source's frames as the frame decoration draws them.  Both
// sides are decoded by the same routine (the ffmpeg tool to 24-bit BGR), so that only the codec's
// error and the decoration separate them.  Shared by the command-line converter's and the main
// window's checks of decorated conversions.
#pragma once

#include <string>

#include "services/Bitmap.h"
#include "workspace/FilesRecord.h"

namespace decoratedframes {

// 2 s of the ffmpeg tool's colourful test picture at 320 x 240 and 25 frames a second, with its
// colours muted: the 4:2:0 pictures on both sides blur the colour of every hard edge, which on
// saturated bars alone costs more than the 35 dB the checks ask for.
std::string MutedClip();

// One width x height frame of `file` as 24-bit BGR: the frame `frame` from the start (counted in
// decoding order), or with `seek` the first frame at or after `seek` seconds.  Throws
// std::runtime_error with the tool's words when there is no such frame of that size.
TBitmap DecodeFrame(const std::string &file, int width, int height, int frame, double seek = -1);

// The peak signal-to-noise ratio of two frames of the same size, in dB (99 when they are equal).
double Psnr(const TBitmap &a, const TBitmap &b);

// How close a converted frame is to its source frame decorated with a row's record, and to the
// source frame as it is.
struct TScores {
  double Decorated = 0, Undecorated = 0;
};

// Frame `frame` of `output` against frame `frame` of `source`, both width x height.
TScores CompareFrame(const std::string &source, const std::string &output, int width, int height,
                     int frame, const TlvFilesRecord &record);

}  // namespace decoratedframes
