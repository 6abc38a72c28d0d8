// The program's own pictures, drawn with Qt: the splash picture, the program icon, the icons of
// the profile categories and of the buttons.  Drawing them keeps the repository free of binary
// artwork; the splash pictures installed with the program are drawn by the same code at build
// time (make-skin-pictures).
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QPainter;

// Design size of the splash picture.
inline constexpr int CoverWidth = 399;
inline constexpr int CoverHeight = 239;

enum class TCoverKind { Mp4Video, Video };
void PaintCover(QPainter &painter, TCoverKind kind);
QPixmap CoverPicture(TCoverKind kind);

QIcon ProductIcon();
QPixmap ProductPicture(int size);

// 20 x 20 icon of a profile category (0..24).
QPixmap CategoryIcon(int category);

enum class TToolGlyph {
  Add,
  Remove,
  Clear,
  Edit,
  Start,
  Exit,
  Play,
  Pause,
  Stop,
  Snapshot,
  Folder,
  Browse,
  Default
};
QIcon ToolIcon(TToolGlyph glyph, const QColor &color);
