// The file information window: name, length and container of the selected row's file, and the
// figures of its video and audio streams.  It probes the file itself each time it is shown.
#pragma once

#include <QCoreApplication>
#include <string>

#include "services/component/FFmpegVCL.h"
#include "skin/SkinnedDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
struct TFileDetails;

class TfrmFileInfo : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmFileInfo)

 public:
  TfrmFileInfo(QWidget *owner, const TSkinManager &mainSkin);

  // The file the next showing describes; empty when the list has no row selected, which shows
  // nothing.
  void SetSourceFile(const std::string &path) { FSourceFile = path; }

  QLabel *lblSourceName, *lblFileLength;
  QLineEdit *edtFormat, *edtResloution, *edtBitRate, *edtFrameRate, *edtTotalFrame;
  QLineEdit *edtAudioForamt, *edtAudioBitRate, *edtSampleRate, *edtChannel;
  QPushButton *btn1;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

 private:
  void FormShow();
  void ShowDetails(const TFileDetails &details);

  // Opens and probes the file; never runs a task.
  TFFmpegVCL CCAVC;
  std::string FSourceFile;
};
