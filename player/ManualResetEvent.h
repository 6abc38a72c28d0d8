// A manual-reset event: stays signalled until reset, wakes every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualResetEvent {
 public:
  explicit TManualResetEvent(bool signalled) : FSignalled(signalled) {}

  void Set() {
    std::lock_guard lock(FLock);
    FSignalled = true;
    FChanged.notify_all();
  }
  void Reset() {
    std::lock_guard lock(FLock);
    FSignalled = false;
  }
  bool IsSet() {
    std::lock_guard lock(FLock);
    return FSignalled;
  }
  // True when signalled within the timeout.
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [this] { return FSignalled; });
  }

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FSignalled;
};
