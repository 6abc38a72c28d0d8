// The preview of one media file as the main window and the editors show it: a player of its own
// drawing into a native panel, the seek bar under it, the play and pause buttons (with stop,
// snapshot, "Mute" and the volume bar where the host wants them) and the labels of the playing
// time and the length.  What every preview does alike is decided here once: how a player is
// opened and released (only one preview holds a file at a time in the program), what the end of
// a file does, how the seek bar is set up for a file and how releasing it seeks.  The hosts keep
// what is theirs: the texts of the labels, their own flags, settings and decoration.
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/FFPlay.h"
#include "skin/Artwork.h"
#include "workspace/PreviewState.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class TTrackBar;
class TVideoSurface;

// How the parts stand in the panel.
enum class TPreviewLayout {
  // The picture over the bar, the two time labels, the buttons with "Mute", and the volume bar.
  Main,
  // The picture over the bar, the play and pause buttons beside the two labels, one over the other.
  Editor,
  // The bar over the play and pause buttons, the labels after their captions, and a small
  // picture at the right (the host shows its own still elsewhere).
  EditorSmallPicture,
};

// What a host asks of its panel: object names and sizes as the host's window has them.
struct TPreviewParts {
  TPreviewLayout Layout = TPreviewLayout::Editor;
  QSize Picture;
  const char *PictureName = "imgPreview";
  const char *BarName = "trcPreview";
  const char *PlayName = "btnPlay";
  const char *PauseName = "btnPause";
  const char *StopName = nullptr;  // with stop and snapshot buttons (Main)
  const char *SnapshotName = nullptr;
  const char *PositionName = "lblPTS";
  const char *LengthName = "lblLength";
  const char *PositionCaption = nullptr;  // EditorSmallPicture: "Time:", "Length:"
  const char *LengthCaption = nullptr;
  bool TimesInRow = false;  // Editor: the two labels side by side
  int TickFrequency = 1;
  // The video is scaled into the picture (rather than drawn at the size the player chooses).
  bool ScaleIntoPicture = true;
};

// The player's events as the host sees them; each may be empty.  All but Hook arrive on the
// window thread; Hook runs on the player's decoding thread for every picture before it is shown.
struct TPreviewEvents {
  std::function<void(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                     int &screenHeight)>
      FileOpen;
  std::function<void(int64_t pts)> Position;
  // Every state change, after the panel has applied its own rule for the end of the file.
  std::function<void(TPlayState state)> State;
  // The panel has let its file go (Close, or another preview opening a file).
  std::function<void()> Closed;
  std::function<void(TBitmap &bitmap, int64_t pts)> Hook;
};

// How long closing a preview waits for its player: until it has stopped; until it no longer
// draws into the picture (whose window may then go: a hidden dialog's windows are made anew when
// it shows again); or not at all (the picture's window stays on screen).
enum class TCloseWait { Stopped, WindowLeft, Nothing };

class TPreviewPanel : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(TPreviewPanel)

 public:
  TPreviewPanel(QWidget *parent, const TPreviewParts &parts);
  ~TPreviewPanel() override;

  // Public, as a component of the window: hosts and tests choose its drivers.
  TFFPlayer FFPlayer;

  TVideoSurface *Picture;
  TTrackBar *Bar;
  QPushButton *Play, *Pause, *Stop = nullptr, *Snapshot = nullptr;
  QLabel *Position, *Length;
  QSlider *Volume = nullptr;
  QCheckBox *Mute = nullptr;

  TPreviewEvents Events;

  // Loads the player's libraries when they are not loaded yet; false (LastErrMsg says why) when
  // they cannot be.
  bool LoadLibraries();
  // Opens `file` into the picture, playing.  A preview that holds a file elsewhere in the program
  // lets it go first.  False when it does not play (the libraries or the file cannot be opened);
  // the player's LastErrMsg says why.
  bool Open(const std::string &file);
  // As Open, without waiting for the reader to open the file: the panel shows that it is
  // opening, and `opened` runs on the window thread with the result once the file is open (the
  // file-open event has run before it) or has failed.  False at once when nothing could be
  // started; `opened` is then not called, nor after a Close (or the panel's end) in the meantime.
  bool OpenAsync(const std::string &file, std::function<void(bool ok)> opened);
  // Stops the player and gives the picture back to the panel; the bar goes back to its start,
  // disabled, and Events.Closed runs.  Nothing happens when no file is held.  Unless `wait` is
  // Stopped, the player's sound and threads end on their own: no event reaches the host any
  // more, the next player's loop starts after them, and a later Close, open or Release waits for
  // what is left.
  void Close(TCloseWait wait = TCloseWait::Stopped);
  // The host is going away: no event reaches it any more, and the player stops (waiting).
  void Release();
  // Whether a file is open (playing, paused, or waiting at its start after its end).
  bool HoldsFile() const { return !FLettingGo && (FFPlayer.Playing() || FFPlayer.Opening()); }
  bool Opening() const { return FFPlayer.Opening(); }
  bool Ended() const { return FEnded; }
  int64_t Duration() const { return FDuration; }

  void Resume();
  void PausePlayer();
  // Enables the buttons of `mode` (stop and snapshot where the panel has them).
  void ShowMode(TPreviewMode mode);
  // The time in the file the bar's position stands for.
  int64_t BarTime() const;

  // The picture on screen, full-size and as the panel shows it (fitted on black); false when
  // nothing is on screen.
  bool TakeSnapshot(QImage &full, QImage &small);

  // The buttons drawn with the theme's glyphs, for a host that recolours them.
  const std::vector<std::pair<QPushButton *, TToolGlyph>> &GlyphButtons() const {
    return FGlyphButtons;
  }

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void LayOut(const TPreviewParts &parts);
  void FileOpened(int64_t duration, int frameWidth, int frameHeight, int &screenWidth,
                  int &screenHeight);
  void StateChanged(TPlayState state);
  // Before a file is opened, and after: for the panel's own picture and buttons.
  bool BeforeOpen();
  void FinishLettingGo();
  void AfterOpen(bool ok);
  void ShowOpening(bool opening);
  void BarPressed(const QPoint &at);
  void BarReleased();

  TPreviewParts FParts;
  int64_t FDuration = 0;
  bool FEnded = false;
  bool FReleased = false;
  bool FLettingGo = false;  // closed without waiting: the player's threads still end
  QString FPositionText;    // the position label's text before "Opening..."
  std::vector<std::pair<QPushButton *, TToolGlyph>> FGlyphButtons;
};
