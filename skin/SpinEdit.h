// A number box changed only through its arrows (buttons, arrow keys, wheel): typing is off, as
// in the editors' spin edits.
#pragma once

#include <QSpinBox>

class TSpinEdit : public QSpinBox {
 public:
  explicit TSpinEdit(QWidget *parent);
};
