// The one drawing rule of every drop-down list in the program (the parameter boxes and the
// profile list): a selected item is a pale blue bar with a blue frame, an unselected one plain.
#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class QPainter;

inline const QColor SelectedItemFill(185, 204, 236);
inline const QColor SelectedItemFrame(122, 160, 218);

// Fills the item's rectangle: selected, shrunk by 2 pixels and framed 1 pixel larger; otherwise
// the whole rectangle with `unselected`.
void PaintItemBackground(QPainter &painter, const QRect &rect, bool selected,
                         const QColor &unselected);

// Single-line text, vertically centred, ending in an ellipsis when it is too long.
void PaintItemText(QPainter &painter, const QRect &rect, const QString &text,
                   Qt::Alignment horizontal = Qt::AlignLeft);

class TSkinItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override;
  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
