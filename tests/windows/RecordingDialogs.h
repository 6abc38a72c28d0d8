// Answers the windows' message boxes and dialogs from a script and records what they showed,
// so that no test (and no screenshot run) waits on a modal window, opens a browser or notifies
// the desktop.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "gui/UserDialogs.h"

class TRecordingDialogs : public IUserDialogs {
 public:
  struct TShown {
    QString Caption;
    QString Text;
    TMessageIcon Icon;
  };

  bool Answer = true;                      // for every Yes/No question
  QStringList FilesToChoose;               // what the open dialog "selects"
  QString FileToChoose;                    // what the one-file open dialog "selects"
  QString FolderToChoose;                  // what the folder dialog "selects"
  std::function<void(QDialog &)> OnModal;  // looks at a modal window before it "closes"

  std::vector<TShown> Shown;  // questions and messages, in order
  QStringList NameFilters;    // of the last open dialog
  QStringList Opened;         // addresses, files and folders handed to the desktop
  QStringList ShownInFolder;  // files shown in their folders
  struct TNotice {
    QString Summary, Body;
  };
  std::vector<TNotice> Notices;  // the desktop's notifications
  QStringList ModalWindows;      // object names of the modal windows shown

  bool AskYesNo(QWidget *, const QString &caption, const QString &text) override {
    Shown.push_back({caption, text, TMessageIcon::Question});
    return Answer;
  }
  void ShowMessage(QWidget *, const QString &caption, const QString &text,
                   TMessageIcon icon) override {
    Shown.push_back({caption, text, icon});
  }
  QStringList ChooseFiles(QWidget *, const QStringList &nameFilters) override {
    NameFilters = nameFilters;
    return FilesToChoose;
  }
  QString ChooseFile(QWidget *, const QStringList &nameFilters) override {
    NameFilters = nameFilters;
    return FileToChoose;
  }
  QString ChooseFolder(QWidget *, const QString &) override { return FolderToChoose; }
  int ShowModal(QDialog &dialog) override {
    ModalWindows << dialog.objectName();
    dialog.show();
    if (OnModal) OnModal(dialog);
    dialog.hide();
    return QDialog::Accepted;
  }
  void OpenInDesktop(const QString &target) override { Opened << target; }
  void ShowInFolder(const QString &file) override { ShownInFolder << file; }
  void Notify(const QString &summary, const QString &body) override {
    Notices.push_back({summary, body});
  }
};
