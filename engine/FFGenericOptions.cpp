// Generic options: names the engine's own option table does not know, handed to the libraries'
// option systems the way FFmpeg's own tools do it.
//
// A name is looked for in the default codec context of each media type, then in the format
// context, then in the scaling context, then (for "vb", "ab", ...) without its media-type letter
// in that type's codec context.  Options that only one codec or one muxer knows ("preset", "crf"
// and "x264-params" of libx264, "muxrate" of the MPEG muxers) are found through the private
// classes of all codecs and formats; no default context can hold them, so they are kept as text in
// TGenericOptions::Private and set when a real codec or format context takes the generic options.
#include <cstring>
#include <string>

#include "engine/FFmpeg.h"
#include "engine/OptionTranslation.h"
#include "engine/OptionValues.h"

namespace {

// Media-type flag each default codec context matches (0 = any option).
constexpr int CodecContextFlags[MediaTypeCount] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM,
                                                   0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// The flags an option is treated as having.  "b" is the video bit rate, as it was when audio used
// "ab" alone; the libraries now also mark it as an audio option, and copying it into an audio
// encoder would hand that encoder the video bit rate.
int EffectiveFlags(const AVOption *o) {
  if (std::strcmp(o->name, "b") == 0) return o->flags & ~AV_OPT_FLAG_AUDIO_PARAM;
  return o->flags;
}

const AVOption *FindOption(void *obj, const std::string &name, int flags) {
  const AVOption *o = ff::av_opt_find(obj, name.c_str(), nullptr, 0, 0);
  return o && (EffectiveFlags(o) & flags) == flags ? o : nullptr;
}

// What a look-up step found: nothing, a context that took the value, or one that refused it.
struct TFound {
  const AVOption *Option = nullptr;
  bool Failed = false;
};

// Step 1: every default codec context that knows the name gets the value.
TFound SetOnCodecContexts(TGenericOptions &g, const std::string &name, const std::string &value) {
  TFound found;
  for (int type = 0; type < MediaTypeCount; ++type) {
    AVCodecContext *ctx = g.Codec[type].get();
    const AVOption *o = ctx ? FindOption(ctx, name, CodecContextFlags[type]) : nullptr;
    if (!o) continue;
    found.Option = o;
    if (ff::av_opt_set(ctx, name.c_str(), value.c_str(), 0) < 0) {
      found.Failed = true;
      break;
    }
  }
  return found;
}

TFound SetOn(void *obj, const std::string &name, const std::string &value) {
  TFound found;
  if (!obj) return found;
  found.Option = ff::av_opt_find(obj, name.c_str(), nullptr, 0, 0);
  if (found.Option) found.Failed = ff::av_opt_set(obj, name.c_str(), value.c_str(), 0) < 0;
  return found;
}

// Step 4: "vb" is "b" of the video codec context, "ab" "b" of the audio one, and so on.
TFound SetByTypePrefix(TGenericOptions &g, const std::string &name, const std::string &value) {
  if (name.size() < 2) return {};
  const int type = name[0] == 'v' ? 0 : name[0] == 'a' ? 1 : name[0] == 's' ? 3 : -1;
  if (type < 0) return {};
  return SetOn(g.Codec[type].get(), name.substr(1), value);
}

// ---- private options

// A private option of some codec with this media-type flag, and whether one of the codecs that
// have it takes the value.
TFound CheckCodecPrivate(const std::string &name, const std::string &value) {
  TFound found;
  const AVClass *root = ff::avcodec_get_class();
  const int flags = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;
  for (int typeFlag :
       {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, AV_OPT_FLAG_SUBTITLE_PARAM}) {
    found.Option = ff::av_opt_find(&root, name.c_str(), nullptr, typeFlag, flags);
    if (found.Option) break;
  }
  if (!found.Option) return found;
  // The value is checked on a context of a codec that has the option (the first that takes it).
  void *it = nullptr;
  found.Failed = true;
  while (const AVCodec *codec = ff::av_codec_iterate(&it)) {
    const AVClass *cls = codec->priv_class;
    if (!cls || !ff::av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) continue;
    TCodecCtxPtr ctx(ff::avcodec_alloc_context3(codec));
    if (ctx && ctx->priv_data &&
        ff::av_opt_set(ctx->priv_data, name.c_str(), value.c_str(), 0) >= 0) {
      found.Failed = false;
      break;
    }
  }
  return found;
}

// A private option of some muxer or demuxer.  Muxer options are checked on a muxer context;
// demuxer options cannot be checked without opening a file and are taken as they are.
TFound CheckFormatPrivate(const std::string &name, const std::string &value) {
  TFound found;
  const AVClass *root = ff::avformat_get_class();
  found.Option = ff::av_opt_find(&root, name.c_str(), nullptr, 0,
                                 AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ);
  if (!found.Option) return found;
  void *it = nullptr;
  bool muxerHasIt = false;
  while (const AVOutputFormat *format = ff::av_muxer_iterate(&it)) {
    const AVClass *cls = format->priv_class;
    if (!cls || !ff::av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) continue;
    muxerHasIt = true;
    AVFormatContext *raw = nullptr;
    if (ff::avformat_alloc_output_context2(&raw, format, nullptr, nullptr) < 0) continue;
    TFormatCtxPtr ctx(raw);
    if (ctx->priv_data && ff::av_opt_set(ctx->priv_data, name.c_str(), value.c_str(), 0) >= 0)
      return found;
  }
  found.Failed = muxerHasIt;
  return found;
}

// "a=1:b=2" merged with "b=3:c=4" gives "a=1:b=3:c=4".
std::string MergeDictionaryText(const std::string &old, const std::string &add) {
  AVDictionary *dict = nullptr;
  ff::av_dict_parse_string(&dict, old.c_str(), "=", ":", 0);
  ff::av_dict_parse_string(&dict, add.c_str(), "=", ":", 0);
  char *text = nullptr;
  ff::av_dict_get_string(dict, &text, '=', ':');
  std::string merged = text ? text : add;
  ff::av_free(text);
  ff::av_dict_free(&dict);
  return merged;
}

// Keeps a private option; a later value replaces an earlier one, except that dictionaries
// ("x264-params") gain the new keys and flags given as "+x" / "-x" add to the earlier ones.
void KeepPrivate(TGenericOptions &g, const AVOption *o, const std::string &name,
                 const std::string &value) {
  for (auto &[n, v] : g.Private) {
    if (n != name) continue;
    if (o->type == AV_OPT_TYPE_DICT)
      v = MergeDictionaryText(v, value);
    else if (o->type == AV_OPT_TYPE_FLAGS && (value[0] == '+' || value[0] == '-'))
      v += value;
    else
      v = value;
    return;
  }
  g.Private.emplace_back(name, value);
}

// A flags option carries the bits that were switched on or off against the option's default, so
// that a codec's own defaults for the other bits survive (libx264 starts with the closed-GOP bit
// set; copying the whole value of a default context would clear it and give open GOPs).
void CopyFlagChanges(void *target, void *source, const AVOption *o) {
  int64_t from = 0, to = 0;
  if (ff::av_opt_get_int(source, o->name, 0, &from) < 0 ||
      ff::av_opt_get_int(target, o->name, 0, &to) < 0)
    return;
  const int64_t dflt = o->default_val.i64;
  ff::av_opt_set_int(target, o->name, (to | (from & ~dflt)) & ~(dflt & ~from), 0);
}

bool Listed(const TGenericOptions &g, const std::string &name) {
  for (const std::string &n : g.Names)
    if (n == name) return true;
  return false;
}

}  // namespace

bool TCustomFFmpeg::ApplyGenericOption(const std::string &name, const std::string &value) {
  return TryGenericOption(name, value) == TOptionResult::Set;
}

TOptionResult TCustomFFmpeg::TryGenericOption(const std::string &name, const std::string &value) {
  const std::string n = TrimText(name), v = TrimText(value);
  if (n.empty()) return TOptionResult::Unknown;
  if (v.empty()) return TOptionResult::InvalidValue;
  TGenericOptions &g = FSettings.Generic;
  if (!g.Created()) g.Create(FSettings.ScalerFlags);
  // An old name may stand for several current options; all of them must be taken.
  for (const TOptionPair &option : TranslateOldOption(n, v)) {
    // Steps in order, each only when no earlier one knew the name.
    bool isPrivate = false;
    TFound found = SetOnCodecContexts(g, option.Name, option.Value);
    if (!found.Option) found = SetOn(g.Format.get(), option.Name, option.Value);
    if (!found.Option) {
      found = SetOn(g.Scaler.get(), option.Name, option.Value);
      if (found.Option && !found.Failed && option.Name == "sws_flags") {
        int64_t flags = 0;
        if (ff::av_opt_get_int(g.Scaler.get(), "sws_flags", 0, &flags) >= 0)
          FSettings.ScalerFlags = static_cast<int>(flags);
      }
    }
    if (!found.Option) found = SetByTypePrefix(g, option.Name, option.Value);
    if (!found.Option) {
      isPrivate = true;
      found = CheckCodecPrivate(option.Name, option.Value);
      if (!found.Option) found = CheckFormatPrivate(option.Name, option.Value);
    } else if (found.Failed) {
      // A codec's own option of the same name may take a value the generic one refuses
      // (libx264's "profile=main"); the codec's option wins when the codec is opened.
      const TFound own = CheckCodecPrivate(option.Name, option.Value);
      if (own.Option && !own.Failed) {
        found = own;
        isPrivate = true;
      }
    }
    if (!found.Option) return TOptionResult::Unknown;
    if (found.Failed) {
      ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n",
                 option.Value.c_str(), option.Name.c_str());
      return TOptionResult::InvalidValue;
    }
    if (isPrivate)
      KeepPrivate(g, found.Option, option.Name, option.Value);
    else if (!Listed(g, found.Option->name))
      g.Names.push_back(found.Option->name);
  }
  if ((g.Codec[0] && g.Codec[0]->debug) || (g.Format && g.Format->debug))
    FFLogger().SetLogLevel(TLogLevel::llDebug);
  return TOptionResult::Set;
}

void TCustomFFmpeg::CopyGenericOptions(void *target, void *source, int flags) {
  const TGenericOptions &g = FSettings.Generic;
  if (!target) return;
  if (source) {
    for (const std::string &name : g.Names) {
      const AVOption *o = FindOption(source, name, flags);
      if (!o) continue;
      if (o->type == AV_OPT_TYPE_FLAGS) {
        CopyFlagChanges(target, source, o);
        continue;
      }
      uint8_t *text = nullptr;
      if (ff::av_opt_get(source, name.c_str(), 0, &text) < 0 || !text) continue;
      ff::av_opt_set(target, name.c_str(), reinterpret_cast<const char *>(text), 0);
      ff::av_free(text);
    }
  }
  // Private options reach the codec or muxer that has them (its private data is a child of the
  // target); every other target ignores them.
  for (const auto &[name, value] : g.Private) {
    if (ff::av_opt_find(target, name.c_str(), nullptr, flags, AV_OPT_SEARCH_CHILDREN))
      ff::av_opt_set(target, name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
  }
}
