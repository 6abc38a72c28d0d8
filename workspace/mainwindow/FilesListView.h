// The conversion list as the user sees it: one row per source with a check box, drawn by the
// program (alternating theme colours, the selection bar and frame, the check box and tick), and
// files or folders dropped on it.  The rows are TConversionList's; the main window changes them
// there and tells the view.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QCoreApplication>
#include <QTreeView>
#include <set>

#include "workspace/ConversionList.h"

class TFilesModel : public QAbstractTableModel {
  Q_DECLARE_TR_FUNCTIONS(TFilesModel)

 public:
  enum TColumn { colSource, colLength, colTrimmedLength, colDestination, colProgress, ColumnCount };

  TFilesModel(TConversionList &rows, QObject *parent) : QAbstractTableModel(parent), FRows(rows) {}
  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The rows changed as a whole (added, removed, cleared, checked).
  void Reload();
  // One row's texts or check box changed.
  void RowChanged(int row);

 private:
  TConversionList &FRows;
};

class TFilesListView : public QTreeView {
  Q_OBJECT

 public:
  TFilesListView(TConversionList &rows, QWidget *parent);

  TFilesModel &Model() { return *FModel; }
  // Sets the five columns up with their captions and widths.
  void SetUpColumns();
  // The row the editors, the file information and the preview act on: the focused row when it is
  // selected, otherwise the first selected one (-1: none).
  int SelectedRow() const;
  // Every selected row (Remove and the check commands act on them all).
  std::set<int> SelectedRows() const;
  // Selects a row alone and makes it the focused row (-1: no selection).
  void SelectRow(int row);
  // Background of the odd rows (the current theme's colour).
  void SetOddRowColor(const QColor &color);
  QColor OddRowColor() const { return FOddRow; }

 signals:
  void checkClicked(int row);
  void contextMenuRequested(const QPoint &globalPos);
  void filesDropped(const QStringList &paths);
  void deletePressed();
  void escapePressed();

 protected:
  void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
  void mousePressEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;

 private:
  TConversionList &FRows;
  TFilesModel *FModel;
  QColor FOddRow{226, 230, 246};
};
