// The list of files the main window keeps in the state folder: back after the program was
// killed, with what the editors set, and rows whose source has gone marked and left alone.
#include <QAction>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "editors/windows/WinTrim.h"
#include "editors/windows/WinWaterMark.h"
#include "skin/TrackBar.h"
#include "tests/support/Fixtures.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/BatchRunner.h"
#include "workspace/QueueStore.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/WinMain.h"

namespace {

constexpr int64_t Second = 1000000;
// Tells the test function run in a process of its own where the killed run keeps its files.
constexpr char ChildFolderVariable[] = "MORVANE_QUEUE_TEST_FOLDER";

QString Shown(TfrmMain &window, int row, int column) {
  return window.lvFiles->model()->index(row, column).data().toString();
}

}  // namespace

class TQueueWindowTest : public TWindowFixture {
  Q_OBJECT

 private:
  TQueueStore Queue() const { return TQueueStore(StateFolder() / "morvane" / "queue.ini"); }

 private slots:
  void initTestCase() { qputenv("SDL_AUDIODRIVER", "dummy"); }
  void init() { Begin(); }
  void cleanup() { End(); }

  // The program is killed (SIGKILL: nothing of its own runs) after a row was trimmed and given a
  // watermark; the next start shows the row with its trim and its watermark.
  void theListComesBackAfterTheProgramWasKilled() {
    const std::string clip = Media(fixtures::Clip(3.0), "clip.mp4");
    QProcess killed;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(ChildFolderVariable, QString::fromStdString(Dir().string()));
    // What the killed process cannot clean up goes with this test's folder.
    std::filesystem::create_directories(Dir() / "tmp");
    environment.insert("TMPDIR", QString::fromStdString((Dir() / "tmp").string()));
    killed.setProcessEnvironment(environment);
    killed.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    killed.start(QCoreApplication::applicationFilePath(), {"editARowAndWaitToBeKilled"});
    QVERIFY(killed.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += killed.readAllStandardOutput()).contains("kept\n"), 60000);
    killed.kill();
    QVERIFY(killed.waitForFinished());
    QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
    const QList<QByteArray> marks = said.mid(said.indexOf("trim ")).split('\n').first().split(' ');
    QCOMPARE(marks.size(), 3);
    const int64_t trimStart = marks[1].toLongLong(), trimLength = marks[2].toLongLong();
    QVERIFY(trimStart > Second / 2);

    TfrmMain &window = Open();
    QCOMPARE(window.Files().Count(), 1);
    const TConversionRow &row = window.Files().Rows()[0];
    QCOMPARE(row.Caption, clip);
    QVERIFY(!row.SourceGone);
    QCOMPARE(row.Record.TrimStart, trimStart);
    QCOMPARE(row.Record.TrimLength, trimLength);
    QCOMPARE(Shown(window, 0, TFilesModel::colTrimmedLength), QString::number(trimLength / Second));
    QCOMPARE(row.Record.MarkText, std::string("Kept"));
    QCOMPARE(row.Record.Brightness, 0);
    QVERIFY(window.btnStart->isEnabled());
  }

  // The killed process of the test above: adds the clip, trims it and gives it a watermark
  // through the editors, says the marks once the list is on the disk, and waits.
  void editARowAndWaitToBeKilled() {
    const QByteArray folder = qgetenv(ChildFolderVariable);
    if (folder.isEmpty()) QSKIP("the process that theListComesBackAfterTheProgramWasKilled kills");
    qputenv("XDG_STATE_HOME", folder + "/state");
    qputenv("MORVANE_SETTINGS_INI", folder + "/settings.ini");
    TfrmMain &window = OpenWithFiles({folder.toStdString() + "/clip.mp4"});
    QCOMPARE(window.Files().Count(), 1);
    Edit<TfrmTrim>(window.mnuTrim, [](TfrmTrim &trim) {
      QTRY_VERIFY_WITH_TIMEOUT(trim.FFPlayer.CurrentPosition() > Second / 2, 10000);
      QTest::mouseClick(trim.btnPause, Qt::LeftButton);
      QTest::mouseClick(trim.btnSetStart, Qt::LeftButton);
      QTest::mouseClick(trim.btnOk, Qt::LeftButton);
    });
    Edit<TfrmWaterMark>(window.mnuWaterMark, [](TfrmWaterMark &mark) {
      mark.edtFont->clear();
      QTest::keyClicks(mark.edtFont, "Kept");
      mark.trcBrightness->setValue(0);
      QTest::mouseClick(mark.btnOk, Qt::LeftButton);
    });
    const TlvFilesRecord &record = window.Files().Rows()[0].Record;
    QVERIFY(record.TrimStart > 0);
    QCOMPARE(record.MarkText, std::string("Kept"));
    const TQueueStore queue(folder.toStdString() + "/state/morvane/queue.ini");
    QTRY_VERIFY_WITH_TIMEOUT(!queue.Load().empty() && queue.Load()[0].Record.MarkText == "Kept",
                             10000);
    std::printf("trim %lld %lld\nkept\n", static_cast<long long>(record.TrimStart),
                static_cast<long long>(record.TrimLength));
    std::fflush(stdout);
    QTest::qWait(120000);  // killed long before
  }

  // A row whose source has gone since is shown so and not converted; a row converted before
  // keeps its result; a change of the check boxes is kept at once.
  void rowsWhoseSourceHasGoneAreMarkedAndNotConverted() {
    TConversionRow gone, finished;
    gone.Caption = (Dir() / "gone.mp4").string();
    gone.LengthText = gone.TrimmedLengthText = "3";
    gone.Record.TrimLength = 2 * Second;
    finished.Caption = Media(fixtures::Clip(1.0), "done.mp4");
    finished.LengthText = finished.TrimmedLengthText = "1";
    finished.DestinationText = "done (1).mp4";
    finished.ProgressText = "100%";
    finished.Converted = true;
    Queue().Save({gone, finished});

    TfrmMain &window = Open();
    QCOMPARE(window.Files().Count(), 2);
    QCOMPARE(Shown(window, 0, TFilesModel::colProgress), QString("Missing"));
    QCOMPARE(window.Files().Rows()[0].Record.TrimLength, 2 * Second);
    QCOMPARE(Shown(window, 1, TFilesModel::colProgress), QString("100%"));
    QCOMPARE(Shown(window, 1, TFilesModel::colDestination), QString("done (1).mp4"));

    // Only the row whose source has gone is checked: nothing is converted.
    window.lvFiles->SelectRow(1);
    window.mnuUncheck->trigger();
    QTRY_VERIFY(!Queue().Load().at(1).Checked);
    FDialogs->Shown.clear();
    window.mnuStart->trigger();
    QVERIFY(!window.BatchRunning());
    QVERIFY(std::any_of(FDialogs->Shown.begin(), FDialogs->Shown.end(), [](const auto &shown) {
      return shown.Text == QString(NoRowCheckedMessage);
    }));

    window.lvFiles->SelectRow(0);
    window.mnuRemove->trigger();
    QTRY_COMPARE(Queue().Load().size(), size_t(1));
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TQueueWindowTest>(argc, argv);
}

#include "QueueWindowTest.moc"
