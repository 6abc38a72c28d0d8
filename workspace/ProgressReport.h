// What the progress window shows of a running batch, without its widgets: the texts of its labels
// for one progress report, and where the preview picture goes inside its frame.
#pragma once

#include <string>

#include "workspace/BatchRunner.h"

struct TProgressTexts {
  std::string Time;      // "12 Second": converted time of the current file
  std::string Length;    // "60 Second": length of the part to convert
  std::string Size;      // "512 kb": output size so far (1 kb = 1000 bytes)
  std::string Position;  // "[2/3]": the task among the batch's tasks
  std::string File;      // the source's path, shortened for the label
};

TProgressTexts ProgressTextsOf(const TRowProgress &progress, const std::string &caption);

// How far the whole batch is, 0..100, at a report of its running task: the tasks before it count
// whole, the running one by its own percentage (as nothing while its length is unknown).  -1 for
// a report without tasks.
int BatchPercentOf(const TRowProgress &progress);

// A long path keeps its first 44 characters and its extension ("/videos/long…..mkv"), so that the
// label shows where the file comes from and what kind it is; shorter than 51 stays whole.
std::string ShortFileCaption(const std::string &caption);

// The rectangle (left, top, right, bottom exclusive) a picture of `sourceWidth` x `sourceHeight`
// takes when scaled into `targetWidth` x `targetHeight` with its aspect ratio kept and centred:
// the full width or the full height, with equal margins (rounded to the nearest pixel, ties to
// even) on both sides of the other direction.
struct TFitRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
TFitRect FitPicture(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);
