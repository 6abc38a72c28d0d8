#include "workspace/mainwindow/WinAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Application.h"
#include "gui/UserDialogs.h"
#include "gui/WindowSize.h"
#include "skin/Artwork.h"
#include "workspace/GlobalUnit.h"

TfrmAbout::TfrmAbout(QWidget *owner, const TSkinManager &mainSkin, const TGlobalObject &global,
                     IUserDialogs &dialogs)
    : TSkinnedDialog(owner, mainSkin) {
  setObjectName("frmAbout");
  setWindowTitle(tr("About"));

  auto *icon = new QLabel(this);
  icon->setPixmap(ProductPicture(64));
  icon->setAlignment(Qt::AlignTop);

  const QString title = QString::fromStdString(global.ProductTitle() + global.VersionText());
  lblProduct = new QLabel(title.trimmed(), this);
  lblProduct->setObjectName("lblProduct");
  QFont bold = lblProduct->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  lblProduct->setFont(bold);
  lblProduct->setWordWrap(true);

  const QString site = QString::fromStdString(global.WebSiteUrl());
  lblWebSite = new QLabel(QString("<a href=\"%1\">%1</a>").arg(site.toHtmlEscaped()), this);
  lblWebSite->setObjectName("lblWebSite");
  lblWebSite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(lblWebSite, &QLabel::linkActivated, this,
          [&dialogs](const QString &link) { Guarded([&] { dialogs.OpenInDesktop(link); }); });

  btnOk = new QPushButton(tr("&Ok"), this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto *description =
      new QLabel(tr("Batch conversion of video and audio for players, phones and the web."), this);
  description->setWordWrap(true);
  auto *text = new QVBoxLayout;
  text->addWidget(lblProduct);
  text->addWidget(description);
  text->addStretch();
  auto *top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(10);
  top->addLayout(text, 1);
  // The address under the picture and the texts, where it has the window's width.
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(lblWebSite, 1);
  buttons->addWidget(btnOk);
  auto *all = new QVBoxLayout(this);
  all->addLayout(top, 1);
  all->addLayout(buttons);
  setFixedSize(SizeThatFits(*this, {360, 190}));
}
