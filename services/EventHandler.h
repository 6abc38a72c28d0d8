// An event handler that its host replaces on one thread while other threads raise the event.
// The handler is swapped under a lock of its own, and every call runs a copy taken under that
// lock but made outside it: a handler may take its time, wait for the host's thread (which may
// be the one replacing it) or replace itself, and nobody waits for it.
//
// A handler replaced while a call is under way may still finish that call: whoever replaces it
// keeps alive what the old one uses until the threads that raise the event have stopped.
#pragma once

#include <cstddef>
#include <mutex>
#include <utility>

template <class TFunction>
class TEventHandler {
 public:
  TEventHandler() = default;
  TEventHandler(const TEventHandler &other) : FHandler(other.Get()) {}
  TEventHandler &operator=(const TEventHandler &other) {
    if (this != &other) Set(other.Get());
    return *this;
  }
  TEventHandler &operator=(TFunction handler) {
    Set(std::move(handler));
    return *this;
  }
  TEventHandler &operator=(std::nullptr_t) {
    Set(TFunction());
    return *this;
  }

  // The handler as it is now; empty when none is assigned.
  TFunction Get() const {
    std::lock_guard lock(FLock);
    return FHandler;
  }
  explicit operator bool() const {
    std::lock_guard lock(FLock);
    return static_cast<bool>(FHandler);
  }
  // Calls a copy of the handler, when one is assigned.
  template <class... TArgs>
  void operator()(TArgs &&...args) const {
    if (const TFunction handler = Get()) handler(std::forward<TArgs>(args)...);
  }

 private:
  void Set(TFunction handler) {
    // The old handler is destroyed outside the lock: its captures may be anything.
    {
      std::lock_guard lock(FLock);
      std::swap(FHandler, handler);
    }
  }

  mutable std::mutex FLock;
  TFunction FHandler;
};
