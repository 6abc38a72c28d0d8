// Owning handles for the media libraries' objects used by the engine.
//
// Every deleter calls the run-time bound function (ff::), so the handles may only be released while
// the libraries are loaded; the engine frees everything it holds in ClearAll, before that can
// change.
#pragma once

#include <memory>
#include <vector>

#include "services/FFmpegApi.h"

namespace engine_detail {

struct TCodecCtxFree {
  void operator()(AVCodecContext *c) const {
    if (c && ff::avcodec_free_context) ff::avcodec_free_context(&c);
  }
};
struct TFrameFree {
  void operator()(AVFrame *f) const {
    if (f && ff::av_frame_free) ff::av_frame_free(&f);
  }
};
struct TPacketFree {
  void operator()(AVPacket *p) const {
    if (p && ff::av_packet_free) ff::av_packet_free(&p);
  }
};
struct TBsfFree {
  void operator()(AVBSFContext *b) const {
    if (b && ff::av_bsf_free) ff::av_bsf_free(&b);
  }
};
struct TSwsFree {
  void operator()(SwsContext *s) const {
    if (s && ff::sws_freeContext) ff::sws_freeContext(s);
  }
};
struct TSwrFree {
  void operator()(SwrContext *s) const {
    if (s && ff::swr_free) ff::swr_free(&s);
  }
};
struct TAudioFifoFree {
  void operator()(AVAudioFifo *f) const {
    if (f && ff::av_audio_fifo_free) ff::av_audio_fifo_free(f);
  }
};
struct TFilterGraphFree {
  void operator()(AVFilterGraph *g) const {
    if (g && ff::avfilter_graph_free) ff::avfilter_graph_free(&g);
  }
};
struct TFormatCtxFree {  // a context that was never opened as an input (generic options, muxers)
  void operator()(AVFormatContext *c) const {
    if (c && ff::avformat_free_context) ff::avformat_free_context(c);
  }
};
struct TAvFree {
  void operator()(void *p) const {
    if (p && ff::av_free) ff::av_free(p);
  }
};

}  // namespace engine_detail

using TCodecCtxPtr = std::unique_ptr<AVCodecContext, engine_detail::TCodecCtxFree>;
using TFramePtr = std::unique_ptr<AVFrame, engine_detail::TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, engine_detail::TPacketFree>;
using TBsfPtr = std::unique_ptr<AVBSFContext, engine_detail::TBsfFree>;
using TSwsPtr = std::unique_ptr<SwsContext, engine_detail::TSwsFree>;
using TSwrPtr = std::unique_ptr<SwrContext, engine_detail::TSwrFree>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, engine_detail::TAudioFifoFree>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, engine_detail::TFilterGraphFree>;
using TFormatCtxPtr = std::unique_ptr<AVFormatContext, engine_detail::TFormatCtxFree>;
template <class T>
using TAvMemPtr = std::unique_ptr<T, engine_detail::TAvFree>;

// A chain of bitstream filters for one output stream, applied in order.  The filters are allocated
// when the option is given; their input parameters are set and they are initialised when the run
// starts and the stream's parameters are known.
using TBsfChain = std::vector<TBsfPtr>;

// Ownership of a type that is only forward-declared here: the deleter is captured where the object
// is made (MakeLate), so the record that holds it never needs the complete type.
template <class T>
struct TLateDelete {
  void (*Fn)(T *) = nullptr;
  void operator()(T *p) const {
    if (Fn) Fn(p);
  }
};
template <class T>
using TLatePtr = std::unique_ptr<T, TLateDelete<T>>;

template <class T, class... A>
TLatePtr<T> MakeLate(A &&...args) {
  return TLatePtr<T>(std::make_unique<T>(std::forward<A>(args)...).release(),
                     TLateDelete<T>{[](T *p) { std::default_delete<T>()(p); }});
}
