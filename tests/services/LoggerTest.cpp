#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/MainThread.h"
#include "services/AVProbe.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Deadlocks.h"
#include "tests/support/Fixtures.h"

using namespace std::chrono_literals;

namespace {

struct TLine {
  uint32_t Thread;
  TLogLevel Level;
  std::string Text;
};

// Collects what the logger delivers, with avutil loaded so that levels reach the library.
class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLib(TLibraryKind::avutil)) << FFLoader().LastErrMsg();
    FFLogger().SetLogLevel(TLogLevel::llInfo);
    FFLogger().SetTriggerEventInMainThread(false);
    FFLogger().SetOnLog([this](const void *, uint32_t tid, TLogLevel level, const std::string &s) {
      std::lock_guard lock(FLock);
      Lines.push_back({tid, level, s});
    });
  }
  void TearDown() override { FFLogger().SetOnLog(nullptr); }

  std::vector<std::string> Texts() {
    std::lock_guard lock(FLock);
    std::vector<std::string> t;
    for (const auto &l : Lines) t.push_back(l.Text);
    return t;
  }

  std::mutex FLock;
  std::vector<TLine> Lines;
};

void Library(void *avcl, int level, const char *fmt, ...) {
  va_list vl;
  va_start(vl, fmt);
  TFFLogger::LibraryCallback(avcl, level, fmt, vl);
  va_end(vl);
}

const char *ItemName(void *) {
  return "demuxer";
}
const AVClass TestClass = [] {
  AVClass c{};
  c.class_name = "test";
  c.item_name = ItemName;
  c.version = LIBAVUTIL_VERSION_INT;
  return c;
}();
struct TContext {
  const AVClass *Class = &TestClass;
};

}  // namespace

TEST(LogLevels, MapBothWays) {
  EXPECT_EQ(LogLevelToLibrary(TLogLevel::llQuiet), -8);
  EXPECT_EQ(LogLevelToLibrary(TLogLevel::llDebug), 48);
  const std::pair<int, TLogLevel> cases[] = {
      {-100, TLogLevel::llQuiet}, {-8, TLogLevel::llQuiet},   {-7, TLogLevel::llPanic},
      {7, TLogLevel::llPanic},    {8, TLogLevel::llFatal},    {23, TLogLevel::llError},
      {24, TLogLevel::llWarning}, {39, TLogLevel::llInfo},    {40, TLogLevel::llVerbose},
      {48, TLogLevel::llDebug},   {1000, TLogLevel::llDebug},
  };
  for (const auto &[library, level] : cases)
    EXPECT_EQ(LibraryToLogLevel(library), level) << library;
}

TEST_F(LoggerTest, LevelNamesAndNumbers) {
  const std::pair<const char *, TLogLevel> cases[] = {
      {"Warning", TLogLevel::llWarning}, {"QUIET", TLogLevel::llQuiet},
      {"20", TLogLevel::llError},        {"-8", TLogLevel::llQuiet},
      {"99", TLogLevel::llDebug},        {"verbose", TLogLevel::llVerbose},
  };
  for (const auto &[name, level] : cases) {
    FFLogger().SetLogLevelName(name);
    EXPECT_EQ(FFLogger().LogLevel(), level) << name;
  }
  EXPECT_EQ(ff::av_log_get_level(), 40);  // the library follows
  EXPECT_THROW(FFLogger().SetLogLevelName("loud"), std::invalid_argument);
  EXPECT_THROW(FFLogger().SetLogLevelName("12x"), std::invalid_argument);
}

TEST_F(LoggerTest, VerboseLibraryTextIsFilteredButVerboseNoticesPass) {
  Library(nullptr, 40, "library detail\n");
  FFLogger().Log(this, TLogLevel::llVerbose, "status line");
  FFLogger().Log(this, TLogLevel::llDebug, "debug notice");
  EXPECT_EQ(Texts(), std::vector<std::string>{"status line"});
}

TEST_F(LoggerTest, QuietDeliversNothingButQuietText) {
  FFLogger().SetLogLevel(TLogLevel::llQuiet);
  Library(nullptr, 16, "an error\n");
  FFLogger().Log(this, TLogLevel::llVerbose, "status line");
  FFLogger().Log(this, TLogLevel::llError, "error");
  FFLogger().Log(this, TLogLevel::llQuiet, "failure text");
  EXPECT_EQ(Texts(), std::vector<std::string>{"failure text"});
}

TEST_F(LoggerTest, PiecesMakeOneLineWithThePrefixOfTheFirst) {
  TContext ctx;
  Library(&ctx, 32, "Stream #%d: ", 0);
  Library(&ctx, 32, "Video\n");
  ASSERT_EQ(Lines.size(), 1u);
  char prefix[64];
  snprintf(prefix, sizeof prefix, "[demuxer @ %p]", static_cast<void *>(&ctx));
  EXPECT_EQ(Lines[0].Text, std::string(prefix) + "Stream #0: Video");
  EXPECT_EQ(Lines[0].Level, TLogLevel::llInfo);
}

TEST_F(LoggerTest, TwoLineFeedsGiveTwoLinesAndKeepTheRestPending) {
  Library(nullptr, 24, "one\ntwo\nthr");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "two"}));
  Library(nullptr, 24, "ee\n");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(Lines[2].Level, TLogLevel::llWarning);
}

TEST_F(LoggerTest, LongMessagesAreCutAtTheBuffer) {
  const std::string big(5000, 'x');
  Library(nullptr, 16, "%s\n", big.c_str());
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0].Text, std::string(TFFLogger::FormatBufferSize - 2, 'x'));
}

TEST_F(LoggerTest, InterleavedThreadsKeepTheirOwnLines) {
  std::atomic<int> step{0};
  auto worker = [&](const char *name, int first, int second) {
    while (step != first) std::this_thread::yield();
    Library(nullptr, 32, "%s begins ", name);
    ++step;
    while (step != second) std::this_thread::yield();
    Library(nullptr, 32, "%s ends\n", name);
    ++step;
  };
  std::thread a(worker, "A", 0, 2), b(worker, "B", 1, 3);
  a.join();
  b.join();
  auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "A begins A ends");
  EXPECT_EQ(texts[1], "B begins B ends");
  EXPECT_NE(Lines[0].Thread, Lines[1].Thread);
}

TEST_F(LoggerTest, DeliveryOnTheMainThreadWhenAsked) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  FFLogger().SetTriggerEventInMainThread(true);
  std::thread::id ranOn;
  uint32_t reported = 0;
  FFLogger().SetOnLog([&](const void *, uint32_t tid, TLogLevel, const std::string &) {
    ranOn = std::this_thread::get_id();
    reported = tid;
  });
  std::atomic<bool> done{false};
  uint32_t workerId = 0;
  std::thread worker([&] {
    workerId = CurrentThreadId();
    Library(nullptr, 16, "from a worker\n");
    done = true;
  });
  while (!done) dispatcher.ProcessPending(std::chrono::milliseconds(20));
  worker.join();
  dispatcher.ProcessPending(std::chrono::milliseconds(0));  // the line may have come last
  SetMainThreadDispatcher(nullptr);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(reported, workerId);
}

// An encoder logs while it opens, under the codec lock, and the GUI thread probes a file at that
// moment (it wants the codec lock too) instead of serving calls: the line must not wait for the
// GUI thread.  It reaches the handler on the GUI thread afterwards.
TEST_F(LoggerTest, ALineLoggedUnderTheCodecLockDoesNotWaitForTheMainThread) {
  ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  const std::string clip = fixtures::Clip(1.0);
  fixtures::TWatchedDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  FFLogger().SetTriggerEventInMainThread(true);
  std::vector<std::string> lines;
  std::vector<std::thread::id> threads;
  FFLogger().SetOnLog([&](const void *, uint32_t, TLogLevel, const std::string &line) {
    lines.push_back(line);
    threads.push_back(std::this_thread::get_id());
  });
  int opened = -1;
  std::thread encoder([&] {
    const AVCodec *codec = ff::avcodec_find_encoder_by_name("libx264");
    AVCodecContext *c = ff::avcodec_alloc_context3(codec);
    c->width = 64;
    c->height = 48;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = {1, 25};
    {
      std::lock_guard lock(CodecLock());
      opened = ff::avcodec_open2(c, codec, nullptr);  // libx264 reports its settings at info
    }
    ff::avcodec_free_context(&c);
  });
  if (!dispatcher.WaitForArrivals(1, 20s)) {
    encoder.join();
    SetMainThreadDispatcher(nullptr);
    FAIL() << "the encoder logged nothing";
  }
  {
    fixtures::TDeadlockWatchdog watchdog("the GUI thread probing while an encoder logs", 20s);
    TAVProbe probe;
    EXPECT_TRUE(probe.LoadFile(UTF8ToWide(clip))) << probe.LastErrMsg();
    encoder.join();
  }
  dispatcher.ProcessPending(std::chrono::milliseconds(0));
  SetMainThreadDispatcher(nullptr);
  FFLogger().SetOnLog(nullptr);
  EXPECT_EQ(opened, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("[libx264 @ "), std::string::npos) << lines[0];
  for (const auto &id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

// A line queued for a handler that the host has since removed is dropped, not delivered to it.
TEST_F(LoggerTest, AQueuedLineIsDroppedWhenItsHandlerIsGone) {
  TQueueDispatcher dispatcher;
  SetMainThreadDispatcher(&dispatcher);
  FFLogger().SetTriggerEventInMainThread(true);
  {
    fixtures::TDeadlockWatchdog watchdog("a line for a main thread that is not serving", 20s);
    std::thread worker([] { Library(nullptr, 16, "late line\n"); });
    worker.join();
  }
  FFLogger().SetOnLog(nullptr);  // the window that wanted the log closes
  dispatcher.ProcessPending(std::chrono::milliseconds(0));
  SetMainThreadDispatcher(nullptr);
  EXPECT_TRUE(Texts().empty());
}

TEST(Logger, OnlyOneInstance) {
  FFLogger();
  try {
    TFFLogger second;
    FAIL() << "second instance created";
  } catch (const std::logic_error &e) {
    EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
  }
}
