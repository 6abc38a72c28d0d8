// Texts and bar arithmetic the three editor windows share: the shortened source path of their
// labels and titles, the clock texts of their time labels, and the mapping between a seek bar's
// positions and times in the file.
#pragma once

#include <cstdint>
#include <string>

// `path` as it is when it has at most `limit` characters; otherwise its first `keep`
// characters, "..", its extension (with the dot) and two spaces, so that a long path still shows
// its beginning and what kind of file it is.  Characters, not bytes: a UTF-8 path is never cut
// inside a character.
std::string AbbreviatedPath(const std::string &path, int limit, int keep);

// The source path of the trim and crop windows' labels: whole up to 50 characters.
std::string SourceNameText(const std::string &path);

// The watermark window's title: "Water Mark  " and the path, whole below 56 characters.
std::string WaterMarkTitle(const std::string &path);

// Whole seconds as "h:mm:ss" (hours without leading zeros); negative counts as 0.
std::string ClockText(int64_t seconds);

// Microseconds rounded to whole seconds (ties to even), for clock texts.
int64_t RoundedSeconds(int64_t microseconds);

// A duration as "%d.%.3d Second" (whole seconds and milliseconds); an unknown (negative) one
// as 0.
std::string SecondsText(int64_t microseconds);

// The time a seek bar position stands for: position / maximum x duration, truncated.  0 when
// the bar has no range.
int64_t BarTime(int position, int maximum, int64_t duration);

// The bar position of a time: maximum x time / duration in integer arithmetic; 0 when the
// duration is not known.
int BarPosition(int maximum, int64_t time, int64_t duration);
