#include "platform/MainThread.h"

#include <atomic>

namespace {
std::atomic<IMainThreadDispatcher *> GDispatcher{nullptr};
}

void SetMainThreadDispatcher(IMainThreadDispatcher *dispatcher) {
  GDispatcher = dispatcher;
}
IMainThreadDispatcher *MainThreadDispatcher() {
  return GDispatcher;
}

void RunInMainThread(const std::function<void()> &fn) {
  IMainThreadDispatcher *d = GDispatcher;
  if (d && !d->IsMainThread())
    d->Invoke(fn);
  else
    fn();
}

void ServeMainThread(std::chrono::milliseconds slice) {
  IMainThreadDispatcher *d = GDispatcher;
  if (d && d->IsMainThread())
    d->ProcessPending(slice);
  else
    std::this_thread::sleep_for(slice);
}

TQueueDispatcher::TQueueDispatcher() : FMainThread(std::this_thread::get_id()) {}

bool TQueueDispatcher::IsMainThread() const {
  return std::this_thread::get_id() == FMainThread;
}

void TQueueDispatcher::Invoke(const std::function<void()> &fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  TCall call;
  call.Fn = fn;
  std::unique_lock lock(FLock);
  FCalls.push_back(&call);
  FQueued.notify_all();
  FFinished.wait(lock, [&] { return call.Done; });
  if (call.Error) std::rethrow_exception(call.Error);
}

void TQueueDispatcher::ProcessPending(std::chrono::milliseconds slice) {
  std::unique_lock lock(FLock);
  FQueued.wait_for(lock, slice, [&] { return !FCalls.empty(); });
  while (!FCalls.empty()) {
    TCall *call = FCalls.front();
    FCalls.pop_front();
    lock.unlock();
    try {
      call->Fn();
    } catch (...) {
      call->Error = std::current_exception();
    }
    lock.lock();
    call->Done = true;
    FFinished.notify_all();
  }
}
