#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <clocale>
#include <fstream>

#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/MediaErrors.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

namespace {

// Names that need wrapping: the C locale can represent ASCII only.
class UnicodeProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  }
  fixtures::TTempDir Dir;
};

}  // namespace

TEST_F(UnicodeProtocolTest, AddressesOfNames) {
  struct TCase {
    std::wstring Name;
    std::string Url;
  };
  const TCase cases[] = {
      {L"/home/u/video/clip.avi", "/home/u/video/clip.avi"},
      {L"/home/u/видео/клип.avi", "unicode:utf8:/home/u/видео/клип.avi"},
      {L"http://host/клип.avi", "http://host/клип.avi"},  // a scheme: passed through
      {L"udp://127.0.0.1:1234", "udp://127.0.0.1:1234"},
      {L"HTTP://host/clip.avi", "HTTP://host/clip.avi"},  // not a scheme, but plain ASCII
      {L"HTTP://host/клип.avi", "unicode:utf8:HTTP://host/клип.avi"},
      {L"take:1.mp4", "file:take:1.mp4"},  // a local name, not the scheme "take"
      {L"/video/take:1.mp4", "/video/take:1.mp4"},
      {L"pipe:0", "pipe:0"},
      {L"rtsp://host/clip", "rtsp://host/clip"},  // typed as an address
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FileNameToURL(c.Name), c.Url);
    EXPECT_EQ(URLToFileName(c.Url), c.Name);
  }
  EXPECT_FALSE(NeedsUnicodeURL(L"C:\\video\\clip.avi"));
  EXPECT_TRUE(NeedsUnicodeURL(L"/tmp/Ωmega.mp4"));
}

TEST_F(UnicodeProtocolTest, UTF8LocaleNeedsNoWrapping) {
  if (!setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(FileNameToURL(L"/tmp/видео.mp4"), "/tmp/видео.mp4");
  setlocale(LC_ALL, "C");
}

TEST_F(UnicodeProtocolTest, OverlongNamesAreRefused) {
  const std::wstring name = L"/tmp/" + std::wstring(2100, L'a');
  EXPECT_THROW(FileNameToURL(name), EFileNameTooLong);
  EXPECT_NO_THROW(FileNameToURL(L"/" + std::wstring(MaxURLBytes - 1, L'a')));
}

TEST_F(UnicodeProtocolTest, WritesSeeksAndReadsAFileThroughItsAddress) {
  const std::wstring name = UTF8ToWide(Dir / "данные.bin");
  const std::string url = FileNameToURL(name);
  ASSERT_EQ(url.rfind(UnicodeURLPrefix, 0), 0u);
  std::ofstream(Dir / "данные.bin") << "old content that must go away";

  AVIOContext *pb = nullptr;
  ASSERT_EQ(OpenIO(&pb, url.c_str(), AVIO_FLAG_WRITE), 0);
  ff::avio_write(pb, reinterpret_cast<const unsigned char *>("0123456789"), 10);
  ff::avio_seek(pb, 2, SEEK_SET);
  ff::avio_write(pb, reinterpret_cast<const unsigned char *>("ab"), 2);
  CloseIO(&pb);
  EXPECT_EQ(pb, nullptr);

  ASSERT_EQ(OpenIO(&pb, url.c_str(), AVIO_FLAG_READ), 0);
  EXPECT_EQ(ff::avio_size(pb), 10);
  ff::avio_seek(pb, 1, SEEK_SET);
  unsigned char buf[16] = {};
  EXPECT_EQ(ff::avio_read(pb, buf, sizeof buf), 9);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buf)), "1ab456789");
  CloseIO(&pb);
}

TEST_F(UnicodeProtocolTest, SizeQueryOfALargeFileIsSixtyFourBits) {
  const std::string path = Dir / "большой.bin";
  { std::ofstream create(path); }
  ASSERT_EQ(truncate(path.c_str(), 5LL * 1024 * 1024 * 1024), 0);  // sparse: no disk used
  AVIOContext *pb = nullptr;
  ASSERT_EQ(OpenIO(&pb, FileNameToURL(UTF8ToWide(path)).c_str(), AVIO_FLAG_READ), 0);
  EXPECT_EQ(ff::avio_size(pb), 5LL * 1024 * 1024 * 1024);
  CloseIO(&pb);
}

TEST_F(UnicodeProtocolTest, OpensMediaUnderANonAsciiName) {
  const std::string copy = Dir / "клип.mp4";
  std::filesystem::copy_file(fixtures::Clip(1.0), copy);
  const std::string url = FileNameToURL(UTF8ToWide(copy));
  AVFormatContext *ic = nullptr;
  ASSERT_EQ(OpenInputURL(&ic, url.c_str(), nullptr, nullptr), 0);
  ASSERT_GE(ff::avformat_find_stream_info(ic, nullptr), 0);
  EXPECT_EQ(ic->nb_streams, 2u);
  EXPECT_NEAR(ic->duration / 1e6, 1.0, 0.1);
  CloseInputURL(&ic);
  EXPECT_EQ(ic, nullptr);
}

TEST_F(UnicodeProtocolTest, MissingFileIsNoSuchFile) {
  const std::string url = FileNameToURL(UTF8ToWide(Dir / "нет.mp4"));
  AVFormatContext *ic = ff::avformat_alloc_context();  // pre-allocated, as the probe does
  const int err = OpenInputURL(&ic, url.c_str(), nullptr, nullptr);
  EXPECT_EQ(MediaErrorText(err), "No such file or directory");
  EXPECT_EQ(ic, nullptr);  // freed, as the library frees it on its own failures
}

TEST_F(UnicodeProtocolTest, RelativeNameWithAColonOpensTheLocalFile) {
  std::filesystem::copy_file(fixtures::Clip(1.0), Dir / "take:1.mp4");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(Dir.Path());
  AVFormatContext *ic = nullptr;
  const int err = OpenInputURL(&ic, FileNameToURL(L"take:1.mp4").c_str(), nullptr, nullptr);
  std::filesystem::current_path(previous);
  ASSERT_EQ(err, 0) << MediaErrorText(err);
  EXPECT_EQ(URLToFileName(ic->url), L"take:1.mp4");
  CloseInputURL(&ic);
}

// The system's reason for a failed open, read or write reaches the caller.
TEST_F(UnicodeProtocolTest, FailuresKeepTheSystemsReason) {
  const std::string folder = Dir / "папка";
  std::filesystem::create_directory(folder);
  const std::string locked = Dir / "закрыт.bin";
  std::ofstream(locked) << "secret";
  ASSERT_EQ(chmod(locked.c_str(), 0600), 0);
  auto address = [](const std::string &path) { return UnicodeURLPrefix + path; };
  struct TCase {
    const char *What;
    std::string Url;
    int Flags;
    int Expected;
  } cases[] = {
      {"missing", address(Dir / "нет.bin"), AVIO_FLAG_READ, AVERROR(ENOENT)},
      {"folder read", address(folder), AVIO_FLAG_READ, AVERROR(EISDIR)},
      {"folder written", address(folder), AVIO_FLAG_WRITE, AVERROR(EISDIR)},
      {"not ours", address(locked), AVIO_FLAG_READ, AVERROR(EACCES)},
  };
  // As root every file is readable: look at it as nobody.
  const bool root = geteuid() == 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.What);
    if (root) {
      ASSERT_EQ(seteuid(65534), 0);
    }
    AVIOContext *pb = nullptr;
    const int err = OpenIO(&pb, c.Url.c_str(), c.Flags);
    if (root) {
      ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_EQ(err, c.Expected);
    if (pb) CloseIO(&pb);
  }
  // A full disk, and a read that fails after the open.
  AVIOContext *pb = nullptr;
  ASSERT_EQ(OpenIO(&pb, address("/dev/full").c_str(), AVIO_FLAG_WRITE), 0);
  const std::vector<unsigned char> block(65536, 'x');
  ff::avio_write(pb, block.data(), static_cast<int>(block.size()));
  ff::avio_flush(pb);
  EXPECT_EQ(pb->error, AVERROR(ENOSPC));
  CloseIO(&pb);
  ASSERT_EQ(OpenIO(&pb, address("/proc/self/mem").c_str(), AVIO_FLAG_READ), 0);
  unsigned char byte;
  EXPECT_EQ(ff::avio_read(pb, &byte, 1), AVERROR(EIO));  // address 0 is never mapped
  CloseIO(&pb);
}

// A local file may open local files only: a playlist on disk naming a web address does not make
// the libraries connect anywhere (here: a listener on the loopback address counts connections).
TEST_F(UnicodeProtocolTest, LocalPlaylistDoesNotReachTheNetwork) {
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 4), 0);
  ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr *>(&address), &length), 0);
  std::atomic<bool> done{false};
  std::atomic<int> connections{0};
  std::thread listener([&] {
    pollfd wait{server, POLLIN, 0};
    while (!done)
      if (poll(&wait, 1, 50) > 0) {
        close(accept(server, nullptr, nullptr));  // answer nothing: the reader gives up
        ++connections;
      }
  });
  const std::string playlist = Dir / "list.m3u8";
  std::ofstream(playlist) << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nhttp://127.0.0.1:"
                          << ntohs(address.sin_port) << "/segment.ts\n#EXT-X-ENDLIST\n";
  AVFormatContext *ic = nullptr;
  const int err = OpenInputURL(&ic, FileNameToURL(UTF8ToWide(playlist)).c_str(), nullptr, nullptr);
  if (err >= 0) CloseInputURL(&ic);
  done = true;
  listener.join();
  close(server);
  EXPECT_EQ(connections, 0);
}

TEST(MediaErrors, Texts) {
  const std::pair<int, const char *> cases[] = {
      {AVERROR(ENOENT), "No such file or directory"},
      {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
      {AVERROR_EOF, "End of file"},
      {AVERROR_DEMUXER_NOT_FOUND, "Unknown format"},
      {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
      {AVERROR(EISDIR), "Is a directory"},
      {AVERROR(EACCES), "Permission denied"},
      {-1234, "Error number -1234 occurred"},
  };
  for (const auto &[err, text] : cases) EXPECT_EQ(MediaErrorText(err), text);
}
