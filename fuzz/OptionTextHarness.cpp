#include <string_view>

#include "engine/FFmpeg.h"
#include "engine/FFmpegException.h"
#include "fuzz/FuzzHarness.h"
#include "services/FFUtils.h"

int FuzzOptionText(const uint8_t *data, size_t size) {
  if (!fuzzsupport::MediaLibrariesLoaded()) return 0;
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const size_t cut = input.find('\0');
  TInputOptions in;
  InitInputOptions(in);
  in.ExtOptions = std::string(input.substr(0, cut));
  TOutputOptions out;
  InitOutputOptions(out);
  if (cut != std::string_view::npos) out.ExtOptions = std::string(input.substr(cut + 1));

  TCustomFFmpeg task;
  task.Reset();
  TTaskOptionTarget<TCustomFFmpeg> target(task);
  try {
    ApplyInputOptions(target, in);
    TDefaultsList defaults;
    ApplyOutputOptions(target, out, defaults);
  } catch (const FFmpegException &) {
    // A refused option, reported in the engine's words.
  }
  return 0;
}
