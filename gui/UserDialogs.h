// Everything the windows ask of the user or of the desktop, in one place: message boxes, the
// open and folder dialogs, modal windows, addresses, files or folders opened in other programs,
// and the desktop's notifications.
// The program uses TDesktopDialogs (windows/DesktopDialogs); tests put a recorder in its place, so
// that no test ever waits on a modal box or starts a browser.
#pragma once

#include <QString>
#include <QStringList>

#include "workspace/JobQuestions.h"
#include "workspace/session/BatchEndNotice.h"

class QDialog;
class QWidget;

enum class TMessageIcon { None, Information, Warning, Error, Question };

class IUserDialogs : public IDesktopNotifier {
 public:
  // A question with Yes and No buttons and the question icon; true means Yes.
  virtual bool AskYesNo(QWidget *parent, const QString &caption, const QString &text) = 0;
  // A message with an OK button.
  virtual void ShowMessage(QWidget *parent, const QString &caption, const QString &text,
                           TMessageIcon icon) = 0;
  // The open dialog of "Add": several existing files; an empty list when cancelled.
  virtual QStringList ChooseFiles(QWidget *parent, const QStringList &nameFilters) = 0;
  // An open dialog for one existing file (a watermark picture ...); empty when cancelled.
  virtual QString ChooseFile(QWidget *parent, const QStringList &nameFilters) = 0;
  // A folder for the converted files; empty when cancelled.
  virtual QString ChooseFolder(QWidget *parent, const QString &start) = 0;
  // Shows a window modally and returns its result.
  virtual int ShowModal(QDialog &dialog) = 0;
  // Opens a web address, a folder or a file in the desktop's program for it.
  virtual void OpenInDesktop(const QString &target) = 0;
  // Shows a file in its folder, selected where the desktop's file manager can do that.
  virtual void ShowInFolder(const QString &file) = 0;
};

// The questions of the workspace logic (parameter checks, destination naming) as message boxes
// of a window.  A message without a caption gets the application title.
class TDialogQuestions : public IJobQuestions {
 public:
  TDialogQuestions(IUserDialogs &dialogs, QWidget *parent, QString applicationTitle)
      : FDialogs(dialogs), FParent(parent), FTitle(std::move(applicationTitle)) {}
  bool AskYesNo(const std::string &text, const std::string &caption) override;
  void ShowMessage(const std::string &text, const std::string &caption) override;

 private:
  QString Caption(const std::string &caption) const;

  IUserDialogs &FDialogs;
  QWidget *FParent;
  QString FTitle;
};

// The open dialog's filter entries as Qt name filters.  The patterns are given in both cases
// (Linux file names are case-sensitive, the list's patterns are not meant to be), and the
// dialog is asked to show only the entries' captions.
QStringList AddDialogNameFilters();
