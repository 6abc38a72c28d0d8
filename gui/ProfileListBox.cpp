#include "gui/ProfileListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include "gui/Application.h"
#include "skin/Artwork.h"
#include "skin/ItemDrawing.h"

namespace {

const QColor ListBackground(246, 247, 248);
const QColor ProfileText(0, 0, 128);

// Expand glyph: a triangle pointing right (collapsed) or down (expanded).
void PaintGlyph(QPainter &p, const QRect &cell, bool collapsed) {
  const QPointF c(cell.left() + 10, cell.center().y() + 0.5);
  QPainterPath path;
  if (collapsed) {
    path.moveTo(c + QPointF(-2.5, -4.5));
    path.lineTo(c + QPointF(2.5, 0));
    path.lineTo(c + QPointF(-2.5, 4.5));
  } else {
    path.moveTo(c + QPointF(-4.5, -2.5));
    path.lineTo(c + QPointF(4.5, -2.5));
    path.lineTo(c + QPointF(0, 2.5));
  }
  path.closeSubpath();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 78, 96));
  p.drawPath(path);
  p.setRenderHint(QPainter::Antialiasing, false);
}

class TProfileRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter *p, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    const auto &rows = static_cast<const TProfileRowsModel *>(index.model())->Rows();
    const TProfileRow &row = rows[static_cast<size_t>(index.row())];
    const QRect r = option.rect;
    p->save();
    PaintItemBackground(*p, r, option.state & QStyle::State_Selected, ListBackground);
    QFont font = option.font;
    const QString text = QString::fromStdString(row.Text);
    if (row.Info.IsCategory) {
      PaintGlyph(*p, r, row.Info.Collapsed);
      p->drawPixmap(r.left() + TProfileListBox::GlyphWidth, r.top() + (r.height() - 20) / 2,
                    CategoryIcon(row.Info.Code));
      font.setBold(true);
      p->setFont(font);
      p->setPen(Qt::black);
      PaintItemText(*p, r.adjusted(TProfileListBox::CategoryTextLeft, 2, -2, 0), text);
    } else {
      p->setFont(font);
      p->setPen(ProfileText);
      PaintItemText(*p, r.adjusted(TProfileListBox::ProfileTextLeft, 0, -2, 0), text);
    }
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
    return QSize(100, TProfileList::RowHeight);
  }
};

}  // namespace

// Model

int TProfileRowsModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

QVariant TProfileRowsModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TProfileRow &row = FRows[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(row.Text);
    case Qt::UserRole: return row.Info.Code;
    default: return {};
  }
}

void TProfileRowsModel::SetRows(std::vector<TProfileRow> rows) {
  beginResetModel();
  FRows = std::move(rows);
  endResetModel();
}

void TProfileRowsModel::Toggle(int row) {
  if (row < 0 || row >= rowCount()) return;
  auto rows = FRows;
  TProfileList::Toggle(rows, static_cast<size_t>(row));
  SetRows(std::move(rows));
}

// View

TProfileListBox::TProfileListBox(QWidget *parent)
    : QListView(parent), FModel(new TProfileRowsModel(this)) {
  setModel(FModel);
  setItemDelegate(new TProfileRowDelegate(this));
  setUniformItemSizes(true);
  setMouseTracking(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette p = palette();
  p.setColor(QPalette::Base, ListBackground);
  setPalette(p);
}

void TProfileListBox::Toggle(int row) {
  const int top = verticalScrollBar()->value();
  FModel->Toggle(row);
  setCurrentIndex(FModel->index(row));
  verticalScrollBar()->setValue(top);
}

std::optional<int> TProfileListBox::SelectRowOfText(const QString &text) {
  const auto row = TProfileList::FindRow(Rows(), text.toStdString());
  if (!row) {
    clearSelection();
    setCurrentIndex(QModelIndex());
    return std::nullopt;
  }
  const QModelIndex index = FModel->index(static_cast<int>(*row));
  setCurrentIndex(index);
  scrollTo(index, QAbstractItemView::PositionAtCenter);
  return static_cast<int>(*row);
}

int TProfileListBox::SelectedRow() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

void TProfileListBox::mouseMoveEvent(QMouseEvent *event) {
  // The row under the cursor is the selected one, as in a menu.
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && index != currentIndex()) setCurrentIndex(index);
}

void TProfileListBox::ButtonDown(const QPoint &at) {
  emit listClicked();
  const QModelIndex index = indexAt(at);
  if (!index.isValid()) return;
  const TProfileRow &row = Rows()[static_cast<size_t>(index.row())];
  if (row.Info.IsCategory) {
    if (at.x() < GlyphWidth) Toggle(index.row());
  } else {
    setCurrentIndex(index);
    emit profilePicked(index.row());
  }
}

void TProfileListBox::mousePressEvent(QMouseEvent *event) {
  Guarded([&] { ButtonDown(event->position().toPoint()); });
}

void TProfileListBox::mouseReleaseEvent(QMouseEvent *) {}

void TProfileListBox::mouseDoubleClickEvent(QMouseEvent *event) {
  Guarded([&] {
    // The second press of a double click is a press like the first; then a category row
    // anywhere toggles.
    const QPoint at = event->position().toPoint();
    ButtonDown(at);
    const QModelIndex index = indexAt(at);
    if (index.isValid() && isVisible() && Rows()[static_cast<size_t>(index.row())].Info.IsCategory)
      Toggle(index.row());
  });
}

void TProfileListBox::keyPressEvent(QKeyEvent *event) {
  // The keyboard works the list as a menu: arrows move, Enter picks a profile or opens and
  // closes a category, Escape closes the list.
  Guarded([&] {
    const int row = currentIndex().row();
    switch (event->key()) {
      case Qt::Key_Escape: emit closeRequested(); return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (row < 0) return;
        if (Rows()[static_cast<size_t>(row)].Info.IsCategory)
          Toggle(row);
        else
          emit profilePicked(row);
        return;
      default: QListView::keyPressEvent(event);
    }
  });
}
