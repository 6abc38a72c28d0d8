// Subtitles of a playback: a decoder thread that keeps up to four decoded bitmap subtitles, with
// their palettes turned to YUVA, for the display to blend into the pictures.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "services/FFResources.h"

class TPlayback;

struct TSubPicture {
  double Pts = 0;  // seconds
  AVSubtitle Sub{};
};

class TSubtitleDecoder {
 public:
  static constexpr int QueueSize = 4;

  explicit TSubtitleDecoder(TPlayback &playback);
  ~TSubtitleDecoder();

  bool Open(AVStream *stream);
  void Close();

  std::mutex SubLock;
  std::condition_variable SubCond;
  std::array<TSubPicture, QueueSize> Subs;
  int RIndex = 0;
  int WIndex = 0;
  int Count = 0;
  std::atomic<bool> StreamChanged{false};

  // Frees the subtitle at the read index; call with SubLock held.
  void PopLocked();

 private:
  void Main();

  TPlayback &FPlayback;
  AVStream *FStream = nullptr;
  TCodecCtxPtr FCodec;
  std::thread FThread;
};

// RGBA palette entry (0xAARRGGBB) to YUVA (studio-range BT.601), 0xAAYYUUVV.
uint32_t RGBAToYUVA(uint32_t rgba);

// Blends a bitmap subtitle rectangle with a YUVA palette into planar YUV 4:2:0 planes.
void BlendSubtitleRect(uint8_t *const planes[3], const int linesizes[3], int width, int height,
                       const AVSubtitleRect &rect);
