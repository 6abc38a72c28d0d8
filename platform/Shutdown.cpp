#include "platform/Shutdown.h"

#include <cstdlib>
#include <thread>

#include "platform/MainThread.h"
#include "platform/ServiceSlot.h"

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

TServiceSlot<IShutdownService, TSystemShutdown> GService;

}  // namespace

IShutdownService &ShutdownService() {
  return GService.Get();
}

void SetShutdownService(std::unique_ptr<IShutdownService> service) {
  GService.Set(std::move(service));
}

void PowerOffInBackground(std::function<void(const std::string &reason)> refused) {
  std::thread([service = GService.Shared(), refused = std::move(refused)] {
    std::string error;
    if (service->PowerOff(error) || !refused) return;
    PostToMainThread([refused, error] { refused(error); });
  }).detach();
}
