#include "skin/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>

namespace {

enum class TDevice { Player, Phone, Tv, Handheld, Gamepad, Film, Hd, Audio, Pda };

// What each profile category is drawn as, in category order.
constexpr std::array<TDevice, 32> CategoryDevices = {
    TDevice::Player,  TDevice::Phone,  TDevice::Tv,      TDevice::Phone,   TDevice::Handheld,
    TDevice::Gamepad, TDevice::Player, TDevice::Player,  TDevice::Player,  TDevice::Player,
    TDevice::Player,  TDevice::Player, TDevice::Gamepad, TDevice::Gamepad, TDevice::Phone,
    TDevice::Phone,   TDevice::Phone,  TDevice::Pda,     TDevice::Film,    TDevice::Film,
    TDevice::Player,  TDevice::Hd,     TDevice::Film,    TDevice::Film,    TDevice::Audio,
    TDevice::Hd,      TDevice::Hd,     TDevice::Film,    TDevice::Phone,   TDevice::Tv,
    TDevice::Audio,   TDevice::Film};

QColor CategoryColor(int category) {
  // Hues spread around the circle so that neighbouring categories differ.
  return QColor::fromHsv((category * 137) % 360, 150, 185);
}

void PlayTriangle(QPainter &p, const QPointF &centre, qreal size) {
  QPainterPath path;
  path.moveTo(centre.x() - size * 0.4, centre.y() - size * 0.5);
  path.lineTo(centre.x() + size * 0.55, centre.y());
  path.lineTo(centre.x() - size * 0.4, centre.y() + size * 0.5);
  path.closeSubpath();
  p.drawPath(path);
}

void DrawDevice(QPainter &p, TDevice device, const QColor &tint) {
  const QColor white(255, 255, 255);
  p.setPen(Qt::NoPen);
  p.setBrush(white);
  switch (device) {
    case TDevice::Player:
      p.drawRoundedRect(QRectF(6, 2.5, 8, 15), 2, 2);
      p.setBrush(tint);
      p.drawRect(QRectF(7.5, 4, 5, 5));
      p.setPen(QPen(tint, 1.3));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(10, 13.3), 2.2, 2.2);
      break;
    case TDevice::Phone:
      p.drawRoundedRect(QRectF(6.5, 2, 7, 16), 1.8, 1.8);
      p.setBrush(tint);
      p.drawRect(QRectF(7.8, 4, 4.4, 10));
      p.drawEllipse(QPointF(10, 16), 0.9, 0.9);
      break;
    case TDevice::Tv:
      p.drawRoundedRect(QRectF(2.5, 4, 15, 10.5), 1.5, 1.5);
      p.drawRect(QRectF(9, 14.5, 2, 2));
      p.drawRect(QRectF(6, 16, 8, 1.5));
      p.setBrush(tint);
      p.drawRect(QRectF(4, 5.5, 12, 7.5));
      break;
    case TDevice::Handheld:
      p.drawRoundedRect(QRectF(1.5, 6, 17, 8.5), 4, 4);
      p.setBrush(tint);
      p.drawRect(QRectF(6.5, 7.3, 7, 6));
      p.drawEllipse(QPointF(4, 10.2), 1.1, 1.1);
      p.drawEllipse(QPointF(16, 10.2), 1.1, 1.1);
      break;
    case TDevice::Gamepad: {
      QPainterPath pad;
      pad.addRoundedRect(QRectF(2, 6.5, 16, 7), 3.5, 3.5);
      pad.addEllipse(QRectF(2, 9, 6, 7));
      pad.addEllipse(QRectF(12, 9, 6, 7));
      p.drawPath(pad.simplified());
      p.setBrush(tint);
      p.drawRect(QRectF(4.3, 9.3, 3.4, 1.2));
      p.drawRect(QRectF(5.4, 8.2, 1.2, 3.4));
      p.drawEllipse(QPointF(13.5, 9.2), 0.9, 0.9);
      p.drawEllipse(QPointF(15.3, 10.9), 0.9, 0.9);
      break;
    }
    case TDevice::Film:
      p.drawRect(QRectF(4, 2.5, 12, 15));
      p.setBrush(tint);
      for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(4.9, 3.6 + i * 3.6, 1.6, 2));
        p.drawRect(QRectF(13.5, 3.6 + i * 3.6, 1.6, 2));
      }
      PlayTriangle(p, QPointF(10, 10), 5);
      break;
    case TDevice::Hd: {
      p.drawRoundedRect(QRectF(2, 4.5, 16, 11), 2, 2);
      QFont font = p.font();
      font.setPixelSize(8);
      font.setBold(true);
      p.setFont(font);
      p.setPen(tint);
      p.drawText(QRectF(2, 4.5, 16, 11), Qt::AlignCenter, "HD");
      break;
    }
    case TDevice::Audio:
      p.drawEllipse(QPointF(6.8, 14.5), 2.8, 2.2);
      p.drawEllipse(QPointF(14.3, 12.8), 2.8, 2.2);
      p.drawRect(QRectF(8.4, 4, 1.4, 10.5));
      p.drawRect(QRectF(15.9, 2.5, 1.4, 10.5));
      p.drawPolygon(
          QPolygonF({QPointF(8.4, 4), QPointF(17.3, 2.5), QPointF(17.3, 5.3), QPointF(8.4, 6.8)}));
      break;
    case TDevice::Pda:
      p.drawRoundedRect(QRectF(4.5, 2, 11, 16), 1.5, 1.5);
      p.setBrush(tint);
      p.drawRect(QRectF(6, 3.5, 8, 9));
      p.drawRect(QRectF(6, 14, 2, 2));
      p.drawRect(QRectF(9, 14, 2, 2));
      p.drawRect(QRectF(12, 14, 2, 2));
      break;
  }
}

void FilmStrip(QPainter &p, const QRectF &band) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(12, 18, 34, 220));
  p.drawRect(band);
  p.setBrush(QColor(255, 255, 255, 200));
  for (qreal x = band.left() + 6; x < band.right() - 6; x += 16) {
    p.drawRoundedRect(QRectF(x, band.top() + 4, 8, 5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(x, band.bottom() - 9, 8, 5), 1.5, 1.5);
  }
  // Frames with a few colours, as if the strip carried pictures.
  const QColor frames[] = {QColor(64, 140, 210), QColor(230, 150, 60), QColor(90, 180, 110),
                           QColor(170, 90, 180), QColor(220, 80, 80),  QColor(60, 170, 200)};
  const qreal frameWidth = 58, gap = 8;
  int i = 0;
  for (qreal x = band.left() + 8; x + frameWidth <= band.right(); x += frameWidth + gap, ++i) {
    const QRectF frame(x, band.top() + 13, frameWidth, band.height() - 26);
    QLinearGradient g(frame.topLeft(), frame.bottomRight());
    g.setColorAt(0, frames[i % 6].lighter(140));
    g.setColorAt(1, frames[i % 6].darker(110));
    p.setBrush(g);
    p.drawRect(frame);
  }
}

QColor ToolGlyphPen(const QColor &color) {
  return color.darker(110);
}

}  // namespace

void PaintCover(QPainter &p, TCoverKind kind) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF all(0, 0, CoverWidth, CoverHeight);
  QLinearGradient sky(all.topLeft(), all.bottomRight());
  sky.setColorAt(0, QColor(18, 36, 82));
  sky.setColorAt(1, QColor(30, 104, 160));
  p.fillRect(all, sky);
  QRadialGradient glow(QPointF(80, 60), 160);
  glow.setColorAt(0, QColor(255, 255, 255, 60));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(all, glow);

  FilmStrip(p, QRectF(-4, 150, CoverWidth + 8, 62));

  // The program's mark: a play button in a ring.
  p.setPen(QPen(QColor(255, 255, 255, 230), 5));
  p.setBrush(QColor(255, 255, 255, 40));
  p.drawEllipse(QPointF(72, 74), 42, 42);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255));
  PlayTriangle(p, QPointF(76, 74), 40);

  p.setPen(Qt::white);
  QFont title("DejaVu Sans");
  title.setPixelSize(34);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(132, 34, 260, 42), Qt::AlignLeft | Qt::AlignVCenter, "Morvane");
  QFont subtitle("DejaVu Sans");
  subtitle.setPixelSize(19);
  p.setFont(subtitle);
  p.drawText(QRectF(133, 76, 262, 26), Qt::AlignLeft | Qt::AlignVCenter, "MP4 Video Converter");
  QFont line("DejaVu Sans");
  line.setPixelSize(11);
  p.setFont(line);
  p.setPen(QColor(210, 226, 245));
  p.drawText(QRectF(134, 104, 262, 20), Qt::AlignLeft | Qt::AlignVCenter,
             kind == TCoverKind::Mp4Video ? "MP4 for players, phones and consoles"
                                          : "Video for players, phones and the web");
  p.setPen(QColor(200, 215, 235));
  p.drawText(QRectF(0, 216, CoverWidth - 10, 20), Qt::AlignRight | Qt::AlignVCenter, "Loading...");
}

QPixmap CoverPicture(TCoverKind kind) {
  QPixmap picture(CoverWidth, CoverHeight);
  QPainter painter(&picture);
  PaintCover(painter, kind);
  return picture;
}

QPixmap ProductPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient g(0, 0, 64, 64);
  g.setColorAt(0, QColor(44, 110, 190));
  g.setColorAt(1, QColor(22, 52, 112));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
  p.setBrush(QColor(255, 255, 255, 230));
  for (int i = 0; i < 5; ++i) {
    p.drawRect(QRectF(9 + i * 10, 8, 6, 4));
    p.drawRect(QRectF(9 + i * 10, 52, 6, 4));
  }
  p.setBrush(Qt::white);
  PlayTriangle(p, QPointF(34, 32), 28);
  return picture;
}

QIcon ProductIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(ProductPicture(size));
  return icon;
}

QPixmap CategoryIcon(int category) {
  const int index =
      category >= 0 && static_cast<size_t>(category) < CategoryDevices.size() ? category : 0;
  QPixmap icon(20, 20);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor color = CategoryColor(index);
  QLinearGradient g(0, 0, 0, 20);
  g.setColorAt(0, color.lighter(125));
  g.setColorAt(1, color.darker(115));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 4, 4);
  DrawDevice(p, CategoryDevices[static_cast<size_t>(index)], color.darker(120));
  return icon;
}

QIcon ToolIcon(TToolGlyph glyph, const QColor &color) {
  QIcon icon;
  for (const bool disabled : {false, true}) {
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const QColor ink = disabled ? QColor(185, 185, 185) : ToolGlyphPen(color);
    QPen pen(ink, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
      case TToolGlyph::Add:
        p.drawLine(QPointF(10, 4), QPointF(10, 16));
        p.drawLine(QPointF(4, 10), QPointF(16, 10));
        break;
      case TToolGlyph::Remove: p.drawLine(QPointF(4, 10), QPointF(16, 10)); break;
      case TToolGlyph::Clear:
        p.drawLine(QPointF(5, 5), QPointF(15, 15));
        p.drawLine(QPointF(15, 5), QPointF(5, 15));
        break;
      case TToolGlyph::Edit:
        p.drawLine(QPointF(5, 15), QPointF(14.5, 5.5));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(3.5, 17), QPointF(7, 16.2));
        p.drawLine(QPointF(3, 18), QPointF(17, 18));
        break;
      case TToolGlyph::Start:
      case TToolGlyph::Play:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        PlayTriangle(p, QPointF(10, 10), 13);
        break;
      case TToolGlyph::Exit:
        p.drawArc(QRectF(4, 4.5, 12, 12), 125 * 16, 290 * 16);
        p.drawLine(QPointF(10, 2.5), QPointF(10, 9.5));
        break;
      case TToolGlyph::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(5, 4, 3.5, 12));
        p.drawRect(QRectF(11.5, 4, 3.5, 12));
        break;
      case TToolGlyph::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(5, 5, 10, 10));
        break;
      case TToolGlyph::Snapshot:
        p.setPen(QPen(ink, 1.6));
        p.drawRoundedRect(QRectF(2.5, 6, 15, 10), 2, 2);
        p.drawEllipse(QPointF(10, 11), 3, 3);
        p.drawLine(QPointF(7, 6), QPointF(8, 4));
        p.drawLine(QPointF(8, 4), QPointF(12, 4));
        p.drawLine(QPointF(12, 4), QPointF(13, 6));
        break;
      case TToolGlyph::Folder:
      case TToolGlyph::Browse:
        p.setPen(QPen(ink, 1.6));
        p.drawPolyline(
            QPolygonF({QPointF(2.5, 15.5), QPointF(2.5, 4.5), QPointF(7.5, 4.5), QPointF(9, 6.5),
                       QPointF(17.5, 6.5), QPointF(17.5, 15.5), QPointF(2.5, 15.5)}));
        if (glyph == TToolGlyph::Browse) {
          p.drawEllipse(QPointF(10, 11), 2.3, 2.3);
          p.drawLine(QPointF(11.7, 12.7), QPointF(14, 15));
        }
        break;
      case TToolGlyph::Default:
        p.drawArc(QRectF(4, 4, 12, 12), 90 * 16, 270 * 16);
        p.drawLine(QPointF(10, 4), QPointF(13, 2));
        p.drawLine(QPointF(10, 4), QPointF(13, 6.5));
        break;
    }
    p.end();
    icon.addPixmap(picture, disabled ? QIcon::Disabled : QIcon::Normal);
  }
  return icon;
}
