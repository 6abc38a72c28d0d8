// Packet queue between the reader and one decoder.
//
// Besides ordinary packets a queue carries two markers: the flush marker (the decoder must drop
// what it holds, sent at start and after every seek) and the empty end-of-stream packet (the
// reader has no more data; the decoder drains its delayed pictures).
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "services/FFResources.h"

enum class TPacketKind { pkData, pkFlush, pkEndOfStream };

struct TQueuedPacket {
  TPacketKind Kind = TPacketKind::pkData;
  TPacketPtr Packet;  // only for pkData
};

class TPacketQueue {
 public:
  // Memory accounting adds this to every packet's size, as a node costs that much.
  static constexpr int NodeOverhead = 72;

  // Clears the abort flag and empties the queue, then queues the flush marker.
  void Start();
  // Takes over the packet's data (made reference counted when it is not).  -1 on failure.
  int Put(AVPacket *pkt);
  void PutFlush();
  void PutEndOfStream();
  // 1: a packet was taken; 0: none there (non-blocking only); -1: the queue was aborted.
  int Get(TQueuedPacket &out, bool block);
  void Abort();
  void Flush();

  int Count();
  int Size();
  bool Aborted();

 private:
  void Push(TQueuedPacket item, int bytes);

  std::mutex FLock;
  std::condition_variable FCond;
  std::deque<TQueuedPacket> FItems;
  int FSize = 0;
  bool FAbort = false;
};
