#include "engine/OptionTranslation.h"

#include <cstring>

namespace {

// Names that only changed.
struct TRename {
  const char *Old;
  const char *Now;
};
constexpr TRename Renames[] = {
    {"directpred", "direct-pred"},     // 0 none, 1 spatial, 2 temporal, 3 auto
    {"cqp", "qp"},                     // constant quantiser
    {"wpredp", "weightp"},             // 0 none, 1 simple, 2 smart
    {"aq_mode", "aq-mode"},            //
    {"aq_strength", "aq-strength"},    //
    {"rc_lookahead", "rc-lookahead"},  //
    {"complexityblur", "cplxblur"},    //
    {"bframebias", "b-bias"},          //
};

// Old "flags2" bits that became libx264 switches: the private option, its value when the bit was
// set and when it was cleared.
struct TFlagSwitch {
  const char *Bit;
  const char *Option;
  const char *On;
  const char *Off;
};
constexpr TFlagSwitch Flags2Switches[] = {
    {"mixed_refs", "mixed-refs", "1", "0"},
    {"wpred", "weightb", "1", "0"},
    {"dct8x8", "8x8dct", "1", "0"},
    {"fastpskip", "fast-pskip", "1", "0"},
    {"bpyramid", "b-pyramid", "normal", "none"},
    {"mbtree", "mbtree", "1", "0"},
    {"aud", "aud", "1", "0"},
    {"psy", "psy", "1", "0"},
    {"ssim", "ssim", "1", "0"},
    {"intra_refresh", "intra-refresh", "1", "0"},
};

// Old "partitions" bits and libx264's names for them.
constexpr TRename PartitionNames[] = {
    {"parti4x4", "i4x4"}, {"parti8x8", "i8x8"}, {"partp4x4", "p4x4"},
    {"partp8x8", "p8x8"}, {"partb8x8", "b8x8"},
};

struct TFlagToken {
  char Sign;  // '+', '-' or 0 (no sign: the bit is set)
  std::string Bit;
  bool Set() const { return Sign != '-'; }
  std::string Text() const { return Sign ? Sign + Bit : Bit; }
};

// "+a-b+c" -> (+,a) (-,b) (+,c), the syntax of a flags option.
std::vector<TFlagToken> SplitFlags(const std::string &value) {
  std::vector<TFlagToken> tokens;
  for (size_t i = 0; i < value.size();) {
    TFlagToken t{0, {}};
    if (value[i] == '+' || value[i] == '-') t.Sign = value[i++];
    while (i < value.size() && value[i] != '+' && value[i] != '-') t.Bit += value[i++];
    if (!t.Bit.empty()) tokens.push_back(t);
  }
  return tokens;
}

std::vector<TOptionPair> TranslateFlags2(const std::string &value) {
  std::vector<TOptionPair> out;
  std::string rest;  // bits the generic flags2 option still has
  for (const TFlagToken &t : SplitFlags(value)) {
    const TFlagSwitch *sw = nullptr;
    for (const TFlagSwitch &s : Flags2Switches)
      if (t.Bit == s.Bit) sw = &s;
    if (sw)
      out.push_back({sw->Option, t.Set() ? sw->On : sw->Off});
    else
      rest += t.Text();
  }
  if (!rest.empty()) out.insert(out.begin(), {"flags2", rest});
  return out;
}

// libx264 takes a list of the partitions to consider; the old flags named each partition with a
// sign, and only the set ones count.
std::vector<TOptionPair> TranslatePartitions(const std::string &value) {
  if (value.find("part") == std::string::npos) return {{"partitions", value}};
  std::string list;
  for (const TFlagToken &t : SplitFlags(value)) {
    if (!t.Set()) continue;
    std::string name = t.Bit;
    for (const TRename &p : PartitionNames)
      if (t.Bit == p.Old) name = p.Now;
    list += (list.empty() ? "" : ",") + name;
  }
  return {{"partitions", list.empty() ? "none" : list}};
}

// Old "flags" bits that became private switches of the MPEG-family encoders.
constexpr TFlagSwitch FlagsSwitches[] = {
    {"scan_offset", "scan_offset", "1", "0"},
    {"alt", "alternate_scan", "1", "0"},
    {"part", "data_partitioning", "1", "0"},
    {"gmc", "gmc", "1", "0"},
    {"umv", "umv", "1", "0"},
    {"aiv", "aiv", "1", "0"},
    {"obmc", "obmc", "1", "0"},
    {"slice", "structured_slices", "1", "0"},
    {"mv0", "mpv_flags", "+mv0", "-mv0"},
    {"naq", "mpv_flags", "+naq", "-naq"},
    {"qprd", "mpv_flags", "+qp_rd", "-qp_rd"},
    {"cbp", "mpv_flags", "+cbp_rd", "-cbp_rd"},
};

// The generic "loop" flag stays (H.263 still reads it) but no longer reaches libx264, whose
// deblocking filter is on by default: the old flag's meaning is carried over as libx264's own
// switch.  ("deblock=0" would not do: libx264 reads a single number there as the filter strength
// and leaves the filter on.)
std::vector<TOptionPair> TranslateFlags(const std::string &value) {
  std::vector<TOptionPair> out;
  std::string rest;
  for (const TFlagToken &t : SplitFlags(value)) {
    const TFlagSwitch *sw = nullptr;
    for (const TFlagSwitch &s : FlagsSwitches)
      if (t.Bit == s.Bit) sw = &s;
    if (sw) {
      out.push_back({sw->Option, t.Set() ? sw->On : sw->Off});
      continue;
    }
    rest += t.Text();
    if (t.Bit == "loop") out.push_back({"x264-params", t.Set() ? "no-deblock=0" : "no-deblock=1"});
  }
  if (!rest.empty()) out.insert(out.begin(), {"flags", rest});
  return out;
}

}  // namespace

std::vector<TOptionPair> TranslateOldOption(const std::string &name, const std::string &value) {
  for (const TRename &r : Renames)
    if (name == r.Old) return {{r.Now, value}};
  if (name == "flags2") return TranslateFlags2(value);
  if (name == "partitions") return TranslatePartitions(value);
  if (name == "flags") return TranslateFlags(value);
  return {{name, value}};
}
