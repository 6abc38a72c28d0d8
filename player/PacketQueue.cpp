#include "player/PacketQueue.h"

#include "services/FFmpegApi.h"

void TPacketQueue::Start() {
  {
    std::lock_guard lock(FLock);
    FAbort = false;
  }
  Flush();
  PutFlush();
}

void TPacketQueue::Push(TQueuedPacket item, int bytes) {
  std::lock_guard lock(FLock);
  FItems.push_back(std::move(item));
  FSize += bytes + NodeOverhead;
  FCond.notify_one();
}

int TPacketQueue::Put(AVPacket *pkt) {
  TPacketPtr copy(ff::av_packet_alloc());
  if (!copy) return -1;
  ff::av_packet_move_ref(copy.get(), pkt);
  if (ff::av_packet_make_refcounted(copy.get()) < 0) return -1;
  const int bytes = copy->size;
  Push({TPacketKind::pkData, std::move(copy)}, bytes);
  return 0;
}

void TPacketQueue::PutFlush() {
  Push({TPacketKind::pkFlush, nullptr}, 0);
}
void TPacketQueue::PutEndOfStream() {
  Push({TPacketKind::pkEndOfStream, nullptr}, 0);
}

int TPacketQueue::Get(TQueuedPacket &out, bool block) {
  std::unique_lock lock(FLock);
  for (;;) {
    if (FAbort) return -1;
    if (!FItems.empty()) {
      out = std::move(FItems.front());
      FItems.pop_front();
      FSize -= (out.Packet ? out.Packet->size : 0) + NodeOverhead;
      return 1;
    }
    if (!block) return 0;
    FCond.wait(lock);
  }
}

void TPacketQueue::Abort() {
  std::lock_guard lock(FLock);
  FAbort = true;
  FCond.notify_all();
}

void TPacketQueue::Flush() {
  std::deque<TQueuedPacket> old;
  {
    std::lock_guard lock(FLock);
    old.swap(FItems);
    FSize = 0;
  }
}

int TPacketQueue::Count() {
  std::lock_guard lock(FLock);
  return static_cast<int>(FItems.size());
}

int TPacketQueue::Size() {
  std::lock_guard lock(FLock);
  return FSize;
}

bool TPacketQueue::Aborted() {
  std::lock_guard lock(FLock);
  return FAbort;
}
