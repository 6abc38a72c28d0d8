// The number tests that decide whether a text from a box or an INI file is taken as a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Integer text: the whole text (leading blanks allowed) is a decimal number with an optional
// sign that fits a 32-bit integer.
std::optional<int> IntegerText(const std::string &text);
inline bool IsIntegerText(const std::string &text) {
  return IntegerText(text).has_value();
}
// The same for a 64-bit integer.
std::optional<int64_t> Integer64Text(const std::string &text);

// Number text: the whole text (surrounding blanks allowed) is a decimal floating-point number.
std::optional<double> NumberText(const std::string &text);
inline bool IsNumberText(const std::string &text) {
  return NumberText(text).has_value();
}

// Blanks and control characters cut from both ends.
std::string Trimmed(const std::string &text);
std::string LowerCase(std::string text);
