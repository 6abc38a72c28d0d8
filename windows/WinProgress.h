// The progress window: shown while a batch runs, with the labels and the bar of the current file,
// the latest picture of the conversion, Pause, Resume and Cancel, the two after-conversion boxes,
// snapshots of the picture and a rotating notice.  It watches the batch session: its buttons
// follow the session's state and control it, its picture comes from the session.  The main
// window writes the progress into it and closes it when the batch has ended; closing it in any
// other way stops the batch.
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "gui/UserDialogs.h"
#include "skin/SkinnedDialog.h"
#include "workspace/GlobalUnit.h"
#include "workspace/JobQuestions.h"
#include "workspace/ProgressReport.h"
#include "workspace/SettingsStore.h"
#include "workspace/session/BatchSession.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

// What the window reads from the window that owns it; all of it lives as long as the owner.
struct TProgressSources {
  IUserDialogs *Dialogs = nullptr;
  const TGlobalObject *Global = nullptr;
  // The notices and the version the product's site offers (filled by the update check).
  const std::vector<TAdInfo> *Notices = nullptr;
  const std::string *NewVersion = nullptr;
};

class TfrmProgress : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmProgress)

 public:
  TfrmProgress(QWidget *owner, const TSkinManager &skin, TBatchSession &session,
               TProgressSources sources);
  ~TfrmProgress() override;

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
  // The latest frame of the conversion at its own size; null before the first.
  const QImage &PreviewFrame() const { return FFrame; }
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
  void imgbtnSnapClick();
  void AfterBatchChanged();
  void FollowState(TBatchState state);
  // On the conversion thread: the frame scaled for the picture, posted to the window.
  void PictureMade(const TBitmap &bitmap);

  TBatchSession &FSession;
  TProgressSources FSources;
  QImage FPicture, FFrame;
  // The last pictures the conversion thread made, until Timer1 takes them.
  std::mutex FPostedLock;
  QImage FPostedPicture, FPostedFrame;
  std::atomic<int> FPictureWidth{0}, FPictureHeight{0};
  TAdInfo FNotice;
  bool FClosing = false;
};
