#include "editors/windows/WinTrim.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "editors/EditorTexts.h"
#include "editors/decoration/CropOutline.h"
#include "gui/Application.h"
#include "gui/VideoSurface.h"
#include "gui/WindowSize.h"
#include "services/AVProbe.h"
#include "skin/TrackBar.h"
#include "workspace/ConversionList.h"

namespace {

constexpr int WindowWidth = 615, WindowHeight = 435;
constexpr int PreviewWidth = 372, PreviewHeight = 260;

TPreviewParts TrimPreview() {
  TPreviewParts parts;
  parts.Layout = TPreviewLayout::Editor;
  parts.Picture = QSize(PreviewWidth, PreviewHeight);
  parts.PlayName = "imgbtnPlay";
  parts.PauseName = "imgbtnpause";
  return parts;
}
const char ZeroTime[] = "00:00:00";

// A time box: shows a time, takes no input (and no focus), and stays easy to read.
QLineEdit *TimeBox(QWidget *parent, const char *name) {
  auto *box = new QLineEdit(ZeroTime, parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

}  // namespace

TfrmTrim::TfrmTrim(QWidget *owner, const TSkinManager &mainSkin)
    : TEditorDialog(owner, mainSkin, TrimPreview()) {
  setObjectName("frmTrim");
  setWindowTitle(tr("Trim"));
  lblPTS->setText(tr("Play Time"));
  lblLength->setText(tr("Length"));
  FFPlayer.SetHook(true);

  lblSourceName = new QLabel(this);
  lblSourceName->setObjectName("lblSourceName");
  btnDefault = NamedButton(this, "btnDefault", tr("&Default"));
  btnOk = NamedButton(this, "btnOk", tr("Ok"));
  btnCancel = NamedButton(this, "btnCancel", tr("Cancel"));
  btnOk->setDefault(true);

  auto *top = new QHBoxLayout;
  top->addWidget(CreateTrimPage(), 1);
  top->addWidget(CreatePreview());
  LayOutRows(top, tr("Source Name:"), lblSourceName, btnDefault, btnOk, btnCancel);
  ReserveRoomForTimes();
  setFixedSize(SizeThatFits(*this, {WindowWidth, WindowHeight}));

  const auto on = [this](QPushButton *button, void (TfrmTrim::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  on(btnSetStart, &TfrmTrim::btnSetStartClick);
  on(btnSetEnd, &TfrmTrim::btnSetEndClick);
  on(btnReset, &TfrmTrim::btnResetClick);
  on(btnDefault, &TfrmTrim::btnResetClick);
  on(btnOk, &TfrmTrim::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmTrim::~TfrmTrim() {
  ReleasePlayer();
}

QWidget *TfrmTrim::CreateTrimPage() {
  pgTrim = new QTabWidget(this);
  pgTrim->setObjectName("pgTrim");
  auto *page = new QWidget(pgTrim);
  page->setObjectName("tsTrim");
  edtStart = TimeBox(page, "edtStart");
  edtEnd = TimeBox(page, "edtEnd");
  edtTrimLength = TimeBox(page, "edtTrimLength");
  // The length stands out: black on the light face colour.
  edtTrimLength->setStyleSheet("QLineEdit { color: black; background: palette(midlight); }");
  btnSetStart = NamedButton(page, "btnSetStart", tr("&Ok"));
  btnSetEnd = NamedButton(page, "btnSetEnd", tr("&Ok"));
  btnReset = NamedButton(page, "btnReset", tr("&Reset"));

  auto *grid = new QGridLayout(page);
  grid->setVerticalSpacing(4);
  int row = 0;
  const auto mark = [&](const QString &caption, QLineEdit *box, QPushButton *button) {
    grid->addWidget(new QLabel(caption, page), row, 0);
    grid->addWidget(new QLabel(tr("(HH:MM:SS)"), page), row, 1);
    ++row;
    grid->addWidget(box, row, 0, 1, 2);
    if (button) grid->addWidget(button, row, 2);
    ++row;
    grid->setRowMinimumHeight(row++, 8);
  };
  mark(tr("Set Start Time:"), edtStart, btnSetStart);
  mark(tr("Set End Time:"), edtEnd, btnSetEnd);
  mark(tr("Trim Length:"), edtTrimLength, nullptr);
  grid->addWidget(btnReset, row++, 1, 1, 2, Qt::AlignRight);  // its own width, for longer words
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(0, 1);
  pgTrim->addTab(page, tr("Trim"));
  return pgTrim;
}

QWidget *TfrmTrim::CreatePreview() {
  imgPreview = PreviewPanel->Picture;
  return PreviewPanel;
}

void TfrmTrim::showEvent(QShowEvent *event) {
  TEditorDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmTrim::hideEvent(QHideEvent *event) {
  // Closing stops the preview, waiting until it no longer draws: the hidden window's picture is
  // made anew when it shows again.  Its sound and threads end on their own (the next player's
  // loop starts after them), and the next showing waits for them before it replaces the
  // decoration that the hook draws.
  PreviewPanel->Close(TCloseWait::WindowLeft);
  TEditorDialog::hideEvent(event);
}

void TfrmTrim::FormShow() {
  // 1. Labels, and a preview decorated again after the last showing played to the end.
  lblSourceName->clear();
  lblPTS->clear();
  lblLength->clear();
  FEnded = false;
  FOpened = false;
  if (!FRow) return;
  // 2. The row's decoration, for the preview's frames (nothing plays while it is replaced).
  PreviewPanel->Close();
  FShownRecord = FRow->Record;
  FDecoration = std::make_unique<TRowDecoration>(FShownRecord);
  // 3. The file, playing, once the reader has opened it.
  OpenPreview(FRow->Record.SourceFile, [this](bool ok) {
    if (ok) PreviewOpened();
  });
}

void TfrmTrim::PreviewOpened() {
  FOpened = true;
  // 4. The part the record keeps.
  const std::string &source = FRow->Record.SourceFile;
  lblSourceName->setText(QText(SourceNameText(source)));
  lblSourceName->setToolTip(QText(source));
  FRange.Load(FRow->Record);
  ShowPlaying(true);
  ShowMarks();
}

// The marks in the three boxes and as the bar's selection.
void TfrmTrim::ShowMarks() {
  edtStart->setText(QText(FormatMediaTime(FRange.Start())));
  edtEnd->setText(QText(FormatMediaTime(FRange.End())));
  edtTrimLength->setText(QText(FormatMediaTime(FRange.End() - FRange.Start())));
  const int maximum = trcPreview->maximum();
  trcPreview->SetSelection(BarPosition(maximum, FRange.Start(), FDuration),
                           BarPosition(maximum, FRange.End(), FDuration));
}

void TfrmTrim::FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                                int &screenHeight) {
  TEditorDialog::FFPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
  for (QLineEdit *box : {edtStart, edtEnd, edtTrimLength}) box->setText(ZeroTime);
  FRange.Opened(duration);
}

void TfrmTrim::FFPlayerState(TPlayState state) {
  if (state != TPlayState::psEnd) return;
  FEnded = true;
  lblPTS->setText(ZeroTime);
  lblLength->setText(ZeroTime);
}

void TfrmTrim::FFPlayerHook(TBitmap &bitmap, int64_t) {
  if (FEnded || !FDecoration) return;
  FDecoration->Decorate(bitmap);
  OutlineRowCrop(bitmap, FShownRecord);
}

void TfrmTrim::btnSetStartClick() {
  if (!FRange.MarkStart(FFPlayer.CurrentPosition())) return;
  edtStart->setText(QText(FormatMediaTime(FRange.Start())));
  trcPreview->SetSelStart(BarPosition(trcPreview->maximum(), FRange.Start(), FDuration));
}

void TfrmTrim::btnSetEndClick() {
  if (!FRange.MarkEnd(FFPlayer.CurrentPosition())) return;
  edtEnd->setText(QText(FormatMediaTime(FRange.End())));
  if (FRange.Start() < FRange.End())
    edtTrimLength->setText(QText(FormatMediaTime(FRange.End() - FRange.Start())));
  trcPreview->SetSelEnd(BarPosition(trcPreview->maximum(), FRange.End(), FDuration));
}

void TfrmTrim::btnResetClick() {
  FRange.Reset();
  ShowMarks();
  edtStart->setText(ZeroTime);
}

void TfrmTrim::btnOkClick() {
  // A file that did not open has no length to trim by: its record stays as it was.
  if (FRow && FOpened) {
    if (const auto column = FRange.Store(FRow->Record)) FRow->TrimmedLengthText = *column;
  }
  accept();
}
