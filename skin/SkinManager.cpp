#include "skin/SkinManager.h"

#include <QPalette>
#include <QWidget>
#include <array>

namespace {

// Odd-row colours as the users know them from the list; the other colours are this product's
// look of each theme.
const std::array<TSkinTheme, TSkinManager::ThemeCount> Themes = {{
    {QT_TRANSLATE_NOOP("TSkinManager", "Default"), QColor(226, 230, 246), QColor(59, 99, 170),
     QColor(236, 239, 247), QColor(150, 164, 200)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Gray"), QColor(236, 236, 236), QColor(96, 96, 100),
     QColor(238, 238, 238), QColor(164, 164, 168)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Orange"), QColor(248, 242, 224), QColor(214, 122, 32),
     QColor(249, 243, 232), QColor(214, 178, 130)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Purple"), QColor(246, 230, 241), QColor(132, 72, 150),
     QColor(246, 238, 245), QColor(190, 156, 196)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Red"), QColor(247, 225, 225), QColor(180, 50, 44),
     QColor(248, 237, 237), QColor(206, 150, 150)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Green"), QColor(226, 247, 225), QColor(52, 140, 66),
     QColor(236, 246, 236), QColor(146, 192, 150)},
    {QT_TRANSLATE_NOOP("TSkinManager", "Light blue"), QColor(225, 240, 247), QColor(44, 146, 200),
     QColor(234, 244, 250), QColor(140, 190, 216)},
}};

QString Css(const QColor &c) {
  return c.name(QColor::HexRgb);
}

}  // namespace

const TSkinTheme &TSkinManager::Theme(int index) {
  return Themes.at(static_cast<size_t>(index));
}

bool TSkinManager::SetThemeIndex(int index) {
  if (index < 0 || index >= ThemeCount) return false;
  FIndex = index;
  return true;
}

QString TSkinManager::StyleSheet() const {
  const TSkinTheme &t = Current();
  const QString accent = Css(t.Accent), border = Css(t.Border), window = Css(t.Window);
  const QString light = Css(t.Accent.lighter(175)), pale = Css(t.OddRow);
  const QString dark = Css(t.Accent.darker(130));
  return QString(R"(
QMainWindow, QDialog { background: %3; }
QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 %5);
           border-bottom: 1px solid %2; }
QMenuBar::item { padding: 3px 8px; background: transparent; }
QMenuBar::item:selected { background: %1; color: white; }
QMenu { background: white; border: 1px solid %2; }
QMenu::item { padding: 4px 22px 4px 22px; }
QMenu::item:selected { background: %4; color: black; }
QMenu::item:disabled { color: #a0a0a0; }
QMenu::separator { height: 1px; background: %2; margin: 3px 6px; }
QGroupBox { border: 1px solid %2; border-radius: 4px; margin-top: 8px; padding-top: 4px;
            background: rgba(255, 255, 255, 150); }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: %6;
                   font-weight: bold; }
QPushButton { border: 1px solid %2; border-radius: 3px; padding: 3px 8px;
              background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 %5); }
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,
                    stop:1 %4); border-color: %1; }
QPushButton:pressed { background: %4; }
QPushButton:disabled { color: #a0a0a0; border-color: #c8c8c8; background: #f2f2f2; }
QPushButton#btnStart, QPushButton#btnStart2 { background: qlineargradient(x1:0, y1:0, x2:0,
              y2:1, stop:0 %4, stop:1 %1); color: white; font-weight: bold; border-color: %6; }
QPushButton#btnStart:hover, QPushButton#btnStart2:hover { background: %1; }
QPushButton#btnStart:disabled, QPushButton#btnStart2:disabled { background: #d8d8d8;
              color: #f4f4f4; border-color: #c0c0c0; }
QToolButton#btnFormatDrop { border: 1px solid %2; border-left: none; background: %5; }
QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,
                       stop:1 %5); border: none; border-right: 1px solid %2;
                       border-bottom: 1px solid %2; padding: 3px 4px; }
QTreeView, QListView { border: 1px solid %2; background: white; }
QLineEdit { border: 1px solid %2; padding: 1px 3px; background: white; }
QLineEdit:read-only { background: rgb(246, 247, 248); }
QComboBox { border: 1px solid %2; padding: 1px 2px 1px 3px; background: white; }
QComboBox:disabled { color: #a0a0a0; background: #f4f4f4; }
QComboBox QAbstractItemView { border: 1px solid %2; background: white; }
QSlider::groove:horizontal { height: 4px; background: %2; border-radius: 2px; }
QSlider::sub-page:horizontal { background: %1; border-radius: 2px; }
QSlider::handle:horizontal { background: white; border: 1px solid %1; width: 10px;
                             margin: -5px 0; border-radius: 5px; }
QSlider::groove:horizontal:disabled { background: #d0d0d0; }
QSlider::sub-page:horizontal:disabled { background: #d0d0d0; }
QSlider::handle:horizontal:disabled { border-color: #b0b0b0; }
QProgressBar { border: 1px solid %2; border-radius: 3px; background: white; text-align: center; }
QProgressBar::chunk { background: %1; }
)")
      .arg(accent, border, window, light, pale, dark);
}

void TSkinManager::Apply(QWidget *window) const {
  const TSkinTheme &t = Current();
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, t.Window);
  palette.setColor(QPalette::Highlight, QColor(185, 204, 236));
  palette.setColor(QPalette::HighlightedText, Qt::black);
  palette.setColor(QPalette::AlternateBase, t.OddRow);
  palette.setColor(QPalette::Link, t.Accent.darker(120));
  window->setPalette(palette);
  window->setStyleSheet(StyleSheet());
}
