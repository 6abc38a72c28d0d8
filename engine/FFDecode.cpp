// Decoding and the encoded output paths: the input clock of decoded streams, pre-processing of
// pictures, and the hand-over of every decoded frame to the audio, video and subtitle paths.
#include <chrono>
#include <thread>

#include "engine/AudioPath.h"
#include "engine/FFmpeg.h"
#include "engine/Preview.h"
#include "engine/SubtitlePath.h"
#include "engine/VideoFilterGraph.h"
#include "engine/VideoInput.h"
#include "engine/VideoPath.h"
#include "services/AVProbe.h"
#include "services/FFmpegLoader.h"
#include "services/RgbConverter.h"

namespace {

constexpr AVRational Microseconds{1, AV_TIME_BASE};

// Failed pictures in a row after which a decoder is taken to have given up.
constexpr int MaxDecodeErrorsInRow = 64;

// Duration of one decoded picture in µs: the packet's own duration when the container gives one,
// else the stream's frame rate with the picture's repeat count.
int64_t PictureDuration(const TInputStreamRec &ist, const AVFrame *frame) {
  if (frame->pkt_duration > 0)
    return ff::av_rescale_q(frame->pkt_duration, ist.Stream->time_base, Microseconds);
  AVRational rate = ist.Dec->framerate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.Stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.Stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  const int64_t frame1 = ff::av_rescale(AV_TIME_BASE, rate.den, rate.num);
  return frame1 + frame1 * frame->repeat_pict / 2;
}

// Join mode: the audio of one input ends where its container says the stream ends.  Decoders give
// out the padding of the last coded frame as well, which would pile up at every join and move the
// audio ahead of the video.
void TrimToStreamEnd(const AVStream *st, int64_t offset, int64_t pts, AVFrame *frame) {
  if (st->duration == AV_NOPTS_VALUE || st->duration <= 0 || frame->sample_rate <= 0) return;
  const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  const int64_t end = offset + ff::av_rescale_q(start + st->duration, st->time_base, Microseconds);
  const int64_t keep = ff::av_rescale(end - pts, frame->sample_rate, AV_TIME_BASE);
  if (keep < frame->nb_samples) frame->nb_samples = static_cast<int>(std::max<int64_t>(keep, 0));
}

// The filter chain that turns a picture clockwise by a multiple of 90 degrees.
const char *TurnChain(int degrees) {
  switch (degrees) {
    case 90: return "transpose=dir=clock";
    case 180: return "hflip,vflip";
    case 270: return "transpose=dir=cclock";
    default: return nullptr;
  }
}

// Size and sample aspect of a video stream's pictures as shown, that is, turned upright.
struct TShownPicture {
  int Width, Height;
  AVRational SampleAspect;
};
TShownPicture ShownPicture(const AVStream *st) {
  const AVCodecParameters *par = st->codecpar;
  const AVRational sar = par->sample_aspect_ratio;
  if (DisplayRotationOf(st) % 180 == 0) return {par->width, par->height, sar};
  return {par->height, par->width, sar.num > 0 ? AVRational{sar.den, sar.num} : sar};
}

// Whether a container keeps the time at which each stream starts.  AVI keeps none for sound.
bool CarriesStartOffset(const AVOutputFormat *format) {
  return !(format->flags & AVFMT_NOTIMESTAMPS) && std::string(format->name) != "avi";
}

bool HasVideo(const TOutputFile &file) {
  for (unsigned i = 0; i < file.Ctx->nb_streams; ++i)
    if (file.Ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) return true;
  return false;
}

template <class T>
TLatePtr<T> Own(std::unique_ptr<T> p) {
  return TLatePtr<T>(p.release(), TLateDelete<T>{[](T *q) { std::default_delete<T>()(q); }});
}

}  // namespace

// ---- set-up

void TCustomFFmpeg::BuildVideoGraph(TOutputStreamRec &ost, TInputStreamRec &ist) {
  const AVCodecParameters *in = ist.Stream->codecpar;
  const TShownPicture shown = ShownPicture(ist.Stream);
  TVideoGraphSetup setup;
  setup.InputWidth = shown.Width;
  setup.InputHeight = shown.Height;
  setup.InputFormat = static_cast<AVPixelFormat>(in->format);
  setup.SampleAspect = shown.SampleAspect;
  setup.CropTop = FSettings.CropTop;
  setup.CropBottom = FSettings.CropBottom;
  setup.CropLeft = FSettings.CropLeft;
  setup.CropRight = FSettings.CropRight;
  setup.EncoderWidth = ost.Enc->width;
  setup.EncoderHeight = ost.Enc->height;
  setup.EncoderFormat = ost.Enc->pix_fmt;
  setup.ScalerFlags = FSettings.ScalerFlags;
  setup.Filters = ost.File->VideoFilters;
  auto graph = std::make_unique<TVideoFilterGraph>();
  graph->Build(setup);
  // The chain decides the picture size the encoder gets.
  ost.Enc->width = graph->OutputWidth();
  ost.Enc->height = graph->OutputHeight();
  const AVRational sar = graph->OutputSampleAspect();
  if (sar.num > 0) ost.Enc->sample_aspect_ratio = ost.Stream->sample_aspect_ratio = sar;
  ost.Graph = Own(std::move(graph));
}

// Text subtitle encoders need the styles header the decoder of the source makes; the decoder is
// opened only after the encoders, so a short-lived one supplies it.
void TCustomFFmpeg::PrepareSubtitleEncoder(TOutputStreamRec &ost, TInputStreamRec &ist) {
  if (ost.Enc->time_base.num <= 0) ost.Enc->time_base = Microseconds;
  if (ost.Enc->subtitle_header) return;
  const AVCodec *codec = ff::avcodec_find_decoder(ist.Stream->codecpar->codec_id);
  if (!codec) return;
  TCodecCtxPtr dec(ff::avcodec_alloc_context3(codec));
  if (!dec || ff::avcodec_parameters_to_context(dec.get(), ist.Stream->codecpar) < 0) return;
  std::lock_guard lock(CodecLock());
  if (ff::avcodec_open2(dec.get(), codec, nullptr) < 0 || !dec->subtitle_header) return;
  auto *header = static_cast<uint8_t *>(ff::av_mallocz(dec->subtitle_header_size + 1));
  if (!header) throw FFmpegException("av_mallocz fail");
  std::copy(dec->subtitle_header, dec->subtitle_header + dec->subtitle_header_size, header);
  ost.Enc->subtitle_header = header;
  ost.Enc->subtitle_header_size = dec->subtitle_header_size;
  dec.reset();  // closed under the codec lock as well
}

// In join mode the slices share one encoder per stream, and with it one path: the audio FIFO, the
// video clock and the encoder's state carry on from one input to the next.
TOutputStreamRec &TCustomFFmpeg::PathOwner(TOutputStreamRec &ost) {
  if (!FJoinMode || FStreamsPerOutput <= 0) return ost;
  return FOutputStreams[(&ost - FOutputStreams.data()) % FStreamsPerOutput];
}

void TCustomFFmpeg::CreateOutputPaths() {
  if (!FHookConverter) FHookConverter = MakeLate<TRgbConverter>();
  if (!FPreviewConverter) FPreviewConverter = MakeLate<TRgbConverter>();
  for (TInputStreamRec &ist : FInputStreams)
    if (ist.DecodingNeeded && ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      ist.VideoIn = MakeLate<TVideoInput>();
      if (DisplayRotationOf(ist.Stream) != 0) ist.Rotation = MakeLate<TVideoFilterGraph>();
    }
  const size_t count = FJoinMode ? FStreamsPerOutput : FOutputStreams.size();
  for (size_t k = 0; k < count; ++k) {
    TOutputStreamRec &ost = FOutputStreams[k];
    if (!ost.EncodingNeeded) continue;
    const size_t index = k;
    // Packets go out through the record of the slice being converted (join mode) so that its
    // position and last decoding time stay current.
    auto writer = [this, index](AVPacket *pkt) {
      const size_t current = FJoinMode ? FCurrentInput * FStreamsPerOutput + index : index;
      WriteFrame(FOutputStreams[current], pkt);
    };
    const TInputStreamRec &ist = FInputStreams[ost.SourceIndex];
    switch (ost.Enc->codec_type) {
      case AVMEDIA_TYPE_AUDIO: {
        TAudioPathOptions o;
        o.Sender = this;
        o.Async = FSettings.AudioSyncMethod;
        o.AdriftThreshold = FSettings.AudioDriftThreshold;
        o.StartTime = FSettings.StartTime;
        o.Verbosity = FSettings.Verbose;
        o.XError = FSettings.ExitOnError;
        o.PadLateStart = !CarriesStartOffset(ost.File->Ctx->oformat) && HasVideo(*ost.File);
        ost.Audio = MakeLate<TAudioPath>(ost.Enc, ost.Stream, o, writer);
        break;
      }
      case AVMEDIA_TYPE_VIDEO: {
        TVideoPathOptions o;
        o.Sender = this;
        o.InputFileIndex = ist.InputFileIndex;
        o.InputStreamIndex = ist.InputStreamIndex;
        o.VideoSync = FSettings.VideoSyncMethod;
        const AVOutputFormat *format = ost.File->Ctx->oformat;
        // AVI stores a constant rate however the format flags read.
        o.VariableFrameRate =
            (format->flags & AVFMT_VARIABLE_FPS) && std::string(format->name) != "avi";
        o.StartTime = FSettings.StartTime;
        o.FrameLimit = FSettings.MaxVideoFrames;
        o.DiscontinuityThreshold = UndeclaredJumpThreshold();
        o.Verbosity = FSettings.Verbose;
        o.XError = FSettings.ExitOnError;
        o.CropTop = FSettings.CropTop;
        o.CropBottom = FSettings.CropBottom;
        o.CropLeft = FSettings.CropLeft;
        o.CropRight = FSettings.CropRight;
        o.ScalerFlags = FSettings.ScalerFlags;
        o.SameQuant = FSettings.SameQuant;
        o.Quality = ost.Setup->Quality;
        o.TopFieldFirst = FSettings.TopFieldFirst;
        o.MeThreshold = FSettings.MeThreshold;
        o.PassLog = ost.LogFile.get();
        if (!FSettings.VStatsFileName.empty())
          o.VStatsFile = [this] {
            return OpenStatsFile(FSettings.VStatsFile, FSettings.VStatsFileName);
          };
        o.StopRequested = &FStopRequested;
        TVideoCounters c{&FCounters.VideoSize, &FCounters.FramesDup, &FCounters.FramesDrop,
                         &FCounters.DupDropNoticed};
        const TShownPicture shown = ShownPicture(ist.Stream);
        TVideoPath::TInputFormat input{shown.Width, shown.Height,
                                       static_cast<AVPixelFormat>(ist.Stream->codecpar->format)};
        std::unique_ptr<TVideoFilterGraph> graph;
        if (ost.Graph) graph.reset(ost.Graph.release());
        ost.Video =
            MakeLate<TVideoPath>(ost.Enc, ost.Stream, o, c, writer, input, std::move(graph));
        break;
      }
      case AVMEDIA_TYPE_SUBTITLE: {
        TSubtitlePathOptions o;
        o.Sender = this;
        o.XError = FSettings.ExitOnError;
        ost.Subtitle = MakeLate<TSubtitlePath>(ost.Enc, ost.Stream, o, writer);
        break;
      }
      default: break;
    }
  }
}

// ---- decoding

int TCustomFFmpeg::DecodePacket(TInputStreamRec &ist, int istIndex, const AVPacket *pkt) {
  if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
  if (pkt && pkt->dts != AV_NOPTS_VALUE)
    ist.NextPts = ist.Pts = ff::av_rescale_q(pkt->dts, ist.Stream->time_base, Microseconds);
  const AVMediaType type = ist.Stream->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_SUBTITLE) return DecodeSubtitle(ist, istIndex, pkt);
  if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_VIDEO) return -1;

  int err = ff::avcodec_send_packet(ist.Dec, pkt);
  if (err == AVERROR_EOF) err = 0;  // already drained (join mode)
  // A refusal by a decoder that works on several pictures at once belongs to a picture sent
  // earlier: the packet was taken, and the pictures that did decode must still be fetched, above
  // all when draining at the end of a damaged file.
  int errors = 0;
  if (err < 0 && err != AVERROR(EAGAIN)) {
    ++errors;
    err = 0;
  }
  int frames = 0, errorsInRow = 0;
  for (;;) {
    if (!ist.Frame) ist.Frame.reset(ff::av_frame_alloc());
    const int got = ff::avcodec_receive_frame(ist.Dec, ist.Frame.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
    if (got < 0) {
      // One picture failed; the next may not.  A decoder that fails for good stops the loop.
      ++errors;
      if (++errorsInRow > MaxDecodeErrorsInRow) break;
      continue;
    }
    errorsInRow = 0;
    if (pkt && ++frames == 2) WarnMultipleFrames(ist);
    OutputDecodedFrame(ist, istIndex, ist.Frame.get());
    ff::av_frame_unref(ist.Frame.get());
    // A decoder that was full takes the packet once it has given its frames out.
    if (err == AVERROR(EAGAIN)) {
      err = ff::avcodec_send_packet(ist.Dec, pkt);
      if (err < 0 && err != AVERROR(EAGAIN)) {
        ++errors;
        err = 0;
      }
    }
  }
  if (pkt && IsPastStart(ist)) CopyToOutputs(ist, istIndex, pkt);
  if (!pkt) FlushOutputs(istIndex);
  FCounters.DecodeErrors += errors;
  return errors ? -1 : 0;
}

void TCustomFFmpeg::WarnMultipleFrames(TInputStreamRec &ist) {
  if ((FSettings.Verbose > 0 && !ist.ShowedMultiPacketWarning) || FSettings.Verbose > 1) {
    LogFmt(TLogLevel::llError, "Multiple frames in a packet from stream %d", ist.InputStreamIndex);
    ist.ShowedMultiPacketWarning = true;
  }
}

bool TCustomFFmpeg::IsPastStart(const TInputStreamRec &ist) const {
  return FSettings.StartTime == 0 || ist.Pts >= FSettings.StartTime;
}

void TCustomFFmpeg::CopyToOutputs(TInputStreamRec &ist, int istIndex, const AVPacket *pkt) {
  for (TOutputStreamRec &ost : FOutputStreams) {
    if (ost.SourceIndex != istIndex || ost.EncodingNeeded) continue;
    if (FJoinMode && !ost.Active) continue;
    CopyPacket(ost, ist, pkt);
  }
}

void TCustomFFmpeg::OutputDecodedFrame(TInputStreamRec &ist, int istIndex, AVFrame *frame) {
  const bool video = ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
  // A picture's own time is the clock when the decoder knows it: decoders that work on several
  // pictures at once (frame threads) give them out later than the packet that completed them.
  if (video && frame->best_effort_timestamp != AV_NOPTS_VALUE)
    ist.NextPts =
        ff::av_rescale_q(frame->best_effort_timestamp, ist.Stream->time_base, Microseconds);
  ist.Pts = ist.NextPts;
  if (video) {
    ist.Quality = static_cast<float>(frame->quality);
    ist.NextPts += PictureDuration(ist, frame);
    if (IsBeforeInputStart(ist)) return;
    if (ist.Rotation) frame = TurnUpright(ist, frame);
    PreprocessPicture(ist, frame);
  } else {
    if (frame->sample_rate > 0)
      ist.NextPts += static_cast<int64_t>(frame->nb_samples) * AV_TIME_BASE / frame->sample_rate;
    frame = CutBeforeInputStart(ist, frame);
    if (!frame) return;
    ApplyVolume(frame, FSettings.AudioVolume);
    if (FJoinMode) TrimToStreamEnd(ist.Stream, FInputTsOffsets[ist.InputFileIndex], ist.Pts, frame);
  }
  if (FSettings.RateEmu) {
    const int64_t elapsed = ff::av_gettime() - ist.Start;
    if (ist.Pts - elapsed > 1000)
      std::this_thread::sleep_for(std::chrono::milliseconds((ist.Pts - elapsed) / 1000));
  }
  if (!IsPastStart(ist)) return;
  for (TOutputStreamRec &ost : FOutputStreams) {
    if (ost.SourceIndex != istIndex || !ost.EncodingNeeded) continue;
    if (FJoinMode && !ost.Active) continue;
    TOutputStreamRec &owner = PathOwner(ost);
    TInputStreamRec &sync = FInputStreams[ost.SyncInput >= 0 ? ost.SyncInput : istIndex];
    if (owner.Audio) {
      FCounters.AudioSize += owner.Audio->Out(frame, sync.Pts, sync.IsStart);
      ost.SyncOpts = owner.Audio->SyncOpts();
    } else if (owner.Video) {
      const auto preview = PreviewStep();
      owner.Video->Out(frame, sync.Pts, ist.Quality, preview);
      ost.SyncOpts = owner.Video->SyncOpts();
      ost.FramesWritten = owner.Video->FramesWritten();
      ost.Quality = owner.Video->LastFrame().Quality;
    } else if (ost.Enc->codec_type != AVMEDIA_TYPE_SUBTITLE) {
      throw FFmpegException("invalid codec_type");
    }
  }
}

// A picture shown before the input's part begins was decoded only because the seek stopped at the
// key frame before it.  Timestamps rounded through the stream's time base may fall a tick short.
bool TCustomFFmpeg::IsBeforeInputStart(const TInputStreamRec &ist) const {
  const int64_t start = FInputStarts[ist.InputFileIndex];
  if (start == AV_NOPTS_VALUE) return false;
  const int64_t tick =
      std::max<int64_t>(1, ff::av_rescale_q(1, ist.Stream->time_base, Microseconds));
  return ist.Pts + tick < start;
}

// Sound before the input's part begins is cut off at the sample where the part begins, so that
// the first sample written is the one heard with the first picture.  Null when nothing is left.
AVFrame *TCustomFFmpeg::CutBeforeInputStart(TInputStreamRec &ist, AVFrame *frame) {
  const int64_t start = FInputStarts[ist.InputFileIndex];
  if (start == AV_NOPTS_VALUE || ist.Pts >= start || frame->sample_rate <= 0) return frame;
  const int64_t skip = ff::av_rescale(start - ist.Pts, frame->sample_rate, AV_TIME_BASE);
  if (skip <= 0) return frame;
  if (skip >= frame->nb_samples) return nullptr;
  if (!ist.Cut) ist.Cut.reset(ff::av_frame_alloc());
  AVFrame *cut = ist.Cut.get();
  if (!cut) throw FFmpegException("av_frame_alloc failed");
  ff::av_frame_unref(cut);
  cut->format = frame->format;
  cut->sample_rate = frame->sample_rate;
  cut->nb_samples = frame->nb_samples - static_cast<int>(skip);
  if (ff::av_channel_layout_copy(&cut->ch_layout, &frame->ch_layout) < 0 ||
      ff::av_frame_get_buffer(cut, 0) < 0 || ff::av_frame_copy_props(cut, frame) < 0)
    throw FFmpegException("Out of memory while cutting sound to the start");
  ff::av_samples_copy(cut->extended_data, frame->extended_data, 0, static_cast<int>(skip),
                      cut->nb_samples, frame->ch_layout.nb_channels,
                      static_cast<AVSampleFormat>(frame->format));
  ist.Pts += ff::av_rescale(skip, AV_TIME_BASE, frame->sample_rate);
  return cut;
}

// Hooks, crop, scale and filters all work on the picture as it is shown, so the display rotation
// is applied first; the output streams carry none.
AVFrame *TCustomFFmpeg::TurnUpright(TInputStreamRec &ist, AVFrame *frame) {
  TVideoFilterGraph &graph = *ist.Rotation;
  const TVideoGraphSetup &now = graph.Setup();
  if (now.InputWidth != frame->width || now.InputHeight != frame->height ||
      now.InputFormat != frame->format) {
    TVideoGraphSetup setup;
    setup.InputWidth = setup.EncoderWidth = frame->width;
    setup.InputHeight = setup.EncoderHeight = frame->height;
    setup.InputFormat = setup.EncoderFormat = static_cast<AVPixelFormat>(frame->format);
    setup.SampleAspect = frame->sample_aspect_ratio;
    setup.Filters = TurnChain(DisplayRotationOf(ist.Stream));
    graph.Build(setup);
  }
  if (!ist.Rotated) ist.Rotated.reset(ff::av_frame_alloc());
  ff::av_frame_unref(ist.Rotated.get());
  if (!ist.Rotated || !graph.Push(frame) || !graph.Pull(ist.Rotated.get())) return frame;
  return ist.Rotated.get();
}

void TCustomFFmpeg::PreprocessPicture(TInputStreamRec &ist, AVFrame *frame) {
  if (!ist.VideoIn) return;
  TVideoInput::THook hook;
  if (FCustomHookCallback)
    hook = [this](TBitmap &bitmap, int32_t number, int64_t pts, bool &update, bool &stop) {
      FCustomHookCallback(this, bitmap, number, pts, update, stop);
    };
  TVideoInput::TRequest request;
  request.Sender = this;
  request.Deinterlace = FSettings.DoDeinterlace;
  request.CustomHook = &hook;
  request.Hooks = FSettings.UsingVHook ? FFrameHooks.get() : nullptr;
  request.Converter = FHookConverter.get();
  request.FrameCounter = &FHookFrameCounter;
  if (ist.VideoIn->Process(frame, ist.Pts, request)) DisableCustomHook();
}

std::function<void(const AVFrame *, int64_t)> TCustomFFmpeg::PreviewStep() {
  if (!PreviewFlags()) return nullptr;
  return [this](const AVFrame *picture, int64_t pts) {
    TPreviewContext context;
    context.Sender = this;
    context.Lock = &PreviewLock();
    context.Flags = &FPreviewFlags;
    context.LastTime = &FLastPreviewTime;
    context.Period = FPreviewPeriod;
    context.FrameNumber = FHookFrameCounter;
    context.Converter = FPreviewConverter.get();
    if (FPreviewBitmapCallback)
      context.BitmapCallback = [this](TBitmap &bitmap, int32_t number, int64_t time) {
        FPreviewBitmapCallback(this, bitmap, number, time);
      };
    context.ShowInWindow = [this](const TBitmap &bitmap, int32_t number, int64_t time) {
      return ShowInPreviewWindow(bitmap, number, time);
    };
    context.FreeWindow = [this] { FreeUnwantedPreviewWindow(); };
    RunPreviewStep(picture, pts, context);
  };
}

// Called outside the preview lock: making the window and showing a picture wait for the main
// thread.  The window is held by this call while the host may clear the window bit.
bool TCustomFFmpeg::ShowInPreviewWindow(const TBitmap &bitmap, int32_t frameNumber, int64_t pts) {
  std::shared_ptr<TPreviewer> window;
  {
    std::lock_guard lock(PreviewLock());
    window = FPreviewer;
  }
  if (!window && FPreviewerFactory) {
    window = FPreviewerFactory();
    std::lock_guard lock(PreviewLock());
    if (!FPreviewer) FPreviewer = window;
  }
  return window && window->Show(bitmap, frameNumber, pts);
}

int TCustomFFmpeg::DecodeSubtitle(TInputStreamRec &ist, int istIndex, const AVPacket *pkt) {
  if (!pkt) return 0;  // subtitle decoders hold nothing back
  AVSubtitle subtitle{};
  int got = 0;
  if (ff::avcodec_decode_subtitle2(ist.Dec, &subtitle, &got, const_cast<AVPacket *>(pkt)) < 0) {
    ++FCounters.DecodeErrors;
    return -1;
  }
  ist.Pts = ist.NextPts;
  if (pkt->duration > 0)
    ist.NextPts += ff::av_rescale_q(pkt->duration, ist.Stream->time_base, Microseconds);
  if (got) {
    struct TFree {
      AVSubtitle *S;
      ~TFree() { ff::avsubtitle_free(S); }
    } release{&subtitle};
    if (IsPastStart(ist))
      for (TOutputStreamRec &ost : FOutputStreams) {
        if (ost.SourceIndex != istIndex || !ost.EncodingNeeded) continue;
        if (FJoinMode && !ost.Active) continue;
        if (TOutputStreamRec &owner = PathOwner(ost); owner.Subtitle)
          owner.Subtitle->Out(&subtitle, pkt->pts, ist.Stream->time_base);
      }
  }
  if (IsPastStart(ist)) CopyToOutputs(ist, istIndex, pkt);
  return 0;
}

// End of an input stream: the encoders it feeds give out what they hold.  In join mode the
// encoders go on with the next input, so they are drained only after the last one.
void TCustomFFmpeg::FlushOutputs(int istIndex) {
  if (FJoinMode && FCurrentInput < InputCount() - 1 && !FStopRequested) return;
  for (TOutputStreamRec &ost : FOutputStreams) {
    if (ost.SourceIndex != istIndex || !ost.EncodingNeeded) continue;
    TOutputStreamRec &owner = PathOwner(ost);
    if (owner.Audio) {
      FCounters.AudioSize += owner.Audio->Flush();
    } else if (owner.Video) {
      owner.Video->Flush(PreviewStep());
      ost.FramesWritten = owner.Video->FramesWritten();
    }
  }
}
