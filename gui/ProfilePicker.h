// The profile box with its drop-down button and its drop-down profile list, as the main window
// and the profile settings dialog show them.  The list drops in a popup of its own, which closes
// when a press lands outside it or the application loses the focus; what a click, a double click
// or a pick means is the host's (the main window and the dialog open the list and pick profiles
// by rules of their own).
#pragma once

#include <QWidget>

class QFrame;
class QLineEdit;
class QToolButton;
class TProfileListBox;

class TProfilePicker : public QWidget {
  Q_OBJECT

 public:
  enum class TOpening { Upward, Downward };
  // The object names of the box, the button and the list, which the host's tests and themes use.
  struct TNames {
    const char *Box, *Button, *List;
  };

  TProfilePicker(QWidget *parent, const TNames &names, TOpening opening, int minimumListWidth);

  QLineEdit *Box() const { return FBox; }
  QToolButton *Button() const { return FButton; }
  TProfileListBox *List() const { return FList; }

  bool ListShown() const;
  // Places the list at `height` (or less, where the window ends) against the box, shows it with
  // its current row in the middle and gives it the focus.
  void ShowList(int height);
  void HideList();
  // Places the shown list again at `height`, as a click in it or its rows changing ask.
  void PlaceList(int height);
  // The box's text, shown from its start.
  void SetText(const QString &text);

 signals:
  void boxClicked();
  void boxDoubleClicked();
  void buttonClicked();

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  QLineEdit *FBox;
  QToolButton *FButton;
  QFrame *FPopup;
  TProfileListBox *FList;
  TOpening FOpening;
  int FMinimumListWidth;
};
