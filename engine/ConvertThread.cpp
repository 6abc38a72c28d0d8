#include "engine/ConvertThread.h"

TConvertThread::TConvertThread(std::function<void()> work, TThreadPriority priority)
    : FWork(std::move(work)), FPriority(priority), FThread([this] { Execute(); }) {}

TConvertThread::~TConvertThread() {
  {
    std::lock_guard lock(FLock);
    if (!FResumed) FCancelled = true;
    FResumed = true;
  }
  FStarted.notify_all();
  if (IsCurrent())
    FThread.detach();
  else if (FThread.joinable())
    FThread.join();
}

void TConvertThread::Resume() {
  {
    std::lock_guard lock(FLock);
    FResumed = true;
  }
  FStarted.notify_all();
}

bool TConvertThread::Suspended() const {
  std::lock_guard lock(FLock);
  return !FResumed;
}

void TConvertThread::Execute() {
  {
    std::unique_lock lock(FLock);
    FStarted.wait(lock, [this] { return FResumed; });
    if (FCancelled) return;
  }
  ApplyThreadPriority(FPriority);
  FWork();
}
