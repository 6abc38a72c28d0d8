// Packet processing: the input clock, stream copy, and the packet writer with bitstream filters.
#include <chrono>
#include <thread>

#include "engine/FFMapping.h"
#include "engine/FFmpeg.h"
#include "services/MediaErrors.h"

namespace {

std::string BsfFailure(const AVBSFContext *bsf, const TOutputStreamRec &ost, int err) {
  char text[512];
  std::snprintf(text, sizeof text, "%s failed for stream %d, codec %s: %s", bsf->filter->name,
                ost.OutputStreamIndex,
                ost.EncodingNeeded && ost.Enc && ost.Enc->codec ? ost.Enc->codec->name : "copy",
                MediaErrorText(err).c_str());
  return text;
}

// Duration of one packet of a stream that is not decoded, in microseconds.
int64_t PacketDuration(const AVStream *st, const AVPacket *pkt) {
  const AVCodecParameters *par = st->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->frame_size > 0 && par->sample_rate > 0)
    return 1000000LL * par->frame_size / par->sample_rate;
  if (pkt->duration > 0) return ff::av_rescale_q(pkt->duration, st->time_base, AV_TIME_BASE_Q);
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    const AVRational rate = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) return ff::av_rescale(1000000, rate.den, rate.num);
  }
  return 0;
}

}  // namespace

int TCustomFFmpeg::ProcessPacket(TInputStreamRec &ist, int istIndex, const AVPacket *pkt) {
  if (ist.DecodingNeeded) return DecodePacket(ist, istIndex, pkt);
  if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
  if (!pkt) return 0;  // nothing to drain: no decoder is open on this path yet
  if (pkt->dts != AV_NOPTS_VALUE)
    ist.NextPts = ist.Pts = ff::av_rescale_q(pkt->dts, ist.Stream->time_base, AV_TIME_BASE_Q);
  ist.Pts = ist.NextPts;
  ist.NextPts += PacketDuration(ist.Stream, pkt);
  if (FSettings.RateEmu) {
    const int64_t elapsed = ff::av_gettime() - ist.Start;
    if (ist.Pts - elapsed > 1000)
      std::this_thread::sleep_for(std::chrono::milliseconds((ist.Pts - elapsed) / 1000));
  }
  if (FSettings.StartTime != 0 && ist.Pts < FSettings.StartTime) return 0;
  for (TOutputStreamRec &ost : FOutputStreams) {
    if (ost.SourceIndex != istIndex || ost.EncodingNeeded) continue;
    if (FJoinMode && !ost.Active) continue;
    CopyPacket(ost, ist, pkt);
  }
  return 0;
}

void TCustomFFmpeg::CopyPacket(TOutputStreamRec &ost, TInputStreamRec &ist, const AVPacket *pkt) {
  // Pictures the source's edit list hides, the library marks for discarding.  A container that
  // takes negative times hides them again (MP4 writes an edit list); anywhere else they would be
  // shown, and everything after them would come late.  Sound keeps its hidden lead-in (encoder
  // priming), which decoders need and which lasts a few milliseconds.
  if ((pkt->flags & AV_PKT_FLAG_DISCARD) &&
      ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
      !(ost.File->Ctx->oformat->flags & AVFMT_TS_NEGATIVE))
    return;
  if (ost.FramesWritten == 0 && !(pkt->flags & AV_PKT_FLAG_KEY) &&
      !FSettings.CopyInitialNonKeyframes)
    return;
  const AVMediaType type = ost.Stream->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_AUDIO) FCounters.AudioSize += pkt->size;
  if (type == AVMEDIA_TYPE_VIDEO) {
    FCounters.VideoSize += pkt->size;
    ost.SyncOpts++;
  }
  TPacketPtr opkt(ff::av_packet_alloc());
  if (!opkt || ff::av_packet_ref(opkt.get(), pkt) < 0) throw FFmpegException("av_mallocz fail");
  const AVRational itb = ist.Stream->time_base, otb = ost.Stream->time_base;
  const int64_t start = ff::av_rescale_q(FSettings.StartTime, AV_TIME_BASE_Q, otb);
  opkt->pts =
      pkt->pts != AV_NOPTS_VALUE ? ff::av_rescale_q(pkt->pts, itb, otb) - start : AV_NOPTS_VALUE;
  opkt->dts = (pkt->dts != AV_NOPTS_VALUE ? ff::av_rescale_q(pkt->dts, itb, otb)
                                          : ff::av_rescale_q(ist.Pts, AV_TIME_BASE_Q, otb)) -
              start;
  opkt->duration = ff::av_rescale_q(pkt->duration, itb, otb);
  WriteFrame(ost, opkt.get());
  ost.FramesWritten++;
}

void TCustomFFmpeg::ApplyBitstreamFilters(TOutputStreamRec &ost, AVPacket *pkt,
                                          std::vector<TPacketPtr> &out) {
  std::vector<TPacketPtr> current;
  current.emplace_back(ff::av_packet_alloc());
  ff::av_packet_move_ref(current.back().get(), pkt);
  for (TBsfPtr &bsf : ost.Setup->Filters) {
    std::vector<TPacketPtr> next;
    for (TPacketPtr &p : current) {
      int ret = ff::av_bsf_send_packet(bsf.get(), p.get());
      while (ret >= 0) {
        TPacketPtr filtered(ff::av_packet_alloc());
        ret = ff::av_bsf_receive_packet(bsf.get(), filtered.get());
        if (ret >= 0) next.push_back(std::move(filtered));
      }
      if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
        const std::string msg = BsfFailure(bsf.get(), ost, ret);
        if (FSettings.ExitOnError) throw FFmpegException(msg);
        Log(TLogLevel::llError, msg);
      }
    }
    current = std::move(next);
  }
  out = std::move(current);
}

void TCustomFFmpeg::WriteFrame(TOutputStreamRec &ost, AVPacket *pkt) {
  pkt->stream_index = ost.Stream->index;
  std::vector<TPacketPtr> packets;
  if (ost.Setup->Filters.empty()) {
    packets.emplace_back(ff::av_packet_alloc());
    ff::av_packet_move_ref(packets.back().get(), pkt);
  } else {
    ApplyBitstreamFilters(ost, pkt, packets);
  }
  AVFormatContext *oc = ost.File->Ctx.get();
  for (TPacketPtr &p : packets) {
    p->stream_index = ost.Stream->index;
    // A muxer refuses decoding times that go backwards; nudge them forward instead of failing
    // the whole conversion over one packet.  Equal times are nudged too (even where the muxer
    // would take them), since players and remuxers of the file do not.
    if (p->dts != AV_NOPTS_VALUE && ost.LastMuxDts != AV_NOPTS_VALUE &&
        !(oc->oformat->flags & AVFMT_NOTIMESTAMPS) && p->dts <= ost.LastMuxDts) {
      const int64_t minDts = ost.LastMuxDts + 1;
      if (p->pts != AV_NOPTS_VALUE && p->pts >= p->dts) p->pts = std::max(p->pts, minDts);
      p->dts = minDts;
    }
    if (p->dts != AV_NOPTS_VALUE) ost.LastMuxDts = p->dts;
    const int64_t at = p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
    if (at != AV_NOPTS_VALUE) ost.CurrentTs = std::max(ost.CurrentTs, at + p->duration);
    const int ret = ff::av_interleaved_write_frame(oc, p.get());
    if (ret < 0) throw FFmpegException("av_interleaved_write_frame(): " + MediaErrorText(ret));
  }
}
