#include "editors/EditorDialog.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "editors/EditorTexts.h"
#include "platform/Paths.h"
#include "services/AVProbe.h"
#include "services/UnicodeProtocol.h"
#include "skin/Artwork.h"
#include "skin/TrackBar.h"
#include "workspace/Application.h"
#include "workspace/VideoSurface.h"

namespace {

QPushButton *PlayerButton(QWidget *parent, const char *name, const char *hint, TToolGlyph glyph) {
  auto *button = new QPushButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setIcon(ToolIcon(glyph, QColor(40, 40, 40)));
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(30, 24);
  return button;
}

}  // namespace

QPushButton *NamedButton(QWidget *parent, const char *name, const char *caption) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QString QText(const std::string &text) {
  return QString::fromStdString(text);
}

TEditorDialog::TEditorDialog(QWidget *owner, const TSkinManager &mainSkin, const char *playName,
                             const char *pauseName)
    : TSkinnedDialog(owner, mainSkin) {
  trcPreview = new TTrackBar(this);
  trcPreview->setObjectName("trcPreview");
  trcPreview->installEventFilter(this);
  btnPlay = PlayerButton(this, playName, "play", TToolGlyph::Play);
  btnPause = PlayerButton(this, pauseName, "pause", TToolGlyph::Pause);
  lblPTS = new QLabel(this);
  lblPTS->setObjectName("lblPTS");
  lblLength = new QLabel(this);
  lblLength->setObjectName("lblLength");
  connect(btnPlay, &QPushButton::clicked, this, [this] { Guarded([this] { btnPlayClick(); }); });
  connect(btnPause, &QPushButton::clicked, this, [this] { Guarded([this] { btnPauseClick(); }); });

  FFPlayer.OnFileOpen = [this](TCustomPlayer *, int64_t duration, int frameWidth, int frameHeight,
                               int &screenWidth, int &screenHeight) {
    Guarded(
        [&] { FFPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight); });
  };
  FFPlayer.OnPosition = [this](TCustomPlayer *, int64_t pts) {
    Guarded([&] { FFPlayerPosition(pts); });
  };
  FFPlayer.OnState = [this](TCustomPlayer *, TPlayState state) {
    Guarded([&] { FFPlayerState(state); });
  };
  FFPlayer.OnHook = [this](TCustomPlayer *, TBitmap *bitmap, int64_t pts) {
    FFPlayerHook(*bitmap, pts);
  };
}

bool TEditorDialog::OpenPreview(TVideoSurface *panel, const std::string &file) {
  if (!FFPlayer.AVLibLoaded() && !FFPlayer.LoadAVLib(paths::LibAVFolder().wstring())) return false;
  FPanel = panel;
  panel->SetPlayerDrawing(true);
  return FFPlayer.Open(UTF8ToWide(file), panel->winId(), false);
}

void TEditorDialog::ReleasePlayer() {
  FFPlayer.SetHook(false);
  // The events reach this window on its own thread, so they can be cleared here; the hook runs
  // on the player's thread and is only let go once the player has stopped.
  FFPlayer.OnFileOpen = nullptr;
  FFPlayer.OnPosition = nullptr;
  FFPlayer.OnState = nullptr;
  FFPlayer.Stop(true);
  FFPlayer.OnHook = nullptr;
}

void TEditorDialog::LayOutRows(QLayout *top, const char *sourceCaption, QLabel *source,
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

void TEditorDialog::SetUpSeekBar(int frequency) {
  trcPreview->setTickInterval(frequency);
  trcPreview->setTickPosition(QSlider::NoTicks);
  trcPreview->setRange(0, trcPreview->width());
  trcPreview->SetSelection(0, 0);
  trcPreview->SetSliderVisible(FDuration > 0);
  trcPreview->setValue(0);
}

int64_t TEditorDialog::BarTime() const {
  return ::BarTime(trcPreview->value(), trcPreview->maximum(), FDuration);
}

void TEditorDialog::ShowPlaying(bool playing) {
  btnPlay->setEnabled(!playing);
  btnPause->setEnabled(playing);
}

void TEditorDialog::FFPlayerFileOpen(int64_t duration, int, int, int &screenWidth,
                                     int &screenHeight) {
  // The whole panel is the video's output area.
  screenWidth = FPanel->width();
  screenHeight = FPanel->height();
  FDuration = duration;
  lblLength->setText(QString::fromStdString("Duration:    " + FormatMediaTime(duration)));
  lblPTS->setText("0.0");
  SetUpSeekBar(1);
}

void TEditorDialog::FFPlayerPosition(int64_t pts) {
  lblPTS->setText(QString::fromStdString("Time:    " + FormatMediaTime(pts)));
}

void TEditorDialog::FFPlayerState(TPlayState state) {
  if (state != TPlayState::psEnd) return;
  // At the end the preview waits at the start of the file, paused.
  trcPreview->setValue(0);
  FFPlayer.Seek(skAny, false, 0);
  FFPlayer.Pause();
  ShowPlaying(false);
  trcPreview->SetSelection(0, 0);
  trcPreview->setEnabled(false);
}

void TEditorDialog::btnPlayClick() {
  FFPlayer.Resume();
  ShowPlaying(true);
  trcPreview->setEnabled(true);
}

void TEditorDialog::btnPauseClick() {
  FFPlayer.Pause();
  ShowPlaying(false);
}

void TEditorDialog::trcPreviewMouseUp() {
  FFPlayer.Seek(0, false, BarTime());
}

bool TEditorDialog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == trcPreview && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
    // After the bar has taken its own position from the release.
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { trcPreviewMouseUp(); }); }, Qt::QueuedConnection);
  }
  return TSkinnedDialog::eventFilter(watched, event);
}
