// The desktop's shell and the machine's shut-down replaced by recorders, so that no test
// opens a file manager or powers the machine off.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/Shutdown.h"

struct TDesktopLog {
  std::vector<std::string> Opened;
  std::atomic<int> PowerOffs = 0;  // the window asks on a thread of its own
};

class TRecordingShell : public IShellService {
 public:
  explicit TRecordingShell(TDesktopLog &log) : FLog(log) {}
  bool Open(const std::string &target) override {
    FLog.Opened.push_back(target);
    return true;
  }

 private:
  TDesktopLog &FLog;
};

class TRecordingShutdown : public IShutdownService {
 public:
  explicit TRecordingShutdown(TDesktopLog &log) : FLog(log) {}
  bool PowerOff(std::string &) override {
    ++FLog.PowerOffs;
    return true;
  }

 private:
  TDesktopLog &FLog;
};

// Installs both recorders for as long as it lives.
class TRecordedDesktop {
 public:
  TRecordedDesktop() {
    SetShellService(std::make_unique<TRecordingShell>(Log));
    SetShutdownService(std::make_unique<TRecordingShutdown>(Log));
  }
  // The recorders stay installed afterwards: nothing falls back to the system's services.
  ~TRecordedDesktop() {
    static TDesktopLog afterwards;
    SetShutdownService(std::make_unique<TRecordingShutdown>(afterwards));
    SetShellService(std::make_unique<TRecordingShell>(afterwards));
  }
  TRecordedDesktop(const TRecordedDesktop &) = delete;
  TRecordedDesktop &operator=(const TRecordedDesktop &) = delete;

  TDesktopLog Log;
};
