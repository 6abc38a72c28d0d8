#include "player/StreamDecoder.h"

#include <mutex>

#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"

bool OpenStreamDecoder(AVStream *stream, TCodecCtxPtr &context, bool tolerant) {
  const AVCodec *codec = ff::avcodec_find_decoder(stream->codecpar->codec_id);
  context.reset(ff::avcodec_alloc_context3(codec));
  if (!codec || !context || ff::avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
    return false;
  context->pkt_timebase = stream->time_base;
  if (tolerant) {
    context->workaround_bugs = 1;
    context->err_recognition = AV_EF_CAREFUL;
    context->error_concealment = 3;
    context->thread_count = 1;
  }
  std::lock_guard lock(CodecLock());
  return ff::avcodec_open2(context.get(), codec, nullptr) >= 0;
}

void CloseStreamDecoder(TCodecCtxPtr &context) {
  if (!context) return;
  std::lock_guard lock(CodecLock());
  context.reset();
}
