// The times a DVD file holds, read from its PES headers by bench's ps-timestamps: they increase
// in every stream (the reader of the library doubles one AC-3 time where a frame begins in the
// last bytes of a packet; the file is not at fault), and a time written backwards is found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;

fixtures::TCommandResult ProgramStreamTimes(const std::string &file, const std::string &how = "") {
  return fixtures::Run(std::string(PS_TIMESTAMPS_EXE) + " " + how + " " + Quote(file));
}

// Byte positions of the PES packets of one stream ("bd/80": the first AC-3 track).
std::vector<long> PacketPositions(const std::string &file, const std::string &stream) {
  std::istringstream in(ProgramStreamTimes(file, "-v").Output);
  std::vector<long> positions;
  std::string name, rest;
  long position = 0;
  while (in >> name >> position && std::getline(in, rest))
    if (name == stream) positions.push_back(position);
  return positions;
}

TEST(ProgramStreamTimes, ADvdFileHoldsIncreasingTimesAndABackwardOneIsFound) {
  fixtures::TTempDir dir;
  const std::string clip =
      fixtures::Make("ten-seconds.mp4",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=10 "
                     "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 -ac 2 "
                     "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest");
  const auto r =
      fixtures::Run("MORVANE_SETTINGS_INI=" + Quote(dir / "settings.ini") + " MORVANE_FORMAT_INI=" +
                    Quote(MORVANE_FORMAT_INI_FILE) + " timeout 120 " + MORVANE_CONVERT_EXE +
                    " --yes --profile 2301 --output-dir " + Quote(dir / "out") + " " + Quote(clip));
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  std::string out;
  for (const auto &entry : fs::directory_iterator(dir / "out")) out = entry.path().string();

  const auto held = ProgramStreamTimes(out);
  EXPECT_EQ(held.ExitCode, 0) << held.Output;
  EXPECT_NE(held.Output.find("0 times not increasing"), std::string::npos) << held.Output;

  // The third sound packet given the first one's time: written backwards.
  const std::vector<long> sound = PacketPositions(out, "bd/80");
  ASSERT_GT(sound.size(), 3u);
  const std::string bad = dir / "backwards.mpg";
  fs::copy_file(out, bad);
  std::fstream file(bad, std::ios::in | std::ios::out | std::ios::binary);
  char pts[5];
  file.seekg(sound[0] + 9);  // start code, length, two flag bytes, header length
  file.read(pts, sizeof pts);
  file.seekp(sound[2] + 9);
  file.write(pts, sizeof pts);
  file.close();
  const auto found = ProgramStreamTimes(bad);
  EXPECT_EQ(found.ExitCode, 1) << found.Output;
  EXPECT_NE(found.Output.find("stream bd/80: "), std::string::npos) << found.Output;
  EXPECT_NE(found.Output.find("1 times not increasing"), std::string::npos) << found.Output;
}

}  // namespace
