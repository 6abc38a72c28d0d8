// The reader that walks folders and probes files off the window's thread, in a bare Qt event
// loop (no display): results come back on the reader's thread in the order asked, and nothing
// comes back after a cancel or after the reader is gone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "tests/support/Fixtures.h"
#include "workspace/reading/SourceReader.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<std::string>;

// A probe that waits at a gate until the test opens it, and counts its calls.
struct TGatedProbe {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Open = false;
  std::atomic<int> Calls{0};

  TDurationProbe Make() {
    return [this](const std::string &path) -> std::optional<int64_t> {
      ++Calls;
      std::unique_lock lock(Lock);
      Changed.wait(lock, [this] { return Open; });
      if (path.find("bad") != std::string::npos) return std::nullopt;
      return 1'000'000;
    };
  }
  void Release() {
    {
      std::lock_guard lock(Lock);
      Open = true;
    }
    Changed.notify_all();
  }
};

// Runs the event loop until `done` holds or five seconds have passed.
template <class Done>
bool Await(Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Waits until the worker has done everything asked before (it takes the requests of every
// reader in turn): a request of a reader of its own comes back.
bool Settle() {
  bool back = false;
  TSourceReader marker([](const Paths &) {},
                       [&](int, const std::optional<int64_t> &) { back = true; },
                       [] { return [](const std::string &) { return std::optional<int64_t>(); }; });
  marker.Probe({{0, "marker"}});
  return Await([&] { return back; });
}

struct TResults {
  std::vector<std::pair<int, std::optional<int64_t>>> Probed;
  std::vector<Paths> Walked;
  bool OffThread = true;       // every probe ran on a thread other than the reader's
  bool OnReaderThread = true;  // every result came on the reader's thread

  std::unique_ptr<TSourceReader> Reader(TDurationProbe probe) {
    QThread *own = QThread::currentThread();
    return std::make_unique<TSourceReader>(
        [this, own](const Paths &files) {
          OnReaderThread = OnReaderThread && QThread::currentThread() == own;
          Walked.push_back(files);
        },
        [this, own](int id, const std::optional<int64_t> &duration) {
          OnReaderThread = OnReaderThread && QThread::currentThread() == own;
          Probed.emplace_back(id, duration);
        },
        [this, own, probe] {
          return [this, own, probe](const std::string &path) {
            OffThread = OffThread && QThread::currentThread() != own;
            return probe(path);
          };
        });
  }
};

TEST(SourceReader, ResultsComeBackInOrderOnTheReadersThread) {
  fixtures::TTempDir dir;
  fs::create_directories(dir.Path() / "drop/sub");
  for (const char *name : {"drop/b.mp4", "drop/a.mp3", "drop/sub/c.mkv", "drop/notes.txt"})
    std::ofstream(dir / name) << "x";
  TResults results;
  auto reader = results.Reader([](const std::string &path) -> std::optional<int64_t> {
    if (path == "bad") return std::nullopt;
    return static_cast<int64_t>(path.size()) * 1'000'000;
  });
  reader->Walk({dir / "drop", dir / "loose.avi"});
  reader->Probe({{7, "aa"}, {8, "bad"}, {9, "cccc"}});
  EXPECT_TRUE(reader->Busy());
  ASSERT_TRUE(Await([&] { return !reader->Busy(); }));
  ASSERT_TRUE(Settle());
  ASSERT_EQ(results.Walked.size(), 1u);
  EXPECT_EQ(results.Walked[0], (Paths{dir / "drop/a.mp3", dir / "drop/b.mp4",
                                      dir / "drop/sub/c.mkv", dir / "loose.avi"}));
  ASSERT_EQ(results.Probed.size(), 3u);
  EXPECT_EQ(results.Probed[0], std::make_pair(7, std::optional<int64_t>(2'000'000)));
  EXPECT_EQ(results.Probed[1], std::make_pair(8, std::optional<int64_t>()));
  EXPECT_EQ(results.Probed[2], std::make_pair(9, std::optional<int64_t>(4'000'000)));
  EXPECT_TRUE(results.OffThread);
  EXPECT_TRUE(results.OnReaderThread);
}

// Cancel while the first of many probes runs: no other probe starts, no result comes back, and
// the reader takes new work at once.
TEST(SourceReader, CancelStopsTheProbesAndTheWalk) {
  TGatedProbe gate;
  TResults results;
  auto reader = results.Reader(gate.Make());
  std::vector<TPendingRead> reads;
  for (int i = 0; i < 100; ++i) reads.push_back({i, "file" + std::to_string(i)});
  reader->Probe(reads);
  reader->Walk({"/"});  // queued behind the probes: never walked
  ASSERT_TRUE(Await([&] { return gate.Calls == 1; }));
  reader->Cancel();
  EXPECT_FALSE(reader->Busy());
  gate.Release();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(gate.Calls, 1);
  EXPECT_TRUE(results.Probed.empty());
  EXPECT_TRUE(results.Walked.empty());

  reader->Probe({{100, "after"}});
  ASSERT_TRUE(Await([&] { return !reader->Busy(); }));
  ASSERT_EQ(results.Probed.size(), 1u);
  EXPECT_EQ(results.Probed[0].first, 100);
}

// The window may close while a probe runs (a file on a slow disk): the probe ends on its worker
// and its result goes nowhere.
TEST(SourceReader, AReaderGoneWhileAProbeRunsGetsNoResult) {
  TGatedProbe gate;
  TResults results;
  auto reader = results.Reader(gate.Make());
  reader->Probe({{1, "a"}, {2, "b"}});
  ASSERT_TRUE(Await([&] { return gate.Calls == 1; }));
  reader.reset();
  gate.Release();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(gate.Calls, 1);
  EXPECT_TRUE(results.Probed.empty());
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
