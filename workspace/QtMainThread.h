// Calls from other threads (the player's events, the encoder component's reports) carried to the
// window thread of the program.  The application object installs one for its whole life.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/MainThread.h"

class QObject;

class TQtMainThreadDispatcher : public IMainThreadDispatcher {
 public:
  // `context` lives on the window thread; the calls run in its event loop.
  explicit TQtMainThreadDispatcher(QObject *context);
  bool IsMainThread() const override;
  void Invoke(const std::function<void()> &fn) override;
  // While the window thread waits for another thread (the player opening or stopping a file),
  // it runs the calls queued for it, and only those: no input reaches the windows meanwhile.
  void ProcessPending(std::chrono::milliseconds slice) override;

 private:
  struct TCall {
    std::function<void()> Fn;
    bool Done = false;
    std::exception_ptr Error;
  };
  // Runs the queued calls; called in the event loop and while the window thread waits.
  void RunQueued(std::unique_lock<std::mutex> &lock);

  QObject *FContext;
  std::mutex FLock;
  std::condition_variable FQueued;
  std::condition_variable FFinished;
  std::deque<std::shared_ptr<TCall>> FCalls;
};
