// The main window driven through its widgets, with a private settings store per test and the
// message boxes and dialogs answered by a recorder.
#include <sys/stat.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "gui/Application.h"
#include "gui/ProfileListBox.h"
#include "gui/ProfilePicker.h"
#include "gui/VideoSurface.h"
#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "tests/support/PipeRescue.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/ConversionList.h"
#include "workspace/GlobalUnit.h"
#include "workspace/SafeFileWriter.h"
#include "workspace/SettingsStore.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/WinAbout.h"
#include "workspace/mainwindow/WinCover.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;

namespace {

QStringList Captions(const QMenu *menu) {
  QStringList captions;
  for (const QAction *action : menu->actions())
    captions << (action->isSeparator() ? "-" : action->text());
  return captions;
}

QStringList RowCaptions(TfrmMain &window) {
  QStringList captions;
  for (const TConversionRow &row : window.Files().Rows())
    captions << QString::fromStdString(row.Caption);
  return captions;
}

// Drops files and folders on the conversion list as a file manager does.
void DropOnList(TfrmMain &window, const std::vector<fs::path> &paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const fs::path &path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  data.setUrls(urls);
  QWidget *target = window.lvFiles->viewport();
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// The widgets that have the focus in turn while Tab is pressed, from the focused one on.
std::set<QWidget *> TabVisits(QWidget &window) {
  std::set<QWidget *> visited;
  for (int i = 0; i < 120 && window.focusWidget(); ++i) {
    QWidget *at = window.focusWidget();
    visited.insert(at);
    QTest::keyClick(at, Qt::Key_Tab);
  }
  return visited;
}

QList<bool> RowChecks(TfrmMain &window) {
  QList<bool> checks;
  for (const TConversionRow &row : window.Files().Rows()) checks << row.Checked;
  return checks;
}

}  // namespace

class TMainWindowTest : public TWindowFixture {
  Q_OBJECT

 private:
  // A short media file under `name` in the test's folder.
  std::string Media(const std::string &name, bool audioOnly = false) {
    return TWindowFixture::Media(audioOnly ? fixtures::AudioMp3(2.0) : fixtures::Clip(2.0), name);
  }

  // The window with the rows of `names` added through "&Add".
  TfrmMain &OpenWithRows(const QStringList &names) {
    TfrmMain &window = Open();
    for (const QString &name : names)
      FDialogs->FilesToChoose << QString::fromStdString(Media(name.toStdString()));
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    FDialogs->FilesToChoose.clear();
    if (!AddingEnded(window)) qFatal("the files were not added");
    return window;
  }

  void ClickRow(TfrmMain &window, int row, int x = 60, Qt::KeyboardModifiers modifiers = {}) {
    const QRect rect = window.lvFiles->visualRect(window.lvFiles->model()->index(row, 0));
    QTest::mouseClick(window.lvFiles->viewport(), Qt::LeftButton, modifiers,
                      QPoint(rect.left() + x, rect.center().y()));
  }

  void ClickProfileRow(TfrmMain &window, const QString &text, int x = 60) {
    TProfileListBox *list = window.lbFormat;
    const auto row = TProfileList::FindRow(list->Rows(), text.toStdString());
    QVERIFY2(row.has_value(), qPrintable(text));
    const QModelIndex index = list->model()->index(static_cast<int>(*row), 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(x, list->visualRect(index).center().y()));
  }

  void UseProfile(int code, const char *name) {
    TSettingsStore store = Store();
    store.SetFormatCode(code);
    store.SetFormatName(name);
  }

 private slots:
  void init() { Begin(); }
  void cleanup() { End(); }

  void firstStartWithoutSettingsStore() {
    QVERIFY(!fs::exists(SettingsPath()));
    TfrmMain &window = Open();
    QCOMPARE(window.Skin().ThemeIndex(), 0);
    QCOMPARE(window.lvFiles->OddRowColor(), QColor(226, 230, 246));
    QCOMPARE(window.tbVolume->value(), 0);
    QCOMPARE(window.tbVolume->maximum(), 128);
    QVERIFY(!window.ckMute->isChecked());
    QCOMPARE(window.edtOutPutDir->text(),
             QString::fromStdString(paths::DefaultOutputFolder().string()));
    QCOMPARE(window.CurrentFormatCode, std::string("1"));
    // The box names the profile the conversion will use.
    QCOMPARE(window.cmbFormat->text(), QString("iPod Video H.264 (*.mp4)"));
    QCOMPARE(window.windowTitle(),
             QString::fromStdString("Morvane MP4 Video Converter" + ProgramVersionText()));
    QCOMPARE(window.size(), QSize(786, 522));
    // The panel shows the profile's own defaults, which its first conversion uses.
    QCOMPARE(window.cmbVideoEncoder->currentText(), QString("h264"));
    QCOMPARE(window.cmbFrameRate->currentText(), QString("29.97"));
    QCOMPARE(window.cmbVideoBitRate->currentText(), QString("768"));
    QCOMPARE(window.cmbVolume->currentText(), QString("100%"));
    // Nothing to remove or start yet; the preview only offers play.
    QVERIFY(!window.btnStart->isEnabled() && !window.btnRemove->isEnabled());
    QVERIFY(window.btnPlay->isEnabled() && !window.btnPreviewStop->isEnabled() &&
            !window.tbPosition->isEnabled());
    QVERIFY(window.btnStop->isHidden() && window.btnPause->isHidden() &&
            window.btnResume->isHidden() && window.btnSettings->isHidden());
    QCOMPARE(window.pnlPreview->size(), QSize(243, 171));
    QVERIFY(window.pnlPreview->testAttribute(Qt::WA_NativeWindow));
  }

  void storedValuesAtShow_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("volume");
    QTest::addColumn<bool>("mute");
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("checkedSkinEntry");  // -1: none
    QTest::newRow("volume 200 reads as 64") << "volume" << 200 << 64 << false << 0 << 0;
    QTest::newRow("volume 100") << "volume" << 100 << 100 << false << 0 << 0;
    QTest::newRow("mute 1") << "mute" << 1 << 0 << true << 0 << 0;
    QTest::newRow("mute 5 leaves the box unchecked") << "mute" << 5 << 0 << false << 0 << 0;
    QTest::newRow("skinIndex 3 is Purple") << "skinIndex" << 3 << 0 << false << 3 << 3;
    QTest::newRow("skinIndex 9 keeps Default") << "skinIndex" << 9 << 0 << false << 0 << -1;
  }

  void storedValuesAtShow() {
    QFETCH(QString, key);
    QFETCH(int, value);
    Store().WriteInteger(settingskeys::Section, key.toStdString(), value);
    TfrmMain &window = Open();
    QTEST(window.tbVolume->value(), "volume");
    QTEST(window.ckMute->isChecked(), "mute");
    QTEST(window.Skin().ThemeIndex(), "theme");
    QFETCH(int, theme);
    QCOMPARE(window.lvFiles->OddRowColor(), TSkinManager::Theme(theme).OddRow);
    emit window.mnuSkin->aboutToShow();
    QFETCH(int, checkedSkinEntry);
    for (int i = 0; i < TSkinManager::ThemeCount; ++i)
      QCOMPARE(window.mnuSkinItems[static_cast<size_t>(i)]->isChecked(), i == checkedSkinEntry);
  }

  void menusHaveTheirCaptions() {
    TfrmMain &window = Open();
    QStringList bar;
    for (const QAction *action : window.menuBar()->actions()) bar << action->text();
    QCOMPARE(bar, QStringList({"&File", "&Edit", "&Tools", "Related Software", "&Help"}));
    QCOMPARE(Captions(window.mnuFile),
             QStringList({"&Add", "&Remove", "&Clear", "&Start", "-", "Se&ttings", "&Exit"}));
    QVERIFY(!window.mnuSettings->isVisible());
    QCOMPARE(Captions(window.mnuEdit),
             QStringList({"&Crop", "&Trim", "&Video Effect && Water Mark", "-", "&Check All",
                          "&Uncheck All", "&Reverse Check", "-", "C&heck", "U&ncheck"}));
    QCOMPARE(Captions(window.mnuTools), QStringList({"&Preference", "&Skin"}));
    QCOMPARE(Captions(window.mnuSkin),
             QStringList({"Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"}));
    QCOMPARE(window.mnuRelated->actions().size(), 10);
    QCOMPARE(Captions(window.mnuHelp),
             QStringList({"&Help", "-", "&Web Site", "&Support and Contact", "&About"}));
    QCOMPARE(
        Captions(window.pmFiles),
        QStringList({"&Crop", "&Trim", "&Video Effect && Water Mark", "-", "Add", "Remove", "Clear",
                     "Start", "-", "Video Information", "-", "&Play", "Show in &Folder"}));
    QStringList toolbar;
    for (QPushButton *b : {window.btnAdd, window.btnRemove, window.btnClear, window.btnEdit,
                           window.btnStart, window.btnExit, window.btnStart2})
      toolbar << b->text();
    QCOMPARE(toolbar,
             QStringList({"&Add", "&Remove", "&Clear", "&Edit", "&Start", "&Exit", "&Start"}));
    QCOMPARE(window.btnBrows->text(), QString("Browse"));

    window.mnuHelpItem->trigger();
    window.mnuWebSite->trigger();
    window.mnuSupport->trigger();
    window.mnuRelated->actions().first()->trigger();
    QCOMPARE(FDialogs->Opened.size(), 4);
    QCOMPARE(FDialogs->Opened[0], QString::fromStdString(window.Global().HelpUrl()));
    QCOMPARE(FDialogs->Opened[1], QString::fromStdString(window.Global().WebSiteUrl()));
    QCOMPARE(FDialogs->Opened[2], QString("https://www.morvane.com/"));
    QVERIFY(FDialogs->Opened[3].startsWith("https://www.morvane.com/"));
  }

  void profileListRows_data() {
    QTest::addColumn<bool>("psPexpanded");
    QTest::addColumn<int>("rows");
    QTest::newRow("no lstformat: every category collapsed") << false << 32;
    QTest::newRow("lstformat 4 = 0: Sony PSP with its profiles") << true << 37;
  }

  void profileListRows() {
    QFETCH(bool, psPexpanded);
    if (psPexpanded) Store().SetCategoryCollapsed(4, false);
    TfrmMain &window = Open();
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    QVERIFY(window.lbFormat->isVisible());
    QTEST(window.lbFormat->model()->rowCount(), "rows");
    // The list opens upward: its bottom edge sits on the profile box.
    QCOMPARE(window.lbFormat->mapToGlobal(QPoint(0, window.lbFormat->height())),
             window.cmbFormat->mapToGlobal(QPoint(0, 0)));
    const auto &rows = window.lbFormat->Rows();
    QCOMPARE(rows[0].Text, std::string("Apple iPod"));
    QVERIFY(rows[0].Info.IsCategory && rows[0].Info.Collapsed);
    if (psPexpanded) {
      QCOMPARE(rows[4].Text, std::string("Sony PSP"));
      QVERIFY(!rows[4].Info.Collapsed);
      for (int i = 0; i < 5; ++i) {
        QVERIFY(rows[5 + i].Info.IsProfile);
        QCOMPARE(rows[5 + i].Info.Code, 400 + i);
      }
      QCOMPARE(rows[6].Text, std::string("PSP MPEG-4 Normal Quality (*.mp4)"));
    }
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    QVERIFY(!window.lbFormat->isVisible());
    // From the keyboard: Enter opens the current category, Escape closes the list.
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    window.lbFormat->setCurrentIndex(window.lbFormat->model()->index(0, 0));
    QTest::keyClick(window.lbFormat, Qt::Key_Return);
    QVERIFY(!window.lbFormat->Rows()[0].Info.Collapsed);
    QTest::keyClick(window.lbFormat, Qt::Key_Escape);
    QVERIFY(!window.lbFormat->isVisible());
  }

  void pickingAProfileStoresItAndLoadsThePanel() {
    TfrmMain &window = Open();
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    // A press on the expand glyph opens the category; a press on its name does not.
    ClickProfileRow(window, "Sony PSP", 60);
    QCOMPARE(window.lbFormat->model()->rowCount(), 32);
    ClickProfileRow(window, "Sony PSP", 8);
    QCOMPARE(window.lbFormat->model()->rowCount(), 37);
    ClickProfileRow(window, "PSP MPEG-4 Normal Quality (*.mp4)");
    QVERIFY(!window.lbFormat->isVisible());
    QCOMPARE(Store().FormatCode(), 401);
    QCOMPARE(Store().FormatName(""), std::string("PSP MPEG-4 Normal Quality (*.mp4)"));
    QCOMPARE(window.CurrentFormatCode, std::string("401"));
    QCOMPARE(window.cmbFormat->text(), QString("PSP MPEG-4 Normal Quality (*.mp4)"));
    QCOMPARE(window.cmbVideoSize->count(), 4);
    QCOMPARE(window.cmbVideoSize->itemText(3), QString("480x272"));
    QCOMPARE(window.cmbVideoEncoder->currentText(), QString("mpeg-4"));
    // A press outside the list closes it; its expanded category is kept when the window closes.
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    QVERIFY(window.lbFormat->isVisible());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                      window.btnDefault->mapTo(&window, window.btnDefault->rect().center()));
    QVERIFY(!window.lbFormat->isVisible());
    QVERIFY(!Store().ValueExists(settingskeys::ListSection, "4"));
    window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(Store().CategoryCollapsed(4), false);
    QCOMPARE(Store().CategoryCollapsed(0), true);
  }

  // A category opened by a click on its triangle leaves the list open for the pick.  The clicks
  // go through the window system, as a person's do, not straight to the list.
  void openingACategoryKeepsTheListOpen() {
    TfrmMain &window = Open();
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    TProfileListBox *list = window.lbFormat;
    QVERIFY(list->isVisible());
    const auto clickRow = [&](const std::string &text, int x) {
      const auto row = TProfileList::FindRow(list->Rows(), text);
      QVERIFY(row.has_value());
      const QModelIndex index = list->model()->index(static_cast<int>(*row), 0);
      list->scrollTo(index);
      QWidget *top = list->viewport()->window();
      const QPoint at =
          list->viewport()->mapTo(top, QPoint(x, list->visualRect(index).center().y()));
      QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, at);
    };
    clickRow("Sony PSP", 8);
    QCOMPARE(list->model()->rowCount(), 37);
    QVERIFY(list->isVisible());
    clickRow("Apple TV", 8);
    QCOMPARE(list->model()->rowCount(), 43);
    QVERIFY(list->isVisible());
    clickRow("PSP Video (480P) (*.mp4)", 60);
    QVERIFY(!list->isVisible());
    QCOMPARE(window.cmbFormat->text(), QString("PSP Video (480P) (*.mp4)"));
    QCOMPARE(Store().FormatCode(), 404);
  }

  // The Destination column names what Start would write now: it follows the profile's extension
  // and the output folder (where a file of that name may already stand).
  void destinationFollowsTheProfileAndTheOutputFolder() {
    UseProfile(401, "PSP MPEG-4 Normal Quality (*.mp4)");
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"clip.mp4"});
    const auto destination = [&] {
      return window.lvFiles->model()->index(0, TFilesModel::colDestination).data().toString();
    };
    QCOMPARE(destination(), QString("clip_(new).mp4"));

    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    ClickProfileRow(window, "Archos", 8);
    ClickProfileRow(window, "Archos 404/405 Video (*.avi)");
    QCOMPARE(Store().FormatCode(), 803);
    QCOMPARE(destination(), QString("clip_(new).avi"));
    QCOMPARE(window.Files().Row(0).Record.DestFile, (Dir() / "out/clip_(new).avi").string());

    // Another folder, where the first name is taken already.
    fs::create_directories(*FDir / "other");
    std::ofstream(*FDir / "other/clip_(new).avi") << "an earlier conversion";
    FDialogs->FolderToChoose = QString::fromStdString(*FDir / "other");
    QTest::mouseClick(window.btnBrows, Qt::LeftButton);
    QCOMPARE(destination(), QString("clip_(new_1).avi"));
    QCOMPARE(window.Files().Row(0).Record.DestFile, (Dir() / "other/clip_(new_1).avi").string());
  }

  void exitAsksFirst() {
    TfrmMain &window = Open();
    FDialogs->Answer = false;
    window.close();
    QVERIFY(window.isVisible());
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Caption, QString("Warning"));
    QCOMPARE(FDialogs->Shown[0].Text, QString("Do you really want to exit?"));
    QVERIFY(!Store().SectionExists(settingskeys::ListSection));
    FDialogs->Answer = true;
    QTest::mouseClick(window.btnExit, Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QVERIFY(Store().SectionExists(settingskeys::ListSection));
  }

  // The size and the list's column widths the window was left with come back at the next
  // start on the same store; a place kept on a screen that has gone is not used.
  void sizeAndColumnWidthsKeptAcrossARestart() {
    std::unique_ptr<TfrmMain> first = std::make_unique<TfrmMain>(FDialogs.get());
    first->show();
    QVERIFY(QTest::qWaitForWindowExposed(first.get()));
    first->resize(1000, 700);
    first->lvFiles->setColumnWidth(1, 333);
    QTRY_COMPARE(first->size(), QSize(1000, 700));
    first->SkipExitPrompt = true;
    QVERIFY(first->close());
    first.reset();
    QCOMPARE(Store().MainWindowPlacement().Normal.Width, 1000);

    TfrmMain &second = Open();
    QTRY_COMPARE(second.size(), QSize(1000, 700));
    QCOMPARE(second.lvFiles->columnWidth(1), 333);
    second.SkipExitPrompt = true;
    second.close();
    FWindow.reset();

    TWindowPlacement gone = Store().MainWindowPlacement();
    gone.Normal.Left = 60000;
    Store().SetMainWindowPlacement(gone);
    TfrmMain &third = Open();
    QVERIFY(third.screen()->availableVirtualGeometry().intersects(third.frameGeometry()));
  }

  // The preview picture grows with the window, in its shape.
  void thePreviewGrowsWithTheWindow() {
    TfrmMain &window = Open();
    QCOMPARE(window.pnlPreview->size(), QSize(243, 171));
    window.resize(1572, 1044);
    QTRY_COMPARE(window.pnlPreview->size(), QSize(486, 342));
    // The larger picture does not keep the window from going back to its first size.
    window.resize(786, 522);
    QTRY_COMPARE(window.size(), QSize(786, 522));
    QTRY_COMPARE(window.pnlPreview->size(), QSize(243, 171));
  }

  // Copy writes the source's stream as it is: the boxes that would change it are off while
  // copy is chosen, and on again with an encoder.
  void copyTurnsOffTheBoxesThatCannotApply() {
    UseProfile(2200, "MKV - Matroska Video (*.mkv)");
    TfrmMain &window = OpenWithRows({"a.mp4"});
    const QList<QComboBox *> video = {window.cmbVideoSize, window.cmbVideoBitRate,
                                      window.cmbFrameRate, window.cmbZoom};
    const QList<QComboBox *> audio = {window.cmbAudioBitRate, window.cmbSamplerate,
                                      window.cmbChannel, window.cmbVolume};
    for (QComboBox *box : video + audio) QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
    QCOMPARE(window.cmbVideoEncoder->itemText(window.cmbVideoEncoder->count() - 1),
             QString("copy"));

    window.cmbVideoEncoder->setFocus();
    QTest::keyClick(window.cmbVideoEncoder, Qt::Key_End);
    QCOMPARE(window.cmbVideoEncoder->currentText(), QString("copy"));
    QCOMPARE(Store().ReadProfile(2200, "paraVideoEncoder", ""), std::string("copy"));
    for (QComboBox *box : video) QVERIFY2(!box->isEnabled(), qPrintable(box->objectName()));
    for (QComboBox *box : audio) QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
    QVERIFY(window.cmbVideoEncoder->isEnabled());
    QVERIFY(window.cmbVideoEncoder->toolTip().contains("key frame at or before"));
    emit window.mnuEdit->aboutToShow();
    QVERIFY(window.mnuTrim->isEnabled());
    QVERIFY(!window.mnuCrop->isEnabled() && !window.mnuWaterMark->isEnabled());

    window.cmbAudioEncoder->setFocus();
    QTest::keyClick(window.cmbAudioEncoder, Qt::Key_End);
    QCOMPARE(window.cmbAudioEncoder->currentText(), QString("copy"));
    for (QComboBox *box : audio) QVERIFY2(!box->isEnabled(), qPrintable(box->objectName()));

    window.cmbVideoEncoder->setFocus();
    QTest::keyClick(window.cmbVideoEncoder, Qt::Key_Home);
    QCOMPARE(window.cmbVideoEncoder->currentText(), QString("h264"));
    for (QComboBox *box : video) QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
    QVERIFY(window.cmbVideoEncoder->toolTip().isEmpty());
    emit window.mnuEdit->aboutToShow();
    QVERIFY(window.mnuCrop->isEnabled() && window.mnuWaterMark->isEnabled());

    // The next start shows the stored copy with its boxes off.
    TfrmMain &again = Open();
    QCOMPARE(again.cmbAudioEncoder->currentText(), QString("copy"));
    QVERIFY(again.cmbVideoSize->isEnabled());
    for (QComboBox *box :
         {again.cmbAudioBitRate, again.cmbSamplerate, again.cmbChannel, again.cmbVolume})
      QVERIFY2(!box->isEnabled(), qPrintable(box->objectName()));
  }

  void addingTheSameFileTwiceAddsOneRow() {
    TfrmMain &window = Open();
    Store().SetOutPutDir(*FDir / "out");
    const QString clip = QString::fromStdString(Media("clip.mp4"));
    FDialogs->FilesToChoose = {clip, clip};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(RowCaptions(window), QStringList({clip}));
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 1);

    QVERIFY(FDialogs->NameFilters.first().startsWith("All Supported Video Formats ("));
    QVERIFY(FDialogs->NameFilters.last().startsWith("All files ("));
    const TConversionRow &row = window.Files().Rows()[0];
    QCOMPARE(row.LengthText, std::string("2"));
    QCOMPARE(row.TrimmedLengthText, std::string("2"));
    QCOMPARE(row.DestinationText, std::string("clip_(new).mp4"));
    QVERIFY(row.Checked && row.ProgressText.empty());
    QCOMPARE(row.Record.DestFile, *FDir / "out/clip_(new).mp4");
    QCOMPARE(window.lvFiles->SelectedRow(), 0);
    QVERIFY(window.btnStart->isEnabled() && window.btnStart2->isEnabled() &&
            window.btnRemove->isEnabled() && window.btnClear->isEnabled());
    const QAbstractItemModel *model = window.lvFiles->model();
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QString("Trimmed Length"));
    QCOMPARE(window.lvFiles->columnWidth(0), 140);
    QCOMPARE(model->index(0, 3).data().toString(), QString("clip_(new).mp4"));
  }

  void filesTheEngineCannotOpenAreSkipped() {
    TfrmMain &window = Open();
    Store().SetOutPutDir(*FDir / "out");
    std::ofstream(*FDir / "notes.txt") << "not a video";
    FDialogs->FilesToChoose = {QString::fromStdString(*FDir / "notes.txt"),
                               QString::fromStdString(Media("song.mp3", true))};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(RowCaptions(window), QStringList({QString::fromStdString(*FDir / "song.mp3")}));
    QVERIFY(FDialogs->Shown.empty());
  }

  void removeSelectsTheRowThatTakesItsPlace_data() {
    QTest::addColumn<int>("removed");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("selected");
    QTest::newRow("the last of three") << 2 << QStringList({"a.mp4", "b.mp4"}) << 1;
    QTest::newRow("the middle one") << 1 << QStringList({"a.mp4", "c.mp4"}) << 1;
    QTest::newRow("the first one") << 0 << QStringList({"b.mp4", "c.mp4"}) << 0;
  }

  void removeSelectsTheRowThatTakesItsPlace() {
    QFETCH(int, removed);
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4", "b.mp4", "c.mp4"});
    ClickRow(window, removed);
    QCOMPARE(window.lvFiles->SelectedRow(), removed);
    QTest::mouseClick(window.btnRemove, Qt::LeftButton);
    QStringList left;
    for (const QString &caption : RowCaptions(window))
      left << QString::fromStdString(fs::path(caption.toStdString()).filename().string());
    QTEST(left, "left");
    QTEST(window.lvFiles->SelectedRow(), "selected");
  }

  void removeAndClearOnAnEmptyListDoNothing() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4"});
    window.lvFiles->clearSelection();
    window.mnuRemove->trigger();  // no selected row
    QCOMPARE(window.Files().Count(), 1);
    window.lvFiles->SelectRow(0);
    QTest::mouseClick(window.btnRemove, Qt::LeftButton);
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(window.lvFiles->SelectedRow(), -1);
    QVERIFY(!window.btnRemove->isEnabled() && !window.btnClear->isEnabled());
    window.mnuClear->trigger();
    QCOMPARE(window.Files().Count(), 0);

    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    FDialogs->FilesToChoose = {QString::fromStdString(*FDir / "a.mp4"),
                               QString::fromStdString(Media("b.mp4"))};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 2);
    QTest::mouseClick(window.btnClear, Qt::LeftButton);
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(window.lvFiles->model()->rowCount(), 0);
  }

  void checkCommands() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4", "b.mp4", "c.mp4"});
    // A click on the check box square toggles the row.
    ClickRow(window, 1, 8);
    QCOMPARE(RowChecks(window), QList<bool>({true, false, true}));
    window.mnuReverseCheck->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({false, true, false}));
    window.mnuCheckAll->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({true, true, true}));
    window.mnuUncheckAll->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({false, false, false}));
    ClickRow(window, 2);
    window.mnuCheck->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({false, false, true}));
    QTest::keyClick(window.lvFiles, Qt::Key_Space);
    QCOMPARE(RowChecks(window), QList<bool>({false, false, false}));
    QCOMPARE(window.lvFiles->model()->index(2, 0).data(Qt::CheckStateRole).toInt(),
             int(Qt::Unchecked));
  }

  void severalRowsAreCheckedAndRemovedAtOnce() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4", "b.mp4", "c.mp4", "d.mp4"});
    const auto leftNames = [&] {
      QStringList left;
      for (const QString &caption : RowCaptions(window))
        left << QString::fromStdString(fs::path(caption.toStdString()).filename().string());
      return left;
    };
    ClickRow(window, 1);
    ClickRow(window, 3, 60, Qt::ShiftModifier);
    QCOMPARE(window.lvFiles->SelectedRows(), std::set<int>({1, 2, 3}));
    QCOMPARE(window.lvFiles->SelectedRow(), 3);  // the editors' row: the one clicked last
    window.mnuUncheck->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({true, false, false, false}));
    ClickRow(window, 2, 60, Qt::ControlModifier);
    QCOMPARE(window.lvFiles->SelectedRows(), std::set<int>({1, 3}));
    window.mnuCheck->trigger();
    QCOMPARE(RowChecks(window), QList<bool>({true, true, false, true}));
    QTest::keyClick(window.lvFiles, Qt::Key_Delete);
    QCOMPARE(leftNames(), QStringList({"a.mp4", "c.mp4"}));
    QCOMPARE(window.lvFiles->SelectedRows(), std::set<int>({1}));
    QTest::keyClick(window.lvFiles, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window.lvFiles->SelectedRows(), std::set<int>({0, 1}));
    QTest::mouseClick(window.btnRemove, Qt::LeftButton);
    QCOMPARE(window.Files().Count(), 0);
    QVERIFY(!window.btnRemove->isEnabled());
  }

  // Every key sequence the menus show reaches its command from the window, and the commands
  // with a standard sequence use the desktop's.
  void menuShortcutsTriggerTheirActions() {
    Store().SetOutPutDir(*FDir / "out");
    FDialogs->Answer = false;  // Quit asks, and the window stays
    TfrmMain &window = Open();
    const auto standard = [](QKeySequence::StandardKey key, const QKeySequence &otherwise) {
      const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
      return keys.isEmpty() ? otherwise : keys.first();
    };
    const std::vector<std::pair<QAction *, QKeySequence>> table = {
        // Quit last
        {window.mnuAdd, standard(QKeySequence::Open, {})},
        {window.mnuRemove, standard(QKeySequence::Delete, {})},
        {window.mnuStart, QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {window.mnuPreference,
         standard(QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma))},
        {window.mnuHelpItem, standard(QKeySequence::HelpContents, {})},
        {window.mnuExit, standard(QKeySequence::Quit, {})}};
    std::set<QAction *> shown;
    for (QMenu *menu : {window.mnuFile, window.mnuEdit, window.mnuTools, window.mnuHelp})
      for (QAction *action : menu->actions())
        if (!action->shortcut().isEmpty()) shown.insert(action);
    std::set<QAction *> listed;
    for (const auto &entry : table) listed.insert(entry.first);
    QCOMPARE(shown, listed);

    for (const auto &[action, keys] : table) {
      QVERIFY2(!keys.isEmpty(), qPrintable(action->objectName()));
      QCOMPARE(action->shortcut(), keys);
      QSignalSpy triggered(action, &QAction::triggered);
      window.lvFiles->setFocus();
      QTest::keySequence(&window, keys);
      QVERIFY2(triggered.count() == 1, qPrintable(action->objectName()));
    }
    // What the commands did, through the recorder.
    QVERIFY(!FDialogs->NameFilters.isEmpty());  // the open dialog of Add
    QVERIFY(FDialogs->ModalWindows.contains("frmPreference"));
    QCOMPARE(FDialogs->Opened, QStringList({QString::fromStdString(window.Global().HelpUrl())}));
    QVERIFY(!FDialogs->Shown.empty() &&
            FDialogs->Shown.back().Text == QString("Do you really want to exit?"));
    QVERIFY(window.isVisible());

    // The preview's stop, which has no menu, tells its key in its hint.
    const QKeySequence stop(Qt::CTRL | Qt::Key_Period);
    QCOMPARE(window.btnPreviewStop->shortcut(), stop);
    QVERIFY(window.btnPreviewStop->toolTip().contains(stop.toString(QKeySequence::NativeText)));
  }

  // The preview's stop has a key of its own; a clip long enough not to end by itself meanwhile.
  void previewStopKeyStopsThePlaying() {
    TfrmMain &window = Open();
    FDialogs->FilesToChoose << QString::fromStdString(
        TWindowFixture::Media(fixtures::Clip(10.0), "long.mp4"));
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    window.lvFiles->SelectRow(0);
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing() && window.btnPreviewStop->isEnabled(), 5000);
    QVERIFY(!window.PreviewStopped);
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_Period));
    QTRY_VERIFY_WITH_TIMEOUT(window.PreviewStopped && !window.FFPlayer.Playing(), 5000);
  }

  // Tab alone goes through the list, the output boxes, the parameter panel and the preview's
  // controls, and the profiles open from the keyboard.
  void tabReachesTheListAndThePanels() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4"});
    window.lvFiles->setFocus();
    const std::set<QWidget *> visited = TabVisits(window);
    for (QWidget *w : std::initializer_list<QWidget *>{
             window.btnAdd, window.lvFiles, window.btnFormatDrop, window.edtOutPutDir,
             window.btnBrows, window.btnStart2, window.cmbVideoSize, window.cmbAudioEncoder,
             window.btnPlay, window.tbVolume})
      QVERIFY2(visited.count(w), qPrintable(w->objectName()));
    window.btnFormatDrop->setFocus();
    QTest::keyClick(window.btnFormatDrop, Qt::Key_Space);
    QVERIFY(window.ProfilePicker->ListShown());
    QTest::keyClick(window.lbFormat, Qt::Key_Escape);
    QVERIFY(!window.ProfilePicker->ListShown());
  }

  // Every control of the dialogs the menus open is reached by Tab.
  void tabReachesEveryControlOfTheDialogs() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4"});
    window.lvFiles->SelectRow(0);
    QStringList missed;
    FDialogs->OnModal = [&](QDialog &dialog) {
      QWidget *first = nullptr;
      std::set<QWidget *> wanted;
      for (QWidget *w : dialog.findChildren<QWidget *>())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            !w->focusProxy() && w->window() == &dialog) {
          wanted.insert(w);
          if (!first) first = w;
        }
      if (!first) return;
      first->setFocus();
      const std::set<QWidget *> visited = TabVisits(dialog);
      for (QWidget *w : wanted)
        if (!visited.count(w)) missed << dialog.objectName() + "." + w->objectName();
    };
    for (QAction *action : {window.mnuPreference, window.mnuAbout, window.pmVideoInfo,
                            window.mnuCrop, window.mnuTrim, window.mnuWaterMark})
      action->trigger();
    QCOMPARE(FDialogs->ModalWindows.size(), 6);
    QCOMPARE(missed, QStringList());
  }

  void rowCommandsNeedASelectedRow() {
    TfrmMain &window = Open();
    auto enabled = [](std::initializer_list<QAction *> entries) {
      QList<bool> states;
      for (QAction *entry : entries) states << entry->isEnabled();
      return states;
    };
    emit window.mnuEdit->aboutToShow();
    emit window.pmFiles->aboutToShow();
    QVERIFY(window.mnuWaterMark->isVisible() && window.pmWaterMark->isVisible());
    const QList<bool> none(8, false);
    QCOMPARE(
        enabled({window.mnuCrop, window.mnuTrim, window.mnuWaterMark, window.mnuCheckAll,
                 window.mnuUncheckAll, window.mnuReverseCheck, window.mnuCheck, window.mnuUncheck}),
        none);
    QCOMPARE(enabled({window.pmAdd, window.pmRemove, window.pmClear, window.pmStart,
                      window.pmVideoInfo}),
             QList<bool>({true, false, false, false, false}));

    Store().SetOutPutDir(*FDir / "out");
    FDialogs->FilesToChoose = {QString::fromStdString(Media("a.mp4"))};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    emit window.mnuEdit->aboutToShow();
    emit window.pmFiles->aboutToShow();
    QCOMPARE(
        enabled({window.mnuCrop, window.mnuTrim, window.mnuWaterMark, window.mnuCheckAll,
                 window.mnuUncheckAll, window.mnuReverseCheck, window.mnuCheck, window.mnuUncheck}),
        QList<bool>(8, true));
    QCOMPARE(enabled({window.pmRemove, window.pmClear, window.pmStart, window.pmVideoInfo}),
             QList<bool>(4, true));
  }

  void frameSizeBoxMessages_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");  // empty: no message
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");
    const QString title = "Morvane MP4 Video Converter";
    QTest::newRow("odd sizes are corrected")
        << "321x241"
        << "Input Error!"
        << "Frame Size must be a multiple of 2.\nThe correct value:320x240"
        << "320x240"
        << "320x240";
    QTest::newRow("a zero becomes 2")
        << "0x480"
        << "Input Error!"
        << "Frame Size must be a multiple of 2.\nThe correct value:2x480"
        << "2x480"
        << "2x480";
    QTest::newRow("as source in capitals stores nothing") << "AS SOURCE"
                                                          << ""
                                                          << ""
                                                          << "AS SOURCE"
                                                          << "<none>";
    QTest::newRow("split at the last x")
        << "640x480x2" << title << "Frame Size is not a valid value!"
        << "368x208"
        << "<none>";
    QTest::newRow("no x") << "640" << title << "Frame Size is not a valid value!"
                          << "368x208"
                          << "<none>";
    QTest::newRow("an even size is stored") << "640x480"
                                            << ""
                                            << ""
                                            << "640x480"
                                            << "640x480";
  }

  void frameSizeBoxMessages() {
    QFETCH(QString, text);
    UseProfile(401, "PSP MPEG-4 Normal Quality (*.mp4)");
    TfrmMain &window = Open();
    Store().WriteProfile(401, profilekeys::paraVideoSize, "<none>");
    window.cmbVideoSize->setFocus();
    QTRY_VERIFY(window.cmbVideoSize->hasFocus());
    window.cmbVideoSize->lineEdit()->setText(text);  // as pasted: the key filter is not involved
    window.cmbVideoBitRate->setFocus();              // leaving the box
    QFETCH(QString, caption);
    if (caption.isEmpty()) {
      QVERIFY(FDialogs->Shown.empty());
    } else {
      QCOMPARE(FDialogs->Shown.size(), size_t(1));
      QCOMPARE(FDialogs->Shown[0].Caption, caption);
      QTEST(FDialogs->Shown[0].Text, "message");
    }
    QTEST(window.cmbVideoSize->currentText(), "shown");
    QTEST(QString::fromStdString(Store().ReadProfile(401, profilekeys::paraVideoSize, "")),
          "stored");
  }

  void keyFiltersOfTheEditableBoxes() {
    UseProfile(401, "PSP MPEG-4 Normal Quality (*.mp4)");
    TfrmMain &window = Open();
    window.cmbVideoSize->setFocus();
    QTRY_VERIFY(window.cmbVideoSize->hasFocus());
    window.cmbVideoSize->lineEdit()->clear();
    QTest::keyClicks(window.cmbVideoSize, "64a0x48x0");
    QCOMPARE(window.cmbVideoSize->currentText(), QString("640x480"));

    window.cmbVideoBitRate->setFocus();
    QTRY_VERIFY(window.cmbVideoBitRate->hasFocus());
    window.cmbVideoBitRate->lineEdit()->selectAll();
    QTest::keyClicks(window.cmbVideoBitRate, "1000k");
    QCOMPARE(window.cmbVideoBitRate->currentText(), QString("1000"));
    QTest::keyClick(window.cmbVideoBitRate, Qt::Key_Return);  // the value is stored as it ends
    QCOMPARE(Store().ReadProfile(401, profilekeys::paraVideoBitRate, ""), std::string("1000"));
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Text, QString("Please enter numerical."));
  }

  // The number boxes are checked when their editing ends, not on every keystroke: a box cleared
  // to type a new number says nothing on the way, and a box left empty still gets the message and
  // falls back to its item 1.
  void numberBoxesAreCheckedWhenEditingEnds_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");  // otherwise by the focus leaving the box
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("before");   // stored until the editing ends
    QTest::addColumn<QString>("message");  // empty: none
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");
    QTest::newRow("video bit rate, Enter")
        << "cmbVideoBitRate"
        << "800" << true << profilekeys::paraVideoBitRate << "512"
        << ""
        << "800"
        << "800";
    QTest::newRow("video bit rate, left")
        << "cmbVideoBitRate"
        << "800" << false << profilekeys::paraVideoBitRate << "512"
        << ""
        << "800"
        << "800";
    QTest::newRow("video bit rate left empty")
        << "cmbVideoBitRate"
        << "" << false << profilekeys::paraVideoBitRate << "512"
        << "Video BitRate is not a valid value!"
        << "384"
        << "512";
    QTest::newRow("sample rate, Enter") << "cmbSamplerate"
                                        << "44100" << true << profilekeys::paraSampleRate << "48000"
                                        << ""
                                        << "44100"
                                        << "44100";
    QTest::newRow("sample rate left empty") << "cmbSamplerate"
                                            << "" << false << profilekeys::paraSampleRate << "48000"
                                            << "Audio SampleRate is not a valid value!"
                                            << "48000"
                                            << "48000";
    QTest::newRow("audio bit rate, left") << "cmbAudioBitRate"
                                          << "112" << false << profilekeys::paraAudioBitRate << "96"
                                          << ""
                                          << "112"
                                          << "112";
    QTest::newRow("audio bit rate, Enter on empty")
        << "cmbAudioBitRate"
        << "" << true << profilekeys::paraAudioBitRate << "96"
        << "Audio BitRate is not a valid value!"
        << "96"
        << "96";
  }

  void numberBoxesAreCheckedWhenEditingEnds() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, key);
    QFETCH(QString, before);
    UseProfile(401, "PSP MPEG-4 Normal Quality (*.mp4)");
    TfrmMain &window = Open();
    auto *edited = window.findChild<QComboBox *>(box);
    QVERIFY(edited);
    const auto stored = [&] {
      return QString::fromStdString(Store().ReadProfile(401, key.toStdString(), ""));
    };
    const auto shownFirst = [&] {
      return FDialogs->Shown.empty() ? QString() : FDialogs->Shown.front().Text;
    };
    QCOMPARE(stored(), before);
    edited->setFocus();
    QTRY_VERIFY(edited->hasFocus());
    edited->lineEdit()->selectAll();
    QTest::keyClick(edited, Qt::Key_Backspace);
    QTest::keyClicks(edited, typed);
    QCOMPARE(edited->currentText(), typed);
    QVERIFY2(FDialogs->Shown.empty(), qPrintable(shownFirst()));
    QCOMPARE(stored(), before);

    QFETCH(bool, byEnter);
    if (byEnter) {
      QTest::keyClick(edited, Qt::Key_Return);
    } else {
      window.cmbFrameRate->setFocus();
      QTRY_VERIFY(!edited->hasFocus());
    }
    QFETCH(QString, message);
    if (message.isEmpty()) {
      QVERIFY2(FDialogs->Shown.empty(), qPrintable(shownFirst()));
    } else {
      QCOMPARE(FDialogs->Shown.size(), size_t(1));
      QCOMPARE(FDialogs->Shown[0].Text, message);
    }
    QTEST(edited->currentText(), "shown");
    QTEST(stored(), "stored");
  }

  void listBoxesWriteTheirValuesAndDefaultRestores() {
    UseProfile(401, "PSP MPEG-4 Normal Quality (*.mp4)");
    TfrmMain &window = Open();
    window.cmbVolume->setFocus();
    QTRY_VERIFY(window.cmbVolume->hasFocus());
    QTest::keyClick(window.cmbVolume, Qt::Key_Down);
    QCOMPARE(window.cmbVolume->currentText(), QString("125%"));
    QCOMPARE(Store().ReadProfile(401, profilekeys::paraVolume, ""), std::string("320"));
    QCOMPARE(Store().ReadProfileInteger(401, profilekeys::iVolume, -1), 4);
    window.cmbZoom->setFocus();
    QTRY_VERIFY(window.cmbZoom->hasFocus());
    QTest::keyClick(window.cmbZoom, Qt::Key_Down);
    QCOMPARE(Store().ReadProfile(401, profilekeys::paraZoom, ""), std::string("lbox"));

    QTest::mouseClick(window.btnDefault, Qt::LeftButton);
    QCOMPARE(window.cmbVolume->currentText(), QString("100%"));
    QCOMPARE(Store().ReadProfile(401, profilekeys::paraVolume, ""), std::string("256"));
    QCOMPARE(window.cmbZoom->currentText(), QString("Full Screen"));
    QCOMPARE(Store().ReadProfile(401, profilekeys::paraZoom, ""), std::string("full"));
  }

  void droppingAFolderAddsItsMediaFiles() {
    TfrmMain &window = Open();
    Store().SetOutPutDir(*FDir / "out");
    const std::string clip = Media("drop/clip.mp4");
    const std::string song = Media("drop/song.mp3", true);
    const std::string nested = Media("drop/more/late.mkv");
    std::ofstream(*FDir / "drop/notes.txt") << "not media";
    std::ofstream(*FDir / "drop/fake.avi") << "not media either";

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(*FDir / "drop"))});
    QWidget *target = window.lvFiles->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(AddingEnded(window));
    QCOMPARE(RowCaptions(window),
             QStringList({QString::fromStdString(clip), QString::fromStdString(nested),
                          QString::fromStdString(song)}));
    // Text that is not a file is refused at the door.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &refused);
    QVERIFY(!refused.isAccepted());
  }

  // The files a desktop passes on the command line (the entry's %F): relative names from the
  // working folder, a folder for its media files, a file already listed once.
  void filesOnTheCommandLineAreAdded() {
    Store().SetOutPutDir(*FDir / "out");
    const std::string clip = Media("clip.mp4");
    const std::string song = Media("music/song.mp3", true);
    std::ofstream(*FDir / "notes.txt") << "not media";
    TfrmMain &window = Open();
    window.AddPaths(CommandLinePaths({"--", "clip.mp4", "music", "notes.txt", clip}, FDir->Path()));
    QVERIFY(AddingEnded(window));
    QCOMPARE(RowCaptions(window),
             QStringList({QString::fromStdString(clip), QString::fromStdString(song)}));
    QCOMPARE(RowChecks(window), QList<bool>({true, true}));
    QCOMPARE(window.lvFiles->model()->rowCount(), 2);
  }

  // The files are read on a worker thread: their rows come at once, reading, in the order
  // given, and get their lengths as the probes end; a file the engine cannot open leaves again
  // without a word, as it always did.  Start waits until every row knows its length.
  void addedRowsReadInTheOrderGiven() {
    Store().SetOutPutDir(*FDir / "out");
    std::ofstream(*FDir / "broken.avi") << "not a video";
    const std::vector<std::string> files = {Media("c.mp4"), *FDir / "broken.avi",
                                            Media("a.mp3", true), Media("b.mp4")};
    TfrmMain &window = Open();
    window.AddFiles(files);
    QCOMPARE(window.Files().Count(), 4);
    for (int row = 0; row < 4; ++row)
      QCOMPARE(window.lvFiles->model()->index(row, 1).data().toString(), QString("reading..."));
    QVERIFY(window.AddingFiles());
    QVERIFY(!window.btnStart->isEnabled() && !window.mnuStart->isEnabled());
    window.lvFiles->SelectRow(0);
    emit window.pmFiles->aboutToShow();
    QVERIFY(!window.pmStart->isEnabled());
    QVERIFY(AddingEnded(window));
    QCOMPARE(RowCaptions(window),
             QStringList({QString::fromStdString(files[0]), QString::fromStdString(files[2]),
                          QString::fromStdString(files[3])}));
    for (int row = 0; row < 3; ++row)
      QCOMPARE(window.lvFiles->model()->index(row, 1).data().toString(), QString("2"));
    QVERIFY(window.btnStart->isEnabled() && window.mnuStart->isEnabled());
    QVERIFY(FDialogs->Shown.empty());
  }

  // A dropped folder of many files is walked and read on a worker thread, and Escape in the list
  // stops it: the rows still reading leave, the rows read stay, nothing comes in afterwards, and
  // the list takes files again.  Escape right after a drop stops the folder's walk.
  void escapeInTheListStopsADroppedFolder() {
    Store().SetOutPutDir(*FDir / "out");
    const std::string first = Media("many/000.mp4");
    for (int i = 1; i < 150; ++i) {
      const std::string name = std::to_string(1000 + i).substr(1);
      fs::copy_file(first, Dir() / "many" / (name + ".mp4"));
      fs::create_directories(Dir() / "more");
      if (i < 20) fs::copy_file(first, Dir() / "more" / (name + ".mp4"));
    }
    TfrmMain &window = Open();
    DropOnList(window, {*FDir / "many"});
    QVERIFY(window.AddingFiles());
    QVERIFY(QTest::qWaitFor([&] { return window.Files().Count() > 0; }, 30000));
    QTest::keyClick(window.lvFiles, Qt::Key_Escape);
    QVERIFY(!window.AddingFiles());
    const int kept = window.Files().Count();
    QVERIFY2(kept < 150, qPrintable(QString::number(kept)));
    QVERIFY(!window.Files().Reading());
    QCOMPARE(window.lvFiles->model()->rowCount(), kept);
    QTest::qWait(500);
    QCOMPARE(window.Files().Count(), kept);

    DropOnList(window, {*FDir / "more"});
    QTest::keyClick(window.lvFiles, Qt::Key_Escape);
    QVERIFY(!window.AddingFiles());
    QTest::qWait(500);
    QCOMPARE(window.Files().Count(), kept);

    FDialogs->FilesToChoose = {QString::fromStdString(*FDir / "more/001.mp4")};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), kept + 1);
    QCOMPARE(window.lvFiles->model()->index(kept, 1).data().toString(), QString("2"));
  }

  // Closing the window while its files are still read: the probe running ends on its worker, and
  // its result finds no window.
  void closingWhileFilesAreReadIsSafe() {
    Store().SetOutPutDir(*FDir / "out");
    std::vector<std::string> files;
    for (int i = 0; i < 30; ++i) files.push_back(Media("close/" + std::to_string(i) + ".mp4"));
    TfrmMain &window = Open();
    window.AddFiles(files);
    QVERIFY(window.AddingFiles());
    window.SkipExitPrompt = true;
    window.close();
    FWindow.reset();
    // The worker's probe ends, and another window takes files again: the rows left reading are
    // kept for it and read again, and a file among them is not listed twice.
    QTest::qWait(500);
    TfrmMain &again = Open();
    again.AddFiles({files[0]});
    QVERIFY(AddingEnded(again));
    QCOMPARE(again.Files().Count(), 30);
    for (const TConversionRow &row : again.Files().Rows())
      QCOMPARE(row.LengthText, std::string("2"));
  }

  // A named pipe given on the command line, dropped or chosen in "&Add" is refused with a
  // message naming it, without being opened (which would wait for a writer for ever); the
  // files beside it are added.
  void aPipeIsRefusedWithAMessageAndNeverOpened() {
    Store().SetOutPutDir(*FDir / "out");
    const std::string fifo = *FDir / "fifo.mp4";
    QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
    const std::string clip = Media("clip.mp4");
    const QString refusal = QString::fromStdString(
        fifo + ": is a named pipe, not a regular file; only regular files can be converted");
    TfrmMain &window = Open();
    {
      TPipeRescue rescue(fifo, std::chrono::seconds(10));
      // The command line and a drop come in through AddPaths.
      window.AddPaths(CommandLinePaths({"fifo.mp4", "clip.mp4"}, FDir->Path()));
      QVERIFY(AddingEnded(window));
      QVERIFY2(!rescue.Rescued(), "the pipe was opened");
    }
    QCOMPARE(RowCaptions(window), QStringList({QString::fromStdString(clip)}));
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown.back().Caption, QString("Warning"));
    QCOMPARE(FDialogs->Shown.back().Text, refusal);
    {
      TPipeRescue rescue(fifo, std::chrono::seconds(10));
      FDialogs->FilesToChoose = QStringList({QString::fromStdString(fifo)});
      QTest::mouseClick(window.btnAdd, Qt::LeftButton);
      QVERIFY(AddingEnded(window));
      QVERIFY2(!rescue.Rescued(), "the pipe was opened");
    }
    QCOMPARE(window.Files().Count(), 1);
    QCOMPARE(FDialogs->Shown.size(), size_t(2));
    QCOMPARE(FDialogs->Shown.back().Text, refusal);
  }

  // A file whose name is not UTF-8 is not dropped without a word: the command line (its bytes)
  // and "&Add" (the name as the toolkit decoded it) both refuse it with a message.
  void aNameThatIsNotUTF8IsRefusedWithAMessage() {
    Store().SetOutPutDir(*FDir / "out");
    const std::string bytes = *FDir / "caf\xE9.mp4";
    fs::copy_file(fixtures::Clip(1.0), bytes);
    const QString expected = QString::fromStdString(
        FDir->Path().string() +
        "/caf\\xE9.mp4: the file name is not valid UTF-8 text; rename the file to convert it");
    TfrmMain &window = Open();
    window.AddPaths({bytes});
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown.back().Text, expected);
    FDialogs->FilesToChoose = QStringList({QFile::decodeName(QByteArray::fromStdString(bytes))});
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(FDialogs->Shown.size(), size_t(2));
    QVERIFY2(FDialogs->Shown.back().Text.endsWith(
                 ": the file name is not valid UTF-8 text; rename the file to convert it"),
             qPrintable(FDialogs->Shown.back().Text));
  }

  void aFailedRowShowsItsReason() {
    Store().SetOutPutDir(*FDir / "out");
    TfrmMain &window = OpenWithRows({"a.mp4", "b.mp4"});
    window.Files().Row(1).FailReason = "Invalid data found when processing input";
    window.RefreshRow(1);
    QWidget *viewport = window.lvFiles->viewport();
    const QRect row1 = window.lvFiles->visualRect(window.lvFiles->model()->index(1, 3));
    QHelpEvent help(QEvent::ToolTip, row1.center(), viewport->mapToGlobal(row1.center()));
    QApplication::sendEvent(viewport, &help);
    QTRY_COMPARE(QToolTip::text(), QString("Invalid data found when processing input"));
    const QRect row0 = window.lvFiles->visualRect(window.lvFiles->model()->index(0, 0));
    QHelpEvent path(QEvent::ToolTip, row0.center(), viewport->mapToGlobal(row0.center()));
    QApplication::sendEvent(viewport, &path);
    QTRY_COMPARE(QToolTip::text(), QString::fromStdString(*FDir / "a.mp4"));
  }

  void outputFolderButtons() {
    TfrmMain &window = Open();
    const QString chosen = QString::fromStdString(*FDir / "chosen");
    FDialogs->FolderToChoose = chosen;
    QTest::mouseClick(window.btnBrows, Qt::LeftButton);
    QCOMPARE(window.edtOutPutDir->text(), chosen);
    QCOMPARE(Store().OutPutDir(), chosen.toStdString());
    QTest::mouseClick(window.btnOpen, Qt::LeftButton);
    QCOMPARE(FDialogs->Opened, QStringList({chosen}));
    QVERIFY(fs::is_directory(chosen.toStdString()));
  }

  void skinMenuSwitchesTheTheme() {
    TfrmMain &window = Open();
    emit window.mnuSkin->aboutToShow();
    window.mnuSkinItems[2]->trigger();
    QCOMPARE(window.Skin().ThemeIndex(), 2);
    QCOMPARE(Store().SkinIndex(), 2);
    QCOMPARE(window.lvFiles->OddRowColor(), QColor(248, 242, 224));
    QVERIFY(window.isVisible());

    // The entry that is checked already changes nothing and writes nothing.
    fs::remove(SettingsPath());
    int hidden = 0;
    struct THideCounter : QObject {
      int &Count;
      explicit THideCounter(int &count) : Count(count) {}
      bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Hide) ++Count;
        return false;
      }
    } counter(hidden);
    window.installEventFilter(&counter);
    window.mnuSkinItems[2]->trigger();
    window.removeEventFilter(&counter);
    QCOMPARE(hidden, 0);
    QVERIFY(window.mnuSkinItems[2]->isChecked());
    QVERIFY(!fs::exists(SettingsPath()));

    // Other windows take the main window's theme when they show.
    FDialogs->OnModal = [&](QDialog &dialog) {
      QCOMPARE(dialog.windowTitle(), QString("About"));
      QCOMPARE(dialog.size(), QSize(360, 190));
      QCOMPARE(dialog.styleSheet(), window.styleSheet());
      auto *about = static_cast<TfrmAbout *>(&dialog);
      QCOMPARE(about->lblProduct->text(), QString::fromStdString(window.Global().ProductTitle() +
                                                                 window.Global().VersionText())
                                              .trimmed());
      QVERIFY(
          about->lblWebSite->text().contains(QString::fromStdString(window.Global().WebSiteUrl())));
      QCOMPARE(about->btnOk->text(), QString("&Ok"));
    };
    window.mnuAbout->trigger();
    QCOMPARE(FDialogs->ModalWindows, QStringList({"frmAbout"}));
  }

  void anEscapedExceptionIsReportedAndTheProgramGoesOn() {
    // The format INI is damaged by hand while the window is open: profile 401's default volume
    // index selects no item, so "Default" cannot work out the volume and raises.
    const std::string formatIni = *FDir / "damaged.ini";
    std::filesystem::copy_file(MORVANE_FORMAT_INI_FILE, formatIni);
    qputenv("MORVANE_FORMAT_INI", QByteArray::fromStdString(formatIni));
    Store().SetFormatCode(401);
    TfrmMain &window = Open();
    qputenv("MORVANE_FORMAT_INI", MORVANE_FORMAT_INI_FILE);
    {
      std::ifstream in(MORVANE_FORMAT_INI_FILE);
      std::ofstream out(formatIni);
      bool in401 = false;
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '[') in401 = line == "[formatInfo401]";
        out << (in401 && line.rfind("iVolume=", 0) == 0 ? "iVolume=99" : line) << "\n";
      }
    }
    const size_t before = FDialogs->Shown.size();
    QTest::mouseClick(window.btnDefault, Qt::LeftButton);
    QCOMPARE(FDialogs->Shown.size(), before + 1);
    const TRecordingDialogs::TShown &report = FDialogs->Shown.back();
    QCOMPARE(report.Caption, QString("Morvane MP4 Video Converter"));
    QVERIFY2(report.Text.startsWith(QString::fromStdString(
                 formatIni + ": profile 401, section [formatInfo401], key iVolume: 99 selects")),
             qPrintable(report.Text));
    QCOMPARE(report.Icon, TMessageIcon::Error);
    QVERIFY(window.isVisible());
    // The window still works.
    FDialogs->FilesToChoose = {QString::fromStdString(Media("a.mp4"))};
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 1);
    const size_t beforeClose = FDialogs->Shown.size();
    window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(FDialogs->Shown.size(), beforeClose + 1);  // the question
  }

  void aFullDiskLeavesTheStoreAsItWas() {
    // A store with a profile of the user's, then a disk on which every write fails as a full one
    // does: starting, changing the profile list and closing leave the store's bytes.
    Store().SetFormatCode(401);
    Store().WriteProfile(401, "paraVideoSize", "480x272");
    std::ifstream in(SettingsPath(), std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    TFileWriteCalls full = TFileWriteCalls::System();
    full.Write = [](int, const void *, size_t) -> ssize_t {
      errno = ENOSPC;
      return -1;
    };
    SetStoreWriteCalls(&full);
    TfrmMain &window = Open();
    window.mnuSkinItems[2]->trigger();
    window.close();
    QCoreApplication::processEvents();
    SetStoreWriteCalls(nullptr);
    std::ifstream after(SettingsPath(), std::ios::binary);
    QCOMPARE(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()),
             before);
    QStringList said;
    for (const TRecordingDialogs::TShown &shown : FDialogs->Shown)
      if (shown.Text.contains("No space left on device")) said << shown.Text;
    QCOMPARE(said.size(), 1);
    QVERIFY2(said[0].startsWith(
                 QString::fromStdString("The settings could not be saved to " + SettingsPath())),
             qPrintable(said[0]));
  }

  void aStoreThatCannotBeWrittenStillFillsThePanelAndSaysSoOnce() {
    std::ofstream(*FDir / "blocker") << "a file where a folder should be";
    const std::string unwritable = *FDir / "blocker/settings.ini";
    qputenv("MORVANE_SETTINGS_INI", QByteArray::fromStdString(unwritable));
    TfrmMain &window = Open();
    QCoreApplication::processEvents();  // the store's notice comes from the window loop
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QVERIFY2(FDialogs->Shown[0].Text.startsWith(
                 QString::fromStdString("The settings could not be saved to " + unwritable)),
             qPrintable(FDialogs->Shown[0].Text));
    QVERIFY(FDialogs->Shown[0].Text.endsWith("Changes will not be kept."));
    // Every box of the default profile shows its default.
    for (QComboBox *box : {window.cmbVideoSize, window.cmbVideoBitRate, window.cmbFrameRate,
                           window.cmbVideoEncoder, window.cmbAudioBitRate, window.cmbSamplerate,
                           window.cmbAudioEncoder, window.cmbChannel, window.cmbVolume})
      QVERIFY2(!box->currentText().isEmpty(), qPrintable(box->objectName()));
    // A change holds for the run, without another word.
    FDialogs->FolderToChoose = QString::fromStdString(*FDir / "chosen");
    QTest::mouseClick(window.btnBrows, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(window.edtOutPutDir->text(), QString::fromStdString(*FDir / "chosen"));
    QCOMPARE(TSettingsStore(unwritable).OutPutDir(), *FDir / "chosen");
    window.close();
    QCoreApplication::processEvents();
    QCOMPARE(FDialogs->Shown.size(), size_t(2));  // and the exit question
  }

  void splashClosesOnceTheMainWindowShows() {
    TfrmMain &window = Open();
    TfrmCover cover;
    QCOMPARE(cover.Picture().size(), QSize(399, 239));
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    QCOMPARE(cover.size(), QSize(399, 239));
    cover.SetMainWindow(&window);
    QTRY_VERIFY_WITH_TIMEOUT(!cover.isVisible(), 3000);
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TMainWindowTest>(argc, argv);
}

#include "MainWindowTest.moc"
