// Build-time tool: draws the splash pictures the program looks for in its data folder
// ("skin/mp4videocover.jpg" and "skin/videocover.jpg") into the folder given on the command line.
#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <cstdio>

#include "skin/Artwork.h"

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-skin-pictures FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (const auto &[kind, name] : {std::pair{TCoverKind::Mp4Video, "mp4videocover.jpg"},
                                   std::pair{TCoverKind::Video, "videocover.jpg"}}) {
    QImageWriter writer(folder + "/" + name, "jpg");
    writer.setQuality(88);
    if (!writer.write(CoverPicture(kind).toImage())) {
      std::fprintf(stderr, "make-skin-pictures: %s: %s\n", name,
                   writer.errorString().toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
