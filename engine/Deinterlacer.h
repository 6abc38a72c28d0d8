// Deinterlacing of decoded pictures through a small filter graph (buffer -> yadif -> buffersink).
#pragma once

#include "services/FFResources.h"
#include "services/FFmpegApi.h"

class TDeinterlacer {
 public:
  // Puts the deinterlaced picture into `out` (a new reference; `out` is unreferenced first).
  // False when the graph cannot be built or refuses the picture; the caller then keeps the
  // picture as decoded.
  bool Process(const AVFrame *picture, AVFrame *out);

 private:
  bool Build(const AVFrame *picture);
  bool Push(const AVFrame *picture);

  TFilterGraphPtr FGraph;
  AVFilterContext *FSource = nullptr;
  AVFilterContext *FSink = nullptr;
  int FWidth = 0, FHeight = 0, FFormat = -1;
  TFramePtr FDiscard;
};
