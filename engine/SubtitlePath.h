// The subtitle output path of one encoded subtitle stream.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "services/FFResources.h"
#include "services/FFmpegApi.h"

struct TSubtitlePathOptions {
  const void *Sender = nullptr;
  bool XError = false;
};

class TSubtitlePath {
 public:
  using TPacketWriter = std::function<void(AVPacket *)>;

  TSubtitlePath(AVCodecContext *encoder, AVStream *stream, const TSubtitlePathOptions &options,
                TPacketWriter writer);

  // Encodes one decoded subtitle whose packet time is `pts` in `timeBase`.  DVB subtitles give
  // two packets: one that shows the subtitle and one that clears it when it ends.  Returns the
  // bytes written.
  int64_t Out(AVSubtitle *subtitle, int64_t pts, AVRational timeBase);

  void SetEncoder(AVCodecContext *encoder) { FEncoder = encoder; }

 private:
  AVCodecContext *FEncoder;
  AVStream *FStream;
  TSubtitlePathOptions FOptions;
  TPacketWriter FWriter;
  std::vector<uint8_t> FBuffer;  // encoded subtitle
};
