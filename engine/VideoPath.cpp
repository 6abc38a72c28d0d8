#include "engine/VideoPath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include "engine/FFmpegException.h"
#include "engine/StatusReport.h"
#include "services/FFmpegLogger.h"
#include "services/MediaErrors.h"

namespace {

constexpr AVRational Microseconds{1, AV_TIME_BASE};

int EvenDown(int v) {
  return v & ~1;
}

}  // namespace

TVideoPath::TVideoPath(AVCodecContext *encoder, AVStream *stream, const TVideoPathOptions &options,
                       TVideoCounters counters, TPacketWriter writer, const TInputFormat &input,
                       std::unique_ptr<TVideoFilterGraph> graph)
    : FEncoder(encoder),
      FStream(stream),
      FOptions(options),
      FCounters(counters),
      FWriter(std::move(writer)),
      FGraph(std::move(graph)) {
  FPacket.reset(ff::av_packet_alloc());
  FSend.reset(ff::av_frame_alloc());
  FCropped.reset(ff::av_frame_alloc());
  FFiltered.reset(ff::av_frame_alloc());
  if (!FPacket || !FSend || !FCropped || !FFiltered) throw FFmpegException("av_mallocz fail");
  FInputWidth = input.Width;
  FInputHeight = input.Height;
  FBandTop = options.CropTop;
  FBandBottom = options.CropBottom;
  FBandLeft = options.CropLeft;
  FBandRight = options.CropRight;
  FVideoCrop = FBandTop || FBandBottom || FBandLeft || FBandRight;
  FResampleWidth = input.Width - FBandLeft - FBandRight;
  FResampleHeight = input.Height - FBandTop - FBandBottom;
  FResampleFormat = input.Format;
  FVideoResample = FResampleWidth != encoder->width || FResampleHeight != encoder->height ||
                   input.Format != encoder->pix_fmt;
  if (FVideoResample && !FGraph) RebuildScaler(FResampleWidth, FResampleHeight, input.Format);
}

TVideoPath::~TVideoPath() = default;

void TVideoPath::SetEncoder(AVCodecContext *encoder) {
  FEncoder = encoder;
}

void TVideoPath::RebuildScaler(int width, int height, AVPixelFormat format) {
  FScaler.reset(ff::sws_getContext(width, height, format, FEncoder->width, FEncoder->height,
                                   FEncoder->pix_fmt, FOptions.ScalerFlags, nullptr, nullptr,
                                   nullptr));
  if (!FScaler) throw FFmpegException("Cannot get resampling context");
  if (!FPictTmp) {
    FPictTmp.reset(ff::av_frame_alloc());
    if (!FPictTmp) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    FPictTmp->width = FEncoder->width;
    FPictTmp->height = FEncoder->height;
    FPictTmp->format = FEncoder->pix_fmt;
    if (ff::av_frame_get_buffer(FPictTmp.get(), 0) < 0)
      throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  }
}

int TVideoPath::FramesFor(int64_t syncPts) {
  const double frameTime = av_q2d(FEncoder->time_base);
  double syncIpts = (syncPts - FOptions.StartTime) / 1000000.0 / frameTime;
  if (FOptions.VideoSync == 0) {
    FSyncOpts = std::llrint(syncIpts);
    return 1;
  }
  syncIpts -= FSyncShift;
  if (std::fabs(syncIpts - FSyncOpts) > FOptions.DiscontinuityThreshold / 1000000.0 / frameTime) {
    if (FOptions.Verbosity >= 3)
      FFLogger().LogFmt(FOptions.Sender, TLogLevel::llVerbose,
                        "timestamp discontinuity %.0f frames bridged", syncIpts - FSyncOpts);
    FSyncShift += syncIpts - FSyncOpts;
    syncIpts = static_cast<double>(FSyncOpts);
  }
  int frames = 1;
  const double vdelta = syncIpts - FSyncOpts;
  if (vdelta < -1.1) {
    frames = 0;
  } else if (FOptions.VideoSync == 2 || (FOptions.VideoSync < 0 && FOptions.VariableFrameRate)) {
    // Variable rate: never duplicate, jump the clock forward instead.
    if (vdelta <= -0.6)
      frames = 0;
    else if (vdelta > 0.6)
      FSyncOpts = std::llrint(syncIpts);
    // A stream time base coarser than the encoder's (a millisecond in Matroska) would give two
    // pictures close together the same time: a picture whose own time falls on the last one's
    // is dropped, one that falls later moves to the first time the stream tells apart.
    if (frames == 1) {
      const int64_t free = NextFreeTick();
      if (FSyncOpts < free) {
        const AVRational enc = FEncoder->time_base, st = FStream->time_base;
        if (ff::av_rescale_q(std::llrint(syncIpts), enc, st) <=
            ff::av_rescale_q(FLastTick, enc, st))
          frames = 0;
        else
          FSyncOpts = free;
      }
    }
  } else if (vdelta > 1.1) {
    frames = static_cast<int>(std::llrint(vdelta));
  }
  const bool verbose = FOptions.Verbosity > 2;
  if (frames == 0) {
    if (FCounters.FramesDrop) ++*FCounters.FramesDrop;
    if (FCounters.DupDropNoticed) *FCounters.DupDropNoticed = true;
    if (verbose) FFLogger().Log(FOptions.Sender, TLogLevel::llVerbose, "*** drop!");
  } else if (frames > 1) {
    if (FCounters.FramesDup) *FCounters.FramesDup += frames - 1;
    if (FCounters.DupDropNoticed) *FCounters.DupDropNoticed = true;
    if (verbose)
      FFLogger().LogFmt(FOptions.Sender, TLogLevel::llVerbose, "*** %d dup!", frames - 1);
  }
  return frames;
}

// The first output clock value after the last picture's that the stream's time base does not
// round to the same time; INT64_MIN before the first picture.
int64_t TVideoPath::NextFreeTick() const {
  if (FLastTick == AV_NOPTS_VALUE) return INT64_MIN;
  const AVRational enc = FEncoder->time_base, st = FStream->time_base;
  const int64_t last = ff::av_rescale_q(FLastTick, enc, st);
  int64_t tick = FLastTick + 1;
  // At most one stream step of encoder ticks (and a bound for absurd time bases).
  for (int i = 0; i < 1000000 && ff::av_rescale_q(tick, enc, st) <= last; ++i) ++tick;
  return tick;
}

int TVideoPath::Out(const AVFrame *picture, int64_t syncPts, float inputQuality,
                    const TPreviewStep &preview) {
  const bool changed = CheckInputChange(picture);
  if (!FGraph) return EncodeSynced(picture, syncPts, inputQuality, preview);

  if (changed) {
    // A new input size needs a graph made for it; the encoder keeps its size.
    TVideoGraphSetup setup = FGraph->Setup();
    setup.InputWidth = picture->width;
    setup.InputHeight = picture->height;
    setup.InputFormat = static_cast<AVPixelFormat>(picture->format);
    setup.CropTop = FBandTop;
    setup.CropBottom = FBandBottom;
    setup.CropLeft = FBandLeft;
    setup.CropRight = FBandRight;
    setup.EncoderWidth = FEncoder->width;
    setup.EncoderHeight = FEncoder->height;
    FGraph->Build(setup);
  }
  // The graph works in microseconds: the picture enters with the input clock.
  ff::av_frame_unref(FSend.get());
  if (ff::av_frame_ref(FSend.get(), picture) < 0) return 0;
  FSend->pts = syncPts;
  const bool pushed = FGraph->Push(FSend.get());
  ff::av_frame_unref(FSend.get());
  if (!pushed) return 0;
  int size = 0;
  while (FGraph->Pull(FFiltered.get())) {
    if (FFiltered->sample_aspect_ratio.num > 0)
      FEncoder->sample_aspect_ratio = FFiltered->sample_aspect_ratio;
    const int64_t pts = FFiltered->pts != AV_NOPTS_VALUE ? FFiltered->pts : syncPts;
    try {
      size = EncodeSynced(FFiltered.get(), pts, inputQuality, preview);
    } catch (...) {
      ff::av_frame_unref(FFiltered.get());
      throw;
    }
    ff::av_frame_unref(FFiltered.get());
  }
  return size;
}

// A decoded size or format other than the one the scaler was made for: new bands in proportion
// to the new size and a new scaler; without scaling there is nothing that could adapt.
bool TVideoPath::CheckInputChange(const AVFrame *picture) {
  const int w = picture->width - FBandLeft - FBandRight;
  const int h = picture->height - FBandTop - FBandBottom;
  const auto format = static_cast<AVPixelFormat>(picture->format);
  if (w == FResampleWidth && h == FResampleHeight && format == FResampleFormat) return false;
  const char *name = ff::av_get_pix_fmt_name(format);
  FFLogger().LogFmt(FOptions.Sender, TLogLevel::llQuiet,
                    "Input Stream #%d.%d frame size changed to %dx%d, %s", FOptions.InputFileIndex,
                    FOptions.InputStreamIndex, picture->width, picture->height,
                    name ? name : "none");
  if (!FVideoResample && !FGraph)
    throw FFmpegException("Assertion failed: frame size changed while the output is not scaled");
  FBandTop = EvenDown(picture->height * FOptions.CropTop / std::max(FInputHeight, 1));
  FBandBottom = EvenDown(picture->height * FOptions.CropBottom / std::max(FInputHeight, 1));
  FBandLeft = EvenDown(picture->width * FOptions.CropLeft / std::max(FInputWidth, 1));
  FBandRight = EvenDown(picture->width * FOptions.CropRight / std::max(FInputWidth, 1));
  FResampleWidth = picture->width - FBandLeft - FBandRight;
  FResampleHeight = picture->height - FBandTop - FBandBottom;
  FResampleFormat = format;
  if (!FGraph) RebuildScaler(FResampleWidth, FResampleHeight, format);
  return true;
}

int TVideoPath::EncodeSynced(const AVFrame *picture, int64_t syncPts, float inputQuality,
                             const TPreviewStep &preview) {
  int copies = FramesFor(syncPts);
  copies = std::min(copies, FOptions.FrameLimit - FFramesWritten);
  if (copies <= 0) return 0;
  const AVFrame *toEncode = picture;
  if (!FGraph) {
    if (FVideoCrop) {
      toEncode = Crop(picture);
      if (!toEncode) return 0;
    }
    if (FVideoResample) toEncode = Scale(toEncode);
  }
  return Encode(toEncode, copies, inputQuality, preview);
}

// A cropped picture is a view: the same buffers, plane pointers moved to the top left corner.
const AVFrame *TVideoPath::Crop(const AVFrame *picture) {
  const AVPixFmtDescriptor *desc =
      ff::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
  const bool croppable =
      desc &&
      !(desc->flags & (AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL));
  ff::av_frame_unref(FCropped.get());
  if (!croppable || ff::av_frame_ref(FCropped.get(), picture) < 0) {
    if (FOptions.XError) throw FFmpegException("error cropping picture");
    FFLogger().Log(FOptions.Sender, TLogLevel::llError, "error cropping picture");
    return nullptr;
  }
  for (int c = 0; c < desc->nb_components; ++c) {
    const AVComponentDescriptor &comp = desc->comp[c];
    const bool chroma = (c == 1 || c == 2) && desc->nb_components > 2;
    const int x = chroma ? FBandLeft >> desc->log2_chroma_w : FBandLeft;
    const int y = chroma ? FBandTop >> desc->log2_chroma_h : FBandTop;
    // Several components can share a plane (packed formats): move each plane once.
    bool first = true;
    for (int k = 0; k < c; ++k)
      if (desc->comp[k].plane == comp.plane) first = false;
    if (first)
      FCropped->data[comp.plane] = picture->data[comp.plane] +
                                   static_cast<ptrdiff_t>(y) * picture->linesize[comp.plane] +
                                   static_cast<ptrdiff_t>(x) * comp.step;
  }
  FCropped->width = picture->width - FBandLeft - FBandRight;
  FCropped->height = picture->height - FBandTop - FBandBottom;
  return FCropped.get();
}

const AVFrame *TVideoPath::Scale(const AVFrame *picture) {
  // The encoder may still hold the previous scaled picture: never overwrite it in place.
  if (ff::av_frame_make_writable(FPictTmp.get()) < 0)
    throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  ff::sws_scale(FScaler.get(), picture->data, picture->linesize, 0, picture->height, FPictTmp->data,
                FPictTmp->linesize);
  ff::av_frame_copy_props(FPictTmp.get(), picture);
  return FPictTmp.get();
}

int TVideoPath::Encode(const AVFrame *picture, int copies, float inputQuality,
                       const TPreviewStep &preview) {
  int size = 0;
  for (int i = 0; i < copies; ++i) {
    if (FOptions.StopRequested && *FOptions.StopRequested) break;
    AVFrame *send = FSend.get();
    ff::av_frame_unref(send);
    if (const int err = ff::av_frame_ref(send, picture); err < 0)
      throw FFmpegException(WithMediaError("Video encoding failed", err));
    send->width = FEncoder->width;
    send->height = FEncoder->height;
    if (FEncoder->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME))
      send->top_field_first =
          FOptions.TopFieldFirst == -1 ? picture->top_field_first : FOptions.TopFieldFirst;
    send->quality =
        static_cast<int>(std::lrint(FOptions.SameQuant ? inputQuality : FOptions.Quality));
    if (!FOptions.MeThreshold) send->pict_type = AV_PICTURE_TYPE_NONE;
    send->pts = FSyncOpts;
    FLastTick = FSyncOpts;
    const int err = ff::avcodec_send_frame(FEncoder, send);
    ff::av_frame_unref(send);
    if (err < 0) throw FFmpegException(WithMediaError("Video encoding failed", err));
    const int got = ReceivePackets(picture, preview);
    if (got > 0) size = got;
    ++FSyncOpts;
    ++FFramesWritten;
  }
  return size;
}

int64_t TVideoPath::Flush(const TPreviewStep &preview) {
  if (ff::avcodec_send_frame(FEncoder, nullptr) < 0) return 0;
  int64_t bytes = 0;
  const int64_t before = FCounters.VideoSize ? *FCounters.VideoSize : 0;
  ReceivePackets(nullptr, preview);
  if (FCounters.VideoSize) bytes = *FCounters.VideoSize - before;
  return bytes;
}

int TVideoPath::ReceivePackets(const AVFrame *picture, const TPreviewStep &preview) {
  int last = 0;
  for (;;) {
    const int err = ff::avcodec_receive_packet(FEncoder, FPacket.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    if (err < 0) throw FFmpegException(WithMediaError("Video encoding failed", err));
    AVPacket *pkt = FPacket.get();
    size_t sideSize = 0;
    if (const uint8_t *q = ff::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &sideSize);
        q && sideSize >= 5) {
      FLast.Quality = static_cast<float>(AV_RL32(q));
      FLast.PictType = ff::av_get_picture_type_char(static_cast<AVPictureType>(q[4]));
      const int errors = std::min<int>((static_cast<int>(sideSize) - 8) / 8, 4);
      FLast.HasError = errors > 0 && (FEncoder->flags & AV_CODEC_FLAG_PSNR);
      for (int i = 0; i < errors; ++i) FLast.Error[i] = AV_RL64(q + 8 + 8 * i);
    }
    if (preview && picture && pkt->size > 0)
      preview(picture, pkt->pts == AV_NOPTS_VALUE
                           ? AV_NOPTS_VALUE
                           : ff::av_rescale_q(pkt->pts, FEncoder->time_base, Microseconds));
    last = pkt->size;
    if (FCounters.VideoSize) *FCounters.VideoSize += pkt->size;
    if (FOptions.PassLog && FEncoder->stats_out) std::fputs(FEncoder->stats_out, FOptions.PassLog);
    pkt->stream_index = FStream->index;
    ff::av_packet_rescale_ts(pkt, FEncoder->time_base, FStream->time_base);
    FWriter(pkt);
    ff::av_packet_unref(pkt);
    if (last > 0 && FOptions.VStatsFile) WriteStats(last);
  }
  return last;
}

void TVideoPath::WriteStats(int frameSize) {
  FILE *f = FOptions.VStatsFile();
  if (!f) return;
  std::fprintf(f, "frame= %5d q= %2.1f ", FFramesWritten + 1, FLast.Quality / FF_QP2LAMBDA);
  if (FLast.HasError)
    std::fprintf(f, "PSNR= %6.2f ",
                 PsnrOf(static_cast<double>(FLast.Error[0]) /
                        (static_cast<double>(FEncoder->width) * FEncoder->height * 255.0 * 255.0)));
  std::fprintf(f, "f_size= %6d ", frameSize);
  const double timeBase = av_q2d(FEncoder->time_base);
  const double ti1 = std::max((FSyncOpts + 1) * timeBase, 0.01);
  const double bitrate = frameSize * 8 / timeBase / 1000.0;
  const double videoSize = FCounters.VideoSize ? static_cast<double>(*FCounters.VideoSize) : 0;
  const double average = videoSize * 8 / ti1 / 1000.0;
  std::fprintf(f, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               videoSize / 1024, ti1, bitrate, average);
  std::fprintf(f, "type= %c\n", FLast.PictType);
}
