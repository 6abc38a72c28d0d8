// Snapshots: the picture on screen saved full-size and small, as BMP and JPEG files with fixed
// names in the snapshot folder.  The preview panel and the progress window both save through
// here.  It needs the GUI library's pictures and image writers, never its widgets.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <filesystem>

#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

class TBitmap;

inline constexpr const char SnapshotFullBmp[] = "Snapshot_full.bmp";
inline constexpr const char SnapshotSmallBmp[] = "Snapshot_small.bmp";
inline constexpr const char SnapshotFullJpg[] = "Snapshot_full.jpg";
inline constexpr const char SnapshotSmallJpg[] = "Snapshot_small.jpg";

// A copy of a 24-bit bitmap of the player or the encoder component.
QImage PictureOfBitmap(const TBitmap &bitmap);

// Where a picture of size `source` goes when it is scaled into `target` with its aspect ratio kept
// and centred: it spans the target's full width or full height, and the margins on both sides of
// the other direction are equal, rounded to the nearest pixel (ties to even).
QRect FittedRect(QSize source, const QRect &target);

// `picture` scaled into a picture of `size` filled with `background`, placed by FittedRect.
QImage FittedPicture(const QImage &picture, QSize size, const QColor &background);

// Writes the snapshot files the settings ask for, replacing the previous ones: each of the full
// and the small picture as BMP (`snapBmp`) and JPEG (`snapJpg`, quality `jpgCmp`), when its size
// is wanted (`snapFullSize`, `snapSmallSize`).  The folder is `SnapOutPutDir`, made when missing;
// one that cannot be made is reported and replaced by the default folder, which is stored.
// Returns the folder.  Raises std::runtime_error naming the file when one cannot be written.
std::filesystem::path SaveSnapshots(const QImage &full, const QImage &small, TSettingsStore &store,
                                    IJobQuestions &questions);
