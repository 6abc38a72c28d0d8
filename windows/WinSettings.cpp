#include "windows/WinSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/Application.h"
#include "gui/ParameterBoxes.h"
#include "gui/ProfileListBox.h"
#include "gui/ProfilePicker.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/NumberText.h"
#include "workspace/ProfileList.h"
#include "workspace/ProfileSettings.h"

struct TfrmSettings::TRules {
  TSettingsStore Store;
  TFormatCatalogue Catalogue;
  TProfileSettings Settings;
  TRules(const std::string &settings, const std::string &format, IJobQuestions &questions)
      : Store(settings), Catalogue(format), Settings(Catalogue, Store, questions) {}
};

TfrmSettings::TfrmSettings(QWidget *owner, const TSkinManager &mainSkin,
                           std::string settingsIniPath, std::string formatIniPath,
                           IUserDialogs &dialogs)
    : TSkinnedDialog(owner, mainSkin),
      FSettingsIniPath(std::move(settingsIniPath)),
      FFormatIniPath(std::move(formatIniPath)),
      FQuestions(dialogs, this, QApplication::applicationName()) {
  setObjectName("frmSettings");
  setWindowTitle(tr("Settings"));

  // The list opens downward, as wide as the box and its button.
  FPicker =
      new TProfilePicker(this, {"edt1", "imgbtn1", "lst1"}, TProfilePicker::TOpening::Downward, 0);
  edt1 = FPicker->Box();
  imgbtn1 = FPicker->Button();
  lst1 = FPicker->List();
  auto *top = new QHBoxLayout;
  top->addWidget(new QLabel(tr("Output Format:"), this));
  top->addWidget(FPicker, 1);

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

  QHBoxLayout *buttons = DefaultOkCancelRow(btnDefault, btnOk, btnCancel);

  auto *all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(grpVideo);
  all->addWidget(grpAudio);
  all->addStretch();
  all->addLayout(buttons);

  for (auto opening : {&TProfilePicker::buttonClicked, &TProfilePicker::boxClicked,
                       &TProfilePicker::boxDoubleClicked})
    connect(FPicker, opening, this, [this] { Guarded([this] { OpenList(); }); });
  connect(lst1, &TProfileListBox::profilePicked, this,
          [this](int row) { Guarded([&] { lst1Pick(row); }); });
  // The list's height follows its rows as categories open and close.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(lst1->model(), signal, this, [this] { PlaceList(); });
  connect(btnDefault, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnDefaultClick(); }); });
  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
}

TfrmSettings::~TfrmSettings() = default;

std::unique_ptr<TfrmSettings::TRules> TfrmSettings::Rules() {
  return std::make_unique<TRules>(FSettingsIniPath, FFormatIniPath, FQuestions);
}

void TfrmSettings::showEvent(QShowEvent *event) {
  TSkinnedDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmSettings::FormShow() {
  resize(475, 370);
  const auto rules = Rules();
  FPicker->HideList();
  lst1->SetRows(TProfileList::Build(rules->Store));
  FFormatCode = IntegerText(rules->Store.FormatCodeText()).value_or(-1);
  FFormatName = TProfileList::ShownFormatName(rules->Store);
  FPicker->SetText(QString::fromStdString(FFormatName));
  lst1->SelectRowOfText(edt1->text());
  ShowState(rules->Settings.Load(FFormatCode));
}

void TfrmSettings::ShowState(const TPanelState &state) {
  ShowGroupsState(FGroups, state);
}

TPanelState TfrmSettings::DialogState() const {
  return GroupsState(FGroups);
}

void TfrmSettings::OpenList() {
  if (FPicker->ListShown()) {
    FPicker->HideList();
    return;
  }
  lst1->SelectRowOfText(QString::fromStdString(FFormatName));
  FPicker->ShowList(TProfileSettings::ListHeight(lst1->Rows().size()));
}

void TfrmSettings::PlaceList() {
  // The list opens downward, its top one pixel above the profile box's bottom edge.
  FPicker->PlaceList(TProfileSettings::ListHeight(lst1->Rows().size()));
}

void TfrmSettings::lst1Pick(int row) {
  const TProfileRow &picked = lst1->Rows().at(static_cast<size_t>(row));
  if (!picked.Info.IsProfile) return;
  FFormatName = picked.Text;
  FFormatCode = picked.Info.Code;
  FPicker->HideList();
  FPicker->SetText(QString::fromStdString(FFormatName));
  // Nothing is written: the boxes show the picked profile's stored choices.
  ShowState(Rules()->Settings.LoadPicked(FFormatCode));
}

bool TfrmSettings::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  auto *box = qobject_cast<QComboBox *>(watched);
  if (box && box->window() == this && box->isEditable()) {
    if (type == QEvent::KeyPress) {
      bool dropped = false;
      Guarded([&] {
        dropped = ParameterKeyDropped(box, box == cmbVideoSize, *static_cast<QKeyEvent *>(event),
                                      FQuestions);
      });
      if (dropped) return true;
    }
    if (type == QEvent::FocusOut && LeavesTheBox(*static_cast<QFocusEvent *>(event)))
      Guarded([&] { BoxLeft(box); });
  }
  return TSkinnedDialog::eventFilter(watched, event);
}

void TfrmSettings::BoxLeft(QComboBox *box) {
  const auto rules = Rules();
  TParamBoxState state = BoxState(box);
  bool passed = true;
  if (box == cmbVideoSize)
    passed = rules->Settings.VideoSizeLeft(state);
  else if (box == cmbVideoBitRate)
    passed = rules->Settings.VideoBitRateLeft(state);
  else if (box == cmbSamplerate)
    passed = rules->Settings.SampleRateLeft(state);
  else if (box == cmbAudioBitRate)
    passed = rules->Settings.AudioBitRateLeft(state);
  ReflectBox(box, state);
  // A rejected or corrected text keeps the focus in its box.
  if (!passed) QTimer::singleShot(0, box, [box] { box->setFocus(); });
}

void TfrmSettings::btnDefaultClick() {
  TPanelState state = DialogState();
  Rules()->Settings.Default(FFormatCode, state);
  ShowState(state);
}

void TfrmSettings::btnOkClick() {
  Rules()->Settings.Save(FFormatCode, FFormatName, DialogState(), lst1->Rows());
  accept();
}
