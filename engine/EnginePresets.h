// The built-in encoder presets: named sets of generic options, in the syntax of a preset file.
#pragma once

#include <array>
#include <string>

struct TOptionsPreset {
  const char *Name;
  const char *Options;  // one key=value pair per line (LF)
};

constexpr int BuiltInPresetCount = 40;
extern const std::array<TOptionsPreset, BuiltInPresetCount> BuiltInPresets;

// The preset of that name, ignoring letter case; null when there is none.
const TOptionsPreset *FindBuiltInPreset(const std::string &name);
