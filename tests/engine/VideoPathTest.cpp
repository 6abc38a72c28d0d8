#include <gtest/gtest.h>

#include <vector>

#include "engine/FFmpegException.h"
#include "engine/VideoFilterGraph.h"
#include "engine/VideoPath.h"
#include "tests/engine/VideoTestSupport.h"

namespace {

using namespace videotest;

constexpr int64_t FrameUs = 40000;  // one frame at 25 fps

class VideoPath : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadLibraries();
    Stream.index = 0;
    Stream.time_base = AVRational{1, 25};
    Counters = {&VideoSize, &Dup, &Drop, &Noticed};
  }

  std::unique_ptr<TVideoPath> MakePath(AVCodecContext *enc, const TVideoPathOptions &options,
                                       int inWidth, int inHeight,
                                       std::unique_ptr<TVideoFilterGraph> graph = nullptr) {
    return std::make_unique<TVideoPath>(
        enc, &Stream, options, Counters,
        [this](AVPacket *pkt) {
          Pts.push_back(pkt->pts);
          Data.assign(pkt->data, pkt->data + pkt->size);
        },
        TVideoPath::TInputFormat{inWidth, inHeight, AV_PIX_FMT_YUV420P}, std::move(graph));
  }

  AVStream Stream{};
  int64_t VideoSize = 0;
  int Dup = 0, Drop = 0;
  bool Noticed = false;
  TVideoCounters Counters;
  std::vector<int64_t> Pts;
  std::vector<uint8_t> Data;  // the last packet
};

TEST_F(VideoPath, SyncDuplicatesAndDropsByTheFrameDelta) {
  struct TCase {
    int VideoSync;
    bool Vfr;
    double Delta;  // picture time minus the output clock, in frames
    int Written, Dups, Drops;
    int64_t SyncAfter;
  } cases[] = {
      {1, false, 3.0, 3, 2, 0, 13},   // constant rate: two copies added
      {1, false, -1.5, 0, 0, 1, 10},  // far behind: dropped
      {1, false, 1.0, 1, 0, 0, 11},
      {1, false, 0.5, 1, 0, 0, 11},
      {-1, false, 3.0, 3, 2, 0, 13},  // the format needs a constant rate
      {-1, true, 3.0, 1, 0, 0, 14},   // variable rate: the clock jumps, nothing is copied
      {-1, true, -0.65, 0, 0, 1, 10},
      {-1, true, -0.5, 1, 0, 0, 11},
      {2, false, 0.7, 1, 0, 0, 12},
      {0, false, 3.0, 1, 0, 0, 14},  // passthrough: the clock follows the picture
      // A jump of the source's clock by 1000 hours, either way, is bridged: the picture follows
      // on from the last one, neither copied to fill the gap nor dropped.
      {1, false, 90e6, 1, 0, 0, 11},
      {1, false, -90e6, 1, 0, 0, 11},
      {-1, true, 90e6, 1, 0, 0, 11},
  };
  auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 100, 128, 128);
  for (const auto &c : cases) {
    Dup = Drop = 0;
    Noticed = false;
    Pts.clear();
    auto enc = OpenVideoEncoder("rawvideo", 64, 48);
    TVideoPathOptions options;
    options.VideoSync = c.VideoSync;
    options.VariableFrameRate = c.Vfr;
    auto path = MakePath(enc.get(), options, 64, 48);
    path->SetSyncOpts(10);
    path->Out(picture.get(), static_cast<int64_t>((10 + c.Delta) * FrameUs), 0);
    const std::string label =
        std::to_string(c.VideoSync) + (c.Vfr ? " vfr " : " cfr ") + std::to_string(c.Delta);
    EXPECT_EQ(path->FramesWritten(), c.Written) << label;
    EXPECT_EQ(Dup, c.Dups) << label;
    EXPECT_EQ(Drop, c.Drops) << label;
    EXPECT_EQ(Noticed, c.Dups + c.Drops > 0) << label;
    EXPECT_EQ(path->SyncOpts(), c.SyncAfter) << label;
    EXPECT_EQ(static_cast<int>(Pts.size()), c.Written) << label;
    if (!Pts.empty()) {
      EXPECT_EQ(Pts.back(), c.SyncAfter - 1) << label;
    }
  }
}

// Variable rate with an encoder clock finer than the stream's (5000 ticks a second into a
// millisecond, as Matroska keeps it): pictures 0.3 ms apart would share a time in the file.
TEST_F(VideoPath, VariableRatePicturesNeverShareAStreamTime) {
  auto enc = OpenVideoEncoder("rawvideo", 64, 48);
  enc->time_base = AVRational{1, 5000};
  Stream.time_base = AVRational{1, 1000};
  TVideoPathOptions options;
  options.VideoSync = -1;
  options.VariableFrameRate = true;
  auto path = MakePath(enc.get(), options, 64, 48);
  auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 100, 128, 128);
  // Pairs 0.3 ms apart, and one picture 0.7 ms after its neighbour (moved, not dropped).
  const int64_t times[] = {0, 300, 40000, 40300, 80000, 80700, 120000};
  for (int64_t us : times) path->Out(picture.get(), us, 0);
  EXPECT_EQ(Pts, (std::vector<int64_t>{0, 40, 80, 81, 120}));
  EXPECT_EQ(Drop, 2);
}

TEST_F(VideoPath, FrameLimitStopsCopies) {
  auto enc = OpenVideoEncoder("rawvideo", 64, 48);
  TVideoPathOptions options;
  options.VideoSync = 1;
  options.FrameLimit = 2;
  auto path = MakePath(enc.get(), options, 64, 48);
  auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 100, 128, 128);
  path->Out(picture.get(), 5 * FrameUs, 0);  // asks for 5 copies
  path->Out(picture.get(), 6 * FrameUs, 0);
  EXPECT_EQ(path->FramesWritten(), 2);
  EXPECT_EQ(Pts.size(), 2u);
}

TEST_F(VideoPath, CropsWithoutAGraph) {
  // Left half dark, right half bright; cropping the left half away leaves only bright pixels.
  auto picture = Picture(320, 240, AV_PIX_FMT_YUV420P, 50, 128, 128);
  for (int y = 0; y < 240; ++y)
    std::memset(picture->data[0] + y * picture->linesize[0] + 160, 200, 160);
  struct TCase {
    int EncWidth, EncHeight;  // equal to the cropped size: crop only; smaller: crop and scale
  } cases[] = {{160, 240}, {80, 120}};
  for (const auto &c : cases) {
    auto enc = OpenVideoEncoder("rawvideo", c.EncWidth, c.EncHeight);
    TVideoPathOptions options;
    options.CropLeft = 160;
    auto path = MakePath(enc.get(), options, 320, 240);
    EXPECT_EQ(path->Resampling(), c.EncWidth != 160);
    path->Out(picture.get(), 0, 0);
    ASSERT_EQ(Data.size(), static_cast<size_t>(c.EncWidth * c.EncHeight * 3 / 2));
    for (int i = 0; i < c.EncWidth * c.EncHeight; i += 97) ASSERT_NEAR(Data[i], 200, 2) << i;
  }
}

TEST_F(VideoPath, FrameSizeChangeIsScaledOrFails) {
  auto small = Picture(320, 240, AV_PIX_FMT_YUV420P, 100, 128, 128);
  auto large = Picture(640, 480, AV_PIX_FMT_YUV420P, 100, 128, 128);
  {
    // Scaled output: the new size is taken, the crop bands follow in proportion.
    auto enc = OpenVideoEncoder("rawvideo", 160, 120);
    TVideoPathOptions options;
    options.CropTop = 20;
    auto path = MakePath(enc.get(), options, 320, 240);
    path->Out(small.get(), 0, 0);
    path->Out(large.get(), FrameUs, 0);
    EXPECT_EQ(path->FramesWritten(), 2);
    EXPECT_EQ(Data.size(), 160u * 120 * 3 / 2);
  }
  {
    // Same size in and out: nothing could adapt the new size.
    auto enc = OpenVideoEncoder("rawvideo", 320, 240);
    auto path = MakePath(enc.get(), {}, 320, 240);
    ASSERT_FALSE(path->Resampling());
    path->Out(small.get(), 0, 0);
    EXPECT_THROW(path->Out(large.get(), FrameUs, 0), FFmpegException);
  }
}

TEST_F(VideoPath, GraphCropsScalesAndRunsTheUserChain) {
  TVideoGraphSetup setup;
  setup.InputWidth = 320;
  setup.InputHeight = 240;
  setup.InputFormat = AV_PIX_FMT_YUV420P;
  setup.CropLeft = 160;
  setup.EncoderWidth = 80;
  setup.EncoderHeight = 120;
  setup.EncoderFormat = AV_PIX_FMT_YUV420P;
  setup.Filters = "pad=iw+40:ih+20:20:10";
  auto graph = std::make_unique<TVideoFilterGraph>();
  graph->Build(setup);
  ASSERT_EQ(graph->OutputWidth(), 120);
  ASSERT_EQ(graph->OutputHeight(), 140);

  auto enc = OpenVideoEncoder("rawvideo", 120, 140);
  auto path = MakePath(enc.get(), {}, 320, 240, std::move(graph));
  auto picture = Picture(320, 240, AV_PIX_FMT_YUV420P, 200, 128, 128);
  path->Out(picture.get(), 0, 0);
  path->Out(picture.get(), FrameUs, 0);
  EXPECT_EQ(path->FramesWritten(), 2);
  ASSERT_EQ(Data.size(), 120u * 140 * 3 / 2);
  EXPECT_EQ(Data[0], 16);                    // padding is black
  EXPECT_NEAR(Data[20 * 120 + 60], 200, 2);  // the picture inside

  // A mid-stream size change rebuilds the graph; the encoder keeps its size.
  auto larger = Picture(640, 480, AV_PIX_FMT_YUV420P, 200, 128, 128);
  path->Out(larger.get(), 2 * FrameUs, 0);
  EXPECT_EQ(path->FramesWritten(), 3);
  EXPECT_EQ(Data.size(), 120u * 140 * 3 / 2);
}

TEST_F(VideoPath, BadFilterChainIsRefused) {
  TVideoGraphSetup setup;
  setup.InputWidth = setup.EncoderWidth = 64;
  setup.InputHeight = setup.EncoderHeight = 48;
  setup.InputFormat = setup.EncoderFormat = AV_PIX_FMT_YUV420P;
  setup.Filters = "nosuchfilter=1";
  TVideoFilterGraph graph;
  try {
    graph.Build(setup);
    FAIL() << "no exception";
  } catch (const FFmpegException &e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error opening filters", 0), 0u) << e.what();
  }
}

TEST_F(VideoPath, PassOneStatisticsAndFlushReachTheWriter) {
  const AVCodec *c = ff::avcodec_find_encoder_by_name("mpeg4");
  TCodecCtxPtr enc(ff::avcodec_alloc_context3(c));
  enc->width = 64;
  enc->height = 48;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->time_base = AVRational{1, 25};
  enc->max_b_frames = 2;  // holds pictures back until the flush
  enc->flags |= AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PSNR;
  ASSERT_GE(ff::avcodec_open2(enc.get(), c, nullptr), 0);
  char *text = nullptr;
  size_t size = 0;
  FILE *log = open_memstream(&text, &size);
  TVideoPathOptions options;
  options.PassLog = log;
  auto path = MakePath(enc.get(), options, 64, 48);
  for (int i = 0; i < 5; ++i) {
    auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 60 + 20 * i, 128, 128);
    path->Out(picture.get(), i * FrameUs, 0);
  }
  path->Flush();
  std::fclose(log);
  EXPECT_EQ(Pts.size(), 5u);
  EXPECT_GT(VideoSize, 0);
  EXPECT_NE(std::string(text, size).find("in:4"), std::string::npos) << std::string(text, size);
  EXPECT_TRUE(path->LastFrame().HasError);
  std::free(text);
}

}  // namespace

namespace {

// An encoder that refuses a picture says why: the library's reason follows the message.
TEST_F(VideoPath, EncodingFailureCarriesTheLibrarysReason) {
  auto enc = OpenVideoEncoder("rawvideo", 64, 48);
  auto path = MakePath(enc.get(), TVideoPathOptions{}, 64, 48);
  auto picture = Picture(64, 48, AV_PIX_FMT_YUV420P, 60, 128, 128);
  path->Out(picture.get(), 0, 0);
  path->Flush();  // the encoder takes nothing after its flush
  try {
    path->Out(picture.get(), FrameUs, 0);
    FAIL() << "no failure";
  } catch (const FFmpegException &e) {
    EXPECT_STREQ(e.what(), "Video encoding failed: End of file");
  }
}

}  // namespace
