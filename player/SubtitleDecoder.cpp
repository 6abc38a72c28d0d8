#include "player/SubtitleDecoder.h"

#include <algorithm>
#include <cmath>

#include "player/Playback.h"
#include "player/StreamDecoder.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

TSubtitleDecoder::TSubtitleDecoder(TPlayback &playback) : FPlayback(playback) {}

TSubtitleDecoder::~TSubtitleDecoder() {
  Close();
}

bool TSubtitleDecoder::Open(AVStream *stream) {
  if (!OpenStreamDecoder(stream, FCodec, false)) return false;
  FStream = stream;
  FPlayback.SubtitleQ.Start();
  FThread = std::thread(&TSubtitleDecoder::Main, this);
  return true;
}

void TSubtitleDecoder::Close() {
  FPlayback.SubtitleQ.Abort();
  {
    std::lock_guard lock(SubLock);
    StreamChanged = true;
    SubCond.notify_all();
  }
  if (FThread.joinable()) FThread.join();
  {
    std::lock_guard lock(SubLock);
    while (Count > 0) PopLocked();
  }
  CloseStreamDecoder(FCodec);
}

void TSubtitleDecoder::PopLocked() {
  ff::avsubtitle_free(&Subs[RIndex].Sub);
  RIndex = (RIndex + 1) % QueueSize;
  --Count;
  SubCond.notify_all();
}

void TSubtitleDecoder::Main() {
  for (;;) {
    while (FPlayback.Paused && !FPlayback.SubtitleQ.Aborted() && !FPlayback.PausedAtSeek)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TQueuedPacket item;
    if (FPlayback.SubtitleQ.Get(item, true) < 0) break;
    if (item.Kind == TPacketKind::pkFlush) {
      ff::avcodec_flush_buffers(FCodec.get());
      continue;
    }
    if (item.Kind != TPacketKind::pkData) continue;
    {
      std::unique_lock lock(SubLock);
      SubCond.wait(lock, [this] { return Count < QueueSize || FPlayback.SubtitleQ.Aborted(); });
      if (FPlayback.SubtitleQ.Aborted()) break;
    }
    TSubPicture &sp = Subs[WIndex];
    int got = 0;
    if (ff::avcodec_decode_subtitle2(FCodec.get(), &sp.Sub, &got, item.Packet.get()) < 0 || !got)
      continue;
    if (sp.Sub.format != 0) {  // only bitmap subtitles are drawn
      ff::avsubtitle_free(&sp.Sub);
      continue;
    }
    const AVPacket *pkt = item.Packet.get();
    sp.Pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts * av_q2d(FStream->time_base) : 0;
    for (unsigned i = 0; i < sp.Sub.num_rects; ++i) {
      AVSubtitleRect *rect = sp.Sub.rects[i];
      auto *palette = reinterpret_cast<uint32_t *>(rect->data[1]);
      for (int j = 0; palette && j < rect->nb_colors; ++j) palette[j] = RGBAToYUVA(palette[j]);
    }
    std::lock_guard lock(SubLock);
    WIndex = (WIndex + 1) % QueueSize;
    ++Count;
  }
}

namespace {

constexpr int ScaleBits = 10;
constexpr int OneHalf = 1 << (ScaleBits - 1);
constexpr int Fix(double x) {
  return static_cast<int>(x * (1 << ScaleBits) + 0.5);
}

}  // namespace

uint32_t RGBAToYUVA(uint32_t rgba) {
  const int a = (rgba >> 24) & 0xff;
  const int r = (rgba >> 16) & 0xff;
  const int g = (rgba >> 8) & 0xff;
  const int b = rgba & 0xff;
  const int y = (Fix(0.29900 * 219.0 / 255.0) * r + Fix(0.58700 * 219.0 / 255.0) * g +
                 Fix(0.11400 * 219.0 / 255.0) * b + (OneHalf + (16 << ScaleBits))) >>
                ScaleBits;
  const int u = ((-Fix(0.16874 * 224.0 / 255.0) * r - Fix(0.33126 * 224.0 / 255.0) * g +
                  Fix(0.50000 * 224.0 / 255.0) * b + OneHalf - 1) >>
                 ScaleBits) +
                128;
  const int v = ((Fix(0.50000 * 224.0 / 255.0) * r - Fix(0.41869 * 224.0 / 255.0) * g -
                  Fix(0.08131 * 224.0 / 255.0) * b + OneHalf - 1) >>
                 ScaleBits) +
                128;
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(y & 0xff) << 16) |
         (static_cast<uint32_t>(u & 0xff) << 8) | static_cast<uint32_t>(v & 0xff);
}

void BlendSubtitleRect(uint8_t *const planes[3], const int linesizes[3], int width, int height,
                       const AVSubtitleRect &rect) {
  const auto *palette = reinterpret_cast<const uint32_t *>(rect.data[1]);
  if (!rect.data[0] || !palette) return;
  // Clip the rectangle to the picture.
  const int x0 = std::clamp(rect.x, 0, width);
  const int y0 = std::clamp(rect.y, 0, height);
  const int x1 = std::clamp(rect.x + rect.w, 0, width);
  const int y1 = std::clamp(rect.y + rect.h, 0, height);
  auto colour = [&](int x, int y) {
    return palette[rect.data[0][(y - rect.y) * rect.linesize[0] + (x - rect.x)]];
  };
  for (int y = y0; y < y1; ++y) {
    uint8_t *luma = planes[0] + y * linesizes[0];
    for (int x = x0; x < x1; ++x) {
      const uint32_t c = colour(x, y);
      const int a = c >> 24;
      luma[x] = static_cast<uint8_t>((luma[x] * (255 - a) + ((c >> 16) & 0xff) * a) / 255);
    }
  }
  // Chroma: one sample per 2x2 block, blended with the block's summed alpha and chroma.
  for (int cy = y0 / 2; cy * 2 < y1; ++cy) {
    for (int cx = x0 / 2; cx * 2 < x1; ++cx) {
      int count = 0, sumA = 0, sumU = 0, sumV = 0;
      for (int y = std::max(cy * 2, y0); y < std::min(cy * 2 + 2, y1); ++y)
        for (int x = std::max(cx * 2, x0); x < std::min(cx * 2 + 2, x1); ++x) {
          const uint32_t c = colour(x, y);
          const int a = c >> 24;
          sumA += a;
          sumU += ((c >> 8) & 0xff) * a;
          sumV += (c & 0xff) * a;
          ++count;
        }
      if (count == 0 || sumA == 0) continue;
      uint8_t &u = planes[1][cy * linesizes[1] + cx];
      uint8_t &v = planes[2][cy * linesizes[2] + cx];
      // Blend toward the alpha-weighted colour by the block's mean alpha.
      const int meanA = sumA / count;
      u = static_cast<uint8_t>((u * (255 - meanA) + (sumU / sumA) * meanA) / 255);
      v = static_cast<uint8_t>((v * (255 - meanA) + (sumV / sumA) * meanA) / 255);
    }
  }
}
