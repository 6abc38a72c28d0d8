// Build-time tool: draws the splash pictures the program looks for in its data folder
// ("skin/mp4videocover.jpg" and "skin/videocover.jpg") into the folder given on the command line;
// with --icons, the program icon in the sizes of the desktop's icon theme
// ("SIZExSIZE/apps/NAME.png"), drawn by the code the window icon comes from.
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <cstdio>

#include "skin/Artwork.h"

namespace {

bool Write(const QImage &image, const QString &file, const char *format) {
  QImageWriter writer(file, format);
  if (format == QByteArray("jpg")) writer.setQuality(88);
  if (writer.write(image)) return true;
  std::fprintf(stderr, "make-skin-pictures: %s: %s\n", file.toLocal8Bit().constData(),
               writer.errorString().toLocal8Bit().constData());
  return false;
}

bool WriteCovers(const QString &folder) {
  for (const auto &[kind, name] : {std::pair{TCoverKind::Mp4Video, "mp4videocover.jpg"},
                                   std::pair{TCoverKind::Video, "videocover.jpg"}})
    if (!Write(CoverPicture(kind).toImage(), folder + "/" + name, "jpg")) return false;
  return true;
}

bool WriteIcons(const QString &folder, const QString &name) {
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString sizeFolder = QString("%1/%2x%2/apps").arg(folder).arg(size);
    if (!QDir().mkpath(sizeFolder)) {
      std::fprintf(stderr, "make-skin-pictures: cannot make %s\n",
                   sizeFolder.toLocal8Bit().constData());
      return false;
    }
    if (!Write(ProductPicture(size).toImage(), sizeFolder + "/" + name + ".png", "png"))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  if (argc == 2) return WriteCovers(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
  if (argc == 4 && QByteArray(argv[1]) == "--icons")
    return WriteIcons(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
  std::fprintf(stderr,
               "usage: make-skin-pictures SKIN_FOLDER\n"
               "       make-skin-pictures --icons ICON_THEME_FOLDER ICON_NAME\n");
  return 2;
}
