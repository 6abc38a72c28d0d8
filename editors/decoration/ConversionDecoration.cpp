#include "editors/decoration/ConversionDecoration.h"

#include <memory>

TFrameDecoration ConversionDecoration(TRowDecoration::TReportEvent report) {
  return [report](const TlvFilesRecord &record) -> TFrameDecorator {
    // Shared: the runner may copy the decorator; the decoration is made once all the same.
    auto decoration = std::make_shared<TRowDecoration>(record, report);
    return [decoration](THookInfo &hook) { decoration->Decorate(*hook.Bitmap); };
  };
}
