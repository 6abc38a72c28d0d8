// The preferences dialog: where snapshots go, their sizes and formats, the JPEG quality, the
// work priority of conversions and whether the update check runs at start-up.  It reads the
// settings store each time it is shown and writes only on OK (a folder chosen with Browse is stored
// at once); the rules are TPreferences'.
#pragma once

#include <QCoreApplication>
#include <string>

#include "skin/SkinnedDialog.h"
#include "workspace/Preferences.h"

class IUserDialogs;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

class TfrmPreference : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TfrmPreference)

 public:
  TfrmPreference(QWidget *owner, const TSkinManager &mainSkin, std::string settingsIniPath,
                 IUserDialogs &dialogs);

  QLineEdit *edtSnapDirectory;
  QPushButton *btnBrows, *btnOpen;
  QCheckBox *ckSmallSize, *ckFullSize, *ckBmp, *ckJpg;
  QSpinBox *spedCmp;
  QSlider *trcCmp;
  QGroupBox *rdGrpPriority;
  QButtonGroup *rdPriority;  // item index 0..3 as the buttons' ids
  QCheckBox *ckCheckUpdates;
  QPushButton *btnOk, *btnCancel, *btnDefault;

 protected:
  void showEvent(QShowEvent *event) override;

 private:
  TSettingsStore Store() const { return TSettingsStore(FSettingsIniPath); }
  void FormShow();
  void ShowValues(const TPreferenceValues &values);
  void ShowFolder(const QString &folder);
  TPreferenceValues ShownValues() const;
  void SetCompressionEnabled(bool enabled);
  void PairClick(QCheckBox *clicked, QCheckBox *other);
  void btnBrowsClick();
  void btnOpenClick();
  void btnDefaultClick();
  void btnOkClick();

  std::string FSettingsIniPath;
  IUserDialogs &FDialogs;
};
