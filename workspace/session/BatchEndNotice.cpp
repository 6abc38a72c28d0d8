#include "workspace/session/BatchEndNotice.h"

QString TBatchEndNotice::Summary() {
  return tr("Conversion finished");
}

QString TBatchEndNotice::Body(const TBatchSummary &summary) {
  const int failed = summary.Failed + summary.Refused;
  // Two counts with plural forms of their own; the order is the translator's.
  return tr("%1, %2.").arg(tr("%n file(s) converted", nullptr, summary.Finished),
                           tr("%n failed", nullptr, failed));
}

bool TBatchEndNotice::Tell(IDesktopNotifier &notifier, const TBatchSummary &summary,
                           bool programActive) {
  if (programActive || summary.Finished + summary.Failed + summary.Refused == 0) return false;
  notifier.Notify(Summary(), Body(summary));
  return true;
}
