#include "tests/support/Deadlocks.h"

#include <cstdio>
#include <cstdlib>

namespace fixtures {

void TWatchedDispatcher::Invoke(const std::function<void()> &fn) {
  if (!IsMainThread()) ++FArrived;
  TQueueDispatcher::Invoke(fn);
}

void TWatchedDispatcher::Post(std::function<void()> fn) {
  ++FArrived;
  TQueueDispatcher::Post(std::move(fn));
}

bool TWatchedDispatcher::WaitForArrivals(int count, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (FArrived < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TDeadlockWatchdog::TDeadlockWatchdog(std::string what, std::chrono::seconds limit)
    : FThread([this, what = std::move(what), limit] {
        std::unique_lock lock(FLock);
        if (FDisarmed.wait_for(lock, limit, [this] { return FDone; })) return;
        std::fprintf(stderr, "DEADLOCK: %s (no progress within %lld s)\n", what.c_str(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(1);
      }) {}

TDeadlockWatchdog::~TDeadlockWatchdog() {
  {
    std::lock_guard lock(FLock);
    FDone = true;
  }
  FDisarmed.notify_all();
  FThread.join();
}

}  // namespace fixtures
