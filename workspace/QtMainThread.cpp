#include "workspace/QtMainThread.h"

#include <QObject>

void TQtMainThreadDispatcher::Queued() {
  // Queued before the wake-up is posted: the event loop finds it whenever the wake-up runs (or
  // a wait of the window thread has already run it, and the wake-up finds nothing).
  QMetaObject::invokeMethod(
      FContext, [this] { RunQueued(); }, Qt::QueuedConnection);
}
