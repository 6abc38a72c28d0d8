#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

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

TEST(ThreadPriority, ARefusedPriorityLeavesTheThreadAsItWas) {
  int lowered = -100, after = -100;
  bool raised = false;
  std::thread worker([&] {
    ASSERT_TRUE(ApplyThreadPriority(TThreadPriority::tpLowest));
    lowered = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    // Going back up needs privileges: without them it is refused and nothing changes.
    raised = ApplyThreadPriority(TThreadPriority::tpTimeCritical);
    after = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  });
  worker.join();
  EXPECT_EQ(lowered, NiceValueOf(TThreadPriority::tpLowest));
  EXPECT_EQ(after, raised ? NiceValueOf(TThreadPriority::tpTimeCritical) : lowered);
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
  std::thread::id invokedOn, postedOn;
  std::thread worker([&] {
    RunInMainThread([&] { invokedOn = std::this_thread::get_id(); });
    PostToMainThread([&] { postedOn = std::this_thread::get_id(); });
  });
  const auto workerId = worker.get_id();
  worker.join();
  EXPECT_EQ(invokedOn, workerId);
  EXPECT_EQ(postedOn, workerId);
}

// The main thread waits for a worker (as a window waits for a task to stop) without serving: a
// worker that posts must not wait for it.  The posted calls run later, in order, on the main
// thread, and one that fails does not keep the others from running.
TEST(MainThread, APostReturnsWhileTheMainThreadWaitsForThePoster) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::promise<void> posted;
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i)
      PostToMainThread([&, i] {
        if (i == 2) throw std::runtime_error("a posted call failed");
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    posted.set_value();
  });
  const bool returned =
      posted.get_future().wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "Post waited for the main thread";
  if (!returned) std::_Exit(1);  // the worker is stuck for good
  worker.join();
  EXPECT_TRUE(order.empty());
  dispatcher.ProcessPending(std::chrono::milliseconds(0));
  SetMainThreadDispatcher(nullptr);
  EXPECT_EQ(order, (std::vector<int>{1, 3}));
  for (const auto &id : threads) EXPECT_EQ(id, std::this_thread::get_id());
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
