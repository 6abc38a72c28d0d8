// The video output path of one encoded video stream: cropping and scaling (or the filter graph),
// frame-rate synchronisation by duplicating and dropping, frame limits, encoding, two-pass
// statistics and the per-frame statistics file.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "engine/FFmpegException.h"
#include "engine/VideoFilterGraph.h"
#include "services/FFResources.h"
#include "services/FFmpegApi.h"

// Opens the statistics file `name` into `holder` on first use ("fopen fail: <name>" when it
// cannot be made).
template <class TFileHolder>
FILE *OpenStatsFile(TFileHolder &holder, const std::string &name);

struct TVideoPathOptions {
  const void *Sender = nullptr;                  // the engine, as the logger's sender
  int InputFileIndex = 0, InputStreamIndex = 0;  // the source, for messages
  int VideoSync = -1;  // 0 passthrough, 1 constant rate, 2 variable, -1 as the format allows
  bool VariableFrameRate = false;  // the output format accepts variable frame rates
  int64_t StartTime = 0;           // `ss` in µs
  int FrameLimit = INT_MAX;        // vframes
  // A picture further than this from the output clock (µs) follows on from the last one: a jump
  // of the source's clock is neither filled with copies nor dropped up to.
  int64_t DiscontinuityThreshold = 3600LL * 1000000;
  int Verbosity = 1;
  bool XError = false;
  int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
  int ScalerFlags = SWS_BICUBIC;
  bool SameQuant = false;   // take each picture's quality from the decoder
  float Quality = 0;        // otherwise this fixed quality (lambda units); 0 = rate control decides
  int TopFieldFirst = -1;   // -1 = as decoded
  int MeThreshold = 0;      // non-zero keeps the decoded picture type as a hint
  FILE *PassLog = nullptr;  // pass-1 statistics (not owned)
  // The per-frame statistics file (engine-wide, opened on first use); empty = none.
  std::function<FILE *()> VStatsFile;
  const std::atomic<bool> *StopRequested = nullptr;
};

// The engine's run counters the path adds to.
struct TVideoCounters {
  int64_t *VideoSize = nullptr;
  int *FramesDup = nullptr;
  int *FramesDrop = nullptr;
  bool *DupDropNoticed = nullptr;
};

// What the status line shows of the last encoded picture.
struct TVideoFrameStats {
  float Quality = 0;  // lambda units (divide by FF_QP2LAMBDA for the quantiser)
  char PictType = '?';
  bool HasError = false;
  uint64_t Error[4] = {};  // sum of squared errors per plane (with PSNR on)
};

class TVideoPath {
 public:
  using TPacketWriter = std::function<void(AVPacket *)>;
  // Called with every encoded picture (the preview throttles itself); time in µs.
  using TPreviewStep = std::function<void(const AVFrame *picture, int64_t pts)>;

  struct TInputFormat {
    int Width = 0, Height = 0;
    AVPixelFormat Format = AV_PIX_FMT_NONE;
  };

  // The encoder must be open.  With a graph (built at set-up because it decides the encoder's
  // size) pictures go through it; without one the path crops and scales itself.
  TVideoPath(AVCodecContext *encoder, AVStream *stream, const TVideoPathOptions &options,
             TVideoCounters counters, TPacketWriter writer, const TInputFormat &input,
             std::unique_ptr<TVideoFilterGraph> graph = nullptr);
  ~TVideoPath();
  TVideoPath(const TVideoPath &) = delete;
  TVideoPath &operator=(const TVideoPath &) = delete;

  // One decoded picture.  syncPts is the clock of the stream this output syncs to (µs) and
  // inputQuality the decoder's quality for the picture.  Returns the bytes of the last encoded
  // packet (0 when none came out).
  int Out(const AVFrame *picture, int64_t syncPts, float inputQuality,
          const TPreviewStep &preview = nullptr);
  // End of input: drains the encoder.  Returns the bytes written.
  int64_t Flush(const TPreviewStep &preview = nullptr);

  void SetEncoder(AVCodecContext *encoder);
  int FramesWritten() const { return FFramesWritten; }
  void SetFramesWritten(int frames) { FFramesWritten = frames; }
  // Pictures sent to the encoder, in the encoder's time base (the output clock).
  int64_t SyncOpts() const { return FSyncOpts; }
  void SetSyncOpts(int64_t frames) { FSyncOpts = frames; }
  const TVideoFrameStats &LastFrame() const { return FLast; }
  bool Resampling() const { return FVideoResample; }

  // Number of copies of a picture the synchronisation asks for (0 = drop); adjusts SyncOpts and
  // the dup/drop counters.  Exposed for the synchronisation rules' own tests.
  int FramesFor(int64_t syncPts);

 private:
  int EncodeSynced(const AVFrame *picture, int64_t syncPts, float inputQuality,
                   const TPreviewStep &preview);
  bool CheckInputChange(const AVFrame *picture);
  void RebuildScaler(int width, int height, AVPixelFormat format);
  const AVFrame *Crop(const AVFrame *picture);
  const AVFrame *Scale(const AVFrame *picture);
  int Encode(const AVFrame *picture, int copies, float inputQuality, const TPreviewStep &preview);
  int ReceivePackets(const AVFrame *picture, const TPreviewStep &preview);
  void WriteStats(int frameSize);
  int64_t NextFreeTick() const;

  AVCodecContext *FEncoder;
  AVStream *FStream;
  TVideoPathOptions FOptions;
  TVideoCounters FCounters;
  TPacketWriter FWriter;
  std::unique_ptr<TVideoFilterGraph> FGraph;

  // Scaling without a graph.
  bool FVideoResample = false;
  bool FVideoCrop = false;
  int FInputWidth = 0, FInputHeight = 0;  // size at set-up, for proportional crop bands
  int FBandTop = 0, FBandBottom = 0, FBandLeft = 0, FBandRight = 0;
  int FResampleWidth = 0, FResampleHeight = 0;
  AVPixelFormat FResampleFormat = AV_PIX_FMT_NONE;
  TSwsPtr FScaler;
  TFramePtr FPictTmp;   // scaled picture
  TFramePtr FCropped;   // cropped view of the decoded picture
  TFramePtr FFiltered;  // picture pulled from the graph
  TFramePtr FSend;      // reference handed to the encoder
  TPacketPtr FPacket;

  int FFramesWritten = 0;
  int64_t FSyncOpts = 0;
  double FSyncShift = 0;               // bridged jumps of the source's clock, in frames
  int64_t FLastTick = AV_NOPTS_VALUE;  // output clock of the last picture sent to the encoder
  TVideoFrameStats FLast;
};

template <class TFileHolder>
FILE *OpenStatsFile(TFileHolder &holder, const std::string &name) {
  if (!holder) {
    holder.reset(std::fopen(name.c_str(), "w"));
    if (!holder) throw FFmpegException("fopen fail: " + name);
  }
  return holder.get();
}
