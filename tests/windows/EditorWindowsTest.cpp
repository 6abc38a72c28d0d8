// The trim, crop and watermark windows opened from the main window's Edit menu on a row of a
// real clip, each playing it in its own preview: what their previews show, what "Ok" stores in
// the row and that "Cancel" stores nothing.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "editors/windows/PreviewImage.h"
#include "editors/windows/RectTracker.h"
#include "editors/windows/WinCrop.h"
#include "editors/windows/WinTrim.h"
#include "editors/windows/WinWaterMark.h"
#include "gui/VideoSurface.h"
#include "skin/SpinEdit.h"
#include "skin/TrackBar.h"
#include "tests/support/Fixtures.h"
#include "tests/windows/WindowFixture.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t Second = 1000000;

// The mean of the red, green and blue values over a picture.
double MeanLevel(const QImage &picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  double sum = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar *line = rgb.constScanLine(y);
    for (int i = 0; i < rgb.width() * 3; ++i) sum += line[i];
  }
  return rgb.isNull() ? 0 : sum / (3.0 * rgb.width() * rgb.height());
}

// What the screen shows of a native panel the player draws into.
QImage OnScreen(QWidget *panel) {
  const QPoint origin = panel->mapToGlobal(QPoint(0, 0));
  return panel->screen()
      ->grabWindow(0, origin.x(), origin.y(), panel->width(), panel->height())
      .toImage();
}

}  // namespace

class TEditorWindowsTest : public TWindowFixture {
  Q_OBJECT

 private:
  // The main window with one row: a copy of `clip`.
  TfrmMain &OpenWithClip(const std::string &clip) {
    TfrmMain &window = OpenWithFiles({Media(clip, "clip.mp4")});
    if (window.Files().Count() != 1) qFatal("the clip was not added");
    return window;
  }

  TlvFilesRecord &Record() { return FWindow->Files().Row(0).Record; }

  // Trim plays past half a second, is paused, marks its start there (`marked`) and takes it.
  static void MarkStartAndAccept(TfrmTrim &trim, int64_t &marked) {
    QTRY_VERIFY_WITH_TIMEOUT(trim.FFPlayer.CurrentPosition() > Second / 2, 10000);
    QTest::mouseClick(trim.btnPause, Qt::LeftButton);
    QTest::mouseClick(trim.btnSetStart, Qt::LeftButton);
    marked = trim.Range().Start();
    QTest::mouseClick(trim.btnOk, Qt::LeftButton);
  }

 private slots:
  void initTestCase() {
    // The previews play without a sound device.
    qputenv("SDL_AUDIODRIVER", "dummy");
  }

  void init() { Begin(); }
  void cleanup() { End(); }

  // The main preview plays a row to its end and waits there, paused at its start; an editor
  // opened then must still play: its position runs and its picture reaches the screen.
  void editorPreviewsPlayAfterTheMainPreviewHasEnded_data() {
    QTest::addColumn<int>("editor");
    QTest::newRow("trim") << 0;
    QTest::newRow("crop") << 1;
    QTest::newRow("watermark") << 2;
  }
  void editorPreviewsPlayAfterTheMainPreviewHasEnded() {
    QFETCH(int, editor);
    TfrmMain &window = OpenWithClip(fixtures::Clip(2.0));
    const QRect row = window.lvFiles->visualRect(window.lvFiles->model()->index(0, 0));
    QTest::mouseClick(window.lvFiles->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(window.lvFiles->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(!window.PreviewStopped);
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.Playing(), 5000);  // opened off the window thread
    QTRY_VERIFY_WITH_TIMEOUT(window.PreviewStopped, 10000);     // the end of the file
    const auto plays = [](TEditorDialog &dialog, QWidget *panel) {
      QTRY_VERIFY_WITH_TIMEOUT(dialog.FFPlayer.CurrentPosition() > Second / 4, 5000);
      if (panel) QTRY_VERIFY_WITH_TIMEOUT(MeanLevel(OnScreen(panel)) > 30, 5000);
    };
    if (editor == 0)
      Edit<TfrmTrim>(window.mnuTrim, [&](TfrmTrim &trim) {
        plays(trim, trim.imgPreview);
        // The label follows the position on the window's timer, a tick later.
        QTRY_VERIFY_WITH_TIMEOUT(trim.lblPTS->text() != "Time:    00:00:00.000", 5000);
        QTest::mouseClick(trim.btnCancel, Qt::LeftButton);
      });
    if (editor == 1)
      Edit<TfrmCrop>(window.mnuCrop, [&](TfrmCrop &crop) {
        plays(crop, nullptr);
        // The timer draws the frames the hook decorated: the still is replaced as it plays.
        const QImage first = crop.imgPreview->Picture();
        QTRY_VERIFY_WITH_TIMEOUT(crop.imgPreview->Picture() != first, 5000);
        QTest::mouseClick(crop.btnCancel, Qt::LeftButton);
      });
    if (editor == 2)
      Edit<TfrmWaterMark>(window.mnuWaterMark, [&](TfrmWaterMark &mark) {
        plays(mark, mark.imgPreview);
        QTest::mouseClick(mark.btnCancel, Qt::LeftButton);
      });
  }

  // An editor is up while its player still opens the file: the panel says so and nothing can
  // be played or paused yet.  Cancel then gives the opening up: when the reader has finished,
  // nothing reaches the closed window (the crop and watermark windows are gone by then), and
  // the main preview plays the row afterwards.
  void editorsShowWhileOpeningAndCloseSafely_data() {
    QTest::addColumn<int>("editor");
    QTest::newRow("trim") << 0;
    QTest::newRow("crop") << 1;
    QTest::newRow("watermark") << 2;
  }
  void editorsShowWhileOpeningAndCloseSafely() {
    QFETCH(int, editor);
    TfrmMain &window = OpenWithClip(fixtures::Clip(2.0));
    QAction *entries[] = {window.mnuTrim, window.mnuCrop, window.mnuWaterMark};
    bool shown = false;
    TEditorDialog *trim = nullptr;  // the trim window stays with the main window
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto *shownEditor = dynamic_cast<TEditorDialog *>(&dialog);
      QVERIFY(shownEditor);
      if (editor == 0) trim = shownEditor;
      QVERIFY(shownEditor->PreviewPanel->Opening());
      QCOMPARE(shownEditor->lblPTS->text(), QString("Opening..."));
      QVERIFY(!shownEditor->btnPlay->isEnabled() && !shownEditor->btnPause->isEnabled());
      QTest::mouseClick(dialog.findChild<QPushButton *>("btnCancel"), Qt::LeftButton);
      QVERIFY(!shownEditor->PreviewPanel->Opening());
      shown = true;
    };
    entries[editor]->trigger();
    FDialogs->OnModal = nullptr;
    QVERIFY(shown);
    QTest::qWait(1500);  // the reader ends the opening it was asked to give up
    if (trim) {
      QCOMPARE(trim->Duration(), 0);
      QVERIFY(!trim->FFPlayer.Playing());
    }
    QVERIFY(FDialogs->Shown.empty());
    const QRect row = window.lvFiles->visualRect(window.lvFiles->model()->index(0, 0));
    QTest::mouseClick(window.lvFiles->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(window.lvFiles->viewport(), Qt::LeftButton, {}, row.center());
    QTRY_VERIFY_WITH_TIMEOUT(window.FFPlayer.CurrentPosition() > Second / 4, 10000);
  }

  // "Ok" on an untrimmed file keeps the whole file and shows its length in whole seconds; a
  // start taken from the playing position is stored; "Cancel" after new marks stores nothing.
  void trimStoresTheMarksOnOkOnly() {
    TfrmMain &window = OpenWithClip(fixtures::Clip(3.0));
    window.Files().Row(0).TrimmedLengthText = "-";
    Edit<TfrmTrim>(window.mnuTrim, [](TfrmTrim &trim) {
      QCOMPARE(trim.windowTitle(), QString("Trim"));
      QCOMPARE(trim.edtStart->text(), QString("00:00:00.000"));
      QCOMPARE(trim.trcPreview->SelEnd(), trim.trcPreview->maximum());
      QTest::mouseClick(trim.btnOk, Qt::LeftButton);
    });
    QCOMPARE(Record().TrimStart, 0);
    QCOMPARE(Record().TrimLength, 0);
    QCOMPARE(window.Files().Row(0).TrimmedLengthText, std::string("3"));

    int64_t marked = 0;
    Edit<TfrmTrim>(window.mnuTrim, [&](TfrmTrim &trim) { MarkStartAndAccept(trim, marked); });
    QVERIFY(marked > Second / 2);
    QCOMPARE(Record().TrimStart, marked);
    QCOMPARE(Record().TrimLength, 3 * Second - marked);  // the clip is 3 s to the microsecond
    QCOMPARE(window.Files().Row(0).TrimmedLengthText,
             std::to_string((3 * Second - marked) / Second));

    const TlvFilesRecord before = Record();
    Edit<TfrmTrim>(window.mnuTrim, [&](TfrmTrim &trim) {
      // The window shows the stored part again.
      QCOMPARE(trim.Range().Start(), Record().TrimStart);
      QTest::mouseClick(trim.btnDefault, Qt::LeftButton);
      QCOMPARE(trim.Range().Start(), 0);
      QTest::mouseClick(trim.btnCancel, Qt::LeftButton);
    });
    QCOMPARE(Record().TrimStart, before.TrimStart);
    QCOMPARE(Record().TrimLength, before.TrimLength);
  }

  // Files added while an editor is up (a folder's walk or a read that ends meanwhile) join the
  // list when it closes: the editor writes into its own row, which a grown or shrunk list would
  // have moved (the marks went into freed memory, and the row kept none).
  void rowsGivenWhileAnEditorIsUpJoinAfterIt() {
    TfrmMain &window = OpenWithClip(fixtures::Clip(3.0));
    std::vector<std::string> more;
    for (int i = 0; i < 60; ++i)
      more.push_back(Media(fixtures::Clip(1.0), "more" + std::to_string(i) + ".mp4"));
    more.push_back(Media(fixtures::Clip(1.0), "broken.mp4"));
    std::filesystem::resize_file(more.back(), 100);  // not a file the engine opens
    int64_t marked = 0;
    Edit<TfrmTrim>(window.mnuTrim, [&](TfrmTrim &trim) {
      window.AddFiles(more);
      MarkStartAndAccept(trim, marked);
      QCOMPARE(window.Files().Count(), 1);
    });
    QVERIFY(marked > Second / 2);
    QCOMPARE(Record().TrimStart, marked);
    QTRY_VERIFY_WITH_TIMEOUT(!window.AddingFiles(), 20000);
    QCOMPARE(window.Files().Count(), 61);  // the broken file left out
    QCOMPARE(Record().TrimStart, marked);
  }

  // A 720 x 576 source: the still fills 316 x 253 of the preview, the video area is 314 x 251
  // and a left margin of 10 preview pixels is 22 source pixels.  The preview shows the row's
  // effects.
  void cropStoresMarginsInSourcePixels() {
    TfrmMain &window = OpenWithClip(fixtures::Clip(2.0, 720, 576));
    Record().Brightness = 0;  // every byte 1: a black preview
    Record().ZoomMode = "pan";
    Edit<TfrmCrop>(window.mnuCrop, [](TfrmCrop &crop) {
      QCOMPARE(crop.Frame().Area().Width, 314);
      QCOMPARE(crop.Frame().Area().Height, 251);
      QCOMPARE(crop.RectTracker->Bounds(), crop.Frame().Area());
      // The timer draws decorated frames into the preview: black inside the video area.
      const TBounds area = crop.Frame().Area();
      QTRY_VERIFY_WITH_TIMEOUT(
          MeanLevel(crop.imgPreview->Picture().copy(area.Left + 10, area.Top + 10, area.Width - 20,
                                                    area.Height - 20)) < 4,
          5000);
      for (int i = 0; i < 10; ++i) crop.spedLeft->stepUp();
      QCOMPARE(crop.RectTracker->Bounds().Left, area.Left + 10);
      QTest::mouseClick(crop.btnOk, Qt::LeftButton);
    });
    QCOMPARE(Record().CropEditLeft, 10);
    QCOMPARE(Record().CropLeft, 22);
    QCOMPARE(Record().CropTop, 0);
    QCOMPARE(Record().ZoomMode, std::string("full"));
  }

  // Reset and "Ok" store zeros; "Cancel" stores nothing; a margin that would make the rectangle
  // smaller than 10 pixels is refused.
  void cropResetCancelAndSmallestSize() {
    TfrmMain &window = OpenWithClip(fixtures::Clip(2.0));
    Record().CropEditTop = Record().CropEditBottom = 12;
    Record().CropEditLeft = Record().CropEditRight = 30;
    Record().CropTop = Record().CropBottom = 8;
    Record().CropLeft = Record().CropRight = 20;
    Edit<TfrmCrop>(window.mnuCrop, [](TfrmCrop &crop) {
      QCOMPARE(crop.spedLeft->value(), 30);
      const TBounds area = crop.Frame().Area();
      QCOMPARE(crop.RectTracker->Bounds(),
               (TBounds{area.Left + 30, area.Top + 12, area.Width - 60, area.Height - 24}));
      crop.spedUp->setValue(area.Height - 12 - 10);  // the rectangle is 10 pixels high
      QCOMPARE(crop.RectTracker->Bounds().Height, 10);
      crop.spedUp->stepUp();
      QCOMPARE(crop.spedUp->value(), area.Height - 22);
      QCOMPARE(crop.RectTracker->Bounds().Height, 10);
      QTest::mouseClick(crop.btnCancel, Qt::LeftButton);
    });
    QCOMPARE(Record().CropEditTop, 12);
    QCOMPARE(Record().CropLeft, 20);

    Edit<TfrmCrop>(window.mnuCrop, [](TfrmCrop &crop) {
      QTest::mouseClick(crop.btnReset, Qt::LeftButton);
      QCOMPARE(crop.RectTracker->Bounds(), crop.Frame().Area());
      QTest::mouseClick(crop.btnOk, Qt::LeftButton);
    });
    for (int value : {Record().CropEditTop, Record().CropEditLeft, Record().CropEditBottom,
                      Record().CropEditRight, Record().CropTop, Record().CropLeft,
                      Record().CropBottom, Record().CropRight})
      QCOMPARE(value, 0);
  }

  // The preview follows the controls at once (brightness 0 turns it black); "Cancel" keeps the
  // record, "Ok" stores the controls with the text's place in frame pixels.
  void waterMarkPreviewsLiveAndStoresOnOkOnly() {
    TfrmMain &window = OpenWithClip(fixtures::Clip(4.0));
    Record().MarkText = "Mark";
    Record().MarkFont.Size = 12;
    Record().MarkTextHorzPos = 50;
    Record().MarkTextVertPos = 25;
    Edit<TfrmWaterMark>(window.mnuWaterMark, [](TfrmWaterMark &mark) {
      QCOMPARE(mark.edtFont->text(), QString("Mark"));
      QCOMPARE(mark.btnBrows->text(), QString("&Browse"));
      QTRY_VERIFY_WITH_TIMEOUT(MeanLevel(OnScreen(mark.imgPreview)) > 30, 5000);
      mark.trcBrightness->setValue(0);
      QCOMPARE(mark.spedtBrightness->value(), 0);
      QTRY_VERIFY_WITH_TIMEOUT(MeanLevel(OnScreen(mark.imgPreview)) < 8, 5000);
      QTest::mouseClick(mark.btnCancel, Qt::LeftButton);
    });
    QCOMPARE(Record().Brightness, 255);
    QCOMPARE(Record().MarkTextX, 0);

    Edit<TfrmWaterMark>(window.mnuWaterMark, [](TfrmWaterMark &mark) {
      mark.trcBrightness->setValue(0);
      QTRY_VERIFY_WITH_TIMEOUT(mark.Preview().LastText().X > 0, 5000);
      QTest::mouseClick(mark.btnOk, Qt::LeftButton);
    });
    QCOMPARE(Record().Brightness, 0);
    QCOMPARE(Record().MarkText, std::string("Mark"));
    QCOMPARE(Record().MarkTextX, 160);  // half of 320
    QCOMPARE(Record().MarkTextY, 60);
    QCOMPARE(Record().MarkTextHorzPos, 50);
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TEditorWindowsTest>(argc, argv);
}

#include "EditorWindowsTest.moc"
