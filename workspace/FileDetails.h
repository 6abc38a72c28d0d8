// The technical details of a media file as the file information window shows them: its name
// (shortened to fit), length, container, and the figures of its video and audio streams.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TCustomAVProbe;

struct TFileDetails {
  std::string SourceName;  // ShortenedSourceName of the path
  std::string Length;      // FileLengthText of the container's duration
  std::string Format;      // the container's short name
  // Empty for a file without video.
  std::string Resolution;   // width "x" height
  std::string BitRate;      // bit/s
  std::string FrameRate;    // FrameRateText
  std::string TotalFrames;  // TotalFramesText
  // Empty for a file without audio.
  std::string AudioFormat;   // AudioFormatOf the probe's description
  std::string AudioBitRate;  // bit/s
  std::string SampleRate;    // Hz
  std::string Channels;
};

// A path of fewer than 46 characters as it is; a longer one as its first 40 characters, "..",
// its extension (with its point) and two blanks.
std::string ShortenedSourceName(const std::string &path);

// Whole seconds "." milliseconds and " Second" ("62.500 Second"); empty when unknown (negative).
std::string FileLengthText(int64_t us);

// The frame rate num/den as a decimal of at most three places without trailing zeros ("25",
// "29.97", "23.976"); empty when unknown.
std::string FrameRateText(int num, int den);

// The number of frames in `durationUs` at num/den frames per second, to the nearest; empty when
// either is unknown.
std::string TotalFramesText(int64_t durationUs, int num, int den);

// The audio format from a probe's description text: what follows the first "Audio: " up to the
// next ",", which is the codec as the libraries describe it ("aac (LC) (mp4a / 0x6134706D)");
// empty without "Audio:".
std::string AudioFormatOf(const std::string &infoText);

// Opens `path` with `probe` (which keeps it open until its next file) and reads the details;
// nothing when the probe cannot open it (the probe keeps the reason).
std::optional<TFileDetails> ReadFileDetails(TCustomAVProbe &probe, const std::string &path);
