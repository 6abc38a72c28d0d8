// The encoder component: a list of conversion tasks, run one after another or in parallel, with
// progress, frame-hook, preview-bitmap and termination events.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/FFmpeg.h"
#include "platform/ThreadPriority.h"
#include "services/AVProbe.h"
#include "services/Bitmap.h"
#include "services/EventHandler.h"
#include "services/FFUtils.h"

class TCustomFFmpegVCL;

struct TProgressInfo {
  int TaskIndex = 0;
  int FileIndex = 0;
  int FrameNumber = 0;
  int FPS = 0;
  float Quality = 0;
  float BitRate = 0;
  int64_t CurrentSize = 0;
  int64_t CurrentDuration = 0;
  int64_t TotalDuration = 0;
  bool MovingIndex = false;  // the last step: the output's index is moved to the file's start
};
using PProgressInfo = TProgressInfo *;

struct TTerminateInfo {
  int TaskIndex = 0;
  bool Finished = false;
  bool Exception = false;
  std::string ExceptionMsg;
  // Packets or pictures of the sources that could not be decoded: a run that finished with
  // some converted what it could read of a damaged source.
  int DecodeErrors = 0;
};

struct THookInfo {
  int TaskIndex = 0;
  TBitmap *Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = true;
  bool StopHook = false;
};
using PHookInfo = THookInfo *;

struct TPreviewInfo {
  int TaskIndex = 0;
  const TBitmap *Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
};

using TCustomHookEvent = std::function<void(TCustomFFmpegVCL *Sender, PHookInfo AHookInfo)>;
using TPreviewBitmapEvent =
    std::function<void(TCustomFFmpegVCL *Sender, const TPreviewInfo &APreviewInfo)>;
using TProgressEvent = std::function<void(TCustomFFmpegVCL *Sender, PProgressInfo AProgressInfo)>;
using TTerminateEvent =
    std::function<void(TCustomFFmpegVCL *Sender, const TTerminateInfo &ATerminateInfo)>;

// Raised for misuse while a run is active ("Cannot %s while working.") and bad task indexes.
struct EFFmpegVCLError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One task: an engine with its single input, up to 20 outputs, the probe of its input and
// private copies of the option records it was given.
class TFFmpeg : public TCustomFFmpeg {
 public:
  TFFmpeg() = default;
  ~TFFmpeg() override;

  TAVProbe &InputProbe(int fileIndex);  // created on first use
  TAVProbe *ExistingProbe(int fileIndex) const;
  std::array<std::optional<TInputOptions>, MaxFiles> InputOptions;
  std::array<std::optional<TOutputOptions>, MaxFiles> OutputOptions;

 private:
  std::array<std::unique_ptr<TAVProbe>, MaxFiles> FProbes;
};

// The owning task list.
class TFFmpegList {
 public:
  int Add(std::unique_ptr<TFFmpeg> task);
  void Delete(int index);
  void Clear();
  std::vector<std::unique_ptr<TFFmpeg>> TakeAll();  // empties the list, handing the tasks over
  TFFmpeg &Get(int index) const;                    // EFFmpegVCLError outside the list
  int IndexOf(const TCustomFFmpeg *task) const;
  int Count() const { return static_cast<int>(FItems.size()); }

  void SuspendThreads();
  void ResumeThreads();
  void Stop(bool wait);
  void SetPreviewFlag(uint8_t bit, bool on);

 private:
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};

class TCustomFFmpegVCL {
 public:
  TCustomFFmpegVCL();
  virtual ~TCustomFFmpegVCL();
  TCustomFFmpegVCL(const TCustomFFmpegVCL &) = delete;
  TCustomFFmpegVCL &operator=(const TCustomFFmpegVCL &) = delete;

  bool LoadAVLib(const std::string &libPath);
  int AddTask(const std::wstring &fileName, TInputOptions *options = nullptr);
  bool SetOutputFile(int taskIndex, const std::wstring &fileName,
                     TOutputOptions *options = nullptr);
  // A task with one input and one output that are opened on its conversion thread when it
  // starts, not now: a batch of any length keeps only its running tasks' files open, and the
  // caller's thread never waits for a file.  `beforeOpen` (may be empty) runs first on that
  // thread; what it throws, or a file that cannot be opened, fails the task with the text.
  int AddTaskOpenedOnStart(const std::wstring &input, const TInputOptions &inputOptions,
                           const std::wstring &output, const TOutputOptions &outputOptions,
                           std::function<void()> beforeOpen = {});
  void RemoveTask(int taskIndex);
  void StartTask(int maxThreads);
  void PauseTask();
  void ResumeTask();
  void StopTask(bool wait);
  void ClearTasks();

  int TaskCount() const { return FTasks.Count(); }
  TAVProbe *AVProbes(int taskIndex, int fileIndex) const;
  TAVProbe &Probe() { return *FProbe; }
  const std::string &LastErrMsg() const { return FLastErrMsg; }
  static const char *Version() { return "3.3"; }
  bool Working() const { return FWorking; }
  bool AllTerminated() const { return FAllTerminated; }
  // Tasks whose conversion is under way (started and not yet terminated).
  int RunningTaskCount() const;

 protected:
  virtual void DoCustomHook(TCustomFFmpeg *task, TBitmap &bitmap, int32_t frameNumber, int64_t pts,
                            bool &update, bool &stopHook);
  virtual void DoPreviewBitmap(TCustomFFmpeg *task, TBitmap &bitmap, int32_t frameNumber,
                               int64_t pts);
  virtual void DoProgress(TCustomFFmpeg *task, int32_t fileIndex, int32_t frameNumber, int32_t fps,
                          float quality, float bitRate, int64_t currentSize,
                          int64_t currentDuration, int64_t totalDuration);
  virtual void DoTerminate(TCustomFFmpeg *task);

  // Property storage, published by TFFmpegVCL.
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FProgressInterval = 500;
  TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
  bool FTriggerEventInMainThread = true;
  std::atomic<bool> FPreviewBitmapOnTaskThread{false};
  int FCodecThreads = 0;
  // Replaced by the host while tasks raise the events: each under a lock of its own (see
  // TEventHandler), never under the event's lock, which a dispatcher holds while it waits for
  // the main thread.
  TEventHandler<TCustomHookEvent> FOnCustomHook;
  TEventHandler<TPreviewBitmapEvent> FOnPreviewBitmap;
  TEventHandler<TProgressEvent> FOnProgress;
  TEventHandler<TTerminateEvent> FOnTerminate;
  TFFmpegList FTasks;

 private:
  // Terminate events of the synchronous mode, raised on the calling thread once the terminate
  // lock is released.
  using TDirectEvents = std::vector<TTerminateInfo>;

  void CheckNotWorking(const char *operation) const;
  TFFmpeg &TakeNextTask();
  void StartNextTask();
  void RunSynchronously();
  void RaiseTerminate(const TTerminateInfo &info, TDirectEvents &direct);
  void RaiseFinalTerminate(TDirectEvents &direct);
  void RaiseDirect(const TDirectEvents &direct);
  void InstallHook(TFFmpeg &task);
  std::unique_ptr<TFFmpeg> NewTask();
  // Whether the libraries a task needs are loaded; when not, the last error says so.
  bool LibrariesLoaded();
  std::string OpenInput(TFFmpeg &task, const std::wstring &fileName, TInputOptions *options);
  std::string OpenOutput(TFFmpeg &task, const std::wstring &fileName, TOutputOptions *options);
  void ReapDeliveries();
  void JoinDeliveries();
  void RetireTasks(std::vector<std::unique_ptr<TFFmpeg>> tasks);
  void JoinRetirer();

  std::string FLastErrMsg;
  std::unique_ptr<TAVProbe> FProbe;
  static constexpr int FVerbosity = 1;  // the engine's "v" for every task

  // Scheduling, guarded by the terminate lock.
  int FTasksEnded = 0;
  int FNextTask = -1;
  int FTasksToLaunch = 0;
  std::atomic<bool> FAllTerminated{false};
  bool FThreaded = false;
  std::atomic<bool> FWorking{false};
  // A synchronous run is under way: its current task is on the stack of the thread that runs it,
  // so tasks cleared by a handler are kept in FRetiredTasks until the run returns.
  bool FSynchronousRun = false;
  // A stop that waits serves the main thread meanwhile, where the end of the batch may come and
  // clear the tasks the stop still walks: such a clear waits until the stop is over.
  int FStopping = 0;
  bool FClearAfterStop = false;
  std::vector<std::unique_ptr<TFFmpeg>> FRetiredTasks;

  std::mutex FHookLock;
  std::mutex FPreviewLock;
  std::mutex FProgressLock;
  mutable std::recursive_mutex FTerminateLock;  // a failed start terminates on the launching thread

  THookInfo FHookInfo;
  TPreviewInfo FPreviewInfo;
  TProgressInfo FProgressInfo;
  TTerminateInfo FTerminateInfo;

  // Threads that deliver OnTerminate in threaded mode; each waits for the one before it, so that
  // the handler sees the events in the order the tasks ended.  Nobody waits for a delivery but
  // the destructor: a handler may itself wait for the thread that would wait for it (the main
  // thread clearing the tasks).  Finished ones are joined by the next ClearTasks.
  struct TDelivery {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };
  std::mutex FThreadsLock;
  std::vector<TDelivery> FDeliveries;
  std::shared_future<void> FLastDelivery;

  // Cleared tasks are destroyed on a thread of their own: each waits for its threads and frees
  // its state, about half a millisecond apiece, which the caller (the window thread, at the end
  // of a batch of hundreds) is not to wait for.  One batch at a time; the next clear and the
  // destructor wait for it, serving the main thread meanwhile (a preview window is closed there).
  std::thread FRetirer;
  std::atomic<bool> FRetirerDone{true};
};

// The component with its properties.
class TFFmpegVCL : public TCustomFFmpegVCL {
 public:
  bool Preview() const { return FPreview; }
  void SetPreview(bool value);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool value);
  int ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int ms) { FProgressInterval = ms <= 100 ? 100 : ms; }
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority p) { FThreadPriority = p; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool v) { FTriggerEventInMainThread = v; }
  // Preview bitmaps on the conversion thread, even when the other events go to the main thread:
  // a host that scales the picture there and posts the result keeps the conversion from
  // waiting for the main thread.
  bool PreviewBitmapOnTaskThread() const { return FPreviewBitmapOnTaskThread; }
  void SetPreviewBitmapOnTaskThread(bool v) { FPreviewBitmapOnTaskThread = v; }
  // Codec threads of every new task (0 = the libraries choose, which uses every core).
  int CodecThreads() const { return FCodecThreads; }
  void SetCodecThreads(int n) { FCodecThreads = n < 0 ? 0 : n; }

  void SetOnCustomHook(TCustomHookEvent e) { FOnCustomHook = std::move(e); }
  void SetOnPreviewBitmap(TPreviewBitmapEvent e) { FOnPreviewBitmap = std::move(e); }
  void SetOnProgress(TProgressEvent e) { FOnProgress = std::move(e); }
  void SetOnTerminate(TTerminateEvent e) { FOnTerminate = std::move(e); }
};
