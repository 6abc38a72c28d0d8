#include <gtest/gtest.h>
#include <unistd.h>

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

TEST(MediaErrors, Texts) {
  const std::pair<int, const char *> cases[] = {
      {AVERROR(ENOENT), "No such file or directory"},
      {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
      {AVERROR_EOF, "End of file"},
      {AVERROR_DEMUXER_NOT_FOUND, "Unknown format"},
      {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
      {-1234, "Error number -1234 occurred"},
  };
  for (const auto &[err, text] : cases) EXPECT_EQ(MediaErrorText(err), text);
}
