// The main window's parameter panel as a widget: the "Video Options" and "Audio Options" groups
// with their ten boxes.  The rules are TParameterPanel's; this widget mirrors its TPanelState in
// the boxes, runs its change handlers from the boxes' events (the number boxes when their editing
// ends) and filters the keys typed into the editable boxes.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "gui/ParameterBoxes.h"
#include "workspace/JobQuestions.h"
#include "workspace/ParameterPanel.h"

class QComboBox;
class QGroupBox;
class QKeyEvent;

class TParameterPanelView : public QWidget {
  Q_OBJECT

 public:
  // The settings store and the format INI are opened per use; `formatCode` names the profile
  // whose section the boxes show and write.
  TParameterPanelView(QWidget *parent, std::string settingsIniPath, std::string formatIniPath,
                      IJobQuestions &questions, std::function<int()> formatCode);

  // Shows the profile's lists and stored choices; a profile shown for the first time gets its
  // own defaults written first.
  void Load();
  // "Default": the profile's default items, all written.
  void Default();
  // What the user left in the editable boxes, checked and written: Start runs it, since Start
  // from a menu or a shortcut leaves no box.
  void EndEditing();
  // The profile copies the source's video: crop, effects and watermark do not apply.
  bool VideoCopy() const { return FVideoCopy; }

  QGroupBox *grpVideo, *grpAudio;
  QComboBox *cmbVideoSize, *cmbVideoEncoder, *cmbVideoBitRate, *cmbFrameRate, *cmbZoom;
  QComboBox *cmbSamplerate, *cmbAudioBitRate, *cmbAudioEncoder, *cmbChannel, *cmbVolume;

 signals:
  // Copy was chosen or left for the video: `hint` says what copy means (empty without it).
  void videoCopyChanged(bool videoCopy, const QString &hint);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  // The same boxes as the fields above, for the shared showing and reading of the panel state.
  TParameterGroups FGroups{};
  void ConnectHandlers();

  void cmbVideoSizeSelect();
  void cmbVideoSizeExit();
  void cmbVideoBitRateChange();
  void cmbFrameRateChange();
  void cmbVideoEncoderChange();
  void cmbZoomChange();
  void cmbSamplerateChange();
  void cmbAudioBitRateChange();
  void cmbAudioEncoderChange();
  void cmbChannelChange();
  void cmbVolumeChange();
  // The editing of a bit-rate or sample-rate box ended (Enter, or the focus left it).
  void NumberBoxEdited(QComboBox *box);
  bool ParameterKeyPress(QComboBox *box, const QKeyEvent *event);

  // Runs a rule of the panel on one box and shows what the rule left in the box.
  template <class Rule>
  void PanelBoxRule(QComboBox *box, Rule rule);
  TPanelState PanelState() const;
  void ShowPanel(const TPanelState &state);
  void ShowStreamCopy(const TPanelState &state);
  void FollowStreamCopy();

  std::string FSettingsIniPath, FFormatIniPath;
  IJobQuestions &FQuestions;
  std::function<int()> FFormatCode;
  bool FVideoCopy = false;
};
