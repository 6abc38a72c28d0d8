// Helpers for tests of threads that wait for the main thread: a dispatcher that tells when a call
// has arrived, and a watchdog that ends a test process stuck in a deadlock with a clear message
// instead of letting it hang until the test driver's time-out.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/MainThread.h"

namespace fixtures {

// The queue dispatcher of the command-line programs, counting the calls that reach it, so that a
// test can act as a busy GUI at the moment a worker waits for it.
class TWatchedDispatcher : public TQueueDispatcher {
 public:
  void Invoke(const std::function<void()> &fn) override;
  void Post(std::function<void()> fn) override;
  int Arrived() const { return FArrived; }
  // Waits (without serving) until `count` calls have arrived; false after `limit`.
  bool WaitForArrivals(int count, std::chrono::milliseconds limit) const;

 private:
  std::atomic<int> FArrived{0};
};

// Ends the process with exit status 1 and `what` on stderr unless it is destroyed within `limit`.
class TDeadlockWatchdog {
 public:
  TDeadlockWatchdog(std::string what, std::chrono::seconds limit);
  ~TDeadlockWatchdog();
  TDeadlockWatchdog(const TDeadlockWatchdog &) = delete;
  TDeadlockWatchdog &operator=(const TDeadlockWatchdog &) = delete;

 private:
  std::mutex FLock;
  std::condition_variable FDisarmed;
  bool FDone = false;
  std::thread FThread;
};

}  // namespace fixtures
