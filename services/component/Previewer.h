// The floating preview window of a conversion task, drawn with SDL2.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/Preview.h"
#include "services/Bitmap.h"
#include "services/FFResources.h"

class TSDLPreviewer : public TPreviewer {
 public:
  TSDLPreviewer();
  ~TSDLPreviewer() override;

  // Called on the conversion thread: keeps the picture and has it drawn on the main thread.
  // False once the user closed the window: the task then stops sending pictures.
  bool Show(const TBitmap &bitmap, int32_t frameNumber, int64_t pts) override;

  bool Closed() const { return FClosed; }
  // The window's caption (the time of the picture shown), for tests.
  std::string Caption() const;

 private:
  void Display();  // main thread
  void CreateWindow(int width, int height);
  void PollClose();

  std::atomic<bool> FClosed{false};
  std::mutex FLock;  // guards the picture between the conversion thread and the main thread
  TBitmap FBitmap;
  int32_t FFrameNumber = 0;
  int64_t FPts = -1;
  bool FVideoStarted = false;
  TSdlWindowPtr FWindow;
  TSdlRendererPtr FRenderer;
  TSdlTexturePtr FTexture;
  int FTextureWidth = 0, FTextureHeight = 0;
};

// Makes a previewer, loading SDL through the loader when it is first needed; null when SDL
// cannot be loaded.
std::unique_ptr<TPreviewer> CreateSDLPreviewer();
