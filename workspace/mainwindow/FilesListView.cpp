#include "workspace/mainwindow/FilesListView.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

#include "gui/Application.h"
#include "gui/Translations.h"
#include "skin/ItemDrawing.h"

namespace {

constexpr int RowHeight = 20;
// The check box square spans these pixels from the left edge of the first column.
constexpr int CheckLeft = 2, CheckRight = 14;
constexpr int CaptionLeft = CheckRight + 4;

const QColor SelectedFocused(185, 204, 236), SelectedUnfocused(229, 236, 248);
const QColor FrameFocused(122, 160, 218), FrameUnfocused(152, 181, 226);
const QColor FailedText(170, 30, 30);

struct TColumnInfo {
  const char *Caption;
  int Width;
  Qt::Alignment Alignment;
};
constexpr TColumnInfo Columns[TFilesModel::ColumnCount] = {
    {QT_TRANSLATE_NOOP("TFilesModel", "Source"), 140, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("TFilesModel", "Length"), 65, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("TFilesModel", "Trimmed Length"), 90, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("TFilesModel", "Destination File"), 120, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("TFilesModel", "Progress"), 60, Qt::AlignHCenter}};

class TRowHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), RowHeight);
  }
};

QString Text(const std::string &text) {
  return QString::fromStdString(text);
}

}  // namespace

// Model

int TFilesModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : FRows.Count();
}

int TFilesModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant TFilesModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= FRows.Count()) return {};
  const TConversionRow &row = FRows.Rows()[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case colSource: return Text(row.Caption);
        case colLength: return row.Reading ? tr("reading...") : Text(row.LengthText);
        case colTrimmedLength: return Text(row.TrimmedLengthText);
        case colDestination: return Text(row.DestinationText);
        case colProgress: return row.SourceGone ? tr("Missing") : ShownText(row.ProgressText);
      }
      break;
    case Qt::CheckStateRole:
      if (index.column() == colSource) return row.Checked ? Qt::Checked : Qt::Unchecked;
      break;
    case Qt::ToolTipRole:
      // A row whose source has gone says so, a failed row tells why, a finished one what it
      // warned of; otherwise the full path, which the narrow column cuts.
      if (row.SourceGone)
        return tr("The source file is no longer there: the row is not converted.");
      if (!row.FailReason.empty()) return ShownText(row.FailReason);
      if (!row.Warning.empty()) return ShownText(row.Warning);
      if (index.column() == colSource) return Text(row.Caption);
      break;
    case Qt::TextAlignmentRole: return QVariant::fromValue(Columns[index.column()].Alignment);
  }
  return {};
}

QVariant TFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return tr(Columns[section].Caption);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

void TFilesModel::Reload() {
  beginResetModel();
  endResetModel();
}

void TFilesModel::RowChanged(int row) {
  if (row < 0 || row >= FRows.Count()) return;
  emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

// View

TFilesListView::TFilesListView(TConversionList &rows, QWidget *parent)
    : QTreeView(parent), FRows(rows), FModel(new TFilesModel(rows, this)) {
  setModel(FModel);
  setItemDelegate(new TRowHeightDelegate(this));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);  // Shift, Ctrl and Ctrl+A
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  SetUpColumns();
}

void TFilesListView::SetUpColumns() {
  // A caption wider than its column (with a larger font than the widths were made for) widens
  // the column, so that no caption is cut.
  const QFontMetrics metrics(header()->font());
  for (int c = 0; c < TFilesModel::ColumnCount; ++c)
    setColumnWidth(c,
                   std::max(Columns[c].Width,
                            metrics.horizontalAdvance(TFilesModel::tr(Columns[c].Caption)) + 14));
}

int TFilesListView::SelectedRow() const {
  const QModelIndex current = currentIndex();
  if (current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex()))
    return current.row();
  const std::set<int> rows = SelectedRows();
  return rows.empty() ? -1 : *rows.begin();
}

std::set<int> TFilesListView::SelectedRows() const {
  std::set<int> rows;
  for (const QModelIndex &index : selectionModel()->selectedRows()) rows.insert(index.row());
  return rows;
}

void TFilesListView::SelectRow(int row) {
  if (row < 0 || row >= FRows.Count()) {
    clearSelection();
    return;
  }
  const QModelIndex index = FModel->index(row, 0);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void TFilesListView::SetOddRowColor(const QColor &color) {
  FOddRow = color;
  viewport()->update();
}

void TFilesListView::drawRow(QPainter *p, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
  const int row = index.row();
  const TConversionRow &data = FRows.Rows()[static_cast<size_t>(row)];
  const QRect bounds = option.rect;
  const bool selected = selectionModel()->isRowSelected(row, QModelIndex());
  const bool focused = hasFocus() && currentIndex().row() == row;
  const QColor background = row % 2 == 1 ? FOddRow : QColor(Qt::white);

  p->save();
  p->fillRect(bounds, background);
  const QRect bar = bounds.adjusted(1, 0, -1, 0);
  if (selected) p->fillRect(bar, focused ? SelectedFocused : SelectedUnfocused);

  const QHeaderView *h = header();
  auto cell = [&](int column) {
    return QRect(h->sectionViewportPosition(column), bounds.top(), h->sectionSize(column),
                 bounds.height());
  };

  // The check box: a square with a 2-pixel frame, vertically centred; its tick.
  const QRect first = cell(TFilesModel::colSource);
  const qreal left = first.left() + CheckLeft, middle = bounds.top() + bounds.height() / 2.0;
  const qreal side = CheckRight - CheckLeft;
  p->setRenderHint(QPainter::Antialiasing, false);
  p->setPen(QPen(Qt::black, 2));
  p->setBrush(Qt::NoBrush);
  p->drawRect(QRectF(left + 1, middle - side / 2 + 1, side - 2, side - 2));
  if (data.Checked) {
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p->drawPolyline(QPolygonF({QPointF(left + 3.5, middle), QPointF(left + 5.5, middle + 2.5),
                               QPointF(left + 9, middle - 3)}));
    p->setRenderHint(QPainter::Antialiasing, false);
  }
  p->setPen(QPen(Qt::black, 1));

  p->setFont(font());
  for (int c = 0; c < TFilesModel::ColumnCount; ++c) {
    if (isColumnHidden(c)) continue;
    QRect r = cell(c);
    r = c == TFilesModel::colSource ? r.adjusted(CaptionLeft, 0, -3, 0) : r.adjusted(3, 0, -3, 0);
    const bool failed =
        c == TFilesModel::colProgress && (!data.FailReason.empty() || data.SourceGone);
    p->setPen(failed ? FailedText : QColor(Qt::black));
    PaintItemText(*p, r, FModel->data(FModel->index(row, c), Qt::DisplayRole).toString(),
                  Columns[c].Alignment);
  }

  if (selected) {
    p->setPen(focused ? FrameFocused : FrameUnfocused);
    p->setBrush(Qt::NoBrush);
    p->drawRect(bar.adjusted(0, 0, -1, -1));
  }
  p->restore();
}

void TFilesListView::mousePressEvent(QMouseEvent *event) {
  QTreeView::mousePressEvent(event);
  Guarded([&] {
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    const int left = header()->sectionViewportPosition(TFilesModel::colSource);
    if (event->button() == Qt::LeftButton && index.isValid() && at.x() >= left + CheckLeft &&
        at.x() <= left + CheckRight)
      emit checkClicked(index.row());
    if (event->button() == Qt::RightButton)
      emit contextMenuRequested(event->globalPosition().toPoint());
  });
}

void TFilesListView::keyPressEvent(QKeyEvent *event) {
  // Space toggles the focused row's check box and Delete removes it, as in other lists.
  if (event->key() == Qt::Key_Space && currentIndex().isValid()) {
    Guarded([&] { emit checkClicked(currentIndex().row()); });
    return;
  }
  if (event->key() == Qt::Key_Delete) {
    Guarded([&] { emit deletePressed(); });
    return;
  }
  // Escape stops files that are still being added (a folder's walk, the rows still reading).
  if (event->key() == Qt::Key_Escape) {
    Guarded([&] { emit escapePressed(); });
    return;
  }
  QTreeView::keyPressEvent(event);
}

namespace {

QStringList LocalPaths(const QMimeData *data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl &url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace

void TFilesListView::dragEnterEvent(QDragEnterEvent *event) {
  dragMoveEvent(event);
}

void TFilesListView::dragMoveEvent(QDragMoveEvent *event) {
  if (LocalPaths(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void TFilesListView::dropEvent(QDropEvent *event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  Guarded([&] { emit filesDropped(paths); });
}
