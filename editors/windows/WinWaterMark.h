// The effects and watermark window: brightness, contrast, saturation and exposure, a watermark
// text and a watermark picture for one file of the conversion list, previewed live on the
// file's frames.  "&Ok" stores them in the row's record, which the conversion and the other
// editors' previews then draw.  The main window makes a new one for every showing.
#pragma once

#include <QCoreApplication>

#include "editors/WaterMarkValues.h"
#include "editors/decoration/WaterMarkPreview.h"
#include "editors/windows/EditorDialog.h"

class IUserDialogs;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class TSpinEdit;

class TfrmWaterMark : public TEditorDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmWaterMark)

 public:
  TfrmWaterMark(QWidget *owner, const TSkinManager &mainSkin, IUserDialogs &dialogs);
  ~TfrmWaterMark() override;

  // The record the showing works on.
  void SetRecord(TlvFilesRecord *record) { FRecord = record; }

  // The values the controls hold now, as the preview draws them.
  TWaterMarkValues Values() const;
  const TWaterMarkPreview &Preview() const { return FPreview; }

  QTabWidget *pgWaterMark;
  // "Add Text"
  QComboBox *cmbFont, *cmbFontSize, *cmbFontColor;
  QCheckBox *chkBold, *chkItalic, *chkUnderline, *chkStrikeOut;
  QLineEdit *edtFont;
  TTrackBar *trcTextHoriz, *trcTextVert;
  QLineEdit *edtTextHoriz, *edtTextVert;
  QPushButton *btnClearText;
  // "Add Image"
  QLineEdit *edtAddImage;
  QPushButton *btnBrows;
  TTrackBar *trcImageHoriz, *trcImageVert, *trcImageAlpha;
  QLineEdit *edtImageHoriz, *edtImageVert, *edtImageAlpha;
  QRadioButton *rbTransparent1, *rbTransparent2;
  QPushButton *btnClearImage;
  // "Effect"
  TTrackBar *trcBrightness, *trcContrast, *trcSaturation, *trcExposure;
  TSpinEdit *spedtBrightness, *spedtContrast, *spedtSaturation, *spedtExposure;
  QCheckBox *chkProcessText, *chkProcessImage;
  QPushButton *btnReset;
  // "Source Preview"
  QGroupBox *grpPreview;
  TVideoSurface *imgPreview;
  QPushButton *btnOk, *btnCancel;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

  void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                        int &screenHeight) override;
  void FFPlayerState(TPlayState state) override;
  void FFPlayerHook(TBitmap &bitmap, int64_t pts) override;

 private:
  QWidget *CreateTextPage();
  QWidget *CreateImagePage();
  QWidget *CreateEffectPage();
  QWidget *CreatePreview();
  void ConnectHandlers();
  void FormShow();
  void ShowValues(const TWaterMarkValues &values);
  void SelectFont(const TMarkFont &font);
  void ShowEditFont();
  void PushValues();

  void edtFontChange();
  void cmbFontChange();
  void cmbFontSizeChange();
  void cmbFontColorChange();
  void chkFontStyleClick();
  void edtAddImageChange();
  void btnBrowsClick();
  void btnClearImageClick();
  void btnClearTextClick();
  void btnResetClick();
  void btnOkClick();
  void btnCancelClick();

  IUserDialogs &FDialogs;
  TlvFilesRecord *FRecord = nullptr;
  TMarkFont FEditFont;  // the font of the text box: the one "Ok" stores
  TWaterMarkPreview FPreview;
  bool FShowing = false;  // the controls are being filled: the preview takes them afterwards
};
