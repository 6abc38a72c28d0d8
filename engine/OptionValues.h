// Option strings and the value syntax of the engine's options.
//
// Everything here is free of engine state: it turns the text of one option into numbers and
// records, and raises FFmpegException with the option's message when the text is not acceptable.
// The engine's option table decides where the results go.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

// One line of an option string.
struct TOptionLine {
  std::string Name;   // lower case, without a leading dash
  std::string Value;  // as given (not trimmed; may be empty)
};

// Blanks and control characters (everything up to ' ') off both ends.
std::string TrimText(const std::string &text);
// Line breaks (CR LF, CR, LF) and the stored form "<CRLF>" all become LF.
std::string NormalizeLineBreaks(const std::string &text);
// Trims the text, normalises its line breaks and splits every non-empty line at its first "=".
std::vector<TOptionLine> SplitOptionString(const std::string &text);

// ---- value kinds
// True unless the value is exactly "0" (an empty value switches on).
bool ParseSwitch(const std::string &value);
// Whole-text integer conversion; failure: "'%s' is not a valid integer value".
int32_t ParseInteger(const std::string &value);
int64_t ParseInt64(const std::string &value);
// Whole-text float conversion; failure: "'%s' is not a valid floating point value".
double ParseFloat(const std::string &value);
// The library's time parser; failure: "Invalid duration|date specification for %s: %s".
int64_t ParseDuration(const std::string &option, const std::string &value);
int64_t ParseDate(const std::string &option, const std::string &value);
// "25", "30000/1001", "ntsc", ...; failure: "Incorrect frame rate".
AVRational ParseFrameRate(const std::string &value);
// "640x480", "vga", ...; failure: "Incorrect frame size".
std::pair<int, int> ParseFrameSize(const std::string &value);
// "16:9" or "1.7777"; failure: "Incorrect aspect ratio specification.".
float ParseAspect(const std::string &value);
// 64 comma-separated coefficients; failure: "Syntax error in matrix \"%s\" at coeff %d".
std::array<uint16_t, 64> ParseMatrix(const std::string &value);
// Exactly four characters, first one lowest; failure: "<kind> tag parameter must be 4 chars".
uint32_t ParseCodecTag(const std::string &kind, const std::string &value);

// ---- structured values
struct TStreamMapValue {
  int FileIndex = 0, StreamIndex = 0, SyncFileIndex = 0, SyncStreamIndex = 0;
};
// "file.stream[:syncfile.syncstream]", each number read like strtol with base 0.
TStreamMapValue ParseStreamMap(const std::string &value);
// "outfile:infile" (any one separator character).
std::pair<int, int> ParseMetaDataMap(const std::string &value);
// "stream:scale"; the stream index must be below maxStreams, else
// "stream index over MAX_STREAMS(%d)".
std::pair<int, double> ParseItsScale(const std::string &value, int maxStreams);
// "index:value"; an empty side fails with
// "Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"".
std::pair<int, int> ParseStreamId(const std::string &option, const std::string &value);
// "key=value" (value may be empty); failure: "Missing =".
std::pair<std::string, std::string> ParseMetadata(const std::string &value);
// A hook command line: words split at "|" when there is one, else at blanks; empty words skipped;
// at most maxWords words.
std::vector<std::string> SplitHookWords(const std::string &value, size_t maxWords = 254);
// "pal-dvd" -> {"dvd", "pal"}; without a known norm prefix the norm is "auto".
struct TTargetValue {
  std::string Type;
  std::string Norm;
};
TTargetValue ParseTargetValue(const std::string &value);
