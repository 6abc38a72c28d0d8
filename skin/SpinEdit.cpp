#include "skin/SpinEdit.h"

#include <QLineEdit>

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent) {
  lineEdit()->setReadOnly(true);
}
