// Shutting the computer down after a batch, behind an interface that tests replace.
#pragma once

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
