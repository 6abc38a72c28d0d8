#include "services/component/FFmpegVCL.h"

#include <utility>

#include "platform/MainThread.h"
#include "services/FFmpegLoader.h"
#include "services/component/Previewer.h"

// ---- TFFmpeg

TFFmpeg::~TFFmpeg() {
  // The probes only borrow the engine's input contexts: release them before the engine goes.
  for (auto &probe : FProbes) probe.reset();
}

TAVProbe &TFFmpeg::InputProbe(int fileIndex) {
  auto &probe = FProbes.at(fileIndex);
  if (!probe) probe = std::make_unique<TAVProbe>();
  return *probe;
}

TAVProbe *TFFmpeg::ExistingProbe(int fileIndex) const {
  if (fileIndex < 0 || fileIndex >= MaxFiles) return nullptr;
  return FProbes[fileIndex].get();
}

// ---- TFFmpegList

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
  FItems.push_back(std::move(task));
  return Count() - 1;
}

void TFFmpegList::Delete(int index) {
  Get(index);
  FItems.erase(FItems.begin() + index);
}

void TFFmpegList::Clear() {
  FItems.clear();
}

std::vector<std::unique_ptr<TFFmpeg>> TFFmpegList::TakeAll() {
  return std::exchange(FItems, {});
}

TFFmpeg &TFFmpegList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw EFFmpegVCLError("List index out of bounds (" + std::to_string(index) + ")");
  return *FItems[index];
}

int TFFmpegList::IndexOf(const TCustomFFmpeg *task) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[i].get() == task) return i;
  return -1;
}

void TFFmpegList::SuspendThreads() {
  for (auto &t : FItems) t->PauseConvert();
}

void TFFmpegList::ResumeThreads() {
  for (auto &t : FItems) t->ResumeConvert();
}

void TFFmpegList::Stop(bool wait) {
  for (auto &t : FItems) t->TerminateConvert(wait);
}

void TFFmpegList::SetPreviewFlag(uint8_t bit, bool on) {
  for (auto &t : FItems) t->SetPreviewFlag(bit, on);
}

// ---- TCustomFFmpegVCL

TCustomFFmpegVCL::TCustomFFmpegVCL() : FProbe(std::make_unique<TAVProbe>()) {}

TCustomFFmpegVCL::~TCustomFFmpegVCL() {
  // Detach the handlers first, each under its lock, so that a dispatcher still running finishes
  // and no event reaches a host that is going away; then stop what runs and free the tasks.
  {
    std::lock_guard l(FHookLock);
    FOnCustomHook = nullptr;
  }
  {
    std::lock_guard l(FPreviewLock);
    FOnPreviewBitmap = nullptr;
  }
  {
    std::lock_guard l(FProgressLock);
    FOnProgress = nullptr;
  }
  {
    std::lock_guard l(FTerminateLock);
    FOnTerminate = nullptr;
    FTasksToLaunch = 0;
  }
  for (int i = 0; i < FTasks.Count(); ++i)
    if (FTasks.Get(i).Running()) FTasks.Get(i).StopConvert(true);
  JoinDeliveries();
  JoinRetirer();
  FTasks.Clear();
  FRetiredTasks.clear();
}

void TCustomFFmpegVCL::CheckNotWorking(const char *operation) const {
  if (FWorking) throw EFFmpegVCLError(std::string("Cannot ") + operation + " while working.");
}

bool TCustomFFmpegVCL::LoadAVLib(const std::string &libPath) {
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(libPath);
  if (loader.LoadLibs(EncoderLibs)) return true;
  FLastErrMsg = loader.LastErrMsg();
  return false;
}

void TCustomFFmpegVCL::InstallHook(TFFmpeg &task) {
  task.SetCustomHookCallback(
      [this](TCustomFFmpeg *sender, TBitmap &bitmap, int32_t frame, int64_t pts, bool &update,
             bool &stopHook) { DoCustomHook(sender, bitmap, frame, pts, update, stopHook); });
}

std::unique_ptr<TFFmpeg> TCustomFFmpegVCL::NewTask() {
  // The tasks of the last clear are destroyed before new ones come: their threads' last words
  // then come before the new tasks' first (the new ones may take the memory the old ones had).
  // It is over long before a person starts the next batch.
  JoinRetirer();
  auto task = std::make_unique<TFFmpeg>();
  task->Reset();
  task->SetVerbose(FVerbosity);
  task->SetThreadCount(FCodecThreads);
  task->SetPreviewFlags((FPreview ? 1 : 0) | (FPreviewBitmap ? 2 : 0));
  task->SetPreviewerFactory(CreateSDLPreviewer);
  task->SetPreviewBitmapCallback(
      [this](TCustomFFmpeg *sender, TBitmap &bitmap, int32_t frame, int64_t pts) {
        DoPreviewBitmap(sender, bitmap, frame, pts);
      });
  task->SetProgressCallback([this](TCustomFFmpeg *sender, int32_t file, int32_t frame, int32_t fps,
                                   float q, float br, int64_t size, int64_t dur, int64_t total) {
    DoProgress(sender, file, frame, fps, q, br, size, dur, total);
  });
  task->SetTerminateCallback([this](TCustomFFmpeg *sender) { DoTerminate(sender); });
  return task;
}

// The task's input with its options; the text of the failure, empty when it is open.
std::string TCustomFFmpegVCL::OpenInput(TFFmpeg &task, const std::wstring &fileName,
                                        TInputOptions *options) {
  if (options) {
    if (options->FileName.empty()) options->FileName = fileName;
    task.InputOptions[task.InputCount()] = *options;
    TTaskOptionTarget<TFFmpeg> target(task, [this](TFFmpeg &t) { InstallHook(t); });
    ApplyInputOptions(target, *options);
  }
  if (!task.AddInputFile(fileName)) return task.LastError();
  task.InputProbe(0).AttachContext(task.InputFiles()[0]->Ctx.get());
  return "";
}

// One more output of the task with its options; the text of the failure, empty when it is open.
std::string TCustomFFmpegVCL::OpenOutput(TFFmpeg &task, const std::wstring &fileName,
                                         TOutputOptions *options) {
  const int slot = task.OutputCount();
  if (slot >= MaxFiles) return "max output files " + std::to_string(MaxFiles) + " reached";
  TDefaultsList defaults;
  TTaskOptionTarget<TFFmpeg> target(task, [this](TFFmpeg &t) { InstallHook(t); });
  bool join = false;
  if (options) {
    if (options->FileName.empty()) options->FileName = fileName;
    task.OutputOptions[slot] = *options;
    join = ApplyOutputOptions(target, *options, defaults);
  } else if (task.OutputOptions[slot]) {
    InitOutputOptions(*task.OutputOptions[slot]);
  }
  if (task.AddOutputFile(fileName, join) < 0) {
    task.OutputOptions[slot].reset();
    return task.LastError();
  }
  if (options) AddExtraStreams(target, *options, defaults);
  return "";
}

bool TCustomFFmpegVCL::LibrariesLoaded() {
  if (FFLoader().LibsLoaded(EncoderLibs)) return true;
  FLastErrMsg = "The media libraries are not loaded (LoadAVLib was not called or failed).";
  return false;
}

int TCustomFFmpegVCL::AddTask(const std::wstring &fileName, TInputOptions *options) {
  CheckNotWorking("AddTask");
  if (!LibrariesLoaded()) return -1;
  try {
    std::unique_ptr<TFFmpeg> task = NewTask();
    if (const std::string error = OpenInput(*task, fileName, options); !error.empty()) {
      FLastErrMsg = error;
      return -1;
    }
    return FTasks.Add(std::move(task));
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    return -1;
  }
}

int TCustomFFmpegVCL::AddTaskOpenedOnStart(const std::wstring &input,
                                           const TInputOptions &inputOptions,
                                           const std::wstring &output,
                                           const TOutputOptions &outputOptions,
                                           std::function<void()> beforeOpen) {
  CheckNotWorking("AddTask");
  if (!LibrariesLoaded()) return -1;
  try {
    std::unique_ptr<TFFmpeg> task = NewTask();
    TFFmpeg &opened = *task;
    task->SetOpening([this, &opened, input, in = TInputOptions(inputOptions), output,
                      out = TOutputOptions(outputOptions),
                      beforeOpen = std::move(beforeOpen)]() mutable {
      if (beforeOpen) beforeOpen();
      std::string error = OpenInput(opened, input, &in);
      if (error.empty()) error = OpenOutput(opened, output, &out);
      if (!error.empty()) throw std::runtime_error(error);
    });
    return FTasks.Add(std::move(task));
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    return -1;
  }
}

bool TCustomFFmpegVCL::SetOutputFile(int taskIndex, const std::wstring &fileName,
                                     TOutputOptions *options) {
  CheckNotWorking("SetOutputFile");
  TFFmpeg &task = FTasks.Get(taskIndex);
  try {
    FLastErrMsg = OpenOutput(task, fileName, options);
    return FLastErrMsg.empty();
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    return false;
  }
}

void TCustomFFmpegVCL::RemoveTask(int taskIndex) {
  CheckNotWorking("RemoveTask");
  FTasks.Delete(taskIndex);
}

void TCustomFFmpegVCL::StartTask(int maxThreads) {
  CheckNotWorking("StartTask");
  const bool threaded = maxThreads > 0;
  bool runHere = false;
  TDirectEvents direct;
  {
    std::lock_guard lock(FTerminateLock);
    FTasksEnded = 0;
    FNextTask = 0;
    FTasksToLaunch = TaskCount();
    FAllTerminated = false;
    FThreaded = threaded;
    FWorking = true;
    if (TaskCount() == 0) {
      // Nothing to run: end the run at once, so that the host sees its end and may clear.
      RaiseFinalTerminate(direct);
    } else if (threaded) {
      while (FTasksToLaunch > 0 && maxThreads-- > 0) StartNextTask();
      return;
    } else {
      FSynchronousRun = runHere = true;
    }
  }
  RaiseDirect(direct);
  if (runHere) RunSynchronously();
}

TFFmpeg &TCustomFFmpegVCL::TakeNextTask() {
  --FTasksToLaunch;
  TFFmpeg &task = FTasks.Get(FNextTask++);
  task.SetReportPeriod(static_cast<int64_t>(FProgressInterval) * 1000);
  return task;
}

// Threaded mode, under the terminate lock: the task gets a conversion thread of its own.
void TCustomFFmpegVCL::StartNextTask() {
  if (FTasksToLaunch <= 0) return;
  TFFmpeg &task = TakeNextTask();
  if (TConvertThread *thread = task.StartConvert(true, FThreadPriority)) thread->Resume();
}

// One task after another on the calling thread.  The terminate lock is not held while a task
// runs: its handlers run on this thread and may hand work to a thread that takes the lock.
void TCustomFFmpegVCL::RunSynchronously() {
  for (;;) {
    TFFmpeg *task = nullptr;
    {
      std::lock_guard lock(FTerminateLock);
      if (FTasksToLaunch <= 0) break;
      task = &TakeNextTask();
    }
    task->StartConvert(false, FThreadPriority);
  }
  std::vector<std::unique_ptr<TFFmpeg>> retired;
  {
    std::lock_guard lock(FTerminateLock);
    FSynchronousRun = false;
    retired.swap(FRetiredTasks);
  }
}

void TCustomFFmpegVCL::PauseTask() {
  FTasks.SuspendThreads();
}
void TCustomFFmpegVCL::ResumeTask() {
  FTasks.ResumeThreads();
}

void TCustomFFmpegVCL::StopTask(bool wait) {
  {
    std::lock_guard lock(FTerminateLock);
    FTasksToLaunch = 0;
  }
  ++FStopping;
  try {
    FTasks.Stop(wait);
  } catch (...) {
    --FStopping;
    throw;
  }
  if (--FStopping == 0 && std::exchange(FClearAfterStop, false)) ClearTasks();
}

void TCustomFFmpegVCL::ClearTasks() {
  if (FStopping > 0) {
    FClearAfterStop = true;
    return;
  }
  std::vector<std::unique_ptr<TFFmpeg>> tasks;
  {
    std::lock_guard lock(FTerminateLock);
    if (FWorking && !FAllTerminated) throw EFFmpegVCLError("Cannot ClearTasks while working.");
    tasks = FTasks.TakeAll();
    FTasksEnded = 0;
    FNextTask = -1;
    FTasksToLaunch = 0;
    FAllTerminated = false;
    FThreaded = false;
    FWorking = false;
    if (FSynchronousRun) {
      for (auto &task : tasks) FRetiredTasks.push_back(std::move(task));
      tasks.clear();
    }
  }
  FLastErrMsg.clear();
  RetireTasks(std::move(tasks));  // outside the lock: a task's destructor waits for its threads
  ReapDeliveries();
}

void TCustomFFmpegVCL::RetireTasks(std::vector<std::unique_ptr<TFFmpeg>> tasks) {
  if (tasks.empty()) return;
  JoinRetirer();
  FRetirerDone = false;
  FRetirer = std::thread([this, tasks = std::move(tasks)]() mutable {
    tasks.clear();
    FRetirerDone = true;
  });
}

void TCustomFFmpegVCL::JoinRetirer() {
  using namespace std::chrono_literals;
  while (!FRetirerDone) ServeMainThread(10ms);
  if (FRetirer.joinable()) FRetirer.join();
}

int TCustomFFmpegVCL::RunningTaskCount() const {
  // Tasks are launched under the terminate lock, so no task starts while they are counted.
  std::lock_guard lock(FTerminateLock);
  int running = 0;
  for (int i = 0; i < FTasks.Count(); ++i) running += FTasks.Get(i).Running() ? 1 : 0;
  return running;
}

TAVProbe *TCustomFFmpegVCL::AVProbes(int taskIndex, int fileIndex) const {
  return FTasks.Get(taskIndex).ExistingProbe(fileIndex);
}

// ---- dispatchers

void TCustomFFmpegVCL::DoCustomHook(TCustomFFmpeg *task, TBitmap &bitmap, int32_t frameNumber,
                                    int64_t pts, bool &update, bool &stopHook) {
  std::lock_guard lock(FHookLock);
  const TCustomHookEvent handler = FOnCustomHook.Get();
  if (!handler) return;
  FHookInfo = {FTasks.IndexOf(task), &bitmap, frameNumber, pts, update, stopHook};
  // Called on the conversion thread: the handler draws on the frame before it is encoded.
  handler(this, &FHookInfo);
  update = FHookInfo.Update;
  stopHook = FHookInfo.StopHook;
}

void TCustomFFmpegVCL::DoPreviewBitmap(TCustomFFmpeg *task, TBitmap &bitmap, int32_t frameNumber,
                                       int64_t pts) {
  std::lock_guard lock(FPreviewLock);
  // The copy is called even when the host replaces the handler while the call waits for the
  // main thread.
  const TPreviewBitmapEvent handler = FOnPreviewBitmap.Get();
  if (!handler) return;
  FPreviewInfo = {FTasks.IndexOf(task), &bitmap, frameNumber, pts};
  auto call = [this, &handler] { handler(this, FPreviewInfo); };
  if (FTriggerEventInMainThread && !FPreviewBitmapOnTaskThread)
    RunInMainThread(call);
  else
    call();
}

void TCustomFFmpegVCL::DoProgress(TCustomFFmpeg *task, int32_t fileIndex, int32_t frameNumber,
                                  int32_t fps, float quality, float bitRate, int64_t currentSize,
                                  int64_t currentDuration, int64_t totalDuration) {
  std::lock_guard lock(FProgressLock);
  const TProgressEvent handler = FOnProgress.Get();
  if (!handler) return;
  FProgressInfo = {
      FTasks.IndexOf(task), fileIndex,     frameNumber,        fps, quality, bitRate, currentSize,
      currentDuration,      totalDuration, task->MovingIndex()};
  auto call = [this, &handler] { handler(this, &FProgressInfo); };
  if (FTriggerEventInMainThread)
    RunInMainThread(call);
  else
    call();
}

void TCustomFFmpegVCL::DoTerminate(TCustomFFmpeg *task) {
  TDirectEvents direct;
  {
    std::lock_guard lock(FTerminateLock);
    if (FOnTerminate) {
      FTerminateInfo = {FTasks.IndexOf(task), task->RanToEnd(), task->ErrorOccurred(),
                        task->ErrorMessage(), task->Counters().DecodeErrors};
      RaiseTerminate(FTerminateInfo, direct);
    }
    ++FTasksEnded;
    if (FTasksToLaunch < 1) {
      if (FTasksEnded >= TaskCount()) RaiseFinalTerminate(direct);
    } else if (FThreaded) {
      StartNextTask();
    }
  }
  RaiseDirect(direct);
}

// The run counts as ended before its final event goes out, so that the handler may clear the
// tasks at once.
void TCustomFFmpegVCL::RaiseFinalTerminate(TDirectEvents &direct) {
  FAllTerminated = true;
  if (FOnTerminate) {
    FTerminateInfo = {-1, true, false, "", 0};
    RaiseTerminate(FTerminateInfo, direct);
  }
}

void TCustomFFmpegVCL::RaiseDirect(const TDirectEvents &direct) {
  if (direct.empty()) return;
  const TTerminateEvent handler = FOnTerminate.Get();
  if (handler)
    for (const TTerminateInfo &info : direct) handler(this, info);
}

void TCustomFFmpegVCL::RaiseTerminate(const TTerminateInfo &info, TDirectEvents &direct) {
  if (!FThreaded) {
    direct.push_back(info);
    return;
  }
  // A thread of its own, with its own copy of the record: the conversion thread does not wait.
  std::lock_guard lock(FThreadsLock);
  auto delivered = std::make_shared<std::promise<void>>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::shared_future<void> previous = FLastDelivery;
  FLastDelivery = delivered->get_future().share();
  std::thread thread([this, info, previous, delivered, done, handler = FOnTerminate.Get()] {
    if (previous.valid()) previous.wait();
    try {
      if (handler) handler(this, info);
    } catch (...) {
      // An escaping handler error must not take the process down from a bare thread.
    }
    delivered->set_value();
    *done = true;
  });
  FDeliveries.push_back({std::move(thread), std::move(done)});
}

void TCustomFFmpegVCL::ReapDeliveries() {
  std::lock_guard lock(FThreadsLock);
  for (auto it = FDeliveries.begin(); it != FDeliveries.end();) {
    if (*it->Done) {
      it->Thread.join();
      it = FDeliveries.erase(it);
    } else {
      ++it;
    }
  }
}

void TCustomFFmpegVCL::JoinDeliveries() {
  // The handlers may be waiting for the main thread: serve it until they are done.
  auto running = [this] {
    std::lock_guard lock(FThreadsLock);
    for (const auto &d : FDeliveries)
      if (!*d.Done) return true;
    return false;
  };
  while (running()) ServeMainThread(std::chrono::milliseconds(20));
  std::lock_guard lock(FThreadsLock);
  for (auto &d : FDeliveries) d.Thread.join();
  FDeliveries.clear();
  FLastDelivery = {};
}

// ---- TFFmpegVCL

void TFFmpegVCL::SetPreview(bool value) {
  FPreview = value;
  FTasks.SetPreviewFlag(1, value);
}

void TFFmpegVCL::SetPreviewBitmap(bool value) {
  FPreviewBitmap = value;
  FTasks.SetPreviewFlag(2, value);
}
