// What the three editor windows share: a preview panel of their own (a player drawing into a
// panel of the window, the seek bar under it with the play and pause buttons, and the labels of
// the playing time and the length).  Only one preview holds a file at a time in the program:
// the panel lets another's file go when it opens its own.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <functional>
#include <string>

#include "gui/PreviewPanel.h"
#include "player/FFPlay.h"
#include "skin/SkinnedDialog.h"

class QLabel;
class QLayout;
class QPushButton;
class TTrackBar;
class TVideoSurface;

// A push button with its object name and caption.
QPushButton *NamedButton(QWidget *parent, const char *name, const QString &caption);
// A UTF-8 text of the editors' rules for a widget.
QString QText(const std::string &text);

class TEditorDialog : public TSkinnedDialog {
  Q_DECLARE_TR_FUNCTIONS(TEditorDialog)

 public:
  TPreviewPanel *PreviewPanel;
  // The panel's player, a component of the window: hosts and tests choose its drivers.
  TFFPlayer &FFPlayer;

  TTrackBar *trcPreview;
  QPushButton *btnPlay, *btnPause;
  QLabel *lblPTS, *lblLength;

  int64_t Duration() const { return FDuration; }

 protected:
  // The preview panel's parts get the names and sizes the window gives them.
  TEditorDialog(QWidget *owner, const TSkinManager &mainSkin, const TPreviewParts &parts);

  // Opens `file` into the preview, playing, after loading the player's libraries if they are
  // not loaded yet, without waiting for the reader: the window is up at once, the panel shows
  // that it is opening and the play and pause buttons wait.  `opened` runs on the window thread
  // with the result, after FFPlayerFileOpen when the file plays; it is also called (false) when
  // nothing could be started, and never once the preview is closed or released.
  void OpenPreview(const std::string &file, std::function<void(bool ok)> opened);
  // Switches the hook off, clears the player's events and stops it, waiting: every window calls
  // it in its destructor, before the parts its handlers use are gone.
  void ReleasePlayer();

  // The window's layout: `top` (the page and the preview side by side) over the source label
  // after its caption, over `left` at the left and "Ok" and "Cancel" at the right.
  void LayOutRows(QLayout *top, const QString &sourceCaption, QLabel *source, QPushButton *left,
                  QPushButton *ok, QPushButton *cancel);
  // For windows of one size that show the times with the default handlers below: the time labels
  // keep the room of the longest texts those show, so that the window makes room for them from
  // the start, whatever the desktop's font.
  void ReserveRoomForTimes();
  // The time in the file the seek bar's position stands for.
  int64_t BarTime() const;
  // The play and pause buttons as they are while the preview plays (or is paused).
  void ShowPlaying(bool playing);

  // The player's events, on the window thread, after the panel has set up its bar for a new file
  // and applied its rule for the end of a file (back to the start, paused).  The defaults are
  // those of the trim and the watermark windows: the labels show "Duration:    " and "Time:    "
  // with the time text.
  virtual void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                                int &screenHeight);
  virtual void FFPlayerPosition(int64_t pts);
  virtual void FFPlayerState(TPlayState state);
  // On the player's decoding thread, for every picture before it is shown.
  virtual void FFPlayerHook(TBitmap &bitmap, int64_t pts) = 0;

  virtual void btnPlayClick();
  virtual void btnPauseClick();

  int64_t FDuration = 0;
};
