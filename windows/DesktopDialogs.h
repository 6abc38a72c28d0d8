// The desktop's own message boxes and file dialogs, and the program's folder chooser, behind the
// interface the windows ask through.
#pragma once

#include "gui/DesktopBus.h"
#include "gui/UserDialogs.h"
#include "skin/SkinManager.h"

class TDesktopDialogs : public IUserDialogs {
 public:
  // The theme the folder chooser takes (the main window's); the default theme until set.
  void SetSkin(const TSkinManager *skin) { FSkin = skin; }

  bool AskYesNo(QWidget *parent, const QString &caption, const QString &text) override;
  void ShowMessage(QWidget *parent, const QString &caption, const QString &text,
                   TMessageIcon icon) override;
  QStringList ChooseFiles(QWidget *parent, const QStringList &nameFilters) override;
  QString ChooseFile(QWidget *parent, const QStringList &nameFilters) override;
  QString ChooseFolder(QWidget *parent, const QString &start) override;
  int ShowModal(QDialog &dialog) override;
  void OpenInDesktop(const QString &target) override;
  void ShowInFolder(const QString &file) override;
  void Notify(const QString &summary, const QString &body) override;

 private:
  TDesktopNotifier FNotifier;
  const TSkinManager *FSkin = nullptr;
  TSkinManager FDefaultSkin;
};
