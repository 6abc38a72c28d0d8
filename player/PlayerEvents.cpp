#include "player/PlayerEvents.h"

void TEventRing::Post(const TPlayerEvent &event) {
  std::lock_guard lock(FLock);
  TPlayerEvent &newest = FSlots[(FWrite + Slots - 1) % Slots];
  if (!Empty() && newest.Kind == event.Kind) {
    newest = event;
  } else {
    FSlots[FWrite] = event;
    FWrite = (FWrite + 1) % Slots;
    if (FWrite == FRead) FRead = (FRead + 1) % Slots;  // full: the oldest event is lost
  }
  FPending.notify_all();
}

bool TEventRing::Take(TPlayerEvent &event) {
  std::lock_guard lock(FLock);
  if (Empty()) return false;
  event = FSlots[FRead];
  FRead = (FRead + 1) % Slots;
  return true;
}

bool TEventRing::WaitPending(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FLock);
  return FPending.wait_for(lock, timeout, [this] { return !Empty(); });
}

void TEventRing::Clear() {
  std::lock_guard lock(FLock);
  FRead = FWrite = 0;
}
