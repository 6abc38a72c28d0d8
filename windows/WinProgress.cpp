#include "windows/WinProgress.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstring>
#include <random>
#include <utility>

#include "gui/Application.h"
#include "gui/Translations.h"
#include "gui/WindowSize.h"
#include "skin/Artwork.h"
#include "workspace/images/Snapshots.h"
#include "workspace/update/UpdateDocument.h"

namespace {

constexpr int PictureWidth = 389, PictureHeight = 210;
constexpr int OutputWidth = 283;
const QColor PictureBackground(166, 202, 240);

QString Q(const std::string &text) {
  return QString::fromStdString(text);
}

QLabel *Label(QWidget *parent, const char *name, const QString &text = {}) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

TfrmProgress::TfrmProgress(QWidget *owner, const TSkinManager &skin, TBatchSession &session,
                           TProgressSources sources)
    : TSkinnedDialog(owner, skin), FSession(session), FSources(sources) {
  setObjectName("frmProgress");
  setWindowTitle(tr("Progress"));

  mem1 = Label(this, "mem1");
  mem1->setWordWrap(true);
  // Notices come from the update document: markup in them is shown, never rendered (a page of
  // it could break the layout or load local pictures).
  mem1->setTextFormat(Qt::PlainText);
  mem1->setCursor(Qt::PointingHandCursor);
  mem1->setMinimumHeight(40);
  mem1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  mem1->installEventFilter(this);

  imgPreview = Label(this, "imgPreview");
  imgPreview->setFixedSize(PictureWidth, PictureHeight);
  imgPreview->setFrameShape(QFrame::StyledPanel);

  lbl1 = Label(this, "lbl1", tr("Current Time:"));
  lbl2 = Label(this, "lbl2", tr("Length:"));
  lbl3 = Label(this, "lbl3", tr("File Size:"));
  lbl4 = Label(this, "lbl4", tr("Progress:"));
  lbl5 = Label(this, "lbl5", tr("File:"));
  lblTime = Label(this, "lblTime");
  lblLength = Label(this, "lblLength");
  lblSize = Label(this, "lblSize");
  lblProgress = Label(this, "lblProgress");
  lblOutput = Label(this, "lblOutput");
  // The name is shortened to this width: the label keeps it.
  lblOutput->setFixedWidth(OutputWidth);

  progbarFile = new QProgressBar(this);
  progbarFile->setObjectName("progbarFile");
  progbarFile->setRange(0, 100);
  progbarFile->setTextVisible(true);

  ckShutDown = new QCheckBox(tr("Shut down computer after conversion"), this);
  ckShutDown->setObjectName("ckShutDown");
  ckOpen = new QCheckBox(tr("Open the output folder after conversion"), this);
  ckOpen->setObjectName("ckOpen");

  imgbtnSnap = new QToolButton(this);
  imgbtnSnap->setObjectName("imgbtnSnap");
  imgbtnSnap->setToolTip(tr("Save snapshot picture"));
  imgbtnSnap->setIcon(ToolIcon(TToolGlyph::Snapshot, QColor(40, 70, 120)));
  imgbtnSnap->setIconSize(QSize(24, 24));
  imgbtnSnap->setAutoRaise(true);

  btnPause = Button(this, "btnPause", tr("Pause"));
  btnResume = Button(this, "btnResume", tr("Resume"));
  btnCancel = Button(this, "btnCancel", tr("Cancel"));

  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  tmr1 = new QTimer(this);
  tmr1->setInterval(10000);

  auto *values = new QGridLayout;
  values->setHorizontalSpacing(8);
  const std::pair<QLabel *, QLabel *> rows[] = {
      {lbl1, lblTime}, {lbl2, lblLength}, {lbl3, lblSize}, {lbl4, lblProgress}, {lbl5, lblOutput}};
  int r = 0;
  for (auto [caption, value] : rows) {
    values->addWidget(caption, r, 0);
    values->addWidget(value, r++, 1);
  }
  values->setColumnStretch(1, 1);
  values->addWidget(imgbtnSnap, 0, 2, 2, 1, Qt::AlignRight | Qt::AlignTop);

  auto *picture = new QHBoxLayout;
  picture->addStretch();
  picture->addWidget(imgPreview);
  picture->addStretch();

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton *button : {btnPause, btnResume, btnCancel}) buttons->addWidget(button);

  auto *all = new QVBoxLayout(this);
  all->addWidget(mem1);
  all->addLayout(picture);
  all->addLayout(values);
  all->addWidget(progbarFile);
  all->addWidget(ckShutDown);
  all->addWidget(ckOpen);
  all->addStretch();
  all->addLayout(buttons);
  setFixedSize(SizeThatFits(*this, {450, 490}));

  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  connect(tmr1, &QTimer::timeout, this, [this] { Guarded([this] { PickNotice(); }); });
  connect(btnPause, &QPushButton::clicked, this, [this] { Guarded([this] { FSession.Pause(); }); });
  connect(btnResume, &QPushButton::clicked, this,
          [this] { Guarded([this] { FSession.Resume(); }); });
  connect(&FSession, &TBatchSession::stateChanged, this, &TfrmProgress::FollowState);
  FPictureWidth = imgPreview->width();
  FPictureHeight = imgPreview->height();
  FSession.SetPictureHandler([this](int, const TBitmap &bitmap) { PictureMade(bitmap); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(imgbtnSnap, &QToolButton::clicked, this,
          [this] { Guarded([this] { imgbtnSnapClick(); }); });
  for (QCheckBox *box : {ckShutDown, ckOpen})
    connect(box, &QCheckBox::toggled, this, [this] { Guarded([this] { AfterBatchChanged(); }); });
}

TfrmProgress::~TfrmProgress() {
  // Waits for a picture being made on the conversion thread.
  FSession.SetPictureHandler(nullptr);
}

void TfrmProgress::showEvent(QShowEvent *event) {
  TSkinnedDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmProgress::FormShow() {
  FClosing = false;
  for (QLabel *label : {lblTime, lblSize, lblLength, lblProgress, lblOutput}) label->clear();
  ckOpen->setChecked(true);
  // Powering off is asked for anew for every batch: a tick left from the last one would switch
  // the machine off after a batch started for something else.
  ckShutDown->setChecked(false);
  AfterBatchChanged();
  btnPause->setEnabled(true);
  btnResume->setEnabled(false);
  FPicture = QImage(PictureWidth, PictureHeight, QImage::Format_RGB888);
  FPicture.fill(PictureBackground);
  FFrame = QImage();  // no picture of an earlier batch
  {
    std::lock_guard lock(FPostedLock);
    FPostedFrame = FPostedPicture = QImage();
  }
  imgPreview->setPixmap(QPixmap::fromImage(FPicture));
  progbarFile->setValue(0);
  Timer1->start();
  PickNotice();
  tmr1->start();
}

void TfrmProgress::ShowProgress(const TProgressTexts &texts, int percent) {
  if (percent >= 0) progbarFile->setValue(percent);
  lblTime->setText(ShownText(texts.Time));
  lblLength->setText(ShownText(texts.Length));
  lblSize->setText(Q(texts.Size));
  lblProgress->setText(Q(texts.Position));
  // A name still too wide for the label loses its middle, so that the end with the file's
  // name and extension stays in view.
  const QString file = Q(texts.File);
  lblOutput->setText(lblOutput->fontMetrics().elidedText(file, Qt::ElideMiddle, OutputWidth));
  lblOutput->setToolTip(file);
}

void TfrmProgress::ShowFileFinished() {
  progbarFile->setValue(100);
}

void TfrmProgress::BatchEnded() {
  if (!FClosing && isVisible()) done(Accepted);
}

void TfrmProgress::done(int result) {
  if (FClosing) return;
  FClosing = true;
  Guarded([this] { FSession.Stop(); });
  Timer1->stop();
  tmr1->stop();
  TSkinnedDialog::done(result);
}

// On the conversion thread, for every picture of the running task: the frame is copied and
// scaled into the picture's size with its shape kept, and both are left for the window, which
// takes them with its timer: the conversion waits only for the hand-over, never for the window's
// thread.  A picture the window has not taken yet is replaced by the next one.
void TfrmProgress::PictureMade(const TBitmap &bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  QImage frame(bitmap.Width(), bitmap.Height(), QImage::Format_BGR888);
  const size_t bytes = static_cast<size_t>(bitmap.Width()) * 3;
  for (int y = 0; y < bitmap.Height(); ++y)
    std::memcpy(frame.scanLine(y), bitmap.ScanLine(y), bytes);
  const int width = FPictureWidth, height = FPictureHeight;
  QImage picture(width, height, QImage::Format_RGB888);
  picture.fill(PictureBackground);
  const TFitRect fit = FitPicture(frame.width(), frame.height(), width, height);
  {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(fit.Left, fit.Top, fit.Right - fit.Left, fit.Bottom - fit.Top), frame);
  }
  std::lock_guard lock(FPostedLock);
  FPostedFrame = std::move(frame);
  FPostedPicture = std::move(picture);
}

// The latest picture of the conversion; the label is repainted only when it changed.
void TfrmProgress::Timer1Timer() {
  QImage frame, picture;
  {
    std::lock_guard lock(FPostedLock);
    frame = std::exchange(FPostedFrame, QImage());
    picture = std::exchange(FPostedPicture, QImage());
  }
  if (picture.isNull()) return;
  FFrame = std::move(frame);
  if (picture == FPicture) return;
  FPicture = std::move(picture);
  imgPreview->setPixmap(QPixmap::fromImage(FPicture));
}

void TfrmProgress::PickNotice() {
  static const std::vector<TAdInfo> none;
  const std::vector<TAdInfo> &notices = FSources.Notices ? *FSources.Notices : none;
  FNotice = {};
  if (!notices.empty()) {
    static std::mt19937 random{std::random_device{}()};
    FNotice = notices[std::uniform_int_distribution<size_t>(0, notices.size() - 1)(random)];
  }
  mem1->setText(ShownText(FNotice.Info));
  mem1->setStyleSheet("color: blue;");
}

bool TfrmProgress::eventFilter(QObject *watched, QEvent *event) {
  if (watched == mem1 && event->type() == QEvent::MouseButtonRelease)
    Guarded([this] { mem1Click(); });
  return TSkinnedDialog::eventFilter(watched, event);
}

void TfrmProgress::mem1Click() {
  if (!IsWebLink(FNotice.Url)) return;
  const std::string version = FSources.NewVersion ? *FSources.NewVersion : "";
  FSources.Dialogs->OpenInDesktop(
      Q(FNotice.Url + "?" + FSources.Global->ProductTitle() + " " + version));
}

// Pause and Resume as the session's state allows them.
void TfrmProgress::FollowState(TBatchState state) {
  btnPause->setEnabled(state == TBatchState::Running);
  btnResume->setEnabled(state == TBatchState::Paused);
}

void TfrmProgress::AfterBatchChanged() {
  FSession.SetAfterBatch({ckOpen->isChecked(), ckShutDown->isChecked()});
}

void TfrmProgress::imgbtnSnapClick() {
  if (FFrame.isNull()) return;
  TSettingsStore store(FSources.Global->SettingsIniPath());
  TDialogQuestions questions(*FSources.Dialogs, this, Q(FSources.Global->ProductTitle()));
  SaveSnapshots(FFrame.copy(), FPicture.copy(), store, questions);
}
