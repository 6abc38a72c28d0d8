// Drives the real main window on an X display (run it under xvfb-run, see
// scripts/screenshots.sh) and writes the screenshots of the README into the folder given on the
// command line: the window with a few files in the "Default" theme, with its profile list open,
// with the list open in the "Orange" theme, with the preview playing, the file information
// window, and the trim, crop and watermark editors with a frame in their previews (the watermark
// editor with a text and a picture on it), the preference and settings dialogs, the progress
// window during a conversion, the count-down before a shut-down, and the main window maximised.
// MORVANE_FONT_SIZE=POINTS gives the windows the font a desktop set to that size would give
// them (the program itself takes the desktop's font from the platform theme, which Xvfb has
// not); the screen's scale comes from Qt's own QT_SCALE_FACTOR.
// Given a locale as well ("de_DE"), it shows the windows in that language.
#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "editors/windows/EditorDialog.h"
#include "gui/Application.h"
#include "gui/Translations.h"
#include "tests/support/Fixtures.h"
#include "tests/support/RecordingServices.h"
#include "tests/windows/RecordingDialogs.h"
#include "windows/WinProgress.h"
#include "workspace/SettingsStore.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/WinMain.h"

namespace fs = std::filesystem;

namespace {

// A folder with a plain name, as the window shows it in the output folder box.
const fs::path DemoFolder = "/tmp/morvane-demo";

std::vector<std::string> DemoClips() {
  struct TDemoClip {
    const char *Name, *Args;
    bool Sound;
  };
  const TDemoClip clips[] = {
      {"Beach holiday.mp4",
       "-f lavfi -i testsrc2=size=320x180:rate=25:duration=74 -c:v libx264 -preset ultrafast",
       false},
      {"Birthday party.mkv", "-f lavfi -i testsrc=size=320x240:rate=25:duration=128 -c:v mpeg4",
       false},
      {"City at night.avi", "-f lavfi -i smptebars=size=320x240:rate=25:duration=45 -c:v mpeg4",
       false},
      {"Interview.mov",
       "-f lavfi -i testsrc2=size=320x180:rate=25:duration=263 -f lavfi -i "
       "sine=frequency=440:duration=263 -c:v libx264 -preset ultrafast -c:a aac -b:a 96k",
       true}};
  std::vector<std::string> paths;
  fs::create_directories(DemoFolder / "Videos");
  for (const TDemoClip &clip : clips) {
    const fs::path name = clip.Name;
    const std::string made = fixtures::Make(
        "demo-" + name.stem().string() + (clip.Sound ? "-sound" : "") + name.extension().string(),
        std::string(clip.Args) + (clip.Sound ? "" : " -an"));
    const fs::path shown = DemoFolder / "Videos" / name;
    fs::copy_file(made, shown, fs::copy_options::overwrite_existing);
    paths.push_back(shown.string());
  }
  return paths;
}

bool Shoot(QWidget &window, const QString &file) {
  QTest::qWait(400);
  const QPixmap shot =
      window.screen()->grabWindow(0, window.x(), window.y(), window.width(), window.height());
  QImageWriter writer(file, "png");
  writer.setQuality(0);  // the strongest compression: the files go into the repository
  if (writer.write(shot.toImage())) return true;
  std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

// A small logo for the watermark picture: white letters on a dark blue plate.
std::string DemoLogo() {
  QImage logo(96, 40, QImage::Format_RGB888);
  logo.fill(QColor(30, 60, 140));
  QPainter painter(&logo);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(22);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(logo.rect(), Qt::AlignCenter, "LOGO");
  painter.end();
  const std::string path = (DemoFolder / "logo.bmp").string();
  logo.save(QString::fromStdString(path), "BMP");
  return path;
}

// Opens an editor from the Edit menu for the selected row, lets its preview play for a moment,
// pauses it and writes its picture.
bool ShootEditor(TRecordingDialogs &dialogs, QAction *entry, const QString &file) {
  bool ok = false;
  dialogs.OnModal = [&](QDialog &dialog) {
    auto &editor = static_cast<TEditorDialog &>(dialog);
    QTest::qWait(1500);
    QTest::mouseClick(editor.btnPause, Qt::LeftButton);
    ok = Shoot(dialog, file);
  };
  entry->trigger();
  dialogs.OnModal = nullptr;
  return ok;
}

void OpenProfileList(TfrmMain &window) {
  QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
  QTest::qWait(100);
}

// The desktop's font at `points` points, as the platform theme of a desktop set to that size
// hands it to the program: set before the application starts.
void UseDesktopFontSize(const char *points) {
  if (!points || !*points) return;
  QFont font("DejaVu Sans");
  font.setPointSizeF(std::atof(points));
  QApplication::setFont(font);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: morvane-screenshots FOLDER [LOCALE]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);  // the editors' previews play without a sound device
  fs::remove_all(DemoFolder);
  const std::string settings = (DemoFolder / "morvanemp4videoconverter.ini").string();
  setenv("MORVANE_SETTINGS_INI", settings.c_str(), 1);
  setenv("MORVANE_FORMAT_INI", MORVANE_BINARY_DIR "/data/morvanemp4format.ini", 1);
  // The update check asks a port of 127.0.0.1 where nothing listens: the built-in notices.
  setenv("MORVANE_UPDATE_URL", "http://127.0.0.1:9/morvane/morvanenet.xml", 1);
  setenv("XDG_CACHE_HOME", (DemoFolder / "cache").c_str(), 1);
  setenv("XDG_STATE_HOME", (DemoFolder / "state").c_str(), 1);  // not the user's list of files
  const std::vector<std::string> clips = DemoClips();
  {
    TSettingsStore store(settings);
    store.SetOutPutDir((DemoFolder / "Videos" / "Converted").string());
    store.SetFormatCode(401);
    store.SetFormatName("PSP MPEG-4 Normal Quality (*.mp4)");
    store.SetCategoryCollapsed(4, false);
    store.SetVolume(96);
    store.SetSnapOutPutDir((DemoFolder / "Snapshots").string());
  }

  UseDesktopFontSize(std::getenv("MORVANE_FONT_SIZE"));
  TApplication app(argc, argv);
  const QLocale locale(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString("C"));
  if (argc == 3 && !InstallTranslations(app, locale, MORVANE_BINARY_DIR "/data/translations")) {
    std::fprintf(stderr, "morvane-screenshots: no catalogue for %s\n", argv[2]);
    return 1;
  }
  TRecordedDesktop desktop;  // the batch's end neither opens the folder nor shuts down
  TRecordingDialogs dialogs;
  TfrmMain window(&dialogs);
  window.move(0, 0);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.AddFiles(clips);
  if (!QTest::qWaitFor([&] { return !window.AddingFiles(); }, 30000)) return 1;
  window.Files().SetChecked(2, false);
  window.RefreshRows();
  window.lvFiles->SelectRow(1);
  window.lvFiles->setFocus();

  const QString folder = QString::fromLocal8Bit(argv[1]);
  bool ok = Shoot(window, folder + "/main-window-default.png");
  OpenProfileList(window);
  ok = Shoot(window, folder + "/main-window-profile-list.png") && ok;

  OpenProfileList(window);  // closes it
  // The main window maximised: the list and the preview take the room.
  const QRect normal = window.geometry();
  window.showMaximized();
  QTest::qWait(300);
  // Without a window manager (Xvfb) nobody gives the maximised window the screen: it is given
  // here.
  const QRect screen = window.screen()->availableGeometry();
  if (window.size() != screen.size()) window.setGeometry(screen);
  QTest::qWait(300);
  ok = Shoot(window, folder + "/main-window-maximised.png") && ok;

  window.showNormal();
  window.setGeometry(normal);
  if (!QTest::qWaitForWindowExposed(&window)) return 1;

  window.mnuSkinItems[2]->trigger();  // "Orange"
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.lvFiles->SelectRow(0);
  window.lvFiles->setFocus();
  OpenProfileList(window);
  ok = Shoot(window, folder + "/main-window-orange.png") && ok;

  // The preview playing the first clip, caught paused a little way in.
  window.mnuSkinItems[0]->trigger();  // "Default"
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.lvFiles->SelectRow(0);
  window.FFPlayer.SetAudioDriver("dummy");
  QTest::mouseClick(window.btnPlay, Qt::LeftButton);
  QTest::qWait(2500);
  QTest::mouseClick(window.btnPreviewPause, Qt::LeftButton);
  ok = Shoot(window, folder + "/main-window-preview.png") && ok;
  QTest::mouseClick(window.btnPreviewStop, Qt::LeftButton);

  // The information window of the clip with sound.
  window.lvFiles->SelectRow(3);
  dialogs.OnModal = [&](QDialog &info) {
    ok = QTest::qWaitForWindowExposed(&info) && Shoot(info, folder + "/file-information.png") && ok;
  };
  window.pmVideoInfo->trigger();
  dialogs.OnModal = nullptr;

  window.mnuSkinItems[0]->trigger();  // "Default" again for the editors
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  // The editors, on the 320 x 240 clip: the trim window with the part from 0:10 to 0:50, the
  // crop window with margins, the watermark window with a text and a picture.
  window.lvFiles->SelectRow(1);
  TlvFilesRecord &record = window.Files().Row(1).Record;
  record.TrimStart = 10000000;
  record.TrimLength = 40000000;
  ok = ShootEditor(dialogs, window.mnuTrim, folder + "/editor-trim.png") && ok;
  record.CropEditTop = 12;
  record.CropEditBottom = 12;
  record.CropEditLeft = 30;
  record.CropEditRight = 30;
  // As "Ok" stores them in source pixels, so that the preview's green outline meets the
  // rectangle.
  record.CropTop = record.CropBottom = 10;
  record.CropLeft = record.CropRight = 28;
  ok = ShootEditor(dialogs, window.mnuCrop, folder + "/editor-crop.png") && ok;
  record.MarkText = "Birthday 2024";
  record.MarkFont.Name = "DejaVu Sans";
  record.MarkFont.Size = 16;
  record.MarkFont.Bold = true;
  record.MarkFont.Color = 0xFFFFFF;
  record.MarkTextHorzPos = 6;
  record.MarkTextVertPos = 82;
  record.MarkImage = DemoLogo();
  record.MarkImageHorzPos = 66;
  record.MarkImageVertPos = 6;
  record.MarkImageAlpha = 200;
  record.MarkImageStyle = 1;
  record.Saturation = 330;
  ok = ShootEditor(dialogs, window.mnuWaterMark, folder + "/editor-watermark.png") && ok;
  // The dialogs, each in the theme of the window that opens it.
  const auto shootDialog = [&](QAction *entry, const QString &file) {
    dialogs.OnModal = [&](QDialog &dialog) {
      if (QTest::qWaitForWindowExposed(&dialog)) ok = Shoot(dialog, file) && ok;
    };
    entry->trigger();
    dialogs.OnModal = nullptr;
  };
  shootDialog(window.mnuPreference, folder + "/preference.png");
  shootDialog(window.mnuSettings, folder + "/settings.png");

  // The progress window halfway through converting the first clip, with its picture.
  window.mnuSkinItems[0]->trigger();  // "Default"
  window.Files().SetChecked(2, true);
  window.AdList = {{"Burn the converted videos to a DVD that plays on a TV set.", ""}};
  dialogs.OnModal = [&](QDialog &progress) {
    progress.move(window.x() + 160, window.y() + 20);
    QElapsedTimer waited;
    waited.start();
    while (window.Files().Row(0).ProgressText.empty() && waited.elapsed() < 30000) QTest::qWait(20);
    QTest::qWait(300);
    ok = Shoot(progress, folder + "/progress-window.png") && ok;
    window.btnStop->click();
  };
  QTest::mouseClick(window.btnStart, Qt::LeftButton);

  // The count-down before a shut-down, a few seconds in; Cancel closes it long before the end
  // (and the shut-down service is a recorder all the same).
  window.StartShutDownCountdown();
  if (QWidget *countdown = window.findChild<QWidget *>("frmShutDown")) {
    countdown->move(window.x() + 240, window.y() + 160);
    ok = QTest::qWaitForWindowExposed(countdown) && ok;
    QTest::qWait(2200);
    ok = Shoot(*countdown, folder + "/shutdown-countdown.png") && ok;
    if (auto *cancel = countdown->findChild<QPushButton *>("btnCancel")) cancel->click();
  } else {
    ok = false;
  }

  window.SkipExitPrompt = true;
  window.close();
  fs::remove_all(DemoFolder);
  return ok ? 0 : 1;
}
