// The file information window, opened from the list's "Video Information" entry on the selected
// row.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tests/windows/WindowFixture.h"
#include "windows/WinFileInfo.h"
#include "workspace/mainwindow/FilesListView.h"

namespace {

struct TShown {
  QString Caption, Name, Length;
  QStringList Video, Audio;  // format, resolution, bit rate, frame rate, frames / format,
                             // bit rate, sample rate, channels
  QSize Size;
  QStringList Labels;  // every caption the window shows
};

}  // namespace

class TFileInfoTest : public TWindowFixture {
  Q_OBJECT

  // Shows the information of `row` and returns what the window showed.
  TShown ShowInfo(TfrmMain &window, int row) {
    window.lvFiles->SelectRow(row);
    TShown shown;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto &info = dynamic_cast<TfrmFileInfo &>(dialog);
      shown.Caption = info.windowTitle();
      shown.Size = info.size();
      for (const QLabel *label : info.findChildren<QLabel *>()) shown.Labels << label->text();
      shown.Name = info.lblSourceName->text();
      shown.Length = info.lblFileLength->text();
      for (QLineEdit *field : {info.edtFormat, info.edtResloution, info.edtBitRate,
                               info.edtFrameRate, info.edtTotalFrame})
        shown.Video << field->text();
      for (QLineEdit *field :
           {info.edtAudioForamt, info.edtAudioBitRate, info.edtSampleRate, info.edtChannel})
        shown.Audio << field->text();
    };
    window.pmVideoInfo->trigger();
    FDialogs->OnModal = nullptr;
    return shown;
  }

  // A copy of `source` whose full path has `length` characters; empty when the test folder's
  // own path is too long for it.
  std::string PathOfLength(const std::string &source, size_t length) {
    const size_t folder = Dir().string().size() + 1, extension = 4;
    if (folder + extension + 1 > length) return {};
    return Media(source, std::string(length - folder - extension, 'n') + ".mp4");
  }

 private slots:
  void init() { Begin(); }
  void cleanup() { End(); }

  void aVideoWithoutSound() {
    const std::string video = fixtures::Make(
        "info-62.5s-160x120-10fps.mp4",
        "-f lavfi -i testsrc=size=160x120:rate=10:duration=62.5 -c:v libx264 -preset ultrafast "
        "-pix_fmt yuv420p -an");
    TfrmMain &window = OpenWithFiles({Media(video, "v.mp4")});
    const TShown shown = ShowInfo(window, 0);
    QCOMPARE(FDialogs->ModalWindows, QStringList{"frmFileInfo"});
    QCOMPARE(shown.Caption, QString("File information"));
    QVERIFY(shown.Labels.contains("Resolution:"));
    QCOMPARE(shown.Size, QSize(420, 460));
    QCOMPARE(shown.Length, QString("62.500 Second"));
    QCOMPARE(shown.Video[0], QString("mov,mp4,m4a,3gp,3g2,mj2"));
    QCOMPARE(shown.Video[1], QString("160x120"));
    QVERIFY(shown.Video[2].toInt() > 0);
    QCOMPARE(shown.Video[3], QString("10"));
    QCOMPARE(shown.Video[4], QString("625"));
    QCOMPARE(shown.Audio, QStringList({"", "", "", ""}));
  }

  void aSoundFileShowsNoVideoFigures() {
    const std::string clip = Media(fixtures::Clip(2.0, 320, 240, 30), "c.mp4");
    const std::string mp3 = Media(fixtures::AudioMp3(2.0), "s.mp3");
    TfrmMain &window = OpenWithFiles({clip, mp3});
    const TShown video = ShowInfo(window, 0);
    QCOMPARE(video.Video[1], QString("320x240"));
    QCOMPARE(video.Video[3], QString("30"));
    QVERIFY2(video.Audio[0].startsWith("aac"), qPrintable(video.Audio[0]));
    // Nothing of the video before stays behind.
    const TShown sound = ShowInfo(window, 1);
    QCOMPARE(sound.Name, QString::fromStdString(mp3));
    QVERIFY2(sound.Length.startsWith("2.0") && sound.Length.endsWith(" Second"),
             qPrintable(sound.Length));
    QCOMPARE(sound.Video, QStringList({"mp3", "", "", "", ""}));
    QCOMPARE(sound.Audio[0], QString("mp3"));
    QCOMPARE(sound.Audio[2], QString("44100"));
    QCOMPARE(sound.Audio[3], QString("2"));
  }

  void frameRatesOfTelevision() {
    const std::string ntsc =
        fixtures::Make("info-2s-ntsc.mp4",
                       "-f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=2 -c:v libx264 "
                       "-preset ultrafast -pix_fmt yuv420p -an");
    TfrmMain &window = OpenWithFiles({Media(ntsc, "ntsc.mp4")});
    const TShown shown = ShowInfo(window, 0);
    QCOMPARE(shown.Video[3], QString("29.97"));
    QCOMPARE(shown.Video[4], QString("60"));
  }

  void longNamesAreShortened_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("whole");
    QTest::newRow("45 characters: whole") << 45 << true;
    QTest::newRow("46 characters: shortened") << 46 << false;
  }

  void longNamesAreShortened() {
    QFETCH(int, length);
    const std::string path = PathOfLength(fixtures::AudioMp3(2.0), static_cast<size_t>(length));
    if (path.empty()) QSKIP("the test folder's path is too long");
    TfrmMain &window = OpenWithFiles({path});
    const QString shown = ShowInfo(window, 0).Name;
    const QString full = QString::fromStdString(path);
    QFETCH(bool, whole);
    QCOMPARE(shown, whole ? full : full.left(40) + "...mp4  ");
  }

  void aFileGoneSinceItWasAddedShowsNothing() {
    const std::string clip = Media(fixtures::Clip(2.0, 320, 240, 25), "gone.mp4");
    TfrmMain &window = OpenWithFiles({clip});
    std::filesystem::remove(clip);
    const TShown shown = ShowInfo(window, 0);
    QCOMPARE(shown.Name, QString());
    QCOMPARE(shown.Length, QString());
    QCOMPARE(shown.Video, QStringList({"", "", "", "", ""}));
  }
};

int main(int argc, char **argv) {
  return RunWindowTests<TFileInfoTest>(argc, argv);
}

#include "FileInfoTest.moc"
