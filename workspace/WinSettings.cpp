#include "workspace/WinSettings.h"

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

#include "workspace/Application.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/NumberText.h"
#include "workspace/ParameterBoxes.h"
#include "workspace/ProfileList.h"
#include "workspace/ProfileListBox.h"
#include "workspace/ProfileSettings.h"

namespace {

// The boxes in the order of the groups' grids: label, object name, editable, field, state.
struct TSettingsBox {
  const char *Label;
  const char *Name;
  bool Editable;
  QComboBox *TfrmSettings::*Box;
  TParamBoxState TPanelState::*State;
};
constexpr TSettingsBox Boxes[] = {
    {"Frame Size:", "cmbVideoSize", true, &TfrmSettings::cmbVideoSize, &TPanelState::VideoSize},
    {"Encoder:", "cmbVideoEncoder", false, &TfrmSettings::cmbVideoEncoder,
     &TPanelState::VideoEncoder},
    {"BitRate (Kbps):", "cmbVideoBitRate", true, &TfrmSettings::cmbVideoBitRate,
     &TPanelState::VideoBitRate},
    {"FrameRate (Fps):", "cmbFrameRate", false, &TfrmSettings::cmbFrameRate,
     &TPanelState::FrameRate},
    {"Zoom:", "cmbZoom", false, &TfrmSettings::cmbZoom, &TPanelState::Zoom},
    {"SampleRate (Hz):", "cmbSamplerate", true, &TfrmSettings::cmbSamplerate,
     &TPanelState::SampleRate},
    {"BitRate (Kbps):", "cmbAudioBitRate", true, &TfrmSettings::cmbAudioBitRate,
     &TPanelState::AudioBitRate},
    {"Encoder:", "cmbAudioEncoder", false, &TfrmSettings::cmbAudioEncoder,
     &TPanelState::AudioEncoder},
    {"Volume:", "cmbVolume", false, &TfrmSettings::cmbVolume, &TPanelState::Volume},
    {"Channel:", "cmbChannel", false, &TfrmSettings::cmbChannel, &TPanelState::Channel}};

const QColor ProfileBoxColour(246, 247, 248);

}  // namespace

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
  setWindowTitle("Settings");

  edt1 = new QLineEdit(this);
  edt1->setObjectName("edt1");
  edt1->setReadOnly(true);
  edt1->setTextMargins(4, 2, 0, 0);
  edt1->setFocusPolicy(Qt::NoFocus);  // a box to click, never to type in
  edt1->installEventFilter(this);
  imgbtn1 = new QToolButton(this);
  imgbtn1->setObjectName("imgbtn1");
  imgbtn1->setArrowType(Qt::DownArrow);
  imgbtn1->setFixedSize(20, 22);
  edt1->setFixedHeight(22);
  lst1 = new TProfileListBox(this);
  lst1->setObjectName("lst1");
  lst1->hide();
  for (QWidget *w : std::initializer_list<QWidget *>{edt1, lst1}) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, ProfileBoxColour);
    w->setPalette(palette);
  }

  auto *profile = new QHBoxLayout;
  profile->setSpacing(0);
  profile->addWidget(edt1, 1);
  profile->addWidget(imgbtn1);
  auto *top = new QHBoxLayout;
  top->addWidget(new QLabel("Output Format:", this));
  top->addLayout(profile, 1);

  grpVideo = ParameterGroup("Video Options", "grpVideo", 0);
  grpAudio = ParameterGroup("Audio Options", "grpAudio", 5);

  QHBoxLayout *buttons = DefaultOkCancelRow(btnDefault, btnOk, btnCancel);

  auto *all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(grpVideo);
  all->addWidget(grpAudio);
  all->addStretch();
  all->addLayout(buttons);

  connect(imgbtn1, &QToolButton::clicked, this, [this] { Guarded([this] { OpenList(); }); });
  connect(lst1, &TProfileListBox::profilePicked, this,
          [this](int row) { Guarded([&] { lst1Pick(row); }); });
  connect(lst1, &TProfileListBox::closeRequested, lst1, &QWidget::hide);
  // The list's height follows its rows as categories open and close.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(lst1->model(), signal, this, [this] { PlaceList(); });
  connect(btnDefault, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnDefaultClick(); }); });
  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
  // A press anywhere else, or the application losing the focus, closes the list.
  qApp->installEventFilter(this);
  connect(qApp, &QApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state != Qt::ApplicationActive) lst1->hide();
  });
}

TfrmSettings::~TfrmSettings() = default;

std::unique_ptr<TfrmSettings::TRules> TfrmSettings::Rules() {
  return std::make_unique<TRules>(FSettingsIniPath, FFormatIniPath, FQuestions);
}

QGroupBox *TfrmSettings::ParameterGroup(const char *caption, const char *name, int first) {
  auto *group = new QGroupBox(caption, this);
  group->setObjectName(name);
  auto *grid = new QGridLayout(group);
  for (int i = 0; i < 5; ++i) {
    const TSettingsBox &spec = Boxes[first + i];
    QComboBox *box = NewParameterBox(group, spec.Name, spec.Editable);
    this->*spec.Box = box;
    if (spec.Editable) box->installEventFilter(this);
    auto *label = new QLabel(spec.Label, group);
    label->setBuddy(box);
    grid->addWidget(label, i / 2, (i % 2) * 2);
    // The fifth box, alone in its row, takes the row.
    grid->addWidget(box, i / 2, (i % 2) * 2 + 1, 1, i == 4 ? 3 : 1);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

void TfrmSettings::showEvent(QShowEvent *event) {
  TSkinnedDialog::showEvent(event);
  Guarded([this] { FormShow(); });
}

void TfrmSettings::FormShow() {
  resize(475, 370);
  const auto rules = Rules();
  lst1->hide();
  lst1->SetRows(TProfileList::Build(rules->Store));
  FFormatCode = IntegerText(rules->Store.FormatCodeText()).value_or(-1);
  FFormatName = TProfileList::ShownFormatName(rules->Store);
  edt1->setText(QString::fromStdString(FFormatName));
  edt1->setCursorPosition(0);
  lst1->SelectRowOfText(edt1->text());
  ShowState(rules->Settings.Load(FFormatCode));
}

void TfrmSettings::ShowState(const TPanelState &state) {
  for (const TSettingsBox &spec : Boxes) ShowBox(this->*spec.Box, state.*spec.State);
}

TPanelState TfrmSettings::DialogState() const {
  TPanelState state;
  for (const TSettingsBox &spec : Boxes) state.*spec.State = BoxState(this->*spec.Box);
  return state;
}

void TfrmSettings::OpenList() {
  if (lst1->isVisible()) {
    lst1->hide();
    return;
  }
  lst1->SelectRowOfText(QString::fromStdString(FFormatName));
  PlaceList();
  lst1->show();
  lst1->raise();
  if (lst1->currentIndex().isValid())
    lst1->scrollTo(lst1->currentIndex(), QAbstractItemView::PositionAtCenter);
  lst1->setFocus();
}

void TfrmSettings::PlaceList() {
  // The list opens downward, its top one pixel above the profile box's bottom edge.
  const QPoint boxTop = edt1->mapTo(this, QPoint(0, 0));
  const int height = TProfileSettings::ListHeight(lst1->Rows().size());
  lst1->setGeometry(boxTop.x(), boxTop.y() + edt1->height() - 1, edt1->width() + imgbtn1->width(),
                    height);
}

void TfrmSettings::lst1Pick(int row) {
  const TProfileRow &picked = lst1->Rows().at(static_cast<size_t>(row));
  if (!picked.Info.IsProfile) return;
  FFormatName = picked.Text;
  FFormatCode = picked.Info.Code;
  lst1->hide();
  edt1->setText(QString::fromStdString(FFormatName));
  edt1->setCursorPosition(0);
  // Nothing is written: the boxes show the picked profile's stored choices.
  ShowState(Rules()->Settings.LoadPicked(FFormatCode));
}

bool TfrmSettings::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress && lst1->isVisible()) {
    bool inList = false;
    for (QObject *o = watched; o && !inList; o = o->parent())
      inList = o == lst1 || o == imgbtn1 || o == edt1;
    if (!inList) lst1->hide();
  }
  if (watched == edt1 &&
      (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
    Guarded([this] { OpenList(); });
    return true;
  }
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
    if (type == QEvent::FocusOut) {
      // Leaving the box for another control; a popup or another window taking the focus is
      // not leaving it.
      const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
        Guarded([&] { BoxLeft(box); });
    }
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
