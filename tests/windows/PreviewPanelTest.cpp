// The preview panel of the main window with the real player drawing into the panel's native
// window on the X display.
#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <set>

#include "gui/PreviewPanel.h"
#include "gui/VideoSurface.h"
#include "services/UnicodeProtocol.h"
#include "skin/TrackBar.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/PreviewState.h"
#include "workspace/mainwindow/FilesListView.h"

namespace fs = std::filesystem;

namespace {

// The panel's pixels as the X server has them.
QImage PanelPixels(TfrmMain &window) {
  return window.pnlPreview->screen()->grabWindow(window.pnlPreview->winId()).toImage();
}

// Whether the panel shows the test picture: its colour bars, where the idle panel is grey.
bool ShowsVideo(TfrmMain &window) {
  const QImage pixels = PanelPixels(window);
  if (pixels.size() != QSize(243, 171)) return false;
  int colourful = 0;
  for (int y = 0; y < pixels.height(); y += 3)
    for (int x = 0; x < pixels.width(); x += 3)
      colourful += pixels.pixelColor(x, y).saturation() > 100;
  return colourful > (pixels.width() / 3) * (pixels.height() / 3) / 5;
}

struct TShownControls {
  bool Play, Pause, Stop, Snapshot;
};

TShownControls Controls(TfrmMain &window) {
  return {window.btnPlay->isEnabled(), window.btnPreviewPause->isEnabled(),
          window.btnPreviewStop->isEnabled(), window.btnSnapshot->isEnabled()};
}

bool Shows(TfrmMain &window, TPreviewMode mode) {
  const TShownControls shown = Controls(window);
  const TPreviewControls wanted = PreviewControlsOf(mode);
  return shown.Play == wanted.Play && shown.Pause == wanted.Pause && shown.Stop == wanted.Stop &&
         shown.Snapshot == wanted.Snapshot;
}

bool ShowsStopped(TfrmMain &window) {
  return window.PreviewStopped && !window.PreviewPaused && Shows(window, TPreviewMode::Stopped) &&
         !window.tbPosition->isEnabled() && window.lblPosition->text() == "00:00:00" &&
         window.lblDuration->text() == "00:00:00";
}

std::set<std::string> FilesIn(const fs::path &folder) {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

class TPreviewPanelTest : public TWindowFixture {
  Q_OBJECT

  std::string Clip() { return Media(fixtures::Clip(2.0, 320, 240, 25), "clip.mp4"); }

  // Plays the first row and waits until its picture is in the panel.
  void PlayAndWait(TfrmMain &window) {
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsVideo(window), 8000);
  }

 private slots:
  void init() { Begin(); }
  void cleanup() { End(); }

  void playOnAnEmptyListOpensAddThenPlaysTheFirstRow() {
    TfrmMain &window = Open();
    QVERIFY(!ShowsVideo(window));
    FDialogs->FilesToChoose << QString::fromStdString(Clip());
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QVERIFY(!FDialogs->NameFilters.isEmpty());  // the open dialog was shown
    QCOMPARE(window.Files().Count(), 1);
    QCOMPARE(window.lvFiles->SelectedRow(), 0);
    QVERIFY(!window.PreviewStopped && !window.PlayAfterAdd);
    // The reader opens the file while the window goes on.
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);
    QVERIFY(Shows(window, TPreviewMode::Playing));
    QVERIFY(window.tbPosition->isEnabled());
    QCOMPARE(window.lblDuration->text(), QString("0:00:02"));
    // A picture really reaches the panel, and the position runs.
    QTRY_VERIFY_WITH_TIMEOUT(ShowsVideo(window), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(window.lblPosition->text() > QString("00:00:00.200"), 5000);
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$")
                .match(window.lblPosition->text())
                .hasMatch());
  }

  void aCancelledAddLeavesNothingToPlayLater() {
    TfrmMain &window = Open();
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);  // the dialog "cancelled"
    QVERIFY(!FDialogs->NameFilters.isEmpty());
    QVERIFY(!window.PlayAfterAdd && window.PreviewStopped);
    FDialogs->FilesToChoose << QString::fromStdString(Clip());
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    QCOMPARE(window.Files().Count(), 1);
    QVERIFY(!window.FFPlayer.Playing());
    QVERIFY(ShowsStopped(window));
  }

  void pauseResumeAndStopTwice() {
    TfrmMain &window = OpenWithFiles({Clip()});
    PlayAndWait(window);
    QTest::mouseClick(window.btnPreviewPause, Qt::LeftButton);
    QVERIFY(window.PreviewPaused && !window.PreviewStopped);
    QVERIFY(Shows(window, TPreviewMode::Paused));
    QVERIFY(window.FFPlayer.IsPaused());
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QVERIFY(!window.PreviewPaused && !window.FFPlayer.IsPaused());
    QVERIFY(Shows(window, TPreviewMode::Playing));

    QTest::mouseClick(window.btnPreviewStop, Qt::LeftButton);
    QVERIFY(ShowsStopped(window));
    QVERIFY(!window.FFPlayer.Playing());
    QVERIFY(!window.pnlPreview->PlayerDrawing());
    QTRY_VERIFY_WITH_TIMEOUT(!ShowsVideo(window), 3000);  // the idle panel again
    // The second stop does nothing.
    window.StopPreview();
    QTest::mouseClick(window.btnPreviewStop, Qt::LeftButton);
    QVERIFY(ShowsStopped(window));
    // Play opens the file again.
    PlayAndWait(window);
    QVERIFY(Shows(window, TPreviewMode::Playing));
  }

  void theEndOfTheFileLeavesTheStoppedState() {
    TfrmMain &window = OpenWithFiles({Media(fixtures::Clip(1.0, 320, 240, 25), "short.mp4")});
    PlayAndWait(window);
    QTRY_VERIFY_WITH_TIMEOUT(window.PreviewStopped, 8000);
    QVERIFY(ShowsStopped(window));
    // The file waits at its start, paused, still showing its picture; late positions stay away
    // from the labels.
    QVERIFY(window.FFPlayer.Playing() && window.FFPlayer.IsPaused());
    QTest::qWait(300);
    QCOMPARE(window.lblPosition->text(), QString("00:00:00"));
    QVERIFY(ShowsVideo(window));
    // Play opens it again from its start.
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);
    QVERIFY(Shows(window, TPreviewMode::Playing) && !window.FFPlayer.IsPaused());
    QCOMPARE(window.lblDuration->text(), QString("0:00:01"));
    QTRY_VERIFY_WITH_TIMEOUT(window.PreviewStopped, 8000);
    // A stop closes the waiting file as well: an editor's player must never meet it.
    window.StopPreview();
    QVERIFY(!window.FFPlayer.Playing());
  }

  void releasingThePositionBarSeeks() {
    const std::string sixty = fixtures::Make(
        "seek-60s-160x120-g10.mp4",
        "-f lavfi -i testsrc=size=160x120:rate=10:duration=60 -c:v libx264 -preset ultrafast "
        "-pix_fmt yuv420p -g 10 -an");
    TfrmMain &window = OpenWithFiles({Media(sixty, "sixty.mp4")});
    PlayAndWait(window);
    QCOMPARE(window.lblDuration->text(), QString("0:01:00"));
    QCOMPARE(window.PreviewDuration, int64_t(60000000));
    QSlider *bar = window.tbPosition;
    QCOMPARE(bar->maximum(), bar->width());
    // A click in the middle of the bar, away from the knob at its start.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() / 2));
    const int64_t target = SeekPosition(bar->value(), bar->maximum(), window.PreviewDuration);
    QVERIFY(std::abs(target - 30000000) <= 60000000 / bar->maximum());
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.CurrentPosition() >= target - 1000000, 5000);
    QVERIFY2(window.FFPlayer.CurrentPosition() < target + 3000000,
             qPrintable(QString::number(window.FFPlayer.CurrentPosition())));
    QTRY_VERIFY_WITH_TIMEOUT(window.lblPosition->text().startsWith("00:00:3") ||
                                 window.lblPosition->text().startsWith("00:00:29"),
                             3000);
  }

  void volumeAndMuteReachThePlayerAndTheStore() {
    Store().SetVolume(100);
    TfrmMain &window = Open();
    QCOMPARE(window.FFPlayer.AudioVolume(), 100);
    QVERIFY(!window.FFPlayer.Mute());
    window.tbVolume->setFocus();
    QTest::keyClick(window.tbVolume, Qt::Key_Right);
    QCOMPARE(window.FFPlayer.AudioVolume(), 101);
    QCOMPARE(Store().Volume(), 101);
    // A drag reaches the player at once and the store when the mouse is released.
    window.tbVolume->setSliderDown(true);
    window.tbVolume->setValue(20);
    QCOMPARE(window.FFPlayer.AudioVolume(), 20);
    QCOMPARE(Store().Volume(), 101);
    window.tbVolume->setSliderDown(false);
    QTest::mouseRelease(window.tbVolume, Qt::LeftButton);
    QCOMPARE(Store().Volume(), 20);

    QTest::mouseClick(window.ckMute, Qt::LeftButton);
    QVERIFY(window.FFPlayer.Mute());
    QCOMPARE(Store().Mute(), 1);
    QTest::mouseClick(window.ckMute, Qt::LeftButton);
    QVERIFY(!window.FFPlayer.Mute());
    QCOMPARE(Store().Mute(), 0);
  }

  void snapshotsOfThePictureOnScreen() {
    const fs::path snaps = Dir() / "snaps";
    Store().SetSnapOutPutDir(snaps.string());
    Store().SetSnapJpg(false);
    TfrmMain &window = OpenWithFiles({Clip()});
    PlayAndWait(window);
    QTest::mouseClick(window.btnPreviewPause, Qt::LeftButton);
    // A larger window draws a larger picture; the small snapshot keeps the panel's own size.
    window.resize(1572, 1044);
    QTRY_VERIFY(window.pnlPreview->width() > 243);
    QTest::mouseClick(window.btnSnapshot, Qt::LeftButton);
    // Exactly the two BMP files: the video's size and the panel's.
    QCOMPARE(FilesIn(snaps), (std::set<std::string>{"Snapshot_full.bmp", "Snapshot_small.bmp"}));
    QCOMPARE(
        QImageReader(QString::fromStdString((snaps / "Snapshot_full.bmp").string())).read().size(),
        QSize(320, 240));
    QCOMPARE(
        QImageReader(QString::fromStdString((snaps / "Snapshot_small.bmp").string())).read().size(),
        QSize(243, 171));
    QCOMPARE(FDialogs->Opened, QStringList{QString::fromStdString(snaps.string())});

    // JPEG files of the same picture get smaller as the quality falls.
    Store().SetSnapJpg(true);
    qint64 previous = 0;
    for (int quality : {90, 40, 10}) {
      Store().SetJpgCmp(quality);
      QTest::mouseClick(window.btnSnapshot, Qt::LeftButton);
      const auto size = static_cast<qint64>(fs::file_size(snaps / "Snapshot_full.jpg"));
      if (previous) QVERIFY2(size < previous, qPrintable(QString::number(quality)));
      previous = size;
    }
    QCOMPARE(FilesIn(snaps).size(), size_t(4));
  }

  void doubleClickPlaysTheRow() {
    const std::string first = Clip();
    const std::string second = Media(fixtures::Clip(2.0, 320, 240, 25), "second.mp4");
    TfrmMain &window = OpenWithFiles({first, second});
    const QRect rect = window.lvFiles->visualRect(window.lvFiles->model()->index(1, 0));
    // As the window system delivers a double click: a click, then the second press as one.
    QTest::mouseClick(window.lvFiles->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(window.lvFiles->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(window.lvFiles->SelectedRow(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);
    QCOMPARE(window.FFPlayer.FileName(), UTF8ToWide(second));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsVideo(window), 8000);
    // While that one is paused, a double click on the first row plays the first row.
    QTest::mouseClick(window.btnPreviewPause, Qt::LeftButton);
    const QRect firstRow = window.lvFiles->visualRect(window.lvFiles->model()->index(0, 0));
    QTest::mouseClick(window.lvFiles->viewport(), Qt::LeftButton, {}, firstRow.center());
    QTest::mouseDClick(window.lvFiles->viewport(), Qt::LeftButton, {}, firstRow.center());
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);
    QCOMPARE(window.FFPlayer.FileName(), UTF8ToWide(first));
    QVERIFY(!window.FFPlayer.IsPaused() && Shows(window, TPreviewMode::Playing));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsVideo(window), 8000);
  }

  void removingTheLastRowAndClearingStopThePreview() {
    TfrmMain &window = OpenWithFiles({Clip(), Media(fixtures::Clip(2.0, 320, 240, 25), "b.mp4")});
    PlayAndWait(window);
    QTest::mouseClick(window.btnRemove, Qt::LeftButton);  // one row is left: it plays on
    QVERIFY(window.FFPlayer.Playing() && !window.PreviewStopped);
    QTest::mouseClick(window.btnRemove, Qt::LeftButton);
    QVERIFY(ShowsStopped(window) && !window.FFPlayer.Playing());

    FDialogs->FilesToChoose << QString::fromStdString(Clip());
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    QVERIFY(AddingEnded(window));
    PlayAndWait(window);
    QTest::mouseClick(window.btnClear, Qt::LeftButton);
    QVERIFY(ShowsStopped(window) && !window.FFPlayer.Playing());
  }

  // Play returns before the reader has opened the file: the panel says it is opening and offers
  // nothing that needs the file.  A stop then gives the opening up (nothing plays later, no
  // message), and a window closed while its preview opens goes away cleanly.
  void thePreviewOpensWithoutBlockingTheWindow() {
    TfrmMain &window = OpenWithFiles({Clip()});
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QVERIFY(window.PreviewPanel->Opening() && !window.FFPlayer.Playing());
    QCOMPARE(window.lblPosition->text(), QString("Opening..."));
    QVERIFY(!window.btnPreviewPause->isEnabled() && !window.btnSnapshot->isEnabled());
    QVERIFY(window.btnPreviewStop->isEnabled() && !window.btnPlay->isEnabled());
    QTest::mouseClick(window.btnPreviewStop, Qt::LeftButton);
    QVERIFY(ShowsStopped(window) && !window.PreviewPanel->Opening());
    QTest::qWait(500);  // the reader's word arrives, and is dropped
    QVERIFY(!window.FFPlayer.Playing() && !window.pnlPreview->PlayerDrawing());
    QVERIFY(ShowsStopped(window) && FDialogs->Shown.empty());

    // Opened after all: the labels and buttons of a playing file.
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);
    QVERIFY(Shows(window, TPreviewMode::Playing));
    QCOMPARE(window.lblDuration->text(), QString("0:00:02"));
    PlayAndWait(window);

    window.StopPreview();
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QVERIFY(window.PreviewPanel->Opening());
    End();
    QTest::qWait(300);
    Begin();
  }

  // Two previews of the program: one plays a file to its end and waits there, paused; when the
  // other opens a file, the first lets its file go (and says so), and the second plays.
  void aPreviewLetsItsWaitingFileGoWhenAnotherOpens() {
    const std::string clip = Media(fixtures::Clip(1.0, 320, 240, 25), "short.mp4");
    TPreviewParts parts;
    parts.Picture = QSize(160, 120);
    QWidget host;
    auto *first = new TPreviewPanel(&host, parts);
    auto *second = new TPreviewPanel(&host, parts);
    for (TPreviewPanel *panel : {first, second}) panel->FFPlayer.SetAudioDriver("dummy");
    int firstClosed = 0;
    first->Events.Closed = [&] { ++firstClosed; };
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QVERIFY(first->Open(clip));
    QTRY_VERIFY_WITH_TIMEOUT(first->Ended(), 8000);
    QVERIFY(first->HoldsFile() && first->FFPlayer.IsPaused());
    QVERIFY(!first->Bar->isEnabled() && first->Play->isEnabled() && !first->Pause->isEnabled());

    QVERIFY(second->Open(clip));
    QVERIFY(!first->HoldsFile());
    QCOMPARE(firstClosed, 1);
    QVERIFY(!first->Picture->PlayerDrawing());
    QTRY_VERIFY_WITH_TIMEOUT(second->FFPlayer.CurrentPosition() > 250000, 5000);
    // The one that let go does nothing on a second close.
    first->Close();
    QCOMPARE(firstClosed, 1);
  }

  void aFileThatCannotBePlayedIsReported() {
    const std::string clip = Clip();
    TfrmMain &window = OpenWithFiles({clip});
    fs::remove(clip);
    QTest::mouseClick(window.btnPlay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!FDialogs->Shown.empty(), 5000);  // once the reader has failed
    QVERIFY(ShowsStopped(window) && !window.FFPlayer.Playing());
    QVERIFY(!window.pnlPreview->PlayerDrawing());
    QCOMPARE(FDialogs->Shown.size(), size_t(1));
    QCOMPARE(FDialogs->Shown[0].Caption, QString("Warning"));
    QVERIFY2(FDialogs->Shown[0].Text.startsWith("Cannot play " + QString::fromStdString(clip)),
             qPrintable(FDialogs->Shown[0].Text));
    QVERIFY(FDialogs->Shown[0].Text.contains(QString::fromStdString(window.FFPlayer.LastErrMsg())));
    QVERIFY(!window.FFPlayer.LastErrMsg().empty());
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TPreviewPanelTest>(argc, argv);
}

#include "PreviewPanelTest.moc"
