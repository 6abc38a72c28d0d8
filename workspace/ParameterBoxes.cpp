#include "workspace/ParameterBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

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
  box->setMinimumWidth(64);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  if (editable) box->setCompleter(nullptr);
  return box;
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
  questions.ShowMessage("Please enter numerical.", "");
  QApplication::beep();
  return true;
}
