// Texts of the logic that a person reads in a window are written in English, as the logic uses
// them, and marked here so that Qt's lupdate collects them into the translation catalogue
// (translations/).  The marker leaves the text as it is: the logic stays free of Qt, and the
// windows translate what it hands them (gui/Translations) when they show it.
#pragma once

// The same definition as Qt's own, so that a unit that also includes Qt sees no conflict.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

// The context of every marked text of the logic in the catalogue.
inline constexpr const char LogicTextContext[] = "Messages";

#include <initializer_list>
#include <string>

// A marked pattern with its values in place of %1, %2 ... (at most nine).  The windows take the
// values apart again to put them into the translated pattern, so a value stands where its marker
// stands and a marker appears once.
inline std::string ArgText(const char *pattern, std::initializer_list<std::string> values) {
  std::string text;
  for (const char *c = pattern; *c; ++c) {
    const size_t index = c[0] == '%' && c[1] >= '1' && c[1] <= '9' ? size_t(c[1] - '1') : 9;
    if (index < values.size()) {
      text += values.begin()[index];
      ++c;
    } else {
      text += *c;
    }
  }
  return text;
}
