#include "engine/VideoFilterGraph.h"

#include <cstdio>

#include "engine/FFmpegException.h"
#include "services/MediaErrors.h"

namespace {

struct TInOutFree {
  void operator()(AVFilterInOut *p) const { ff::avfilter_inout_free(&p); }
};
using TInOutPtr = std::unique_ptr<AVFilterInOut, TInOutFree>;

std::string Format(const char *fmt, int a, int b, int c, int d) {
  char text[128];
  std::snprintf(text, sizeof text, fmt, a, b, c, d);
  return text;
}

}  // namespace

void TVideoFilterGraph::Check(int err) {
  if (err >= 0) return;
  FGraph.reset();
  const std::string text = MediaErrorText(err);
  if (text.empty()) throw FFmpegException("Error opening filters!");
  throw FFmpegException("Error opening filters: " + text);
}

AVFilterContext *TVideoFilterGraph::AddFilter(const char *filter, const char *name,
                                              const std::string &args) {
  AVFilterContext *ctx = nullptr;
  const AVFilter *f = ff::avfilter_get_by_name(filter);
  if (!f) throw FFmpegException(std::string("Error opening filters: no filter ") + filter);
  Check(ff::avfilter_graph_create_filter(&ctx, f, name, args.empty() ? nullptr : args.c_str(),
                                         nullptr, FGraph.get()));
  return ctx;
}

void TVideoFilterGraph::Build(const TVideoGraphSetup &setup) {
  FSetup = setup;
  FGraph.reset(ff::avfilter_graph_alloc());
  if (!FGraph) throw FFmpegException("Error opening filters!");
  const AVRational sar = setup.SampleAspect.num > 0 ? setup.SampleAspect : AVRational{1, 1};
  char args[200];
  std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d",
                setup.InputWidth, setup.InputHeight, setup.InputFormat, AV_TIME_BASE, sar.num,
                sar.den);
  FSource = AddFilter("buffer", "src", args);
  FSink = AddFilter("buffersink", "out", "");
  const int formats[] = {setup.EncoderFormat, AV_PIX_FMT_NONE};
  Check(ff::av_opt_set_bin(FSink, "pix_fmts", reinterpret_cast<const uint8_t *>(formats),
                           sizeof(int), AV_OPT_SEARCH_CHILDREN));

  AVFilterContext *last = FSource;
  const int croppedW = setup.InputWidth - setup.CropLeft - setup.CropRight;
  const int croppedH = setup.InputHeight - setup.CropTop - setup.CropBottom;
  if (setup.CropTop || setup.CropBottom || setup.CropLeft || setup.CropRight) {
    AVFilterContext *crop =
        AddFilter("crop", "crop",
                  Format("w=%d:h=%d:x=%d:y=%d", croppedW, croppedH, setup.CropLeft, setup.CropTop));
    Check(ff::avfilter_link(last, 0, crop, 0));
    last = crop;
  }
  if (croppedW != setup.EncoderWidth || croppedH != setup.EncoderHeight) {
    char scale[100];
    std::snprintf(scale, sizeof scale, "w=%d:h=%d:flags=0x%X", setup.EncoderWidth,
                  setup.EncoderHeight, static_cast<unsigned>(setup.ScalerFlags));
    AVFilterContext *scaler = AddFilter("scale", "scale", scale);
    Check(ff::avfilter_link(last, 0, scaler, 0));
    last = scaler;
  }
  char flags[40];
  std::snprintf(flags, sizeof flags, "flags=0x%X", static_cast<unsigned>(setup.ScalerFlags));
  FGraph->scale_sws_opts = ff::av_strdup(flags);

  if (!setup.Filters.empty()) {
    TInOutPtr outputs(ff::avfilter_inout_alloc()), inputs(ff::avfilter_inout_alloc());
    if (!outputs || !inputs) throw FFmpegException("Error opening filters!");
    outputs->name = ff::av_strdup("in");
    outputs->filter_ctx = last;
    inputs->name = ff::av_strdup("out");
    inputs->filter_ctx = FSink;
    AVFilterInOut *in = inputs.release(), *out = outputs.release();
    const int err =
        ff::avfilter_graph_parse_ptr(FGraph.get(), setup.Filters.c_str(), &in, &out, nullptr);
    ff::avfilter_inout_free(&in);
    ff::avfilter_inout_free(&out);
    Check(err);
  } else {
    Check(ff::avfilter_link(last, 0, FSink, 0));
  }
  Check(ff::avfilter_graph_config(FGraph.get(), nullptr));
}

int TVideoFilterGraph::OutputWidth() const {
  return ff::av_buffersink_get_w(FSink);
}
int TVideoFilterGraph::OutputHeight() const {
  return ff::av_buffersink_get_h(FSink);
}
AVRational TVideoFilterGraph::OutputSampleAspect() const {
  return ff::av_buffersink_get_sample_aspect_ratio(FSink);
}

bool TVideoFilterGraph::Push(const AVFrame *picture) {
  return ff::av_buffersrc_add_frame_flags(FSource, const_cast<AVFrame *>(picture),
                                          AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool TVideoFilterGraph::Pull(AVFrame *out) {
  return ff::av_buffersink_get_frame(FSink, out) >= 0;
}
