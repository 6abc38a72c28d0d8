#include "workspace/QtMainThread.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

TQtMainThreadDispatcher::TQtMainThreadDispatcher(QObject *context) : FContext(context) {}

bool TQtMainThreadDispatcher::IsMainThread() const {
  return QThread::currentThread() == FContext->thread();
}

void TQtMainThreadDispatcher::Invoke(const std::function<void()> &fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto call = std::make_shared<TCall>();
  call->Fn = fn;
  std::unique_lock lock(FLock);
  FCalls.push_back(call);
  FQueued.notify_all();
  // Queued before the wake-up is posted: the event loop finds it whenever the wake-up runs (or
  // a wait of the window thread has already run it).
  QMetaObject::invokeMethod(
      FContext,
      [this] {
        std::unique_lock inLoop(FLock);
        RunQueued(inLoop);
      },
      Qt::QueuedConnection);
  FFinished.wait(lock, [&] { return call->Done; });
  if (call->Error) std::rethrow_exception(call->Error);
}

void TQtMainThreadDispatcher::ProcessPending(std::chrono::milliseconds slice) {
  std::unique_lock lock(FLock);
  FQueued.wait_for(lock, slice, [&] { return !FCalls.empty(); });
  RunQueued(lock);
}

void TQtMainThreadDispatcher::RunQueued(std::unique_lock<std::mutex> &lock) {
  while (!FCalls.empty()) {
    const std::shared_ptr<TCall> call = FCalls.front();
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
