// The update check as the main window runs it when it is first shown: against a small HTTP
// server on 127.0.0.1, with a private settings store and cache, and the message boxes answered
// by a recorder.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "tests/support/Fixtures.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/windows/RecordingDialogs.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/Application.h"
#include "workspace/GlobalUnit.h"
#include "workspace/WinMain.h"

namespace fs = std::filesystem;

namespace {

QByteArray Document(const std::string &version) {
  return QByteArray("<XMLPackage><count number=\"1\"/><videoversion number=\"") +
         QByteArray::fromStdString(version) +
         "\"/><row0 info=\"Notice\" url=\"https://www.morvane.com/n\"/></XMLPackage>";
}

}  // namespace

class TUpdateCheckWindowTest : public TWindowFixture {
  Q_OBJECT

 private:
  std::unique_ptr<TLocalHttpServer> FServer;

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
    FServer = std::make_unique<TLocalHttpServer>();
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(Dir().string()));
  }

  void cleanup() {
    End();
    FServer.reset();
  }

  void aNewerVersionOffersTheDownloadPage() {
    FServer->Body = Document("99.1");
    FDialogs->Answer = true;
    TfrmMain &window = Open();
    const std::string downloadPage = window.Global().UpdateUrl();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Caption, QString("Warning - New Version Available for Download."));
    QCOMPARE(FDialogs->Shown[0].Text,
             QString("Do you want to upgrade to Morvane MP4 Video Converter 99.1 now?"));
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

  void aMalformedDocumentIsReportedOnceAndTheWindowGoesOn() {
    FServer->Body = "<XMLPackage><count number=\"1\"></XMLPackage>";
    TfrmMain &window = Open();
    QTRY_COMPARE_WITH_TIMEOUT(FDialogs->Shown.size(), size_t(1), 5000);
    QCOMPARE(FDialogs->Shown[0].Text, QString("'error' is not a valid integer value."));
    QCOMPARE(FDialogs->Shown[0].Icon, TMessageIcon::Error);
    QTest::qWait(200);
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QVERIFY(window.isVisible());
    QVERIFY(window.AdList.empty());
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
