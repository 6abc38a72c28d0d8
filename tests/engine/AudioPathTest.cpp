#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/AudioPath.h"
#include "services/FFResources.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

namespace {

struct TEncoded {
  std::vector<int16_t> Samples;  // interleaved, for PCM encoders
  int Packets = 0;
  int64_t Duration = 0;  // sum of packet durations, in the stream time base
};

class AudioPath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  }

  // Opens `codec` for `rate` Hz and `channels` channels in its first sample format.
  TCodecCtxPtr OpenEncoder(const char *codec, int rate, int channels) {
    const AVCodec *c = ff::avcodec_find_encoder_by_name(codec);
    EXPECT_NE(c, nullptr) << codec;
    TCodecCtxPtr enc(ff::avcodec_alloc_context3(c));
    enc->sample_rate = rate;
    enc->sample_fmt = c->sample_fmts ? c->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    ff::av_channel_layout_default(&enc->ch_layout, channels);
    enc->time_base = AVRational{1, rate};
    enc->bit_rate = 128000;
    EXPECT_GE(ff::avcodec_open2(enc.get(), c, nullptr), 0) << codec;
    Stream.index = 0;
    Stream.time_base = AVRational{1, rate};
    return enc;
  }

  std::unique_ptr<TAudioPath> MakePath(AVCodecContext *enc, const TAudioPathOptions &options) {
    return std::make_unique<TAudioPath>(enc, &Stream, options, [this](AVPacket *pkt) {
      if (pkt->size > 0) ++Out.Packets;  // some encoders end with a packet of side data only
      Out.Duration += pkt->duration;
      const auto *s = reinterpret_cast<const int16_t *>(pkt->data);
      Out.Samples.insert(Out.Samples.end(), s, s + pkt->size / 2);
    });
  }

  // A frame of `count` samples whose value at sample i, channel c is value(i, c).
  template <class F>
  static TFramePtr MakeFrame(int rate, int channels, AVSampleFormat format, int count, F value) {
    TFramePtr f(ff::av_frame_alloc());
    f->sample_rate = rate;
    f->format = format;
    f->nb_samples = count;
    ff::av_channel_layout_default(&f->ch_layout, channels);
    EXPECT_GE(ff::av_frame_get_buffer(f.get(), 0), 0);
    for (int i = 0; i < count; ++i)
      for (int c = 0; c < channels; ++c) {
        const double v = value(i, c);
        if (format == AV_SAMPLE_FMT_S16)
          reinterpret_cast<int16_t *>(f->data[0])[i * channels + c] = static_cast<int16_t>(v);
        else if (format == AV_SAMPLE_FMT_FLTP)
          reinterpret_cast<float *>(f->extended_data[c])[i] = static_cast<float>(v);
      }
    return f;
  }

  // Feeds `seconds` of a tone in frames of 1024 samples with timestamps from `startUs`.
  void FeedTone(TAudioPath &path, int rate, int channels, AVSampleFormat format, double seconds,
                int64_t startUs, bool &isStart, int frameSamples = 1024) {
    const int total = static_cast<int>(seconds * rate);
    for (int done = 0; done < total; done += frameSamples) {
      const int n = std::min(frameSamples, total - done);
      auto frame = MakeFrame(rate, channels, format, n, [&](int i, int) {
        const double s = std::sin((done + i) * 2 * M_PI * 440 / rate);
        return format == AV_SAMPLE_FMT_S16 ? 8000 * s : 0.25 * s;
      });
      path.Out(frame.get(), startUs + static_cast<int64_t>(done) * 1000000 / rate, isStart);
    }
  }

  AVStream Stream{};
  TEncoded Out;
};

TEST_F(AudioPath, ResamplesToTheEncoderRateWithoutLosingSamples) {
  struct TCase {
    int InRate, OutRate;
    AVSampleFormat InFormat;
    bool Converts;
  } cases[] = {
      {44100, 48000, AV_SAMPLE_FMT_S16, true},
      {44100, 48000, AV_SAMPLE_FMT_FLTP, true},
      {44100, 44100, AV_SAMPLE_FMT_S16, false},  // same format: passes as it is
      {48000, 22050, AV_SAMPLE_FMT_S16, true},
  };
  for (const auto &c : cases) {
    Out = {};
    auto enc = OpenEncoder("pcm_s16le", c.OutRate, 2);
    auto path = MakePath(enc.get(), {});
    bool isStart = true;
    FeedTone(*path, c.InRate, 2, c.InFormat, 1.0, 0, isStart);
    EXPECT_EQ(path->Converting(), c.Converts) << c.InRate << "->" << c.OutRate;
    path->Flush();
    const double got = Out.Samples.size() / 2.0;
    EXPECT_NEAR(got, c.OutRate, c.Converts ? 4 : 0) << c.InRate << "->" << c.OutRate;
  }
}

TEST_F(AudioPath, MonoInputFillsBothOutputChannels) {
  auto enc = OpenEncoder("pcm_s16le", 44100, 2);
  auto path = MakePath(enc.get(), {});
  bool isStart = true;
  auto frame = MakeFrame(44100, 1, AV_SAMPLE_FMT_S16, 1000, [](int i, int) { return i * 10; });
  path->Out(frame.get(), 0, isStart);
  path->Flush();
  ASSERT_EQ(Out.Samples.size(), 2000u);
  for (int i = 0; i < 1000; i += 97) {
    EXPECT_EQ(Out.Samples[2 * i], Out.Samples[2 * i + 1]) << i;
    EXPECT_NEAR(Out.Samples[2 * i], i * 10, 1) << i;
  }
}

TEST_F(AudioPath, VolumeScalesAndClips) {
  struct TCase {
    int Volume;
    int16_t In, Expected;
  } cases[] = {
      {512, 1000, 2000},   {512, 20000, 32767}, {512, -20000, -32768}, {512, -1, -2},
      {256, 20000, 20000}, {128, 1001, 501},    {0, 1234, 0},
  };
  for (const auto &c : cases) {
    auto frame = MakeFrame(44100, 2, AV_SAMPLE_FMT_S16, 4, [&](int, int) { return c.In; });
    ApplyVolume(frame.get(), c.Volume);
    for (int k = 0; k < 8; ++k)
      EXPECT_EQ(reinterpret_cast<int16_t *>(frame->data[0])[k], c.Expected)
          << c.Volume << " " << c.In;
  }
  auto planar =
      MakeFrame(44100, 2, AV_SAMPLE_FMT_FLTP, 2, [](int i, int) { return i ? 0.75 : 0.25; });
  ApplyVolume(planar.get(), 512);
  for (int c = 0; c < 2; ++c) {
    EXPECT_FLOAT_EQ(reinterpret_cast<float *>(planar->extended_data[c])[0], 0.5f);
    EXPECT_FLOAT_EQ(reinterpret_cast<float *>(planar->extended_data[c])[1], 1.0f);
  }
}

TEST_F(AudioPath, AsyncOneInsertsSilenceOnceForAudioThatStartsLate) {
  for (int async : {0, 1}) {
    Out = {};
    auto enc = OpenEncoder("pcm_s16le", 48000, 2);
    TAudioPathOptions options;
    options.Async = async;
    auto path = MakePath(enc.get(), options);
    bool isStart = true;
    FeedTone(*path, 48000, 2, AV_SAMPLE_FMT_S16, 1.0, 500000, isStart);
    path->Flush();
    const size_t frames = Out.Samples.size() / 2;
    if (async == 0) {
      EXPECT_EQ(frames, 48000u);  // nothing inserted: the late start shows in the timestamps
      EXPECT_TRUE(isStart);
      continue;
    }
    EXPECT_EQ(frames, 48000u + 24000u);
    EXPECT_FALSE(isStart);
    size_t leadingZeros = 0;
    while (leadingZeros < Out.Samples.size() && Out.Samples[leadingZeros] == 0) ++leadingZeros;
    EXPECT_NEAR(leadingZeros / 2.0, 24000, 2);
  }
}

TEST_F(AudioPath, AsyncCompensatesASmallDriftThroughTheResampler) {
  // The input clock runs 80 samples ahead of the samples that arrive, once the stream is under way:
  // below the drift threshold (4800 samples), so nothing is padded; the resampler stretches
  // instead.
  struct TCase {
    int Async;
    double MinExtra, MaxExtra;
  } cases[] = {{1, 0, 0}, {100, 50, 100}};
  for (const auto &c : cases) {
    Out = {};
    auto enc = OpenEncoder("pcm_s16le", 48000, 2);
    TAudioPathOptions options;
    options.Async = c.Async;
    auto path = MakePath(enc.get(), options);
    bool isStart = false;
    const int64_t drift = 80 * 1000000LL / 48000;
    FeedTone(*path, 48000, 2, AV_SAMPLE_FMT_S16, 0.25, 0, isStart);
    FeedTone(*path, 48000, 2, AV_SAMPLE_FMT_S16, 1.75, 250000 + drift, isStart);
    path->Flush();
    const double extra = Out.Samples.size() / 2.0 - 96000;
    EXPECT_GE(extra, c.MinExtra) << c.Async;
    EXPECT_LE(extra, c.MaxExtra) << c.Async;
  }
}

TEST_F(AudioPath, LastPartialFrameIsPaddedOrSentShort) {
  for (const char *codec : {"mp2", "flac"}) {
    Out = {};
    auto enc = OpenEncoder(codec, 44100, 2);
    const int frameSize = enc->frame_size;
    ASSERT_GT(frameSize, 1) << codec;
    const bool shortAllowed = enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    auto path = MakePath(enc.get(), {});
    bool isStart = true;
    auto frame = MakeFrame(44100, 2, enc->sample_fmt, frameSize + 700,
                           [](int i, int) { return (i % 100) * 50; });
    path->Out(frame.get(), 0, isStart);
    path->Flush();
    EXPECT_EQ(Out.Packets, 2) << codec;
    EXPECT_EQ(Out.Duration, shortAllowed ? frameSize + 700 : 2 * frameSize) << codec;
  }
}

}  // namespace
