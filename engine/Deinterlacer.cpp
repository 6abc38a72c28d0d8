#include "engine/Deinterlacer.h"

#include <cstdio>

namespace {

// yadif looks one frame ahead.  To hand back every picture at once, each picture is sent twice:
// the second copy serves as its own successor, and the output for the first copy (the previous
// picture again) is thrown away.
constexpr const char *FilterArgs = "mode=send_frame:parity=auto:deint=all";

}  // namespace

bool TDeinterlacer::Build(const AVFrame *picture) {
  FGraph.reset(ff::avfilter_graph_alloc());
  FSource = FSink = nullptr;
  if (!FGraph) return false;
  char args[160];
  std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1:pixel_aspect=%d/%d",
                picture->width, picture->height, picture->format,
                picture->sample_aspect_ratio.num > 0 ? picture->sample_aspect_ratio.num : 1,
                picture->sample_aspect_ratio.den > 0 ? picture->sample_aspect_ratio.den : 1);
  AVFilterContext *yadif = nullptr;
  const bool built =
      ff::avfilter_graph_create_filter(&FSource, ff::avfilter_get_by_name("buffer"), "src", args,
                                       nullptr, FGraph.get()) >= 0 &&
      ff::avfilter_graph_create_filter(&yadif, ff::avfilter_get_by_name("yadif"), "deinterlace",
                                       FilterArgs, nullptr, FGraph.get()) >= 0 &&
      ff::avfilter_graph_create_filter(&FSink, ff::avfilter_get_by_name("buffersink"), "out",
                                       nullptr, nullptr, FGraph.get()) >= 0 &&
      ff::avfilter_link(FSource, 0, yadif, 0) >= 0 && ff::avfilter_link(yadif, 0, FSink, 0) >= 0 &&
      ff::avfilter_graph_config(FGraph.get(), nullptr) >= 0;
  if (!built) {
    FGraph.reset();
    return false;
  }
  FWidth = picture->width;
  FHeight = picture->height;
  FFormat = picture->format;
  if (!FDiscard) FDiscard.reset(ff::av_frame_alloc());
  return FDiscard != nullptr;
}

bool TDeinterlacer::Push(const AVFrame *picture) {
  return ff::av_buffersrc_add_frame_flags(FSource, const_cast<AVFrame *>(picture),
                                          AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool TDeinterlacer::Process(const AVFrame *picture, AVFrame *out) {
  ff::av_frame_unref(out);
  if (!FGraph || picture->width != FWidth || picture->height != FHeight ||
      picture->format != FFormat) {
    if (!Build(picture)) return false;
  }
  if (!Push(picture)) return false;
  while (ff::av_buffersink_get_frame(FSink, FDiscard.get()) >= 0)
    ff::av_frame_unref(FDiscard.get());
  if (!Push(picture)) return false;
  if (ff::av_buffersink_get_frame(FSink, out) < 0) return false;
  // yadif stamps its own times; the picture keeps the decoder's.
  out->pts = picture->pts;
  out->best_effort_timestamp = picture->best_effort_timestamp;
  out->interlaced_frame = 0;
  return true;
}
