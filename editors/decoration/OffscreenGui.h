// Fonts for programs without windows.  The watermark text is drawn with the GUI library's fonts,
// which need a QGuiApplication; the command-line converter, the benchmarks and the tests have
// none.  Make one TOffscreenGui at the start of main, on the main thread, and keep it to the end.
#pragma once

#include <memory>

class QGuiApplication;

class TOffscreenGui {
 public:
  // Makes a QGuiApplication on the "offscreen" platform (no display needed) unless the process
  // already has one, which is then left as it is.
  TOffscreenGui();
  ~TOffscreenGui();
  TOffscreenGui(const TOffscreenGui &) = delete;
  TOffscreenGui &operator=(const TOffscreenGui &) = delete;

 private:
  // QGuiApplication keeps references to its arguments for its whole life.
  int FArgc = 3;
  char FName[8] = "morvane";
  char FPlatformSwitch[10] = "-platform";
  char FPlatform[10] = "offscreen";
  char *FArgv[4] = {FName, FPlatformSwitch, FPlatform, nullptr};
  std::unique_ptr<QGuiApplication> FApplication;
};
