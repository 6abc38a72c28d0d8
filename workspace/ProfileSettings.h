// The rules of the profile settings dialog without its widgets.  The dialog edits the same ten
// parameters as the main window's panel (TParameterPanel), but nothing is written while the user
// works: boxes are checked when they are left, and "Ok" writes the whole parameter set of the
// dialog's profile at once, makes it the current profile and keeps the list's open categories.
#pragma once

#include <string>
#include <vector>

#include "workspace/FormatCatalogue.h"
#include "workspace/JobQuestions.h"
#include "workspace/ParameterPanel.h"
#include "workspace/ProfileList.h"
#include "workspace/SettingsStore.h"

// The zoom box of the dialog: always these three items.
inline constexpr const char SettingsZoomItems[3][13] = {"Full screen", "Letterbox", "Pan and Scan"};

class TProfileSettings {
 public:
  TProfileSettings(const TFormatCatalogue &catalogue, TSettingsStore &store,
                   IJobQuestions &questions)
      : FCatalogue(catalogue), FStore(store), FPanel(catalogue, store, questions) {}

  // The boxes when the dialog shows: each selects the item of its stored index; a negative index
  // of the frame size, bit rates, frame rate and sample rate shows their stored text instead.
  // The zoom box selects by the stored value ("center" selects nothing).  A profile never used
  // shows its own defaults, as the main window would store them.
  TPanelState Load(int formatCode) const;
  // The boxes after a profile was picked from the dialog's list: every box by its stored index
  // only (a negative index leaves it empty).
  TPanelState LoadPicked(int formatCode) const;

  // "Default": selects the profile's default items in `state` (loaded for the same profile) and
  // the first zoom item.  Writes nothing.
  void Default(int formatCode, TPanelState &state) const;

  // Leaving an editable box: the panel's checks, nothing written.  False when the text was
  // rejected or corrected, so that the focus goes back to the box.
  bool VideoSizeLeft(TParamBoxState &box);
  bool VideoBitRateLeft(TParamBoxState &box);
  bool SampleRateLeft(TParamBoxState &box);
  bool AudioBitRateLeft(TParamBoxState &box);

  // "Ok": writes the profile's name and every value of the enabled boxes as they are (an index
  // of -1 for free text or no choice), the list's open categories, and makes the profile the
  // current one.  A volume item that is no percentage throws std::invalid_argument before
  // anything is written.
  void Save(int formatCode, const std::string &profileName, const TPanelState &state,
            const std::vector<TProfileRow> &rows);

  // Height of the dialog's list, which opens downward: one spare row, at most 247 pixels.
  static int ListHeight(size_t rowCount);

 private:
  TPanelState LoadedBy(int formatCode, bool storedTexts) const;

  const TFormatCatalogue &FCatalogue;
  TSettingsStore &FStore;
  TParameterPanel FPanel;
};
