#include "engine/SubtitlePath.h"

#include "engine/FFmpegException.h"
#include "services/FFmpegLogger.h"
#include "services/MediaErrors.h"

namespace {

// Large enough for any encoded subtitle picture.
constexpr size_t SubtitleBufferSize = 1024 * 1024;
constexpr AVRational Milliseconds{1, 1000};
constexpr AVRational Microseconds{1, AV_TIME_BASE};

}  // namespace

TSubtitlePath::TSubtitlePath(AVCodecContext *encoder, AVStream *stream,
                             const TSubtitlePathOptions &options, TPacketWriter writer)
    : FEncoder(encoder), FStream(stream), FOptions(options), FWriter(std::move(writer)) {}

int64_t TSubtitlePath::Out(AVSubtitle *subtitle, int64_t pts, AVRational timeBase) {
  if (pts == AV_NOPTS_VALUE) {
    if (FOptions.XError) throw FFmpegException("Subtitle packets must have a pts");
    FFLogger().Log(FOptions.Sender, TLogLevel::llError, "Subtitle packets must have a pts");
    return 0;
  }
  if (FBuffer.empty()) FBuffer.resize(SubtitleBufferSize);
  const bool dvb = FEncoder->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const int passes = dvb ? 2 : 1;
  const unsigned rects = subtitle->num_rects;
  int64_t bytes = 0;
  // The encoder takes times relative to the subtitle's own time, which starts at its display
  // start.
  subtitle->pts = ff::av_rescale_q(pts, timeBase, Microseconds) +
                  ff::av_rescale_q(subtitle->start_display_time, Milliseconds, Microseconds);
  subtitle->end_display_time -= subtitle->start_display_time;
  subtitle->start_display_time = 0;
  for (int pass = 0; pass < passes; ++pass) {
    // The DVB clearing packet is an empty subtitle.
    if (pass == 1) subtitle->num_rects = 0;
    const int size = ff::avcodec_encode_subtitle(FEncoder, FBuffer.data(),
                                                 static_cast<int>(FBuffer.size()), subtitle);
    subtitle->num_rects = rects;
    if (size < 0) throw FFmpegException(WithMediaError("Subtitle encoding failed", size));
    TPacketPtr packet(ff::av_packet_alloc());
    if (!packet || ff::av_new_packet(packet.get(), size) < 0)
      throw FFmpegException(WithMediaError("Subtitle encoding failed", AVERROR(ENOMEM)));
    std::copy(FBuffer.begin(), FBuffer.begin() + size, packet->data);
    packet->stream_index = FStream->index;
    packet->pts = ff::av_rescale_q(subtitle->pts, Microseconds, FStream->time_base);
    if (dvb) {
      // Shown at the start, cleared at the end of the display time.
      const uint32_t at = pass == 0 ? subtitle->start_display_time : subtitle->end_display_time;
      packet->pts += ff::av_rescale_q(at, Milliseconds, FStream->time_base);
    }
    packet->dts = packet->pts;
    // Text formats keep how long each subtitle shows in the packet itself.
    if (!dvb)
      packet->duration =
          ff::av_rescale_q(subtitle->end_display_time, Milliseconds, FStream->time_base);
    bytes += size;
    FWriter(packet.get());
  }
  return bytes;
}
