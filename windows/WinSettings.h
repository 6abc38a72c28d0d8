// The profile settings dialog: a profile picked from the dialog's own list and its ten output
// parameters, all written at once by OK (which also makes the profile the current one); Cancel
// writes nothing.  The rules are TProfileSettings'; the boxes work as the main window's panel.
#pragma once

#include <QCoreApplication>
#include <memory>
#include <string>

#include "gui/ParameterBoxes.h"
#include "gui/UserDialogs.h"
#include "skin/SkinnedDialog.h"
#include "workspace/ParameterPanel.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TProfileListBox;
class TProfilePicker;
class TProfileSettings;

class TfrmSettings : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmSettings)

 public:
  TfrmSettings(QWidget *owner, const TSkinManager &mainSkin, std::string settingsIniPath,
               std::string formatIniPath, IUserDialogs &dialogs);
  ~TfrmSettings() override;

  // The dialog's profile, which OK makes the main window's.
  int FormatCode() const { return FFormatCode; }
  const std::string &FormatName() const { return FFormatName; }

  QLineEdit *edt1;  // the profile box
  QToolButton *imgbtn1;
  TProfileListBox *lst1;
  QGroupBox *grpVideo, *grpAudio;
  QComboBox *cmbVideoSize, *cmbVideoEncoder, *cmbVideoBitRate, *cmbFrameRate, *cmbZoom;
  QComboBox *cmbSamplerate, *cmbAudioEncoder, *cmbChannel, *cmbAudioBitRate, *cmbVolume;
  QPushButton *btnDefault, *btnOk, *btnCancel;

 protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  // The same boxes as the fields above, for the shared showing and reading of the panel state.
  TParameterGroups FGroups{};
  // The settings store, the format INI and the rules, opened per use.
  struct TRules;
  std::unique_ptr<TRules> Rules();

  void FormShow();
  void ShowState(const TPanelState &state);
  TPanelState DialogState() const;
  void OpenList();
  void PlaceList();
  void lst1Pick(int row);
  void BoxLeft(QComboBox *box);
  void btnDefaultClick();
  void btnOkClick();

  TProfilePicker *FPicker;
  std::string FSettingsIniPath, FFormatIniPath;
  TDialogQuestions FQuestions;
  int FFormatCode = 1;
  std::string FFormatName;
};
