// A window of the program besides the main window: it takes the main window's current theme
// each time it is shown.
#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;

#include "skin/SkinManager.h"

class TSkinnedDialog : public QDialog {
 public:
  TSkinnedDialog(QWidget *owner, const TSkinManager &mainSkin);
  const TSkinManager &Skin() const { return FSkin; }

 protected:
  void showEvent(QShowEvent *event) override;
  // The row of "&Default" at the left and "&Ok" and "&Cancel" at the right that the settings
  // dialogs end with; Cancel closes the dialog, the other two are the dialog's to connect.
  QHBoxLayout *DefaultOkCancelRow(QPushButton *&btnDefault, QPushButton *&btnOk,
                                  QPushButton *&btnCancel);

 private:
  const TSkinManager &FMainSkin;
  TSkinManager FSkin;
};
