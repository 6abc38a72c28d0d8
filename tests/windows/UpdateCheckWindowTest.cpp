// The update check as the main window runs it when it is first shown: against a small HTTP
// server on 127.0.0.1, with a private settings store and cache, and the message boxes answered
// by a recorder.
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <memory>

#include "gui/Application.h"
#include "tests/support/Fixtures.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RecordingServices.h"
#include "tests/windows/RecordingDialogs.h"
#include "tests/windows/WindowFixture.h"
#include "windows/WinProgress.h"
#include "workspace/GlobalUnit.h"
#include "workspace/Preferences.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;

namespace {

QByteArray Document(const std::string &version, const std::string &info = "Notice",
                    const std::string &link = "https://www.morvane.com/n") {
  return QByteArray("<XMLPackage><count number=\"1\"/><videoversion number=\"") +
         QByteArray::fromStdString(version) + "\"/><row0 info=\"" +
         QByteArray::fromStdString(info) + "\" url=\"" + QByteArray::fromStdString(link) +
         "\"/></XMLPackage>";
}

// The questions answered in turn from a list (then as `Answer` says).
class TScriptedDialogs : public TRecordingDialogs {
 public:
  std::deque<bool> Answers;
  bool AskYesNo(QWidget *parent, const QString &caption, const QString &text) override {
    const bool otherwise = TRecordingDialogs::AskYesNo(parent, caption, text);
    if (Answers.empty()) return otherwise;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
};

// A version newer than ours, however the build numbers itself.
const std::string Newer = "99.1";

}  // namespace

class TUpdateCheckWindowTest : public TWindowFixture {
  Q_OBJECT

 private:
  std::unique_ptr<TLocalHttpServer> FServer;
  std::unique_ptr<TRecordedDesktop> FDesktop;  // the end of a batch opens the output folder

  // Without the fixture's sound driver and activation wait: the check starts as the window shows.

  TfrmMain &Open() {
    qputenv("MORVANE_UPDATE_URL", FServer->Url().toEncoded());
    FWindow = std::make_unique<TfrmMain>(FDialogs.get());
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get())) qFatal("the main window was not exposed");
    return *FWindow;
  }

 private slots:
  void init() {
    Begin();
    FDesktop = std::make_unique<TRecordedDesktop>();
    FServer = std::make_unique<TLocalHttpServer>();
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(Dir().string()));
  }

  void cleanup() {
    End();
    FServer.reset();
    FDesktop.reset();
  }

  void aNewerVersionOffersTheDownloadPage() {
    FServer->Body = Document("99.1");
    FDialogs->Answer = true;
    TfrmMain &window = Open();
    const std::string downloadPage = window.Global().UpdateUrl();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    // Leaving for the upgrade is an ordinary close: its question comes too.
    QCOMPARE(FDialogs->Shown.size(), size_t(2));
    QCOMPARE(FDialogs->Shown[0].Caption, QString("Warning - New Version Available for Download."));
    QCOMPARE(FDialogs->Shown[0].Text,
             QString("Do you want to upgrade to Morvane MP4 Video Converter 99.1 now?"));
    QCOMPARE(FDialogs->Shown[1].Text, QString("Do you really want to exit?"));
    // The page of the download is opened; nothing is fetched from it.
    QCOMPARE(FDialogs->Opened, QStringList{QString::fromStdString(downloadPage)});
    QCOMPARE(FServer->Requests, 1);
  }

  void sameVersionKeepsTheNoticesAndTheCache() {
    // Our own version as the site writes it: " 0.100 " is offered as "0.1".
    const QString own = QString::fromStdString(ProgramVersionText()).trimmed();
    const std::string offered = QString::number(own.toDouble()).toStdString();
    FServer->Body = Document(offered);
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(1), 5000);
    QCOMPARE(window.AdList[0].Info, std::string("Notice"));
    QCOMPARE(window.NewVersion, offered);
    QVERIFY(FDialogs->Shown.empty());
    QVERIFY(fs::exists(FDir->Path() / "morvane" / "morvane.xml"));
    QVERIFY(!fs::exists("morvane.xml") && !fs::exists("morvanenet.xml"));
  }

  void answeringNoToTheExitQuestionKeepsTheWindow() {
    FServer->Body = Document(Newer);
    // Yes to the upgrade, No to leaving: the page is open and the window stays.
    auto scripted = std::make_unique<TScriptedDialogs>();
    scripted->Answers = {true, false};
    FDialogs = std::move(scripted);
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(FDialogs->Shown.size(), size_t(2), 5000);
    QCOMPARE(FDialogs->Shown[1].Text, QString("Do you really want to exit?"));
    QCOMPARE(FDialogs->Opened.size(), qsizetype(1));
    QTest::qWait(100);
    QVERIFY(window.isVisible());
  }

  void aDocumentThatIsNoUpdateDocumentIsLoggedWithoutAMessage() {
    FServer->Body = "<XMLPackage><count number=\"abc\"/><videoversion number=\"9\"/></XMLPackage>";
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(BuiltInAdCount), 5000);
    QVERIFY(FDialogs->Shown.empty());
    QCOMPARE(window.lstLog->count(), 1);
    QVERIFY2(window.lstLog->item(0)->text().contains("'abc' is not a valid integer value"),
             qPrintable(window.lstLog->item(0)->text()));
    QVERIFY(window.isVisible());
  }

  void theUpgradeQuestionWaitsForTheBatchToEnd() {
    FServer->Body = Document(Newer);
    FServer->Held = true;
    FDialogs->Answer = false;
    qputenv("MORVANE_UPDATE_URL", FServer->Url().toEncoded());
    TfrmMain &window = OpenWithFiles({Media(fixtures::Clip(6.0, 640, 360), "a.mp4")});
    bool finishedDuringTheBatch = false;
    size_t shownDuringTheBatch = 0;
    FDialogs->OnModal = [&](QDialog &) {
      FServer->Release();
      while (window.BatchRunning()) {
        QTest::qWait(20);
        // The batch may have ended during the wait, and the question rightly come up then.
        if (!window.BatchRunning()) break;
        shownDuringTheBatch = FDialogs->Shown.size();
        finishedDuringTheBatch = finishedDuringTheBatch || !window.AdList.empty();
      }
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QVERIFY(finishedDuringTheBatch);
    const QString shownFirst = FDialogs->Shown.empty() ? QString() : FDialogs->Shown.front().Text;
    QVERIFY2(shownDuringTheBatch == 0, qPrintable("shown during the batch: " + shownFirst));
    QTRY_COMPARE_WITH_TIMEOUT(FDialogs->Shown.size(), size_t(1), 5000);
    QCOMPARE(FDialogs->Shown[0].Text,
             QString::fromStdString("Do you want to upgrade to Morvane MP4 Video Converter " +
                                    Newer + " now?"));
    QVERIFY(window.isVisible());
  }

  void theUpgradeQuestionWaitsForAModalWindow() {
    FServer->Body = Document(Newer);
    FServer->Held = true;
    FDialogs->Answer = false;
    TfrmMain &window = Open();
    QDialog other(&window);
    other.setModal(true);
    other.show();
    FServer->Release();
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(1), 5000);
    QTest::qWait(1200);  // more than one look at whether the question may come up
    QVERIFY(FDialogs->Shown.empty());
    other.close();
    QTRY_COMPARE_WITH_TIMEOUT(FDialogs->Shown.size(), size_t(1), 5000);
  }

  void switchedOffInThePreferencesNothingIsFetched() {
    FServer->Body = Document(Newer);
    Store().WriteBool(settingskeys::Section, settingskeys::CheckForUpdates, false);
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(BuiltInAdCount), 5000);
    QTest::qWait(300);
    QCOMPARE(FServer->Requests, 0);
    QVERIFY(FDialogs->Shown.empty());
  }

  // A notice is text, whatever markup it carries, and a click opens only a web address.
  void noticesArePlainTextAndOnlyWebLinksOpen() {
    const std::string markup =
        "<table width=5000><tr><td>wide</td></tr></table><img src=/usr/share/pixmaps/x.png>";
    QByteArray escaped = QByteArray::fromStdString(markup);
    escaped.replace("<", "&lt;").replace(">", "&gt;");
    FServer->Body = Document("0", escaped.toStdString(), "smb://host/share/http");
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(1), 5000);
    TfrmProgress progress(&window, window.Skin(), window.Session(), window.ProgressSources());
    progress.show();
    QCOMPARE(progress.mem1->textFormat(), Qt::PlainText);
    QCOMPARE(progress.mem1->text(), QString::fromStdString(markup));
    QTest::mouseClick(progress.mem1, Qt::LeftButton);
    QVERIFY(FDialogs->Opened.isEmpty());
    progress.hide();
    const std::pair<const char *, bool> links[] = {
        {"smb://host/share/http", false},
        {"file:///x#http", false},
        {"file:///usr/share/applications/http.desktop", false},
        {"https://www.morvane.com/n", true},
        {"http://www.morvane.com/n", true}};
    for (const auto &[link, opens] : links) {
      FDialogs->Opened.clear();
      window.AdList = {{"Notice", link}};
      progress.show();
      QTest::mouseClick(progress.mem1, Qt::LeftButton);
      progress.hide();
      QVERIFY2(FDialogs->Opened.size() == (opens ? 1 : 0), link);
      if (opens) QVERIFY(FDialogs->Opened[0].startsWith(QString(link) + "?"));
    }
  }

  void aSilentServerLeavesTheWindowResponsiveAndIsGivenUp() {
    FServer->Silent = true;
    QElapsedTimer clock;
    clock.start();
    TfrmMain &window = Open();
    // The GUI thread's longest pause while the check waits for the server.
    qint64 longestGap = 0, last = clock.elapsed();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      longestGap = std::max(longestGap, clock.elapsed() - last);
      last = clock.elapsed();
    });
    tick.start(10);
    QTRY_COMPARE_WITH_TIMEOUT(window.AdList.size(), size_t(BuiltInAdCount), 20000);
    const qint64 waited = clock.elapsed();
    tick.stop();
    QVERIFY2(waited >= 15000 && waited < 17000, qPrintable(QString::number(waited)));
    QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
    QVERIFY(FDialogs->Shown.empty());
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TUpdateCheckWindowTest>(argc, argv);
}

#include "UpdateCheckWindowTest.moc"
