#include "windows/WinDirectory.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "gui/Application.h"
#include "gui/UserDialogs.h"
#include "platform/Mounts.h"
#include "platform/Paths.h"

TfmDirectory::TfmDirectory(QWidget *owner, const TSkinManager &mainSkin, IUserDialogs &dialogs)
    : TSkinnedDialog(owner, mainSkin),
      Refuses([](const std::filesystem::path &folder) {
        return mounts::FolderOnReadOnlyOrOpticalMedium(folder);
      }),
      FDialogs(dialogs) {
  setObjectName("fmDirectory");
  setWindowTitle(tr("Browse"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  resize(322, 351);

  lblSelect = new QLabel(tr("Please select an output directory:"), this);

  FModel = new QFileSystemModel(this);
  // Folders only; hidden ones are not where converted files are looked for.
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setReadOnly(true);
  FModel->setRootPath("/");
  stview_selectdir = new QTreeView(this);
  stview_selectdir->setObjectName("stview_selectdir");
  stview_selectdir->setModel(FModel);
  for (int column = 1; column < FModel->columnCount(); ++column)
    stview_selectdir->hideColumn(column);
  stview_selectdir->header()->hide();
  stview_selectdir->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(stview_selectdir->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { SelectionChange(); });
  connect(stview_selectdir, &QTreeView::doubleClicked, this, [this] { SelectionChange(); });

  btnOk = new QPushButton(tr("Ok"), this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto *all = new QVBoxLayout(this);
  all->addWidget(lblSelect);
  all->addWidget(stview_selectdir, 1);
  all->addLayout(buttons);

  SelectFolder(QString());
}

void TfmDirectory::SelectFolder(const QString &folder) {
  QString shown = folder;
  if (shown.isEmpty() || !QFileInfo(shown).isDir())
    shown = QString::fromStdString(paths::HomeFolder().string());
  const QModelIndex index = FModel->index(QDir::cleanPath(shown));
  for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
    stview_selectdir->expand(above);
  stview_selectdir->setCurrentIndex(index);
  stview_selectdir->scrollTo(index, QAbstractItemView::PositionAtCenter);
  SelectionChange();
}

QString TfmDirectory::SelectedFolder() const {
  const QModelIndex index = stview_selectdir->currentIndex();
  return index.isValid() ? FModel->filePath(index) : QString();
}

void TfmDirectory::SelectionChange() {
  btnOk->setEnabled(!SelectedFolder().isEmpty());
}

void TfmDirectory::btnOkClick() {
  FPath = SelectedFolder();
  if (FPath.isEmpty()) return;
  if (Refuses(FPath.toStdString())) {
    FPath.clear();
    FDialogs.ShowMessage(this, QApplication::applicationName(), tr(ReadOnlyFolderMessage),
                         TMessageIcon::Information);
    return;
  }
  accept();
}

void TfmDirectory::btnCancelClick() {
  FPath.clear();
  reject();
}
