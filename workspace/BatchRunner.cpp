#include "workspace/BatchRunner.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

#include "platform/MainThread.h"
#include "platform/Shell.h"
#include "platform/Shutdown.h"
#include "services/FFmpegApi.h"
#include "services/UnicodeProtocol.h"
#include "workspace/LogicTexts.h"
#include "workspace/SourceFile.h"

namespace fs = std::filesystem;

std::string DecodeErrorWarning(int decodeErrors) {
  if (decodeErrors <= 0) return "";
  return ArgText(decodeErrors == 1 ? logictexts::DecodeError : logictexts::DecodeErrors,
                 {std::to_string(decodeErrors)});
}

TBatchRunner::TBatchRunner(TFFmpegVCL &component, const TFormatCatalogue &catalogue,
                           TSettingsStore &store, IJobQuestions &questions,
                           IBatchObserver &observer)
    : FComponent(component),
      FCatalogue(catalogue),
      FStore(store),
      FQuestions(questions),
      FObserver(observer) {
  // Progress and preview bitmaps come on the main thread: the component marshals them.
  FComponent.SetOnProgress([this](TCustomFFmpegVCL *, PProgressInfo info) { OnProgress(*info); });
  FComponent.SetOnPreviewBitmap(
      [this](TCustomFFmpegVCL *, const TPreviewInfo &info) { OnPreviewBitmap(info); });
  FComponent.SetOnCustomHook([this](TCustomFFmpegVCL *, PHookInfo hook) { OnCustomHook(*hook); });
  // Terminations come on a thread of their own, which the main thread may be waiting for (it
  // stops the batch, or clears the tasks): queued, not waited for.  Nothing of the runner is
  // touched before the queued call has checked that the runner is still there.
  FComponent.SetOnTerminate(
      [this, alive = std::weak_ptr<bool>(FAlive)](TCustomFFmpegVCL *, const TTerminateInfo &info) {
        PostToMainThread([this, alive, info] {
          if (!alive.expired()) OnTerminate(info);
        });
      });
}

TBatchRunner::~TBatchRunner() {
  // Prepared and never launched: nothing was written but the reserved names.
  for (const TPreparedTask &prepared : FPrepared) {
    std::error_code ec;
    fs::remove(prepared.Working, ec);
  }
  if (FRunning) {
    FComponent.StopTask(true);
    // Their queued ends will find the runner gone: no working file stays behind.
    for (const TTaskState &task : FTasks)
      if (!task.Ended) DropUnfinishedOutput(task, TRowOutcome::Stopped);
  }
  FComponent.SetOnProgress(nullptr);
  FComponent.SetOnPreviewBitmap(nullptr);
  FComponent.SetOnCustomHook(nullptr);
  FComponent.SetOnTerminate(nullptr);
}

void TBatchRunner::SetAfterBatch(TAfterBatch after) {
  FOpenOutputFolder = after.OpenOutputFolder;
  FShutDown = after.ShutDown;
}

int TBatchRunner::Start(const std::vector<TBatchRow> &rows, int maxThreads) {
  if (std::none_of(rows.begin(), rows.end(), [](const TBatchRow &r) { return r.Checked; })) {
    FQuestions.ShowMessage(NoRowCheckedMessage, WarningCaption);
    return 0;
  }
  if (Prepare(rows) == 0) return 0;
  return Launch(maxThreads);
}

int TBatchRunner::Prepare(const std::vector<TBatchRow> &rows) {
  FRows = rows;
  ForgetPrepared();
  FSummary = {};
  FStopRequested = false;
  FLastTaskFinished = false;
  TJobBuilder builder(FCatalogue, FStore, FQuestions);
  builder.BeginBatch();
  for (int row = 0; row < static_cast<int>(FRows.size()) && !FStopRequested; ++row)
    if (FRows[row].Checked) PrepareRow(builder, row);
  return static_cast<int>(FPrepared.size());
}

int TBatchRunner::Launch(int maxThreads) {
  AddPrepared(static_cast<int>(FPrepared.size()));
  return StartAdded(maxThreads);
}

int TBatchRunner::AddPrepared(int count) {
  if (!FAddingBegun) {
    FAddingBegun = true;
    FComponent.ClearTasks();  // refused while a batch runs
    FRowOfTask.clear();
    FTasks.clear();
    FDecorators.clear();
  }
  for (; FAdded < FPrepared.size() && count > 0; ++FAdded, --count)
    AddPreparedTask(FPrepared[FAdded]);
  return static_cast<int>(FPrepared.size() - FAdded);
}

void TBatchRunner::AddPreparedTask(TPreparedTask &prepared) {
  // The source may be replaced by the time its task starts: a pipe would hang the open.
  auto stillAFile = [source = FRows[prepared.Row].SourceFile] {
    if (const std::string why = SourceFileRefusal(source); !why.empty())
      throw std::runtime_error(why);
  };
  const int task = FComponent.AddTaskOpenedOnStart(prepared.Job.Input.FileName, prepared.Job.Input,
                                                   UTF8ToWide(prepared.Working.string()),
                                                   prepared.Job.Output, stillAFile);
  if (task < 0) {
    std::error_code ec;
    fs::remove(prepared.Working, ec);
    RowRefused(prepared.Row, prepared.Job.Destination, FComponent.LastErrMsg());
    return;
  }
  FRowOfTask.push_back(prepared.Row);
  FTasks.push_back({prepared.Job.Destination, prepared.Working, false});
  FDecorators.push_back(std::move(prepared.Decorator));
}

int TBatchRunner::StartAdded(int maxThreads) {
  ForgetPrepared();
  const int tasks = static_cast<int>(FRowOfTask.size());
  if (tasks == 0) return 0;
  FRunning = true;
  FComponent.StartTask(maxThreads);
  return tasks;
}

void TBatchRunner::Discard() {
  if (FAddingBegun) {
    for (size_t task = 0; task < FTasks.size(); ++task)
      StopUnstarted(FRowOfTask[task], FTasks[task].Destination, FTasks[task].Working);
    FComponent.ClearTasks();
    FRowOfTask.clear();
    FTasks.clear();
    FDecorators.clear();
  }
  for (size_t i = FAdded; i < FPrepared.size(); ++i)
    StopUnstarted(FPrepared[i].Row, FPrepared[i].Job.Destination, FPrepared[i].Working);
  ForgetPrepared();
}

void TBatchRunner::ForgetPrepared() {
  FPrepared.clear();
  FAdded = 0;
  FAddingBegun = false;
}

void TBatchRunner::StopUnstarted(int row, const fs::path &destination, const fs::path &working) {
  std::error_code ec;
  fs::remove(working, ec);
  TRowResult stopped;
  stopped.Row = row;
  stopped.Outcome = TRowOutcome::Stopped;
  stopped.Destination = destination;
  ++FSummary.Stopped;
  FObserver.RowEnded(stopped);
}

void TBatchRunner::Stop() {
  FStopRequested = true;
  FComponent.StopTask(true);
}

void TBatchRunner::Pause() {
  FComponent.PauseTask();
}

void TBatchRunner::Resume() {
  FComponent.ResumeTask();
}

TSourceInfo TBatchRunner::ProbeSource(const std::string &file) {
  TSourceInfo source;
  source.FileName = UTF8ToWide(file);
  // A probe of its own: the component's may be in use on another thread.  A source it cannot
  // read is refused before anything is written, with the reason the open gave.
  TAVProbe probe;
  if (!probe.LoadFile(source.FileName)) throw std::runtime_error(probe.LastErrMsg());
  source.ForceFormat = probe.ForceFormat();
  source.VideoStreamCount = probe.VideoStreamCount();
  TFileStreamInfo container;
  probe.GetFileStreamInfo(container);
  source.Duration = std::max<int64_t>(container.Duration, 0);
  if (source.VideoStreamCount > 0) {
    TVideoStreamInfo video;
    probe.GetVideoStreamInfo(-1, video);
    source.Width = video.Width;
    source.Height = video.Height;
    source.VideoBitRate = video.BitRate > 0 ? video.BitRate : 0;
    if (video.DisplayAspectRatio > 0 && video.Width > 0 && video.Height > 0)
      source.SampleAspect = video.DisplayAspectRatio * video.Height / video.Width;
    if (video.FrameRateNum > 0 && video.FrameRateDen > 0)
      source.FrameRate = static_cast<double>(video.FrameRateNum) / video.FrameRateDen;
    if (video.Rotation > 0) source.Rotation = video.Rotation;
  }
  // The codecs of the streams the engine takes (the probe's choice of each kind).
  const AVFormatContext *context = probe.Context();
  auto codecOf = [&](int index) {
    return context && index >= 0 && static_cast<unsigned>(index) < context->nb_streams
               ? static_cast<int>(context->streams[index]->codecpar->codec_id)
               : 0;
  };
  source.VideoCodecId = codecOf(probe.VideoStreamIndex());
  source.AudioCodecId = codecOf(probe.AudioStreamIndex());
  source.SubtitleCodecId = codecOf(probe.SubtitleStreamIndex());
  probe.CloseFile();
  return source;
}

// One checked row: its job, and the working file its task will write.  A row whose job cannot
// be made takes no part in the batch; the tasks keep consecutive indexes.
void TBatchRunner::PrepareRow(TJobBuilder &builder, int row) {
  const TBatchRow &r = FRows[row];
  fs::path destination, working;
  try {
    if (!r.Record) throw std::invalid_argument("the row has no record");
    // The source may have been replaced since it was added: a pipe would hang the probe.
    if (const std::string why = SourceFileRefusal(r.SourceFile); !why.empty())
      throw std::runtime_error(why);
    TJob job = builder.BuildJob(UTF8ToWide(r.SourceFile), *r.Record, ProbeSource(r.SourceFile));
    destination = job.Destination;
    FObserver.RowJobBuilt(row, job);
    working = ReserveWorkingFile(job.Destination);
    job.Output.FileName = UTF8ToWide(working.string());
    TFrameDecorator decorator =
        FDecoration && job.Output.HookEnabled ? FDecoration(*r.Record) : TFrameDecorator();
    FPrepared.push_back({row, std::move(job), working, std::move(decorator)});
  } catch (const std::exception &e) {
    std::error_code ec;
    if (!working.empty()) fs::remove(working, ec);
    RowRefused(row, destination, e.what());
  }
}

void TBatchRunner::RowRefused(int row, const fs::path &destination, const std::string &reason) {
  TRowResult refused;
  refused.Row = row;
  refused.Outcome = TRowOutcome::Refused;
  refused.Destination = destination;
  refused.Reason = reason;
  ++FSummary.Refused;
  FObserver.RowEnded(refused);
}

void TBatchRunner::OnProgress(const TProgressInfo &info) {
  if (info.TaskIndex < 0 || info.TaskIndex >= static_cast<int>(FRowOfTask.size())) return;
  TRowProgress progress;
  progress.Row = FRowOfTask[info.TaskIndex];
  progress.Task = info.TaskIndex;
  progress.TaskCount = static_cast<int>(FRowOfTask.size());
  if (info.TotalDuration > 0)
    progress.Percent = static_cast<int>(
        std::clamp<int64_t>(info.CurrentDuration * 100 / info.TotalDuration, 0, 100));
  progress.Info = info;
  FObserver.RowProgress(progress);
}

void TBatchRunner::OnPreviewBitmap(const TPreviewInfo &info) {
  if (info.TaskIndex < 0 || info.TaskIndex >= static_cast<int>(FRowOfTask.size())) return;
  if (!info.Bitmap || info.Bitmap->Width() <= 0 || info.Bitmap->Height() <= 0) return;
  FObserver.PreviewBitmap(FRowOfTask[info.TaskIndex], info);
}

// On the conversion thread.  The decorators are made before the batch starts and stay until the
// next Start.
void TBatchRunner::OnCustomHook(THookInfo &hook) {
  if (hook.TaskIndex < 0 || hook.TaskIndex >= static_cast<int>(FDecorators.size())) return;
  if (FDecorators[hook.TaskIndex] && hook.Bitmap) FDecorators[hook.TaskIndex](hook);
}

void TBatchRunner::OnTerminate(const TTerminateInfo &info) {
  if (info.TaskIndex < 0)
    BatchEnded();
  else
    TaskEnded(info);
}

void TBatchRunner::TaskEnded(const TTerminateInfo &info) {
  if (info.TaskIndex >= static_cast<int>(FTasks.size())) return;
  TTaskState &task = FTasks[info.TaskIndex];
  if (task.Ended) return;
  task.Ended = true;
  TRowResult result;
  result.Row = FRowOfTask[info.TaskIndex];
  result.Destination = task.Destination;
  if (info.Finished && !info.Exception) {
    result.Outcome = TRowOutcome::Finished;
    result.DecodeErrors = info.DecodeErrors;
    FinishOutput(task, result);
  } else {
    result.Outcome = info.Exception ? TRowOutcome::Failed : TRowOutcome::Stopped;
    result.Reason = info.ExceptionMsg;
    result.PartialFile = DropUnfinishedOutput(task, result.Outcome);
  }
  ++(result.Outcome == TRowOutcome::Finished ? FSummary.Finished
     : result.Outcome == TRowOutcome::Failed ? FSummary.Failed
                                             : FSummary.Stopped);
  if (info.TaskIndex + 1 == static_cast<int>(FTasks.size()))
    FLastTaskFinished = result.Outcome == TRowOutcome::Finished;
  FObserver.RowEnded(result);
}

// A complete file takes its final name; when it cannot, the row failed and the file is kept as
// an unfinished one rather than lost.
void TBatchRunner::FinishOutput(const TTaskState &task, TRowResult &result) {
  const std::string error = PublishWorkingFile(task.Working, task.Destination);
  if (error.empty()) return;
  result.Outcome = TRowOutcome::Failed;
  result.Reason = error;
  result.PartialFile = SetAsidePartialOutput(task.Working, task.Destination);
}

// A file stopped while being written is set aside as "NAME.part" (its trailer is written, it
// plays as far as it got); a file that failed, or whose task never started (empty), goes.
fs::path TBatchRunner::DropUnfinishedOutput(const TTaskState &task, TRowOutcome outcome) {
  std::error_code ec;
  if (outcome == TRowOutcome::Stopped && fs::file_size(task.Working, ec) > 0 && !ec)
    return SetAsidePartialOutput(task.Working, task.Destination);
  fs::remove(task.Working, ec);
  return {};
}

void TBatchRunner::BatchEnded() {
  if (!FRunning) return;
  FRunning = false;
  FComponent.ClearTasks();
  // Only a batch that converted its last file ends with the folder or the shut-down; a stopped
  // one never does.  Done here rather than when the last file ended, so that no file of a
  // batch run in parallel is still being written.
  if (FLastTaskFinished && !FStopRequested) RunAfterBatch();
  FObserver.BatchEnded(FSummary);
}

void TBatchRunner::RunAfterBatch() {
  const std::string folder = FStore.OutPutDir();
  if (FOpenOutputFolder && folder.size() > 2) ShellOpen(folder);
  if (FShutDown && FShutDownAction) {
    FShutDownAction();
  } else if (FShutDown) {
    std::string error;
    if (!ShutdownService().PowerOff(error)) FQuestions.ShowMessage(error, WarningCaption);
  }
}
