#include "skin/SkinnedDialog.h"

#include <QCoreApplication>
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
  const auto button = [this](const QString &caption, const char *name) {
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  btnDefault = button(QCoreApplication::translate("TSkinnedDialog", "&Default"), "btnDefault");
  btnOk = button(QCoreApplication::translate("TSkinnedDialog", "&Ok"), "btnOk");
  btnOk->setDefault(true);
  btnCancel = button(QCoreApplication::translate("TSkinnedDialog", "&Cancel"), "btnCancel");
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto *row = new QHBoxLayout;
  row->addWidget(btnDefault);
  row->addStretch();
  row->addWidget(btnOk);
  row->addWidget(btnCancel);
  return row;
}
