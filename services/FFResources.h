// Owning handles for the media libraries' objects and SDL's, used by the engine, the encoder
// component and the player alike.
//
// Every deleter calls the run-time bound function (ff::), so the handles may only be released while
// the libraries are loaded: the engine frees everything it holds in ClearAll, the player when its
// playback closes, before that can change.
#pragma once

#include <memory>
#include <vector>

#include "services/FFmpegApi.h"

namespace ff_handles {

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
struct TInputCtxClose {  // an opened input, whatever address it was opened by
  void operator()(AVFormatContext *c) const;
};
struct TCustomIOFree {  // a byte stream of our own, with the buffer the library may have replaced
  void operator()(AVIOContext *pb) const {
    if (!pb || !ff::avio_context_free) return;
    ff::av_freep(&pb->buffer);
    ff::avio_context_free(&pb);
  }
};
struct TAvFree {
  void operator()(void *p) const {
    if (p && ff::av_free) ff::av_free(p);
  }
};
struct TSdlWindowFree {
  void operator()(SDL_Window *w) const {
    if (w && ff::SDL_DestroyWindow) ff::SDL_DestroyWindow(w);
  }
};
struct TSdlRendererFree {
  void operator()(SDL_Renderer *r) const {
    if (r && ff::SDL_DestroyRenderer) ff::SDL_DestroyRenderer(r);
  }
};
struct TSdlTextureFree {
  void operator()(SDL_Texture *t) const {
    if (t && ff::SDL_DestroyTexture) ff::SDL_DestroyTexture(t);
  }
};

}  // namespace ff_handles

using TCodecCtxPtr = std::unique_ptr<AVCodecContext, ff_handles::TCodecCtxFree>;
using TFramePtr = std::unique_ptr<AVFrame, ff_handles::TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, ff_handles::TPacketFree>;
using TBsfPtr = std::unique_ptr<AVBSFContext, ff_handles::TBsfFree>;
using TSwsPtr = std::unique_ptr<SwsContext, ff_handles::TSwsFree>;
using TSwrPtr = std::unique_ptr<SwrContext, ff_handles::TSwrFree>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, ff_handles::TAudioFifoFree>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, ff_handles::TFilterGraphFree>;
using TFormatCtxPtr = std::unique_ptr<AVFormatContext, ff_handles::TFormatCtxFree>;
using TInputCtxPtr = std::unique_ptr<AVFormatContext, ff_handles::TInputCtxClose>;
using TCustomIOPtr = std::unique_ptr<AVIOContext, ff_handles::TCustomIOFree>;
template <class T>
using TAvMemPtr = std::unique_ptr<T, ff_handles::TAvFree>;
using TSdlWindowPtr = std::unique_ptr<SDL_Window, ff_handles::TSdlWindowFree>;
using TSdlRendererPtr = std::unique_ptr<SDL_Renderer, ff_handles::TSdlRendererFree>;
using TSdlTexturePtr = std::unique_ptr<SDL_Texture, ff_handles::TSdlTextureFree>;

// SDL keeps per-thread state (its error text) that it frees only for threads it made itself: a
// thread of ours that calls SDL holds one of these for its whole life.
class TSdlThreadState {
 public:
  TSdlThreadState() = default;
  TSdlThreadState(const TSdlThreadState &) = delete;
  TSdlThreadState &operator=(const TSdlThreadState &) = delete;
  ~TSdlThreadState() {
    if (ff::SDL_TLSCleanup) ff::SDL_TLSCleanup();
  }
};

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
