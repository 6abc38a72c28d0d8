// The status line and the final summary of a run, and the quantiser histogram they show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/FFmpegApi.h"

// -10 * log10(d): the PSNR of a normalised squared error.
double PsnrOf(double normalisedError);

// One video output as the status line shows it, in output table order (active streams only).
struct TStatusVideo {
  float Quality = -1;                       // quantiser (lambda / FF_QP2LAMBDA); -1 for stream copy
  bool Psnr = false;                        // PSNR values are available for this stream
  uint64_t FrameError[3] = {};              // the last picture's squared errors (Y, U, V)
  const AVCodecContext *Encoder = nullptr;  // for the accumulated errors in the final report
  int FramesWritten = 0;
};

struct TStatusValues {
  std::vector<TStatusVideo> Videos;  // empty: the line starts with the size part
  int Fps = 0;
  bool Last = false;
  bool QpHist = false;
  double TotalSize = 0;  // bytes
  double Time = 0;       // seconds (ti1)
  double Bitrate = 0;    // kbit/s
  int FramesDup = 0, FramesDrop = 0;
};

// Builds the line (at most 1024 characters).  With QpHist the first video stream's quantiser is
// counted in the process-wide histogram first.
std::string FormatStatusLine(const TStatusValues &values);

// "video:..kB audio:..kB global headers:..kB muxing overhead ..%\r\n"
std::string FormatSummary(int64_t videoSize, int64_t audioSize, int64_t extraSize,
                          int64_t totalSize);

// The process-wide quantiser histogram (52 counters, never reset).
void CountQuantiser(int q);
int QuantiserCount(int q);
