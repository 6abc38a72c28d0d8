#include "skin/SkinnedDialog.h"

TSkinnedDialog::TSkinnedDialog(QWidget *owner, const TSkinManager &mainSkin)
    : QDialog(owner), FMainSkin(mainSkin) {}

void TSkinnedDialog::showEvent(QShowEvent *event) {
  FSkin.Assign(FMainSkin);
  FSkin.Apply(this);
  QDialog::showEvent(event);
}
