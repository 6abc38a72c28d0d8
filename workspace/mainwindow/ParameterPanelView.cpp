#include "workspace/mainwindow/ParameterPanelView.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

#include "gui/Application.h"
#include "gui/ParameterBoxes.h"
#include "gui/Translations.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/SettingsStore.h"

TParameterPanelView::TParameterPanelView(QWidget *parent, std::string settingsIniPath,
                                         std::string formatIniPath, IJobQuestions &questions,
                                         std::function<int()> formatCode)
    : QWidget(parent),
      FSettingsIniPath(std::move(settingsIniPath)),
      FFormatIniPath(std::move(formatIniPath)),
      FQuestions(questions),
      FFormatCode(std::move(formatCode)) {
  FGroups = NewParameterGroups(this);
  const TParameterGroups &groups = FGroups;
  grpVideo = groups.Video;
  grpAudio = groups.Audio;
  cmbVideoSize = groups.VideoSize;
  cmbVideoEncoder = groups.VideoEncoder;
  cmbVideoBitRate = groups.VideoBitRate;
  cmbFrameRate = groups.FrameRate;
  cmbZoom = groups.Zoom;
  cmbSamplerate = groups.SampleRate;
  cmbAudioBitRate = groups.AudioBitRate;
  cmbAudioEncoder = groups.AudioEncoder;
  cmbVolume = groups.Volume;
  cmbChannel = groups.Channel;
  for (QComboBox *box : {cmbVideoSize, cmbVideoBitRate, cmbSamplerate, cmbAudioBitRate})
    box->installEventFilter(this);
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  row->addWidget(grpVideo, 1);
  row->addWidget(grpAudio, 1);
  ConnectHandlers();
}

void TParameterPanelView::ConnectHandlers() {
  const auto on = [this](QComboBox *box, void (TParameterPanelView::*handler)()) {
    connect(box, &QComboBox::activated, this,
            [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  on(cmbVideoSize, &TParameterPanelView::cmbVideoSizeSelect);
  // The number boxes are checked when their editing ends (a choice from the list here; Enter
  // and leaving the box in the event filter), so that a box may be emptied to type a new number.
  on(cmbVideoBitRate, &TParameterPanelView::cmbVideoBitRateChange);
  on(cmbFrameRate, &TParameterPanelView::cmbFrameRateChange);
  on(cmbVideoEncoder, &TParameterPanelView::cmbVideoEncoderChange);
  on(cmbZoom, &TParameterPanelView::cmbZoomChange);
  on(cmbSamplerate, &TParameterPanelView::cmbSamplerateChange);
  on(cmbAudioBitRate, &TParameterPanelView::cmbAudioBitRateChange);
  on(cmbAudioEncoder, &TParameterPanelView::cmbAudioEncoderChange);
  on(cmbChannel, &TParameterPanelView::cmbChannelChange);
  on(cmbVolume, &TParameterPanelView::cmbVolumeChange);
}

void TParameterPanelView::Load() {
  TSettingsStore store(FSettingsIniPath);
  const TFormatCatalogue catalogue(FFormatIniPath);
  TParameterPanel panel(catalogue, store, FQuestions);
  const int code = FFormatCode();
  // A profile shown for the first time shows the values its first conversion will use: its
  // own defaults, written as "Default" writes them.
  if (catalogue.HasSection(code)) panel.EnsureSeeded(code);
  ShowPanel(panel.Load(code));
}

void TParameterPanelView::Default() {
  TSettingsStore store(FSettingsIniPath);
  const TFormatCatalogue catalogue(FFormatIniPath);
  TParameterPanel panel(catalogue, store, FQuestions);
  TPanelState state = PanelState();
  panel.Default(FFormatCode(), state);
  ShowPanel(state);
}

void TParameterPanelView::EndEditing() {
  cmbVideoSizeExit();
  for (QComboBox *box : {cmbVideoBitRate, cmbSamplerate, cmbAudioBitRate}) NumberBoxEdited(box);
}

TPanelState TParameterPanelView::PanelState() const {
  return GroupsState(FGroups);
}

void TParameterPanelView::ShowPanel(const TPanelState &state) {
  ShowGroupsState(FGroups, state);
  ShowStreamCopy(state);
}

// The panel's hint for stream copy, and the editors that change the picture, which a copied
// video does not go through.
void TParameterPanelView::ShowStreamCopy(const TPanelState &state) {
  const QString hint = state.CopyHint.empty() ? QString() : ShownText(state.CopyHint);
  cmbVideoEncoder->setToolTip(state.VideoCopy ? hint : QString());
  cmbAudioEncoder->setToolTip(state.AudioCopy ? hint : QString());
  FVideoCopy = state.VideoCopy;
  emit videoCopyChanged(FVideoCopy, FVideoCopy ? hint : QString());
}

// An encoder box changed to or from "copy": the boxes it rules follow.
void TParameterPanelView::FollowStreamCopy() {
  TPanelState state = PanelState();
  TParameterPanel::ApplyStreamCopy(state);
  EnableGroupBoxes(FGroups, state);
  ShowStreamCopy(state);
}

template <class Rule>
void TParameterPanelView::PanelBoxRule(QComboBox *box, Rule rule) {
  TSettingsStore store(FSettingsIniPath);
  const TFormatCatalogue catalogue(FFormatIniPath);
  TParameterPanel panel(catalogue, store, FQuestions);
  TParamBoxState state = BoxState(box);
  rule(panel, FFormatCode(), state);
  ReflectBox(box, state);
}

void TParameterPanelView::cmbVideoSizeSelect() {
  PanelBoxRule(cmbVideoSize, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.VideoSizeChosen(code, box);
  });
}

void TParameterPanelView::cmbVideoSizeExit() {
  PanelBoxRule(cmbVideoSize, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.VideoSizeLeft(code, box);
  });
}

void TParameterPanelView::cmbVideoBitRateChange() {
  PanelBoxRule(cmbVideoBitRate, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.VideoBitRateChanged(code, box);
  });
}

void TParameterPanelView::cmbFrameRateChange() {
  PanelBoxRule(cmbFrameRate, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.FrameRateChanged(code, box);
  });
}

void TParameterPanelView::cmbVideoEncoderChange() {
  PanelBoxRule(cmbVideoEncoder, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.VideoEncoderChanged(code, box);
  });
  FollowStreamCopy();
}

void TParameterPanelView::cmbZoomChange() {
  PanelBoxRule(cmbZoom, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.ZoomChanged(code, box);
  });
}

void TParameterPanelView::cmbSamplerateChange() {
  PanelBoxRule(cmbSamplerate, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.SampleRateChanged(code, box);
  });
}

void TParameterPanelView::cmbAudioBitRateChange() {
  PanelBoxRule(cmbAudioBitRate, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.AudioBitRateChanged(code, box);
  });
}

void TParameterPanelView::cmbAudioEncoderChange() {
  PanelBoxRule(cmbAudioEncoder, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.AudioEncoderChanged(code, box);
  });
  FollowStreamCopy();
}

void TParameterPanelView::cmbChannelChange() {
  PanelBoxRule(cmbChannel, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.ChannelChanged(code, box);
  });
}

void TParameterPanelView::cmbVolumeChange() {
  PanelBoxRule(cmbVolume, [](TParameterPanel &panel, int code, TParamBoxState &box) {
    panel.VolumeChanged(code, box);
  });
}

void TParameterPanelView::NumberBoxEdited(QComboBox *box) {
  // Only a text the user typed is checked: leaving a box that shows its item or its fallback
  // again says nothing twice.
  if (!box->lineEdit()->isModified()) return;
  box->lineEdit()->setModified(false);
  if (box == cmbVideoBitRate) cmbVideoBitRateChange();
  if (box == cmbSamplerate) cmbSamplerateChange();
  if (box == cmbAudioBitRate) cmbAudioBitRateChange();
}

bool TParameterPanelView::ParameterKeyPress(QComboBox *box, const QKeyEvent *event) {
  return ParameterKeyDropped(box, box == cmbVideoSize, *event, FQuestions);
}

// The key filters and the end of the editing of the editable boxes.
bool TParameterPanelView::eventFilter(QObject *watched, QEvent *event) {
  auto *box = qobject_cast<QComboBox *>(watched);
  if (!box || !box->isEditable()) return QWidget::eventFilter(watched, event);
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress) {
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    bool dropped = false;
    Guarded([&] { dropped = ParameterKeyPress(box, keyEvent); });
    if (dropped) return true;
    if (box != cmbVideoSize &&
        (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter))
      Guarded([&] { NumberBoxEdited(box); });
  }
  if (type == QEvent::FocusOut && LeavesTheBox(*static_cast<QFocusEvent *>(event)))
    Guarded([&] { box == cmbVideoSize ? cmbVideoSizeExit() : NumberBoxEdited(box); });
  return QWidget::eventFilter(watched, event);
}
