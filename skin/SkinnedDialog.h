// A window of the program besides the main window: it takes the main window's current theme
// each time it is shown.
#pragma once

#include <QDialog>

#include "skin/SkinManager.h"

class TSkinnedDialog : public QDialog {
 public:
  TSkinnedDialog(QWidget *owner, const TSkinManager &mainSkin);
  const TSkinManager &Skin() const { return FSkin; }

 protected:
  void showEvent(QShowEvent *event) override;

 private:
  const TSkinManager &FMainSkin;
  TSkinManager FSkin;
};
