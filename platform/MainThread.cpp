#include "platform/MainThread.h"

#include <atomic>
#include <cstdio>
#include <exception>

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

void PostToMainThread(std::function<void()> fn) {
  IMainThreadDispatcher *d = GDispatcher;
  if (d && !d->IsMainThread())
    d->Post(std::move(fn));
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
  auto call = std::make_shared<TCall>();
  call->Fn = fn;
  call->Waited = true;
  std::unique_lock lock(FLock);
  FCalls.push_back(call);
  FQueued.notify_all();
  Queued();
  FFinished.wait(lock, [&] { return call->Done; });
  if (call->Error) std::rethrow_exception(call->Error);
}

void TQueueDispatcher::Post(std::function<void()> fn) {
  auto call = std::make_shared<TCall>();
  call->Fn = std::move(fn);
  std::lock_guard lock(FLock);
  FCalls.push_back(std::move(call));
  FQueued.notify_all();
  Queued();
}

void TQueueDispatcher::ProcessPending(std::chrono::milliseconds slice) {
  std::unique_lock lock(FLock);
  FQueued.wait_for(lock, slice, [&] { return !FCalls.empty(); });
  RunQueued(lock);
}

void TQueueDispatcher::RunQueued() {
  std::unique_lock lock(FLock);
  RunQueued(lock);
}

void TQueueDispatcher::RunQueued(std::unique_lock<std::mutex> &lock) {
  while (!FCalls.empty()) {
    std::shared_ptr<TCall> call = std::move(FCalls.front());
    FCalls.pop_front();
    lock.unlock();
    try {
      call->Fn();
    } catch (const std::exception &e) {
      if (!call->Waited) std::fprintf(stderr, "Error in a call on the main thread: %s\n", e.what());
      call->Error = std::current_exception();
    } catch (...) {
      if (!call->Waited) std::fprintf(stderr, "Unknown error in a call on the main thread\n");
      call->Error = std::current_exception();
    }
    call->Fn = nullptr;  // what the call captured goes before the caller is released
    lock.lock();
    call->Done = true;
    FFinished.notify_all();
  }
}
