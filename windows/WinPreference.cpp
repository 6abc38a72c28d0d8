#include "windows/WinPreference.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "gui/Application.h"
#include "gui/UserDialogs.h"
#include "gui/WindowSize.h"

namespace {

constexpr const char *PriorityItems[] = {
    QT_TRANSLATE_NOOP("TfrmPreference", "Idle"), QT_TRANSLATE_NOOP("TfrmPreference", "Normal"),
    QT_TRANSLATE_NOOP("TfrmPreference", "Lower"), QT_TRANSLATE_NOOP("TfrmPreference", "Lowest")};

QPushButton *Button(QWidget *parent, const QString &caption, const char *name) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QCheckBox *Check(QWidget *parent, const QString &caption, const char *name) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

}  // namespace

TfrmPreference::TfrmPreference(QWidget *owner, const TSkinManager &mainSkin,
                               std::string settingsIniPath, IUserDialogs &dialogs)
    : TSkinnedDialog(owner, mainSkin),
      FSettingsIniPath(std::move(settingsIniPath)),
      FDialogs(dialogs) {
  setObjectName("frmPreference");
  setWindowTitle(tr("Preference"));

  auto *snapshot = new QGroupBox(tr("Snapshot"), this);
  edtSnapDirectory = new QLineEdit(snapshot);
  edtSnapDirectory->setObjectName("edtSnapDirectory");
  edtSnapDirectory->setReadOnly(true);
  // A box the user cannot type in looks it.
  edtSnapDirectory->setBackgroundRole(QPalette::Light);
  btnBrows = Button(snapshot, tr("&Browse"), "btnBrows");
  btnOpen = Button(snapshot, tr("&Open"), "btnOpen");
  ckSmallSize = Check(snapshot, tr("Small Size"), "ckSmallSize");
  ckFullSize = Check(snapshot, tr("Full Size"), "ckFullSize");
  ckBmp = Check(snapshot, "BMP", "ckBmp");
  ckJpg = Check(snapshot, "JPG", "ckJpg");
  spedCmp = new QSpinBox(snapshot);
  spedCmp->setObjectName("spedCmp");
  spedCmp->setRange(TPreferences::MinQuality, TPreferences::MaxQuality);
  spedCmp->setToolTip(
      tr("JPEG compression quality, from 1 to 100: a higher value keeps more of the picture and "
         "makes a larger file, a lower one a smaller file with less detail."));
  trcCmp = new QSlider(Qt::Horizontal, snapshot);
  trcCmp->setObjectName("trcCmp");
  trcCmp->setRange(TPreferences::MinQuality, TPreferences::MaxQuality);
  trcCmp->setTickPosition(QSlider::TicksBelow);
  trcCmp->setTickInterval(10);

  auto *grid = new QGridLayout(snapshot);
  grid->addWidget(new QLabel(tr("Snapshot folder:"), snapshot), 0, 0);
  auto *folder = new QHBoxLayout;
  folder->addWidget(edtSnapDirectory, 1);
  folder->addWidget(btnBrows);
  folder->addWidget(btnOpen);
  grid->addLayout(folder, 0, 1, 1, 3);
  grid->addWidget(new QLabel(tr("Snapshot size:"), snapshot), 1, 0);
  grid->addWidget(ckSmallSize, 1, 1);
  grid->addWidget(ckFullSize, 1, 2);
  grid->addWidget(new QLabel(tr("Snapshot format:"), snapshot), 2, 0);
  grid->addWidget(ckBmp, 2, 1);
  grid->addWidget(ckJpg, 2, 2);
  grid->addWidget(new QLabel(tr("Jpg Compression Quality:"), snapshot), 3, 0);
  grid->addWidget(spedCmp, 3, 1);
  grid->addWidget(trcCmp, 3, 2, 1, 2);
  auto *note = new QLabel(tr("(The higher the value, the better the image quality.)"), snapshot);
  note->setWordWrap(true);
  grid->addWidget(note, 4, 1, 1, 3);
  grid->setColumnStretch(2, 1);

  rdGrpPriority = new QGroupBox(tr("Work priority"), this);
  rdGrpPriority->setObjectName("rdGrpPriority");
  rdPriority = new QButtonGroup(this);
  auto *priorities = new QHBoxLayout(rdGrpPriority);
  for (int i = 0; i < 4; ++i) {
    auto *item = new QRadioButton(tr(PriorityItems[i]), rdGrpPriority);
    rdPriority->addButton(item, i);
    priorities->addWidget(item, 1);
  }

  ckCheckUpdates = Check(this, tr("Check for updates at start-up"), "ckCheckUpdates");

  QHBoxLayout *buttons = DefaultOkCancelRow(btnDefault, btnOk, btnCancel);

  auto *all = new QVBoxLayout(this);
  all->addWidget(snapshot);
  all->addWidget(rdGrpPriority);
  all->addWidget(ckCheckUpdates);
  all->addStretch();
  all->addLayout(buttons);

  connect(ckFullSize, &QCheckBox::clicked, this, [this] { PairClick(ckFullSize, ckSmallSize); });
  connect(ckSmallSize, &QCheckBox::clicked, this, [this] { PairClick(ckSmallSize, ckFullSize); });
  connect(ckBmp, &QCheckBox::clicked, this, [this] { PairClick(ckBmp, ckJpg); });
  connect(ckJpg, &QCheckBox::clicked, this, [this] {
    PairClick(ckJpg, ckBmp);
    SetCompressionEnabled(ckJpg->isChecked());
  });
  // The two controls show one value; the ranges keep it within 1..100.
  connect(trcCmp, &QSlider::valueChanged, spedCmp, &QSpinBox::setValue);
  connect(spedCmp, &QSpinBox::valueChanged, trcCmp, &QSlider::setValue);
  connect(btnBrows, &QPushButton::clicked, this, [this] { Guarded([this] { btnBrowsClick(); }); });
  connect(btnOpen, &QPushButton::clicked, this, [this] { Guarded([this] { btnOpenClick(); }); });
  connect(btnDefault, &QPushButton::clicked, this, [this] { btnDefaultClick(); });
  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
}

void TfrmPreference::showEvent(QShowEvent *event) {
  TSkinnedDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmPreference::FormShow() {
  // Wider with the desktop's font, so that the snapshot folder's name shows.
  resize(ScaledToFont(*this, 480), 390);
  ShowValues(TPreferences::Load(Store()));
}

void TfrmPreference::ShowValues(const TPreferenceValues &values) {
  ShowFolder(QString::fromStdString(values.SnapOutPutDir));
  ckFullSize->setChecked(values.FullSize);
  ckSmallSize->setChecked(values.SmallSize);
  ckBmp->setChecked(values.Bmp);
  ckJpg->setChecked(values.Jpg);
  SetCompressionEnabled(values.Jpg);
  spedCmp->setValue(values.JpgCmp);
  ckCheckUpdates->setChecked(values.CheckForUpdates);
  // An unknown priority selects no item.
  if (QAbstractButton *item = rdPriority->button(values.Priority)) {
    item->setChecked(true);
  } else if (QAbstractButton *checked = rdPriority->checkedButton()) {
    rdPriority->setExclusive(false);
    checked->setChecked(false);
    rdPriority->setExclusive(true);
  }
}

TPreferenceValues TfrmPreference::ShownValues() const {
  TPreferenceValues values;
  values.SnapOutPutDir = edtSnapDirectory->text().toStdString();
  values.FullSize = ckFullSize->isChecked();
  values.SmallSize = ckSmallSize->isChecked();
  values.Bmp = ckBmp->isChecked();
  values.Jpg = ckJpg->isChecked();
  values.JpgCmp = spedCmp->value();
  values.Priority = rdPriority->checkedId();
  values.CheckForUpdates = ckCheckUpdates->isChecked();
  return values;
}

void TfrmPreference::SetCompressionEnabled(bool enabled) {
  spedCmp->setEnabled(enabled);
  trcCmp->setEnabled(enabled);
}

void TfrmPreference::PairClick(QCheckBox *clicked, QCheckBox *other) {
  clicked->setChecked(TPreferences::KeepOneChecked(clicked->isChecked(), other->isChecked()));
}

void TfrmPreference::btnBrowsClick() {
  const QString folder = FDialogs.ChooseFolder(this, edtSnapDirectory->text());
  if (folder.isEmpty() || folder == edtSnapDirectory->text()) return;
  Store().SetSnapOutPutDir(folder.toStdString());
  ShowFolder(folder);
}

void TfrmPreference::ShowFolder(const QString &folder) {
  // The box is narrower than most paths: it shows the start, the tooltip the whole.
  edtSnapDirectory->setText(folder);
  edtSnapDirectory->setCursorPosition(0);
  edtSnapDirectory->setToolTip(folder);
}

void TfrmPreference::btnOpenClick() {
  if (edtSnapDirectory->text().size() <= 2) return;
  // The stored folder, which is the one snapshots go to; it is made when no snapshot was taken
  // yet, so that there is something to show.
  const std::string folder = Store().SnapOutPutDir();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  FDialogs.OpenInDesktop(QString::fromStdString(folder));
}

void TfrmPreference::btnDefaultClick() {
  ShowValues(TPreferences::Defaults());
}

void TfrmPreference::btnOkClick() {
  TSettingsStore store = Store();
  TPreferences::Save(ShownValues(), store);
  accept();
}
