// What the desktop is told when a batch ends while the person is busy elsewhere: a notification
// with the numbers of files converted and failed.  The rule and its texts live here, apart from
// the desktop's notification service, so that they are checked without a display or a bus.
#pragma once

#include <QCoreApplication>
#include <QString>

#include "workspace/BatchRunner.h"

// Shows a short message on the desktop, outside the program's windows.
class IDesktopNotifier {
 public:
  virtual ~IDesktopNotifier() = default;
  // Must return at once, whether or not the desktop takes the message.
  virtual void Notify(const QString &summary, const QString &body) = 0;
};

class TBatchEndNotice {
  Q_DECLARE_TR_FUNCTIONS(TBatchEndNotice)

 public:
  // "Conversion finished".
  static QString Summary();
  // "3 files converted, 1 failed.": a row refused at Start failed as much as one whose conversion
  // broke off; stopped rows are neither.
  static QString Body(const TBatchSummary &summary);
  // Tells `notifier` how the batch went, unless one of the program's windows is active (the
  // person sees the result there) or no row ended converted or failed (a batch stopped before its
  // first file).  Returns whether it told.
  static bool Tell(IDesktopNotifier &notifier, const TBatchSummary &summary, bool programActive);
};
