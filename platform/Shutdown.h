// Shutting the computer down after a batch, behind an interface that tests replace.
#pragma once

#include <functional>
#include <memory>
#include <string>

class IShutdownService {
 public:
  virtual ~IShutdownService() = default;
  // Asks the system to power off; returns false with a reason when it refused.
  virtual bool PowerOff(std::string &error) = 0;
};

// The service in use: the system's (systemctl/loginctl) unless a test installed another.
IShutdownService &ShutdownService();
// Installs a replacement (nullptr restores the system's).  Tests must install one before any
// code path that may shut down.
void SetShutdownService(std::unique_ptr<IShutdownService> service);

// Asks the service in use to power off on a thread of its own, so that the caller (the window
// thread) never waits for the system.  When it refuses, `refused` runs on the main thread with
// the reason.
void PowerOffInBackground(std::function<void(const std::string &reason)> refused);
