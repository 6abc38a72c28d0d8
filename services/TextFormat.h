// printf-style formatting into a std::string, for messages built from library values.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

std::string FormatText(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

inline std::string FormatText(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, again);
  va_end(again);
  return text;
}
