#include "skin/SkinnedDialog.h"

#include <QHBoxLayout>
#include <QPushButton>

TSkinnedDialog::TSkinnedDialog(QWidget *owner, const TSkinManager &mainSkin)
    : QDialog(owner), FMainSkin(mainSkin) {}

void TSkinnedDialog::showEvent(QShowEvent *event) {
  FSkin.Assign(FMainSkin);
  FSkin.Apply(this);
  QDialog::showEvent(event);
}

QHBoxLayout *TSkinnedDialog::DefaultOkCancelRow(QPushButton *&btnDefault, QPushButton *&btnOk,
                                                QPushButton *&btnCancel) {
  const auto button = [this](const char *caption, const char *name) {
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  btnDefault = button("&Default", "btnDefault");
  btnOk = button("&Ok", "btnOk");
  btnOk->setDefault(true);
  btnCancel = button("&Cancel", "btnCancel");
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto *row = new QHBoxLayout;
  row->addWidget(btnDefault);
  row->addStretch();
  row->addWidget(btnOk);
  row->addWidget(btnCancel);
  return row;
}
