// Marshalling of calls to the program's main (GUI) thread.
//
// The engine, services and player never see the GUI toolkit: a front end installs a dispatcher
// (the Qt one runs calls in the event loop; command-line programs and tests use TQueueDispatcher
// and serve it from their main loop).  Without a dispatcher every call runs directly.
//
// Two ways in:
// - Invoke / RunInMainThread: the caller waits until the call has run.  For data that lives only
//   as long as the call (an event record owned by the caller).  Never while holding a lock the
//   main thread may want, and only from a thread the main thread serves while it waits for it.
// - Post / PostToMainThread: the call is queued and the caller goes on at once.  For a caller that
//   holds a lock, or that the main thread may itself be waiting for.  The call must own what it
//   uses (capture copies).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class IMainThreadDispatcher {
 public:
  virtual ~IMainThreadDispatcher() = default;
  virtual bool IsMainThread() const = 0;
  // Runs fn on the main thread and returns after it has run.
  virtual void Invoke(const std::function<void()> &fn) = 0;
  // Queues fn to run on the main thread, after the calls queued before it, and returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Called on the main thread while it waits for another thread: runs the calls that are
  // pending, waiting at most `slice` for one to arrive.
  virtual void ProcessPending(std::chrono::milliseconds slice) = 0;
};

void SetMainThreadDispatcher(IMainThreadDispatcher *dispatcher);
IMainThreadDispatcher *MainThreadDispatcher();

// Runs fn on the main thread when a dispatcher is installed and the caller is another thread;
// otherwise runs it at once.
void RunInMainThread(const std::function<void()> &fn);

// Queues fn for the main thread when a dispatcher is installed and the caller is another thread;
// otherwise runs it at once.
void PostToMainThread(std::function<void()> fn);

// Serves marshalled calls for `slice` when called on the main thread with a dispatcher; otherwise
// just sleeps for that long.
void ServeMainThread(std::chrono::milliseconds slice);

// A dispatcher for programs without an event loop: the thread that creates it is the main thread
// and serves calls whenever it calls ProcessPending.  An exception that escapes a posted call has
// nobody to go back to: it is reported on stderr and the queue goes on.
class TQueueDispatcher : public IMainThreadDispatcher {
 public:
  TQueueDispatcher();
  bool IsMainThread() const override;
  void Invoke(const std::function<void()> &fn) override;
  void Post(std::function<void()> fn) override;
  void ProcessPending(std::chrono::milliseconds slice) override;

 protected:
  // Called right after a call was queued, with the queue locked: a dispatcher with an event
  // loop posts a wake-up to it there.
  virtual void Queued() {}
  // Runs every queued call; on the main thread.
  void RunQueued();

 private:
  struct TCall {
    std::function<void()> Fn;
    bool Waited{false};  // an Invoke: the caller waits for Done and takes Error
    bool Done{false};
    std::exception_ptr Error{};
  };
  std::thread::id FMainThread;
  std::mutex FLock;
  std::condition_variable FQueued;
  std::condition_variable FFinished;
  std::deque<std::shared_ptr<TCall>> FCalls;

  void RunQueued(std::unique_lock<std::mutex> &lock);
};
