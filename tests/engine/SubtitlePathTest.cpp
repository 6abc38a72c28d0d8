#include <gtest/gtest.h>

#include <vector>

#include "engine/FFmpegException.h"
#include "engine/SubtitlePath.h"
#include "tests/engine/VideoTestSupport.h"

namespace {

struct TRectFree {
  void operator()(AVSubtitleRect *r) const {
    ff::av_freep(&r->data[0]);
    ff::av_freep(&r->data[1]);
    ff::av_free(r);
  }
};

class SubtitlePath : public ::testing::Test {
 protected:
  void SetUp() override { videotest::LoadLibraries(); }

  TCodecCtxPtr OpenEncoder(const char *name) {
    const AVCodec *c = ff::avcodec_find_encoder_by_name(name);
    EXPECT_NE(c, nullptr);
    TCodecCtxPtr enc(ff::avcodec_alloc_context3(c));
    enc->time_base = AVRational{1, 1000};
    enc->width = 720;
    enc->height = 576;
    EXPECT_GE(ff::avcodec_open2(enc.get(), c, nullptr), 0);
    return enc;
  }
};

TEST_F(SubtitlePath, DvbSubtitleGivesAShowAndAClearPacket) {
  auto enc = OpenEncoder("dvbsub");
  AVStream stream{};
  stream.time_base = AVRational{1, 90000};
  std::vector<int64_t> pts;
  TSubtitlePath path(enc.get(), &stream, {}, [&](AVPacket *pkt) {
    EXPECT_GT(pkt->size, 0);
    pts.push_back(pkt->pts);
  });

  // One 8x2 bitmap with a four-colour palette.
  std::unique_ptr<AVSubtitleRect, TRectFree> rect(
      static_cast<AVSubtitleRect *>(ff::av_mallocz(sizeof(AVSubtitleRect))));
  rect->type = SUBTITLE_BITMAP;
  rect->x = 100, rect->y = 500, rect->w = 8, rect->h = 2, rect->nb_colors = 4;
  rect->linesize[0] = 8;
  rect->data[0] = static_cast<uint8_t *>(ff::av_mallocz(16));
  rect->data[1] = static_cast<uint8_t *>(ff::av_mallocz(4 * 4));
  for (int i = 0; i < 16; ++i) rect->data[0][i] = i % 4;
  AVSubtitleRect *rects[] = {rect.get()};
  AVSubtitle sub{};
  sub.format = 0;
  sub.start_display_time = 500;  // ms after the packet
  sub.end_display_time = 2500;
  sub.num_rects = 1;
  sub.rects = rects;

  path.Out(&sub, 10 * 90000, AVRational{1, 90000});
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[0], 10 * 90000 + 90 * 500);  // shown at the subtitle's start
  EXPECT_EQ(pts[1] - pts[0], 90 * 2000);     // cleared after its display time
  EXPECT_EQ(sub.num_rects, 1u);
}

TEST_F(SubtitlePath, PacketWithoutTimeIsDroppedOrRaised) {
  auto enc = OpenEncoder("dvbsub");
  AVStream stream{};
  stream.time_base = AVRational{1, 90000};
  int packets = 0;
  AVSubtitle sub{};
  for (bool xerror : {false, true}) {
    TSubtitlePathOptions options;
    options.XError = xerror;
    TSubtitlePath path(enc.get(), &stream, options, [&](AVPacket *) { ++packets; });
    if (xerror)
      EXPECT_THROW(path.Out(&sub, AV_NOPTS_VALUE, AVRational{1, 90000}), FFmpegException);
    else
      EXPECT_EQ(path.Out(&sub, AV_NOPTS_VALUE, AVRational{1, 90000}), 0);
  }
  EXPECT_EQ(packets, 0);
}

}  // namespace
