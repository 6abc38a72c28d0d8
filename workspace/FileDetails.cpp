#include "workspace/FileDetails.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "services/AVProbe.h"
#include "services/UnicodeProtocol.h"
#include "workspace/LogicTexts.h"

namespace {

constexpr size_t ShownWhole = 46;  // names of fewer characters are shown whole
constexpr size_t ShownStart = 40;

// Byte length of the first `count` characters of a UTF-8 text, and whether it has more.
size_t PrefixBytes(const std::string &text, size_t count) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts && chars++ == count) return i;
  }
  return text.size();
}

// A positive figure as decimal text; empty for the libraries' "unknown" (0 or negative).
std::string Figure(int64_t value) {
  return value > 0 ? std::to_string(value) : std::string();
}

}  // namespace

std::string ShortenedSourceName(const std::string &path) {
  if (PrefixBytes(path, ShownWhole - 1) == path.size()) return path;
  return path.substr(0, PrefixBytes(path, ShownStart)) + ".." +
         std::filesystem::path(path).extension().string() + "  ";
}

std::string FileLengthText(int64_t us) {
  if (us < 0) return {};
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%.3d", static_cast<long long>(us / 1000000),
                static_cast<int>(us / 1000 % 1000));
  return ArgText(logictexts::Seconds, {text});
}

std::string FrameRateText(int num, int den) {
  if (num <= 0 || den <= 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(num) / den);
  std::string shown = text;
  shown.erase(shown.find_last_not_of('0') + 1);
  if (shown.back() == '.') shown.pop_back();
  return shown;
}

std::string TotalFramesText(int64_t durationUs, int num, int den) {
  if (durationUs < 0 || num <= 0 || den <= 0) return {};
  return std::to_string(std::llround(static_cast<double>(durationUs) * num / den / 1000000.0));
}

std::string AudioFormatOf(const std::string &infoText) {
  const size_t audio = infoText.find("Audio:");
  if (audio == std::string::npos) return {};
  const size_t start = audio + 7;
  const size_t comma = infoText.find(',', audio);
  if (start > infoText.size() || (comma != std::string::npos && comma < start)) return {};
  return infoText.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
}

std::optional<TFileDetails> ReadFileDetails(TCustomAVProbe &probe, const std::string &path) {
  if (!probe.LoadFile(UTF8ToWide(path))) return std::nullopt;
  TFileDetails details;
  details.SourceName = ShortenedSourceName(path);
  TFileStreamInfo file;
  probe.GetFileStreamInfo(file);
  details.Length = FileLengthText(file.Duration);
  details.Format = probe.FormatName();
  if (probe.VideoStreamCount() > 0 && probe.IsVideoStream(probe.VideoStreamIndex())) {
    TVideoStreamInfo video;
    probe.GetVideoStreamInfo(probe.VideoStreamIndex(), video);
    details.Resolution = std::to_string(video.Width) + "x" + std::to_string(video.Height);
    details.BitRate = Figure(video.BitRate);
    details.FrameRate = FrameRateText(video.FrameRateNum, video.FrameRateDen);
    details.TotalFrames = TotalFramesText(file.Duration, video.FrameRateNum, video.FrameRateDen);
  }
  if (probe.AudioStreamCount() > 0 && probe.IsAudioStream(probe.AudioStreamIndex())) {
    TAudioStreamInfo audio;
    probe.GetAudioStreamInfo(probe.AudioStreamIndex(), audio);
    details.AudioFormat = AudioFormatOf(probe.FileInfoText());
    details.AudioBitRate = Figure(audio.BitRate);
    details.SampleRate = Figure(audio.SampleRate);
    details.Channels = Figure(audio.Channels);
  }
  return details;
}
