// Calls from other threads (the player's events, the encoder component's reports) carried to the
// window thread of the program.  The application object installs one for its whole life.
#pragma once

#include "platform/MainThread.h"

class QObject;

// The queue of the programs without an event loop, woken up by the window thread's event loop:
// a queued call runs there, or earlier while the window thread waits for another thread (the
// player opening or stopping a file), when it runs the queued calls and only those, so that no
// input reaches the windows meanwhile.  Made on the window thread.
class TQtMainThreadDispatcher : public TQueueDispatcher {
 public:
  // `context` lives on the window thread; the calls run in its event loop.
  explicit TQtMainThreadDispatcher(QObject *context) : FContext(context) {}

 protected:
  void Queued() override;

 private:
  QObject *FContext;
};
