#include "windows/DesktopDialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "gui/DesktopBus.h"
#include "windows/WinDirectory.h"

namespace {

QMessageBox::Icon BoxIcon(TMessageIcon icon) {
  switch (icon) {
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Warning: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::Question: return QMessageBox::Question;
    case TMessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

void OpenWithDesktop(const QString &target) {
  const QUrl url = target.contains("://") ? QUrl(target) : QUrl::fromLocalFile(target);
  QDesktopServices::openUrl(url);
}

}  // namespace

// Messages carry file names and texts from outside (the update document): they are shown as they
// are, never rendered as markup.
bool TDesktopDialogs::AskYesNo(QWidget *parent, const QString &caption, const QString &text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

void TDesktopDialogs::ShowMessage(QWidget *parent, const QString &caption, const QString &text,
                                  TMessageIcon icon) {
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QStringList TDesktopDialogs::ChooseFiles(QWidget *parent, const QStringList &nameFilters) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(nameFilters);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setSizeGripEnabled(true);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString TDesktopDialogs::ChooseFile(QWidget *parent, const QStringList &nameFilters) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(nameFilters);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString TDesktopDialogs::ChooseFolder(QWidget *parent, const QString &start) {
  TfmDirectory chooser(parent, FSkin ? *FSkin : FDefaultSkin, *this);
  chooser.SelectFolder(start);
  return chooser.exec() == QDialog::Accepted ? chooser.Path() : QString();
}

int TDesktopDialogs::ShowModal(QDialog &dialog) {
  return dialog.exec();
}

void TDesktopDialogs::OpenInDesktop(const QString &target) {
  OpenWithDesktop(target);
}

void TDesktopDialogs::ShowInFolder(const QString &file) {
  // A desktop without a file manager on the bus opens the folder as "Open" does (the answer may
  // come after these dialogs have gone).
  ShowInFileManager(QDBusConnection::sessionBus(), file, OpenWithDesktop);
}

void TDesktopDialogs::Notify(const QString &summary, const QString &body) {
  FNotifier.Notify(summary, body);
}
