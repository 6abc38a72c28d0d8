// A process-wide service behind an interface: the system's implementation, made on first use,
// unless a test installed a replacement (so that no test opens windows or powers the machine off).
#pragma once

#include <memory>
#include <mutex>

template <class TInterface, class TSystem>
class TServiceSlot {
 public:
  TInterface &Get() {
    std::lock_guard lock(FLock);
    if (!FService) FService = std::make_shared<TSystem>();
    return *FService;
  }
  // For a call made on another thread: the service stays alive until that call has returned,
  // even when a replacement is installed meanwhile.
  std::shared_ptr<TInterface> Shared() {
    std::lock_guard lock(FLock);
    if (!FService) FService = std::make_shared<TSystem>();
    return FService;
  }
  // nullptr goes back to the system's implementation.
  void Set(std::unique_ptr<TInterface> service) {
    std::lock_guard lock(FLock);
    FService = std::move(service);
  }

 private:
  std::mutex FLock;
  std::shared_ptr<TInterface> FService;
};
