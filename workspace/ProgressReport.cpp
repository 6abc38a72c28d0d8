#include "workspace/ProgressReport.h"
#include "workspace/LogicTexts.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

int BatchPercentOf(const TRowProgress &progress) {
  if (progress.TaskCount <= 0) return -1;
  const int task = std::clamp(progress.Task, 0, progress.TaskCount - 1);
  const int running = std::clamp(progress.Percent, 0, 100);
  return (task * 100 + running) / progress.TaskCount;
}

TProgressTexts ProgressTextsOf(const TRowProgress &progress, const std::string &caption) {
  const TProgressInfo &info = progress.Info;
  TProgressTexts texts;
  texts.Time = ArgText(logictexts::Seconds, {std::to_string(info.CurrentDuration / 1000000)});
  // An unknown length shows as nothing rather than as a negative number of seconds.
  if (info.TotalDuration >= 0)
    texts.Length = ArgText(logictexts::Seconds, {std::to_string(info.TotalDuration / 1000000)});
  texts.Size = std::to_string(info.CurrentSize / 1000) + " kb";
  texts.Position =
      "[" + std::to_string(progress.Task + 1) + "/" + std::to_string(progress.TaskCount) + "]";
  texts.File = ShortFileCaption(caption);
  return texts;
}

std::string ShortFileCaption(const std::string &caption) {
  if (caption.size() < 51) return caption;
  return caption.substr(0, 44) + ".." + std::filesystem::path(caption).extension().string();
}

TFitRect FitPicture(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  TFitRect rect{0, 0, targetWidth, targetHeight};
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return rect;
  const double sx = static_cast<double>(sourceWidth) / targetWidth;
  const double sy = static_cast<double>(sourceHeight) / targetHeight;
  // nearbyint rounds halves to even in the default rounding mode.
  if (sx >= sy) {
    const int m = static_cast<int>(std::nearbyint((targetHeight - sourceHeight / sx) / 2));
    rect.Top = m;
    rect.Bottom = targetHeight - m;
  } else {
    const int m = static_cast<int>(std::nearbyint((targetWidth - sourceWidth / sy) / 2));
    rect.Left = m;
    rect.Right = targetWidth - m;
  }
  return rect;
}
