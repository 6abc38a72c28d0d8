// Start, the progress window and the control of a running batch, driven through the real windows
// with a private settings store, the dialogs answered by a recorder and the desktop's shell and
// shut-down replaced by recorders.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "editors/windows/WinWaterMark.h"
#include "gui/Application.h"
#include "skin/TrackBar.h"
#include "tests/support/DecoratedFrames.h"
#include "tests/support/Fixtures.h"
#include "tests/support/PipeRescue.h"
#include "tests/support/RecordingServices.h"
#include "tests/windows/RecordingDialogs.h"
#include "tests/windows/WindowFixture.h"
#include "windows/WinProgress.h"
#include "workspace/ConversionList.h"
#include "workspace/SettingsStore.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/QuitSignals.h"
#include "workspace/mainwindow/WinMain.h"
#include "workspace/mainwindow/WinShutDown.h"

namespace fs = std::filesystem;

namespace {

// Whether ffprobe reads the file as a video of some frames.
bool Decodable(const fs::path &file) {
  const auto result = fixtures::Run(
      "ffprobe -v error -count_frames -select_streams v:0 "
      "-show_entries stream=nb_read_frames -of csv=p=0 " +
      fixtures::Quote(file.string()));
  return result.ExitCode == 0 && std::atoi(result.Output.c_str()) > 0;
}

std::vector<fs::path> FilesIn(const fs::path &folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

class TBatchWindowTest : public TWindowFixture {
  Q_OBJECT

 private:
  std::unique_ptr<TRecordedDesktop> FDesktop;

  fs::path OutputFolder() const { return Dir() / "out"; }

  // The window with one row per source, all checked.
  TfrmMain &OpenWithSources(const std::vector<std::string> &sources) {
    FWindow = std::make_unique<TfrmMain>(FDialogs.get());
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get())) qFatal("the main window was not exposed");
    FWindow->AddFiles(sources);
    if (!AddingEnded(*FWindow)) qFatal("the files were not added");
    return *FWindow;
  }

  std::string Source(const std::string &name, const std::string &made) { return Media(made, name); }

  QString Progress(int row) {
    return QString::fromStdString(FWindow->Files().Row(row).ProgressText);
  }

 private slots:
  void init() {
    Begin();
    FDesktop = std::make_unique<TRecordedDesktop>();
    Store().SetOutPutDir(OutputFolder().string());
  }

  void cleanup() {
    End();
    FDesktop.reset();
  }

  void checkedRowsRunToTheEndAndTheirProgressLandsInTheirRows() {
    TfrmMain &window =
        OpenWithSources({Source("a.mp4", fixtures::Clip(2.0)), Source("b.mp4", fixtures::Clip(2.0)),
                         Source("c.mp4", fixtures::Clip(2.0))});
    window.Files().SetChecked(1, false);
    QStringList seenRow2;
    bool sawPicture = false;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &progress = static_cast<TfrmProgress &>(dialog);
      // The progress window is shown while the jobs are still being built.
      QTRY_COMPARE_WITH_TIMEOUT(window.RowOfTask, std::vector<int>({0, 2}), 30000);
      progress.ckShutDown->setChecked(true);
      QVERIFY(!window.btnStart->isEnabled() && !window.btnAdd->isEnabled());
      QElapsedTimer clock;
      clock.start();
      while (window.BatchRunning() && clock.elapsed() < 60000) {
        QTest::qWait(20);
        if (!Progress(2).isEmpty()) seenRow2 << Progress(2);
        sawPicture =
            sawPicture || progress.PreviewPicture().pixelColor(194, 105) != QColor(166, 202, 240);
      }
      QVERIFY(!window.BatchRunning());
      QVERIFY(!progress.isVisible());  // the end of the batch closed it
      QCOMPARE(progress.lblProgress->text(), QString("[2/2]"));
      QCOMPARE(progress.progbarFile->value(), 100);
    };
    window.ShutDownSeconds = 1;
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(FDialogs->ModalWindows, QStringList({"frmProgress"}));
    QCOMPARE(Progress(0), QString("100%"));
    QCOMPARE(Progress(1), QString());
    QCOMPARE(Progress(2), QString("100%"));
    QVERIFY(!seenRow2.isEmpty());
    QVERIFY(sawPicture);
    const std::vector<fs::path> outputs = FilesIn(OutputFolder());
    QCOMPARE(outputs.size(), size_t(2));
    for (const fs::path &output : outputs) QVERIFY2(Decodable(output), output.c_str());
    // The batch converted its last file: the folder is opened, and the machine "shut down" once
    // the count-down has run out.
    QVERIFY(window.frmShutDown && window.frmShutDown->isVisible());
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(FDesktop->Log.PowerOffs.load(), 1, 10000);
    QVERIFY(!window.frmShutDown->isVisible());
    QTest::qWait(1500);  // the count-down does not call twice
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 1);
    QCOMPARE(FDesktop->Log.Opened, std::vector<std::string>({OutputFolder().string()}));
    QVERIFY(window.btnStart->isEnabled() && window.btnAdd->isEnabled());
    QVERIFY(!window.btnStop->isEnabled() && !window.btnPause->isEnabled());
  }

  void cancelInTheProgressWindowStopsTheBatch() {
    TfrmMain &window = OpenWithSources({Source("long1.mp4", fixtures::Clip(40.0, 640, 360)),
                                        Source("long2.mp4", fixtures::Clip(40.0, 640, 360))});
    const QString usualTitle = window.windowTitle();
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &progress = static_cast<TfrmProgress &>(dialog);
      progress.ckShutDown->setChecked(true);
      QTRY_VERIFY_WITH_TIMEOUT(!Progress(0).isEmpty(), 30000);
      // Pause and Resume go in step with the main window's hidden buttons.
      QTest::mouseClick(progress.btnPause, Qt::LeftButton);
      QVERIFY(!progress.btnPause->isEnabled() && progress.btnResume->isEnabled());
      QVERIFY(!window.btnPause->isEnabled() && window.btnResume->isEnabled());
      QTest::mouseClick(progress.btnResume, Qt::LeftButton);
      QVERIFY(progress.btnPause->isEnabled() && !progress.btnResume->isEnabled());
      QVERIFY(window.btnPause->isEnabled() && !window.btnResume->isEnabled());
      QTest::mouseClick(progress.btnCancel, Qt::LeftButton);
      QVERIFY(!progress.isVisible());
      QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 10000);
    };
    QTest::mouseClick(window.btnStart2, Qt::LeftButton);
    QVERIFY(!window.BatchRunning());
    QVERIFY(Progress(0) != "100%" && Progress(1) != "100%");
    // What was written is set aside under a name that does not pass for a converted file.
    for (const fs::path &output : FilesIn(OutputFolder()))
      QVERIFY2(output.extension() == ".part", output.c_str());
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 0);
    QVERIFY(FDesktop->Log.Opened.empty());
    QVERIFY(window.btnStart->isEnabled());
    QCOMPARE(window.windowTitle(), usualTitle);
  }

  void aBrokenSourceFailsWithItsReasonAndTheBatchGoesOn() {
    // The file was a video when it was added and has been overwritten since.
    const std::string broken = Source("broken.mp4", fixtures::Clip(2.0));
    TfrmMain &window = OpenWithSources({broken, Source("good.mp4", fixtures::Clip(2.0))});
    QCOMPARE(window.Files().Count(), 2);
    std::ofstream(broken, std::ios::trunc) << "this is not a video file, only some text";
    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    emit window.mnuStart->triggered();
    const TConversionRow &failed = window.Files().Row(0);
    QVERIFY(!failed.FailReason.empty());
    QVERIFY(Progress(0) != "100%");
    QCOMPARE(Progress(1), QString("100%"));
    QCOMPARE(FilesIn(OutputFolder()).size(), size_t(1));
    QVERIFY(Decodable(FilesIn(OutputFolder()).front()));
  }

  // Effects and a text set in the effects and watermark window end in the converted frames: each
  // compared frame matches the decoration drawn on the decoded source frame with the row's record,
  // and clearly differs from the undecorated source frame.
  void aRowsEffectsAndWatermarkEndInTheConvertedFrames() {
    const std::string source = Source("muted.mp4", decoratedframes::MutedClip());
    constexpr int Width = 320, Height = 240;
    TfrmMain &window = OpenWithFiles({source});
    // The profile keeps the source's size; at the source's rate output frame N is source frame N.
    QCOMPARE(window.cmbVideoSize->currentText(), QString("320x240"));
    window.cmbFrameRate->setFocus();
    QTRY_VERIFY(window.cmbFrameRate->hasFocus());
    QTest::keyClick(window.cmbFrameRate, Qt::Key_Up);
    QCOMPARE(window.cmbFrameRate->currentText(), QString("25"));

    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &mark = dynamic_cast<TfrmWaterMark &>(dialog);
      QTest::keyClicks(mark.edtFont, "Morvane 13");
      const int font = mark.cmbFont->findText("DejaVu Sans");
      QVERIFY(font >= 0);
      mark.cmbFont->setCurrentIndex(font);
      mark.cmbFontSize->setCurrentIndex(mark.cmbFontSize->findText("28"));
      mark.cmbFontColor->setCurrentIndex(
          mark.cmbFontColor->findData(QVariant::fromValue(0xFFFFFFu)));
      mark.chkBold->setChecked(true);
      mark.trcTextHoriz->setValue(10);
      mark.trcTextVert->setValue(40);
      mark.trcBrightness->setValue(340);
      mark.trcContrast->setValue(20);
      // "Ok" stores the text's place as the preview last drew it on a frame.
      QTRY_VERIFY_WITH_TIMEOUT(mark.Preview().LastText() == (TMarkPoint{32, 96}),  // 10 %, 40 %
                               10000);
      QTest::mouseClick(mark.btnOk, Qt::LeftButton);
    };
    window.mnuWaterMark->trigger();
    const TlvFilesRecord record = window.Files().Row(0).Record;
    QCOMPARE(record.MarkText, std::string("Morvane 13"));
    QCOMPARE(record.MarkFont.Size, 28);
    QCOMPARE(record.MarkFont.Color, 0xFFFFFFu);
    QVERIFY(record.MarkFont.Bold);
    QCOMPARE(record.Brightness, 340);
    QCOMPARE(record.Contrast, 20);

    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(Progress(0), QString("100%"));
    const std::vector<fs::path> outputs = FilesIn(OutputFolder());
    QCOMPARE(outputs.size(), size_t(1));
    for (int frame : {0, 12, 37}) {
      const auto scores =
          decoratedframes::CompareFrame(source, outputs.front(), Width, Height, frame, record);
      qInfo("frame %d: %.1f dB against the decorated source frame, %.1f dB against the undecorated",
            frame, scores.Decorated, scores.Undecorated);
      QVERIFY(scores.Decorated > 35);
      QVERIFY(scores.Undecorated < 25);
    }
  }

  // "Shut down computer after conversion" is asked for anew for every batch, and its
  // count-down can be cancelled: then nothing is called.
  void theShutDownBoxStartsUntickedAndItsCountdownCanBeCancelled() {
    TfrmMain &window = OpenWithSources({Source("a.mp4", fixtures::Clip(1.0))});
    window.ShutDownSeconds = 1;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &progress = static_cast<TfrmProgress &>(dialog);
      QVERIFY(!progress.ckShutDown->isChecked());
      progress.ckShutDown->setChecked(true);
      QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000);
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QVERIFY(window.frmShutDown && window.frmShutDown->isVisible());
    QVERIFY(window.frmShutDown->lblCountdown->text().contains("1 second"));
    QTest::mouseClick(window.frmShutDown->btnCancel, Qt::LeftButton);
    QVERIFY(!window.frmShutDown->isVisible());
    QTest::qWait(2000);  // longer than the count-down
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 0);

    // The second batch starts with the box unticked, and ends without a count-down.
    window.frmShutDown.reset();
    bool tickedAtShow = true;
    FDialogs->OnModal = [&](QDialog &dialog) {
      tickedAtShow = static_cast<TfrmProgress &>(dialog).ckShutDown->isChecked();
      QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000);
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(FDialogs->ModalWindows.size(), 2);
    QVERIFY(!tickedAtShow);
    QVERIFY(!window.frmShutDown);
    QTest::qWait(1500);
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 0);
  }

  // SIGTERM (or Ctrl-C, or logout) during a batch closes the window in order: the file being
  // written is kept as NAME.part and nothing stays under a working name.
  void aQuitSignalDuringABatchLeavesAPartialFileAndNoWorkingFile() {
    TfrmMain &window = OpenWithSources({Source("long.mp4", fixtures::Clip(40.0, 640, 360)),
                                        Source("next.mp4", fixtures::Clip(2.0))});
    int caught = 0;
    TQuitSignals quit([&](int signal) {
      QCOMPARE(signal, SIGTERM);
      ++caught;
      window.CloseOnSignal();
    });
    FDialogs->OnModal = [&](QDialog &) {
      QTRY_VERIFY_WITH_TIMEOUT(!Progress(0).isEmpty(), 30000);
      ::kill(getpid(), SIGTERM);
      QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(caught, 1);
    QVERIFY(!window.BatchRunning());
    QVERIFY(FDialogs->Shown.empty());  // no "Do you really want to exit?"
    const std::vector<fs::path> left = FilesIn(OutputFolder());
    QCOMPARE(left.size(), size_t(1));
    const std::string name = left.front().filename();
    QVERIFY2(name.rfind("long_(new).", 0) == 0 && left.front().extension() == ".part",
             name.c_str());
    QVERIFY(fs::file_size(left.front()) > 0);
    QCOMPARE(FDesktop->Log.PowerOffs.load(), 0);
  }

  // A row whose source became a named pipe after it was added fails with a message naming it;
  // the pipe is never opened, the batch goes on and the window keeps serving its events.
  void aRowWhoseSourceBecameAPipeFailsAndTheBatchGoesOn() {
    const std::string piped = Source("piped.mp4", fixtures::Clip(1.0));
    TfrmMain &window = OpenWithSources({piped, Source("good.mp4", fixtures::Clip(1.0))});
    QCOMPARE(window.Files().Count(), 2);
    fs::remove(piped);
    QCOMPARE(mkfifo(piped.c_str(), 0600), 0);
    TPipeRescue rescue(piped, std::chrono::seconds(10));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QVERIFY2(!rescue.Rescued(), "the pipe was opened");
    QVERIFY(ticks > 0);
    QCOMPARE(QString::fromStdString(window.Files().Row(0).FailReason),
             QString::fromStdString(piped) +
                 ": is a named pipe, not a regular file; only regular files can be converted");
    QCOMPARE(Progress(1), QString("100%"));
  }

  // A source replaced by a named pipe, or removed, after Start built the jobs (while the row
  // before it converts) fails its own row when its turn comes, with the reason, without the pipe
  // being opened; the batch goes on with the next row.
  void aSourceReplacedWhileTheBatchRunsFailsItsRowAndTheBatchGoesOn_data() {
    QTest::addColumn<bool>("pipe");
    QTest::newRow("named pipe") << true;
    QTest::newRow("removed") << false;
  }
  void aSourceReplacedWhileTheBatchRunsFailsItsRowAndTheBatchGoesOn() {
    QFETCH(bool, pipe);
    const std::string replaced = Source("replaced.mp4", fixtures::Clip(1.0));
    TfrmMain &window = OpenWithSources({Source("first.mp4", fixtures::Clip(20.0, 640, 360)),
                                        replaced, Source("last.mp4", fixtures::Clip(1.0))});
    QCOMPARE(window.Files().Count(), 3);
    std::unique_ptr<TPipeRescue> rescue;
    FDialogs->OnModal = [&](QDialog &) {
      QTRY_VERIFY_WITH_TIMEOUT(!Progress(0).isEmpty(), 30000);  // the jobs are built
      fs::remove(replaced);
      if (pipe) {
        QCOMPARE(mkfifo(replaced.c_str(), 0600), 0);
        rescue = std::make_unique<TPipeRescue>(replaced, std::chrono::seconds(10));
      }
      QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000);
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    if (rescue) QVERIFY2(!rescue->Rescued(), "the pipe was opened");
    QCOMPARE(Progress(0), QString("100%"));
    QCOMPARE(QString::fromStdString(window.Files().Row(1).FailReason),
             QString::fromStdString(
                 replaced + (pipe ? ": is a named pipe, not a regular file; only regular files "
                                    "can be converted"
                                  : ": No such file or directory")));
    QVERIFY(Progress(1) != "100%");
    QCOMPARE(Progress(2), QString("100%"));
  }

  // The Destination column of a finished row names the file written, which a second conversion
  // of the same row makes under a new name.
  void aFinishedRowsDestinationIsTheFileWritten() {
    TfrmMain &window = OpenWithSources({Source("clip.mp4", fixtures::Clip(1.0))});
    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    std::vector<std::string> shown;
    for (int batch = 0; batch < 2; ++batch) {
      const std::vector<fs::path> before = FilesIn(OutputFolder());
      QTest::mouseClick(window.btnStart, Qt::LeftButton);
      QCOMPARE(Progress(0), QString("100%"));
      std::vector<fs::path> written;
      for (const fs::path &file : FilesIn(OutputFolder()))
        if (std::find(before.begin(), before.end(), file) == before.end()) written.push_back(file);
      QCOMPARE(written.size(), size_t(1));
      const std::string name = written.front().filename().string();
      QCOMPARE(QString::fromStdString(window.Files().Row(0).DestinationText),
               QString::fromStdString(name));
      const QModelIndex cell = window.lvFiles->model()->index(0, TFilesModel::colDestination);
      QCOMPARE(cell.data().toString(), QString::fromStdString(name));
      shown.push_back(name);
    }
    QVERIFY(shown[1].rfind("clip_(new_1).", 0) == 0);
  }

  // A source cut short converts as far as it can be read; its row says so as the command line
  // does, in its text and its tooltip, and the output folder opens as for any finished batch.
  void aCutShortSourceWarnsInItsRow() {
    const std::string cut = Source("cut.mp4", fixtures::FaststartClip());
    fs::resize_file(cut, fs::file_size(cut) * 6 / 10);
    TfrmMain &window = OpenWithSources({cut});
    QCOMPARE(window.Files().Count(), 1);
    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    const TConversionRow &row = window.Files().Row(0);
    QVERIFY2(QString::fromStdString(row.Warning).startsWith("warning: "), row.Warning.c_str());
    QVERIFY(row.Warning.find(" decode error") != std::string::npos);
    QVERIFY(QString::fromStdString(row.Warning).endsWith(", the source is damaged or cut short"));
    QCOMPARE(Progress(0), QString::fromStdString("100% (" + row.Warning + ")"));
    QWidget *viewport = window.lvFiles->viewport();
    const QRect cell = window.lvFiles->visualRect(window.lvFiles->model()->index(0, 4));
    QHelpEvent help(QEvent::ToolTip, cell.center(), viewport->mapToGlobal(cell.center()));
    QApplication::sendEvent(viewport, &help);
    QTRY_COMPARE(QToolTip::text(), QString::fromStdString(row.Warning));
    QCOMPARE(FDesktop->Log.Opened, std::vector<std::string>({OutputFolder().string()}));
  }

  // The title carries the whole batch's percentage while it runs, and loses it at the end.
  void theTitleShowsTheBatchsPercentageWhileItRuns() {
    TfrmMain &window = OpenWithSources(
        {Source("first.mp4", fixtures::Clip(4.0)), Source("second.mp4", fixtures::Clip(4.0))});
    const QString usual = window.windowTitle();
    QVERIFY(!usual.isEmpty());
    const QRegularExpression withPercent("^(\\d+)% - " + QRegularExpression::escape(usual) + "$");
    QList<int> seen;
    int firstFilesLargest = -1;  // the largest shown while the second file had not begun
    FDialogs->OnModal = [&](QDialog &) {
      QElapsedTimer clock;
      clock.start();
      while (window.BatchRunning() && clock.elapsed() < 60000) {
        QTest::qWait(10);
        const QRegularExpressionMatch match = withPercent.match(window.windowTitle());
        QVERIFY2(match.hasMatch() || window.windowTitle() == usual,
                 qPrintable(window.windowTitle()));
        if (!match.hasMatch()) continue;
        const int percent = match.captured(1).toInt();
        if (seen.isEmpty() || seen.back() != percent) seen << percent;
        if (Progress(1).isEmpty()) firstFilesLargest = std::max(firstFilesLargest, percent);
      }
      QVERIFY(!window.BatchRunning());
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(Progress(1), QString("100%"));
    QCOMPARE(window.windowTitle(), usual);
    QVERIFY2(!seen.isEmpty(), "no percentage in the title");
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QVERIFY(seen.back() <= 100);
    // The first of two files is at most half of the batch.
    QVERIFY2(firstFilesLargest <= 50, qPrintable(QString::number(firstFilesLargest)));
  }

  // The end of a batch is told on the desktop, with its counts, only while none of the program's
  // windows is active.
  void theEndOfABatchIsNotifiedWhileTheProgramIsInactive_data() {
    QTest::addColumn<bool>("active");
    QTest::newRow("the progress window active") << true;
    QTest::newRow("another program active") << false;
  }
  void theEndOfABatchIsNotifiedWhileTheProgramIsInactive() {
    QFETCH(bool, active);
    const std::string broken = Source("broken.mp4", fixtures::Clip(2.0));
    TfrmMain &window = OpenWithSources({broken, Source("good.mp4", fixtures::Clip(2.0))});
    std::ofstream(broken, std::ios::trunc) << "this is not a video file any more";
    FDialogs->OnModal = [&](QDialog &dialog) {
      // What the desktop reports when the person turns to the progress window, or away.
      QApplication::setActiveWindow(active ? &dialog : nullptr);
      QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000);
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(Progress(1), QString("100%"));
    if (active) {
      QVERIFY(FDialogs->Notices.empty());
      return;
    }
    QCOMPARE(FDialogs->Notices.size(), size_t(1));
    QCOMPARE(FDialogs->Notices[0].Summary, QString("Conversion finished"));
    QCOMPARE(FDialogs->Notices[0].Body, QString("1 file(s) converted, 1 failed."));
  }

  // A finished row's context menu plays its file and shows it in its folder: the file written,
  // even after the output folder has changed; a row not converted offers neither.
  void aFinishedRowsMenuPlaysAndShowsTheFileWritten() {
    TfrmMain &window = OpenWithSources(
        {Source("done.mp4", fixtures::Clip(1.0)), Source("waiting.mp4", fixtures::Clip(1.0))});
    window.Files().SetChecked(1, false);
    FDialogs->OnModal = [&](QDialog &) { QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 60000); };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(Progress(0), QString("100%"));
    const std::vector<fs::path> outputs = FilesIn(OutputFolder());
    QCOMPARE(outputs.size(), size_t(1));
    const QString written = QString::fromStdString(outputs.front().string());
    window.edtOutPutDir->setText(QString::fromStdString((Dir() / "elsewhere").string()));
    FDialogs->Opened.clear();

    QWidget *viewport = window.lvFiles->viewport();
    const auto rightClick = [&](int row) {
      window.lvFiles->SelectRow(row);
      const QRect cell = window.lvFiles->visualRect(
          window.lvFiles->model()->index(row, TFilesModel::colDestination));
      QTest::mouseClick(viewport, Qt::RightButton, {}, cell.center());
      QTRY_VERIFY(window.pmFiles->isVisible());
    };
    rightClick(0);
    QVERIFY(window.pmPlay->isEnabled() && window.pmShowInFolder->isEnabled());
    window.pmPlay->trigger();
    window.pmShowInFolder->trigger();
    window.pmFiles->hide();
    QCOMPARE(FDialogs->Opened, QStringList({written}));
    QCOMPARE(FDialogs->ShownInFolder, QStringList({written}));

    rightClick(1);
    QVERIFY(!window.pmPlay->isEnabled() && !window.pmShowInFolder->isEnabled());
    window.pmFiles->hide();
    QCOMPARE(FDialogs->Opened, QStringList({written}));

    // The file deleted since: the user is told, and nothing is handed to the desktop.
    fs::remove(outputs.front());
    rightClick(0);
    window.pmPlay->trigger();
    window.pmFiles->hide();
    QCOMPARE(FDialogs->Opened, QStringList({written}));
    QCOMPARE(FDialogs->Shown.back().Caption, QString("Warning"));
    QVERIFY(FDialogs->Shown.back().Text.startsWith(written + "\nis not there any more"));
  }

  void startWithoutACheckedRowWarns() {
    TfrmMain &window = OpenWithSources({Source("a.mp4", fixtures::Clip(2.0))});
    window.Files().SetChecked(0, false);
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QVERIFY(FDialogs->ModalWindows.isEmpty());
    QCOMPARE(FDialogs->Shown.back().Text,
             QString("Please select a file by clicking the check box!"));
  }

  // The GUI thread keeps serving its timers while a 720p conversion runs and the progress window
  // draws its pictures.
  void theWindowStaysResponsiveDuringAConversion() {
    if (!qEnvironmentVariableIsSet("MORVANE_RESPONSIVENESS")) QSKIP("run by its own test");
    TfrmMain &window = OpenWithSources({Source("hd.mp4", fixtures::Clip(20.0, 1280, 720))});
    qint64 longestGap = 0;
    int ticks = 0;
    bool sawPicture = false;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &progress = static_cast<TfrmProgress &>(dialog);
      QTRY_VERIFY_WITH_TIMEOUT(!Progress(0).isEmpty(), 30000);
      QElapsedTimer clock;
      clock.start();
      qint64 last = 0;
      QTimer timer;
      timer.setInterval(10);
      QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
        ++ticks;
        sawPicture =
            sawPicture || progress.PreviewPicture().pixelColor(194, 105) != QColor(166, 202, 240);
      });
      timer.start();
      while (window.BatchRunning() && clock.elapsed() < 120000) QTest::qWait(50);
      timer.stop();
      QVERIFY(!window.BatchRunning());
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    QCOMPARE(Progress(0), QString("100%"));
    qInfo("longest gap between two timer ticks: %lld ms over %d ticks", longestGap, ticks);
    QVERIFY(ticks > 20);
    QVERIFY(sawPicture);
    QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TBatchWindowTest>(argc, argv);
}

#include "BatchWindowTest.moc"
