// The user's video filter chain of one output stream, wrapped as the encoder needs it:
// buffer source -> crop -> scale -> the chain -> a sink that accepts only the encoder's format.
#pragma once

#include <cstdint>
#include <string>

#include "services/FFResources.h"
#include "services/FFmpegApi.h"

struct TVideoGraphSetup {
  int InputWidth = 0, InputHeight = 0;
  AVPixelFormat InputFormat = AV_PIX_FMT_NONE;
  AVRational SampleAspect{0, 1};
  int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
  int EncoderWidth = 0, EncoderHeight = 0;
  AVPixelFormat EncoderFormat = AV_PIX_FMT_NONE;
  int ScalerFlags = SWS_BICUBIC;
  std::string Filters;  // the user's chain; empty links the scaler straight to the sink
};

class TVideoFilterGraph {
 public:
  // Builds and configures the graph; raises "Error opening filters: <text>" (or "Error opening
  // filters!") when the libraries refuse it.
  void Build(const TVideoGraphSetup &setup);
  // Size of the pictures the graph delivers (the encoder must take this size).
  int OutputWidth() const;
  int OutputHeight() const;
  AVRational OutputSampleAspect() const;

  // Times are in µs both ways.  Push false: the graph refused the picture.
  bool Push(const AVFrame *picture);
  // Next filtered picture into `out`; false when none is ready.
  bool Pull(AVFrame *out);

  const TVideoGraphSetup &Setup() const { return FSetup; }

 private:
  AVFilterContext *AddFilter(const char *filter, const char *name, const std::string &args);
  void Check(int err);

  TVideoGraphSetup FSetup;
  TFilterGraphPtr FGraph;
  AVFilterContext *FSource = nullptr;
  AVFilterContext *FSink = nullptr;
};
