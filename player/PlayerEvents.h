// The player's event ring: positions and state changes on their way to the host.
//
// Posting never blocks on delivery.  When the newest waiting event is of the same kind as a new
// one, the new one replaces it, so a burst of positions reaches a busy host as the newest one.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

enum class TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };

enum class TPlayerEventKind { ekNone = 0, ekPosition = 1, ekState = 2, ekEndOfDelivery = 3 };

struct TPlayerEvent {
  TPlayerEventKind Kind = TPlayerEventKind::ekNone;
  TPlayState State = TPlayState::psPlay;
  int64_t PTS = 0;
};

class TEventRing {
 public:
  static constexpr int Slots = 10;  // holds at most Slots - 1 events

  void Post(const TPlayerEvent &event);
  // Takes the oldest event; false when the ring is empty.
  bool Take(TPlayerEvent &event);
  // Waits until an event is pending; false on timeout.
  bool WaitPending(std::chrono::milliseconds timeout);
  void Clear();

 private:
  bool Empty() const { return FRead == FWrite; }

  std::mutex FLock;
  std::condition_variable FPending;
  std::array<TPlayerEvent, Slots> FSlots{};
  int FRead = 0;
  int FWrite = 0;
};
