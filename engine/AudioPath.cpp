#include "engine/AudioPath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "engine/FFmpegException.h"
#include "services/FFmpegLogger.h"
#include "services/MediaErrors.h"

namespace {

// Old resampler settings kept so that resampled audio sounds as it always did.
constexpr int ResampleFilterLength = 16;
constexpr int ResamplePhaseShift = 10;
constexpr double ResampleCutoff = 0.8;
// Smallest timing gap, in samples, worth correcting.
constexpr double MinSyncGap = 50;

template <class T>
void ScaleIntegers(T *p, size_t count, int volume, int64_t low, int64_t high, int64_t bias) {
  for (size_t i = 0; i < count; ++i) {
    const int64_t s = (static_cast<int64_t>(p[i]) - bias) * volume + 128;
    p[i] = static_cast<T>(std::clamp<int64_t>(s >> 8, low, high) + bias);
  }
}

template <class T>
void ScaleFloats(T *p, size_t count, int volume) {
  const T factor = static_cast<T>(volume) / 256;
  for (size_t i = 0; i < count; ++i) p[i] = std::clamp<T>(p[i] * factor, -1, 1);
}

void ScalePlane(uint8_t *data, size_t count, AVSampleFormat packed, int volume) {
  switch (packed) {
    case AV_SAMPLE_FMT_U8: ScaleIntegers(data, count, volume, -128, 127, 128); break;
    case AV_SAMPLE_FMT_S16:
      ScaleIntegers(reinterpret_cast<int16_t *>(data), count, volume, INT16_MIN, INT16_MAX, 0);
      break;
    case AV_SAMPLE_FMT_S32:
      ScaleIntegers(reinterpret_cast<int32_t *>(data), count, volume, INT32_MIN, INT32_MAX, 0);
      break;
    case AV_SAMPLE_FMT_FLT: ScaleFloats(reinterpret_cast<float *>(data), count, volume); break;
    case AV_SAMPLE_FMT_DBL: ScaleFloats(reinterpret_cast<double *>(data), count, volume); break;
    default: break;  // 64-bit integer audio does not come out of decoders
  }
}

}  // namespace

void ApplyVolume(AVFrame *frame, int volume) {
  if (volume == 256 || !frame || frame->nb_samples <= 0) return;
  if (ff::av_frame_make_writable(frame) < 0) return;
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const AVSampleFormat packed = ff::av_get_packed_sample_fmt(format);
  if (ff::av_sample_fmt_is_planar(format)) {
    for (int c = 0; c < channels; ++c)
      ScalePlane(frame->extended_data[c], frame->nb_samples, packed, volume);
  } else {
    ScalePlane(frame->extended_data[0], static_cast<size_t>(frame->nb_samples) * channels, packed,
               volume);
  }
}

TAudioPath::TAudioPath(AVCodecContext *encoder, AVStream *stream, const TAudioPathOptions &options,
                       TPacketWriter writer)
    : FEncoder(encoder), FStream(stream), FOptions(options), FWriter(std::move(writer)) {
  FFifo.reset(ff::av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, 1024));
  FFrame.reset(ff::av_frame_alloc());
  FPacket.reset(ff::av_packet_alloc());
  if (!FFifo || !FFrame || !FPacket) throw FFmpegException("av_fifo_alloc fail");
}

TAudioPath::~TAudioPath() {
  if (FConverted) ff::av_freep(&FConverted[0]);
  ff::av_freep(&FConverted);
  if (FInput.Format >= 0) ff::av_channel_layout_uninit(&FInput.Layout);
}

void TAudioPath::SetEncoder(AVCodecContext *encoder) {
  FEncoder = encoder;
  FDrained = false;
}

void TAudioPath::SetSyncOpts(int64_t samples) {
  FSyncOpts = samples;
  FNextPts = samples;
}

int64_t TAudioPath::BufferedSamples() const {
  int64_t n = ff::av_audio_fifo_size(FFifo.get());
  if (FConverter) n += ff::swr_get_delay(FConverter.get(), FEncoder->sample_rate);
  return n;
}

int TAudioPath::FrameSize() const {
  if (FEncoder->codec && (FEncoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
    return 0;
  return FEncoder->frame_size > 1 ? FEncoder->frame_size : 0;
}

int64_t TAudioPath::Out(const AVFrame *samples, int64_t syncPts, bool &isStart) {
  if (!samples || samples->nb_samples <= 0) return 0;
  PrepareConverter(samples);
  int skip = 0;
  if (!Synchronise(samples, syncPts, isStart, skip)) return 0;

  // Lay the input over its planes from the first sample that survived the synchronisation.
  const int channels = samples->ch_layout.nb_channels;
  const auto format = static_cast<AVSampleFormat>(samples->format);
  const bool planar = ff::av_sample_fmt_is_planar(format);
  const int step = ff::av_get_bytes_per_sample(format) * (planar ? 1 : channels);
  std::vector<uint8_t *> planes(planar ? channels : 1);
  for (size_t p = 0; p < planes.size(); ++p)
    planes[p] = samples->extended_data[p] + static_cast<size_t>(skip) * step;
  const int count = samples->nb_samples - skip;

  if (FConverter)
    Convert(planes.data(), count);
  else
    WriteToFifo(planes.data(), count);
  return EncodeWholeFrames();
}

// The converter follows the input format: one per output stream, rebuilt when the input's rate,
// layout or sample format changes (what it still holds is flushed first).
void TAudioPath::PrepareConverter(const AVFrame *samples) {
  if (FInput.Format >= 0 && SameInputFormat(samples)) return;
  if (FConverter) DrainConverter();
  FConverter.reset();
  SaveInputFormat(samples);
  const bool sameRate = samples->sample_rate == FEncoder->sample_rate;
  const bool sameLayout =
      ff::av_channel_layout_compare(&samples->ch_layout, &FEncoder->ch_layout) == 0;
  const bool sameFormat = samples->format == FEncoder->sample_fmt;
  // Compensating drift needs the resampler even when nothing else differs.
  if (sameRate && sameLayout && sameFormat && FOptions.Async <= 1) return;
  BuildConverter(samples);
}

bool TAudioPath::SameInputFormat(const AVFrame *samples) const {
  return samples->sample_rate == FInput.Rate && samples->format == FInput.Format &&
         ff::av_channel_layout_compare(&samples->ch_layout, &FInput.Layout) == 0;
}

void TAudioPath::SaveInputFormat(const AVFrame *samples) {
  if (FInput.Format >= 0) ff::av_channel_layout_uninit(&FInput.Layout);
  FInput.Rate = samples->sample_rate;
  FInput.Format = samples->format;
  ff::av_channel_layout_copy(&FInput.Layout, &samples->ch_layout);
}

void TAudioPath::BuildConverter(const AVFrame *samples) {
  SwrContext *swr = nullptr;
  int err = ff::swr_alloc_set_opts2(
      &swr, &FEncoder->ch_layout, FEncoder->sample_fmt, FEncoder->sample_rate,
      const_cast<AVChannelLayout *>(&samples->ch_layout),
      static_cast<AVSampleFormat>(samples->format), samples->sample_rate, 0, nullptr);
  TSwrPtr converter(swr);
  if (err >= 0) {
    ff::av_opt_set_int(swr, "filter_size", ResampleFilterLength, 0);
    ff::av_opt_set_int(swr, "phase_shift", ResamplePhaseShift, 0);
    ff::av_opt_set_int(swr, "linear_interp", 0, 0);
    ff::av_opt_set_double(swr, "cutoff", ResampleCutoff, 0);
    if (FOptions.Async > 1) ff::av_opt_set_int(swr, "flags", SWR_FLAG_RESAMPLE, 0);
    // A mono source goes to both stereo channels at full level (the converter would put it 3 dB
    // down), so that an upmix does not change the loudness.
    if (samples->ch_layout.nb_channels == 1 && FEncoder->ch_layout.nb_channels == 2)
      ff::av_opt_set_double(swr, "rematrix_volume", M_SQRT2, 0);
    err = ff::swr_init(swr);
  }
  if (err < 0) {
    char text[256];
    const bool onlyFormat = samples->sample_rate == FEncoder->sample_rate &&
                            samples->ch_layout.nb_channels == FEncoder->ch_layout.nb_channels;
    if (onlyFormat)
      std::snprintf(text, sizeof text, "Cannot convert %s sample format to %s sample format",
                    ff::av_get_sample_fmt_name(static_cast<AVSampleFormat>(samples->format)),
                    ff::av_get_sample_fmt_name(FEncoder->sample_fmt));
    else
      std::snprintf(text, sizeof text,
                    "Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                    samples->ch_layout.nb_channels, samples->sample_rate,
                    FEncoder->ch_layout.nb_channels, FEncoder->sample_rate);
    throw FFmpegException(text);
  }
  FConverter = std::move(converter);
}

// Compares the input clock with the samples already produced and pads, drops or compensates.
bool TAudioPath::Synchronise(const AVFrame *samples, int64_t syncPts, bool &isStart, int &skip) {
  const double encRate = FEncoder->sample_rate;
  const double expected = (syncPts - FOptions.StartTime) / 1000000.0 * encRate;
  const bool first = !FStarted;
  FStarted = true;
  if (first && FOptions.PadLateStart && FOptions.Async == 0) {
    const double late = expected - FSyncOpts - static_cast<double>(BufferedSamples());
    if (late > MinSyncGap)
      InsertSilence(static_cast<int64_t>(std::trunc(late * samples->sample_rate / encRate)));
  }
  const auto buffered = static_cast<double>(BufferedSamples());
  if (FOptions.Async == 0) {
    FSyncOpts = std::llrint(expected) - static_cast<int64_t>(buffered);
    return true;
  }
  const double delta = expected - FSyncOpts - buffered;
  if (std::fabs(delta) <= MinSyncGap) return true;
  const double idelta = delta * samples->sample_rate / encRate;
  const auto inputDelta = static_cast<int64_t>(std::trunc(idelta));
  const bool verbose = FOptions.Verbosity > 2;
  if (isStart || std::fabs(delta) > FOptions.AdriftThreshold * encRate) {
    isStart = false;
    if (inputDelta < 0) {
      skip = static_cast<int>(std::min<int64_t>(-inputDelta, samples->nb_samples));
      if (verbose)
        FFLogger().LogFmt(FOptions.Sender, TLogLevel::llVerbose, "discarding %d audio samples",
                          static_cast<int>(std::trunc(-delta)));
      return skip < samples->nb_samples;
    }
    if (inputDelta > 0) {
      InsertSilence(inputDelta);
      if (verbose)
        FFLogger().LogFmt(FOptions.Sender, TLogLevel::llVerbose,
                          "adding %d audio samples of silence",
                          static_cast<int>(std::trunc(delta)));
    }
    return true;
  }
  if (FOptions.Async > 1 && FConverter) {
    const int comp = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(std::trunc(delta)),
                                                          -FOptions.Async, FOptions.Async));
    if (verbose)
      FFLogger().LogFmt(FOptions.Sender, TLogLevel::llVerbose,
                        "compensating audio timestamp drift:%f compensation:%d in:%d", delta, comp,
                        FEncoder->sample_rate);
    ff::swr_set_compensation(FConverter.get(), comp, FEncoder->sample_rate);
  }
  return true;
}

void TAudioPath::InsertSilence(int64_t inputSamples) {
  if (inputSamples > INT_MAX) throw FFmpegException("Buffer sizes too large in do_audio_out");
  if (FConverter) {
    if (ff::swr_inject_silence(FConverter.get(), static_cast<int>(inputSamples)) < 0)
      throw FFmpegException("Out of memory in do_audio_out");
    return;
  }
  // Without a converter the input is already in the encoder's format and rate.
  const int channels = FEncoder->ch_layout.nb_channels;
  uint8_t **silence = nullptr;
  if (ff::av_samples_alloc_array_and_samples(
          &silence, nullptr, channels, static_cast<int>(inputSamples), FEncoder->sample_fmt, 0) < 0)
    throw FFmpegException("Out of memory in do_audio_out");
  ff::av_samples_set_silence(silence, 0, static_cast<int>(inputSamples), channels,
                             FEncoder->sample_fmt);
  try {
    WriteToFifo(silence, static_cast<int>(inputSamples));
  } catch (...) {
    ff::av_freep(&silence[0]);
    ff::av_freep(&silence);
    throw;
  }
  ff::av_freep(&silence[0]);
  ff::av_freep(&silence);
}

// The converter's output buffer is sized from the converter's own bound for this input, so no
// resampled sample is ever cut off; it only grows.
void TAudioPath::Convert(const uint8_t *const *data, int count) {
  const int bound = ff::swr_get_out_samples(FConverter.get(), count);
  if (bound < 0) throw FFmpegException("Buffer sizes too large in do_audio_out");
  if (bound > FConvertedCapacity) {
    if (FConverted) ff::av_freep(&FConverted[0]);
    ff::av_freep(&FConverted);
    FConvertedCapacity = 0;
    const int capacity = std::max(bound, 4096);
    if (ff::av_samples_alloc_array_and_samples(&FConverted, nullptr,
                                               FEncoder->ch_layout.nb_channels, capacity,
                                               FEncoder->sample_fmt, 0) < 0)
      throw FFmpegException("Out of memory in do_audio_out");
    FConvertedCapacity = capacity;
  }
  const int got = ff::swr_convert(FConverter.get(), FConverted, FConvertedCapacity,
                                  const_cast<const uint8_t **>(data), count);
  if (got < 0) {
    if (FOptions.XError) throw FFmpegException("av_audio_convert() failed");
    FFLogger().Log(FOptions.Sender, TLogLevel::llError, "av_audio_convert() failed");
    return;
  }
  WriteToFifo(FConverted, got);
}

void TAudioPath::DrainConverter() {
  if (!FConverter) return;
  // A converter that was given no input returns what its filter still holds.
  for (;;) {
    const int before = ff::av_audio_fifo_size(FFifo.get());
    Convert(nullptr, 0);
    if (ff::av_audio_fifo_size(FFifo.get()) == before) break;
  }
}

void TAudioPath::WriteToFifo(uint8_t *const *data, int count) {
  if (count <= 0) return;
  if (ff::av_audio_fifo_write(FFifo.get(), reinterpret_cast<void **>(const_cast<uint8_t **>(data)),
                              count) < count)
    throw FFmpegException("av_fifo_realloc2() failed");
}

int64_t TAudioPath::EncodeWholeFrames() {
  int64_t bytes = 0;
  const int frameSize = FrameSize();
  if (frameSize > 0) {
    while (ff::av_audio_fifo_size(FFifo.get()) >= frameSize) bytes += SendFrame(frameSize, false);
  } else if (ff::av_audio_fifo_size(FFifo.get()) > 0) {
    // Encoders without a fixed frame size take everything there is in one frame.
    bytes += SendFrame(ff::av_audio_fifo_size(FFifo.get()), false);
  }
  return bytes;
}

int64_t TAudioPath::SendFrame(int count, bool padToFrame) {
  AVFrame *frame = FFrame.get();
  ff::av_frame_unref(frame);
  frame->nb_samples = padToFrame ? std::max(count, FEncoder->frame_size) : count;
  frame->format = FEncoder->sample_fmt;
  frame->sample_rate = FEncoder->sample_rate;
  if (ff::av_channel_layout_copy(&frame->ch_layout, &FEncoder->ch_layout) < 0 ||
      ff::av_frame_get_buffer(frame, 0) < 0)
    throw FFmpegException("Out of memory in do_audio_out");
  if (ff::av_audio_fifo_read(FFifo.get(), reinterpret_cast<void **>(frame->extended_data), count) <
      count)
    throw FFmpegException("Audio encoding failed");
  if (frame->nb_samples > count)
    ff::av_samples_set_silence(frame->extended_data, count, frame->nb_samples - count,
                               frame->ch_layout.nb_channels, FEncoder->sample_fmt);
  // Timestamps follow the samples sent; they never go back even when the input clock jitters.
  const int64_t start = FNextPts == INT64_MIN ? FSyncOpts : std::max(FSyncOpts, FNextPts);
  frame->pts = ff::av_rescale_q(start, AVRational{1, FEncoder->sample_rate}, FEncoder->time_base);
  FNextPts = start + frame->nb_samples;
  FSyncOpts = start + count;
  if (const int err = ff::avcodec_send_frame(FEncoder, frame); err < 0)
    throw FFmpegException(WithMediaError("Audio encoding failed", err));
  return ReceivePackets();
}

int64_t TAudioPath::ReceivePackets() {
  int64_t bytes = 0;
  for (;;) {
    const int err = ff::avcodec_receive_packet(FEncoder, FPacket.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    if (err < 0) throw FFmpegException(WithMediaError("Audio encoding failed", err));
    FPacket->stream_index = FStream->index;
    ff::av_packet_rescale_ts(FPacket.get(), FEncoder->time_base, FStream->time_base);
    FPacket->flags |= AV_PKT_FLAG_KEY;
    bytes += FPacket->size;
    FWriter(FPacket.get());
    ff::av_packet_unref(FPacket.get());
  }
  return bytes;
}

int64_t TAudioPath::Flush() {
  if (FDrained) return 0;
  DrainConverter();
  int64_t bytes = EncodeWholeFrames();
  const int left = ff::av_audio_fifo_size(FFifo.get());
  if (left > 0) {
    const int caps = FEncoder->codec ? FEncoder->codec->capabilities : 0;
    const bool shortAllowed =
        caps & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    bytes += SendFrame(left, !shortAllowed);
  }
  if (const int err = ff::avcodec_send_frame(FEncoder, nullptr); err < 0)
    throw FFmpegException(WithMediaError("Audio encoding failed", err));
  bytes += ReceivePackets();
  FDrained = true;
  return bytes;
}
