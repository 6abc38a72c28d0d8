// The media libraries' function tables.
//
// No FFmpeg or SDL library is linked into the program: the loader (FFmpegLoader) opens them at run
// time and binds every symbol listed in services/bindings/*.inc into the pointers below.  The rest of
// the program calls the libraries only as ff::name(...), so a symbol that is not in a list fails at
// link time instead of silently pulling a library in.  Types come from the official headers through
// decltype, which needs the declarations but never the definitions.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavcodec/avfft.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/fifo.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libavutil/timecode.h>
#include <libavutil/cpu.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#define SDL_MAIN_HANDLED
#include <SDL.h>

namespace ff {

#define FF_FUNC(name) inline decltype(&::name) name = nullptr;
#define FF_VAR(name) inline decltype(&::name) name = nullptr;
#include "bindings/avutil.inc"
#include "bindings/swresample.inc"
#include "bindings/swscale.inc"
#include "bindings/avcodec.inc"
#include "bindings/avformat.inc"
#include "bindings/avfilter.inc"
#include "bindings/avdevice.inc"
#include "bindings/sdl.inc"
#undef FF_FUNC
#undef FF_VAR

// Note: header-only helpers of the libraries that call exported functions (av_err2str and the
// like) cannot be used, since they would need a link-time symbol; call the bound pointers instead.

} // namespace ff
