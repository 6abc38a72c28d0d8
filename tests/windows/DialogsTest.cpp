// The preferences dialog, the folder chooser and the profile settings dialog, driven through
// their widgets with a private settings store and the message boxes answered by a recorder.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "tests/windows/RecordingDialogs.h"
#include "workspace/Application.h"
#include "workspace/SettingsStore.h"
#include "workspace/WinDirectory.h"
#include "workspace/WinMain.h"
#include "workspace/WinPreference.h"

namespace fs = std::filesystem;
namespace sk = settingskeys;

namespace {

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

 private slots:
  void init() {
    FDir = std::make_unique<fixtures::TTempDir>();
    FDialogs = std::make_unique<TRecordingDialogs>();
    qputenv("MORVANE_SETTINGS_INI", QByteArray::fromStdString(SettingsPath()));
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
};

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  static fixtures::TTempDir home;
  setenv("HOME", home.Path().c_str(), 1);
  setenv("MORVANE_FORMAT_INI", MORVANE_FORMAT_INI_FILE, 1);
  setenv("MORVANE_UPDATE_URL", "http://127.0.0.1:9/morvane/morvanenet.xml", 1);
  TApplication app(argc, argv);
  TDialogsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "DialogsTest.moc"
