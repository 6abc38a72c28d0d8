#include "workspace/session/QtMainThread.h"

#include <QObject>

void TQtMainThreadDispatcher::Queued() {
  // Queued before the wake-up is posted: the event loop finds it whenever the wake-up runs (or
  // a wait of the window thread has already run it, and the wake-up finds nothing).  The wake-up
  // carries nothing (it serves the dispatcher installed for the process, which is this one): what
  // it would carry would be handed over inside Qt, where the thread sanitizer cannot see it.
  QMetaObject::invokeMethod(
      FContext, [] { ServeMainThread(std::chrono::milliseconds(0)); }, Qt::QueuedConnection);
}
