#include "gui/PreviewPanel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <cstdlib>

#include "gui/Application.h"
#include "gui/VideoSurface.h"
#include "platform/Paths.h"
#include "services/UnicodeProtocol.h"
#include "skin/TrackBar.h"
#include "workspace/images/Snapshots.h"

namespace {

// The preview that holds a file now.  Only one player may hold a file at a time in the
// program: the SDL events of every player pass through one queue, and the play thread of a
// player that waits, paused, takes the others' events and drops them, so that their pictures
// and positions never come.  Window thread only.
TPreviewPanel *GHolder = nullptr;

QPushButton *PlayerButton(QWidget *parent, const char *name, const char *hint) {
  auto *button = new QPushButton(parent);
  button->setObjectName(name);
  button->setToolTip(TPreviewPanel::tr(hint));
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(30, 24);
  return button;
}

QLabel *NamedLabel(QWidget *parent, const char *name) {
  auto *label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

TPreviewPanel::TPreviewPanel(QWidget *parent, const TPreviewParts &parts)
    : QWidget(parent), FParts(parts) {
  Picture = new TVideoSurface(this);
  Picture->setObjectName(parts.PictureName);
  Picture->setFixedSize(parts.Picture);
  Bar = new TTrackBar(this);
  Bar->setObjectName(parts.BarName);
  Bar->installEventFilter(this);
  const std::tuple<QPushButton **, const char *, const char *, TToolGlyph> buttons[] = {
      {&Play, parts.PlayName, QT_TRANSLATE_NOOP("TPreviewPanel", "play"), TToolGlyph::Play},
      {&Pause, parts.PauseName, QT_TRANSLATE_NOOP("TPreviewPanel", "pause"), TToolGlyph::Pause},
      {&Stop, parts.StopName, QT_TRANSLATE_NOOP("TPreviewPanel", "stop"), TToolGlyph::Stop},
      {&Snapshot, parts.SnapshotName, QT_TRANSLATE_NOOP("TPreviewPanel", "capture image"),
       TToolGlyph::Snapshot}};
  for (const auto &[field, name, hint, glyph] : buttons) {
    if (!name) continue;
    *field = PlayerButton(this, name, hint);
    (*field)->setIcon(ToolIcon(glyph, QColor(40, 40, 40)));
    FGlyphButtons.emplace_back(*field, glyph);
  }
  Position = NamedLabel(this, parts.PositionName);
  Length = NamedLabel(this, parts.LengthName);
  if (parts.Layout == TPreviewLayout::Main) {
    Mute = new QCheckBox(tr("Mute"), this);
    Mute->setObjectName("ckMute");
    Volume = new QSlider(Qt::Horizontal, this);
    Volume->setObjectName("tbVolume");
    Volume->setRange(0, MaxAudioVolume);
  }
  LayOut(parts);

  FFPlayer.OnFileOpen = [this](TCustomPlayer *, int64_t duration, int frameWidth, int frameHeight,
                               int &screenWidth, int &screenHeight) {
    Guarded([&] { FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight); });
  };
  FFPlayer.OnPosition = [this](TCustomPlayer *, int64_t pts) {
    if (Events.Position && !FLettingGo) Guarded([&] { Events.Position(pts); });
  };
  FFPlayer.OnState = [this](TCustomPlayer *, TPlayState state) {
    if (!FLettingGo)
      Guarded([&] { StateChanged(state); });
    else if (state == TPlayState::psStop)
      Picture->update();  // the panel paints over the player's last picture
  };
  FFPlayer.OnHook = [this](TCustomPlayer *, TBitmap *bitmap, int64_t pts) {
    if (Events.Hook) Events.Hook(*bitmap, pts);
  };
}

TPreviewPanel::~TPreviewPanel() {
  Release();
}

void TPreviewPanel::LayOut(const TPreviewParts &parts) {
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(3);
  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  for (const auto &[button, glyph] : FGlyphButtons) buttons->addWidget(button, 0, Qt::AlignTop);
  switch (parts.Layout) {
    case TPreviewLayout::Main: {
      Length->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      auto *times = new QHBoxLayout;
      times->addWidget(Position);
      times->addStretch();
      times->addWidget(Length);
      buttons->addStretch();
      buttons->addWidget(Mute);
      auto *volume = new QHBoxLayout;
      auto *caption = new QLabel(tr("Volume:"), this);
      caption->setBuddy(Volume);
      volume->addWidget(caption);
      volume->addWidget(Volume, 1);
      column->addWidget(Picture, 0, Qt::AlignHCenter);
      column->addWidget(Bar);
      column->addLayout(times);
      column->addLayout(buttons);
      column->addLayout(volume);
      break;
    }
    case TPreviewLayout::Editor: {
      auto *times = parts.TimesInRow ? static_cast<QBoxLayout *>(new QHBoxLayout)
                                     : static_cast<QBoxLayout *>(new QVBoxLayout);
      times->addWidget(Position, 1);
      times->addWidget(Length, 1);
      buttons->addSpacing(8);
      buttons->addLayout(times, 1);
      column->addWidget(Picture);
      column->addWidget(Bar);
      column->addLayout(buttons);
      break;
    }
    case TPreviewLayout::EditorSmallPicture: {
      auto *times = new QGridLayout;
      times->addWidget(new QLabel(tr(parts.PositionCaption), this), 0, 0);
      times->addWidget(Position, 0, 1);
      times->addWidget(new QLabel(tr(parts.LengthCaption), this), 1, 0);
      times->addWidget(Length, 1, 1);
      times->setColumnStretch(1, 1);
      buttons->addSpacing(6);
      buttons->addLayout(times, 1);
      buttons->addWidget(Picture);
      column->addWidget(Bar);
      column->addLayout(buttons);
      break;
    }
  }
  column->addStretch();
}

bool TPreviewPanel::LoadLibraries() {
  return FFPlayer.AVLibLoaded() || FFPlayer.LoadAVLib(paths::LibAVFolder().wstring());
}

bool TPreviewPanel::Open(const std::string &file) {
  if (!BeforeOpen()) return false;
  const bool ok = FFPlayer.Open(UTF8ToWide(file), Picture->winId(), false);
  AfterOpen(ok);
  return ok;
}

bool TPreviewPanel::OpenAsync(const std::string &file, std::function<void(bool ok)> opened) {
  if (!BeforeOpen()) return false;
  ShowOpening(true);
  const auto done = [this, opened = std::move(opened)](bool ok) {
    ShowOpening(false);
    AfterOpen(ok);
    if (opened) Guarded([&] { opened(ok); });
  };
  if (FFPlayer.OpenAsync(UTF8ToWide(file), Picture->winId(), false, done)) return true;
  ShowOpening(false);
  AfterOpen(false);
  return false;
}

bool TPreviewPanel::BeforeOpen() {
  if (!LoadLibraries()) return false;
  if (GHolder && GHolder != this) GHolder->Close();
  GHolder = this;
  FinishLettingGo();
  FEnded = false;
  Picture->SetPlayerDrawing(true);
  return true;
}

void TPreviewPanel::AfterOpen(bool ok) {
  if (!ok) {
    Picture->SetPlayerDrawing(false);
    if (GHolder == this) GHolder = nullptr;
    return;
  }
  Bar->setEnabled(FDuration > 0);
}

void TPreviewPanel::ShowOpening(bool opening) {
  // While the reader opens the file the window goes on; the panel says what it waits for, and
  // nothing that needs the open file can be pressed.
  if (opening) {
    FPositionText = Position->text();
    Position->setText(tr("Opening..."));
    Picture->setCursor(Qt::BusyCursor);
    for (QPushButton *button : {Pause, Snapshot})
      if (button) button->setEnabled(false);
    Bar->setEnabled(false);
  } else {
    if (Position->text() == tr("Opening...")) Position->setText(FPositionText);
    Picture->unsetCursor();
  }
}

void TPreviewPanel::Close(TCloseWait wait) {
  if (GHolder == this) GHolder = nullptr;
  if (wait == TCloseWait::Stopped) FinishLettingGo();
  if (!HoldsFile()) return;
  if (Opening()) ShowOpening(false);
  // Each gives up an opening.
  switch (wait) {
    case TCloseWait::Stopped: FFPlayer.Stop(true); break;
    case TCloseWait::WindowLeft: FFPlayer.StopLeavingWindow(); break;
    case TCloseWait::Nothing: FFPlayer.Stop(false); break;
  }
  FLettingGo = wait != TCloseWait::Stopped;
  Picture->SetPlayerDrawing(false);
  Bar->setValue(0);
  Bar->setEnabled(false);
  if (Events.Closed) Guarded([this] { Events.Closed(); });
}

void TPreviewPanel::FinishLettingGo() {
  if (!FLettingGo) return;
  FFPlayer.Stop(true);  // usually ended already: joins the threads and lets SDL go
  FLettingGo = false;
}

void TPreviewPanel::Release() {
  if (FReleased) return;
  FReleased = true;
  if (GHolder == this) GHolder = nullptr;
  FFPlayer.SetHook(false);
  // The events reach the panel on the window thread, so they can be cleared here; the hook runs
  // on the player's thread and is only let go once the player has stopped.
  FFPlayer.OnFileOpen = nullptr;
  FFPlayer.OnPosition = nullptr;
  FFPlayer.OnState = nullptr;
  Events.FileOpen = nullptr;
  Events.Position = nullptr;
  Events.State = nullptr;
  Events.Closed = nullptr;
  FFPlayer.Stop(true);
  FFPlayer.OnHook = nullptr;
  Events.Hook = nullptr;
}

void TPreviewPanel::Resume() {
  FFPlayer.Resume();
  FEnded = false;
  Bar->setEnabled(true);
}

void TPreviewPanel::PausePlayer() {
  FFPlayer.Pause();
}

void TPreviewPanel::ShowMode(TPreviewMode mode) {
  // While the file is being opened there is nothing to pause or to take a picture of yet.
  const TPreviewControls controls = PreviewControlsOf(mode);
  Play->setEnabled(controls.Play);
  Pause->setEnabled(controls.Pause && !Opening());
  if (Stop) Stop->setEnabled(controls.Stop);
  if (Snapshot) Snapshot->setEnabled(controls.Snapshot && !Opening());
}

int64_t TPreviewPanel::BarTime() const {
  return SeekPosition(Bar->value(), Bar->maximum(), FDuration);
}

bool TPreviewPanel::TakeSnapshot(QImage &full, QImage &small) {
  const TBitmap *frame = FFPlayer.FrameSnapshot();
  if (!frame || frame->Width() <= 0 || frame->Height() <= 0) return false;
  full = PictureOfBitmap(*frame);
  // The small picture is the frame as the panel shows it at its own size (the frame fitted into
  // it on black), whatever size the window has grown the panel to.
  small = FittedPicture(full, FParts.Picture, Qt::black);
  return true;
}

void TPreviewPanel::FileOpened(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                               int &screenHeight) {
  if (FParts.ScaleIntoPicture) {
    screenWidth = Picture->width();
    screenHeight = Picture->height();
  }
  FDuration = duration;
  {
    // One step per pixel; the handle only for a file with a length; no seeking while it is set.
    const QSignalBlocker blocker(Bar);
    Bar->setValue(0);
    Bar->setTickInterval(FParts.TickFrequency);
    Bar->setTickPosition(QSlider::NoTicks);
    Bar->setRange(0, std::max(Bar->width(), 1));
    Bar->SetSelection(0, 0);
    Bar->SetSliderVisible(duration > 0);
    Bar->setValue(0);
  }
  if (Events.FileOpen)
    Events.FileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
}

void TPreviewPanel::StateChanged(TPlayState state) {
  if (state == TPlayState::psEnd && HoldsFile() && !FEnded) {
    // The end of the file: it waits at its start, paused, and the panel shows it stopped; play
    // goes on from there (or opens the file again, as the host decides).
    FEnded = true;
    {
      const QSignalBlocker blocker(Bar);
      Bar->setValue(0);
      Bar->SetSelection(0, 0);
    }
    Bar->setEnabled(false);
    FFPlayer.Seek(skAny, false, 0);
    FFPlayer.Pause();
    ShowMode(TPreviewMode::Stopped);
  }
  if (Events.State) Events.State(state);
}

bool TPreviewPanel::eventFilter(QObject *watched, QEvent *event) {
  if (watched == Bar &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() == Qt::LeftButton) {
      if (event->type() == QEvent::MouseButtonPress) {
        const QPoint at = mouse->position().toPoint();
        Guarded([&] { BarPressed(at); });
      } else {
        // After the bar has taken its own position from the release.
        QMetaObject::invokeMethod(
            this, [this] { Guarded([this] { BarReleased(); }); }, Qt::QueuedConnection);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TPreviewPanel::BarPressed(const QPoint &at) {
  // A press beside the knob puts the knob there (rather than a page further), and the slider
  // then drags it from there: the release seeks to where the user pointed.
  if (!Bar->isEnabled()) return;
  const int pointed =
      QStyle::sliderValueFromPosition(Bar->minimum(), Bar->maximum(), at.x(), Bar->width());
  const int knob = Bar->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, Bar);
  const int span = std::max(Bar->width(), 1);
  if (std::abs(pointed - Bar->value()) * span > (knob / 2) * (Bar->maximum() - Bar->minimum()))
    Bar->setValue(pointed);
}

void TPreviewPanel::BarReleased() {
  if (!Bar->isEnabled() || !HoldsFile()) return;
  FFPlayer.Seek(0, false, BarTime());
}
