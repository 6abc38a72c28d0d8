#include "engine/EngineSettings.h"

#include <limits>

void TGenericOptions::Create(int scalerFlags) {
  Free();
  const AVMediaType types[MediaTypeCount] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                             AVMEDIA_TYPE_DATA, AVMEDIA_TYPE_SUBTITLE,
                                             AVMEDIA_TYPE_ATTACHMENT};
  for (int i = 0; i < MediaTypeCount; ++i) {
    Codec[i].reset(ff::avcodec_alloc_context3(nullptr));
    if (Codec[i]) Codec[i]->codec_type = types[i];
  }
  Format.reset(ff::avformat_alloc_context());
  Scaler.reset(ff::sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                  scalerFlags, nullptr, nullptr, nullptr));
}

void TGenericOptions::Free() {
  Names.clear();
  Private.clear();
  for (auto &c : Codec) c.reset();
  Format.reset();
  Scaler.reset();
}

void TEngineSettings::InitDefaults() {
  // Keep the generic option contexts: they need the libraries and are recreated by Reset.
  TGenericOptions generic = std::move(Generic);
  *this = TEngineSettings(std::move(generic));
}

TEngineSettings::TEngineSettings(TGenericOptions &&generic) : Generic(std::move(generic)) {}

void TEngineSettings::ConsumeInput() {
  ForceFormat.clear();
  StartTime = 0;
  ProgramId = 0;
  VideoChannel = 0;
  VideoCodecName.clear();
  AudioCodecName.clear();
  SubtitleCodecName.clear();
}

void TEngineSettings::ConsumeOutput() {
  ForceFormat.clear();
  Metadata.clear();
}

void TEngineSettings::ConsumeStream(AVMediaType type) {
  switch (type) {
    case AVMEDIA_TYPE_VIDEO:
      FramePixFmt = -1;
      VideoDisable = false;
      VideoCodecName.clear();
      VideoLanguage.clear();
      VideoStreamCopy = false;
      break;
    case AVMEDIA_TYPE_AUDIO:
      AudioDisable = false;
      AudioCodecName.clear();
      AudioLanguage.clear();
      AudioStreamCopy = false;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      SubtitleDisable = false;
      SubtitleCodecName.clear();
      SubtitleLanguage.clear();
      SubtitleStreamCopy = false;
      break;
    default: break;
  }
}

int TEngineSettings::MaxFrames(int mediaType) const {
  switch (mediaType) {
    case AVMEDIA_TYPE_VIDEO: return MaxVideoFrames;
    case AVMEDIA_TYPE_AUDIO: return MaxAudioFrames;
    case AVMEDIA_TYPE_DATA: return MaxDataFrames;
    default: return std::numeric_limits<int>::max();
  }
}
