#include "platform/Shutdown.h"

#include <cstdlib>
#include <mutex>

namespace {

class TSystemShutdown : public IShutdownService {
 public:
  bool PowerOff(std::string &error) override {
    if (std::system("systemctl poweroff >/dev/null 2>&1") == 0) return true;
    if (std::system("loginctl poweroff >/dev/null 2>&1") == 0) return true;
    error = "The system refused to shut down.";
    return false;
  }
};

std::mutex GLock;
std::unique_ptr<IShutdownService> GService;

}  // namespace

IShutdownService &ShutdownService() {
  std::lock_guard lock(GLock);
  if (!GService) GService = std::make_unique<TSystemShutdown>();
  return *GService;
}

void SetShutdownService(std::unique_ptr<IShutdownService> service) {
  std::lock_guard lock(GLock);
  GService = std::move(service);
}
