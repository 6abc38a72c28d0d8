#include "workspace/SourceFile.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/Fixtures.h"

namespace fs = std::filesystem;

namespace {

// A socket file at `path`, for as long as the returned descriptor is open.
int MakeSocketFile(const std::string &path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return -1;
  return fd;
}

}  // namespace

// Only a regular file (or a link to one) is a source; everything else is refused in words that
// name it, without being opened.
TEST(SourceFile, OnlyRegularFilesWithUTF8NamesAreSources) {
  fixtures::TTempDir dir;
  const std::string plain = dir / "clip.mp4", fifo = dir / "fifo.mp4", socketFile = dir / "s.mp4",
                    folder = dir / "folder.mp4", link = dir / "link.mp4",
                    fifoLink = dir / "fifo-link.mp4";
  std::ofstream(plain) << "data";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int socketFd = MakeSocketFile(socketFile);
  ASSERT_GE(socketFd, 0);
  fs::create_directory(folder);
  fs::create_symlink(plain, link);
  fs::create_symlink(fifo, fifoLink);
  const std::string latin1 = dir / "caf\xE9.mp4";
  std::ofstream(latin1) << "data";

  const struct {
    std::string Path;
    std::string Refusal;  // empty: accepted
  } cases[] = {
      {plain, ""},
      {link, ""},
      {dir / "missing.mp4", ""},  // the open tells why
      {fifo, fifo + ": is a named pipe, not a regular file; only regular files can be converted"},
      {fifoLink,
       fifoLink + ": is a named pipe, not a regular file; only regular files can be converted"},
      {socketFile,
       socketFile + ": is a socket, not a regular file; only regular files can be converted"},
      {"/dev/null",
       "/dev/null: is a device, not a regular file; only regular files can be converted"},
      {folder, folder + ": is a folder, not a regular file; only regular files can be converted"},
      {latin1, dir.Path().string() +
                   "/caf\\xE9.mp4: the file name is not valid UTF-8 text; rename the file to "
                   "convert it"},
      // The name a toolkit made of it (U+FFFD for the byte) names no file.
      {dir / "caf\xEF\xBF\xBD.mp4",
       dir / "caf\xEF\xBF\xBD.mp4: the file name is not valid UTF-8 text; rename the file to "
             "convert it"},
  };
  for (const auto &c : cases) EXPECT_EQ(SourceFileRefusal(c.Path), c.Refusal) << c.Path;
  close(socketFd);
}

TEST(SourceFile, UTF8IsCheckedStrictly) {
  EXPECT_TRUE(IsValidUTF8("plain.mp4"));
  EXPECT_TRUE(IsValidUTF8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC.mp4"));
  for (const std::string bad :
       {"\xE9", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"})
    EXPECT_FALSE(IsValidUTF8(bad)) << PrintableFileName(bad);
  EXPECT_EQ(PrintableFileName("caf\xE9-\xC3\xA9"), "caf\\xE9-\xC3\xA9");
}
