#include "skin/ItemDrawing.h"

#include <QPainter>

void PaintItemBackground(QPainter &painter, const QRect &rect, bool selected,
                         const QColor &unselected) {
  if (!selected) {
    painter.fillRect(rect, unselected);
    return;
  }
  painter.fillRect(rect, Qt::white);
  const QRect bar = rect.adjusted(2, 2, -2, -2);
  painter.fillRect(bar, SelectedItemFill);
  painter.setPen(SelectedItemFrame);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(bar.adjusted(-1, -1, 0, 0));
}

void PaintItemText(QPainter &painter, const QRect &rect, const QString &text,
                   Qt::Alignment horizontal) {
  const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
  painter.drawText(rect, static_cast<int>(horizontal | Qt::AlignVCenter | Qt::TextSingleLine),
                   shown);
}

void TSkinItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const {
  painter->save();
  const bool selected = option.state & QStyle::State_Selected;
  PaintItemBackground(*painter, option.rect, selected, Qt::white);
  const bool enabled = option.state & QStyle::State_Enabled;
  painter->setPen(enabled ? Qt::black : Qt::gray);
  painter->setFont(option.font);
  PaintItemText(*painter, option.rect.adjusted(3, 0, -2, 0), index.data().toString());
  painter->restore();
}

QSize TSkinItemDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(qMax(size.height(), option.fontMetrics.height() + 6));
  return size;
}
