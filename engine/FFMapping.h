// Rules of the run set-up that do not need an engine: names, time bases, log file names.
#pragma once

#include <cstdint>
#include <string>

#include "services/FFmpegApi.h"

// "Video", "Audio", "Data", "Subtitle", "Attachment" or "Unknown".
const char *MediaTypeName(int type);

// Codec ticks per frame of a stream's codec: 2 for codecs whose time base counts fields.
int CodecTicksPerFrame(AVCodecID id);

// How many frames the library saw of a stream while probing, as far as FFmpeg still tells: the
// container's frame count, else one estimated from the stream's duration.
int64_t AnalysedFrames(const AVStream *st);

// Time base of a copied stream: the codec's frame duration when the container's time base is
// much finer (below a millisecond), else the container's.
AVRational StreamCopyTimeBase(AVRational streamTb, AVRational codecTb, int ticks);

// "<prefix>-<index>.log", with "ffmpeg2pass" when no prefix was given.
std::string PassLogFileName(const std::string &prefix, int index);
