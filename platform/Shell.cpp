#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include "platform/ServiceSlot.h"

extern char **environ;

namespace {

class TDesktopShell : public IShellService {
 public:
  bool Open(const std::string &target) override {
    // Started through a short-lived intermediate so that no zombie is left behind and the
    // caller never waits for the opened application.
    const char *argv[] = {"/bin/sh", "-c", "xdg-open \"$0\" >/dev/null 2>&1 &", target.c_str(),
                          nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
      return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

TServiceSlot<IShellService, TDesktopShell> GService;

}  // namespace

IShellService &ShellService() {
  return GService.Get();
}

void SetShellService(std::unique_ptr<IShellService> service) {
  GService.Set(std::move(service));
}

bool ShellOpen(const std::string &target) {
  return ShellService().Open(target);
}
