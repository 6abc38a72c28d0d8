// A manual-reset event: stays signalled until reset, wakes every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualEvent {
 public:
  explicit TManualEvent(bool signalled) : FSignalled(signalled) {}

  void Set() {
    {
      std::lock_guard lock(FLock);
      FSignalled = true;
    }
    FChanged.notify_all();
  }
  void Reset() {
    std::lock_guard lock(FLock);
    FSignalled = false;
  }
  bool IsSet() const {
    std::lock_guard lock(FLock);
    return FSignalled;
  }
  // True when the event was (or became) signalled within `timeout`.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [this] { return FSignalled; });
  }
  void Wait() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FSignalled; });
  }

 private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  bool FSignalled;
};
