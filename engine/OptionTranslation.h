// Old option names and values in the form the current libraries understand.
//
// Stored profile settings and the built-in presets were written for libraries in which libx264's
// switches were generic codec flags ("flags2=+mixed_refs+wpred", "partitions=+parti8x8",
// "directpred", "cqp", ...).  Those names are gone: the switches are now private options of the
// libx264 encoder with names of their own.  Every generic option passes through this one table so
// that an old setting keeps its meaning; names without an old meaning come back unchanged.
#pragma once

#include <string>
#include <vector>

struct TOptionPair {
  std::string Name;
  std::string Value;
  bool operator==(const TOptionPair &) const = default;
};

// One option in, zero or more options out (in the order they are to be set).
std::vector<TOptionPair> TranslateOldOption(const std::string &name, const std::string &value);
