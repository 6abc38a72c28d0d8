// Every window at the desktop's font and screen scale (the ctest entries run this program with a
// 12-point desktop font and with QT_SCALE_FACTOR=2): no text of a label, button, check box or
// group box is cut, and no two controls side by side cover each other.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "gui/ProfileListBox.h"
#include "gui/VideoSurface.h"
#include "tests/support/RecordingServices.h"
#include "tests/windows/WindowFixture.h"
#include "windows/WinDirectory.h"
#include "workspace/mainwindow/FilesListView.h"
#include "workspace/mainwindow/WinShutDown.h"

namespace {

QString NameOf(const QWidget &widget) {
  QString name = widget.objectName();
  if (name.isEmpty()) name = widget.metaObject()->className();
  if (const auto *label = qobject_cast<const QLabel *>(&widget))
    return name + " '" + label->text() + "'";
  if (const auto *button = qobject_cast<const QAbstractButton *>(&widget))
    return name + " '" + button->text() + "'";
  if (const auto *group = qobject_cast<const QGroupBox *>(&widget))
    return name + " '" + group->title() + "'";
  return name;
}

// The size below which the widget's text no longer shows whole; an empty size for widgets
// without a text of their own.
QSize NeededForText(const QWidget &widget) {
  if (const auto *label = qobject_cast<const QLabel *>(&widget)) {
    if (label->text().isEmpty()) return {};
    // A wrapped text needs the lines its width gives it.
    if (label->wordWrap()) return {0, label->heightForWidth(label->width())};
    return label->minimumSizeHint();
  }
  if (const auto *button = qobject_cast<const QAbstractButton *>(&widget))
    return button->text().isEmpty() ? QSize() : button->minimumSizeHint();
  if (qobject_cast<const QGroupBox *>(&widget)) return widget.minimumSizeHint();
  // A combo box shows its value whole in its field.
  if (const auto *box = qobject_cast<const QComboBox *>(&widget)) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    const int icon = box->itemIcon(box->currentIndex()).isNull() ? 0 : box->iconSize().width() + 4;
    const int text = box->fontMetrics().horizontalAdvance(box->currentText()) + icon;
    return {box->width() - field.width() + text, box->minimumSizeHint().height()};
  }
  // A box shows one line of text: its height must take it (the box inside a combo box or a spin
  // box is the height its frame leaves).
  const bool inner = qobject_cast<const QComboBox *>(widget.parentWidget()) ||
                     qobject_cast<const QAbstractSpinBox *>(widget.parentWidget());
  if (qobject_cast<const QLineEdit *>(&widget) && !inner)
    return {0, widget.minimumSizeHint().height()};
  return {};
}

bool Shown(const QWidget &widget, const QWidget &window) {
  return widget.window() == &window && widget.isVisibleTo(&window);
}

// What does not fit in `window`: every text control smaller than its text needs, and every two
// shown controls of one parent that cover each other.
QStringList Misfits(const QWidget &window) {
  QStringList found;
  const QString where = window.objectName() + ": ";
  QList<QWidget *> parents{const_cast<QWidget *>(&window)};
  for (QWidget *widget : window.findChildren<QWidget *>()) {
    if (!Shown(*widget, window)) continue;
    parents << widget;
    const QSize needed = NeededForText(*widget);
    if (needed.isValid() &&
        (widget->width() < needed.width() || widget->height() < needed.height()))
      found << where + QString("%1 cut: %2 x %3 < %4 x %5")
                           .arg(NameOf(*widget))
                           .arg(widget->width())
                           .arg(widget->height())
                           .arg(needed.width())
                           .arg(needed.height());
  }
  for (const QWidget *parent : parents) {
    // What a scroll area shows is meant to reach past its edges.
    const bool scrolled = qobject_cast<const QAbstractScrollArea *>(parent->parentWidget());
    QList<const QWidget *> children;
    for (const QObject *child : parent->children()) {
      const auto *widget = qobject_cast<const QWidget *>(child);
      if (widget && !widget->isWindow() && Shown(*widget, window)) children << widget;
    }
    for (const QWidget *child : children)
      if (!scrolled && !parent->rect().contains(child->geometry()))
        found << where + QString("%1 sticks out of %2").arg(NameOf(*child), NameOf(*parent));
    for (qsizetype a = 0; a < children.size(); ++a)
      for (qsizetype b = a + 1; b < children.size(); ++b)
        if (children[a]->geometry().intersects(children[b]->geometry()))
          found << where +
                       QString("%1 and %2 overlap").arg(NameOf(*children[a]), NameOf(*children[b]));
  }
  return found;
}

// Misfits on every page of the window's tabs.
QStringList MisfitsOnEveryPage(QWidget &window) {
  QStringList found = Misfits(window);
  for (QTabWidget *tabs : window.findChildren<QTabWidget *>()) {
    for (int page = 1; page < tabs->count(); ++page) {
      tabs->setCurrentIndex(page);
      QTest::qWait(50);
      found << Misfits(window);
    }
    tabs->setCurrentIndex(0);
  }
  return found;
}

}  // namespace

class TWindowFitTest : public TWindowFixture {
  Q_OBJECT

  std::unique_ptr<TRecordedDesktop> FDesktop;
  QStringList FMisfits;

  // Looks at the modal window that `entry` opens.
  void CheckModal(QAction *entry) {
    FDialogs->OnModal = [&](QDialog &dialog) {
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      FMisfits << MisfitsOnEveryPage(dialog);
    };
    entry->trigger();
    FDialogs->OnModal = nullptr;
  }

 private slots:
  void init() {
    Begin();
    FDesktop = std::make_unique<TRecordedDesktop>();
    Store().SetOutPutDir((Dir() / "out").string());
    FMisfits.clear();
  }
  void cleanup() {
    End();
    FDesktop.reset();
  }

  // The desktop's font reaches the windows as it is.
  void theWindowsTakeTheDesktopsFont() {
    const char *points = std::getenv("MORVANE_TEST_FONT_SIZE");
    if (!points) QSKIP("the desktop's font is left as it is");
    TfrmMain &window = Open();
    QCOMPARE(QApplication::font().pointSizeF(), std::atof(points));
    QCOMPARE(window.btnAdd->font().pointSizeF(), std::atof(points));
  }

  // The main window with its list, parameter panel and preview, the profile list open, the
  // editors on every page, the file information, the preferences, the profile settings and the
  // about box.
  void theMainWindowAndItsDialogsShowEveryText() {
    TfrmMain &window = OpenWithFiles({Media(fixtures::Clip(2.0), "clip.mp4")});
    window.lvFiles->SelectRow(0);
    FMisfits << Misfits(window);
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    QVERIFY(window.lbFormat->isVisible());
    FMisfits << Misfits(window);
    QTest::mouseClick(window.btnFormatDrop, Qt::LeftButton);
    // The window as large as the screen, with its grown preview.
    const QRect normal = window.geometry();
    window.setGeometry(window.screen()->availableGeometry());
    QTRY_VERIFY(window.pnlPreview->width() > 243);
    // The panel around the picture follows it.
    const auto *preview = window.findChild<QWidget *>("grpPreview");
    QTRY_VERIFY(preview->width() > window.pnlPreview->width());
    FMisfits << Misfits(window);
    window.setGeometry(normal);
    for (QAction *entry : {window.mnuTrim, window.mnuCrop, window.mnuWaterMark, window.pmVideoInfo,
                           window.mnuPreference, window.mnuSettings, window.mnuAbout})
      CheckModal(entry);
    QVERIFY2(FMisfits.isEmpty(), qPrintable(FMisfits.join('\n')));
  }

  // The progress window during a conversion, the count-down before a shut-down and the folder
  // chooser.
  void theBatchWindowsShowEveryText() {
    TfrmMain &window = OpenWithFiles({Media(fixtures::Clip(8.0, 640, 360), "long.mp4")});
    FDialogs->OnModal = [&](QDialog &progress) {
      QTRY_VERIFY_WITH_TIMEOUT(!window.Files().Row(0).ProgressText.empty(), 30000);
      FMisfits << Misfits(progress);
      window.btnStop->click();
    };
    QTest::mouseClick(window.btnStart, Qt::LeftButton);
    FDialogs->OnModal = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!window.BatchRunning(), 30000);
    window.StartShutDownCountdown();
    QVERIFY(window.frmShutDown && QTest::qWaitForWindowExposed(window.frmShutDown.get()));
    FMisfits << Misfits(*window.frmShutDown);
    window.frmShutDown->close();

    const TSkinManager skin;
    TfmDirectory chooser(&window, skin, *FDialogs);
    chooser.SelectFolder(QString::fromStdString(Dir().string()));
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    FMisfits << Misfits(chooser);
    QVERIFY2(FMisfits.isEmpty(), qPrintable(FMisfits.join('\n')));
  }
};

int main(int argc, char **argv) {
  // The font a desktop set to this size hands the program through its platform theme: in place
  // before the application starts.
  if (const char *points = std::getenv("MORVANE_TEST_FONT_SIZE")) {
    QFont font("DejaVu Sans");
    font.setPointSizeF(std::atof(points));
    QApplication::setFont(font);
  }
  return RunWindowTests<TWindowFitTest>(argc, argv);
}

#include "WindowFitTest.moc"
