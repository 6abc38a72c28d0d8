// The windows in German: the program's catalogue installed for the locale the environment names
// (the test runs under LANG=de_DE.UTF-8) the way the program installs it at start-up, and the
// texts of the logic shown in German with their values in place.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTranslator>

#include "gui/Translations.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/LogicTexts.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/session/BatchEndNotice.h"

class TLanguageWindowTest : public TWindowFixture {
  Q_OBJECT

 private slots:
  void init() { Begin(); }
  void cleanup() { End(); }

  void menusButtonsAndColumnsAreGerman() {
    TfrmMain &window = Open();
    QCOMPARE(window.mnuFile->title(), QString("&Datei"));
    QCOMPARE(window.mnuEdit->title(), QString("&Bearbeiten"));
    QCOMPARE(window.mnuHelp->title(), QString("&Hilfe"));
    QCOMPARE(window.mnuAdd->text(), QString("&Hinzufügen"));
    QCOMPARE(window.btnAdd->text(), QString("Hin&zufügen"));
    QCOMPARE(window.btnStart->text(), QString("&Starten"));
    QCOMPARE(window.grpOutput->title(), QString("Ausgabeformat"));
    QCOMPARE(window.grpVideo->title(), QString("Videooptionen"));
    QCOMPARE(window.lvFiles->model()->headerData(0, Qt::Horizontal).toString(), QString("Quelle"));
    QCOMPARE(window.mnuSkinItems[0]->text(), QString("Standard"));
  }

  // The access keys of the menu bar and of the window's buttons share the window: no key twice.
  void theWindowsAccessKeysAreUnique() {
    TfrmMain &window = Open();
    QStringList texts;
    for (QAction *menu : window.menuBar()->actions()) texts << menu->text();
    for (QPushButton *button : window.findChildren<QPushButton *>())
      if (button->isVisibleTo(&window)) texts << button->text();
    QStringList keys;
    for (const QString &text : texts) {
      const qsizetype amp = text.indexOf('&');
      if (amp < 0 || amp + 1 >= text.size()) continue;
      const QString key = text.mid(amp + 1, 1).toLower();
      QVERIFY2(!keys.contains(key), qPrintable(text));
      keys << key;
    }
  }

  void theExitQuestionIsGerman() {
    TfrmMain &window = Open();
    FDialogs->Answer = false;
    window.close();
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Caption, QString("Warnung"));
    QCOMPARE(FDialogs->Shown[0].Text, QString("Möchten Sie das Programm wirklich beenden?"));
  }

  // A check of the workspace logic, which writes its messages in English, as the window shows it.
  void aCheckOfTheLogicSpeaksGerman() {
    TSettingsStore store = Store();
    store.SetFormatCode(401);
    store.SetFormatName("PSP MPEG-4 Normal Quality (*.mp4)");
    TfrmMain &window = Open();
    window.cmbVideoBitRate->setFocus();
    QTRY_VERIFY(window.cmbVideoBitRate->hasFocus());
    window.cmbVideoBitRate->lineEdit()->selectAll();
    QTest::keyClick(window.cmbVideoBitRate, Qt::Key_Backspace);
    QTest::keyClick(window.cmbVideoBitRate, Qt::Key_Return);
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Text, QString("Die Video-Bitrate ist kein gültiger Wert!"));
  }

  void logicTextsAreShownInGerman_data() {
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    QTest::newRow("a text of its own") << "Please select a file by clicking the check box!"
                                       << "Bitte wählen Sie eine Datei aus, indem Sie ihr "
                                          "Kontrollkästchen anklicken!";
    QTest::newRow("a pattern with its values")
        << QString::fromStdString(
               ArgText(logictexts::NoOutputFolder, {"/media/cd/out", "/home/u/videoconverter"}))
        << "Der Ausgabeordner /media/cd/out kann nicht angelegt werden. Stattdessen wird der "
           "Standardordner /home/u/videoconverter angelegt!";
    QTest::newRow("a value that is a text of its own")
        << QString::fromStdString(
               ArgText(logictexts::NotRegularFile, {"/tmp/fifo", "a named pipe"}))
        << "/tmp/fifo: ist eine benannte Pipe, keine gewöhnliche Datei; nur gewöhnliche Dateien "
           "können umgewandelt werden";
    QTest::newRow("several texts, one a line")
        << QString::fromStdString(ArgText(logictexts::NameNotUtf8, {"a\\xff.mp4"}) + "\n" +
                                  ArgText(logictexts::NotRegularFile, {"/dev/zero", "a device"}))
        << "a\\xff.mp4: Der Dateiname ist kein gültiger UTF-8-Text; benennen Sie die Datei um, um "
           "sie umzuwandeln\n/dev/zero: ist ein Gerät, keine gewöhnliche Datei; nur gewöhnliche "
           "Dateien können umgewandelt werden";
    QTest::newRow("a value with a marker in it")
        << QString::fromStdString(ArgText(logictexts::SnapshotNotWritten, {"/x/%2.bmp", "Denied"}))
        << "Der Schnappschuss /x/%2.bmp kann nicht geschrieben werden: Denied";
    QTest::newRow("a notice of the settings store")
        << QString::fromStdString(
               ArgText(logictexts::SettingsNotSaved, {"/ro/s.ini", "Permission denied"}))
        << "Die Einstellungen konnten nicht in /ro/s.ini gespeichert werden (Permission denied). "
           "Änderungen werden nicht gespeichert.";
    QTest::newRow("a text the catalogue does not have") << "No such file or directory"
                                                        << "No such file or directory";
  }

  // A count reads in its singular or plural form, in German and, from the plural-only catalogue
  // behind it, in English.
  void countsTakeTheirSingularAndPlural() {
    QCOMPARE(TBatchEndNotice::Body({1, 2, 0, 0}),
             QString("1 Datei umgewandelt, 2 fehlgeschlagen."));
    QCOMPARE(TBatchEndNotice::Body({3, 0, 0, 1}),
             QString("3 Dateien umgewandelt, 1 fehlgeschlagen."));
    QTranslator english;
    QVERIFY(english.load("morvane_en", MORVANE_TRANSLATIONS_DIR));
    const auto count = [&](int n) {
      return english.translate("TBatchEndNotice", "%n file(s) converted", nullptr, n);
    };
    QCOMPARE(count(1), QString("%n file converted"));
    QCOMPARE(count(2), QString("%n files converted"));
  }

  void logicTextsAreShownInGerman() {
    QFETCH(QString, english);
    QTEST(ShownText(english.toStdString()), "german");
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TLanguageWindowTest>(argc, argv, [](TApplication &app) {
    if (InstallTranslations(app, QLocale::system(), MORVANE_TRANSLATIONS_DIR)) return true;
    std::fprintf(stderr, "no catalogue for the locale %s in %s\n",
                 qPrintable(QLocale::system().name()), MORVANE_TRANSLATIONS_DIR);
    return false;
  });
}

#include "LanguageWindowTest.moc"
