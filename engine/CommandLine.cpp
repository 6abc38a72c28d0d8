#include "engine/CommandLine.h"

#include <map>
#include <set>

#include "engine/FFmpeg.h"
#include "engine/OptionValues.h"
#include "services/UnicodeProtocol.h"

namespace {

// Options that stand alone (no value follows them on the command line).
const std::set<std::string> &Switches() {
  static const std::set<std::string> names = {
      "an",        "vn",        "sn",        "y",          "shortest", "copyts",   "xerror",
      "dump",      "hex",       "re",        "loop_input", "intra",    "sameq",    "deinterlace",
      "psnr",      "qphist",    "force_fps", "isync",      "newvideo", "newaudio", "newsubtitle",
      "benchmark", "vstats",    "L",         "h",          "version",  "formats",  "codecs",
      "bsfs",      "protocols", "filters",   "join"};
  return names;
}

// The current tool's spellings, as the engine's own names: "-c" sets every kind of stream.
std::vector<std::string> EngineNames(const std::string &name) {
  static const std::map<std::string, std::vector<std::string>> aliases = {
      {"c", {"vcodec", "acodec", "scodec"}},
      {"codec", {"vcodec", "acodec", "scodec"}},
      {"c:v", {"vcodec"}},
      {"codec:v", {"vcodec"}},
      {"c:a", {"acodec"}},
      {"codec:a", {"acodec"}},
      {"c:s", {"scodec"}},
      {"codec:s", {"scodec"}},
      {"b:v", {"b"}},
      {"b:a", {"ab"}},
      {"filter:v", {"vf"}},
  };
  const auto alias = aliases.find(name);
  return alias != aliases.end() ? alias->second : std::vector<std::string>{name};
}

}  // namespace

TCommandLineFiles EngineFiles(TCustomFFmpeg &engine) {
  return {[&engine](const std::string &input) { return engine.AddInputFile(UTF8ToWide(input)); },
          [&engine](const std::string &output, bool join) {
            return engine.AddOutputFile(UTF8ToWide(output), join) >= 0;
          }};
}

bool ApplyCommandLine(TCustomFFmpeg &engine, const std::vector<std::string> &args,
                      const TCommandLineFiles &files, std::string &error) {
  bool join = false;
  int outputs = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      if (!files.AddOutput(arg, join)) {
        error = engine.LastError();
        return false;
      }
      join = false;
      ++outputs;
      continue;
    }
    const std::string name = arg.substr(1);
    const bool isSwitch = Switches().count(name) > 0;
    if (!isSwitch && i + 1 >= args.size()) {
      error = "Missing argument for option '" + name + "'";
      return false;
    }
    const std::string value = isSwitch ? std::string() : args[++i];
    if (name == "join") {
      join = true;
    } else if (name == "i") {
      if (!files.AddInput(value)) {
        error = engine.LastError();
        return false;
      }
    } else if (name == "threads") {
      engine.SetThreadCount(ParseInteger(value));
    } else {
      for (const std::string &engineName : EngineNames(name)) {
        const TOptionResult result = engine.SetKnownOption(engineName, value);
        if (result == TOptionResult::Unknown) {
          error = "Unrecognized option '" + name + "'";
          return false;
        }
        if (result == TOptionResult::InvalidValue) return false;  // the library said why
      }
    }
  }
  if (outputs == 0) {
    error = "At least one output file must be specified";
    return false;
  }
  return true;
}
