// The crop window: a still of one file's video with the crop rectangle over it, the four margins
// in spin edits, and a small preview that keeps the still up to date.  "Ok" stores the margins
// in the row's record, as entered and in even source pixels.  The main window makes a new one
// for every showing.
#pragma once

#include <QCoreApplication>
#include <atomic>
#include <memory>
#include <mutex>

#include "editors/CropFrame.h"
#include "editors/decoration/FrameDecoration.h"
#include "editors/windows/EditorDialog.h"

class QComboBox;
class QGroupBox;
class QTabWidget;
class QTimer;
class TPreviewImage;
class TRectTracker;
class TSpinEdit;

class TfrmCrop : public TEditorDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmCrop)

 public:
  TfrmCrop(QWidget *owner, const TSkinManager &mainSkin);
  ~TfrmCrop() override;

  // The record the showing works on.
  void SetRecord(TlvFilesRecord *record) { FRecord = record; }

  const TCropFrame &Frame() const { return FFrame; }
  int SourceWidth() const { return FSourceWidth; }
  int SourceHeight() const { return FSourceHeight; }

  TPreviewImage *imgPreview;
  TRectTracker *RectTracker;
  QTabWidget *pgCrop;
  QGroupBox *grpCropSize;
  TSpinEdit *spedUp, *spedLeft, *spedDown, *spedRight;
  QPushButton *btnReset;
  TVideoSurface *pan1;
  QLabel *lblSourceName;
  QPushButton *btnDefault, *btnOk, *btnCancel;
  QComboBox *cmbZoom;  // hidden: carries the zoom mode through "Ok"
  QTimer *Timer;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

  void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                        int &screenHeight) override;
  void FFPlayerPosition(int64_t pts) override;
  void FFPlayerState(TPlayState state) override;
  void FFPlayerHook(TBitmap &bitmap, int64_t pts) override;
  void btnPlayClick() override;
  void btnPauseClick() override;

 private:
  QWidget *CreatePreview();
  QWidget *CreateCropPage();
  void FormShow();
  void PreviewOpened();
  void ShowVideoArea();
  void ShowMargins(const TCropMargins &margins);
  TCropMargins Margins() const;
  void TimerTimer();
  void RectTrackerMouseMove();
  void spedChange(TCropSide side);
  void trcPreviewChange();
  void btnResetClick();
  void btnOkClick();

  TlvFilesRecord *FRecord = nullptr;
  TCropFrame FFrame;
  int FSourceWidth = 0, FSourceHeight = 0;
  bool FOpened = false;    // the file of this showing plays
  bool FTracking = false;  // the rectangle is setting the spin edits
  std::atomic<bool> FPaused{true}, FEnded{true};

  std::unique_ptr<TRowDecoration> FDecoration;
  TlvFilesRecord FShownRecord;
  // The last decorated frame, from the player's thread to the timer.
  std::mutex FFrameLock;
  TBitmap FLastFrame;
  int FFrameNumber = 0, FShownNumber = 0;
};
