#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzHarness.h"

namespace fs = std::filesystem;

namespace {

struct THarness {
  const char *Name;  // the folder of its inputs under fuzz/seeds and fuzz/regressions
  int (*Run)(const uint8_t *, size_t);
};

void PrintTo(const THarness &h, std::ostream *os) {
  *os << h.Name;
}

class FuzzReplay : public ::testing::TestWithParam<THarness> {};

std::vector<fs::path> KeptInputs(const std::string &name) {
  std::vector<fs::path> files;
  for (const char *kind : {"seeds", "regressions"}) {
    const fs::path dir = fs::path(MORVANE_SOURCE_DIR) / "fuzz" / kind / name;
    if (!fs::is_directory(dir)) continue;
    for (const auto &entry : fs::directory_iterator(dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

// Every kept input runs through the harness as the fuzzer ran it: a crash, a sanitizer report
// (in the sanitizer build) or an exception other than the product's worded errors fails.
TEST_P(FuzzReplay, KeptInputsRunClean) {
  const THarness &h = GetParam();
  for (const fs::path &file : KeptInputs(h.Name)) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(h.Run(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzReplay,
                         ::testing::Values(THarness{"profile-files", FuzzProfileFiles},
                                           THarness{"option-text", FuzzOptionText},
                                           THarness{"engine-arguments", FuzzEngineArguments},
                                           THarness{"media-setup", FuzzMediaSetup},
                                           THarness{"update-document", FuzzUpdateDocument}),
                         [](const auto &info) {
                           std::string name = info.param.Name;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
