#include "engine/StatusReport.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr int QuantiserLevels = 52;
constexpr size_t MaxLine = 1024;

std::array<std::atomic<int>, QuantiserLevels> &Histogram() {
  static std::array<std::atomic<int>, QuantiserLevels> histogram{};
  return histogram;
}

void Append(std::string &line, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string &line, const char *fmt, ...) {
  char text[256];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  line += text;
}

void AppendHistogram(std::string &line, float quality) {
  const long q = std::lrintf(quality);
  CountQuantiser(static_cast<int>(q));
  for (int j = 0; j < 32; ++j)
    Append(line, "%X", static_cast<int>(std::lrint(std::log2(QuantiserCount(j) + 1.0))));
}

// Per-plane PSNR of the last picture, or over the whole run in the final report.
void AppendPsnr(std::string &line, const TStatusVideo &video, bool last) {
  const char planes[3] = {'Y', 'U', 'V'};
  const AVCodecContext *enc = video.Encoder;
  const double pixels = enc ? static_cast<double>(enc->width) * enc->height : 0;
  double errorSum = 0, scaleSum = 0;
  line += "PSNR=";
  for (int j = 0; j < 3; ++j) {
    double error, scale;
    if (last && enc) {
      error = static_cast<double>(enc->error[j]);
      scale = pixels * 255.0 * 255.0 * video.FramesWritten;
    } else {
      error = static_cast<double>(video.FrameError[j]);
      scale = pixels * 255.0 * 255.0;
    }
    if (j) scale /= 4;
    errorSum += error;
    scaleSum += scale;
    Append(line, "%c:%2.2f ", planes[j], PsnrOf(scale > 0 ? error / scale : 0));
  }
  Append(line, "*:%2.2f ", PsnrOf(scaleSum > 0 ? errorSum / scaleSum : 0));
}

}  // namespace

double PsnrOf(double normalisedError) {
  return -10.0 * std::log10(std::max(normalisedError, 1e-20));
}

void CountQuantiser(int q) {
  if (q >= 0 && q < QuantiserLevels) ++Histogram()[q];
}

int QuantiserCount(int q) {
  return q >= 0 && q < QuantiserLevels ? Histogram()[q].load() : 0;
}

std::string FormatStatusLine(const TStatusValues &values) {
  std::string line;
  for (size_t i = 0; i < values.Videos.size(); ++i) {
    const TStatusVideo &video = values.Videos[i];
    if (i > 0) {
      Append(line, "q=%2.1f ", video.Quality);
      continue;
    }
    Append(line, "frame=%5d fps=%3d q=%3.1f ", video.FramesWritten, values.Fps, video.Quality);
    if (values.Last) line += "L";
    if (values.QpHist) AppendHistogram(line, video.Quality);
    if (video.Psnr) AppendPsnr(line, video, values.Last);
  }
  Append(line, "size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", values.TotalSize / 1024, values.Time,
         values.Bitrate);
  if (values.FramesDup || values.FramesDrop)
    Append(line, " dup=%d drop=%d", values.FramesDup, values.FramesDrop);
  if (line.size() > MaxLine) line.resize(MaxLine);
  return line;
}

std::string FormatSummary(int64_t videoSize, int64_t audioSize, int64_t extraSize,
                          int64_t totalSize) {
  const double sum = static_cast<double>(videoSize + audioSize + extraSize);
  const double overhead = sum > 0 ? (totalSize - sum) * 100.0 / sum : 0;
  char text[256];
  std::snprintf(text, sizeof text,
                "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                videoSize / 1024.0, audioSize / 1024.0, extraSize / 1024.0, overhead);
  return text;
}
