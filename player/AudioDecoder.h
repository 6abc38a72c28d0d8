// Audio of a playback: decodes packets in SDL's audio callback into signed 16-bit samples and
// mixes them into the device at the player's volume.  Its clock is the playback's master clock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "services/FFResources.h"

class TPlayback;

class TAudioDecoder {
 public:
  static constexpr int BufferSize = 288000;
  static constexpr int SamplesPerBuffer = 1024;
  static constexpr int SilenceBytes = 1024;
  static constexpr int WaveSamples = 131072;

  explicit TAudioDecoder(TPlayback &playback);
  ~TAudioDecoder();

  // Opens the decoder and the SDL audio device; false after reporting why.
  bool Open(AVStream *stream);
  // Closes the device first, so that the callback is no longer running, then the decoder.
  void Close();

  // Seconds of the sound being handed to the device now.
  double Clock() const;
  // The file's sound has all been handed to the device (until the next seek).
  bool Ended() const { return FEnded; }
  int Channels() const { return FChannels; }
  int SampleRate() const { return FSampleRate; }

  // For the waveform: the sample ring, its write index, bytes not yet handed to the device and
  // the time of the last callback (microseconds of the monotonic clock).
  void WaveSnapshot(std::vector<int16_t> &samples, int &writeIndex, int &pendingBytes,
                    int64_t &callbackTime);

  // Signature of SDL's callback.
  static void Callback(void *opaque, uint8_t *stream, int len);

 private:
  void Fill(uint8_t *stream, int len);
  int Decode();
  int SamplesBeforeSeekTarget(const AVFrame *frame);
  int Convert(AVFrame *frame);
  void StoreWave(const uint8_t *data, int bytes);

  TPlayback &FPlayback;
  AVStream *FStream = nullptr;
  TCodecCtxPtr FCodec;
  TSwrPtr FSwr;
  TFramePtr FFrame;
  uint32_t FDevice = 0;
  int FChannels = 0;
  int FSampleRate = 0;
  int FSrcFormat = -1;
  int FSrcRate = 0;
  uint64_t FSrcLayoutKey = 0;
  double FSeekTarget = -1;  // seconds: sound before it is not played (after a seek)
  bool FDraining = false;   // the decoder has been told that no more packets come
  std::atomic<bool> FEnded{false};

  std::vector<uint8_t> FBuffer;
  const uint8_t *FData = nullptr;
  std::atomic<int> FBufSize{0};
  std::atomic<int> FBufIndex{0};
  std::atomic<double> FClock{0};
  std::atomic<int64_t> FCallbackTime{0};
  std::atomic<double> FDeviceBufferSeconds{0};  // length of one device buffer

  std::mutex FWaveLock;
  std::vector<int16_t> FWave;
  int FWaveIndex = 0;
};
