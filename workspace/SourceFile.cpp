#include "workspace/SourceFile.h"
#include "workspace/LogicTexts.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when it is not one.
size_t SequenceLength(const std::string &text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  size_t length;
  uint32_t c;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, c = b & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
  if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// What a file that is not a regular one is, for the message.
const char *KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return QT_TRANSLATE_NOOP("Messages", "a named pipe");
  if (S_ISSOCK(mode)) return QT_TRANSLATE_NOOP("Messages", "a socket");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QT_TRANSLATE_NOOP("Messages", "a device");
  if (S_ISDIR(mode)) return QT_TRANSLATE_NOOP("Messages", "a folder");
  return QT_TRANSLATE_NOOP("Messages", "a special file");
}

// The replacement character a toolkit puts for bytes of a name it could not decode.
constexpr char Replacement[] = "\xEF\xBF\xBD";

}  // namespace

bool IsValidUTF8(const std::string &text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string PrintableFileName(const std::string &path) {
  std::string shown;
  for (size_t i = 0; i < path.size();) {
    if (const size_t length = SequenceLength(path, i); length > 0) {
      shown.append(path, i, length);
      i += length;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(path[i++]));
    shown += escaped;
  }
  return shown;
}

std::string SourceFileRefusal(const std::string &path) {
  const std::string shown = PrintableFileName(path);
  const std::string notText = ArgText(logictexts::NameNotUtf8, {shown});
  if (!IsValidUTF8(path)) return notText;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    // A name that came through a toolkit which could not decode it no longer names the file.
    if (errno == ENOENT && path.find(Replacement) != std::string::npos) return notText;
    return "";
  }
  if (S_ISREG(info.st_mode)) return "";
  return ArgText(logictexts::NotRegularFile, {shown, KindOf(info.st_mode)});
}
