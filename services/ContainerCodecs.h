// Which codecs a container can hold as they are: asked before a stream is copied, so that a
// copy the container cannot hold is refused with a message instead of ending in a failed run
// or a file that nothing plays.  Needs the format and codec libraries loaded.
#pragma once

#include <optional>
#include <string>

// The muxer a file is written with: the named format, or the one the extension selects.
// Empty when neither names one.
std::string MuxerOf(const std::string &format, const std::string &fileExt);

// Why the muxer cannot hold a copy of a stream of the codec (an AVCodecID); nothing when it can.
// The text names the codec and the container.  `kind` is what the stream is ("video", "sound",
// "subtitle").
std::optional<std::string> CopyRefusal(const std::string &muxer, int codecId,
                                       const std::string &kind);
