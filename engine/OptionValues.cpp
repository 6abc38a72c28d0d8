#include "engine/OptionValues.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/FFmpegException.h"
#include "services/FFmpegApi.h"

namespace {

[[noreturn]] void Fail(const std::string &message) {
  throw FFmpegException(message);
}

std::string Format(const char *fmt, const std::string &a, const std::string &b = {},
                   const std::string &c = {}) {
  // Only %s arguments; long values must not be cut.
  std::string out;
  const std::string *args[] = {&a, &b, &c};
  int next = 0;
  for (const char *p = fmt; *p; ++p) {
    if (p[0] == '%' && p[1] == 's' && next < 3) {
      out += *args[next++];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// The conversion the option table calls "integer": optional leading blanks, a sign, then decimal
// digits, or hexadecimal after "$" or "0x"; nothing may follow.
bool TryParseInt64(const std::string &text, int64_t &result) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  const char *first = text.data() + i;
  const char *last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, magnitude, base);
  if (ec != std::errc() || ptr != last) return false;
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : uint64_t(std::numeric_limits<int64_t>::max());
  if (magnitude > limit) return false;
  result = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
  return true;
}

// Decimal float text: blanks, sign, digits with an optional "." part and exponent, blanks.
bool TryParseFloat(const std::string &text, double &result) {
  const std::string t = TrimText(text);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != t.size()) return false;
  const char *first = t.data() + (t[0] == '+' ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), result);
  return ec == std::errc() && ptr == t.data() + t.size();
}

int IntOrZero(const std::string &text) {
  int64_t v = 0;
  if (!TryParseInt64(text, v) || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    return 0;
  return static_cast<int>(v);
}

int64_t ParseTime(const char *kind, const std::string &option, const std::string &value,
                  bool duration) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, value.c_str(), duration ? 1 : 0) < 0)
    Fail(Format("Invalid %s specification for %s: %s", kind, option, value));
  return us;
}

// strtol with base 0 on the rest of the text; moves the cursor past the number.
int ReadLong(const char *&p) {
  char *end = nullptr;
  const long v = std::strtol(p, &end, 0);
  p = end;
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

void SkipOne(const char *&p) {
  if (*p) ++p;
}

}  // namespace

std::string TrimText(const std::string &text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string NormalizeLineBreaks(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text.compare(i, 6, "<CRLF>") == 0) {
      out += '\n';
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<TOptionLine> SplitOptionString(const std::string &text) {
  std::vector<TOptionLine> lines;
  const std::string all = NormalizeLineBreaks(TrimText(text));
  size_t start = 0;
  while (start <= all.size() && !all.empty()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(start, end - start);
    if (!line.empty()) {
      const size_t eq = line.find('=');
      TOptionLine item;
      item.Name = line.substr(0, eq);
      for (char &c : item.Name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (eq != std::string::npos) item.Value = line.substr(eq + 1);
      lines.push_back(std::move(item));
    }
    start = end + 1;
  }
  return lines;
}

bool ParseSwitch(const std::string &value) {
  return value != "0";
}

int32_t ParseInteger(const std::string &value) {
  int64_t v = 0;
  if (!TryParseInt64(value, v) || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    Fail(Format("'%s' is not a valid integer value", value));
  return static_cast<int32_t>(v);
}

int64_t ParseInt64(const std::string &value) {
  int64_t v = 0;
  if (!TryParseInt64(value, v)) Fail(Format("'%s' is not a valid integer value", value));
  return v;
}

double ParseFloat(const std::string &value) {
  double v = 0;
  if (!TryParseFloat(value, v)) Fail(Format("'%s' is not a valid floating point value", value));
  return v;
}

int64_t ParseDuration(const std::string &option, const std::string &value) {
  return ParseTime("duration", option, value, true);
}

int64_t ParseDate(const std::string &option, const std::string &value) {
  return ParseTime("date", option, value, false);
}

AVRational ParseFrameRate(const std::string &value) {
  AVRational rate{0, 0};
  if (ff::av_parse_video_rate(&rate, value.c_str()) < 0) Fail("Incorrect frame rate");
  return rate;
}

std::pair<int, int> ParseFrameSize(const std::string &value) {
  int width = 0, height = 0;
  if (ff::av_parse_video_size(&width, &height, value.c_str()) < 0) Fail("Incorrect frame size");
  return {width, height};
}

float ParseAspect(const std::string &value) {
  double ratio = 0;
  const size_t colon = value.find(':');
  if (colon != std::string::npos) {
    const int x = IntOrZero(value.substr(0, colon));
    const int y = IntOrZero(value.substr(colon + 1));
    if (y > 0) ratio = double(x) / double(y);
  } else if (!TryParseFloat(value, ratio)) {
    ratio = 0;
  }
  if (ratio == 0) Fail("Incorrect aspect ratio specification.");
  return static_cast<float>(ratio);
}

std::array<uint16_t, 64> ParseMatrix(const std::string &value) {
  std::array<uint16_t, 64> matrix{};
  const char *p = value.c_str();
  for (int i = 0; i < 64; ++i) {
    matrix[i] = static_cast<uint16_t>(std::atoi(p));
    if (i == 63) break;  // a 64th item ends the list; more items are ignored
    p = std::strchr(p, ',');
    if (!p) {
      char index[16];
      snprintf(index, sizeof index, "%d", i);
      Fail(Format("Syntax error in matrix \"%s\" at coeff %s", value, index));
    }
    ++p;
  }
  return matrix;
}

uint32_t ParseCodecTag(const std::string &kind, const std::string &value) {
  if (value.size() != 4) Fail(kind + " tag parameter must be 4 chars");
  uint32_t tag = 0;
  for (int i = 3; i >= 0; --i) tag = (tag << 8) | static_cast<unsigned char>(value[i]);
  return tag;
}

TStreamMapValue ParseStreamMap(const std::string &value) {
  TStreamMapValue map;
  const char *p = value.c_str();
  map.FileIndex = ReadLong(p);
  SkipOne(p);
  map.StreamIndex = ReadLong(p);
  if (*p) {
    SkipOne(p);
    map.SyncFileIndex = ReadLong(p);
    SkipOne(p);
    map.SyncStreamIndex = ReadLong(p);
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  return map;
}

std::pair<int, int> ParseMetaDataMap(const std::string &value) {
  const char *p = value.c_str();
  const int outFile = ReadLong(p);
  SkipOne(p);
  const int inFile = ReadLong(p);
  return {outFile, inFile};
}

std::pair<int, double> ParseItsScale(const std::string &value, int maxStreams) {
  const char *p = value.c_str();
  const int stream = ReadLong(p);
  SkipOne(p);
  const double scale = std::strtod(p, nullptr);
  // A negative index would address memory before the table just as a large one after it.
  if (stream < 0 || stream >= maxStreams)
    Fail(Format("stream index over MAX_STREAMS(%s)", std::to_string(maxStreams)));
  return {stream, scale};
}

std::pair<int, int> ParseStreamId(const std::string &option, const std::string &value) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
    Fail(Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"", value,
                option));
  return {ParseInteger(value.substr(0, colon)), ParseInteger(value.substr(colon + 1))};
}

std::pair<std::string, std::string> ParseMetadata(const std::string &value) {
  const size_t eq = value.find('=');
  if (eq == std::string::npos) Fail("Missing =");
  return {value.substr(0, eq), value.substr(eq + 1)};
}

std::vector<std::string> SplitHookWords(const std::string &value, size_t maxWords) {
  const bool byBar = value.find('|') != std::string::npos;
  std::vector<std::string> words;
  std::string word;
  auto flush = [&] {
    if (!word.empty() && words.size() < maxWords) words.push_back(word);
    word.clear();
  };
  for (char c : value) {
    const bool separator = byBar ? c == '|' : (c == ' ' || c == '\t');
    if (separator)
      flush();
    else
      word += c;
  }
  flush();
  return words;
}

TTargetValue ParseTargetValue(const std::string &value) {
  const std::string v = TrimText(value);
  for (const char *norm : {"pal", "ntsc", "film"}) {
    const std::string prefix = std::string(norm) + "-";
    if (v.compare(0, prefix.size(), prefix) == 0) return {v.substr(prefix.size()), norm};
  }
  return {v, "auto"};
}
