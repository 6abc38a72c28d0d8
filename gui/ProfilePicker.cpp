#include "gui/ProfilePicker.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/ProfileListBox.h"

namespace {

const QColor ProfileBoxColour(246, 247, 248);

// The list's popup.  A press outside it closes it, as any popup; a press on the picker's own box
// or button is not passed on to them afterwards, or it would open the list again at once.
class TProfilePopup : public QFrame {
 public:
  TProfilePopup(QWidget *owner, QWidget *box, QWidget *button)
      : QFrame(owner, Qt::Popup), FBox(box), FButton(button) {}

 protected:
  void mousePressEvent(QMouseEvent *event) override {
    const QPoint global = event->globalPosition().toPoint();
    if (!rect().contains(event->position().toPoint())) {
      const bool own = FBox->rect().contains(FBox->mapFromGlobal(global)) ||
                       FButton->rect().contains(FButton->mapFromGlobal(global));
      setAttribute(Qt::WA_NoMouseReplay, own);
    }
    QFrame::mousePressEvent(event);
  }

 private:
  QWidget *FBox, *FButton;
};

}  // namespace

TProfilePicker::TProfilePicker(QWidget *parent, const TNames &names, TOpening opening,
                               int minimumListWidth)
    : QWidget(parent), FOpening(opening), FMinimumListWidth(minimumListWidth) {
  FBox = new QLineEdit(this);
  FBox->setObjectName(names.Box);
  FBox->setReadOnly(true);
  FBox->setFocusPolicy(Qt::NoFocus);  // a box to click, never to type in
  FBox->setCursor(Qt::ArrowCursor);
  FBox->setTextMargins(4, 2, 0, 0);
  // The height of the list's rows, or what the desktop's font needs.
  const int height = std::max(22, FBox->sizeHint().height());
  FBox->setFixedHeight(height);
  FBox->installEventFilter(this);
  FButton = new QToolButton(this);
  FButton->setObjectName(names.Button);
  FButton->setArrowType(Qt::DownArrow);
  // Tab reaches the profiles through the button: Space opens the list, which the keys work.
  FButton->setFocusPolicy(Qt::TabFocus);
  FButton->setFixedSize(20, height);
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(FBox, 1);
  row->addWidget(FButton);

  FPopup = new TProfilePopup(this, FBox, FButton);
  FPopup->setObjectName(QString(names.List) + "Popup");
  FList = new TProfileListBox(FPopup);
  FList->setObjectName(names.List);
  auto *inside = new QVBoxLayout(FPopup);
  inside->setContentsMargins(0, 0, 0, 0);
  inside->addWidget(FList);
  for (QWidget *w : std::initializer_list<QWidget *>{FBox, FList}) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, ProfileBoxColour);
    w->setPalette(palette);
  }

  connect(FButton, &QToolButton::clicked, this, &TProfilePicker::buttonClicked);
  connect(FList, &TProfileListBox::closeRequested, this, &TProfilePicker::HideList);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive) HideList();
          });
}

bool TProfilePicker::ListShown() const {
  return FPopup->isVisible();
}

void TProfilePicker::ShowList(int height) {
  PlaceList(height);
  FPopup->show();
  if (FList->currentIndex().isValid())
    FList->scrollTo(FList->currentIndex(), QAbstractItemView::PositionAtCenter);
  FList->setFocus();
}

void TProfilePicker::HideList() {
  FPopup->hide();
}

void TProfilePicker::PlaceList(int height) {
  // The list never leaves the window's client area: above the box (opening upward) it ends at
  // the area's top, and it is never wider than the area right of the box.
  QWidget *area = window();
  if (auto *main = qobject_cast<QMainWindow *>(area); main && main->centralWidget())
    area = main->centralWidget();
  const QPoint boxAt = FBox->mapTo(area, QPoint(0, 0));
  const int width = std::min(std::max(FBox->width() + FButton->width(), FMinimumListWidth),
                             area->width() - boxAt.x() - 4);
  QRect shown;
  if (FOpening == TOpening::Upward) {
    const int fitting = std::min(height, boxAt.y() - 2);
    shown = QRect(boxAt.x(), boxAt.y() - fitting, width, fitting);
  } else {
    shown = QRect(boxAt.x(), boxAt.y() + FBox->height() - 1, width, height);
  }
  shown.moveTopLeft(area->mapToGlobal(shown.topLeft()));
  FPopup->setGeometry(shown);
}

void TProfilePicker::SetText(const QString &text) {
  FBox->setText(text);
  FBox->setCursorPosition(0);
}

bool TProfilePicker::eventFilter(QObject *watched, QEvent *event) {
  if (watched == FBox) {
    const QEvent::Type type = event->type();
    const bool left = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    if (left) {
      if (type == QEvent::MouseButtonPress)
        emit boxClicked();
      else
        emit boxDoubleClicked();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
