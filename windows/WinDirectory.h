// The folder chooser: a tree of the file system's folders, opened at the folder the caller
// starts from (the home folder when there is none).  It serves the main window's output folder
// and the preferences' snapshot folder, so a folder that cannot take files (on a read-only mount
// or an optical disc) is refused and the chooser stays open.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <filesystem>
#include <functional>

#include "skin/SkinnedDialog.h"

class IUserDialogs;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

inline constexpr const char ReadOnlyFolderMessage[] = QT_TRANSLATE_NOOP(
    "TfmDirectory", "Output folder cannot be located in CD-ROM.Please select another folder.");

class TfmDirectory : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfmDirectory)

 public:
  // The refusal goes to `dialogs` (a message box, or a recorder in tests).
  TfmDirectory(QWidget *owner, const TSkinManager &mainSkin, IUserDialogs &dialogs);

  // Selects `folder` in the tree, opening the folders above it; the home folder when `folder`
  // is empty or no folder.
  void SelectFolder(const QString &folder);
  // The folder chosen with OK; empty after Cancel.
  const QString &Path() const { return FPath; }

  // Whether a folder cannot take files; the system's mount table by default.
  std::function<bool(const std::filesystem::path &)> Refuses;

  QLabel *lblSelect;
  QTreeView *stview_selectdir;
  QPushButton *btnOk, *btnCancel;

 private:
  QString SelectedFolder() const;
  void SelectionChange();
  void btnOkClick();
  void btnCancelClick();

  IUserDialogs &FDialogs;
  QFileSystemModel *FModel;
  QString FPath;
};
