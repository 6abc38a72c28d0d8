// Video of a playback: a decoder thread that turns packets into planar YUV 4:2:0 pictures through
// a small filter graph, runs the frame hook and queues them with the wall-clock time they are due.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "services/FFResources.h"

class TPlayback;

struct TVideoPicture {
  double Pts = 0;          // seconds
  double TargetClock = 0;  // monotonic seconds at which it is due
  int64_t Pos = -1;
  TFramePtr Frame;
  int Width = 0;
  int Height = 0;
  bool Allocated = false;
};

class TVideoDecoder {
 public:
  static constexpr int PictureQueueSize = 2;

  explicit TVideoDecoder(TPlayback &playback);
  ~TVideoDecoder();

  bool Open(AVStream *stream);
  void Close();

  int FrameWidth() const;
  int FrameHeight() const;
  int SinkWidth() const { return FSinkWidth; }
  int SinkHeight() const { return FSinkHeight; }
  // Decoded pts + duration of the newest picture (seconds).
  double DecodeClock() const { return FVideoClock; }

  // The picture ring; the display takes from the read index, the decoder writes at the write
  // index, both under PictLock.
  std::mutex PictLock;
  std::condition_variable PictCond;
  std::array<TVideoPicture, PictureQueueSize> Pictures;
  int RIndex = 0;
  int WIndex = 0;
  int Count = 0;

  // Pacing, guarded by PictLock.
  double FrameTimer = 0;
  double FrameLastPts = 0;
  double FrameLastDelay = 0;
  float SkipFactor = 1;
  float SkipCounter = 0;

  void WakePictures();
  // Every picture of the file has been decoded and shown (until the next seek).
  bool Finished();

 private:
  void Main();
  bool BuildGraph(const AVFrame *frame);
  void FreeGraph();
  int GetPicture(AVFrame *frame);
  int Deliver(AVFrame *frame);
  void Flush();
  int OutputPicture(AVFrame *frame, double pts);
  int QueuePicture(AVFrame *frame, double pts, int64_t pos);
  double ComputeTargetTime(double pts);
  bool Aborted() const;

  TPlayback &FPlayback;
  AVStream *FStream = nullptr;
  TCodecCtxPtr FCodec;
  TFilterGraphPtr FGraph;
  AVFilterContext *FSource = nullptr;
  AVFilterContext *FSink = nullptr;
  int FGraphWidth = 0;
  int FGraphHeight = 0;
  int FGraphFormat = -1;
  std::atomic<int> FSinkWidth{0};
  std::atomic<int> FSinkHeight{0};
  double FFrameDuration = 0.04;
  std::atomic<double> FVideoClock{0};
  double FSeekTarget = -1;  // seconds: pictures ending before it are not shown
  TFramePtr FHeld;          // newest picture skipped while seeking to an exact time
  bool FDraining = false;
  std::atomic<bool> FDrained{false};  // the decoder has given up its last picture
  std::thread FThread;
};
