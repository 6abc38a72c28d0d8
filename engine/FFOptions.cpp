// The engine's option table: every named option of the command-line vocabulary, the target and
// preset options, bitstream filters and the direct setters the host component uses.
#include <strings.h>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <unordered_map>

#include "engine/EnginePresets.h"
#include "engine/FFmpeg.h"
#include "engine/FrameHook.h"
#include "engine/OptionValues.h"
#include "engine/TargetPresets.h"
#include "platform/Paths.h"

namespace {

using THandler = std::function<void(TCustomFFmpeg &, const std::string &, const std::string &)>;

TEngineSettings &S(TCustomFFmpeg &e) {
  return e.Settings();
}

[[noreturn]] void Fail(const std::string &message) {
  throw FFmpegException(message);
}

std::string Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char *text = nullptr;
  const int n = vasprintf(&text, fmt, args);
  va_end(args);
  std::string out = n >= 0 ? text : "";
  free(text);
  return out;
}

// ---- rows that only store a parsed value

THandler Switch(bool TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    S(e).*field = ParseSwitch(v);
  };
}
THandler AlwaysOn(bool TEngineSettings::*field) {
  return
      [field](TCustomFFmpeg &e, const std::string &, const std::string &) { S(e).*field = true; };
}
THandler Integer(int TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    S(e).*field = ParseInteger(v);
  };
}
THandler Float(float TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    S(e).*field = static_cast<float>(ParseFloat(v));
  };
}
THandler Text(std::string TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &, const std::string &v) { S(e).*field = v; };
}
THandler Duration(int64_t TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &n, const std::string &v) {
    S(e).*field = ParseDuration(n, v);
  };
}

void DoNothing(TCustomFFmpeg &e, const std::string &name, const std::string &) {
  e.Log(TLogLevel::llInfo, "Do nothing: option - " + name);
}

// ---- rows with rules of their own

void SetLogLevel(TCustomFFmpeg &, const std::string &, const std::string &value) {
  try {
    FFLogger().SetLogLevelName(value);
  } catch (const std::exception &error) {
    Fail(error.what());
  }
}

void AddStreamMap(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  // The table is bounded like the stream tables it indexes.
  if (e.StreamMaps().size() >= size_t(MaxFiles * MaxStreams))
    Fail(Printf("Too many stream maps (at most %d)", MaxFiles * MaxStreams));
  const TStreamMapValue m = ParseStreamMap(value);
  e.StreamMaps().push_back({m.FileIndex, m.StreamIndex, m.SyncFileIndex, m.SyncStreamIndex});
}

void AddMetaDataMap(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  if (e.MetaDataMaps().size() >= size_t(MaxFiles))
    Fail(Printf("Too many metadata maps (at most %d)", MaxFiles));
  const auto [outFile, inFile] = ParseMetaDataMap(value);
  e.MetaDataMaps().push_back({outFile, inFile});
}

void SetRecordingTime(TCustomFFmpeg &e, const std::string &name, const std::string &value) {
  S(e).RecordingTime = ParseDuration(name, value);
  e.SetExpectedDuration(S(e).RecordingTime);
}

void SetItsScale(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const auto [stream, scale] = ParseItsScale(value, MaxStreams);
  if (e.InputCount() >= MaxFiles) Fail(Printf("max input files %d reached", MaxFiles));
  e.InputTsScales()[e.InputCount()][stream] = scale;
}

void SetTimestamp(TCustomFFmpeg &e, const std::string &name, const std::string &value) {
  // Whole seconds, rounded to nearest with ties to even (the default rounding mode).
  S(e).RecordingTimestamp =
      static_cast<int64_t>(std::nearbyint(double(ParseDate(name, value)) / 1000000.0));
}

void AddMetadataOption(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const auto [key, text] = ParseMetadata(value);
  e.AddMetadata(key, text);
}

void Threads(TCustomFFmpeg &, const std::string &name, const std::string &) {
  Fail("TODO: option - " + name);
}

void UsePadFilter(TCustomFFmpeg &, const std::string &, const std::string &) {
  Fail("Please use vfilters=pad");
}

void Target(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const TTargetValue target = ParseTargetValue(value);
  e.ApplyTarget(target.Type, target.Norm, "ntsc");
}

void BitRate(TCustomFFmpeg &e, const std::string &name, const std::string &value) {
  if (!e.ApplyGenericOption(name, value)) return;
  AVCodecContext *ctx = S(e).Generic.Codec[name[0] == 'a' ? 1 : 0].get();
  int64_t rate = 0;
  if (ctx && ff::av_opt_get_int(ctx, "b", 0, &rate) >= 0 && rate < 1000)
    e.Log(TLogLevel::llWarning,
          "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not "
          "kbits/s");
}

void FrameRate(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  S(e).FrameRate = ParseFrameRate(value);
}

void FrameSize(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const auto [width, height] = ParseFrameSize(value);
  S(e).FrameWidth = width;
  S(e).FrameHeight = height;
}

void Aspect(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  S(e).FrameAspectRatio = ParseAspect(value);
}

void LogTrimmed(TCustomFFmpeg &e, const char *text) {
  e.Log(TLogLevel::llInfo, TrimText(text));
}

void PixelFormat(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  if (value == "list") {
    char line[256];
    for (int fmt = -1; fmt < AV_PIX_FMT_NB; ++fmt)
      LogTrimmed(e, ff::av_get_pix_fmt_string(line, sizeof line, AVPixelFormat(fmt)));
    return;
  }
  const AVPixelFormat fmt = ff::av_get_pix_fmt(value.c_str());
  if (fmt == AV_PIX_FMT_NONE) Fail("Unknown pixel format requested: " + value);
  S(e).FramePixFmt = fmt;
}

void SampleFormat(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  if (value == "list") {
    char line[256];
    for (int fmt = -1; fmt < AV_SAMPLE_FMT_NB; ++fmt)
      LogTrimmed(e, ff::av_get_sample_fmt_string(line, sizeof line, AVSampleFormat(fmt)));
    return;
  }
  S(e).AudioSampleFmt = ff::av_get_sample_fmt(value.c_str());
  S(e).AudioFormatFromInput = false;
}

void AudioRate(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  e.SetAudioRate(ParseInteger(value));
}

void AudioChannels(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  e.SetAudioChannels(ParseInteger(value));
}

// Crop bands cut into the frame size the last input set.
THandler Crop(int TEngineSettings::*band, bool vertical) {
  return [band, vertical](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    const int value = ParseInteger(v);
    if (value <= 0) return;
    int &size = vertical ? S(e).FrameHeight : S(e).FrameWidth;
    if (value >= size)
      Fail(std::string(vertical ? "Vertical" : "Horizontal") +
           " crop dimensions are outside the range of the original image.\nRemember to crop "
           "first and scale second.");
    e.Log(TLogLevel::llWarning, "CropXXX is deprecated in favor of the crop avfilter");
    S(e).*band = value;
    size -= value;
  };
}

void QScale(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const double q = ParseFloat(value);
  if (q <= 0.0 || q > 255) Fail("qscale must be > 0.0 and <= 255");
  S(e).VideoQScale = static_cast<float>(q);
}

void Pass(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  const int pass = ParseInteger(value);
  if (pass != 1 && pass != 2) Fail("pass number can be only 1 or 2");
  S(e).DoPass = pass;
}

void VStats(TCustomFFmpeg &e, const std::string &, const std::string &) {
  const std::time_t now = std::time(nullptr);
  char stamp[16];
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%H%M%S", &local);
  std::string folder = paths::ExecutableFolder().string();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  S(e).VStatsFileName = Printf("%svstats_%s.log", folder.c_str(), stamp);
}

void VideoFilters(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  if (!value.empty()) S(e).VFilters = value;
}

THandler Matrix(std::optional<TQuantMatrix> TEngineSettings::*field) {
  return [field](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    S(e).*field = ParseMatrix(v);
  };
}

THandler Tag(uint32_t TEngineSettings::*field, const char *kind) {
  return [field, kind](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    S(e).*field = ParseCodecTag(kind, v);
  };
}

// "copy" asks for stream copy of that kind instead of a codec.
THandler CodecName(std::string TEngineSettings::*name, bool TEngineSettings::*copy) {
  return [name, copy](TCustomFFmpeg &e, const std::string &, const std::string &v) {
    (S(e).*name).clear();
    if (v == "copy")
      S(e).*copy = true;
    else
      S(e).*name = v;
  };
}

void NewStream(TCustomFFmpeg &e, const std::string &name, const std::string &) {
  if (e.OutputCount() == 0) Fail("At least one output file must be specified");
  TOutputFile &file = *e.OutputFiles().back();
  if (name == "newvideo")
    e.AddVideoStream(file);
  else if (name == "newaudio")
    e.AddAudioStream(file);
  else
    e.AddSubtitleStream(file);
}

void StreamId(TCustomFFmpeg &e, const std::string &name, const std::string &value) {
  const auto [index, id] = ParseStreamId(name, value);
  if (index < 0 || index >= MaxStreams)
    Fail(Printf("Invalid stream index %d for option \"%s\" (0 to %d)", index, name.c_str(),
                MaxStreams - 1));
  e.StreamIdMap()[index] = id;
}

void VideoHook(TCustomFFmpeg &e, const std::string &, const std::string &value) {
  if (!e.FrameHooks()) e.FrameHooks() = MakeLate<TFrameHookList>();
  if (e.FrameHooks()->Add(SplitHookWords(value)) != 0)
    Fail("Failed to add video hook function: " + value);
  S(e).UsingVHook = true;
}

// A bitstream filter for the next stream of a kind: "name" or "name=options".
void BitstreamFilter(TCustomFFmpeg &e, const std::string &option, const std::string &value) {
  if (value.empty() || value[0] == '=') return;
  const size_t eq = value.find('=');
  const std::string name = value.substr(0, eq);
  const AVBitStreamFilter *filter = ff::av_bsf_get_by_name(name.c_str());
  AVBSFContext *raw = nullptr;
  if (!filter || ff::av_bsf_alloc(filter, &raw) < 0)
    Fail("Unknown bitstream filter " + TrimText(value));
  TBsfPtr bsf(raw);
  if (eq != std::string::npos && eq + 1 < value.size() && bsf->priv_data) {
    // Options as "key=value:key=value"; a bare value goes to the filter's first option.
    std::string args = value.substr(eq + 1);
    if (args.find('=') == std::string::npos) {
      const AVOption *first = ff::av_opt_next(bsf->priv_data, nullptr);
      args = first ? std::string(first->name) + "=" + args : "";
    }
    AVDictionary *dict = nullptr;
    const bool ok = ff::av_dict_parse_string(&dict, args.c_str(), "=", ":", 0) >= 0 &&
                    ff::av_opt_set_dict2(bsf->priv_data, &dict, 0) >= 0 &&
                    ff::av_dict_count(dict) == 0;
    ff::av_dict_free(&dict);
    if (!ok) Fail("Invalid options for bitstream filter " + TrimText(value));
  }
  const int kind = option[0] == 'v' ? 0 : option[0] == 'a' ? 1 : 2;
  e.PendingBitstreamFilters()[kind].push_back(std::move(bsf));
}

void Preset(TCustomFFmpeg &e, const std::string &kind, const std::string &value) {
  e.ApplyPreset(kind, value);
}

void Generic(TCustomFFmpeg &e, const std::string &name, const std::string &value) {
  e.ApplyGenericOption(name, value);  // an unknown name is silently ignored here
}

using S_ = TEngineSettings;

const std::unordered_map<std::string, THandler> &OptionTable() {
  static const std::unordered_map<std::string, THandler> table = [] {
    std::unordered_map<std::string, THandler> t;
    for (const char *n : {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters",
                          "i", "y", "benchmark"})
      t[n] = DoNothing;
    t["loglevel"] = SetLogLevel;
    t["f"] = [](TCustomFFmpeg &e, const std::string &, const std::string &v) {
      e.SetForceFormat(v);
    };
    t["map"] = AddStreamMap;
    t["map_meta_data"] = AddMetaDataMap;
    t["t"] = SetRecordingTime;
    t["fs"] = [](TCustomFFmpeg &e, const std::string &, const std::string &v) {
      S(e).LimitFileSize = ParseInt64(v);
    };
    t["ss"] = Duration(&S_::StartTime);
    t["itsoffset"] = Duration(&S_::InputTsOffset);
    t["itsscale"] = SetItsScale;
    t["timestamp"] = SetTimestamp;
    t["metadata"] = AddMetadataOption;
    t["dframes"] = Integer(&S_::MaxDataFrames);
    t["timelimit"] = [](TCustomFFmpeg &e, const std::string &, const std::string &) {
      e.Log(TLogLevel::llWarning, "Warning: -timelimit not implemented on Windows");
    };
    t["dump"] = Switch(&S_::DoPktDump);
    t["hex"] = Switch(&S_::DoHexDump);
    t["re"] = Switch(&S_::RateEmu);
    t["loop_input"] = Switch(&S_::LoopInput);
    t["loop_output"] = Integer(&S_::LoopOutput);
    t["v"] = Integer(&S_::Verbose);
    t["target"] = Target;
    t["threads"] = Threads;
    t["vsync"] = Integer(&S_::VideoSyncMethod);
    t["async"] = Integer(&S_::AudioSyncMethod);
    t["adrift_threshold"] = Float(&S_::AudioDriftThreshold);
    t["vglobal"] = Integer(&S_::VideoGlobalHeader);
    t["copyts"] = AlwaysOn(&S_::CopyTs);
    t["shortest"] = Switch(&S_::OptShortest);
    t["dts_delta_threshold"] = Float(&S_::DtsDeltaThreshold);
    t["programid"] = Integer(&S_::ProgramId);
    t["xerror"] = AlwaysOn(&S_::ExitOnError);
    t["copyinkf"] = Integer(&S_::CopyInitialNonKeyframes);
    for (const char *n : {"b", "vb", "ab"}) t[n] = BitRate;
    t["vframes"] = Integer(&S_::MaxVideoFrames);
    t["aframes"] = Integer(&S_::MaxAudioFrames);
    t["r"] = FrameRate;
    t["s"] = FrameSize;
    t["aspect"] = Aspect;
    t["pix_fmt"] = PixelFormat;
    t["croptop"] = Crop(&S_::CropTop, true);
    t["cropbottom"] = Crop(&S_::CropBottom, true);
    t["cropleft"] = Crop(&S_::CropLeft, false);
    t["cropright"] = Crop(&S_::CropRight, false);
    for (const char *n : {"padtop", "padbottom", "padleft", "padright", "padcolor"})
      t[n] = UsePadFilter;
    t["intra"] = Switch(&S_::IntraOnly);
    t["vn"] = Switch(&S_::VideoDisable);
    t["vdt"] = Integer(&S_::VideoDiscard);
    t["qscale"] = QScale;
    t["rc_override"] = Text(&S_::RcOverride);
    t["vcodec"] = CodecName(&S_::VideoCodecName, &S_::VideoStreamCopy);
    t["me_threshold"] = Integer(&S_::MeThreshold);
    t["sameq"] = Switch(&S_::SameQuant);
    t["pass"] = Pass;
    t["passlogfile"] = Text(&S_::PassLogFileName);
    t["deinterlace"] = Switch(&S_::DoDeinterlace);
    t["psnr"] = Switch(&S_::DoPSNR);
    t["vstats"] = VStats;
    t["vstats_file"] = Text(&S_::VStatsFileName);
    t["vhook"] = VideoHook;
    t["vfilters"] = t["vf"] = VideoFilters;
    t["intra_matrix"] = Matrix(&S_::IntraMatrix);
    t["inter_matrix"] = Matrix(&S_::InterMatrix);
    t["top"] = Integer(&S_::TopFieldFirst);
    t["dc"] = Integer(&S_::IntraDcPrecision);
    t["vtag"] = Tag(&S_::VideoCodecTag, "video");
    t["atag"] = Tag(&S_::AudioCodecTag, "audio");
    t["stag"] = Tag(&S_::SubtitleCodecTag, "subtitle");
    for (const char *n : {"newvideo", "newaudio", "newsubtitle"}) t[n] = NewStream;
    t["vlang"] = Text(&S_::VideoLanguage);
    t["alang"] = Text(&S_::AudioLanguage);
    t["slang"] = Text(&S_::SubtitleLanguage);
    t["qphist"] = Switch(&S_::QpHist);
    t["force_fps"] = Switch(&S_::ForceFps);
    t["streamid"] = StreamId;
    t["aq"] = Float(&S_::AudioQScale);
    t["ar"] = AudioRate;
    t["ac"] = AudioChannels;
    t["an"] = Switch(&S_::AudioDisable);
    t["sn"] = Switch(&S_::SubtitleDisable);
    t["acodec"] = CodecName(&S_::AudioCodecName, &S_::AudioStreamCopy);
    t["scodec"] = CodecName(&S_::SubtitleCodecName, &S_::SubtitleStreamCopy);
    t["vol"] = Integer(&S_::AudioVolume);
    t["sample_fmt"] = SampleFormat;
    t["vc"] = Integer(&S_::VideoChannel);
    t["tvstd"] = Text(&S_::VideoStandard);
    t["isync"] = Switch(&S_::InputSync);
    t["muxdelay"] = Float(&S_::MuxMaxDelay);
    t["muxpreload"] = Float(&S_::MuxPreload);
    for (const char *n : {"absf", "vbsf", "sbsf"}) t[n] = BitstreamFilter;
    for (const char *n : {"apre", "vpre", "spre", "fpre"}) t[n] = Preset;
    return t;
  }();
  return table;
}

// ---- presets

std::string ReadPresetFile(const std::string &path, const std::string &shownName) {
  std::ifstream file(path, std::ios::binary);
  std::error_code ec;
  if (!file || std::filesystem::is_directory(path, ec))
    Fail("Preset \"" + shownName + "\" not found");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The norm of a target: named, or for "auto" read from the frame rate, then from the inputs'
// video streams, then the default.
TVideoNorm DecideNorm(TCustomFFmpeg &e, const std::string &norm, const std::string &defaultNorm) {
  if (const auto named = NormByName(norm)) return *named;
  const AVRational rate = e.Settings().FrameRate;
  if (rate.den == 0) Fail("frame_rate is invalid.");
  std::optional<TVideoNorm> decided = NormByFrameRate(rate);
  for (const auto &input : e.InputFiles()) {
    if (decided || !input->Ctx) break;
    for (unsigned i = 0; i < input->Ctx->nb_streams && !decided; ++i) {
      const AVStream *st = input->Ctx->streams[i];
      if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
      decided = NormByFrameRate(st->r_frame_rate.den ? st->r_frame_rate : st->avg_frame_rate);
    }
  }
  const TVideoNorm result = decided ? *decided : NormByDefault(defaultNorm);
  if (e.Settings().Verbose > 0)
    e.LogFmt(TLogLevel::llVerbose, "Assuming %s for target.", NormName(result));
  return result;
}

}  // namespace

void TCustomFFmpeg::SetOption(const std::string &name, const std::string &value) {
  const auto &table = OptionTable();
  const auto row = table.find(name);
  if (row != table.end())
    row->second(*this, name, value);
  else
    Generic(*this, name, value);
}

TOptionResult TCustomFFmpeg::SetKnownOption(const std::string &name, const std::string &value) {
  const auto &table = OptionTable();
  const auto row = table.find(name);
  if (row == table.end()) return TryGenericOption(name, value);
  row->second(*this, name, value);
  return TOptionResult::Set;
}

void TCustomFFmpeg::SetOptions(const std::string &text) {
  for (const TOptionLine &line : SplitOptionString(text)) SetOption(line.Name, line.Value);
}

void TCustomFFmpeg::AddMetadata(const std::string &key, const std::string &value) {
  FSettings.Metadata.emplace_back(key, value);
}

void TCustomFFmpeg::ApplyTarget(const std::string &type, const std::string &norm,
                                const std::string &defaultNorm) {
  const TVideoNorm decided = DecideNorm(*this, norm, defaultNorm);
  const std::optional<TTargetSetup> setup = TargetSetup(type, decided);
  if (!setup) Fail("Unknown target type");
  if (!setup->VideoCodec.empty()) SetOption("vcodec", setup->VideoCodec);
  if (!setup->AudioCodec.empty()) SetOption("acodec", setup->AudioCodec);
  SetOption("f", setup->Format);
  SetOption("s", setup->FrameSize);
  if (!setup->PixelFormat.empty()) SetOption("pix_fmt", setup->PixelFormat);
  SetOption("r", setup->FrameRate);
  for (const auto &[name, value] : setup->GenericOptions) ApplyGenericOption(name, value);
  SetAudioRate(setup->SampleRate);
  if (setup->Channels) SetAudioChannels(setup->Channels);
  if (setup->MonoBecomesStereo && FSettings.AudioChannels == 1) SetAudioChannels(2);
  if (setup->MuxPreload) FSettings.MuxPreload = setup->MuxPreload;
  if (setup->DefaultAspect && FSettings.FrameAspectRatio == 0) {
    FSettings.FrameAspectRatio = setup->DefaultAspect;
    Log(TLogLevel::llInfo, setup->AspectNotice);
  }
}

void TCustomFFmpeg::ApplyPreset(const std::string &kind, const std::string &value) {
  // 1. The built-in table, by the value or by "<codec>-<value>".
  const TOptionsPreset *builtIn = nullptr;
  std::string shownName = value;
  if (kind != "fpre") {
    builtIn = FindBuiltInPreset(value);
    if (!builtIn) {
      std::string codec;
      if (kind == "vpre") codec = FSettings.VideoCodecName;
      if (kind == "apre") codec = FSettings.AudioCodecName;
      if (kind == "spre") codec = FSettings.SubtitleCodecName;
      if (!codec.empty()) {
        shownName = codec + "-" + value;
        builtIn = FindBuiltInPreset(shownName);
      }
    }
  }
  // 2. Otherwise a preset file.
  if (!builtIn) shownName = value;
  const std::string text = builtIn ? builtIn->Options : ReadPresetFile(value, value);
  // The built-in H.264 presets were written for an encoder wrapper that took every switch they
  // leave out from the codec context's defaults: no B-frames, no 8x8 transform, no B-pyramid, no
  // weighted prediction, no mixed references.  Today's wrapper leaves such switches at
  // libx264's own defaults (all on), which turns "libx264-ipod" into High profile that an iPod
  // cannot play.  Pin the old defaults first; the preset's own lines then override them.
  if (builtIn && !strncasecmp(builtIn->Name, "libx264-", 8)) {
    ApplyGenericOption("bf", "0");
    ApplyGenericOption("flags2", "-dct8x8-bpyramid-wpred-mixed_refs");
    ApplyGenericOption("wpredp", "0");
  }
  // 3. One key=value pair per line.
  std::istringstream lines(NormalizeLineBreaks(TrimText(text)));
  for (std::string raw; std::getline(lines, raw);) {
    const std::string line = TrimText(raw);
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    const std::string key = eq == std::string::npos ? line : line.substr(0, eq);
    const std::string arg = eq == std::string::npos ? "" : line.substr(eq + 1);
    if (eq == std::string::npos || key.empty() || arg.empty())
      Fail(shownName + ": Invalid syntax: \"" + line + "\"");
    if (!strcasecmp(key.c_str(), "vcodec") || !strcasecmp(key.c_str(), "acodec") ||
        !strcasecmp(key.c_str(), "scodec")) {
      std::string lower = key;
      for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      SetOption(lower, arg);
    } else if (!ApplyGenericOption(key, arg)) {
      Fail(shownName + ": Invalid option or argument: \"" + line + "\", parsed as \"" + key +
           "\" = \"" + arg + "\"");
    }
  }
}

// ---- direct setters of the host component

void TCustomFFmpeg::SetForceFormat(const std::string &format) {
  FSettings.ForceFormat = format;
  if (format == "pgmyuv") {
    FSettings.ForceFormat = "image2";
    FSettings.PgmyuvCompat = true;
    Log(TLogLevel::llInfo, "pgmyuv format is deprecated, use image2");
  }
}

void TCustomFFmpeg::SetProgramId(int id) {
  if (id >= 0) FSettings.ProgramId = id;
}

void TCustomFFmpeg::SetAudioVolume(int volume) {
  if (volume >= 0) FSettings.AudioVolume = volume;
}

void TCustomFFmpeg::SetAudioSync(int method) {
  FSettings.AudioSyncMethod = method;
}

void TCustomFFmpeg::SetVideoSync(int method) {
  FSettings.VideoSyncMethod = method;
}

void TCustomFFmpeg::SetMuxDelay(float seconds) {
  if (seconds > 0) FSettings.MuxMaxDelay = seconds;
}

void TCustomFFmpeg::SetMuxPreload(float seconds) {
  if (seconds > 0) FSettings.MuxPreload = seconds;
}

void TCustomFFmpeg::SetAudioRate(int rate) {
  if (rate <= 0) return;
  FSettings.AudioSampleRate = rate;
  FSettings.AudioRateFromInput = false;
}

void TCustomFFmpeg::SetAudioChannels(int channels) {
  if (channels <= 0) return;
  FSettings.AudioChannels = channels;
  FSettings.AudioChannelsFromInput = false;
}

void TCustomFFmpeg::SetIntGenericOption(const std::string &name, int64_t value) {
  ApplyGenericOption(name, std::to_string(value));
}

void TCustomFFmpeg::SetThreadCount(int count) {
  if (count >= 0) FSettings.ThreadCount = count;
}
