#include <gtest/gtest.h>

#include "engine/StatusReport.h"

namespace {

TEST(StatusReport, LineLayout) {
  TStatusValues v;
  v.TotalSize = 123 * 1024;
  v.Time = 4.5;
  v.Bitrate = 223.9;
  EXPECT_EQ(FormatStatusLine(v), "size=     123kB time=4.50 bitrate= 223.9kbits/s");

  TStatusVideo first;
  first.FramesWritten = 25;
  first.Quality = 2.0f;
  TStatusVideo second;
  second.Quality = -1;  // stream copy
  v.Videos = {first, second};
  v.Fps = 12;
  v.Last = true;
  v.FramesDup = 1;
  v.FramesDrop = 2;
  EXPECT_EQ(FormatStatusLine(v),
            "frame=   25 fps= 12 q=2.0 Lq=-1.0 size=     123kB time=4.50 bitrate= 223.9kbits/s"
            " dup=1 drop=2");
}

TEST(StatusReport, PsnrOfTheLastPictureAndOfTheRun) {
  AVCodecContext enc{};
  enc.width = 16;
  enc.height = 16;
  // A mean squared error of 1 per pixel in every plane: 48.13 dB.
  enc.error[0] = 256 * 10, enc.error[1] = 64 * 10, enc.error[2] = 64 * 10;
  TStatusVideo video;
  video.FramesWritten = 10;
  video.Quality = 3;
  video.Psnr = true;
  video.Encoder = &enc;
  video.FrameError[0] = 256, video.FrameError[1] = 64, video.FrameError[2] = 64;
  TStatusValues v;
  v.Videos = {video};
  const std::string expected = "PSNR=Y:48.13 U:48.13 V:48.13 *:48.13 size=";
  EXPECT_NE(FormatStatusLine(v).find(expected), std::string::npos) << FormatStatusLine(v);
  v.Last = true;
  EXPECT_NE(FormatStatusLine(v).find(expected), std::string::npos) << FormatStatusLine(v);
}

TEST(StatusReport, QuantiserHistogramDigits) {
  TStatusValues v;
  TStatusVideo video;
  video.FramesWritten = 1;
  video.Quality = 5.2f;
  v.Videos = {video};
  v.QpHist = true;
  std::string line;
  for (int i = 0; i < 3; ++i) line = FormatStatusLine(v);  // three pictures at q 5
  // 32 digits after "q=5.2 ": round(log2(count + 1)); q 5 was counted 3 times -> 2.
  const std::string digits = line.substr(line.find("q=5.2 ") + 6, 32);
  EXPECT_EQ(digits, "00000200000000000000000000000000");
}

TEST(StatusReport, Summary) {
  EXPECT_EQ(FormatSummary(10240, 2048, 0, 13312),
            "video:10kB audio:2kB global headers:0kB muxing overhead 8.333333%\r\n");
}

}  // namespace
