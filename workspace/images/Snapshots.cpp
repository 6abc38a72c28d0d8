#include "workspace/images/Snapshots.h"

#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "services/Bitmap.h"
#include "workspace/DestinationName.h"
#include "workspace/LogicTexts.h"

namespace fs = std::filesystem;

QImage PictureOfBitmap(const TBitmap &bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  return QImage(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.LineSize(),
                QImage::Format_BGR888)
      .copy();
}

QRect FittedRect(QSize source, const QRect &target) {
  if (source.isEmpty() || target.isEmpty()) return target;
  const double sx = static_cast<double>(source.width()) / target.width();
  const double sy = static_cast<double>(source.height()) / target.height();
  if (sx >= sy) {
    const int margin =
        static_cast<int>(std::nearbyint((target.height() - source.height() / sx) / 2));
    return QRect(target.left(), target.top() + margin, target.width(),
                 target.height() - 2 * margin);
  }
  const int margin = static_cast<int>(std::nearbyint((target.width() - source.width() / sy) / 2));
  return QRect(target.left() + margin, target.top(), target.width() - 2 * margin, target.height());
}

QImage FittedPicture(const QImage &picture, QSize size, const QColor &background) {
  QImage fitted(size, QImage::Format_RGB888);
  fitted.fill(background);
  QPainter painter(&fitted);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(FittedRect(picture.size(), fitted.rect()), picture);
  return fitted;
}

namespace {

// The file is written under a temporary name and renamed when complete, so that a failed write
// leaves the previous snapshot, never half a picture.
void WritePicture(const QImage &picture, const fs::path &file, const char *format, int quality) {
  QSaveFile out(QString::fromStdString(file.string()));
  QString error;
  if (out.open(QIODevice::WriteOnly)) {
    QImageWriter writer(&out, format);
    writer.setQuality(quality);
    if (!writer.write(picture))
      error = writer.errorString();
    else if (!out.commit())
      error = out.errorString();
  } else {
    error = out.errorString();
  }
  if (!error.isEmpty())
    throw std::runtime_error(
        ArgText(logictexts::SnapshotNotWritten, {file.string(), error.toStdString()}));
}

}  // namespace

fs::path SaveSnapshots(const QImage &full, const QImage &small, TSettingsStore &store,
                       IJobQuestions &questions) {
  const fs::path folder = FolderOrDefault(store.SnapOutPutDir(), questions,
                                          [&](const std::string &f) { store.SetSnapOutPutDir(f); });
  const bool fullSize = store.SnapFullSize(), smallSize = store.SnapSmallSize();
  const bool bmp = store.SnapBmp(), jpg = store.SnapJpg();
  const int quality = std::clamp(store.JpgCmp(), 0, 100);
  if (fullSize && bmp) WritePicture(full, folder / SnapshotFullBmp, "bmp", -1);
  if (smallSize && bmp) WritePicture(small, folder / SnapshotSmallBmp, "bmp", -1);
  if (fullSize && jpg) WritePicture(full, folder / SnapshotFullJpg, "jpeg", quality);
  if (smallSize && jpg) WritePicture(small, folder / SnapshotSmallJpg, "jpeg", quality);
  return folder;
}
