#include "editors/EditorTexts.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "services/TextFormat.h"
#include "workspace/LogicTexts.h"

namespace {

// Byte offsets where the characters of a UTF-8 text begin.
std::vector<size_t> CharacterStarts(const std::string &text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  return starts;
}

}  // namespace

std::string AbbreviatedPath(const std::string &path, int limit, int keep) {
  const std::vector<size_t> starts = CharacterStarts(path);
  if (static_cast<int>(starts.size()) <= limit) return path;
  const std::string extension = std::filesystem::path(path).extension().string();
  return path.substr(0, starts[static_cast<size_t>(keep)]) + ".." + extension + "  ";
}

std::string SourceNameText(const std::string &path) {
  return AbbreviatedPath(path, 50, 44);
}

std::string WaterMarkTitle(const std::string &path) {
  return ArgText(logictexts::WaterMarkTitle, {AbbreviatedPath(path, 55, 50)});
}

std::string ClockText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  return FormatText("%lld:%.2d:%.2d", static_cast<long long>(seconds / 3600),
                    static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

int64_t RoundedSeconds(int64_t microseconds) {
  return std::llrint(static_cast<double>(microseconds) / 1e6);
}

std::string SecondsText(int64_t microseconds) {
  if (microseconds < 0) microseconds = 0;  // not known
  return ArgText(logictexts::Seconds,
                 {FormatText("%d.%.3d", static_cast<int>(microseconds / 1000000),
                             static_cast<int>(microseconds / 1000 % 1000))});
}

int64_t BarTime(int position, int maximum, int64_t duration) {
  if (maximum <= 0) return 0;
  return static_cast<int64_t>(static_cast<double>(position) / maximum *
                              static_cast<double>(duration));
}

int BarPosition(int maximum, int64_t time, int64_t duration) {
  if (duration <= 0) return 0;
  return static_cast<int>(static_cast<int64_t>(maximum) * time / duration);
}
