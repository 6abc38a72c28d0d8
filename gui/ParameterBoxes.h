// The parameter boxes of the main window's panel and of the profile settings dialog: how a box
// is made, how it mirrors a TParamBoxState, and the key filters of the editable boxes.  The
// rules themselves are TParameterPanel's.
#pragma once

#include "workspace/JobQuestions.h"
#include "workspace/ParameterPanel.h"

class QComboBox;
class QFocusEvent;
class QGroupBox;
class QKeyEvent;
class QWidget;

// The ten boxes in their groups "Video Options" and "Audio Options", with their captions, as the
// main window's panel and the profile settings dialog lay them out.
struct TParameterGroups {
  QGroupBox *Video, *Audio;
  QComboBox *VideoSize, *VideoEncoder, *VideoBitRate, *FrameRate, *Zoom;
  QComboBox *SampleRate, *AudioBitRate, *AudioEncoder, *Volume, *Channel;
};
TParameterGroups NewParameterGroups(QWidget *parent);

// The ten boxes' states as the panel's rules see them; shown back into the boxes (no change
// signals); only their enabling, from a state the rules changed.
TPanelState GroupsState(const TParameterGroups &groups);
void ShowGroupsState(const TParameterGroups &groups, const TPanelState &state);
void EnableGroupBoxes(const TParameterGroups &groups, const TPanelState &state);

// A box of the panel: themed items, typed values that never become items.
QComboBox *NewParameterBox(QWidget *parent, const char *name, bool editable);

// What the box shows, as the panel's rules see it.
TParamBoxState BoxState(const QComboBox *box);
// Fills the box with the state's items, selection, text and enabling (no change signals).
void ShowBox(QComboBox *box, const TParamBoxState &state);
// Shows what a rule left in a box; nothing is touched (so the caret stays where the user types)
// when the box already shows it.
void ReflectBox(QComboBox *box, const TParamBoxState &state);

// The key filter of an editable box: true when the key is dropped (a frame-size box beeps, the
// numeric boxes also say "Please enter numerical.").
bool ParameterKeyDropped(QComboBox *box, bool frameSizeBox, const QKeyEvent &event,
                         IJobQuestions &questions);

// Whether a box's losing the focus is the user leaving it for another control: a popup or another
// window taking the focus is not leaving it, and checks nothing.
bool LeavesTheBox(const QFocusEvent &event);
