#include "services/FFUtils.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <initializer_list>

namespace {

bool IsOneOf(const std::string &name, std::initializer_list<const char *> names) {
  return std::any_of(names.begin(), names.end(), [&](const char *n) { return name == n; });
}

// Options that belong to a stream of their own: never passed with the rest of the text.
bool IsStreamOption(const std::string &name) {
  return IsOneOf(name,
                 {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"});
}

// Options of an output's streams that reach the engine through the defaults list.
bool IsDefaultsOption(const std::string &name) {
  return IsOneOf(name,
                 {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vfilters", "vf"});
}

void ReplaceAll(std::string &text, const std::string &from, const std::string &to) {
  for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
    text.replace(pos, from.size(), to);
}

// Step 1 of reading option text: trim, one kind of line break, "<CRLF>" markers as breaks.
std::string NormalizeOptionText(const std::string &text) {
  const auto isText = [](unsigned char c) { return c > ' '; };
  const auto first = std::find_if(text.begin(), text.end(), isText);
  const auto last = std::find_if(text.rbegin(), text.rend(), isText).base();
  std::string result = first < last ? std::string(first, last) : std::string();
  ReplaceAll(result, "\r\n", "\n");
  std::replace(result.begin(), result.end(), '\r', '\n');
  ReplaceAll(result, "<CRLF>", "\n");
  return result;
}

std::string ToLower(std::string text) {
  for (char &c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

void SetIfNotEmpty(TOptionTarget &task, const std::string &name, const std::string &value) {
  if (!value.empty()) task.SetOption(name, value);
}

void GenericIfPositive(TOptionTarget &task, const char *name, int value) {
  if (value > 0) task.ApplyGenericOption(name, std::to_string(value));
}

void SwitchOn(TOptionTarget &task, const char *name, bool on) {
  if (on) task.SetOption(name, "1");
}

// Step 1 of an output: the defaults list from the record's fields and the option text.
void BuildDefaults(const TOutputOptions &o, TDefaultsList &defaults) {
  const std::pair<const char *, const std::string *> fields[] = {
      {"def_acodec", &o.AudioCodec},    {"def_vcodec", &o.VideoCodec},
      {"def_scodec", &o.SubtitleCodec}, {"def_apre", &o.AudioPreset},
      {"def_vpre", &o.VideoPreset},     {"def_spre", &o.SubtitlePreset},
      {"def_s", &o.FrameSize},          {"def_vf", &o.VideoFilters},
  };
  for (const auto &[name, value] : fields) defaults.SetValue(name, *value);
  // A record field wins; otherwise the first such line of the text is the default.
  for (TOptionLine line : ParseOptionText(o.ExtOptions)) {
    if (!IsDefaultsOption(line.Name) || line.Value.empty()) continue;
    if (line.Name == "vfilters") line.Name = "vf";
    if (defaults.Value("def_" + line.Name).empty())
      defaults.SetValue("def_" + line.Name, line.Value);
    defaults.Add(line.Name, line.Value);
  }
}

void ApplyTargetOf(TOptionTarget &task, const TOutputOptions &o) {
  static const char *const types[] = {"vcd", "svcd", "dvd"};
  if (o.TargetType < 1 || o.TargetType > 3) return;
  const char *norm = o.TargetNorm == 1 ? "pal" : o.TargetNorm == 2 ? "ntsc" : "auto";
  task.ApplyTarget(types[o.TargetType - 1], norm, o.DefaultNorm == 1 ? "pal" : "ntsc");
}

// Codecs before presets: a preset name is looked up together with its codec name.
void ApplyCodecsAndPresets(TOptionTarget &task, const TDefaultsList &defaults) {
  for (const char *name : {"acodec", "vcodec", "scodec"})
    SetIfNotEmpty(task, name, defaults.Value(std::string("def_") + name));
  for (const char *kind : {"apre", "vpre", "spre"}) {
    const std::string value = defaults.Value(std::string("def_") + kind);
    if (!value.empty()) task.ApplyPreset(kind, value);
  }
}

void ApplyAudioFields(TOptionTarget &task, const TOutputOptions &o) {
  SwitchOn(task, "an", o.DisableAudio);
  if (o.AudioVolume >= 0) task.SetAudioVolume(o.AudioVolume);
  if (o.AudioChannels > 0) task.SetAudioChannels(o.AudioChannels);
  if (o.AudioSampleRate > 0) task.SetAudioSampleRate(o.AudioSampleRate);
  GenericIfPositive(task, "ab", o.AudioBitrate);
  GenericIfPositive(task, "abt", o.AudioBitrateTolerance);
  task.SetOption("alang", o.AudioLanguage);
  task.SetAudioSync(o.AudioSync);
  SetIfNotEmpty(task, "atag", o.AudioTag);
}

void ApplyVideoFields(TOptionTarget &task, const TOutputOptions &o) {
  SwitchOn(task, "vn", o.DisableVideo);
  SetIfNotEmpty(task, "r", o.FrameRate);
  SetIfNotEmpty(task, "aspect", o.AspectRatio);
  const std::pair<const char *, int> crops[] = {{"croptop", o.CropTop},
                                                {"cropbottom", o.CropBottom},
                                                {"cropleft", o.CropLeft},
                                                {"cropright", o.CropRight}};
  for (const auto &[name, value] : crops)
    if (value > 0) task.SetOption(name, std::to_string(value));
  GenericIfPositive(task, "g", o.GOPSize);
  GenericIfPositive(task, "vb", o.VideoBitrate);
  GenericIfPositive(task, "maxrate", o.VideoMaxRate);
  GenericIfPositive(task, "minrate", o.VideoMinRate);
  GenericIfPositive(task, "bt", o.VideoBitrateTolerance);
  GenericIfPositive(task, "bufsize", o.VideoBufSize);
  task.SetVideoSync(o.VideoSync);  // -1 too: it asks for the automatic method
  SetIfNotEmpty(task, "vtag", o.VideoTag);
  task.SetOption("vlang", o.VideoLanguage);
}

void ApplyMetadata(TOptionTarget &task, const TStreamInfo &m) {
  if (m.Timestamp == 0)
    task.SetRecordingTimestamp(DateTimeToUnixTime(CurrentDateTime()));
  else if (m.Timestamp > 0)
    task.SetRecordingTimestamp(DateTimeToUnixTime(m.Timestamp));
  if (m.Year > 0) task.AddMetadata("year", std::to_string(m.Year));
  if (m.Track > 0) task.AddMetadata("track", std::to_string(m.Track));
  const std::pair<const char *, const std::string *> tags[] = {
      {"title", &m.Title},     {"author", &m.Author}, {"copyright", &m.Copyright},
      {"comment", &m.Comment}, {"album", &m.Album},   {"genre", &m.Genre}};
  for (const auto &[key, value] : tags)
    if (!value->empty()) task.AddMetadata(key, *value);
}

// Step 5 of an output: the record's own fields, in the order the engine expects them.
void ApplyOutputFields(TOptionTarget &task, const TOutputOptions &o) {
  if (!o.FileFormat.empty()) task.SetForceFormat(o.FileFormat);
  GenericIfPositive(task, "packetsize", o.PacketSize);
  GenericIfPositive(task, "muxrate", o.MuxRate);
  if (o.MuxDelay > 0) task.SetMuxDelay(o.MuxDelay);
  if (o.MuxPreload > 0) task.SetMuxPreload(o.MuxPreload);
  ApplyAudioFields(task, o);
  ApplyVideoFields(task, o);
  SwitchOn(task, "sn", o.DisableSubtitle);
  task.SetOption("slang", o.SubtitleLanguage);
  task.SetOption("isync", o.InputSync ? "1" : "0");
  SwitchOn(task, "copyts", o.CopyTimestamps);
  if (o.StartTime != NoTimestamp) task.SetStartTime(o.StartTime);
  if (o.Duration != NoTimestamp) task.SetRecordingTime(o.Duration);
  ApplyMetadata(task, o.Metadata);
}

}  // namespace

void InitInputOptions(TInputOptions &options) {
  options = TInputOptions();
}

void InitOutputOptions(TOutputOptions &options) {
  options = TOutputOptions();
}

std::vector<TOptionLine> ParseOptionText(const std::string &text) {
  std::vector<TOptionLine> lines;
  std::string rest = NormalizeOptionText(text);
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    const std::string line = rest.substr(0, lf);
    rest = lf == std::string::npos ? std::string() : rest.substr(lf + 1);
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
      lines.push_back({ToLower(line), ""});
    else
      lines.push_back({ToLower(line.substr(0, eq)), line.substr(eq + 1)});
  }
  return lines;
}

std::string TDefaultsList::Value(const std::string &name) const {
  for (const TOptionLine &e : FEntries)
    if (e.Name == name) return e.Value;
  return "";
}

void TDefaultsList::SetValue(const std::string &name, const std::string &value) {
  const auto it = std::find_if(FEntries.begin(), FEntries.end(),
                               [&](const TOptionLine &e) { return e.Name == name; });
  if (value.empty()) {
    if (it != FEntries.end()) FEntries.erase(it);
  } else if (it != FEntries.end()) {
    it->Value = value;
  } else {
    FEntries.push_back({name, value});
  }
}

void TDefaultsList::Add(const std::string &name, const std::string &value) {
  FEntries.push_back({name, value});
}

bool TDefaultsList::Take(const std::string &name, std::string &value) {
  const auto it = std::find_if(FEntries.begin(), FEntries.end(),
                               [&](const TOptionLine &e) { return e.Name == name; });
  if (it == FEntries.end()) return false;
  value = it->Value;
  FEntries.erase(it);
  return true;
}

void ApplyOptionText(TOptionTarget &task, const std::string &text, bool withCodecNames) {
  for (const TOptionLine &line : ParseOptionText(text)) {
    if (IsStreamOption(line.Name)) continue;
    if (!withCodecNames && IsOneOf(line.Name, {"acodec", "vcodec", "scodec", "s"})) continue;
    task.SetOption(line.Name, line.Value);
  }
}

void ApplyInputOptions(TOptionTarget &task, const TInputOptions &options) {
  ApplyOptionText(task, options.ExtOptions, true);
  if (!options.FileFormat.empty()) task.SetForceFormat(options.FileFormat);
  if (options.StartTime != NoTimestamp) task.SetStartTime(options.StartTime);
  if (options.ProgramID >= 0) task.SetProgramID(options.ProgramID);
}

bool ApplyOutputOptions(TOptionTarget &task, const TOutputOptions &options,
                        TDefaultsList &defaults) {
  BuildDefaults(options, defaults);
  ApplyTargetOf(task, options);
  ApplyCodecsAndPresets(task, defaults);
  ApplyOptionText(task, options.ExtOptions, false);
  ApplyOutputFields(task, options);
  SetIfNotEmpty(task, "s", defaults.Value("def_s"));
  SetIfNotEmpty(task, "vf", defaults.Value("def_vf"));
  if (options.HookEnabled) task.EnableCustomHook();
  return options.Join;
}

void AddExtraStreams(TOptionTarget &task, const TOutputOptions &options, TDefaultsList &defaults) {
  static const std::vector<const char *> audio = {"acodec", "apre"};
  static const std::vector<const char *> video = {"vcodec", "vpre", "s", "vf"};
  static const std::vector<const char *> subtitle = {"scodec", "spre"};
  for (const TOptionLine &line : ParseOptionText(options.ExtOptions)) {
    const std::vector<const char *> *names = line.Name == "newaudio"      ? &audio
                                             : line.Name == "newvideo"    ? &video
                                             : line.Name == "newsubtitle" ? &subtitle
                                                                          : nullptr;
    if (!names) continue;
    // Each extra stream takes the next entry of its options; when they have run out, the default
    // of the output's first stream.
    for (const char *name : *names) {
      std::string value;
      if (!defaults.Take(name, value)) value = defaults.Value(std::string("def_") + name);
      SetIfNotEmpty(task, name, value);
    }
    task.SetOption(line.Name, line.Value);
  }
}

int TimeZoneBias() {
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  if (local.tm_isdst > 0) {
    // Daylight saving time is in effect: take the offset of a day of this year without it.
    for (int month = 0; month < 12; ++month) {
      struct tm probe = {};
      probe.tm_year = local.tm_year;
      probe.tm_mon = month;
      probe.tm_mday = 1;
      probe.tm_hour = 12;
      probe.tm_isdst = -1;
      const time_t when = mktime(&probe);
      struct tm other = {};
      localtime_r(&when, &other);
      if (other.tm_isdst == 0) return static_cast<int>(-other.tm_gmtoff / 60);
    }
  }
  return static_cast<int>(-local.tm_gmtoff / 60);
}

int64_t DateTimeToUnixTime(double dateTime) {
  return static_cast<int64_t>(std::nearbyint((dateTime - 25569 + TimeZoneBias() / 1440.0) * 86400));
}

double CurrentDateTime() {
  struct timespec ts = {};
  clock_gettime(CLOCK_REALTIME, &ts);
  const double utcSeconds = static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
  return (utcSeconds - TimeZoneBias() * 60.0) / 86400 + 25569;
}
