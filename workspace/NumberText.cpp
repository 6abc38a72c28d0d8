#include "workspace/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string Trimmed(const std::string &text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

namespace {

template <class Integer>
std::optional<Integer> IntegerOfText(const std::string &text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos < text.size() && text[pos] == '+') ++pos;  // from_chars takes '-' but not '+'
  const char *first = text.data() + pos;
  const char *last = text.data() + text.size();
  if (first == last || *first == '+') return std::nullopt;
  Integer value = 0;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> IntegerText(const std::string &text) {
  return IntegerOfText<int>(text);
}

std::optional<int64_t> Integer64Text(const std::string &text) {
  return IntegerOfText<int64_t>(text);
}

std::optional<double> NumberText(const std::string &text) {
  const std::string t = Trimmed(text);
  const char *first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
  const char *last = t.data() + t.size();
  if (first == last || *first == '+') return std::nullopt;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}
