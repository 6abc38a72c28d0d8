// The audio output path of one encoded audio stream: conversion to the encoder's rate, channel
// layout and sample format, audio/video synchronisation, frame assembly and encoding.
#pragma once

#include <cstdint>
#include <functional>

#include "services/FFResources.h"
#include "services/FFmpegApi.h"

// Settings the path reads; they are fixed for a run.
struct TAudioPathOptions {
  const void *Sender = nullptr;  // the engine, as the logger's sender
  int Async = 0;  // 0 = follow the input clock, 1 = pad/drop once, >1 = also compensate
  double AdriftThreshold = 0.1;  // seconds of drift that are corrected by padding or dropping
  int64_t StartTime = 0;         // `ss` in microseconds
  int Verbosity = 1;
  bool XError = false;
  // The container drops the timestamps of the sound (AVI): sound that starts after the picture
  // is preceded by silence, or it would play early.
  bool PadLateStart = false;
};

// Multiplies every decoded sample by volume / 256 with clipping (256 leaves the data untouched).
// Integer formats use (s * volume + 128) >> 8; floating-point formats are clipped to -1 .. 1.
void ApplyVolume(AVFrame *frame, int volume);

class TAudioPath {
 public:
  // Receives each encoded packet with its stream index and timestamps in the stream's time base.
  using TPacketWriter = std::function<void(AVPacket *)>;

  // The encoder must be open; the path does not own it, the stream or the writer's target.
  TAudioPath(AVCodecContext *encoder, AVStream *stream, const TAudioPathOptions &options,
             TPacketWriter writer);
  ~TAudioPath();
  TAudioPath(const TAudioPath &) = delete;
  TAudioPath &operator=(const TAudioPath &) = delete;

  // Takes one decoded frame.  syncPts is the clock of the stream this output syncs to (µs);
  // isStart is that input stream's start flag, cleared once a large gap has been corrected.
  // Returns the bytes of encoded data written.
  int64_t Out(const AVFrame *samples, int64_t syncPts, bool &isStart);

  // End of input: converts what the converter still holds, sends the last partial frame (padded
  // with silence unless the encoder accepts a short one) and drains the encoder.  Returns bytes.
  int64_t Flush();

  // After the engine replaced the encoder (join mode reopens encoders between inputs).
  void SetEncoder(AVCodecContext *encoder);
  // Join mode: the output clock carried over from the path of the previous input.
  void SetSyncOpts(int64_t samples);

  // Samples handed to the encoder so far, in the encoder's rate (the output clock).
  int64_t SyncOpts() const { return FSyncOpts; }
  bool Converting() const { return FConverter != nullptr; }
  int64_t BufferedSamples() const;

 private:
  struct TInputFormat {
    int Rate = 0;
    AVChannelLayout Layout{};
    int Format = -1;
  };

  void PrepareConverter(const AVFrame *samples);
  void BuildConverter(const AVFrame *samples);
  void SaveInputFormat(const AVFrame *samples);
  bool SameInputFormat(const AVFrame *samples) const;
  // Returns false when the whole frame was dropped.
  bool Synchronise(const AVFrame *samples, int64_t syncPts, bool &isStart, int &skip);
  void InsertSilence(int64_t inputSamples);
  void Convert(const uint8_t *const *data, int count);
  void DrainConverter();
  void WriteToFifo(uint8_t *const *data, int count);
  int64_t EncodeWholeFrames();
  int64_t SendFrame(int count, bool padToFrame);
  int64_t ReceivePackets();
  int FrameSize() const;

  AVCodecContext *FEncoder;
  AVStream *FStream;
  TAudioPathOptions FOptions;
  TPacketWriter FWriter;

  TSwrPtr FConverter;
  TInputFormat FInput;
  TAudioFifoPtr FFifo;
  TFramePtr FFrame;                // the frame handed to the encoder
  TPacketPtr FPacket;              // the packet received from it
  uint8_t **FConverted = nullptr;  // converter output planes (av_samples_alloc_array_and_samples)
  int FConvertedCapacity = 0;      // in samples per channel
  int64_t FSyncOpts = 0;
  int64_t FNextPts = INT64_MIN;  // first timestamp the next frame may carry (keeps them rising)
  bool FDrained = false;
  bool FStarted = false;  // the first samples arrived
};
