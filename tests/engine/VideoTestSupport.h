// Small pictures and encoders for the video path tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "services/FFResources.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

namespace videotest {

inline void LoadLibraries() {
  ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
}

// A picture of one flat colour (for YUV: the three plane values; for BGR24: b, g, r).
inline TFramePtr Picture(int width, int height, AVPixelFormat format, int a, int b, int c) {
  TFramePtr f(ff::av_frame_alloc());
  f->width = width;
  f->height = height;
  f->format = format;
  EXPECT_GE(ff::av_frame_get_buffer(f.get(), 0), 0);
  if (format == AV_PIX_FMT_BGR24) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        uint8_t *p = f->data[0] + y * f->linesize[0] + 3 * x;
        p[0] = a, p[1] = b, p[2] = c;
      }
  } else {
    const int values[3] = {a, b, c};
    for (int p = 0; p < 3; ++p) {
      const int h = p ? (height + 1) / 2 : height;
      for (int y = 0; y < h; ++y)
        std::memset(f->data[p] + y * f->linesize[p], values[p], f->linesize[p]);
    }
  }
  return f;
}

// Opens `codec` for pictures of the given size at 25 frames per second.
inline TCodecCtxPtr OpenVideoEncoder(const char *codec, int width, int height,
                                     AVPixelFormat format = AV_PIX_FMT_YUV420P) {
  const AVCodec *c = ff::avcodec_find_encoder_by_name(codec);
  EXPECT_NE(c, nullptr) << codec;
  TCodecCtxPtr enc(ff::avcodec_alloc_context3(c));
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = format;
  enc->time_base = AVRational{1, 25};
  enc->framerate = AVRational{25, 1};
  EXPECT_GE(ff::avcodec_open2(enc.get(), c, nullptr), 0) << codec;
  return enc;
}

}  // namespace videotest
