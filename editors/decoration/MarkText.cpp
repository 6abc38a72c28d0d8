#include "editors/decoration/MarkText.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>

QFont MarkQFont(const TMarkFont &font) {
  QFont result(QString::fromStdString(font.Name));
  result.setPixelSize(std::max(1, (font.Size * 96 + 36) / 72));  // points to pixels, rounded
  result.setBold(font.Bold);
  result.setItalic(font.Italic);
  result.setUnderline(font.Underline);
  result.setStrikeOut(font.StrikeOut);
  return result;
}

bool DrawMarkText(TBitmap &frame, const std::string &text, const TMarkFont &font, int x, int y) {
  if (!QGuiApplication::instance()) return false;
  if (text.empty() || frame.Width() <= 0 || frame.Height() <= 0) return true;
  // The image shares the frame's memory: the painter draws straight into the frame.
  QImage image(frame.ScanLine(0), frame.Width(), frame.Height(), frame.LineSize(),
               QImage::Format_BGR888);
  QPainter painter(&image);
  painter.setFont(MarkQFont(font));
  const uint32_t color = font.Color;  // 0x00BBGGRR
  painter.setPen(QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  painter.drawText(x, y + painter.fontMetrics().ascent(), QString::fromUtf8(text));
  return true;
}
