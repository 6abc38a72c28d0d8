#include "player/AudioDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "player/FFPlay.h"
#include "player/Playback.h"
#include "player/StreamDecoder.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"

namespace {

// A player that stops without waiting closes its sound device while the next player opens its
// own; SDL's table of open devices is not safe against both at once.
std::mutex &DeviceTableLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

TAudioDecoder::TAudioDecoder(TPlayback &playback)
    : FPlayback(playback), FBuffer(BufferSize), FWave(WaveSamples, 0) {}

TAudioDecoder::~TAudioDecoder() {
  Close();
}

bool TAudioDecoder::Open(AVStream *stream) {
  if (!OpenStreamDecoder(stream, FCodec, true)) {
    FPlayback.Owner.ReportError("avcodec_open() failed.", false);
    return false;
  }
  // At most two channels go to the device; swresample mixes the others down.
  const int streamChannels = FCodec->ch_layout.nb_channels;
  FChannels = (streamChannels == 1 || streamChannels == 2) ? streamChannels : 2;
  FSampleRate = FCodec->sample_rate;
  FFrame.reset(ff::av_frame_alloc());
  if (!FFrame) return false;

  SDL_AudioSpec wanted{};
  SDL_AudioSpec obtained{};
  wanted.freq = FSampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<uint8_t>(FChannels);
  wanted.silence = 0;
  wanted.samples = SamplesPerBuffer;
  wanted.callback = &TAudioDecoder::Callback;
  wanted.userdata = this;
  {
    std::lock_guard lock(DeviceTableLock());
    FDevice = ff::SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  }
  if (FDevice == 0) {
    FPlayback.Owner.ReportError(std::string("SDL_OpenAudio() failed: ") + ff::SDL_GetError(),
                                false);
    return false;
  }
  FDeviceBufferSeconds =
      obtained.freq > 0 ? static_cast<double>(obtained.samples) / obtained.freq : 0.0;
  FStream = stream;
  FPlayback.AudioStreamStart =
      stream->start_time != AV_NOPTS_VALUE
          ? ff::av_rescale_q(stream->start_time, stream->time_base, AVRational{1, 1000000})
          : -1;
  FBufSize = 0;
  FBufIndex = 0;
  FPlayback.AudioQ.Start();
  ff::SDL_PauseAudioDevice(FDevice, 0);
  return true;
}

void TAudioDecoder::Close() {
  if (FDevice) {
    std::lock_guard lock(DeviceTableLock());
    ff::SDL_CloseAudioDevice(FDevice);
  }
  FDevice = 0;
  FSwr.reset();
  FFrame.reset();
  CloseStreamDecoder(FCodec);
  FStream = nullptr;
}

double TAudioDecoder::Clock() const {
  const int bytesPerSecond = FSampleRate * 2 * FChannels;
  if (bytesPerSecond <= 0) return 0;
  const int pending = FBufSize - FBufIndex;
  double clock = FClock - static_cast<double>(std::max(pending, 0)) / bytesPerSecond;
  // The device takes a whole buffer at each callback and plays it until the next one: between
  // two callbacks the sound moves on with the wall clock.  Without this the clock would stand
  // still for a buffer and then jump, and pictures would be paced against a stale time.
  const int64_t callbackTime = FCallbackTime;
  if (!FPlayback.Paused && callbackTime > 0) {
    const double since = (ff::av_gettime_relative() - callbackTime) / 1e6;
    clock += std::clamp(since, 0.0, FDeviceBufferSeconds.load());
  }
  return clock;
}

void TAudioDecoder::Callback(void *opaque, uint8_t *stream, int len) {
  static_cast<TAudioDecoder *>(opaque)->Fill(stream, len);
}

void TAudioDecoder::Fill(uint8_t *stream, int len) {
  FCallbackTime = ff::av_gettime_relative();
  TCustomPlayer &owner = FPlayback.Owner;
  // SDL 2 hands over an uninitialised buffer: whatever we do not fill must be silence.
  std::memset(stream, 0, len);
  while (len > 0) {
    // A paused playback goes silent at once; what is left in the buffer plays after resuming.
    if (FPlayback.Paused) return;
    if (FBufIndex >= FBufSize) {
      const int size = Decode();
      if (FPlayback.AudioQ.Aborted()) return;
      if (size < 0) {
        static const uint8_t silence[SilenceBytes] = {};
        FData = silence;
        FBufSize = SilenceBytes;
      } else {
        if (FPlayback.DisplayMode == 1) StoreWave(FData, size);
        FBufSize = size;
      }
      FBufIndex = 0;
    }
    const int chunk = std::min(FBufSize - FBufIndex, len);
    if (!owner.FMute)
      ff::SDL_MixAudioFormat(stream, FData + FBufIndex, AUDIO_S16SYS, chunk, owner.FAudioVolume);
    len -= chunk;
    stream += chunk;
    FBufIndex += chunk;
  }
}

// Returns the number of bytes ready at FData, or -1 when there is nothing to play now.
int TAudioDecoder::Decode() {
  for (;;) {
    const int received = ff::avcodec_receive_frame(FCodec.get(), FFrame.get());
    if (received >= 0) {
      if (FFrame->best_effort_timestamp != AV_NOPTS_VALUE)
        FClock = FFrame->best_effort_timestamp * av_q2d(FStream->time_base);
      const int skip = SamplesBeforeSeekTarget(FFrame.get());
      int bytes = skip < FFrame->nb_samples ? Convert(FFrame.get()) : 0;
      ff::av_frame_unref(FFrame.get());
      if (bytes > 0 && skip > 0) {
        // Start at the sample the seek asked for.
        const int skipBytes = std::min(
            bytes, static_cast<int>(std::lround(skip * double(FSampleRate) / FCodec->sample_rate)) *
                       2 * FChannels);
        FData += skipBytes;
        bytes -= skipBytes;
        FClock = FClock + static_cast<double>(skipBytes) / (2.0 * FChannels * FSampleRate);
      }
      if (bytes <= 0) continue;
      FClock = FClock + static_cast<double>(bytes) / (2.0 * FChannels * FSampleRate);
      return bytes;
    }
    if (received == AVERROR_EOF && FDraining) FEnded = true;
    if (received != AVERROR(EAGAIN) && received != AVERROR_EOF)
      FFLogger().Log(&FPlayback.Owner, TLogLevel::llInfo, "avcodec_decode_audio2() failed");

    if (FPlayback.Paused || FPlayback.AudioQ.Aborted()) return -1;
    // Read before the queue: once the reader is at the end, an empty queue stays empty.
    const bool readerAtEnd = FPlayback.ReaderAtEnd;
    TQueuedPacket item;
    if (FPlayback.AudioQ.Get(item, false) <= 0) {
      if (!readerAtEnd || FDraining) return -1;
      // The file's last packet has been decoded: the decoder gives up the sound it holds back.
      ff::avcodec_send_packet(FCodec.get(), nullptr);
      FDraining = true;
      continue;
    }
    if (item.Kind == TPacketKind::pkFlush) {
      ff::avcodec_flush_buffers(FCodec.get());
      FDraining = false;
      FEnded = false;
      FSeekTarget = FPlayback.AudioSeekTargetTime.exchange(-1);
      continue;
    }
    if (item.Kind != TPacketKind::pkData) continue;
    if (ff::avcodec_send_packet(FCodec.get(), item.Packet.get()) < 0)
      FFLogger().Log(&FPlayback.Owner, TLogLevel::llInfo, "avcodec_decode_audio2() failed");
  }
}

// After a seek to an exact time: how many samples of the frame come before it.
int TAudioDecoder::SamplesBeforeSeekTarget(const AVFrame *frame) {
  if (FSeekTarget < 0 || frame->best_effort_timestamp == AV_NOPTS_VALUE || frame->sample_rate <= 0)
    return 0;
  const double start = frame->best_effort_timestamp * av_q2d(FStream->time_base);
  const int64_t before = std::llround((FSeekTarget - start) * frame->sample_rate);
  if (before < frame->nb_samples) FSeekTarget = -1;
  return static_cast<int>(std::clamp<int64_t>(before, 0, frame->nb_samples));
}

// Converts one decoded frame to interleaved signed 16-bit at the device's channel count.
int TAudioDecoder::Convert(AVFrame *frame) {
  const uint64_t layoutKey = frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE
                                 ? frame->ch_layout.u.mask
                                 : static_cast<uint64_t>(frame->ch_layout.nb_channels);
  if (!FSwr || frame->format != FSrcFormat || frame->sample_rate != FSrcRate ||
      layoutKey != FSrcLayoutKey) {
    FSwr.reset();
    AVChannelLayout outLayout{};
    ff::av_channel_layout_default(&outLayout, FChannels);
    SwrContext *swr = nullptr;
    const int err = ff::swr_alloc_set_opts2(
        &swr, &outLayout, AV_SAMPLE_FMT_S16, FSampleRate, &frame->ch_layout,
        static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    FSwr.reset(swr);
    if (err < 0 || ff::swr_init(FSwr.get()) < 0) {
      FSwr.reset();
      const char *from = ff::av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
      FPlayback.Owner.ReportError(std::string("Cannot convert ") + (from ? from : "?") +
                                      " sample format to s16 sample format",
                                  false);
      FSrcFormat = -1;
      return -1;
    }
    FSrcFormat = frame->format;
    FSrcRate = frame->sample_rate;
    FSrcLayoutKey = layoutKey;
  }
  const int bytesPerSample = 2 * FChannels;
  uint8_t *out[1] = {FBuffer.data()};
  const int got =
      ff::swr_convert(FSwr.get(), out, BufferSize / bytesPerSample,
                      const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
  if (got < 0) {
    FPlayback.Owner.ReportError("av_audio_convert() failed", false);
    return -1;
  }
  FData = FBuffer.data();
  return got * bytesPerSample;
}

void TAudioDecoder::StoreWave(const uint8_t *data, int bytes) {
  std::lock_guard lock(FWaveLock);
  const auto *samples = reinterpret_cast<const int16_t *>(data);
  const int count = bytes / 2;
  for (int i = 0; i < count; ++i) {
    FWave[FWaveIndex] = samples[i];
    FWaveIndex = (FWaveIndex + 1) % WaveSamples;
  }
}

void TAudioDecoder::WaveSnapshot(std::vector<int16_t> &samples, int &writeIndex, int &pendingBytes,
                                 int64_t &callbackTime) {
  std::lock_guard lock(FWaveLock);
  samples = FWave;
  writeIndex = FWaveIndex;
  pendingBytes = FBufSize - FBufIndex;
  callbackTime = FCallbackTime;
}
