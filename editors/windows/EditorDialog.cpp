#include "editors/windows/EditorDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "editors/EditorTexts.h"
#include "gui/Application.h"
#include "skin/TrackBar.h"

QPushButton *NamedButton(QWidget *parent, const char *name, const QString &caption) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QString QText(const std::string &text) {
  return QString::fromStdString(text);
}

TEditorDialog::TEditorDialog(QWidget *owner, const TSkinManager &mainSkin,
                             const TPreviewParts &parts)
    : TSkinnedDialog(owner, mainSkin),
      PreviewPanel(new TPreviewPanel(this, parts)),
      FFPlayer(PreviewPanel->FFPlayer),
      trcPreview(PreviewPanel->Bar),
      btnPlay(PreviewPanel->Play),
      btnPause(PreviewPanel->Pause),
      lblPTS(PreviewPanel->Position),
      lblLength(PreviewPanel->Length) {
  connect(btnPlay, &QPushButton::clicked, this, [this] { Guarded([this] { btnPlayClick(); }); });
  connect(btnPause, &QPushButton::clicked, this, [this] { Guarded([this] { btnPauseClick(); }); });
  PreviewPanel->Events.FileOpen = [this](int64_t duration, int frameWidth, int frameHeight,
                                         int &screenWidth, int &screenHeight) {
    FFPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
  };
  PreviewPanel->Events.Position = [this](int64_t pts) { FFPlayerPosition(pts); };
  PreviewPanel->Events.State = [this](TPlayState state) { FFPlayerState(state); };
  PreviewPanel->Events.Hook = [this](TBitmap &bitmap, int64_t pts) { FFPlayerHook(bitmap, pts); };
}

void TEditorDialog::OpenPreview(const std::string &file, std::function<void(bool ok)> opened) {
  // Nothing to play or pause before the file is open.
  btnPlay->setEnabled(false);
  btnPause->setEnabled(false);
  if (!PreviewPanel->OpenAsync(file, opened)) opened(false);
}

void TEditorDialog::ReleasePlayer() {
  PreviewPanel->Release();
}

void TEditorDialog::LayOutRows(QLayout *top, const QString &sourceCaption, QLabel *source,
                               QPushButton *left, QPushButton *ok, QPushButton *cancel) {
  auto *sourceRow = new QHBoxLayout;
  sourceRow->addWidget(new QLabel(sourceCaption, this));
  sourceRow->addWidget(source, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(left);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto *all = new QVBoxLayout(this);
  all->addLayout(top, 1);
  all->addLayout(sourceRow);
  all->addLayout(buttons);
}

void TEditorDialog::ReserveRoomForTimes() {
  const QString position = lblPTS->text(), length = lblLength->text();
  const int64_t duration = FDuration;
  // The texts of a ten-hour file, measured as the handlers write them.
  constexpr int64_t Longest = int64_t{36000} * 1000000 - 1;
  int unused = 0;
  TEditorDialog::FFPlayerFileOpen(Longest, 0, 0, unused, unused);
  TEditorDialog::FFPlayerPosition(Longest);
  for (QLabel *label : {lblPTS, lblLength}) label->setMinimumWidth(label->sizeHint().width());
  lblPTS->setText(position);
  lblLength->setText(length);
  FDuration = duration;
}

int64_t TEditorDialog::BarTime() const {
  return PreviewPanel->BarTime();
}

void TEditorDialog::ShowPlaying(bool playing) {
  btnPlay->setEnabled(!playing);
  btnPause->setEnabled(playing);
}

void TEditorDialog::FFPlayerFileOpen(int64_t duration, int, int, int &, int &) {
  FDuration = duration;
  lblLength->setText(tr("Duration:    %1").arg(QText(FormatMediaTime(duration))));
  lblPTS->setText("0.0");
}

void TEditorDialog::FFPlayerPosition(int64_t pts) {
  lblPTS->setText(tr("Time:    %1").arg(QText(FormatMediaTime(pts))));
}

void TEditorDialog::FFPlayerState(TPlayState) {}

void TEditorDialog::btnPlayClick() {
  PreviewPanel->Resume();
  ShowPlaying(true);
}

void TEditorDialog::btnPauseClick() {
  PreviewPanel->PausePlayer();
  ShowPlaying(false);
}
