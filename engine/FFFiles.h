// Codec lookup by name for the file set-up.
#pragma once

#include <string>
#include <vector>

#include "services/FFmpegApi.h"

// The encoder name to look up for a name that stored settings use: names this FFmpeg build no
// longer has, or has only as an experimental encoder, stand for their present-day equivalent
// ("libfaac" -> "aac", "libflac" -> "flac", "vorbis" -> "libvorbis", "libopencore_amrnb" -> an
// AMR-NB encoder or else "aac").  Other names come back unchanged.
std::string EncoderAlias(const std::string &name);

// Finds the encoder or decoder of a media type by name.  An empty name gives true with codec null
// (nothing forced).  On failure the message is the user's text ("Unknown encoder 'x'", ...).
bool FindCodecByName(const std::string &name, AVMediaType type, bool encoder, int strictness,
                     const AVCodec *&codec, std::string &message);

// An input's codec frame rate (time base and ticks per frame) disagrees with the container's.
bool FrameRateDiffers(AVRational codecTb, int ticks, AVRational rate);

// The listed sample rate nearest to `rate` (the earlier one on a tie); `rate` when there is no
// list.
int NearestSampleRate(const int *list, int rate);

// Parses a rate-control override text "start,end,q/start,end,q/...".  Throws FFmpegException
// "error parsing rc_override" when an item has no start or end.
std::vector<RcOverride> ParseRcOverride(const std::string &text);
