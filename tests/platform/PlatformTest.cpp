#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/MainThread.h"
#include "platform/Shutdown.h"
#include "platform/ThreadPriority.h"

TEST(ThreadPriority, LowerPrioritiesApplyToTheCallingThreadOnly) {
  int seen = -100;
  std::thread worker([&] {
    EXPECT_TRUE(ApplyThreadPriority(TThreadPriority::tpLower));
    seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  });
  worker.join();
  EXPECT_EQ(seen, 5);
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), 0);
}

TEST(ThreadPriority, AnUnavailablePriorityIsNotAnError) {
  std::thread worker([] {
    ApplyThreadPriority(TThreadPriority::tpLowest);
    // Going back up may be refused for an unprivileged user; it must not throw or crash.
    ApplyThreadPriority(TThreadPriority::tpTimeCritical);
  });
  worker.join();
}

TEST(MainThread, InvokeRunsOnTheServingThreadAndCarriesExceptions) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  std::thread::id ranOn;
  std::atomic<bool> done{false};
  bool caught = false;
  std::thread worker([&] {
    RunInMainThread([&] { ranOn = std::this_thread::get_id(); });
    try {
      RunInMainThread([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error &) {
      caught = true;
    }
    done = true;
  });
  while (!done) ServeMainThread(std::chrono::milliseconds(20));
  worker.join();
  SetMainThreadDispatcher(nullptr);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(caught);
}

TEST(MainThread, WithoutADispatcherCallsRunDirectly) {
  std::thread::id ranOn;
  std::thread worker([&] { RunInMainThread([&] { ranOn = std::this_thread::get_id(); }); });
  const auto workerId = worker.get_id();
  worker.join();
  EXPECT_EQ(ranOn, workerId);
}

namespace {
class TRecordingShutdown : public IShutdownService {
 public:
  explicit TRecordingShutdown(int &calls) : FCalls(calls) {}
  bool PowerOff(std::string &) override {
    ++FCalls;
    return true;
  }

 private:
  int &FCalls;
};
}  // namespace

TEST(Shutdown, ATestServiceReplacesTheSystem) {
  int calls = 0;
  SetShutdownService(std::make_unique<TRecordingShutdown>(calls));
  std::string error;
  EXPECT_TRUE(ShutdownService().PowerOff(error));
  EXPECT_EQ(calls, 1);
  SetShutdownService(nullptr);
}
