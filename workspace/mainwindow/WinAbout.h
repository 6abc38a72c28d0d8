// The About box: the product's title and version and a link to its web site.
#pragma once

#include <QCoreApplication>

#include "skin/SkinnedDialog.h"

class QLabel;
class QPushButton;
class TGlobalObject;
class IUserDialogs;

class TfrmAbout : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmAbout)

 public:
  TfrmAbout(QWidget *owner, const TSkinManager &mainSkin, const TGlobalObject &global,
            IUserDialogs &dialogs);

  QLabel *lblWebSite;
  QLabel *lblProduct;
  QPushButton *btnOk;
};
