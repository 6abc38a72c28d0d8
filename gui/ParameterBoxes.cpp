#include "gui/ParameterBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "gui/WindowSize.h"
#include "skin/ItemDrawing.h"

namespace {

QString Q(const std::string &text) {
  return QString::fromStdString(text);
}

std::string S(const QString &text) {
  return text.toStdString();
}

}  // namespace

QComboBox *NewParameterBox(QWidget *parent, const char *name, bool editable) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(editable);
  // Typed values are values, not new items of the list.
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setItemDelegate(new TSkinItemDelegate(box));
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  // Room for a value as long as a frame size ("320x240") in the desktop's font.
  box->setMinimumWidth(ScaledToFont(*box, 72));
  if (editable) box->setCompleter(nullptr);
  return box;
}

namespace {

struct TBoxInfo {
  const char *Label;
  QComboBox *TParameterGroups::*Field;
  const char *Name;
  bool Editable;
};

// A group of five boxes in two columns of label and box; the fifth box, alone in its row, takes
// the row.
QGroupBox *ParameterGroup(QWidget *parent, TParameterGroups &groups, const char *caption,
                          const char *name, const TBoxInfo (&boxes)[5]) {
  auto *group = new QGroupBox(QCoreApplication::translate("TParameterGroups", caption), parent);
  group->setObjectName(name);
  auto *grid = new QGridLayout(group);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(4);
  for (int i = 0; i < 5; ++i) {
    QComboBox *box = NewParameterBox(group, boxes[i].Name, boxes[i].Editable);
    groups.*boxes[i].Field = box;
    auto *label =
        new QLabel(QCoreApplication::translate("TParameterGroups", boxes[i].Label), group);
    label->setBuddy(box);
    grid->addWidget(label, i / 2, (i % 2) * 2);
    grid->addWidget(box, i / 2, (i % 2) * 2 + 1, 1, i == 4 ? 3 : 1);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

}  // namespace

TParameterGroups NewParameterGroups(QWidget *parent) {
  using G = TParameterGroups;
  TParameterGroups groups{};
  groups.Video = ParameterGroup(
      parent, groups, QT_TRANSLATE_NOOP("TParameterGroups", "Video Options"), "grpVideo",
      {{QT_TRANSLATE_NOOP("TParameterGroups", "Frame Size:"), &G::VideoSize, "cmbVideoSize", true},
       {QT_TRANSLATE_NOOP("TParameterGroups", "Encoder:"), &G::VideoEncoder, "cmbVideoEncoder",
        false},
       {QT_TRANSLATE_NOOP("TParameterGroups", "BitRate (Kbps):"), &G::VideoBitRate,
        "cmbVideoBitRate", true},
       {QT_TRANSLATE_NOOP("TParameterGroups", "FrameRate (Fps):"), &G::FrameRate, "cmbFrameRate",
        false},
       {QT_TRANSLATE_NOOP("TParameterGroups", "Zoom:"), &G::Zoom, "cmbZoom", false}});
  groups.Audio = ParameterGroup(
      parent, groups, QT_TRANSLATE_NOOP("TParameterGroups", "Audio Options"), "grpAudio",
      {{QT_TRANSLATE_NOOP("TParameterGroups", "SampleRate (Hz):"), &G::SampleRate, "cmbSamplerate",
        true},
       {QT_TRANSLATE_NOOP("TParameterGroups", "BitRate (Kbps):"), &G::AudioBitRate,
        "cmbAudioBitRate", true},
       {QT_TRANSLATE_NOOP("TParameterGroups", "Encoder:"), &G::AudioEncoder, "cmbAudioEncoder",
        false},
       {QT_TRANSLATE_NOOP("TParameterGroups", "Volume:"), &G::Volume, "cmbVolume", false},
       {QT_TRANSLATE_NOOP("TParameterGroups", "Channel:"), &G::Channel, "cmbChannel", false}});
  return groups;
}

namespace {

// Each box of the groups and the part of the panel's state it shows.
struct TGroupBox {
  QComboBox *TParameterGroups::*Box;
  TParamBoxState TPanelState::*State;
};
constexpr TGroupBox GroupBoxes[] = {{&TParameterGroups::VideoSize, &TPanelState::VideoSize},
                                    {&TParameterGroups::VideoEncoder, &TPanelState::VideoEncoder},
                                    {&TParameterGroups::VideoBitRate, &TPanelState::VideoBitRate},
                                    {&TParameterGroups::FrameRate, &TPanelState::FrameRate},
                                    {&TParameterGroups::Zoom, &TPanelState::Zoom},
                                    {&TParameterGroups::SampleRate, &TPanelState::SampleRate},
                                    {&TParameterGroups::AudioBitRate, &TPanelState::AudioBitRate},
                                    {&TParameterGroups::AudioEncoder, &TPanelState::AudioEncoder},
                                    {&TParameterGroups::Volume, &TPanelState::Volume},
                                    {&TParameterGroups::Channel, &TPanelState::Channel}};

}  // namespace

TPanelState GroupsState(const TParameterGroups &groups) {
  TPanelState state;
  for (const TGroupBox &box : GroupBoxes) state.*box.State = BoxState(groups.*box.Box);
  return state;
}

void ShowGroupsState(const TParameterGroups &groups, const TPanelState &state) {
  for (const TGroupBox &box : GroupBoxes) ShowBox(groups.*box.Box, state.*box.State);
}

void EnableGroupBoxes(const TParameterGroups &groups, const TPanelState &state) {
  for (const TGroupBox &box : GroupBoxes) (groups.*box.Box)->setEnabled((state.*box.State).Enabled);
}

TParamBoxState BoxState(const QComboBox *box) {
  TParamBoxState state;
  for (int i = 0; i < box->count(); ++i) state.Items.push_back(S(box->itemText(i)));
  state.Enabled = box->isEnabled();
  state.Grey = !box->isEnabled();
  // A typed text selects the item it equals; a list box has no text but its item.
  if (box->isEditable())
    state.SetText(S(box->currentText()));
  else
    state.Select(box->currentIndex());
  return state;
}

void ReflectBox(QComboBox *box, const TParamBoxState &state) {
  const QSignalBlocker blocker(box);
  if (box->isEditable()) {
    if (box->currentText() != Q(state.Text)) {
      if (state.ItemIndex >= 0) box->setCurrentIndex(state.ItemIndex);
      box->setEditText(Q(state.Text));
      if (!box->hasFocus()) box->lineEdit()->setCursorPosition(0);
    }
  } else if (box->currentIndex() != state.ItemIndex) {
    box->setCurrentIndex(state.ItemIndex);
  }
}

void ShowBox(QComboBox *box, const TParamBoxState &state) {
  const QSignalBlocker blocker(box);
  box->clear();
  for (const std::string &item : state.Items) box->addItem(Q(item));
  box->setCurrentIndex(state.ItemIndex);
  if (box->isEditable()) {
    box->setEditText(Q(state.Text));
    box->lineEdit()->setCursorPosition(0);  // a narrow box shows the value's start
  }
  box->setEnabled(state.Enabled);
  box->setMaxVisibleItems(std::max<int>(1, static_cast<int>(state.Items.size())));
}

bool ParameterKeyDropped(QComboBox *box, bool frameSizeBox, const QKeyEvent &event,
                         IJobQuestions &questions) {
  // The filters look at typed characters only: keys that move the caret, delete forward,
  // confirm or leave, and shortcuts with Ctrl or Alt, are not typing.
  static const int passing[] = {Qt::Key_Delete, Qt::Key_Escape, Qt::Key_Return,
                                Qt::Key_Enter,  Qt::Key_Tab,    Qt::Key_Backtab};
  const bool backspace = event.key() == Qt::Key_Backspace;
  if (!backspace &&
      (event.text().isEmpty() ||
       std::find(std::begin(passing), std::end(passing), event.key()) != std::end(passing) ||
       (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier))))
    return false;
  const char16_t typed = backspace ? u'\b' : event.text().at(0).unicode();
  // Anything outside ASCII is no digit and no "x" either.
  const char key = typed < 128 ? static_cast<char>(typed) : '?';
  if (frameSizeBox) {
    if (TParameterPanel::FrameSizeKeyAccepted(S(box->currentText()), key)) return false;
    QApplication::beep();
    return true;
  }
  if (TParameterPanel::NumericKeyAccepted(key)) return false;
  questions.ShowMessage(QT_TRANSLATE_NOOP("Messages", "Please enter numerical."), "");
  QApplication::beep();
  return true;
}

bool LeavesTheBox(const QFocusEvent &event) {
  const Qt::FocusReason reason = event.reason();
  return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}
