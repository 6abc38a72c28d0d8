// A worker thread that is created waiting and starts its work when resumed, so that its owner can
// hand it out before it runs (the engine's conversion and termination threads).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ThreadPriority.h"

class TConvertThread {
 public:
  // The thread exists at once but runs `work` only after Resume().
  TConvertThread(std::function<void()> work, TThreadPriority priority);
  // Joins the thread (starting it first when it was never resumed, so that it can end); from
  // the thread itself it detaches instead.
  ~TConvertThread();
  TConvertThread(const TConvertThread &) = delete;
  TConvertThread &operator=(const TConvertThread &) = delete;

  void Resume();
  // True until Resume() was called.
  bool Suspended() const;
  bool IsCurrent() const { return std::this_thread::get_id() == FThread.get_id(); }
  std::thread::id Id() const { return FThread.get_id(); }

 private:
  void Execute();

  std::function<void()> FWork;
  TThreadPriority FPriority;
  mutable std::mutex FLock;
  std::condition_variable FStarted;
  bool FResumed = false;
  bool FCancelled = false;
  std::thread FThread;
};
