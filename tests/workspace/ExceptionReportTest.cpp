#include <gtest/gtest.h>

#include "engine/FFmpegException.h"
#include "workspace/ExceptionReport.h"

namespace {

TEST(ExceptionReport, SentenceGetsAPointOnlyAfterCharactersThatSortAfterIt) {
  const std::pair<const char *, const char *> cases[] = {
      {"Disk full", "Disk full."}, {"Error 5", "Error 5."},
      {"Failed...", "Failed..."},  {"Why?", "Why?."},
      {"Stopped!", "Stopped!"},    {"(see log)", "(see log)"},
      {"Größe", "Größe."},         {"", ""}};
  for (const auto &[message, shown] : cases) EXPECT_EQ(ReportSentence(message), shown);
}

TEST(ExceptionReport, EngineFailuresAreWarningsOthersErrors) {
  const auto engine = ReportOfException(std::make_exception_ptr(FFmpegException("No codec")));
  EXPECT_EQ(engine.Text, "No codec.");
  EXPECT_EQ(engine.Icon, TReportIcon::Warning);
  const auto other = ReportOfException(std::make_exception_ptr(std::runtime_error("Bad value")));
  EXPECT_EQ(other.Text, "Bad value.");
  EXPECT_EQ(other.Icon, TReportIcon::Error);
  const auto unknown = ReportOfException(std::make_exception_ptr(42));
  EXPECT_EQ(unknown.Icon, TReportIcon::Error);
  EXPECT_FALSE(unknown.Text.empty());
}

}  // namespace
