// The rules of the output parameter panel without its widgets: which values the ten boxes offer
// for a profile (from the format INI), which of them is selected (from the settings store), how
// each change is checked and written to the profile's section of the settings store, and
// "Default", which writes the profile's own defaults.  The window mirrors TPanelState in its
// boxes and calls the handlers from the boxes' events.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workspace/FormatCatalogue.h"
#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

// One box as the window shows it: its items, the selected item (-1 for none) and its text (the
// selected item's text, or free text in an editable box).
struct TParamBoxState {
  std::vector<std::string> Items;
  int ItemIndex = -1;
  std::string Text;
  bool Enabled = false;
  bool Grey = false;  // drawn with grey text: the group is switched off

  // Selects an item; an index outside the items selects nothing and empties the text.
  void Select(int index);
  // Puts free text into the box (no item selected unless the text is one of the items).
  void SetText(const std::string &text);
  // A box the profile does not offer: no items and no text.  Its handler has nothing to check
  // or write.
  bool Unused() const { return Items.empty() && Text.empty(); }
};

struct TPanelState {
  TParamBoxState VideoSize, VideoBitRate, FrameRate, VideoEncoder, Zoom;
  TParamBoxState AudioBitRate, SampleRate, AudioEncoder, Channel, Volume;
  // The chosen encoder item is "copy": the source's stream is written as it is, so the boxes
  // that change the picture (or the sound) are off, and so are crop, effects and watermark.
  bool VideoCopy = false;
  bool AudioCopy = false;
  // What copy means for this choice, in words for the panel's hint; empty without copy.
  std::string CopyHint;
};

// Table V: video encoder display name (compared in lower case) -> `paraVideoEncoder`.
std::optional<std::string> VideoEncoderOfDisplay(const std::string &display);
// Table A: audio encoder display name (compared in lower case) -> `paraAudioEncoder`.
std::optional<std::string> AudioEncoderOfDisplay(const std::string &display);
// Table W: volume item (a percentage followed by one character) -> `paraVolume`.  Throws
// std::invalid_argument when the item without its last character is not an integer.
std::optional<std::string> EngineVolumeOfItem(const std::string &item);
// Channel items -> `paraChannel`.
std::optional<std::string> ChannelOfItem(const std::string &item);

inline constexpr const char ZoomItems[3][13] = {"Full Screen", "Letter Box", "Pan and Scan"};
// `paraZoom` of the zoom items, by item index; "center" has no item.
inline constexpr const char *ZoomValues[4] = {"full", "lbox", "pan", "center"};

// What leaving the frame-size box found.
enum class TFrameSizeCheck {
  AsSource,   // "as source" (in any case): passes, there is no size to write
  Invalid,    // no frame size: reported, and item 1 selected when there is more than one
  Corrected,  // an odd or zero part, rounded to an even size, reported and put into the box
  Valid,      // an even size
};

class TParameterPanel {
 public:
  TParameterPanel(const TFormatCatalogue &catalogue, TSettingsStore &store,
                  IJobQuestions &questions)
      : FCatalogue(catalogue), FStore(store), FQuestions(questions) {}

  // Loading the panel for a profile; writes nothing.
  TPanelState Load(int formatCode) const;

  // Change handlers; each writes into the section of `formatCode`.  The handlers of the editable
  // boxes may correct the box (select item 1 after an invalid text, put a corrected frame size).
  void ZoomChanged(int formatCode, const TParamBoxState &box);
  void VideoSizeChosen(int formatCode, const TParamBoxState &box);
  // Leaving the frame-size box (also run by Start and "Default"): true when a value was written.
  bool VideoSizeLeft(int formatCode, TParamBoxState &box);
  void VideoBitRateChanged(int formatCode, TParamBoxState &box);
  void FrameRateChanged(int formatCode, const TParamBoxState &box);
  void VideoEncoderChanged(int formatCode, const TParamBoxState &box);
  void SampleRateChanged(int formatCode, TParamBoxState &box);
  void AudioEncoderChanged(int formatCode, const TParamBoxState &box);
  void AudioBitRateChanged(int formatCode, TParamBoxState &box);
  void ChannelChanged(int formatCode, const TParamBoxState &box);
  void VolumeChanged(int formatCode, const TParamBoxState &box);

  // "Default": selects the format INI's default items in `state` (a panel loaded for the same
  // profile) and writes every value through the change handlers.  A default volume item that is
  // no percentage (a damaged format INI) raises EProfileValueError after the other values.
  void Default(int formatCode, TPanelState &state);

  // A profile used for the first time (the settings store has no section for it) gets exactly
  // what "Default" writes, so that its first conversion uses the profile's real defaults.  A
  // section that lacks some of those keys (hand-edited, or written by an older version) gets
  // the missing ones from what "Default" writes, and keeps the others.  Returns true when it
  // wrote anything.
  bool EnsureSeeded(int formatCode);

  // The checks of the editable boxes, without writing anything.  A text that is no value is
  // reported and the box falls back to its item 1 (when it has more than one); the bit rate and
  // sample rate checks return whether the text passed.
  TFrameSizeCheck CheckVideoSize(TParamBoxState &box);
  bool CheckVideoBitRate(TParamBoxState &box);
  bool CheckSampleRate(TParamBoxState &box);
  bool CheckAudioBitRate(TParamBoxState &box);

  // The nine boxes the format INI fills, with their lists and nothing selected; a box without a
  // list is disabled.  The zoom box is left empty.
  TPanelState Lists(int formatCode) const;
  // The video group is switched on (black text) when its encoder box has items, otherwise off
  // (grey); the same for the audio group.
  static void EnableGroups(TPanelState &state);

  // The boxes of a group whose encoder item is "copy" are switched off (the group's others
  // stay on), with the hint that says why; a group without copy is switched on as
  // EnableGroups does.  Loading runs it; the window runs it after an encoder box changed.
  static void ApplyStreamCopy(TPanelState &state);
  // The encoder item that writes the source's stream without re-encoding it.
  static bool IsCopyItem(const std::string &display);

  // The advanced H.264 values of the profile's format INI section, copied into its settings.
  void CopyAdvancedH264Keys(int formatCode);

  // Key filters of the editable boxes.
  static bool FrameSizeKeyAccepted(const std::string &text, char key);
  static bool NumericKeyAccepted(char key);

 private:
  void FillList(TParamBoxState &box, const std::string &value, bool emptyMeansNone) const;
  void WriteValue(int formatCode, const char *indexKey, const char *valueKey, int index,
                  const std::string &value);
  void RejectText(TParamBoxState &box, const std::string &message);
  bool FillMissingKeys(int formatCode);

  const TFormatCatalogue &FCatalogue;
  TSettingsStore &FStore;
  IJobQuestions &FQuestions;
};
