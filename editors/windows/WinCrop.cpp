#include "editors/windows/WinCrop.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "editors/EditorTexts.h"
#include "editors/decoration/CropOutline.h"
#include "editors/windows/PreviewImage.h"
#include "editors/windows/RectTracker.h"
#include "gui/Application.h"
#include "gui/Translations.h"
#include "gui/VideoSurface.h"
#include "gui/WindowSize.h"
#include "services/AVProbe.h"
#include "skin/SpinEdit.h"
#include "skin/TrackBar.h"

namespace {

constexpr int WindowWidth = 615, WindowHeight = 435;
constexpr int ImageWidth = 370, ImageHeight = 253;
constexpr int PanelWidth = 33, PanelHeight = 41;
const QColor SkyBlue(0xA6, 0xCA, 0xF0);
constexpr int NoLimit = 1000000;  // the spin edits take any margin the rules let through

// The player draws into a small panel beside the times; the still above shows the frames.
TPreviewParts CropPreview() {
  TPreviewParts parts;
  parts.Layout = TPreviewLayout::EditorSmallPicture;
  parts.Picture = QSize(PanelWidth, PanelHeight);
  parts.PictureName = "pan1";
  parts.PlayName = "imgbtnPlay";
  parts.PauseName = "imgbtnpause";
  parts.PositionCaption = QT_TRANSLATE_NOOP("TPreviewPanel", "Time:");
  parts.LengthCaption = QT_TRANSLATE_NOOP("TPreviewPanel", "Length:");
  parts.TickFrequency = 5;
  parts.ScaleIntoPicture = false;
  return parts;
}

}  // namespace

TfrmCrop::TfrmCrop(QWidget *owner, const TSkinManager &mainSkin)
    : TEditorDialog(owner, mainSkin, CropPreview()) {
  setObjectName("frmCrop");
  setWindowTitle(tr("Crop"));
  lblSourceName = new QLabel(this);
  lblSourceName->setObjectName("lblSourceName");
  btnDefault = NamedButton(this, "btnDefault", tr("&Default"));
  btnOk = NamedButton(this, "btnOk", tr("Ok"));
  btnCancel = NamedButton(this, "btnCancel", tr("Cancel"));
  btnOk->setDefault(true);
  cmbZoom = new QComboBox(this);
  cmbZoom->setObjectName("cmbZoom");
  cmbZoom->addItems({tr("Full screen"), tr("Letterbox")});
  cmbZoom->setVisible(false);
  cmbZoom->setEnabled(false);
  Timer = new QTimer(this);
  Timer->setInterval(100);

  auto *top = new QHBoxLayout;
  top->addWidget(CreatePreview());
  top->addWidget(CreateCropPage(), 1);
  LayOutRows(top, tr("Source File:"), lblSourceName, btnDefault, btnOk, btnCancel);
  setFixedSize(SizeThatFits(*this, {WindowWidth, WindowHeight}));

  connect(Timer, &QTimer::timeout, this, [this] { Guarded([this] { TimerTimer(); }); });
  RectTracker->OnMouseMove = [this](QWidget *, int, int) {
    Guarded([this] { RectTrackerMouseMove(); });
  };
  const std::pair<TSpinEdit *, TCropSide> spins[] = {{spedUp, TCropSide::Up},
                                                     {spedDown, TCropSide::Down},
                                                     {spedLeft, TCropSide::Left},
                                                     {spedRight, TCropSide::Right}};
  for (const auto &[spin, side] : spins)
    connect(spin, &QSpinBox::valueChanged, this,
            [this, side = side] { Guarded([&] { spedChange(side); }); });
  connect(trcPreview, &QSlider::valueChanged, this,
          [this] { Guarded([this] { trcPreviewChange(); }); });
  for (QPushButton *reset : {btnReset, btnDefault})
    connect(reset, &QPushButton::clicked, this, [this] { Guarded([this] { btnResetClick(); }); });
  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmCrop::~TfrmCrop() {
  ReleasePlayer();
}

QWidget *TfrmCrop::CreatePreview() {
  auto *preview = new QWidget(this);
  imgPreview = new TPreviewImage(preview, ImageWidth, ImageHeight);
  imgPreview->setObjectName("imgPreview");
  // The rectangle lies on the still, in its coordinates.
  RectTracker = new TRectTracker(imgPreview);
  RectTracker->setObjectName("RectTracker");
  pan1 = PreviewPanel->Picture;
  auto *column = new QVBoxLayout(preview);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(imgPreview);
  column->addWidget(PreviewPanel);
  return preview;
}

QWidget *TfrmCrop::CreateCropPage() {
  pgCrop = new QTabWidget(this);
  pgCrop->setObjectName("pgCrop");
  auto *page = new QWidget(pgCrop);
  page->setObjectName("tsCrop");
  grpCropSize = new QGroupBox(tr("Crop Size"), page);
  grpCropSize->setObjectName("grpCropSize");
  auto *grid = new QGridLayout(grpCropSize);
  const std::tuple<TSpinEdit * TfrmCrop::*, const char *, const char *> spins[] = {
      {&TfrmCrop::spedUp, "spedUp", QT_TR_NOOP("Up")},
      {&TfrmCrop::spedLeft, "spedLeft", QT_TR_NOOP("Left")},
      {&TfrmCrop::spedDown, "spedDown", QT_TR_NOOP("Down")},
      {&TfrmCrop::spedRight, "spedRight", QT_TR_NOOP("Right")}};
  int row = 0;
  for (const auto &[field, name, caption] : spins) {
    auto *spin = new TSpinEdit(grpCropSize);
    spin->setObjectName(name);
    spin->setRange(-NoLimit, NoLimit);
    grid->addWidget(new QLabel(tr(caption), grpCropSize), row, 0);
    grid->addWidget(spin, row++, 1);
    this->*field = spin;
  }
  btnReset = NamedButton(grpCropSize, "btnReset", tr("Reset"));
  grid->addWidget(btnReset, row, 1);
  auto *column = new QVBoxLayout(page);
  column->addWidget(grpCropSize);
  column->addStretch();
  pgCrop->addTab(page, tr("Crop"));
  return pgCrop;
}

// Showing

void TfrmCrop::showEvent(QShowEvent *event) {
  TEditorDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmCrop::FormShow() {
  // 1. Labels; nothing is decorated until the file plays.
  lblSourceName->clear();
  lblPTS->clear();
  lblLength->clear();
  FPaused = true;
  FEnded = true;
  FOpened = false;
  if (!FRecord) return;
  // 2. The zoom mode, the still's background, the file.
  cmbZoom->setCurrentIndex(TCropFrame::ZoomIndex(FRecord->ZoomMode) <= 1
                               ? TCropFrame::ZoomIndex(FRecord->ZoomMode)
                               : -1);
  imgPreview->Fill(SkyBlue);
  FShownRecord = *FRecord;
  FDecoration = std::make_unique<TRowDecoration>(FShownRecord);
  FFPlayer.SetHook(true);
  OpenPreview(FRecord->SourceFile, [this](bool ok) {
    if (ok) PreviewOpened();
  });
}

void TfrmCrop::PreviewOpened() {
  FOpened = true;
  // 3. Playing.
  FPaused = false;
  FEnded = false;
  ShowPlaying(true);
  // 4. and 5. The rectangle on the still, or none for a file without video.
  ShowVideoArea();
  // 6. The source and its length.
  lblSourceName->setText(QText(SourceNameText(FRecord->SourceFile)));
  lblSourceName->setToolTip(QText(FRecord->SourceFile));
  TFileStreamInfo info;
  FFPlayer.Probe().GetFileStreamInfo(info);
  lblLength->setText(ShownText(SecondsText(info.Duration)));
  // 7. The probe forgets the player's file (the player owns it).
  FFPlayer.Probe().CloseFile();
  RectTracker->update();
  Timer->start();
}

void TfrmCrop::ShowVideoArea() {
  TAVProbe &probe = FFPlayer.Probe();
  const bool video = probe.VideoStreamCount() >= 1;
  RectTracker->setVisible(video);
  RectTracker->setEnabled(video);
  for (TSpinEdit *spin : {spedUp, spedLeft, spedDown, spedRight}) spin->setEnabled(video);
  if (!video) {
    ShowMargins({});
    return;
  }
  TVideoStreamInfo info;
  probe.GetVideoStreamInfo(probe.VideoStreamIndex(), info);
  FSourceWidth = info.Width;
  FSourceHeight = info.Height;
  // The still: the picture due on screen, fitted into the image.
  const TBounds fitted = imgPreview->DrawFitted(*FFPlayer.FrameSnapshot());
  FFrame.SetVideoArea(fitted);
  const TCropMargins margins{FRecord->CropEditTop, FRecord->CropEditBottom, FRecord->CropEditLeft,
                             FRecord->CropEditRight};
  ShowMargins(margins);
  RectTracker->SetBounds(FFrame.BoundsOf(margins));
}

void TfrmCrop::hideEvent(QHideEvent *event) {
  Timer->stop();
  FEnded = true;
  ReleasePlayer();
  {
    std::lock_guard lock(FFrameLock);
    FLastFrame = TBitmap();
  }
  TEditorDialog::hideEvent(event);
}

// Margins

TCropMargins TfrmCrop::Margins() const {
  return {spedUp->value(), spedDown->value(), spedLeft->value(), spedRight->value()};
}

void TfrmCrop::ShowMargins(const TCropMargins &m) {
  const bool tracking = FTracking;
  FTracking = true;  // the spin edits' handlers leave the rectangle alone
  spedUp->setValue(m.Up);
  spedDown->setValue(m.Down);
  spedLeft->setValue(m.Left);
  spedRight->setValue(m.Right);
  FTracking = tracking;
}

void TfrmCrop::RectTrackerMouseMove() {
  if (!FFrame.HasArea()) return;
  TBounds bounds = RectTracker->Bounds();
  const TCropMargins margins = FFrame.Moved(bounds);
  RectTracker->SetBounds(bounds);
  ShowMargins(margins);
}

void TfrmCrop::spedChange(TCropSide side) {
  if (FTracking || !FFrame.HasArea()) return;
  TCropMargins margins = Margins();
  TBounds bounds = RectTracker->Bounds();
  const bool accepted = FFrame.MarginChanged(side, margins, bounds);
  ShowMargins(margins);  // the value refused, or a negative one made 0
  if (accepted) RectTracker->SetBounds(bounds);
}

void TfrmCrop::btnResetClick() {
  ShowMargins({});
  if (FFrame.HasArea()) RectTracker->SetBounds(FFrame.BoundsOf({}));
}

void TfrmCrop::btnOkClick() {
  // A file that did not open was never measured: its record stays as it was.
  if (FRecord && FOpened) {
    FFrame.Store(Margins(), FSourceWidth, FSourceHeight, *FRecord);
    FRecord->ZoomMode = TCropFrame::ZoomOfIndex(cmbZoom->currentIndex(), FRecord->ZoomMode);
  }
  accept();
}

// The preview

void TfrmCrop::TimerTimer() {
  std::lock_guard lock(FFrameLock);
  if (FShownNumber == FFrameNumber) return;
  FShownNumber = FFrameNumber;
  imgPreview->DrawFitted(FLastFrame);
}

void TfrmCrop::FFPlayerHook(TBitmap &bitmap, int64_t) {
  if (FPaused || FEnded || !FDecoration) return;
  FDecoration->Decorate(bitmap);
  OutlineRowCrop(bitmap, FShownRecord);
  std::lock_guard lock(FFrameLock);
  FLastFrame = bitmap;
  ++FFrameNumber;
}

void TfrmCrop::FFPlayerFileOpen(int64_t duration, int, int, int &, int &) {
  FDuration = duration;
  lblLength->setText(QText(ClockText(RoundedSeconds(duration))));
  lblPTS->setText("0.0");
}

void TfrmCrop::FFPlayerPosition(int64_t pts) {
  lblPTS->setText(QText(ClockText(RoundedSeconds(pts))));
}

void TfrmCrop::FFPlayerState(TPlayState state) {
  if (state == TPlayState::psPause) {
    FPaused = true;
    FEnded = false;
    ShowPlaying(false);
  } else if (state == TPlayState::psEnd) {
    FEnded = true;
  }
}

void TfrmCrop::btnPlayClick() {
  if (FPaused) {
    FPaused = false;
    FEnded = false;
    PreviewPanel->Resume();
    ShowPlaying(true);
  } else if (FEnded) {
    OpenPreview(FRecord->SourceFile, [this](bool ok) {
      if (!ok) return;
      FEnded = false;
      ShowPlaying(true);
    });
  }
}

void TfrmCrop::btnPauseClick() {
  FPaused = true;
  FEnded = false;
  PreviewPanel->PausePlayer();
}

void TfrmCrop::trcPreviewChange() {
  // A drag seeks when the button is released (the panel does that); keys seek at once.
  if (QGuiApplication::mouseButtons() & Qt::LeftButton) return;
  const int64_t target = BarTime();
  if (target > 0) FFPlayer.Seek(0, false, target);
}
