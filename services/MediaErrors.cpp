#include "services/MediaErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
}

std::string MediaErrorText(int err) {
  // The old library returned negated errno values for end of file, number syntax and unknown
  // format; FFmpeg now has tagged codes for them.  Both map to the same text.
  switch (err) {
    case AVERROR(ENOENT): return "No such file or directory";
    case AVERROR(EIO): return "I/O error";
    case AVERROR(ENOMEM): return "Not enough memory";
    case AVERROR(EINVAL):
    case AVERROR_INVALIDDATA: return "Invalid data found when processing input";
    case -32:
    case AVERROR_EOF: return "End of file";
    case -33: return "Number syntax expected in filename";
    case -42:
    case AVERROR_DEMUXER_NOT_FOUND: return "Unknown format";
    case -10043:
    case AVERROR_PROTOCOL_NOT_FOUND: return "Unsupported network protocol";
    case AVERROR_PATCHWELCOME: return "Not yet implemented in FFmpeg";
    default: break;
  }
  // Any other system error number: the system's own words ("Is a directory").
  if (err < 0 && err > -4096 && strerrorname_np(-err)) {
    char buf[256];
    return strerror_r(-err, buf, sizeof buf);
  }
  char text[64];
  snprintf(text, sizeof text, "Error number %d occurred", err);
  return text;
}

std::string WithMediaError(const std::string &what, int err) {
  return what + ": " + MediaErrorText(err);
}
