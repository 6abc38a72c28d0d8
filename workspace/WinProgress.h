// The progress window: shown while a batch runs, with the labels and the bar of the current file,
// the latest picture of the conversion, Pause, Resume and Cancel, the two after-conversion boxes,
// snapshots of the picture and a rotating notice.  The main window writes the progress into it
// and closes it when the batch has ended; closing it in any other way stops the batch.
#pragma once

#include <QImage>
#include <string>

#include "skin/SkinnedDialog.h"
#include "workspace/GlobalUnit.h"
#include "workspace/JobQuestions.h"
#include "workspace/ProgressReport.h"
#include "workspace/SettingsStore.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;
class TfrmMain;

class TfrmProgress : public TSkinnedDialog {
 public:
  explicit TfrmProgress(TfrmMain &main);

  // From the main window's progress and terminate handlers.
  void ShowProgress(const TProgressTexts &texts, int percent);
  void ShowFileFinished();
  // The batch has ended: the window closes without stopping anything.
  void BatchEnded();

  // Closing by any means (Cancel, the title bar, Escape) stops a running batch first.
  void done(int result) override;

  QLabel *mem1, *imgPreview;
  QLabel *lbl1, *lbl2, *lbl3, *lbl4, *lbl5;
  QLabel *lblTime, *lblLength, *lblSize, *lblProgress, *lblOutput;
  QProgressBar *progbarFile;
  QCheckBox *ckShutDown, *ckOpen;
  QToolButton *imgbtnSnap;
  QPushButton *btnPause, *btnResume, *btnCancel;
  QTimer *Timer1, *tmr1;

  // The picture as the window shows it (size 389 x 210, margins included).
  const QImage &PreviewPicture() const { return FPicture; }
  // The notice on show; empty when the main window has none.
  const TAdInfo &Notice() const { return FNotice; }

 protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void FormShow();
  void Timer1Timer();
  void PickNotice();
  void mem1Click();
  void btnPauseClick();
  void btnResumeClick();
  void imgbtnSnapClick();
  void AfterBatchChanged();
  void ButtonsFromMain();

  TfrmMain &FMain;
  QImage FPicture;
  TAdInfo FNotice;
  bool FClosing = false;
};
