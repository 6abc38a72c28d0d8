// What the three editor windows share: a player of their own that draws into a panel of the
// window, the seek bar under it with the play and pause buttons, and the labels of the playing
// time and the length.  Only one player plays at a time in the program: the main window stops
// its preview before it shows an editor.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "player/FFPlay.h"
#include "skin/SkinnedDialog.h"

class QLabel;
class QLayout;
class QPushButton;
class TTrackBar;
class TVideoSurface;

// A push button with its object name and caption.
QPushButton *NamedButton(QWidget *parent, const char *name, const char *caption);
// A UTF-8 text of the editors' rules for a widget.
QString QText(const std::string &text);

class TEditorDialog : public TSkinnedDialog {
 public:
  // Public, as a component of the window: hosts and tests choose its drivers.
  TFFPlayer FFPlayer;

  TTrackBar *trcPreview;
  QPushButton *btnPlay, *btnPause;
  QLabel *lblPTS, *lblLength;

  int64_t Duration() const { return FDuration; }

 protected:
  // The play and pause buttons get the names the window gives them.
  TEditorDialog(QWidget *owner, const TSkinManager &mainSkin, const char *playName,
                const char *pauseName);

  // Opens `file` into `panel`, playing, after loading the player's libraries if they are not
  // loaded yet.  False when the file does not play (the libraries or the file cannot be
  // opened).
  bool OpenPreview(TVideoSurface *panel, const std::string &file);
  // Switches the hook off, clears the player's events and stops it, waiting: every window calls
  // it in its destructor, before the parts its handlers use are gone.
  void ReleasePlayer();

  // The window's layout: `top` (the page and the preview side by side) over the source label
  // after its caption, over `left` at the left and "Ok" and "Cancel" at the right.
  void LayOutRows(QLayout *top, const char *sourceCaption, QLabel *source, QPushButton *left,
                  QPushButton *ok, QPushButton *cancel);
  // The seek bar as a newly opened file sets it up: ticks every `frequency`, no tick marks, one
  // value per pixel, no selection, the handle shown when the file has a length, at the start.
  void SetUpSeekBar(int frequency);
  // The time in the file the seek bar's position stands for.
  int64_t BarTime() const;
  // The play and pause buttons as they are while the preview plays (or is paused).
  void ShowPlaying(bool playing);

  // The player's events, on the window thread.  The defaults are those of the trim and the
  // watermark windows: the labels show "Duration:    " and "Time:    " with the time text, the
  // end of the file rewinds and pauses.
  virtual void FFPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                                int &screenHeight);
  virtual void FFPlayerPosition(int64_t pts);
  virtual void FFPlayerState(TPlayState state);
  // On the player's decoding thread, for every picture before it is shown.
  virtual void FFPlayerHook(TBitmap &bitmap, int64_t pts) = 0;

  virtual void btnPlayClick();
  virtual void btnPauseClick();
  // The left mouse button was released over the seek bar: seeks to its position.
  virtual void trcPreviewMouseUp();

  bool eventFilter(QObject *watched, QEvent *event) override;

  TVideoSurface *FPanel = nullptr;  // where the player draws
  int64_t FDuration = 0;
};
