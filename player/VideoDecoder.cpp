#include "player/VideoDecoder.h"

#include <cmath>
#include <cstdio>

#include "player/FFPlay.h"
#include "player/Playback.h"
#include "player/StreamDecoder.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/FFmpegLogger.h"

namespace {
constexpr double NoSyncThreshold = 10.0;
constexpr double SyncThreshold = 0.01;
}  // namespace

TVideoDecoder::TVideoDecoder(TPlayback &playback) : FPlayback(playback) {
  for (auto &picture : Pictures) picture.Frame.reset(ff::av_frame_alloc());
  FHeld.reset(ff::av_frame_alloc());
}

TVideoDecoder::~TVideoDecoder() {
  Close();
}

bool TVideoDecoder::Open(AVStream *stream) {
  if (!OpenStreamDecoder(stream, FCodec, true)) {
    FPlayback.Owner.ReportError("avcodec_open() failed.", false);
    return false;
  }
  FStream = stream;
  const AVRational rate = ff::av_guess_frame_rate(FPlayback.Format, stream, nullptr);
  if (rate.num > 0 && rate.den > 0) FFrameDuration = av_q2d(av_inv_q(rate));
  FPlayback.VideoQ.Start();
  FThread = std::thread(&TVideoDecoder::Main, this);
  return true;
}

void TVideoDecoder::Close() {
  FPlayback.VideoQ.Abort();
  WakePictures();
  if (FThread.joinable()) FThread.join();
  CloseStreamDecoder(FCodec);
  FStream = nullptr;
}

int TVideoDecoder::FrameWidth() const {
  return FCodec ? FCodec->width : -1;
}
int TVideoDecoder::FrameHeight() const {
  return FCodec ? FCodec->height : -1;
}

bool TVideoDecoder::Finished() {
  std::lock_guard lock(PictLock);
  return FDrained && Count == 0;
}

void TVideoDecoder::WakePictures() {
  std::lock_guard lock(PictLock);
  PictCond.notify_all();
}

bool TVideoDecoder::Aborted() const {
  return FPlayback.AbortRequest || FPlayback.VideoQ.Aborted();
}

// The decoder thread.
void TVideoDecoder::Main() {
  const TSdlThreadState sdl;
  const TFramePtr decoded(ff::av_frame_alloc());
  const TFramePtr filtered(ff::av_frame_alloc());
  AVFrame *frame = decoded.get();
  AVFrame *picture = filtered.get();
  TCustomPlayer &owner = FPlayback.Owner;
  if (!frame || !picture) return;
  for (;;) {
    while (FPlayback.Paused && !Aborted() && !FPlayback.PausedAtSeek && FPlayback.StartPaused == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int got = GetPicture(frame);
    if (got < 0) break;
    if (got == 0) continue;
    const int64_t pos = frame->pkt_pos;
    if (!BuildGraph(frame) || ff::av_buffersrc_add_frame(FSource, frame) < 0) break;
    const int pulled = ff::av_buffersink_get_frame(FSink, picture);
    if (pulled == AVERROR(EAGAIN)) continue;
    if (pulled < 0) break;
    if (FPlayback.AfterSeekDrop && FPlayback.FlushSeen) {
      FPlayback.AfterSeekDrop = false;
      FPlayback.PausedAtSeek = false;
    }
    // A picture without a time stamp gets the decoder's clock; time 0 is a time like any other
    // (a seek back to the start must not take the clock's time after the previous picture).
    const double pts = picture->pts == AV_NOPTS_VALUE
                           ? std::nan("")
                           : picture->pts * av_q2d(ff::av_buffersink_get_time_base(FSink));
    picture->pkt_pos = pos;
    const int queued = OutputPicture(picture, pts);
    ff::av_frame_unref(picture);
    if (queued < 0) break;
    if (!FPlayback.AfterSeekDrop) owner.FFrameReady.Set();
    FPlayback.EndSignalled = false;
    // A playback opened paused shows its first two pictures, then holds.
    if (FPlayback.StartPaused > 1) {
      FPlayback.StartPaused = 0;
      owner.ReportState(TPlayState::psPause);
    } else if (FPlayback.StartPaused == 1) {
      FPlayback.StartPaused = 2;
    }
  }
  FreeGraph();
}

// (Re)builds "src" -> [automatic scaler] -> "out" (planar YUV 4:2:0) for the frame's geometry.
bool TVideoDecoder::BuildGraph(const AVFrame *frame) {
  if (FGraph && frame->width == FGraphWidth && frame->height == FGraphHeight &&
      frame->format == FGraphFormat)
    return true;
  FreeGraph();
  FGraph.reset(ff::avfilter_graph_alloc());
  if (!FGraph) return false;
  char options[32];
  std::snprintf(options, sizeof options, "flags=%d", SWS_BICUBIC);
  FGraph->scale_sws_opts = ff::av_strdup(options);
  AVRational sar = frame->sample_aspect_ratio;
  if (sar.num <= 0 || sar.den <= 0) sar = AVRational{0, 1};
  char args[256];
  std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                frame->width, frame->height, frame->format, FStream->time_base.num,
                FStream->time_base.den, sar.num, sar.den);
  const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P};
  if (ff::avfilter_graph_create_filter(&FSource, ff::avfilter_get_by_name("buffer"), "src", args,
                                       nullptr, FGraph.get()) < 0 ||
      ff::avfilter_graph_create_filter(&FSink, ff::avfilter_get_by_name("buffersink"), "out",
                                       nullptr, nullptr, FGraph.get()) < 0 ||
      ff::av_opt_set_bin(FSink, "pix_fmts", reinterpret_cast<const uint8_t *>(formats),
                         sizeof formats, AV_OPT_SEARCH_CHILDREN) < 0 ||
      ff::avfilter_link(FSource, 0, FSink, 0) < 0 ||
      ff::avfilter_graph_config(FGraph.get(), nullptr) < 0) {
    FreeGraph();
    return false;
  }
  FGraphWidth = frame->width;
  FGraphHeight = frame->height;
  FGraphFormat = frame->format;
  FSinkWidth = ff::av_buffersink_get_w(FSink);
  FSinkHeight = ff::av_buffersink_get_h(FSink);
  return true;
}

void TVideoDecoder::FreeGraph() {
  FGraph.reset();
  FSource = FSink = nullptr;
  FGraphFormat = -1;
}

// One step of decoding: 1 with a picture to show in `frame`, 0 without, -1 when aborted.
int TVideoDecoder::GetPicture(AVFrame *frame) {
  const int received = ff::avcodec_receive_frame(FCodec.get(), frame);
  if (received >= 0) return Deliver(frame);
  if (received == AVERROR_EOF && FDraining) FDrained = true;
  if (received == AVERROR_EOF && FSeekTarget >= 0 && FHeld->buf[0]) {
    // The file ended before the exact seek target: show its last picture instead.
    FSeekTarget = -1;
    ff::av_frame_move_ref(frame, FHeld.get());
    return 1;
  }

  TQueuedPacket item;
  if (FPlayback.VideoQ.Get(item, true) < 0) return -1;
  switch (item.Kind) {
    case TPacketKind::pkFlush: Flush(); return 0;
    case TPacketKind::pkEndOfStream:
      if (!FDraining) ff::avcodec_send_packet(FCodec.get(), nullptr);
      FDraining = true;
      if (!FPlayback.EndSignalled) FPlayback.Owner.ReportPosition(FPlayback);
      return 0;
    case TPacketKind::pkData:
      if (FDraining) {  // new data after the end (a seek without its flush): start over
        ff::avcodec_flush_buffers(FCodec.get());
        FDraining = false;
        FDrained = false;
      }
      ff::avcodec_send_packet(FCodec.get(), item.Packet.get());
      return 0;
  }
  return 0;
}

// Applies the exact-seek skipping and the skip factor to a decoded picture.
int TVideoDecoder::Deliver(AVFrame *frame) {
  frame->pts = frame->best_effort_timestamp;
  if (FSeekTarget >= 0 && frame->pts != AV_NOPTS_VALUE) {
    // Skip the pictures that end before the target; the one covering it is shown.
    if (frame->pts * av_q2d(FStream->time_base) + FFrameDuration <= FSeekTarget + 0.001) {
      ff::av_frame_unref(FHeld.get());
      ff::av_frame_move_ref(FHeld.get(), frame);
      return 0;
    }
    FSeekTarget = -1;
    ff::av_frame_unref(FHeld.get());
  }
  std::lock_guard lock(PictLock);
  SkipCounter += 1;
  if (SkipCounter >= SkipFactor) {
    SkipCounter -= std::max(SkipFactor, 1.0f);
    return 1;
  }
  ff::av_frame_unref(frame);
  return 0;
}

// The flush marker: forget everything decoded before the seek and restart the timing.
void TVideoDecoder::Flush() {
  ff::avcodec_flush_buffers(FCodec.get());
  FDraining = false;
  FDrained = false;
  ff::av_frame_unref(FHeld.get());
  FSeekTarget = FPlayback.SeekTargetTime.exchange(-1);
  std::unique_lock lock(PictLock);
  for (auto &picture : Pictures) picture.TargetClock = 0;
  PictCond.wait(lock, [this] { return Count == 0 || Aborted(); });
  FPlayback.VideoCurrentPos = -1;
  FrameLastPts = static_cast<double>(AV_NOPTS_VALUE);
  FrameLastDelay = 0;
  FrameTimer = NowSeconds();
  SkipFactor = 1;
  SkipCounter = 0;
  FPlayback.FlushSeen = true;
}

int TVideoDecoder::OutputPicture(AVFrame *frame, double pts) {
  if (!std::isnan(pts))
    FVideoClock = pts;
  else
    pts = FVideoClock;
  FVideoClock = FVideoClock + FFrameDuration + frame->repeat_pict * FFrameDuration * 0.5;
  return QueuePicture(frame, pts, frame->pkt_pos);
}

int TVideoDecoder::QueuePicture(AVFrame *frame, double pts, int64_t pos) {
  std::unique_lock lock(PictLock);
  if (Count >= PictureQueueSize && !FPlayback.RefreshPending)
    SkipFactor = std::max(SkipFactor * 0.95f, 0.95f);
  PictCond.wait(lock, [this] { return Count < PictureQueueSize || Aborted(); });
  if (Aborted()) return -1;

  TVideoPicture &vp = Pictures[WIndex];
  if (!vp.Allocated || vp.Width != (FSinkWidth & ~1) || vp.Height != (FSinkHeight & ~1)) {
    vp.Allocated = false;
    lock.unlock();
    FPlayback.PushEvent(FF_ALLOC_EVENT);
    lock.lock();
    PictCond.wait(lock, [&] { return vp.Allocated || Aborted(); });
    if (Aborted()) return -1;
  }
  lock.unlock();

  // The slot is ours until it is counted in.
  ff::av_frame_unref(vp.Frame.get());
  ff::av_frame_ref(vp.Frame.get(), frame);
  TCustomPlayer &owner = FPlayback.Owner;
  if (owner.FHook && owner.OnHook && ff::av_frame_make_writable(vp.Frame.get()) >= 0)
    owner.RunHook(vp.Frame.get(), std::llround(pts * 1000000.0) - FPlayback.StartTime);
  vp.Pts = pts;
  vp.Pos = pos;
  WIndex = (WIndex + 1) % PictureQueueSize;

  lock.lock();
  vp.TargetClock = ComputeTargetTime(pts);
  ++Count;
  return 0;
}

// The wall-clock time at which a picture is due; video follows the audio clock.
double TVideoDecoder::ComputeTargetTime(double pts) {
  // The first picture after a flush is due now, not when the flush happened: waiting for the
  // display to allocate it must not make it (and the next) late at once.
  if (FrameLastPts == static_cast<double>(AV_NOPTS_VALUE)) FrameTimer = NowSeconds();
  double delay = pts - FrameLastPts;
  if (delay <= 0 || delay >= NoSyncThreshold)
    delay = FrameLastDelay;
  else
    FrameLastDelay = delay;
  FrameLastPts = pts;
  if (FPlayback.HasAudio()) {
    const double diff = FPlayback.VideoClock() - FPlayback.MasterClock();
    const double threshold = std::max(SyncThreshold, delay);
    if (std::fabs(diff) < NoSyncThreshold) {
      if (diff <= -threshold)
        delay = 0;
      else if (diff >= threshold)
        delay = 2 * delay;
    }
  }
  FrameTimer += delay;
  return FrameTimer;
}
