// The drop-down list of the profile box: category rows (bold, with an expand glyph and the
// category's icon) and, under an expanded category, its profile rows.  The rows themselves and
// the rules for toggling and picking are TProfileList's; this widget shows them and turns mouse
// actions into toggles and picks.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <optional>
#include <vector>

#include "workspace/ProfileList.h"

class TProfileRowsModel : public QAbstractListModel {
 public:
  explicit TProfileRowsModel(QObject *parent) : QAbstractListModel(parent) {}
  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;

  const std::vector<TProfileRow> &Rows() const { return FRows; }
  void SetRows(std::vector<TProfileRow> rows);
  void Toggle(int row);

 private:
  std::vector<TProfileRow> FRows;
};

class TProfileListBox : public QListView {
  Q_OBJECT

 public:
  // Rows drawn 20 pixels high, the category icon 20 pixels right of the list's left edge.
  static constexpr int GlyphWidth = 20;
  static constexpr int CategoryTextLeft = 45;
  static constexpr int ProfileTextLeft = 25;

  explicit TProfileListBox(QWidget *parent);

  const std::vector<TProfileRow> &Rows() const { return FModel->Rows(); }
  void SetRows(std::vector<TProfileRow> rows) { FModel->SetRows(std::move(rows)); }
  void Toggle(int row);
  // Selects the row whose text equals `text` with blanks trimmed (none when no row does).
  std::optional<int> SelectRowOfText(const QString &text);
  int SelectedRow() const;

 signals:
  // A mouse button went down on the list (before the row under it was toggled or picked).
  void listClicked();
  // A mouse button went down on a profile row, or Enter was pressed on it.
  void profilePicked(int row);
  // Escape: the list is to close without a pick.
  void closeRequested();

 protected:
  void mouseMoveEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void ButtonDown(const QPoint &at);

  TProfileRowsModel *FModel;
};
