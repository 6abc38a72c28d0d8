#include "workspace/mainwindow/WinMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <utility>

#include "editors/decoration/ConversionDecoration.h"
#include "editors/windows/WinCrop.h"
#include "editors/windows/WinTrim.h"
#include "editors/windows/WinWaterMark.h"
#include "gui/Application.h"
#include "gui/ProfileListBox.h"
#include "gui/ProfilePicker.h"
#include "gui/Translations.h"
#include "gui/VideoSurface.h"
#include "platform/Paths.h"
#include "services/UnicodeProtocol.h"
#include "skin/Artwork.h"
#include "skin/ItemDrawing.h"
#include "skin/TrackBar.h"
#include "windows/DesktopDialogs.h"
#include "windows/WinFileInfo.h"
#include "windows/WinPreference.h"
#include "windows/WinProgress.h"
#include "windows/WinSettings.h"
#include "workspace/ExceptionReport.h"
#include "workspace/NumberText.h"
#include "workspace/OutputFile.h"
#include "workspace/ParameterPanel.h"
#include "workspace/Preferences.h"
#include "workspace/ProfileList.h"
#include "workspace/ProgressReport.h"
#include "workspace/QueueStore.h"
#include "workspace/SourceFile.h"
#include "workspace/WindowPlacement.h"
#include "workspace/images/Snapshots.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/ParameterPanelView.h"
#include "workspace/mainwindow/WinAbout.h"
#include "workspace/mainwindow/WinShutDown.h"
#include "workspace/reading/SourceReader.h"
#include "workspace/update/UpdateCheck.h"

namespace {

constexpr int WindowWidth = DefaultWindowWidth, WindowHeight = DefaultWindowHeight;
constexpr int PreviewWidth = PreviewPictureWidth, PreviewHeight = PreviewPictureHeight;

TScreenRect RectOf(const QRect &rect) {
  return {rect.left(), rect.top(), rect.width(), rect.height()};
}

QString Q(const std::string &text) {
  return QString::fromStdString(text);
}

std::string S(const QString &text) {
  return text.toStdString();
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QAction *MenuEntry(QMenu *menu, const char *name, const QString &caption) {
  QAction *action = menu->addAction(caption);
  action->setObjectName(name);
  return action;
}

QLabel *Caption(const QString &text, QWidget *buddy) {
  auto *label = new QLabel(text, buddy->parentWidget());
  label->setBuddy(buddy);
  return label;
}

// The desktop's sequences for a command where it has them (several on some desktops), else the
// one chosen here; the menus show the first.
void SetKeys(QAction *action, QKeySequence::StandardKey standard, const QKeySequence &chosen) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
  if (keys.isEmpty()) keys << chosen;
  action->setShortcuts(keys);
}

// Keys for the commands a person uses most.  Delete reaches Remove only where no text field takes
// it first; Ctrl+Return and Ctrl+. have no standard sequence.
void AssignShortcuts(TfrmMain &window) {
  SetKeys(window.mnuAdd, QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O));
  SetKeys(window.mnuRemove, QKeySequence::Delete, QKeySequence(Qt::Key_Delete));
  window.mnuStart->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
  SetKeys(window.mnuPreference, QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma));
  SetKeys(window.mnuHelpItem, QKeySequence::HelpContents, QKeySequence(Qt::Key_F1));
  SetKeys(window.mnuExit, QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
  // The preview has no menu: its button tells the key in its hint.
  const QKeySequence stop(Qt::CTRL | Qt::Key_Period);
  window.btnPreviewStop->setShortcut(stop);
  window.btnPreviewStop->setToolTip(QStringLiteral("%1 (%2)").arg(
      window.btnPreviewStop->toolTip(), stop.toString(QKeySequence::NativeText)));
}

// A warning in the window's language, under the caption every warning of the window has.
void ShowWarning(IUserDialogs &dialogs, QWidget *parent, const QString &text) {
  dialogs.ShowMessage(parent, ShownText(WarningCaption), text, TMessageIcon::Warning);
}

// A row's source replaced by a pipe or a device since it was added would hang the player's or
// the probe's open: the user is told instead, and nothing opens it.
bool SourceRefused(IUserDialogs &dialogs, QWidget *parent, const std::string &file) {
  const std::string why = SourceFileRefusal(file);
  if (why.empty()) return false;
  ShowWarning(dialogs, parent, ShownText(why));
  return true;
}

}  // namespace

// Creation

TfrmMain::TfrmMain(IUserDialogs *dialogs)
    : FOwnDialogs(dialogs ? nullptr : std::make_unique<TDesktopDialogs>()),
      FDialogs(dialogs ? *dialogs : *FOwnDialogs) {
  setObjectName("frmMain");
  // 1. The global object and the application title.
  FGlobal = std::make_unique<TGlobalObject>();
  QApplication::setApplicationName(Q(FGlobal->ProductTitle()));
  FQuestions = std::make_unique<TDialogQuestions>(FDialogs, this, Q(FGlobal->ProductTitle()));
  // What the settings store could not do (a damaged, read-only or unwritable file) is said once,
  // from the window loop: it may be met on any thread, and in the middle of a handler.
  SetStoreNoticeHandler([this](const std::string &text) {
    QMetaObject::invokeMethod(
        this, [this, text] { FQuestions->ShowMessage(text, WarningCaption); },
        Qt::QueuedConnection);
  });
  setWindowIcon(ProductIcon());
  if (auto *desktop = dynamic_cast<TDesktopDialogs *>(FOwnDialogs.get())) desktop->SetSkin(&FSkin);
  CreateControls();
  AssignShortcuts(*this);
  ConnectHandlers();
  ConnectSession();
  KeepQueue();
  FReader = std::make_unique<TSourceReader>(
      [this](const std::vector<std::string> &files) { Guarded([&] { FilesWalked(files); }); },
      [this](int id, const std::optional<int64_t> &duration) {
        Guarded([&] { FileProbed(id, duration); });
      });
  // 2. The stored theme; an index outside 0..6 keeps "Default".
  FSkin.SetThemeIndex(Store().SkinIndex());
  ApplyTheme();
  // What a killed run of either program left under a working name in the output folder goes.
  for (const std::filesystem::path &left : RemoveAbandonedWorkingFiles(Store().OutPutDir()))
    std::fprintf(stderr, "morvane: %s\n", AbandonedWorkingFileNote(left).c_str());
  // 3. Exceptions that escape a handler are reported by this window.
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->SetExceptionHandler([this](std::exception_ptr error) { ApplicationException(error); });
  // 4. The player's libraries.  A failure is only logged: the window opens all the same, and
  // playing or converting reports it later.
  if (!FFPlayer.AVLibLoaded() && !FFPlayer.LoadAVLib(paths::LibAVFolder().wstring()))
    lstLog->addItem(Q(FFPlayer.LastErrMsg()));
}

TfrmMain::~TfrmMain() {
  SetStoreNoticeHandler(nullptr);
  frmProgress.reset();  // it watches the session
  FSession.reset();     // stops a running batch and gives the component's events back
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->SetExceptionHandler(nullptr);
  CCAVC.SetOnCustomHook(nullptr);
  CCAVC.SetOnPreviewBitmap(nullptr);
  CCAVC.SetOnProgress(nullptr);
  CCAVC.SetOnTerminate(nullptr);
  // While the controls are still there: the player's last events may reach them as it stops.
  PreviewPanel->Release();
}

void TfrmMain::CreateMenus() {
  QMenuBar *bar = menuBar();
  mnuFile = bar->addMenu(tr("&File"));
  mnuAdd = MenuEntry(mnuFile, "mnuAdd", tr("&Add"));
  mnuRemove = MenuEntry(mnuFile, "mnuRemove", tr("&Remove"));
  mnuClear = MenuEntry(mnuFile, "mnuClear", tr("&Clear"));
  mnuStart = MenuEntry(mnuFile, "mnuStart", tr("&Start"));
  mnuFile->addSeparator();
  mnuSettings = MenuEntry(mnuFile, "mnuSettings", tr("Se&ttings"));
  mnuSettings->setVisible(false);
  mnuExit = MenuEntry(mnuFile, "mnuExit", tr("&Exit"));

  mnuEdit = bar->addMenu(tr("&Edit"));
  mnuCrop = MenuEntry(mnuEdit, "mnuCrop", tr("&Crop"));
  mnuTrim = MenuEntry(mnuEdit, "mnuTrim", tr("&Trim"));
  mnuWaterMark = MenuEntry(mnuEdit, "mnuWaterMark", tr("&Video Effect && Water Mark"));
  mnuEdit->addSeparator();
  mnuCheckAll = MenuEntry(mnuEdit, "mnuCheckAll", tr("&Check All"));
  mnuUncheckAll = MenuEntry(mnuEdit, "mnuUncheckAll", tr("&Uncheck All"));
  mnuReverseCheck = MenuEntry(mnuEdit, "mnuReverseCheck", tr("&Reverse Check"));
  mnuEdit->addSeparator();
  mnuCheck = MenuEntry(mnuEdit, "mnuCheck", tr("C&heck"));
  mnuUncheck = MenuEntry(mnuEdit, "mnuUncheck", tr("U&ncheck"));

  mnuTools = bar->addMenu(tr("&Tools"));
  mnuPreference = MenuEntry(mnuTools, "mnuPreference", tr("&Preference"));
  mnuSkin = mnuTools->addMenu(tr("&Skin"));
  mnuSkin->setObjectName("mnuSkin");
  for (int i = 0; i < TSkinManager::ThemeCount; ++i) {
    mnuSkinItems[static_cast<size_t>(i)] = mnuSkin->addAction(
        QCoreApplication::translate("TSkinManager", TSkinManager::Theme(i).Name));
    mnuSkinItems[static_cast<size_t>(i)]->setObjectName(QString("mnuSkin%1").arg(i));
    mnuSkinItems[static_cast<size_t>(i)]->setCheckable(true);
  }

  mnuRelated = bar->addMenu(tr("Related Software"));
  for (const TRelatedProduct &product : RelatedSoftware()) {
    QAction *entry = mnuRelated->addAction(product.Caption);
    const QString url = product.Url;
    connect(entry, &QAction::triggered, this,
            [this, url] { Guarded([&] { FDialogs.OpenInDesktop(url); }); });
  }

  mnuHelp = bar->addMenu(tr("&Help"));
  mnuHelpItem = MenuEntry(mnuHelp, "mnuHelpItem", tr("&Help"));
  mnuHelp->addSeparator();
  mnuWebSite = MenuEntry(mnuHelp, "mnuWebSite", tr("&Web Site"));
  mnuSupport = MenuEntry(mnuHelp, "mnuSupport", tr("&Support and Contact"));
  mnuAbout = MenuEntry(mnuHelp, "mnuAbout", tr("&About"));

  // The list's context menu, also dropped down by the "&Edit" button.
  pmFiles = new QMenu(this);
  pmFiles->setObjectName("pmFiles");
  pmCrop = MenuEntry(pmFiles, "pmCrop", tr("&Crop"));
  pmTrim = MenuEntry(pmFiles, "pmTrim", tr("&Trim"));
  pmWaterMark = MenuEntry(pmFiles, "pmWaterMark", tr("&Video Effect && Water Mark"));
  pmFiles->addSeparator();
  pmAdd = MenuEntry(pmFiles, "pmAdd", tr("Add"));
  pmRemove = MenuEntry(pmFiles, "pmRemove", tr("Remove"));
  pmClear = MenuEntry(pmFiles, "pmClear", tr("Clear"));
  pmStart = MenuEntry(pmFiles, "pmStart", tr("Start"));
  pmFiles->addSeparator();
  pmVideoInfo = MenuEntry(pmFiles, "pmVideoInfo", tr("Video Information"));
  pmFiles->addSeparator();
  pmPlay = MenuEntry(pmFiles, "pmPlay", tr("&Play"));
  pmShowInFolder = MenuEntry(pmFiles, "pmShowInFolder", tr("Show in &Folder"));
}

QWidget *TfrmMain::CreateToolbar() {
  auto *toolbar = new QWidget(this);
  auto *row = new QHBoxLayout(toolbar);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  struct TTool {
    QPushButton *TfrmMain::*Field;
    const char *Name;
    QString Caption;
    TToolGlyph Glyph;
  };
  // The buttons' access keys are the window's, beside the menu titles': their translations
  // choose keys of their own.
  const TTool tools[] = {
      {&TfrmMain::btnAdd, "btnAdd", tr("&Add", "button"), TToolGlyph::Add},
      {&TfrmMain::btnRemove, "btnRemove", tr("&Remove", "button"), TToolGlyph::Remove},
      {&TfrmMain::btnClear, "btnClear", tr("&Clear", "button"), TToolGlyph::Clear},
      {&TfrmMain::btnEdit, "btnEdit", tr("&Edit", "button"), TToolGlyph::Edit},
      {&TfrmMain::btnStart, "btnStart", tr("&Start", "button"), TToolGlyph::Start}};
  for (const TTool &tool : tools) {
    QPushButton *button = Button(toolbar, tool.Name, tool.Caption);
    FGlyphButtons.emplace_back(button, tool.Glyph);
    button->setIconSize(QSize(18, 18));
    button->setMinimumSize(84, 30);
    row->addWidget(button);
    this->*tool.Field = button;
  }
  btnSettings = Button(toolbar, "btnSettings", tr("&Settings", "button"));
  btnStop = Button(toolbar, "btnStop", tr("Stop"));
  btnPause = Button(toolbar, "btnPause", tr("Pause"));
  btnResume = Button(toolbar, "btnResume", tr("Resume"));
  for (QPushButton *hidden : {btnSettings, btnStop, btnPause, btnResume}) {
    hidden->setVisible(false);
    hidden->setEnabled(hidden == btnSettings);
    row->addWidget(hidden);
  }
  row->addStretch();
  btnExit = Button(toolbar, "btnExit", tr("&Exit", "button"));
  FGlyphButtons.emplace_back(btnExit, TToolGlyph::Exit);
  btnExit->setIconSize(QSize(18, 18));
  btnExit->setMinimumSize(84, 30);
  row->addWidget(btnExit);
  // Nothing to remove, clear or start until files are added.
  for (QPushButton *button : {btnRemove, btnClear, btnStart}) button->setEnabled(false);
  return toolbar;
}

TPreviewParts TfrmMain::PreviewParts() {
  TPreviewParts parts;
  parts.Layout = TPreviewLayout::Main;
  parts.Picture = QSize(PreviewWidth, PreviewHeight);
  parts.PictureName = "pnlPreview";
  parts.BarName = "tbPosition";
  parts.PlayName = "btnPlay";
  parts.PauseName = "btnPreviewPause";
  parts.StopName = "btnPreviewStop";
  parts.SnapshotName = "btnSnapshot";
  parts.PositionName = "lblPosition";
  parts.LengthName = "lblDuration";
  return parts;
}

QWidget *TfrmMain::CreatePreviewPanel() {
  auto *group = new QGroupBox(tr("Preview"), this);
  group->setObjectName("grpPreview");
  pnlPreview = PreviewPanel->Picture;
  tbPosition = PreviewPanel->Bar;
  lblPosition = PreviewPanel->Position;
  lblDuration = PreviewPanel->Length;
  btnPlay = PreviewPanel->Play;
  btnPreviewPause = PreviewPanel->Pause;
  btnPreviewStop = PreviewPanel->Stop;
  btnSnapshot = PreviewPanel->Snapshot;
  ckMute = PreviewPanel->Mute;
  tbVolume = PreviewPanel->Volume;
  for (QLabel *label : {lblPosition, lblDuration}) label->setText(StoppedTimeText);
  for (const auto &glyphButton : PreviewPanel->GlyphButtons()) FGlyphButtons.push_back(glyphButton);
  auto *column = new QVBoxLayout(group);
  column->setContentsMargins(5, 6, 5, 5);
  column->addWidget(PreviewPanel);
  // As wide as the picture, which grows with the window, and the controls under it need.
  group->setMinimumWidth(PreviewWidth + 14);
  group->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  return group;
}

QGroupBox *TfrmMain::CreateOutputGroup() {
  grpOutput = new QGroupBox(tr("Output Format"), this);
  grpOutput->setObjectName("grpOutput");
  // The profile list opens upward, over the conversion list, wide enough for the long names.
  ProfilePicker = new TProfilePicker(grpOutput, {"cmbFormat", "btnFormatDrop", "lbFormat"},
                                     TProfilePicker::TOpening::Upward, 380);
  cmbFormat = ProfilePicker->Box();
  btnFormatDrop = ProfilePicker->Button();
  lbFormat = ProfilePicker->List();
  btnDefault = Button(grpOutput, "btnDefault", tr("Default"));
  edtOutPutDir = new QLineEdit(grpOutput);
  edtOutPutDir->setObjectName("edtOutPutDir");
  edtOutPutDir->setReadOnly(true);
  btnOpen = Button(grpOutput, "btnOpen", tr("Open"));
  btnBrows = Button(grpOutput, "btnBrows", tr("Browse"));
  btnStart2 = Button(grpOutput, "btnStart2", tr("&Start", "beside the profile"));
  FGlyphButtons.emplace_back(btnStart2, TToolGlyph::Start);
  btnStart2->setIconSize(QSize(20, 20));
  btnStart2->setMinimumSize(84, 50);
  // Small buttons, so that the profile box gets the width of the long profile names.
  for (QPushButton *button : {btnDefault, btnOpen, btnBrows}) {
    button->setStyleSheet("padding: 3px 4px;");
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 14);
  }
  btnStart2->setEnabled(false);

  // The profile box reaches over the "Open" column, so that long profile names show.
  auto *grid = new QGridLayout(grpOutput);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(5);
  grid->addWidget(Caption(tr("Profile:"), cmbFormat), 0, 0);
  grid->addWidget(ProfilePicker, 0, 1, 1, 2);
  grid->addWidget(btnDefault, 0, 3);
  grid->addWidget(Caption(tr("Output Folder:"), edtOutPutDir), 1, 0);
  grid->addWidget(edtOutPutDir, 1, 1);
  grid->addWidget(btnOpen, 1, 2);
  grid->addWidget(btnBrows, 1, 3);
  grid->addWidget(btnStart2, 0, 4, 2, 1);
  grid->setColumnStretch(1, 1);
  return grpOutput;
}

void TfrmMain::CreateParameterPanel() {
  ParameterPanel =
      new TParameterPanelView(this, FGlobal->SettingsIniPath(), FGlobal->FormatIniPath(),
                              *FQuestions, [this] { return FormatCodeNumber(); });
  grpVideo = ParameterPanel->grpVideo;
  grpAudio = ParameterPanel->grpAudio;
  for (auto [field, box] : {std::pair{&TfrmMain::cmbVideoSize, ParameterPanel->cmbVideoSize},
                            std::pair{&TfrmMain::cmbVideoEncoder, ParameterPanel->cmbVideoEncoder},
                            std::pair{&TfrmMain::cmbVideoBitRate, ParameterPanel->cmbVideoBitRate},
                            std::pair{&TfrmMain::cmbFrameRate, ParameterPanel->cmbFrameRate},
                            std::pair{&TfrmMain::cmbZoom, ParameterPanel->cmbZoom},
                            std::pair{&TfrmMain::cmbSamplerate, ParameterPanel->cmbSamplerate},
                            std::pair{&TfrmMain::cmbAudioBitRate, ParameterPanel->cmbAudioBitRate},
                            std::pair{&TfrmMain::cmbAudioEncoder, ParameterPanel->cmbAudioEncoder},
                            std::pair{&TfrmMain::cmbChannel, ParameterPanel->cmbChannel},
                            std::pair{&TfrmMain::cmbVolume, ParameterPanel->cmbVolume}})
    this->*field = box;
}

void TfrmMain::CreateControls() {
  CreateMenus();
  auto *central = new QWidget(this);
  central->setObjectName("pnlMain");
  setCentralWidget(central);

  lvFiles = new TFilesListView(FFiles, central);
  lvFiles->setObjectName("lvFiles");

  auto *left = new QVBoxLayout;
  left->setSpacing(4);
  left->addWidget(lvFiles, 1);
  left->addWidget(CreateOutputGroup());
  auto *middle = new QHBoxLayout;
  middle->setSpacing(6);
  middle->addLayout(left, 1);
  middle->addWidget(CreatePreviewPanel());
  CreateParameterPanel();

  auto *all = new QVBoxLayout(central);
  all->setContentsMargins(6, 4, 6, 6);
  all->setSpacing(4);
  all->addWidget(CreateToolbar());
  all->addLayout(middle, 1);
  all->addWidget(ParameterPanel);

  cmbOutPutFormat = new QComboBox(central);
  cmbOutPutFormat->setObjectName("cmbOutPutFormat");
  cmbOutPutFormat->hide();
  lstLog = new QListWidget(central);
  lstLog->setObjectName("lstLog");
  lstLog->hide();

  resize(WindowWidth, WindowHeight);
  // The window may always go back to what it needs with the picture at its smallest: a grown
  // picture shrinks with the window (FitPreviewPicture) instead of holding the window wide.
  setMinimumSize(minimumSizeHint());
}

template <class Sender, class Signal>
void TfrmMain::On(Sender *sender, Signal signal, void (TfrmMain::*handler)()) {
  connect(sender, signal, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
}

void TfrmMain::ConnectHandlers() {
  for (auto [button, action, handler] :
       {std::tuple{btnAdd, mnuAdd, &TfrmMain::btnAddClick},
        std::tuple{btnRemove, mnuRemove, &TfrmMain::btnRemoveClick},
        std::tuple{btnClear, mnuClear, &TfrmMain::btnClearClick},
        std::tuple{btnStart, mnuStart, &TfrmMain::btnStartClick},
        std::tuple{btnSettings, mnuSettings, &TfrmMain::btnSettingsClick},
        std::tuple{btnExit, mnuExit, &TfrmMain::btnExitClick}}) {
    On(button, &QPushButton::clicked, handler);
    On(action, &QAction::triggered, handler);
  }
  On(btnStart2, &QPushButton::clicked, &TfrmMain::btnStartClick);
  On(btnEdit, &QPushButton::clicked, &TfrmMain::btnEditClick);
  On(btnStop, &QPushButton::clicked, &TfrmMain::btnStopClick);
  On(btnPause, &QPushButton::clicked, &TfrmMain::btnPauseClick);
  On(btnResume, &QPushButton::clicked, &TfrmMain::btnResumeClick);

  On(mnuEdit, &QMenu::aboutToShow, &TfrmMain::mnuEditPopup);
  On(pmFiles, &QMenu::aboutToShow, &TfrmMain::pmFilesPopup);
  for (auto [action, handler] : {std::pair{mnuCrop, &TfrmMain::mnuCropClick},
                                 std::pair{pmCrop, &TfrmMain::mnuCropClick},
                                 std::pair{mnuTrim, &TfrmMain::mnuTrimClick},
                                 std::pair{pmTrim, &TfrmMain::mnuTrimClick},
                                 std::pair{mnuWaterMark, &TfrmMain::mnuWaterMarkClick},
                                 std::pair{pmWaterMark, &TfrmMain::mnuWaterMarkClick},
                                 std::pair{pmAdd, &TfrmMain::btnAddClick},
                                 std::pair{pmRemove, &TfrmMain::btnRemoveClick},
                                 std::pair{pmClear, &TfrmMain::btnClearClick},
                                 std::pair{pmStart, &TfrmMain::btnStartClick},
                                 std::pair{pmVideoInfo, &TfrmMain::mnuVideoInfoClick},
                                 std::pair{pmPlay, &TfrmMain::pmPlayClick},
                                 std::pair{pmShowInFolder, &TfrmMain::pmShowInFolderClick},
                                 std::pair{mnuCheckAll, &TfrmMain::mnuCheckAllClick},
                                 std::pair{mnuUncheckAll, &TfrmMain::mnuUncheckAllClick},
                                 std::pair{mnuReverseCheck, &TfrmMain::mnuReverseCheckClick},
                                 std::pair{mnuCheck, &TfrmMain::mnuCheckClick},
                                 std::pair{mnuUncheck, &TfrmMain::mnuUncheckClick},
                                 std::pair{mnuPreference, &TfrmMain::mnuPreferenceClick},
                                 std::pair{mnuHelpItem, &TfrmMain::mnuHelpClick},
                                 std::pair{mnuWebSite, &TfrmMain::mnuWebSiteClick},
                                 std::pair{mnuSupport, &TfrmMain::mnuSupportClick},
                                 std::pair{mnuAbout, &TfrmMain::mnuAboutClick}})
    On(action, &QAction::triggered, handler);
  On(mnuSkin, &QMenu::aboutToShow, &TfrmMain::mnuSkinPopup);
  for (int i = 0; i < TSkinManager::ThemeCount; ++i)
    connect(mnuSkinItems[static_cast<size_t>(i)], &QAction::triggered, this,
            [this, i] { Guarded([&] { mnuSkinClick(i); }); });

  connect(lvFiles, &TFilesListView::contextMenuRequested, this,
          [this](const QPoint &at) { Guarded([&] { lvFilesMouseDown(at); }); });
  connect(lvFiles, &TFilesListView::checkClicked, this,
          [this](int row) { Guarded([&] { lvFilesCheckClick(row); }); });
  connect(lvFiles, &TFilesListView::filesDropped, this,
          [this](const QStringList &paths) { Guarded([&] { lvFilesDragDrop(paths); }); });
  On(lvFiles, &TFilesListView::deletePressed, &TfrmMain::btnRemoveClick);
  On(lvFiles, &TFilesListView::escapePressed, &TfrmMain::CancelAdding);
  On(lvFiles, &QAbstractItemView::doubleClicked, &TfrmMain::lvFilesDblClick);
  On(btnOpen, &QPushButton::clicked, &TfrmMain::btnOpenClick);
  On(btnBrows, &QPushButton::clicked, &TfrmMain::btnBrowsClick);
  On(edtOutPutDir, &QLineEdit::textChanged, &TfrmMain::edtOutPutDirChange);
  connect(cmbOutPutFormat, &QComboBox::activated, this,
          [this](int index) { Guarded([&] { Store().SetOutPutFormat(index); }); });

  On(cmbFormat, &QLineEdit::textChanged, &TfrmMain::cmbFormatChange);
  On(ProfilePicker, &TProfilePicker::buttonClicked, &TfrmMain::btnFormatDropClick);
  On(ProfilePicker, &TProfilePicker::boxClicked, &TfrmMain::cmbFormatClick);
  On(ProfilePicker, &TProfilePicker::boxDoubleClicked, &TfrmMain::btnFormatDropClick);
  On(lbFormat, &TProfileListBox::listClicked, &TfrmMain::lbFormatClick);
  connect(lbFormat, &TProfileListBox::profilePicked, this,
          [this](int row) { Guarded([&] { lbFormatPick(row); }); });

  connect(ParameterPanel, &TParameterPanelView::videoCopyChanged, this,
          [this](bool, const QString &hint) { ShowStreamCopy(hint); });
  On(btnDefault, &QPushButton::clicked, &TfrmMain::btnDefaultClick);

  On(btnPlay, &QPushButton::clicked, &TfrmMain::btnPlayClick);
  On(btnPreviewPause, &QPushButton::clicked, &TfrmMain::btnPreviewPauseClick);
  On(btnPreviewStop, &QPushButton::clicked, &TfrmMain::btnPreviewStopClick);
  On(btnSnapshot, &QPushButton::clicked, &TfrmMain::btnSnapshotClick);
  On(tbVolume, &QSlider::valueChanged, &TfrmMain::tbVolumeChange);
  On(ckMute, &QCheckBox::clicked, &TfrmMain::ckMuteClick);
  // The player's events reach the window on the GUI thread.
  PreviewPanel->Events.FileOpen = [this](int64_t duration, int frameWidth, int frameHeight,
                                         int &screenWidth, int &screenHeight) {
    FFPlayerFileOpen(duration, frameWidth, frameHeight, screenWidth, screenHeight);
  };
  PreviewPanel->Events.Position = [this](int64_t pts) { FFPlayerPosition(pts); };
  PreviewPanel->Events.State = [this](TPlayState state) { FFPlayerState(state); };
  // Another preview (an editor's) took the file: the panel shows itself stopped.
  PreviewPanel->Events.Closed = [this] { ShowPreviewStopped(); };

  // The presses on the position bar.
  qApp->installEventFilter(this);
}

void TfrmMain::ApplyTheme() {
  FSkin.Apply(this);
  // The Start buttons are drawn in the theme's colour, their glyph white.
  for (const auto &[button, glyph] : FGlyphButtons)
    button->setIcon(
        ToolIcon(glyph, glyph == TToolGlyph::Start ? QColor(Qt::white) : FSkin.Current().Accent));
  lvFiles->SetOddRowColor(FSkin.Current().OddRow);
}

// Settings

TSettingsStore TfrmMain::Store() const {
  return TSettingsStore(FGlobal->SettingsIniPath());
}

TFormatCatalogue TfrmMain::Catalogue() const {
  return TFormatCatalogue(FGlobal->FormatIniPath());
}

int TfrmMain::FormatCodeNumber() const {
  // A code that is not a number names no profile: its sections are missing and read as such.
  return IntegerText(CurrentFormatCode).value_or(-1);
}

// Show and close

void TfrmMain::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void TfrmMain::FormShow() {
  // 1. Size and place as last left, the preview's buttons and bar.
  RestorePlacement();
  btnPlay->setEnabled(true);
  for (QWidget *control :
       std::initializer_list<QWidget *>{btnPreviewPause, btnPreviewStop, btnSnapshot, tbPosition})
    control->setEnabled(false);
  PlayAfterAdd = false;
  PreviewStopped = true;
  PreviewPaused = false;

  // 2. The stored output folder and profile.
  const TSettingsStore store = Store();
  {
    const QSignalBlocker blocker(cmbOutPutFormat);
    cmbOutPutFormat->clear();
    for (const TCatalogueCategory &category : TFormatCatalogue::Categories())
      cmbOutPutFormat->addItem(category.Name);
    cmbOutPutFormat->setCurrentIndex(store.OutPutFormat());
  }
  {
    const QSignalBlocker blocker(edtOutPutDir);
    edtOutPutDir->setText(Q(store.OutPutDir()));
    edtOutPutDir->setCursorPosition(0);
    edtOutPutDir->setToolTip(edtOutPutDir->text());
  }
  CurrentFormatCode = store.FormatCodeText();
  CurrentFormatName = TProfileList::ShownFormatName(store);

  // 3. The profile box's text stands a little off its edges.
  cmbFormat->setTextMargins(4, 2, 0, 0);

  // 4. Volume and mute as stored; the player follows them.
  {
    const QSignalBlocker blocker(tbVolume);
    tbVolume->setValue(store.VolumeBarPosition());
  }
  if (store.Mute() == 1 || store.Mute() == 0) ckMute->setChecked(store.Mute() == 1);
  FFPlayer.SetAudioVolume(tbVolume->value());
  FFPlayer.SetMute(ckMute->isChecked());

  // 5. The list's columns.
  lvFiles->SetUpColumns();
  {
    const std::vector<int> widths = store.MainWindowPlacement().ColumnWidths;
    for (int c = 0; c < static_cast<int>(widths.size()) && c < lvFiles->model()->columnCount(); ++c)
      lvFiles->setColumnWidth(c, widths[static_cast<size_t>(c)]);
  }

  // 6. The caption with the program's version.
  FGlobal->SetVersionText(ProgramVersionText());
  setWindowTitle(UsualTitle());

  // 7. The profile list and the panel of the current profile.
  BuildProfileList();

  // 8. The conversion list as the last run left it, before any file named on the command line.
  RestoreQueue();

  // 9. The update check, in the background: the window takes input while it runs.
  StartUpdateCheck();
}

void TfrmMain::StartUpdateCheck() {
  const TSettingsStore store = Store();
  TUpdateCheckSetup setup{UpdateDocumentUrl(store), paths::CacheFolder(), FGlobal->VersionText(),
                          FGlobal->ProductTitle()};
  setup.Fetch = TPreferences::CheckForUpdates(store);
  FUpdateCheck = std::make_unique<TUpdateCheck>(std::move(setup), *FQuestions);
  // The question never comes up over a batch or another window's question; it waits for them.
  FUpdateCheck->MayAsk = [this] { return !BatchRunning() && !QApplication::activeModalWidget(); };
  FUpdateCheck->OnUpgrade = [this] {
    // Only the download page is opened: nothing the program fetched is ever run.  Leaving is an
    // ordinary close, with its question.
    FDialogs.OpenInDesktop(Q(FGlobal->UpdateUrl()));
    close();
  };
  FUpdateCheck->OnLog = [this](const std::string &line) { lstLog->addItem(Q(line)); };
  FUpdateCheck->OnFinished = [this] {
    NewVersion = FUpdateCheck->NewVersion();
    AdList = FUpdateCheck->AdList();
  };
  FUpdateCheck->Start();
}

void TfrmMain::RestorePlacement() {
  const TWindowPlacement placement = Store().MainWindowPlacement();
  resize(placement.Normal.Width, placement.Normal.Height);
  std::vector<TScreenRect> screens;
  for (const QScreen *screen : QGuiApplication::screens())
    screens.push_back(RectOf(screen->availableGeometry()));
  // A place on a screen that has gone since is not used: the window stands where the desktop
  // puts a new one.
  if (placement.PositionKnown && ReachableOnScreens(placement.Normal, screens))
    move(placement.Normal.Left, placement.Normal.Top);
  if (placement.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::SavePlacement() {
  TWindowPlacement placement;
  // A maximised window keeps the size it goes back to.
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  placement.Normal = RectOf(normal.isValid() ? normal : geometry());
  placement.Normal.Left = pos().x();
  placement.Normal.Top = pos().y();
  if (isMaximized() && normal.isValid()) {
    placement.Normal.Left = normal.left();
    placement.Normal.Top = normal.top();
  }
  placement.Maximized = isMaximized();
  for (int c = 0; c < lvFiles->model()->columnCount(); ++c)
    placement.ColumnWidths.push_back(lvFiles->columnWidth(c));
  TSettingsStore store = Store();
  store.SetMainWindowPlacement(placement);
}

void TfrmMain::FitPreviewPicture() {
  const TPictureSize size = PreviewPictureFor(width(), height());
  pnlPreview->setFixedSize(size.Width, size.Height);
}

void TfrmMain::resizeEvent(QResizeEvent *event) {
  // The list is placed against the profile box when it opens.
  HideProfileList();
  QMainWindow::resizeEvent(event);
  FitPreviewPicture();
}

void TfrmMain::closeEvent(QCloseEvent *event) {
  bool accept = false;
  Guarded([&] { accept = FormCloseQuery(); });
  if (accept)
    event->accept();
  else
    event->ignore();
}

bool TfrmMain::FormCloseQuery() {
  if (!FGlobal) return true;
  if (!SkipExitPrompt &&
      !FDialogs.AskYesNo(this, ShownText(WarningCaption), tr("Do you really want to exit?")))
    return false;
  // The check's question or report must not come up over a window that is going away.
  if (FUpdateCheck) FUpdateCheck->Abort();
  // A store that cannot be written is reported, but it does not keep the user from leaving.
  try {
    // One save of the store for all the window keeps.
    const TStoreEdit edit(Store());
    SaveProfileListState();
    SavePlacement();
  } catch (...) {
    ApplicationException(std::current_exception());
  }
  // No event may reach a window that is going away.
  CCAVC.SetOnCustomHook(nullptr);
  CCAVC.SetOnProgress(nullptr);
  CCAVC.SetOnTerminate(nullptr);
  CCAVC.StopTask(true);
  // The player ends on its own; the window does not wait for it.
  FFPlayer.Stop(false);
  FSession->Close();
  RowOfTask.clear();
  // The list as it is now goes to the disk before the window does (the writer's end waits).
  if (FQueueRestored) SaveQueue();
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->SetExceptionHandler(nullptr);
  FGlobal.reset();
  return true;
}

void TfrmMain::ApplicationException(std::exception_ptr error) {
  const TExceptionReport report = ReportOfException(error);
  const QString title = FGlobal ? Q(FGlobal->ProductTitle()) : QApplication::applicationName();
  FDialogs.ShowMessage(
      this, title, ShownText(report.Text),
      report.Icon == TReportIcon::Warning ? TMessageIcon::Warning : TMessageIcon::Error);
}

// Event filter: the release of the volume bar (its value is stored once the drag ends).

bool TfrmMain::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && watched == tbVolume)
    Guarded([this] { tbVolumeMouseUp(); });
  return QMainWindow::eventFilter(watched, event);
}

// Menus and toolbar

void TfrmMain::btnAddClick() {
  if (!CCAVC.LoadAVLib(paths::LibAVFolder().string())) return;
  const QStringList chosen = FDialogs.ChooseFiles(this, AddDialogNameFilters());
  if (chosen.isEmpty()) return;
  std::vector<std::string> paths;
  for (const QString &file : chosen) paths.push_back(S(file));
  AddFiles(paths);
}

void TfrmMain::AddFiles(const std::vector<std::string> &paths) {
  FToAdmit.insert(FToAdmit.end(), paths.begin(), paths.end());
  if (!FAdmitScheduled) AdmitSlice();
}

void TfrmMain::AdmitSlice() {
  // Naming a row's destination looks at the output folder: a thousand dropped files take their
  // rows a slice at a time, so that the window paints and takes input in between.
  constexpr size_t SliceSize = 50;
  FAdmitScheduled = false;
  if (FEditorShown) return;  // the editor's end admits them
  const auto sliceEnd =
      FToAdmit.begin() + static_cast<std::ptrdiff_t>(std::min(FToAdmit.size(), SliceSize));
  const std::vector<std::string> slice(FToAdmit.begin(), sliceEnd);
  FToAdmit.erase(FToAdmit.begin(), sliceEnd);
  CCAVC.ClearTasks();
  const bool wasEmpty = FFiles.Count() == 0;
  TSettingsStore store = Store();
  std::vector<TPendingRead> reads = FFiles.Admit(slice, store, Catalogue(), *FQuestions, FRefusals);
  const bool added = !reads.empty();
  // The files are opened on a worker thread: the rows wait for their lengths, reading.
  FReader->Probe(std::move(reads));
  if (!FToAdmit.empty()) {
    FAdmitScheduled = true;
    QTimer::singleShot(0, this, [this] { Guarded([&] { AdmitSlice(); }); });
  }
  lvFiles->Model().Reload();
  if (added && wasEmpty) lvFiles->SetUpColumns();
  UpdateListButtons();
  ShowAdding();
  if (FFiles.Count() > 0) {
    lvFiles->SelectRow(0);
    lvFiles->setFocus();
  }
  // The names that cannot be files to convert are told in one message, once all are in.
  if (FToAdmit.empty() && !FRefusals.empty())
    FQuestions->ShowMessage(std::exchange(FRefusals, {}), WarningCaption);
  // Play on an empty list asked for files first: now they are there.
  if (PlayAfterAdd && FFiles.Count() > 0) {
    PlayAfterAdd = false;
    btnPlayClick();
  }
}

void TfrmMain::UpdateListButtons() {
  const bool rows = FFiles.Count() > 0;
  for (QPushButton *button : {btnRemove, btnClear}) button->setEnabled(rows);
  // A batch starts once every row knows its length: a row whose file turns out unreadable leaves
  // the list, which would move the rows under a running batch.
  for (QPushButton *button : {btnStart, btnStart2}) button->setEnabled(rows && !AddingFiles());
  mnuStart->setEnabled(!AddingFiles());
}

bool TfrmMain::AddingFiles() const {
  return FReader->Busy() || !FToAdmit.empty();
}

void TfrmMain::CancelAdding() {
  FReader->Cancel();
  FToAdmit.clear();
  FRefusals.clear();
  if (FFiles.DropReading() > 0) {
    const int selected = lvFiles->SelectedRow();
    lvFiles->Model().Reload();
    lvFiles->SelectRow(std::min(selected, FFiles.Count() - 1));
  }
  UpdateListButtons();
  ShowAdding();
}

void TfrmMain::FilesWalked(const std::vector<std::string> &files) {
  AddFiles(files);
}

void TfrmMain::FileProbed(int id, const std::optional<int64_t> &duration) {
  if (FEditorShown) {
    FProbedMeanwhile.emplace_back(id, duration);
    return;
  }
  const TConversionList::TReadOutcome outcome = FFiles.Resolve(id, duration);
  if (outcome.Kept) {
    RefreshRow(outcome.Row);
  } else if (outcome.Row >= 0) {
    // The engine cannot open the file: its row goes, as if it had never been added.
    const int selected = lvFiles->SelectedRow();
    lvFiles->Model().Reload();
    lvFiles->SelectRow(std::min(selected - (selected > outcome.Row ? 1 : 0), FFiles.Count() - 1));
  }
  if (!AddingFiles()) {
    UpdateListButtons();
    ShowAdding();
  }
}

void TfrmMain::ShowAdding() {
  if (AddingFiles())
    lvFiles->viewport()->setCursor(Qt::BusyCursor);
  else
    lvFiles->viewport()->unsetCursor();
}

void TfrmMain::RefreshRows() {
  for (int row = 0; row < FFiles.Count(); ++row) lvFiles->Model().RowChanged(row);
}

void TfrmMain::RefreshRow(int row) {
  lvFiles->Model().RowChanged(row);
}

void TfrmMain::btnRemoveClick() {
  const std::set<int> rows = lvFiles->SelectedRows();
  if (rows.empty()) return;
  const int next = FFiles.Remove(rows);
  lvFiles->Model().Reload();
  lvFiles->SelectRow(next);
  UpdateListButtons();
  if (FFiles.Count() == 0) StopPreview();
}

void TfrmMain::btnClearClick() {
  if (FFiles.Count() == 0) return;
  CancelAdding();
  CCAVC.ClearTasks();
  FFiles.Clear();
  lvFiles->Model().Reload();
  UpdateListButtons();
  StopPreview();
}

void TfrmMain::btnEditClick() {
  pmFiles->popup(btnEdit->mapToGlobal(QPoint(0, btnEdit->height())));
}

void TfrmMain::btnStartClick() {
  if (BatchRunning()) return;
  // 1. The frame-size box as the user left it, and a number still being typed (Start from the
  // menu or its shortcut leaves no box).
  ParameterPanel->EndEditing();
  // 2. The conversion thread's priority.
  const TSettingsStore store = Store();
  static constexpr TThreadPriority Priorities[] = {
      TThreadPriority::tpIdle, TThreadPriority::tpNormal, TThreadPriority::tpLower,
      TThreadPriority::tpLowest};
  if (store.Priority() >= 0 && store.Priority() <= 3)
    CCAVC.SetThreadPriority(Priorities[store.Priority()]);
  CCAVC.SetPreviewBitmap(true);
  CCAVC.SetCodecThreads(0);  // as many as the codecs choose
  // 3.-5. The checked rows become tasks; the session tells the user when none is checked.  The
  // progress window is there before the first picture.
  if (!frmProgress)
    frmProgress = std::make_unique<TfrmProgress>(this, FSkin, *FSession, ProgressSources());
  StopPreview();  // the preview's player and the conversion do not run side by side
  TBatchSetup setup;
  setup.SettingsIniPath = FGlobal->SettingsIniPath();
  setup.FormatIniPath = FGlobal->FormatIniPath();
  setup.Questions = FQuestions.get();
  // Rows with effects or a watermark get a decoration of their own for their conversion; what
  // cannot be drawn (a watermark picture that cannot be read) is said once, in the log.
  setup.Decoration = ConversionDecoration([](const std::string &message) {
    std::fprintf(stderr, "morvane: warning: %s\n", message.c_str());
  });
  setup.AfterBatch = FAfterBatch;
  setup.ShutDownAction = [this] { StartShutDownCountdown(); };
  RowOfTask.clear();
  if (!FSession->Start(BatchRows(), std::move(setup))) return;
  // 7. The progress window shows the batch at once, while its jobs are built, until its end
  // closes it.
  FDialogs.ShowModal(*frmProgress);
}

// The rows as the batch sees them; the checked ones lose what an earlier batch left in them.
std::vector<TBatchRow> TfrmMain::BatchRows() {
  std::vector<TBatchRow> rows;
  for (int i = 0; i < FFiles.Count(); ++i) {
    TConversionRow &row = FFiles.Row(i);
    if (row.ToConvert()) {
      row.ProgressText.clear();
      row.Converted = false;
      row.WrittenFile.clear();
      row.FailReason.clear();
      row.Warning.clear();
      RefreshRow(i);
    }
    rows.push_back({row.Caption, row.ToConvert(), &row.Record});
  }
  return rows;
}

// The shut-down a batch asked for waits for a count-down that a person can cancel.
void TfrmMain::StartShutDownCountdown() {
  QPointer<TfrmMain> window(this);
  frmShutDown = std::make_unique<TfrmShutDown>(
      this, FSkin, ShutDownSeconds, [window](const std::string &reason) {
        if (window) ShowWarning(window->FDialogs, window, ShownText(reason));
      });
  frmShutDown->Start();
}

void TfrmMain::CloseOnSignal() {
  SkipExitPrompt = true;
  frmShutDown.reset();
  if (frmProgress && frmProgress->isVisible()) frmProgress->done(QDialog::Rejected);
  close();
}

void TfrmMain::SetAfterBatch(TAfterBatch after) {
  FAfterBatch = after;
  FSession->SetAfterBatch(after);
}

// The window follows the batch session: its rows, its buttons, the progress window's labels.
void TfrmMain::ConnectSession() {
  FSession = std::make_unique<TBatchSession>(CCAVC);
  TBatchSession *session = FSession.get();
  connect(session, &TBatchSession::stateChanged, this,
          [this](TBatchState state) { Guarded([&] { SessionStateChanged(state); }); });
  connect(session, &TBatchSession::started, this, [this] { RowOfTask = FSession->RowOfTask(); });
  connect(session, &TBatchSession::rowProgress, this,
          [this](const TRowProgress &progress) { Guarded([&] { RowProgress(progress); }); });
  connect(session, &TBatchSession::rowEnded, this,
          [this](const TRowResult &result) { Guarded([&] { RowEnded(result); }); });
  connect(session, &TBatchSession::batchEnded, this,
          [this](const TBatchSummary &summary) { Guarded([&] { BatchEnded(summary); }); });
}

// The batch's buttons as the session's state allows them: Stop, Pause and Resume while it runs,
// the list's buttons when it has ended.
void TfrmMain::SessionStateChanged(TBatchState state) {
  switch (state) {
    case TBatchState::Running:
    case TBatchState::Paused:
      for (QPushButton *button : {btnAdd, btnRemove, btnClear, btnStart, btnStart2})
        button->setEnabled(false);
      btnStop->setEnabled(true);
      btnPause->setEnabled(state == TBatchState::Running);
      btnResume->setEnabled(state == TBatchState::Paused);
      break;
    case TBatchState::Stopping:
      setWindowTitle(UsualTitle());
      for (QPushButton *button :
           {btnStop, btnRemove, btnClear, btnStart, btnStart2, btnPause, btnResume})
        button->setEnabled(false);
      btnAdd->setEnabled(true);
      break;
    case TBatchState::Idle:
      if (FGlobal) setWindowTitle(UsualTitle());
      UpdateListButtons();
      btnAdd->setEnabled(true);
      for (QPushButton *button : {btnStop, btnPause, btnResume}) button->setEnabled(false);
      break;
  }
}

void TfrmMain::RowProgress(const TRowProgress &progress) {
  if (progress.Row < 0 || progress.Row >= FFiles.Count()) return;
  TConversionRow &row = FFiles.Row(progress.Row);
  if (progress.Percent >= 0) {
    row.ProgressText = std::to_string(progress.Percent) + "%";
    RefreshRow(progress.Row);
  }
  if (frmProgress)
    frmProgress->ShowProgress(ProgressTextsOf(progress, row.Caption), progress.Percent);
  // Seen on the task bar while the window is covered or minimised.
  ShowBatchPercent(BatchPercentOf(progress));
}

void TfrmMain::RowEnded(const TRowResult &result) {
  if (result.Row < 0 || result.Row >= FFiles.Count()) return;
  TConversionRow &row = FFiles.Row(result.Row);
  switch (result.Outcome) {
    case TRowOutcome::Finished:
      // A damaged or cut-short source converts as far as it could be read, and says so.
      row.Warning = DecodeErrorWarning(result.DecodeErrors);
      row.ProgressText = row.Warning.empty() ? "100%" : "100% (" + row.Warning + ")";
      // The name actually written: another file may have taken the one shown at Add.
      if (!result.Destination.empty()) {
        row.DestinationText = result.Destination.filename().string();
        row.Converted = true;
        row.WrittenFile = result.Destination;
      }
      if (frmProgress) frmProgress->ShowFileFinished();
      break;
    case TRowOutcome::Failed:
    case TRowOutcome::Refused:
      row.FailReason = result.Reason.empty()
                           ? QT_TRANSLATE_NOOP("Messages", "The conversion failed.")
                           : result.Reason;
      if (row.ProgressText.empty()) row.ProgressText = QT_TRANSLATE_NOOP("Messages", "Failed");
      break;
    case TRowOutcome::Stopped: break;  // the row keeps its last percentage
  }
  RefreshRow(result.Row);
}

void TfrmMain::BatchEnded(const TBatchSummary &summary) {
  // Whether the person is looking at the program (at this window or the progress window) is
  // asked before the progress window closes.
  TBatchEndNotice::Tell(FDialogs, summary, QApplication::activeWindow() != nullptr);
  if (frmProgress) frmProgress->BatchEnded();
}

QString TfrmMain::UsualTitle() const {
  return Q(FGlobal->ProductTitle() + FGlobal->VersionText());
}

void TfrmMain::ShowBatchPercent(int percent) {
  // A report that arrives after Stop leaves the usual title.
  if (percent < 0 || FSession->State() == TBatchState::Stopping) return;
  setWindowTitle(tr("%1% - %2").arg(percent).arg(UsualTitle()));
}

// The kept conversion list

void TfrmMain::KeepQueue() {
  FQueueWriter = std::make_unique<TQueueWriter>(
      TQueueStore(DefaultQueuePath()), [this](const std::string &why) {
        QMetaObject::invokeMethod(
            this,
            [this, why] {
              FQuestions->ShowMessage(
                  S(tr("The list of files could not be kept for the next start (%1).").arg(Q(why))),
                  WarningCaption);
            },
            Qt::QueuedConnection);
      });
  // Every change of the rows reaches the list's model: added, removed, checked, edited, read,
  // converted.
  QAbstractItemModel *model = lvFiles->model();
  connect(model, &QAbstractItemModel::dataChanged, this, [this] { ScheduleQueueSave(); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] { ScheduleQueueSave(); });
  connect(model, &QAbstractItemModel::rowsInserted, this, [this] { ScheduleQueueSave(); });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { ScheduleQueueSave(); });
}

void TfrmMain::RestoreQueue() {
  std::vector<TPendingRead> reads = FFiles.Restore(TQueueStore(DefaultQueuePath()).Load());
  FQueueRestored = true;
  if (!reads.empty() && CCAVC.LoadAVLib(paths::LibAVFolder().string()))
    FReader->Probe(std::move(reads));
  else
    FFiles.DropReading();
  lvFiles->Model().Reload();
  if (FFiles.Count() > 0) lvFiles->SelectRow(0);
  ShowDestinations();
  UpdateListButtons();
  ShowAdding();
}

void TfrmMain::ScheduleQueueSave() {
  if (!FQueueRestored || FQueueSaveScheduled) return;
  FQueueSaveScheduled = true;
  QTimer::singleShot(0, this, [this] { Guarded([&] { SaveQueue(); }); });
}

void TfrmMain::SaveQueue() {
  FQueueSaveScheduled = false;
  // While a batch's jobs are built its thread writes into the rows' records: the rows are taken
  // once the tasks have started (RowOfTask is known from then on).
  if (BatchRunning() && RowOfTask.empty()) {
    FQueueSaveScheduled = true;
    QTimer::singleShot(100, this, [this] { Guarded([&] { SaveQueue(); }); });
    return;
  }
  FQueueWriter->Put(FFiles.Rows());
}

void TfrmMain::btnExitClick() {
  close();
}

void TfrmMain::btnSettingsClick() {
  // The dialog builds its list from the stored open categories: the ones open here first.
  SaveProfileListState();
  TfrmSettings settings(this, FSkin, FGlobal->SettingsIniPath(), FGlobal->FormatIniPath(),
                        FDialogs);
  FDialogs.ShowModal(settings);
  if (settings.result() != QDialog::Accepted) return;
  // OK made the dialog's profile the current one and may have changed the shown one's values.
  const TSettingsStore store = Store();
  CurrentFormatCode = store.FormatCodeText();
  CurrentFormatName = TProfileList::ShownFormatName(store);
  BuildProfileList();
  LoadPanel();
}

// Through the session, so that a stopped batch neither opens the folder nor shuts down; the
// buttons follow its state.
void TfrmMain::btnStopClick() {
  FSession->Stop();
}

void TfrmMain::btnPauseClick() {
  FSession->Pause();
}

void TfrmMain::btnResumeClick() {
  FSession->Resume();
}

void TfrmMain::mnuEditPopup() {
  const bool enabled = TConversionList::RowCommandsEnabled(FFiles.Count(), lvFiles->SelectedRow());
  mnuWaterMark->setVisible(true);
  for (QAction *entry : {mnuCrop, mnuTrim, mnuWaterMark, mnuCheckAll, mnuUncheckAll,
                         mnuReverseCheck, mnuCheck, mnuUncheck})
    entry->setEnabled(enabled);
  for (QAction *editor : {mnuCrop, mnuWaterMark})
    editor->setEnabled(enabled && !ParameterPanel->VideoCopy());
}

void TfrmMain::pmFilesPopup() {
  const bool enabled = TConversionList::RowCommandsEnabled(FFiles.Count(), lvFiles->SelectedRow());
  pmWaterMark->setVisible(true);
  for (QAction *entry : {pmCrop, pmTrim, pmWaterMark, pmRemove, pmClear, pmStart, pmVideoInfo})
    entry->setEnabled(enabled);
  for (QAction *editor : {pmCrop, pmWaterMark})
    editor->setEnabled(enabled && !ParameterPanel->VideoCopy());
  pmStart->setEnabled(enabled && !AddingFiles());  // as the Start button
  // Only a row whose file was written has something to play or show.
  const bool written = !SelectedWrittenFile().empty();
  for (QAction *entry : {pmPlay, pmShowInFolder}) entry->setEnabled(written);
}

std::filesystem::path TfrmMain::SelectedWrittenFile() {
  const int row = lvFiles->SelectedRow();
  if (row < 0 || row >= FFiles.Count() || !FFiles.Row(row).Converted) return {};
  return FFiles.Row(row).WrittenFile;
}

std::filesystem::path TfrmMain::WrittenFileAtHand() {
  const std::filesystem::path file = SelectedWrittenFile();
  if (file.empty()) return {};
  // The desktop would fail on a file moved or deleted since, in words of its own or none.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    ShowWarning(FDialogs, this,
                tr("%1\nis not there any more: it was moved or deleted after it was converted.")
                    .arg(Q(file.string())));
    return {};
  }
  return file;
}

void TfrmMain::pmPlayClick() {
  const std::filesystem::path file = WrittenFileAtHand();
  if (!file.empty()) FDialogs.OpenInDesktop(Q(file.string()));
}

void TfrmMain::pmShowInFolderClick() {
  const std::filesystem::path file = WrittenFileAtHand();
  if (!file.empty()) FDialogs.ShowInFolder(Q(file.string()));
}

// The editors show modally on the selected row's record, each with a player of its own.

int TfrmMain::EditorRow() {
  // Only one player may hold a file at a time: the preview panel's stops before an editor opens
  // the file in its player, also when its file has ended and waits, paused, at its start (the
  // paused player's thread would take the editor's player events and the editor would never
  // draw).  It is not waited for: the editor's player starts its loop once the preview's has
  // ended, and the preview's picture, on this window, stays while that player lets it go.
  StopPreview(TCloseWait::Nothing);
  if (lvFiles->SelectedRow() < 0 && FFiles.Count() > 0) lvFiles->SelectRow(0);
  const int row = lvFiles->SelectedRow();
  if (row >= 0 && SourceRefused(FDialogs, this, FFiles.Row(row).Caption)) return -1;
  return row;
}

void TfrmMain::ShowEditor(QDialog &editor, int row) {
  // The editor holds its row (or the row's record) until it closes: a row added or dropped
  // meanwhile would move it, and the editor would write into another row or into freed memory.
  {
    struct TShown {
      TfrmMain &Window;
      ~TShown() { Window.FEditorShown = false; }
    } shown{*this};
    FEditorShown = true;
    FDialogs.ShowModal(editor);
  }
  RefreshRow(row);
  for (const auto &[id, duration] : std::exchange(FProbedMeanwhile, {})) FileProbed(id, duration);
  if (!FToAdmit.empty() && !FAdmitScheduled) AdmitSlice();
}

void TfrmMain::mnuCropClick() {
  const int row = EditorRow();
  if (row < 0) return;
  TfrmCrop crop(this, FSkin);
  crop.SetRecord(&FFiles.Row(row).Record);
  ShowEditor(crop, row);
}

void TfrmMain::mnuTrimClick() {
  const int row = EditorRow();
  if (row < 0) return;
  if (!frmTrim) frmTrim = std::make_unique<TfrmTrim>(this, FSkin);
  frmTrim->SetRow(&FFiles.Row(row));
  ShowEditor(*frmTrim, row);
}

void TfrmMain::mnuWaterMarkClick() {
  const int row = EditorRow();
  if (row < 0) return;
  TfrmWaterMark waterMark(this, FSkin, FDialogs);
  waterMark.SetRecord(&FFiles.Row(row).Record);
  ShowEditor(waterMark, row);
}

void TfrmMain::mnuVideoInfoClick() {
  if (!frmFileInfo) frmFileInfo = std::make_unique<TfrmFileInfo>(this, FSkin);
  const int row = lvFiles->SelectedRow();
  if (row >= 0 && row < FFiles.Count() && SourceRefused(FDialogs, this, FFiles.Row(row).Caption))
    return;
  frmFileInfo->SetSourceFile(row >= 0 && row < FFiles.Count() ? FFiles.Row(row).Caption : "");
  FDialogs.ShowModal(*frmFileInfo);
}

void TfrmMain::mnuCheckAllClick() {
  FFiles.SetAllChecked(true);
  RefreshRows();
}

void TfrmMain::mnuUncheckAllClick() {
  FFiles.SetAllChecked(false);
  RefreshRows();
}

void TfrmMain::mnuReverseCheckClick() {
  FFiles.ReverseCheck();
  RefreshRows();
}

void TfrmMain::mnuCheckClick() {
  FFiles.SetChecked(lvFiles->SelectedRows(), true);
  RefreshRows();
}

void TfrmMain::mnuUncheckClick() {
  FFiles.SetChecked(lvFiles->SelectedRows(), false);
  RefreshRows();
}

void TfrmMain::mnuPreferenceClick() {
  TfrmPreference preference(this, FSkin, FGlobal->SettingsIniPath(), FDialogs);
  FDialogs.ShowModal(preference);
}

void TfrmMain::mnuSkinPopup() {
  const int stored = Store().SkinIndex();
  for (int i = 0; i < TSkinManager::ThemeCount; ++i)
    mnuSkinItems[static_cast<size_t>(i)]->setChecked(i == stored);
}

void TfrmMain::mnuSkinClick(int index) {
  QAction *entry = mnuSkinItems[static_cast<size_t>(index)];
  // The toolkit has already flipped the check mark: an entry that is unchecked now was the
  // checked one, and choosing it changes nothing.
  if (!entry->isChecked()) {
    entry->setChecked(true);
    return;
  }
  hide();
  FSkin.SetThemeIndex(index);
  ApplyTheme();
  for (int i = 0; i < TSkinManager::ThemeCount; ++i)
    mnuSkinItems[static_cast<size_t>(i)]->setChecked(i == index);
  show();
  Store().SetSkinIndex(index);
}

void TfrmMain::mnuHelpClick() {
  FDialogs.OpenInDesktop(Q(FGlobal->HelpUrl()));
}

void TfrmMain::mnuWebSiteClick() {
  FDialogs.OpenInDesktop(Q(FGlobal->WebSiteUrl()));
}

void TfrmMain::mnuSupportClick() {
  FDialogs.OpenInDesktop(Q(SupportUrl()));
}

void TfrmMain::mnuAboutClick() {
  TfrmAbout about(this, FSkin, *FGlobal, FDialogs);
  FDialogs.ShowModal(about);
}

// Conversion list and output folder

void TfrmMain::lvFilesMouseDown(const QPoint &globalPos) {
  pmFiles->popup(globalPos);
}

void TfrmMain::lvFilesDblClick() {
  if (lvFiles->SelectedRow() < 0) return;
  // The row clicked plays, even while another one waits paused.
  PreviewPaused = false;
  btnPlayClick();
}

void TfrmMain::lvFilesCheckClick(int row) {
  FFiles.SetChecked(row, !FFiles.Rows().at(static_cast<size_t>(row)).Checked);
  RefreshRow(row);
}

void TfrmMain::lvFilesDragDrop(const QStringList &paths) {
  std::vector<std::string> dropped;
  for (const QString &path : paths) dropped.push_back(S(path));
  AddPaths(dropped);
}

void TfrmMain::AddPaths(const std::vector<std::string> &paths) {
  if (!CCAVC.LoadAVLib(paths::LibAVFolder().string())) return;
  // A folder may hold any number of files: it is walked on a worker thread (FilesWalked).
  FReader->Walk(paths);
  ShowAdding();
}

void TfrmMain::btnOpenClick() {
  if (edtOutPutDir->text().size() <= 2) return;
  const std::string folder = Store().OutPutDir();
  // A folder nothing was converted into yet is made, so that there is something to show.
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  FDialogs.OpenInDesktop(Q(folder));
}

void TfrmMain::btnBrowsClick() {
  const QString folder = FDialogs.ChooseFolder(this, edtOutPutDir->text());
  if (folder.isEmpty() || folder == edtOutPutDir->text()) return;
  Store().SetOutPutDir(S(folder));
  edtOutPutDir->setText(folder);
}

void TfrmMain::edtOutPutDirChange() {
  edtOutPutDir->setCursorPosition(0);
  edtOutPutDir->setToolTip(edtOutPutDir->text());
  Store().SetOutPutDir(S(edtOutPutDir->text()));
  ShowDestinations();
}

void TfrmMain::ShowDestinations() {
  FFiles.NameDestinations(Store(), Catalogue());
  RefreshRows();
}

// Preview panel

void TfrmMain::btnPlayClick() {
  // 1. A paused preview goes on.
  if (PreviewPaused) {
    PreviewPanel->Resume();
    PreviewPaused = false;
    PreviewStopped = false;
    ShowPreviewMode(TPreviewMode::Playing);
    return;
  }
  // 2. The player's libraries.
  if (!FFPlayer.AVLibLoaded() && !FFPlayer.LoadAVLib(paths::LibAVFolder().wstring())) {
    lstLog->addItem(Q(FFPlayer.LastErrMsg()));
    return;
  }
  // 3. The selected row, or the first.
  if (FFiles.Count() > 0) {
    int row = lvFiles->SelectedRow();
    if (row < 0) {
      row = 0;
      lvFiles->SelectRow(row);
    }
    PlayRow(row);
    return;
  }
  // 4. Nothing to play yet: files first, then the preview starts (AddFiles).  A cancelled Add
  // leaves nothing waiting for a later one.
  PlayAfterAdd = true;
  btnAddClick();
  PlayAfterAdd = false;
}

void TfrmMain::PlayRow(int row) {
  const std::string file = FFiles.Row(row).Caption;
  if (SourceRefused(FDialogs, this, file)) return;
  // The reader opens the file while the window goes on; the panel shows that it is opening.
  const auto opened = [this, file](bool ok) {
    if (ok) {
      if (!PreviewStopped && !PreviewPaused) ShowPreviewMode(TPreviewMode::Playing);
      return;
    }
    // Nothing plays: the panel goes back to stopped and says why.
    ShowPreviewStopped();
    lstLog->addItem(Q(FFPlayer.LastErrMsg()));
    ShowWarning(FDialogs, this,
                tr("Cannot play %1:\n%2").arg(Q(file), ShownText(FFPlayer.LastErrMsg())));
  };
  if (!PreviewPanel->OpenAsync(file, opened)) {
    opened(false);
    return;
  }
  PreviewStopped = false;
  PreviewPaused = false;
  ShowPreviewMode(TPreviewMode::Playing);
}

void TfrmMain::btnPreviewPauseClick() {
  if (PreviewPaused) return;
  PreviewPanel->PausePlayer();
  PreviewPaused = true;
  PreviewStopped = false;
  ShowPreviewMode(TPreviewMode::Paused);
}

void TfrmMain::btnPreviewStopClick() {
  StopPreview();
}

void TfrmMain::StopPreview(TCloseWait wait) {
  // A file that has ended is still open (paused at its start): it is closed as well, so that
  // an editor's player never meets it.
  if (PreviewStopped && !PreviewPanel->HoldsFile()) return;
  PreviewPanel->Close(wait);
  ShowPreviewStopped();
}

void TfrmMain::ShowPreviewStopped() {
  tbPosition->setValue(0);
  tbPosition->setEnabled(false);
  PreviewStopped = true;
  PreviewPaused = false;
  ShowPreviewMode(TPreviewMode::Stopped);
  lblPosition->setText(StoppedTimeText);
  lblDuration->setText(StoppedTimeText);
}

void TfrmMain::ShowPreviewMode(TPreviewMode mode) {
  PreviewPanel->ShowMode(mode);
}

void TfrmMain::btnSnapshotClick() {
  QImage full, small;
  if (!PreviewPanel->TakeSnapshot(full, small)) return;
  TSettingsStore store = Store();
  const std::filesystem::path folder = SaveSnapshots(full, small, store, *FQuestions);
  FDialogs.OpenInDesktop(Q(folder.string()));
}

void TfrmMain::tbVolumeChange() {
  FFPlayer.SetAudioVolume(tbVolume->value());
  // Keys and the wheel change the volume in steps; a drag is stored when it ends.
  if (!tbVolume->isSliderDown()) Store().SetVolume(tbVolume->value());
}

void TfrmMain::tbVolumeMouseUp() {
  Store().SetVolume(tbVolume->value());
}

void TfrmMain::ckMuteClick() {
  FFPlayer.SetMute(ckMute->isChecked());
  Store().SetMute(ckMute->isChecked());
}

void TfrmMain::FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &, int &) {
  // 1. What was opened, for the log.
  lstLog->addItem(Q(FFPlayer.Probe().FileInfoText()));
  lstLog->addItem(QString::asprintf("duration: %f, frame size: %dx%d", duration / 1000000.0,
                                    frameWidth, frameHeight));
  // 2. The video is scaled into the panel: the panel has set the screen size.
  // 3. The length.
  PreviewDuration = duration;
  lblDuration->setText(Q(DurationText(DurationSeconds(duration))));
  lblPosition->setText(StoppedTimeText);
  // 4. The panel has set its bar up: one step per pixel; a file without a length cannot be
  // sought.
}

void TfrmMain::FFPlayerPosition(int64_t pts) {
  // Positions that arrive after a stop, or while the ended file goes back to its start, are
  // not shown: the labels read as stopped.
  if (PreviewStopped) return;
  lblPosition->setText(Q(PositionText(pts)));
}

void TfrmMain::FFPlayerState(TPlayState state) {
  if (state != TPlayState::psEnd || PreviewStopped) return;
  // The panel has sent the file back to its start, paused; the window shows the stopped state,
  // and play opens the file again.
  ShowPreviewStopped();
}

// Profile box and its list

void TfrmMain::BuildProfileList() {
  const TSettingsStore store = Store();
  HideProfileList();
  lbFormat->SetRows(TProfileList::Build(store));
  PlaceProfileList(TProfileList::BuiltHeight(lbFormat->Rows().size()));
  SetProfileBoxText(Q(TProfileList::ShownFormatName(store)));
  lbFormat->SelectRowOfText(cmbFormat->text());
}

void TfrmMain::SetProfileBoxText(const QString &text) {
  // A change of the text loads the panel (cmbFormatChange).
  ProfilePicker->SetText(text);
}

void TfrmMain::SaveProfileListState() {
  TSettingsStore store = Store();
  TProfileList::SaveCollapsedStates(lbFormat->Rows(), store);
}

void TfrmMain::PlaceProfileList(int height) {
  // The list opens upward: its bottom edge sits on the profile box.
  ProfilePicker->PlaceList(height);
}

void TfrmMain::ShowProfileList() {
  // Its height as after a click, the chosen profile in the middle with its category above it.
  ProfilePicker->ShowList(TProfileList::ClickedHeight(lbFormat->Rows().size()));
}

void TfrmMain::HideProfileList() {
  if (ProfilePicker) ProfilePicker->HideList();
}

void TfrmMain::cmbFormatChange() {
  cmbFormat->setToolTip(cmbFormat->text());
  LoadPanel();
  // The rows' destinations take the profile's extension.
  ShowDestinations();
}

void TfrmMain::cmbFormatClick() {
  if (ProfilePicker->ListShown()) {
    HideProfileList();
    return;
  }
  const auto row = lbFormat->SelectRowOfText(Q(TProfileList::ShownFormatName(Store())));
  ShowProfileList();
  if (row)
    QCursor::setPos(lbFormat->viewport()->mapToGlobal(
        lbFormat->visualRect(lbFormat->model()->index(*row, 0)).center()));
}

void TfrmMain::btnFormatDropClick() {
  if (ProfilePicker->ListShown()) {
    HideProfileList();
    return;
  }
  SetProfileBoxText(Q(TProfileList::ShownFormatName(Store())));
  lbFormat->SelectRowOfText(cmbFormat->text());
  ShowProfileList();
}

void TfrmMain::lbFormatClick() {
  PlaceProfileList(TProfileList::ClickedHeight(lbFormat->Rows().size()));
}

void TfrmMain::lbFormatPick(int row) {
  const TProfileRow picked = lbFormat->Rows().at(static_cast<size_t>(row));
  TSettingsStore store = Store();
  if (!TProfileList::Pick(picked, store)) return;
  CurrentFormatName = picked.Text;
  CurrentFormatCode = std::to_string(picked.Info.Code);
  SetProfileBoxText(Q(picked.Text));
  HideProfileList();
}

// Parameter panel

void TfrmMain::LoadPanel() {
  ParameterPanel->Load();
}

// The editors that change the picture do not apply to a copied video, and say why.
void TfrmMain::ShowStreamCopy(const QString &hint) {
  for (QAction *editor : {mnuCrop, mnuWaterMark, pmCrop, pmWaterMark}) editor->setToolTip(hint);
}

void TfrmMain::btnDefaultClick() {
  ParameterPanel->Default();
}
