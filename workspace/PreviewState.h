// The preview panel without its widgets: which controls each state of the preview enables, the
// texts of the time labels and where the position bar seeks to.
#pragma once

#include <cstdint>
#include <string>

enum class TPreviewMode {
  Stopped,  // nothing plays (or the file ended and waits at its start)
  Playing,
  Paused,
};

struct TPreviewControls {
  bool Play, Pause, Stop, Snapshot;
};

TPreviewControls PreviewControlsOf(TPreviewMode mode);

// What both labels read while nothing plays.
inline constexpr const char StoppedTimeText[] = "00:00:00";

// The playing position: "hh:mm:ss.mmm" from microseconds (negative taken as 0).
std::string PositionText(int64_t us);

// The length of the file: hours without padding, minutes and seconds with two digits
// ("1:02:05"), from whole seconds (negative taken as 0).
std::string DurationText(int64_t seconds);

// A duration in microseconds to whole seconds, to the nearest (ties to even); an unknown
// duration (negative) gives 0.
int64_t DurationSeconds(int64_t us);

// Where releasing the position bar seeks to: the bar's share of the duration, truncated;
// 0 for a bar without range.
int64_t SeekPosition(int barPosition, int barMaximum, int64_t durationUs);
