#include "workspace/PreviewState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "services/AVProbe.h"

TPreviewControls PreviewControlsOf(TPreviewMode mode) {
  switch (mode) {
    case TPreviewMode::Playing: return {false, true, true, true};
    case TPreviewMode::Paused: return {true, false, true, true};
    case TPreviewMode::Stopped: break;
  }
  return {true, false, false, false};
}

std::string PositionText(int64_t us) {
  return FormatMediaTime(std::max<int64_t>(us, 0));
}

std::string DurationText(int64_t seconds) {
  seconds = std::max<int64_t>(seconds, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%.2d:%.2d", static_cast<long long>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

int64_t DurationSeconds(int64_t us) {
  if (us < 0) return 0;
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(us) / 1000000.0));
}

int64_t SeekPosition(int barPosition, int barMaximum, int64_t durationUs) {
  if (barMaximum <= 0) return 0;
  return static_cast<int64_t>(
      std::trunc(static_cast<double>(barPosition) / barMaximum * static_cast<double>(durationUs)));
}
