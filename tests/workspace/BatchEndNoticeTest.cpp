// What the desktop is told at the end of a batch, through a notifier that records.
#include "workspace/session/BatchEndNotice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TRecordingNotifier : public IDesktopNotifier {
 public:
  struct TNotice {
    QString Summary, Body;
  };
  std::vector<TNotice> Notices;

  void Notify(const QString &summary, const QString &body) override {
    Notices.push_back({summary, body});
  }
};

}  // namespace

TEST(BatchEndNoticeTest, TheDesktopHearsTheCountsOnlyWhileThePersonIsElsewhere) {
  struct TCase {
    const char *Label;
    TBatchSummary Summary;
    bool ProgramActive;
    const char *Body;  // nullptr: nothing is told
  } cases[] = {
      {"all converted, window away", {3, 0, 0, 0}, false, "3 file(s) converted, 0 failed."},
      {"failed and refused count as failed", {1, 1, 0, 2}, false, "1 file(s) converted, 3 failed."},
      {"none converted", {0, 1, 0, 0}, false, "0 file(s) converted, 1 failed."},
      {"stopped rows are neither", {2, 0, 5, 0}, false, "2 file(s) converted, 0 failed."},
      {"the person watches the program", {3, 1, 0, 0}, true, nullptr},
      {"stopped before the first file", {0, 0, 4, 0}, false, nullptr},
  };
  for (const TCase &c : cases) {
    TRecordingNotifier notifier;
    const bool told = TBatchEndNotice::Tell(notifier, c.Summary, c.ProgramActive);
    EXPECT_EQ(told, c.Body != nullptr) << c.Label;
    if (!c.Body) {
      EXPECT_TRUE(notifier.Notices.empty()) << c.Label;
      continue;
    }
    ASSERT_EQ(notifier.Notices.size(), 1u) << c.Label;
    EXPECT_EQ(notifier.Notices[0].Summary.toStdString(), "Conversion finished") << c.Label;
    EXPECT_EQ(notifier.Notices[0].Body.toStdString(), c.Body) << c.Label;
  }
}
