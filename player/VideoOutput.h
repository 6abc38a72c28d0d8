// The display: the SDL window (the host's or our own "FFPlayer" window), its renderer and the
// YUV texture, and the play thread's handling of the pipeline's events (refresh, picture
// allocation, resizing, redraw).  Used on the play thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "services/FFResources.h"

class TCustomPlayer;
class TPlayback;
struct TVideoPicture;

class TVideoOutput {
 public:
  explicit TVideoOutput(TCustomPlayer &owner);
  ~TVideoOutput();
  TVideoOutput(const TVideoOutput &) = delete;
  TVideoOutput &operator=(const TVideoOutput &) = delete;

  // Handles one SDL event; false when the playback has been closed and the loop must end.
  bool HandleEvent(const SDL_Event &event, const std::shared_ptr<TPlayback> &playback);
  void Refresh(TPlayback &playback, bool advance);

  // Output rectangle of a picture with the given display aspect, centred in the area.
  static SDL_Rect FitRect(int areaWidth, int areaHeight, double aspect);

 private:
  bool OpenOutput(TPlayback &playback, bool forced);
  void AllocatePicture(TPlayback &playback);
  void Draw(TPlayback &playback);
  void ShowPicture(TPlayback &playback, TVideoPicture &picture);
  void BlendSubtitles(TPlayback &playback, TVideoPicture &picture);
  void ExpireSubtitles(TPlayback &playback, double pictureTime, double nextPictureTime);
  void PresentPicture();
  void DrawWaveform(TPlayback &playback);
  double DisplayAspect() const;

  TCustomPlayer &FOwner;
  // Released in the reverse order: texture, renderer, window.
  TSdlWindowPtr FWindow;
  TSdlRendererPtr FRenderer;
  TSdlTexturePtr FTexture;
  int FTextureWidth = 0;
  int FTextureHeight = 0;
  AVRational FPictureSar{0, 1};
  bool FHavePicture = false;
  int FAreaWidth = 0;
  int FAreaHeight = 0;
  int FWaveStart = 0;
  std::vector<int16_t> FWave;
};
