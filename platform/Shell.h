// Opening folders, files and web addresses with the desktop's default application, behind an
// interface that tests replace.
#pragma once

#include <memory>
#include <string>

class IShellService {
 public:
  virtual ~IShellService() = default;
  // Opens `target` (a folder, file or web address) without waiting for the application; returns
  // whether it could be started.
  virtual bool Open(const std::string &target) = 0;
};

// The service in use: the desktop's (xdg-open) unless a test installed another.
IShellService &ShellService();
// Installs a replacement (nullptr restores the desktop's).
void SetShellService(std::unique_ptr<IShellService> service);

// ShellService().Open(target).
bool ShellOpen(const std::string &target);
