// The seven colour themes of the program's windows and the theme manager every window holds.
// The main window's manager holds the current theme; the other windows copy it when they show.
#pragma once

#include <QColor>
#include <QString>

class QWidget;

struct TSkinTheme {
  const char *Name;  // caption of its entry in the Skin menu
  QColor OddRow;     // background of the odd rows of the conversion list (even rows are white)
  QColor Accent;     // title bars of groups, menu highlight, the Start buttons
  QColor Window;     // window background
  QColor Border;     // frames of boxes, buttons and groups
};

class TSkinManager {
 public:
  static constexpr int ThemeCount = 7;
  static const TSkinTheme &Theme(int index);  // index 0..6

  int ThemeIndex() const { return FIndex; }
  const TSkinTheme &Current() const { return Theme(FIndex); }
  // Selects a theme; an index outside 0..6 keeps the current one and returns false.
  bool SetThemeIndex(int index);
  void Assign(const TSkinManager &other) { FIndex = other.FIndex; }

  // Gives a window the theme's palette and style sheet (its child widgets follow).
  void Apply(QWidget *window) const;
  QString StyleSheet() const;

 private:
  int FIndex = 0;  // "Default"
};
