#include "workspace/ProfileSettings.h"

#include <algorithm>
#include <optional>

namespace pk = profilekeys;

namespace {

// A box whose choice is kept as an index key and, for the editable boxes and the frame rate, a
// text key; the default is the text shown for a negative index without a stored text.
struct TIndexedBox {
  TParamBoxState TPanelState::*Box;
  const char *IndexKey;
  const char *TextKey;  // nullptr: the box is selected by its index only
  const char *TextDefault;
};
constexpr TIndexedBox IndexedBoxes[] = {
    {&TPanelState::VideoSize, pk::iVideoSize, pk::paraVideoSize, "320x240"},
    {&TPanelState::VideoBitRate, pk::iVideoBitRate, pk::paraVideoBitRate, "800"},
    {&TPanelState::FrameRate, pk::iFrameRate, pk::paraFrameRate, "25"},
    {&TPanelState::VideoEncoder, pk::iVideoEncoder, nullptr, nullptr},
    {&TPanelState::SampleRate, pk::iSampleRate, pk::paraSampleRate, "44100"},
    {&TPanelState::AudioBitRate, pk::iAudioBitRate, pk::paraAudioBitRate, "96"},
    {&TPanelState::Channel, pk::iChannel, nullptr, nullptr},
    {&TPanelState::Volume, pk::iVolume, nullptr, nullptr},
    {&TPanelState::AudioEncoder, pk::iAudioEncoder, nullptr, nullptr}};

// The order in which "Ok" writes the index keys.
constexpr std::pair<TParamBoxState TPanelState::*, const char *> IndexKeysInOrder[] = {
    {&TPanelState::VideoSize, pk::iVideoSize},
    {&TPanelState::VideoBitRate, pk::iVideoBitRate},
    {&TPanelState::VideoEncoder, pk::iVideoEncoder},
    {&TPanelState::FrameRate, pk::iFrameRate},
    {&TPanelState::SampleRate, pk::iSampleRate},
    {&TPanelState::AudioBitRate, pk::iAudioBitRate},
    {&TPanelState::Channel, pk::iChannel},
    {&TPanelState::Volume, pk::iVolume},
    {&TPanelState::AudioEncoder, pk::iAudioEncoder}};

// A box the profile does not offer, or whose group is off, has nothing to store.
bool Stored(const TParamBoxState &box) {
  return box.Enabled && !box.Unused();
}

}  // namespace

TPanelState TProfileSettings::LoadedBy(int formatCode, bool storedTexts) const {
  TPanelState s = FPanel.Lists(formatCode);
  s.Zoom.Items.assign(std::begin(SettingsZoomItems), std::end(SettingsZoomItems));
  if (!FStore.ProfileExists(formatCode)) {
    Default(formatCode, s);
  } else {
    for (const TIndexedBox &indexed : IndexedBoxes) {
      TParamBoxState &box = s.*indexed.Box;
      const int index = FStore.ReadProfileInteger(formatCode, indexed.IndexKey, 0);
      if (index < 0 && storedTexts && indexed.TextKey)
        box.SetText(FStore.ReadProfile(formatCode, indexed.TextKey, indexed.TextDefault));
      else
        box.Select(index);
    }
    const std::string zoom = FStore.ReadProfile(formatCode, pk::paraZoom, "full");
    const auto it = std::find(std::begin(ZoomValues), std::end(ZoomValues), zoom);
    s.Zoom.Select(it == std::end(ZoomValues) ? -1 : static_cast<int>(it - std::begin(ZoomValues)));
  }
  TParameterPanel::EnableGroups(s);
  return s;
}

TPanelState TProfileSettings::Load(int formatCode) const {
  return LoadedBy(formatCode, true);
}

TPanelState TProfileSettings::LoadPicked(int formatCode) const {
  return LoadedBy(formatCode, false);
}

void TProfileSettings::Default(int formatCode, TPanelState &s) const {
  const TFormatInfo info = FCatalogue.Read(formatCode);
  s.VideoSize.Select(info.iVideoSize);
  s.FrameRate.Select(info.iFrameRate);
  s.VideoBitRate.Select(info.iVideoBitRate);
  s.VideoEncoder.Select(info.iVideoEncoder);
  s.Zoom.Select(0);
  s.AudioBitRate.Select(info.iAudioBitRate);
  s.Channel.Select(info.iChannel);
  s.Volume.Select(info.iVolume);
  s.SampleRate.Select(info.iSampleRate);
  s.AudioEncoder.Select(info.iAudioEncoder);
}

bool TProfileSettings::VideoSizeLeft(TParamBoxState &box) {
  const TFrameSizeCheck check = FPanel.CheckVideoSize(box);
  return check == TFrameSizeCheck::AsSource || check == TFrameSizeCheck::Valid;
}

bool TProfileSettings::VideoBitRateLeft(TParamBoxState &box) {
  return FPanel.CheckVideoBitRate(box);
}

bool TProfileSettings::SampleRateLeft(TParamBoxState &box) {
  return FPanel.CheckSampleRate(box);
}

bool TProfileSettings::AudioBitRateLeft(TParamBoxState &box) {
  return FPanel.CheckAudioBitRate(box);
}

void TProfileSettings::Save(int formatCode, const std::string &profileName, const TPanelState &s,
                            const std::vector<TProfileRow> &rows) {
  // Everything that can fail is worked out before the first write, so that a bad item leaves
  // the store as it was.
  const bool volumeChosen = Stored(s.Volume) && s.Volume.ItemIndex >= 0;
  const std::optional<std::string> volume =
      volumeChosen ? EngineVolumeOfItem(s.Volume.Text) : std::nullopt;

  const TStoreEdit edit(FStore);  // one load and one save for the whole dialog
  FStore.WriteProfile(formatCode, pk::Description, profileName);
  for (const auto &[box, key] : IndexKeysInOrder)
    if (Stored(s.*box)) FStore.WriteProfileInteger(formatCode, key, (s.*box).ItemIndex);
  const std::pair<const TParamBoxState *, const char *> texts[] = {
      {&s.VideoSize, pk::paraVideoSize},
      {&s.VideoBitRate, pk::paraVideoBitRate},
      {&s.FrameRate, pk::paraFrameRate}};
  for (const auto &[box, key] : texts)
    if (Stored(*box)) FStore.WriteProfile(formatCode, key, box->Text);
  if (Stored(s.Zoom) && s.Zoom.ItemIndex >= 0 && s.Zoom.ItemIndex < 3)
    FStore.WriteProfile(formatCode, pk::paraZoom, ZoomValues[s.Zoom.ItemIndex]);
  if (Stored(s.VideoEncoder)) {
    if (const auto encoder = VideoEncoderOfDisplay(s.VideoEncoder.Text)) {
      FStore.WriteProfile(formatCode, pk::paraVideoEncoder, *encoder);
      if (*encoder == "libx264") FPanel.CopyAdvancedH264Keys(formatCode);
    }
  }
  if (Stored(s.SampleRate)) FStore.WriteProfile(formatCode, pk::paraSampleRate, s.SampleRate.Text);
  if (Stored(s.AudioBitRate))
    FStore.WriteProfile(formatCode, pk::paraAudioBitRate, s.AudioBitRate.Text);
  if (Stored(s.Channel))
    if (const auto channels = ChannelOfItem(s.Channel.Text))
      FStore.WriteProfile(formatCode, pk::paraChannel, *channels);
  if (volume) FStore.WriteProfile(formatCode, pk::paraVolume, *volume);
  if (Stored(s.AudioEncoder))
    if (const auto encoder = AudioEncoderOfDisplay(s.AudioEncoder.Text))
      FStore.WriteProfile(formatCode, pk::paraAudioEncoder, *encoder);

  TProfileList::SaveCollapsedStates(rows, FStore);
  FStore.SetFormatName(profileName);
  FStore.SetFormatCode(formatCode);
}

int TProfileSettings::ListHeight(size_t rowCount) {
  return std::min(static_cast<int>(rowCount) * TProfileList::RowHeight + TProfileList::RowHeight,
                  247);
}
