// The preferences dialog, the folder chooser and the profile settings dialog, driven through
// their widgets with a private settings store and the message boxes answered by a recorder.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "gui/Application.h"
#include "gui/ProfileListBox.h"
#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "tests/windows/RecordingDialogs.h"
#include "tests/windows/WindowFixture.h"
#include "windows/WinDirectory.h"
#include "windows/WinPreference.h"
#include "windows/WinSettings.h"
#include "workspace/SettingsStore.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;
namespace sk = settingskeys;

namespace {

constexpr const char PspName[] = "PSP MPEG-4 Normal Quality (*.mp4)";
constexpr int PspCode = 401;

std::string FileText(const fs::path &file) {
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

// A click on the box's square (a box in a wide layout cell is wider than what takes clicks).
void ClickBox(QCheckBox *box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

}  // namespace

class TDialogsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<fixtures::TTempDir> FDir;
  std::unique_ptr<TRecordingDialogs> FDialogs;
  TSkinManager FSkin;

  std::string SettingsPath() const { return *FDir / "settings.ini"; }
  TSettingsStore Store() const { return TSettingsStore(SettingsPath()); }

  std::unique_ptr<TfrmPreference> ShowPreference() {
    auto dialog = std::make_unique<TfrmPreference>(nullptr, FSkin, SettingsPath(), *FDialogs);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) qFatal("the dialog was not exposed");
    return dialog;
  }

  // Opens the settings dialog from the main window's hidden menu entry and runs `work` on it
  // while it is shown; true when it closed with OK.
  bool RunSettings(TfrmMain &window, const std::function<void(TfrmSettings &)> &work) {
    bool accepted = false;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &settings = dynamic_cast<TfrmSettings &>(dialog);
      if (!QTest::qWaitForWindowExposed(&settings)) qFatal("the dialog was not exposed");
      work(settings);
      accepted = settings.result() == QDialog::Accepted;
    };
    window.mnuSettings->trigger();
    FDialogs->OnModal = nullptr;
    return accepted;
  }

  // Picks a profile from the dialog's list as the mouse does.
  static void PickProfile(TfrmSettings &settings, const char *name) {
    QTest::mouseClick(settings.imgbtn1, Qt::LeftButton);
    QVERIFY(settings.lst1->isVisible());
    const auto row = TProfileList::FindRow(settings.lst1->Rows(), name);
    QVERIFY2(row.has_value(), name);
    const QModelIndex index = settings.lst1->model()->index(static_cast<int>(*row), 0);
    settings.lst1->scrollTo(index);
    QTest::mouseClick(settings.lst1->viewport(), Qt::LeftButton, {},
                      QPoint(60, settings.lst1->visualRect(index).center().y()));
    QVERIFY(!settings.lst1->isVisible());
    QCOMPARE(settings.edt1->text(), QString(name));
  }

  std::unique_ptr<TfrmMain> OpenMain() {
    auto window = std::make_unique<TfrmMain>(FDialogs.get());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the main window was not exposed");
    return window;
  }

  static void CloseMain(TfrmMain &window) {
    window.SkipExitPrompt = true;
    window.close();
  }

 private slots:
  void init() {
    FDir = std::make_unique<fixtures::TTempDir>();
    FDialogs = std::make_unique<TRecordingDialogs>();
    qputenv("MORVANE_SETTINGS_INI", QByteArray::fromStdString(SettingsPath()));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString((FDir->Path() / "state").string()));
  }

  void cleanup() {
    FDialogs.reset();
    FDir.reset();
  }

  void preferenceOpensFromTheToolsMenu() {
    Store().SetSkinIndex(2);
    TfrmMain window(FDialogs.get());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QString theme;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &preference = dynamic_cast<TfrmPreference &>(dialog);
      theme = preference.Skin().Current().Name;
      QCOMPARE(preference.size(), QSize(480, 390));
      QCOMPARE(preference.windowTitle(), QString("Preference"));
      QCOMPARE(preference.btnBrows->text(), QString("&Browse"));
    };
    window.mnuPreference->trigger();
    QCOMPARE(FDialogs->ModalWindows, QStringList{"frmPreference"});
    QCOMPARE(theme, QString("Orange"));
    window.SkipExitPrompt = true;
    window.close();
  }

  void jpgOffDisablesTheCompressionControls() {
    Store().WriteInteger(sk::Section, sk::SnapJpg, 0);
    Store().SetJpgCmp(75);
    auto dialog = ShowPreference();
    QVERIFY(!dialog->ckJpg->isChecked());
    QVERIFY(!dialog->spedCmp->isEnabled() && !dialog->trcCmp->isEnabled());
    QCOMPARE(dialog->trcCmp->value(), 75);
    // BMP is the only format checked: unchecking it leaves it checked.
    ClickBox(dialog->ckBmp);
    QVERIFY(dialog->ckBmp->isChecked());
    ClickBox(dialog->ckJpg);
    QVERIFY(dialog->ckJpg->isChecked());
    QVERIFY(dialog->spedCmp->isEnabled() && dialog->trcCmp->isEnabled());
    // Now either format may go.
    ClickBox(dialog->ckBmp);
    QVERIFY(!dialog->ckBmp->isChecked());
    ClickBox(dialog->ckJpg);
    QVERIFY(dialog->ckJpg->isChecked());
    // The two controls show one value.
    dialog->trcCmp->setValue(42);
    QCOMPARE(dialog->spedCmp->value(), 42);
    dialog->spedCmp->setValue(7);
    QCOMPARE(dialog->trcCmp->value(), 7);
  }

  void defaultThenCancelWritesNothingAndDefaultThenOkWritesTheDefaults() {
    Store().SetSnapOutPutDir(*FDir / "shots");
    Store().SetJpgCmp(90);
    Store().SetPriority(3);
    const std::string before = FileText(SettingsPath());
    {
      auto dialog = ShowPreference();
      QCOMPARE(dialog->edtSnapDirectory->text(), QString::fromStdString(*FDir / "shots"));
      QCOMPARE(dialog->rdPriority->checkedId(), 3);
      QTest::mouseClick(dialog->btnDefault, Qt::LeftButton);
      QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
      QVERIFY(!dialog->isVisible());
    }
    QCOMPARE(FileText(SettingsPath()), before);
    auto dialog = ShowPreference();
    QTest::mouseClick(dialog->btnDefault, Qt::LeftButton);
    QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    const TSettingsStore store = Store();
    QCOMPARE(store.SnapOutPutDir(), paths::DefaultOutputFolder().string());
    for (const auto &[key, value] : {std::pair{sk::SnapBmp, 1},
                                     {sk::SnapJpg, 0},
                                     {sk::SnapFullSize, 1},
                                     {sk::SnapSmallSize, 0},
                                     {sk::JpgCmp, 20},
                                     {sk::Priority, 1}})
      QCOMPARE(store.ReadInteger(sk::Section, key, -7), value);
  }

  void theUpdateCheckBoxShowsAndStoresTheChoiceOnOk() {
    for (const bool on : {false, true}) {
      Store().WriteBool(sk::Section, sk::CheckForUpdates, !on);
      auto dialog = ShowPreference();
      QCOMPARE(dialog->ckCheckUpdates->text(), QString("Check for updates at start-up"));
      QCOMPARE(dialog->ckCheckUpdates->isChecked(), !on);
      ClickBox(dialog->ckCheckUpdates);
      QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
      QCOMPARE(TPreferences::CheckForUpdates(Store()), on);
    }
  }

  void anUnknownPriorityChoosesNoItemAndOkStoresNone() {
    Store().SetPriority(9);
    auto dialog = ShowPreference();
    QCOMPARE(dialog->rdPriority->checkedId(), -1);
    QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
    QCOMPARE(Store().Priority(), -1);
  }

  void browseStoresTheFolderAtOnce() {
    auto dialog = ShowPreference();
    const std::string before = FileText(SettingsPath());
    FDialogs->FolderToChoose.clear();  // the chooser cancelled
    QTest::mouseClick(dialog->btnBrows, Qt::LeftButton);
    QCOMPARE(FileText(SettingsPath()), before);
    FDialogs->FolderToChoose = QString::fromStdString(*FDir / "snaps");
    QTest::mouseClick(dialog->btnBrows, Qt::LeftButton);
    QCOMPARE(dialog->edtSnapDirectory->text(), FDialogs->FolderToChoose);
    QCOMPARE(Store().SnapOutPutDir(), *FDir / "snaps");
    // Cancel does not take it back.
    QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    QCOMPARE(Store().SnapOutPutDir(), *FDir / "snaps");
  }

  void theFolderChooserRefusesAFolderThatCannotTakeFiles() {
    const fs::path readOnly = FDir->Path() / "disc";
    const fs::path writable = FDir->Path() / "videos";
    fs::create_directories(readOnly / "inside");
    fs::create_directories(writable);
    // The mount table of a machine with a disc mounted at `readOnly`.
    const std::string mountInfo =
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "42 27 11:0 / " +
        readOnly.string() + " ro,nosuid - iso9660 /dev/sr0 ro\n";
    TfmDirectory chooser(nullptr, FSkin, *FDialogs);
    chooser.Refuses = [&](const fs::path &folder) {
      return mounts::FolderOnReadOnlyOrOpticalMedium(folder, mountInfo);
    };
    chooser.SelectFolder(QString::fromStdString((readOnly / "inside").string()));
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QCOMPARE(chooser.size(), QSize(322, 351));
    QTest::mouseClick(chooser.btnOk, Qt::LeftButton);
    QVERIFY(chooser.isVisible());
    QVERIFY(chooser.Path().isEmpty());
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Text,
             QString("Output folder cannot be located in CD-ROM.Please select another folder."));
    QCOMPARE(FDialogs->Shown[0].Icon, TMessageIcon::Information);

    chooser.SelectFolder(QString::fromStdString(writable.string()));
    QTest::mouseClick(chooser.btnOk, Qt::LeftButton);
    QVERIFY(!chooser.isVisible());
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.Path(), QString::fromStdString(writable.string()));

    // Opened without a folder it shows the home folder; Cancel chooses nothing.
    chooser.SelectFolder(QString());
    chooser.show();
    QCOMPARE(
        chooser.stview_selectdir->currentIndex().data(QFileSystemModel::FilePathRole).toString(),
        QString::fromStdString(paths::HomeFolder().string()));
    QTest::mouseClick(chooser.btnCancel, Qt::LeftButton);
    QVERIFY(chooser.Path().isEmpty());
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
  }

  void settingsCancelWritesNothing() {
    Store().SetCategoryCollapsed(4, false);
    auto window = OpenMain();
    std::string before, after;
    const bool accepted = RunSettings(*window, [&](TfrmSettings &settings) {
      before = FileText(SettingsPath());
      QCOMPARE(settings.size(), QSize(475, 370));
      PickProfile(settings, PspName);
      settings.cmbVideoBitRate->setCurrentIndex(0);
      QTest::mouseClick(settings.btnDefault, Qt::LeftButton);
      QTest::mouseClick(settings.btnCancel, Qt::LeftButton);
      after = FileText(SettingsPath());
    });
    QVERIFY(!accepted);
    QCOMPARE(after, before);
    QCOMPARE(window->CurrentFormatCode, std::string("1"));
    CloseMain(*window);
  }

  // The dialog's list drops below its box; a category opened by a click on its triangle (sent
  // through the window system, as a person's click) leaves it open, a click beside it closes it.
  void settingsListOpensDownwardAndStaysOpenForACategory() {
    auto window = OpenMain();
    RunSettings(*window, [&](TfrmSettings &settings) {
      QTest::mouseClick(settings.imgbtn1, Qt::LeftButton);
      TProfileListBox *list = settings.lst1;
      QVERIFY(list->isVisible());
      QCOMPARE(list->mapToGlobal(QPoint(0, 0)),
               settings.edt1->mapToGlobal(QPoint(0, settings.edt1->height() - 1)));
      const int collapsed = list->model()->rowCount();
      const auto row = TProfileList::FindRow(list->Rows(), "Sony PSP");
      QVERIFY(row.has_value());
      const QModelIndex index = list->model()->index(static_cast<int>(*row), 0);
      QWidget *top = list->viewport()->window();
      QTest::mouseClick(
          top->windowHandle(), Qt::LeftButton, {},
          list->viewport()->mapTo(top, QPoint(8, list->visualRect(index).center().y())));
      QCOMPARE(list->model()->rowCount(), collapsed + 5);
      QVERIFY(list->isVisible());
      QTest::mouseClick(
          settings.windowHandle(), Qt::LeftButton, {},
          settings.btnDefault->mapTo(&settings, settings.btnDefault->rect().center()));
      QVERIFY(!list->isVisible());
      QCOMPARE(settings.edt1->text(), window->cmbFormat->text());
    });
    CloseMain(*window);
  }

  void settingsOkWritesATypedBitRateAndMakesTheProfileCurrent() {
    Store().SetCategoryCollapsed(4, false);
    auto window = OpenMain();
    const bool accepted = RunSettings(*window, [&](TfrmSettings &settings) {
      PickProfile(settings, PspName);
      // The stored choices of a profile never used: its own defaults.
      QCOMPARE(settings.cmbVideoBitRate->currentText(), QString("512"));
      settings.activateWindow();
      settings.cmbVideoBitRate->setFocus();
      QTRY_VERIFY(settings.cmbVideoBitRate->hasFocus());
      settings.cmbVideoBitRate->lineEdit()->selectAll();
      QTest::keyClicks(settings.cmbVideoBitRate, "1234");
      // Leaving the box checks it and writes nothing.
      settings.cmbSamplerate->setFocus();
      QTRY_VERIFY(settings.cmbSamplerate->hasFocus());
      QCOMPARE(settings.cmbVideoBitRate->currentText(), QString("1234"));
      QVERIFY(FDialogs->Shown.empty());
      QVERIFY(!Store().ProfileExists(PspCode) ||
              Store().ReadProfile(PspCode, "paraVideoBitRate", "") != "1234");
      QTest::mouseClick(settings.btnOk, Qt::LeftButton);
    });
    QVERIFY(accepted);
    const TSettingsStore store = Store();
    QCOMPARE(store.ReadProfileInteger(PspCode, "iVideoBitRate", 0), -1);
    QCOMPARE(store.ReadProfile(PspCode, "paraVideoBitRate", ""), std::string("1234"));
    QCOMPARE(store.ReadProfile(PspCode, "Description", ""), std::string(PspName));
    QCOMPARE(store.FormatCodeText(), std::string("401"));
    QCOMPARE(store.FormatName(""), std::string(PspName));
    // The main window took the profile and shows its values.
    QCOMPARE(window->CurrentFormatCode, std::string("401"));
    QCOMPARE(window->cmbFormat->text(), QString(PspName));
    QCOMPARE(window->cmbVideoBitRate->currentText(), QString("1234"));
    CloseMain(*window);
  }

  void settingsShowStoredTextsAndAnUnknownZoomAsEmptyBoxes() {
    {
      TSettingsStore store = Store();
      store.SetFormatCode(PspCode);
      store.SetFormatName(PspName);
      store.SetCategoryCollapsed(4, false);
      store.WriteProfile(PspCode, "Description", PspName);
      store.WriteProfileInteger(PspCode, "iVideoSize", -1);
      store.WriteProfile(PspCode, "paraVideoSize", "400x300");
      store.WriteProfile(PspCode, "paraZoom", "center");
    }
    auto window = OpenMain();
    RunSettings(*window, [&](TfrmSettings &settings) {
      QCOMPARE(settings.cmbVideoSize->currentText(), QString("400x300"));
      QCOMPARE(settings.cmbZoom->currentIndex(), -1);
      QCOMPARE(settings.cmbZoom->count(), 3);
      // Picking the same profile again shows the boxes by their indexes only.
      PickProfile(settings, PspName);
      QCOMPARE(settings.cmbVideoSize->currentText(), QString());
      QTest::mouseClick(settings.btnOk, Qt::LeftButton);
    });
    QCOMPARE(Store().ReadProfile(PspCode, "paraZoom", ""), std::string("center"));
    CloseMain(*window);
  }

  void settingsReportAnOddFrameSizeWhenTheBoxIsLeft() {
    auto window = OpenMain();
    RunSettings(*window, [&](TfrmSettings &settings) {
      settings.activateWindow();
      settings.cmbVideoSize->setFocus();
      QTRY_VERIFY(settings.cmbVideoSize->hasFocus());
      settings.cmbVideoSize->lineEdit()->selectAll();
      QTest::keyClicks(settings.cmbVideoSize, "321x241");
      settings.cmbVideoBitRate->setFocus();
      QCOMPARE(FDialogs->Shown.size(), size_t(1));
      QCOMPARE(FDialogs->Shown[0].Text,
               QString("Frame Size must be a multiple of 2.\nThe correct value:320x240"));
      QCOMPARE(settings.cmbVideoSize->currentText(), QString("320x240"));
      QTRY_VERIFY(settings.cmbVideoSize->hasFocus());
      QTest::mouseClick(settings.btnCancel, Qt::LeftButton);
    });
    CloseMain(*window);
  }
};

int main(int argc, char **argv) {
  setenv("MORVANE_UPDATE_URL", "http://127.0.0.1:9/morvane/morvanenet.xml", 1);
  return RunWindowTests<TDialogsTest>(argc, argv);
}

#include "DialogsTest.moc"
