#include "workspace/ParameterPanel.h"

#include <algorithm>
#include <stdexcept>

#include "workspace/LogicTexts.h"
#include "workspace/NumberText.h"

namespace pk = profilekeys;

namespace {

constexpr const char AsSource[] = "as source";

// The tables compare the display name in lower case; surrounding blanks are ignored as well, so
// that an item written "pcm_mulaw " (as the format INI of old had it) and "pcm_mulaw" both count.
std::string DisplayKey(const std::string &display) {
  return LowerCase(Trimmed(display));
}

int IndexOf(const std::vector<std::string> &items, const std::string &text) {
  const auto it = std::find(items.begin(), items.end(), text);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

// Questions nobody is asked: the rules run on a copy the user never sees.
class TSilentQuestions : public IJobQuestions {
 public:
  bool AskYesNo(const std::string &, const std::string &) override { return false; }
  void ShowMessage(const std::string &, const std::string &) override {}
};

void SetGroup(std::initializer_list<TParamBoxState *> boxes, bool on) {
  for (TParamBoxState *box : boxes) {
    box->Enabled = on;
    box->Grey = !on;
  }
}

}  // namespace

// Box state

void TParamBoxState::Select(int index) {
  if (index >= 0 && static_cast<size_t>(index) < Items.size()) {
    ItemIndex = index;
    Text = Items[static_cast<size_t>(index)];
  } else {
    ItemIndex = -1;
    Text.clear();
  }
}

void TParamBoxState::SetText(const std::string &text) {
  Text = text;
  ItemIndex = IndexOf(Items, text);
}

// Tables V, A, W and the channel items

std::optional<std::string> VideoEncoderOfDisplay(const std::string &display) {
  const std::string key = DisplayKey(display);
  if (key == "mpeg-4") return "mpeg4";
  if (key == "xvid") return "libxvid";
  if (key == "h264") return "libx264";
  if (key == "h265" || key == "hevc") return "libx265";
  if (key == "av1") return "libsvtav1";
  if (key == "vp9") return "libvpx-vp9";
  if (key == "copy") return "copy";
  static const char *const same[] = {
      "3gp",     "3g2",       "mov",       "wmv1",       "wmv2",       "wmv3",  "flv",   "swf",
      "msmpeg4", "msmpeg4v1", "msmpeg4v2", "mpeg1video", "mpeg2video", "h263",  "h263p", "rawvideo",
      "rv10",    "rv20",      "dvvideo",   "huffyuv",    "ljpeg",      "mjpeg", "svq1",  "zlib"};
  for (const char *name : same)
    if (key == name) return key;
  return std::nullopt;
}

std::optional<std::string> AudioEncoderOfDisplay(const std::string &display) {
  static const std::pair<const char *, const char *> table[] = {{"mp3", "libmp3lame"},
                                                                {"ogg", "vorbis"},
                                                                {"mp2", "mp2"},
                                                                {"aac", "libfaac"},
                                                                {"ac-3", "ac3"},
                                                                {"flac", "libflac"},
                                                                {"amr_nb", "libopencore_amrnb"},
                                                                {"pcm_s16", "pcm_s16le"},
                                                                {"pcm_u16", "pcm_u16le"},
                                                                {"pcm_alaw", "pcm_alaw"},
                                                                {"pcm_mulaw", "pcm_mulaw"},
                                                                {"adpcm_ms", "adpcm_ms"},
                                                                {"adpcm_ima_wav", "adpcm_ima_wav"},
                                                                {"wma1", "wmav1"},
                                                                {"wma2", "wmav2"},
                                                                {"opus", "libopus"},
                                                                {"copy", "copy"}};
  const std::string key = DisplayKey(display);
  for (const auto &[shown, written] : table)
    if (key == shown) return written;
  return std::nullopt;
}

std::optional<std::string> EngineVolumeOfItem(const std::string &item) {
  const std::string percentText = item.empty() ? item : item.substr(0, item.size() - 1);
  const auto percent = IntegerText(percentText);
  if (!percent) throw std::invalid_argument("'" + percentText + "' is not a valid integer value");
  static const std::pair<int, const char *> table[] = {
      {25, "64"},   {50, "128"},  {75, "192"},  {100, "256"}, {125, "320"}, {150, "384"},
      {175, "448"}, {200, "512"}, {250, "640"}, {300, "768"}, {350, "896"}, {400, "1024"}};
  for (const auto &[shown, volume] : table)
    if (*percent == shown) return volume;
  return std::nullopt;
}

std::optional<std::string> ChannelOfItem(const std::string &item) {
  const std::string key = Trimmed(item);
  if (key == AsSource) return AsSource;
  if (key == "mono 1 channel") return "1";
  if (key == "stereo 2 channels") return "2";
  return std::nullopt;
}

// Loading

void TParameterPanel::FillList(TParamBoxState &box, const std::string &value,
                               bool emptyMeansNone) const {
  box = TParamBoxState();
  const auto items = TFormatCatalogue::SplitList(value);
  if (!items || (emptyMeansNone && value.empty())) return;
  box.Items = *items;
  box.Enabled = true;
}

TPanelState TParameterPanel::Lists(int formatCode) const {
  const TFormatInfo info = FCatalogue.Read(formatCode);
  TPanelState s;
  FillList(s.VideoSize, info.VideoSize, false);
  FillList(s.VideoBitRate, info.VideoBitRate, false);
  FillList(s.FrameRate, info.FrameRate, false);
  FillList(s.VideoEncoder, info.VideoEncoder, true);
  FillList(s.AudioBitRate, info.AudioBitRate, true);
  FillList(s.SampleRate, info.SampleRate, true);
  FillList(s.AudioEncoder, info.AudioEncoder, true);
  FillList(s.Channel, info.Channel, true);
  FillList(s.Volume, info.Volume, true);
  return s;
}

void TParameterPanel::EnableGroups(TPanelState &s) {
  SetGroup({&s.VideoSize, &s.VideoBitRate, &s.FrameRate, &s.VideoEncoder, &s.Zoom},
           !s.VideoEncoder.Items.empty());
  SetGroup({&s.AudioBitRate, &s.SampleRate, &s.AudioEncoder, &s.Channel, &s.Volume},
           !s.AudioEncoder.Items.empty());
}

TPanelState TParameterPanel::Load(int formatCode) const {
  TPanelState s = Lists(formatCode);
  const std::string zoom = FStore.ReadProfile(formatCode, pk::paraZoom, "full");
  if (zoom != "null" && !zoom.empty()) {
    s.Zoom.Items.assign(std::begin(ZoomItems), std::end(ZoomItems));
    s.Zoom.Enabled = true;
    const auto it = std::find(std::begin(ZoomValues), std::end(ZoomValues), zoom);
    s.Zoom.Select(it == std::end(ZoomValues) ? -1 : static_cast<int>(it - std::begin(ZoomValues)));
  }

  s.VideoSize.SetText(FStore.ReadProfile(formatCode, pk::paraVideoSize, "320x240"));
  s.VideoBitRate.SetText(FStore.ReadProfile(formatCode, pk::paraVideoBitRate, "768"));
  s.SampleRate.SetText(FStore.ReadProfile(formatCode, pk::paraSampleRate, "44100"));
  s.AudioBitRate.SetText(FStore.ReadProfile(formatCode, pk::paraAudioBitRate, "96"));

  s.FrameRate.Select(FStore.ReadProfileInteger(formatCode, pk::iFrameRate, 0));
  s.VideoEncoder.Select(FStore.ReadProfileInteger(formatCode, pk::iVideoEncoder, 0));
  s.Channel.Select(FStore.ReadProfileInteger(formatCode, pk::iChannel, 0));
  s.Volume.Select(FStore.ReadProfileInteger(formatCode, pk::iVolume, 0));
  s.AudioEncoder.Select(FStore.ReadProfileInteger(formatCode, pk::iAudioEncoder, 0));

  ApplyStreamCopy(s);
  return s;
}

// Stream copy

bool TParameterPanel::IsCopyItem(const std::string &display) {
  return DisplayKey(display) == "copy";
}

void TParameterPanel::ApplyStreamCopy(TPanelState &s) {
  EnableGroups(s);
  s.VideoCopy = s.VideoEncoder.Enabled && IsCopyItem(s.VideoEncoder.Text);
  s.AudioCopy = s.AudioEncoder.Enabled && IsCopyItem(s.AudioEncoder.Text);
  // Off, but not grey: the group is on, only these boxes have nothing to say.
  auto off = [](std::initializer_list<TParamBoxState *> boxes) {
    for (TParamBoxState *box : boxes) box->Enabled = false;
  };
  s.CopyHint.clear();
  if (s.VideoCopy) {
    off({&s.VideoSize, &s.VideoBitRate, &s.FrameRate, &s.Zoom});
    s.CopyHint = QT_TRANSLATE_NOOP(
        "Messages",
        "Copy writes the source's video as it is: frame size, frame rate, bit rate, zoom, crop, "
        "effects and watermark do not apply. A trimmed clip starts at the key frame at or "
        "before its start.");
  }
  if (s.AudioCopy) {
    off({&s.AudioBitRate, &s.SampleRate, &s.Channel, &s.Volume});
    s.CopyHint += std::string(s.CopyHint.empty() ? "" : "\n") +
                  QT_TRANSLATE_NOOP("Messages",
                                    "Copy writes the source's sound as it is: sample rate, bit "
                                    "rate, channels and volume do not apply.");
  }
}

// Change handlers

void TParameterPanel::WriteValue(int formatCode, const char *indexKey, const char *valueKey,
                                 int index, const std::string &value) {
  const TStoreEdit edit(FStore);
  FStore.WriteProfileInteger(formatCode, indexKey, index);
  FStore.WriteProfile(formatCode, valueKey, value);
}

void TParameterPanel::RejectText(TParamBoxState &box, const std::string &message) {
  FQuestions.ShowMessage(message, "");
  if (box.Items.size() > 1) box.Select(1);
}

void TParameterPanel::ZoomChanged(int formatCode, const TParamBoxState &box) {
  if (box.ItemIndex >= 0 && box.ItemIndex < 3)
    FStore.WriteProfile(formatCode, pk::paraZoom, ZoomValues[box.ItemIndex]);
}

void TParameterPanel::VideoSizeChosen(int formatCode, const TParamBoxState &box) {
  WriteValue(formatCode, pk::iVideoSize, pk::paraVideoSize, box.ItemIndex, box.Text);
}

TFrameSizeCheck TParameterPanel::CheckVideoSize(TParamBoxState &box) {
  const std::string t = box.Text;
  if (LowerCase(t).find(AsSource) != std::string::npos) return TFrameSizeCheck::AsSource;
  const size_t x = t.rfind('x');
  const auto w = x == std::string::npos ? std::nullopt : IntegerText(t.substr(0, x));
  const auto h = x == std::string::npos ? std::nullopt : IntegerText(t.substr(x + 1));
  // A negative size cannot be typed (the key filter drops "-") but can be pasted; it is no
  // frame size either.
  if (!w || !h || *w < 0 || *h < 0) {
    RejectText(box, QT_TRANSLATE_NOOP("Messages", "Frame Size is not a valid value!"));
    return TFrameSizeCheck::Invalid;
  }
  if (*w % 2 == 0 && *h % 2 == 0 && *w != 0 && *h != 0) return TFrameSizeCheck::Valid;
  auto even = [](int v) { return v / 2 * 2 == 0 ? 2 : v / 2 * 2; };
  const std::string corrected = std::to_string(even(*w)) + "x" + std::to_string(even(*h));
  FQuestions.ShowMessage(ArgText(logictexts::FrameSizeCorrected, {corrected}), InputErrorCaption);
  box.SetText(corrected);
  return TFrameSizeCheck::Corrected;
}

bool TParameterPanel::VideoSizeLeft(int formatCode, TParamBoxState &box) {
  if (box.Unused()) return false;
  const int i = IndexOf(box.Items, box.Text);  // taken before any correction
  const TFrameSizeCheck check = CheckVideoSize(box);
  if (check == TFrameSizeCheck::AsSource || check == TFrameSizeCheck::Invalid) return false;
  WriteValue(formatCode, pk::iVideoSize, pk::paraVideoSize, i >= 0 ? i : 0, box.Text);
  return true;
}

bool TParameterPanel::CheckVideoBitRate(TParamBoxState &box) {
  if (IsIntegerText(box.Text) || box.Text == AsSource) return true;
  RejectText(box, QT_TRANSLATE_NOOP("Messages", "Video BitRate is not a valid value!"));
  return false;
}

bool TParameterPanel::CheckSampleRate(TParamBoxState &box) {
  if (IsIntegerText(box.Text) || box.Text == AsSource) return true;
  RejectText(box, QT_TRANSLATE_NOOP("Messages", "Audio SampleRate is not a valid value!"));
  return false;
}

bool TParameterPanel::CheckAudioBitRate(TParamBoxState &box) {
  if (IsIntegerText(box.Text) || IsNumberText(box.Text) || box.Text == AsSource) return true;
  RejectText(box, QT_TRANSLATE_NOOP("Messages", "Audio BitRate is not a valid value!"));
  return false;
}

void TParameterPanel::VideoBitRateChanged(int formatCode, TParamBoxState &box) {
  if (box.Unused()) return;
  if (CheckVideoBitRate(box))
    WriteValue(formatCode, pk::iVideoBitRate, pk::paraVideoBitRate, box.ItemIndex, box.Text);
}

void TParameterPanel::FrameRateChanged(int formatCode, const TParamBoxState &box) {
  if (box.Unused()) return;
  WriteValue(formatCode, pk::iFrameRate, pk::paraFrameRate, box.ItemIndex, box.Text);
}

void TParameterPanel::VideoEncoderChanged(int formatCode, const TParamBoxState &box) {
  if (box.Unused()) return;
  const TStoreEdit edit(FStore);
  FStore.WriteProfileInteger(formatCode, pk::iVideoEncoder, box.ItemIndex);
  const auto encoder = VideoEncoderOfDisplay(box.Text);
  if (!encoder) return;
  FStore.WriteProfile(formatCode, pk::paraVideoEncoder, *encoder);
  if (*encoder == "libx264") CopyAdvancedH264Keys(formatCode);
}

void TParameterPanel::CopyAdvancedH264Keys(int formatCode) {
  const TFormatInfo info = FCatalogue.Read(formatCode);
  if (LowerCase(info.paraBitExact) == "true")
    FStore.WriteProfile(formatCode, pk::paraBitExact, info.paraBitExact);
  const std::pair<const char *, const std::string *> positive[] = {
      {pk::paraMaxBitrate, &info.paraMaxBitrate},
      {pk::paraBufferSize, &info.paraBufferSize},
      {pk::paraLevel, &info.paraLevel},
      {pk::paraQscale, &info.paraQscale},
      {pk::paraGop, &info.paraGop}};
  for (const auto &[key, value] : positive)
    if (IntegerText(*value).value_or(0) > 0) FStore.WriteProfile(formatCode, key, *value);
  if (IntegerText(info.paraCoder).value_or(-1) >= 0)
    FStore.WriteProfile(formatCode, pk::paraCoder, info.paraCoder);
}

void TParameterPanel::SampleRateChanged(int formatCode, TParamBoxState &box) {
  if (box.Unused()) return;
  if (CheckSampleRate(box))
    WriteValue(formatCode, pk::iSampleRate, pk::paraSampleRate, box.ItemIndex, box.Text);
}

void TParameterPanel::AudioEncoderChanged(int formatCode, const TParamBoxState &box) {
  if (box.Unused()) return;
  const TStoreEdit edit(FStore);
  FStore.WriteProfileInteger(formatCode, pk::iAudioEncoder, box.ItemIndex);
  if (const auto encoder = AudioEncoderOfDisplay(box.Text))
    FStore.WriteProfile(formatCode, pk::paraAudioEncoder, *encoder);
}

void TParameterPanel::AudioBitRateChanged(int formatCode, TParamBoxState &box) {
  if (box.Unused()) return;
  if (CheckAudioBitRate(box))
    WriteValue(formatCode, pk::iAudioBitRate, pk::paraAudioBitRate, box.ItemIndex, box.Text);
}

void TParameterPanel::ChannelChanged(int formatCode, const TParamBoxState &box) {
  if (box.Unused()) return;
  const TStoreEdit edit(FStore);
  FStore.WriteProfileInteger(formatCode, pk::iChannel, box.ItemIndex);
  if (const auto channels = ChannelOfItem(box.Text))
    FStore.WriteProfile(formatCode, pk::paraChannel, *channels);
}

void TParameterPanel::VolumeChanged(int formatCode, const TParamBoxState &box) {
  if (box.Unused()) return;
  // Checked before anything is written, so a bad item leaves the section as it was.
  const auto volume = EngineVolumeOfItem(box.Text);
  const TStoreEdit edit(FStore);
  FStore.WriteProfileInteger(formatCode, pk::iVolume, box.ItemIndex);
  if (volume) FStore.WriteProfile(formatCode, pk::paraVolume, *volume);
}

// "Default" and seeding

void TParameterPanel::Default(int formatCode, TPanelState &s) {
  const TFormatInfo info = FCatalogue.Read(formatCode);
  const TStoreEdit edit(FStore);  // one save for all of it
  FillList(s.VideoSize, info.VideoSize, false);
  FillList(s.VideoBitRate, info.VideoBitRate, false);
  FillList(s.AudioBitRate, info.AudioBitRate, true);
  FillList(s.SampleRate, info.SampleRate, true);

  s.VideoSize.Select(info.iVideoSize);
  s.VideoBitRate.Select(info.iVideoBitRate);
  s.FrameRate.Select(info.iFrameRate);
  s.VideoEncoder.Select(info.iVideoEncoder);
  s.AudioBitRate.Select(info.iAudioBitRate);
  s.SampleRate.Select(info.iSampleRate);
  s.Channel.Select(info.iChannel);
  s.Volume.Select(info.iVolume);
  s.AudioEncoder.Select(info.iAudioEncoder);
  s.Zoom.Select(0);

  VideoEncoderChanged(formatCode, s.VideoEncoder);
  VideoSizeLeft(formatCode, s.VideoSize);
  FrameRateChanged(formatCode, s.FrameRate);
  VideoBitRateChanged(formatCode, s.VideoBitRate);
  ZoomChanged(formatCode, s.Zoom);
  AudioEncoderChanged(formatCode, s.AudioEncoder);
  AudioBitRateChanged(formatCode, s.AudioBitRate);
  SampleRateChanged(formatCode, s.SampleRate);
  ChannelChanged(formatCode, s.Channel);
  ApplyStreamCopy(s);
  // The volume items are the one list the rules read as numbers.  A damaged item of a hand-edited
  // format INI is reported with its profile and key; the values above are written by then.
  try {
    VolumeChanged(formatCode, s.Volume);
  } catch (const std::invalid_argument &e) {
    if (s.Volume.ItemIndex >= 0)
      throw EProfileValueError(
          FCatalogue.FormatIniPath(), formatCode, "Volume",
          "the item \"" + s.Volume.Text + "\" is no percentage (" + e.what() + ")");
    throw EProfileValueError(FCatalogue.FormatIniPath(), formatCode, "iVolume",
                             std::to_string(info.iVolume) + " selects no item of Volume=" +
                                 info.Volume + " (" + e.what() + ")");
  }
}

bool TParameterPanel::EnsureSeeded(int formatCode) {
  const TStoreEdit edit(FStore);
  if (FStore.ProfileExists(formatCode)) return FillMissingKeys(formatCode);
  TPanelState state = Load(formatCode);
  Default(formatCode, state);
  return true;
}

// What "Default" would write is worked out on a copy in memory, without a word to the user (the
// first seeding of the profile reported a damaged default); only the keys the stored section
// lacks are taken from it, so every value the user chose stays.
bool TParameterPanel::FillMissingKeys(int formatCode) {
  TScratchStore scratch;
  TSilentQuestions silent;
  TParameterPanel defaults(FCatalogue, scratch, silent);
  TPanelState state = defaults.Load(formatCode);
  try {
    defaults.Default(formatCode, state);
  } catch (const EProfileValueError &) {
    // The values that could be worked out are still used.
  }
  const std::string section = ProfileSection(formatCode);
  const auto stored = FStore.ReadSection(section);
  bool filled = false;
  for (const std::string &key : scratch.KeyNames(section)) {
    if (stored.count(LowerCase(key))) continue;
    FStore.WriteString(section, key, scratch.ReadString(section, key, ""));
    filled = true;
  }
  return filled;
}

// Key filters

bool TParameterPanel::FrameSizeKeyAccepted(const std::string &text, char key) {
  if (text.empty()) return true;
  if (key == '\b' || (key >= '0' && key <= '9')) return true;
  return key == 'x' && text.find('x') == std::string::npos;
}

bool TParameterPanel::NumericKeyAccepted(char key) {
  return key == '\b' || (key >= '0' && key <= '9');
}
