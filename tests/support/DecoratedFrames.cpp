#include "tests/support/DecoratedFrames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "editors/decoration/FrameDecoration.h"
#include "tests/support/Fixtures.h"

namespace decoratedframes {

std::string MutedClip() {
  return fixtures::Make("muted-2s-320x240-25.mp4",
                        "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 -vf hue=s=0.35 "
                        "-c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

TBitmap DecodeFrame(const std::string &file, int width, int height, int frame, double seek) {
  const fixtures::TTempDir dir;
  const std::string raw = dir / "frame.bgr";
  char select[64];
  std::snprintf(select, sizeof select, "select=eq(n\\,%d)", frame);
  const std::string position = seek >= 0 ? "-ss " + std::to_string(seek) + " " : "";
  const auto result = fixtures::Run(
      "ffmpeg -nostdin -y -v error " + position + "-i " + fixtures::Quote(file) + " -vf " +
      fixtures::Quote(select) + " -frames:v 1 -f rawvideo -pix_fmt bgr24 " + fixtures::Quote(raw));
  if (result.ExitCode != 0)
    throw std::runtime_error("decoding frame " + std::to_string(frame) + " of " + file +
                             " failed: " + result.Output);
  std::ifstream in(raw, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() != size_t(width) * height * 3)
    throw std::runtime_error("frame " + std::to_string(frame) + " of " + file + " has " +
                             std::to_string(bytes.size()) + " bytes, not " + std::to_string(width) +
                             " x " + std::to_string(height) + " x 3");
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    std::copy_n(bytes.data() + size_t(y) * width * 3, width * 3, bitmap.ScanLine(y));
  return bitmap;
}

double Psnr(const TBitmap &a, const TBitmap &b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    throw std::invalid_argument("frames of different sizes");
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < a.Width() * 3; ++i) {
      const double d = double(a.ScanLine(y)[i]) - b.ScanLine(y)[i];
      sum += d * d;
    }
  const double mse = sum / (double(a.Width()) * a.Height() * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TScores CompareFrame(const std::string &source, const std::string &output, int width, int height,
                     int frame, const TlvFilesRecord &record) {
  const TBitmap original = DecodeFrame(source, width, height, frame);
  TBitmap reference = original;
  DecorateFrame(reference, record);
  const TBitmap converted = DecodeFrame(output, width, height, frame);
  return {Psnr(converted, reference), Psnr(converted, original)};
}

}  // namespace decoratedframes
