// The trim window: plays one file of the conversion list and takes the playing position as the
// start and the end of the part to convert; "Ok" stores the part in the row's record and shows
// its length in the list's "Trimmed Length" column.  The main window makes it once and shows it
// modally for the selected row.
#pragma once

#include <QCoreApplication>
#include <atomic>
#include <memory>

#include "editors/TrimRange.h"
#include "editors/decoration/FrameDecoration.h"
#include "editors/windows/EditorDialog.h"

class QLineEdit;
class QTabWidget;
struct TConversionRow;

class TfrmTrim : public TEditorDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmTrim)

 public:
  TfrmTrim(QWidget *owner, const TSkinManager &mainSkin);
  ~TfrmTrim() override;

  // The row the next showing opens: its record and its "Trimmed Length" text.
  void SetRow(TConversionRow *row) { FRow = row; }

  const TTrimRange &Range() const { return FRange; }
  // The end of the file was played during this showing: the preview is not decorated.
  bool Ended() const { return FEnded; }

  QTabWidget *pgTrim;
  QLineEdit *edtStart, *edtEnd, *edtTrimLength;
  QPushButton *btnSetStart, *btnSetEnd, *btnReset;
  TVideoSurface *imgPreview;
  QLabel *lblSourceName;
  QPushButton *btnDefault, *btnOk, *btnCancel;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

  void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                        int &screenHeight) override;
  void FFPlayerState(TPlayState state) override;
  void FFPlayerHook(TBitmap &bitmap, int64_t pts) override;

 private:
  QWidget *CreateTrimPage();
  QWidget *CreatePreview();
  void FormShow();
  void PreviewOpened();
  void ShowMarks();
  void btnSetStartClick();
  void btnSetEndClick();
  void btnResetClick();
  void btnOkClick();

  TConversionRow *FRow = nullptr;
  TTrimRange FRange;
  std::atomic<bool> FEnded{false};
  bool FOpened = false;  // the file of this showing plays
  // The row's effects, watermark and crop as the preview draws them (read on the player's
  // thread; replaced only while nothing plays).
  std::unique_ptr<TRowDecoration> FDecoration;
  TlvFilesRecord FShownRecord;
};
