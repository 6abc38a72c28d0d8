#include "services/ContainerCodecs.h"

#include <algorithm>
#include <initializer_list>

#include "services/FFmpegApi.h"

namespace {

bool OneOf(AVCodecID id, std::initializer_list<AVCodecID> ids) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The transport stream muxer has no table to ask: what it cannot name it writes as private data,
// which players skip.  These are the codecs it writes with a stream type of their own.
bool TransportStreamHolds(AVCodecID id) {
  return OneOf(id, {AV_CODEC_ID_MPEG1VIDEO,   AV_CODEC_ID_MPEG2VIDEO,  AV_CODEC_ID_MPEG4,
                    AV_CODEC_ID_H264,         AV_CODEC_ID_HEVC,        AV_CODEC_ID_CAVS,
                    AV_CODEC_ID_DIRAC,        AV_CODEC_ID_VC1,         AV_CODEC_ID_MP2,
                    AV_CODEC_ID_MP3,          AV_CODEC_ID_AAC,         AV_CODEC_ID_AAC_LATM,
                    AV_CODEC_ID_AC3,          AV_CODEC_ID_EAC3,        AV_CODEC_ID_DTS,
                    AV_CODEC_ID_TRUEHD,       AV_CODEC_ID_OPUS,        AV_CODEC_ID_S302M,
                    AV_CODEC_ID_DVB_SUBTITLE, AV_CODEC_ID_DVB_TELETEXT});
}

// The AVI muxer finds a tag for VP9, AV1 and H.265 but AVI players do not know them, and AVI
// cannot carry the reordered frames of these codecs the way they need: such a file plays nowhere.
bool AviRefuses(AVCodecID id) {
  return OneOf(id, {AV_CODEC_ID_VP9, AV_CODEC_ID_AV1, AV_CODEC_ID_HEVC, AV_CODEC_ID_OPUS});
}

// 1: the muxer takes the codec; 0: it does not; below 0: it cannot tell.
int MuxerAnswer(const AVOutputFormat *muxer, AVCodecID id) {
  const std::string name = muxer->name;
  if (name == "avi" && AviRefuses(id)) return 0;
  const int answer = ff::avformat_query_codec(muxer, id, FF_COMPLIANCE_NORMAL);
  if (answer >= 0) return answer;
  if (name == "mpegts") return TransportStreamHolds(id) ? 1 : 0;
  // A muxer without a table takes its own codecs at least.
  return id == muxer->video_codec || id == muxer->audio_codec || id == muxer->subtitle_codec ? 1
                                                                                             : -1;
}

}  // namespace

std::string MuxerOf(const std::string &format, const std::string &fileExt) {
  const AVOutputFormat *muxer = nullptr;
  if (!format.empty()) muxer = ff::av_guess_format(format.c_str(), nullptr, nullptr);
  if (!muxer && !fileExt.empty())
    muxer = ff::av_guess_format(nullptr, ("out." + fileExt).c_str(), nullptr);
  return muxer ? muxer->name : "";
}

std::optional<std::string> CopyRefusal(const std::string &muxerName, int codecId,
                                       const std::string &kind) {
  const AVCodecID id = static_cast<AVCodecID>(codecId);
  const AVOutputFormat *muxer = ff::av_guess_format(muxerName.c_str(), nullptr, nullptr);
  if (!muxer || id == AV_CODEC_ID_NONE || MuxerAnswer(muxer, id) != 0) return std::nullopt;
  const AVCodecDescriptor *codec = ff::avcodec_descriptor_get(id);
  const std::string codecName = codec ? codec->name : "codec " + std::to_string(codecId);
  const std::string container = muxer->long_name
                                    ? std::string(muxer->name) + " (" + muxer->long_name + ")"
                                    : std::string(muxer->name);
  // Subtitles have no encoder box: only another container takes them as they are.
  const std::string remedy = kind == "subtitles" ? "choose a container that holds them"
                                                 : "choose an encoder instead of copy";
  return "the source's " + kind + " (" + codecName + ") cannot be copied into the container " +
         container + "; " + remedy;
}
