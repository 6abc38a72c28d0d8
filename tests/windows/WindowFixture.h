// What the window tests share: a private settings store, state folder (where the window keeps
// its list of files) and home folder per test, the message
// boxes and dialogs answered by a recorder, the main window on the X display (Xvfb) with files
// added through "&Add", and the player's sound sent to SDL's "dummy" device.
#pragma once

#include <QAction>
#include <QDialog>
#include <QObject>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/Application.h"
#include "tests/support/Fixtures.h"
#include "tests/windows/RecordingDialogs.h"
#include "workspace/SettingsStore.h"
#include "workspace/mainwindow/WinMain.h"

// The window reads the files it is given on a worker thread: true once it has added them all
// (every row knows its length, or has left the list), false when that took over `timeoutMs`.
inline bool AddingEnded(TfrmMain &window, int timeoutMs = 30000) {
  return QTest::qWaitFor([&] { return !window.AddingFiles(); }, timeoutMs);
}

class TWindowFixture : public QObject {
 protected:
  std::unique_ptr<fixtures::TTempDir> FDir;
  std::unique_ptr<TRecordingDialogs> FDialogs;
  std::unique_ptr<TfrmMain> FWindow;

  std::filesystem::path Dir() const { return FDir->Path(); }
  std::string SettingsPath() const { return *FDir / "settings.ini"; }
  TSettingsStore Store() const { return TSettingsStore(SettingsPath()); }
  std::filesystem::path StateFolder() const { return Dir() / "state"; }

  // For init() and cleanup().
  void Begin() {
    FDir = std::make_unique<fixtures::TTempDir>();
    FDialogs = std::make_unique<TRecordingDialogs>();
    qputenv("MORVANE_SETTINGS_INI", QByteArray::fromStdString(SettingsPath()));
    // Each test starts with an empty list, whatever an earlier test left in its own.
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(StateFolder().string()));
  }
  void End() {
    if (FWindow) {
      FWindow->SkipExitPrompt = true;
      FWindow->close();
      FWindow.reset();
    }
    FDialogs.reset();
    FDir.reset();
  }

  // A copy of the media file `source` under `name` in the test's folder.
  std::string Media(const std::string &source, const std::string &name) {
    const std::filesystem::path path = Dir() / name;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
    return path.string();
  }

  TfrmMain &Open() {
    FWindow = std::make_unique<TfrmMain>(FDialogs.get());
    FWindow->FFPlayer.SetAudioDriver("dummy");
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get())) qFatal("the main window was not exposed");
    FWindow->activateWindow();
    // Without a window manager the window may not become active; focus is checked where it
    // matters.
    (void)QTest::qWaitForWindowActive(FWindow.get());
    return *FWindow;
  }

  // The window with `files` added through "&Add".
  TfrmMain &OpenWithFiles(const std::vector<std::string> &files) {
    TfrmMain &window = Open();
    for (const std::string &file : files) FDialogs->FilesToChoose << QString::fromStdString(file);
    QTest::mouseClick(window.btnAdd, Qt::LeftButton);
    FDialogs->FilesToChoose.clear();
    if (!AddingEnded(window)) qFatal("the files were not added");
    return window;
  }

  // Opens an editor through `entry` and runs `drive` on it while it is shown and its file plays
  // (its length is known).
  template <class TWindow>
  void Edit(QAction *entry, const std::function<void(TWindow &)> &drive) {
    bool shown = false;
    FDialogs->OnModal = [&](QDialog &dialog) {
      auto *editor = dynamic_cast<TWindow *>(&dialog);
      QVERIFY(editor);
      shown = true;
      QTRY_VERIFY_WITH_TIMEOUT(editor->Duration() > 0, 10000);
      drive(*editor);
    };
    entry->trigger();
    FDialogs->OnModal = nullptr;
    QVERIFY(shown);
  }
};

// The body of main() of a window test program.  `prepare`, when given, readies the application
// before the tests run (a catalogue installed ...); false ends the program with 1.
template <class Test>
int RunWindowTests(int argc, char **argv,
                   const std::function<bool(TApplication &)> &prepare = nullptr) {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  // Nothing a test does may reach the real home folder (the default folders live there).
  static fixtures::TTempDir home;
  setenv("HOME", home.Path().c_str(), 1);
  setenv("MORVANE_FORMAT_INI", MORVANE_FORMAT_INI_FILE, 1);
  TApplication app(argc, argv);
  if (prepare && !prepare(app)) return 1;
  Test test;
  return QTest::qExec(&test, argc, argv);
}
