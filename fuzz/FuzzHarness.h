// The fuzz harnesses: each takes one input of any bytes and drives the real code with it the way a
// damaged or hostile file or command line would.  An input may end in the product's own errors
// (the ones it reports in words); anything else that escapes, and every memory or
// undefined-behaviour error, is a finding.  The same functions are linked into libFuzzer (the fuzz
// build) and into the test suite, which replays the kept inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A settings store and a format INI (the input split at the first kSectionBreak), read as the
// catalogue, the parameter rules and the job builder read them: one profile, one job.
int FuzzProfileFiles(const uint8_t *data, size_t size);
// Option-record text (name=value lines, "<CRLF>"-separated) for an input and an output (split at
// the first NUL), applied to an engine task.
int FuzzOptionText(const uint8_t *data, size_t size);
// An argument list (split at NUL bytes) through the engine's command-line parser; file names are
// taken without opening them.
int FuzzEngineArguments(const uint8_t *data, size_t size);
// A media file through the probe and the engine's input set-up, stopping after set-up.
int FuzzMediaSetup(const uint8_t *data, size_t size);
// An update document as fetched from the server, read for its version and notices.
int FuzzUpdateDocument(const uint8_t *data, size_t size);

// Separates the settings store from the format INI in an input of FuzzProfileFiles.
inline constexpr const char kSectionBreak[] = "\n--8<--\n";

namespace fuzzsupport {
// A folder of this process for the files a harness writes (created once).
const std::string &WorkFolder();
// Writes `size` bytes to `name` in the work folder and returns the file's path.
std::string WriteWorkFile(const std::string &name, const void *data, size_t size);
// Loads the media libraries once; false when they cannot be loaded.
bool MediaLibrariesLoaded();
}  // namespace fuzzsupport
