// Start and the control of a running batch: the checked rows of the conversion list become tasks
// of the encoder component, one per row, and the component's events come back as the progress
// and the result of each row.  The main window's Start button and the command-line converter both
// run their batches through it, so that the road from rows to tasks is written once.
//
// How a host uses it:
//
//   class TMyHost : public IBatchObserver {
//     void RowProgress(const TRowProgress &p) override { ... row p.Row shows p.Percent ... }
//     void RowEnded(const TRowResult &r) override { ... "100%", or the reason it failed ... }
//     void BatchEnded(const TBatchSummary &s) override { ... buttons back, progress window shut ...
//     }
//   };
//
//   TBatchRunner runner(component, catalogue, store, questions, host);
//   runner.SetFrameDecoration(ConversionDecoration());  // optional: effects and watermark of a row
//   runner.SetAfterBatch({openFolder, shutDown});  // may change while the batch runs
//   std::vector<TBatchRow> rows = {{"/clips/a.avi", true, &recordA},
//                                  {"/clips/b.mkv", false, &recordB}};
//   if (runner.Start(rows, 1) > 0) {
//     // The batch runs; serve the main thread (the event loop, or ProcessPending in a loop)
//     // until BatchEnded.  Stop(), Pause() and Resume() as the user asks.
//   }
//
// Threads: Start, Stop, Pause and Resume are called on the main thread (the thread of the
// installed main-thread dispatcher, or the only thread when none is installed).  Every observer
// call arrives on that thread too: RowJobBuilt and the RowEnded of a refused row during Start,
// the others while the main thread serves marshalled calls.  The frame decoration makes each
// decorating row's decorator during Start; the decorator alone runs on the conversion thread, for
// every frame of a row that has effects or a watermark.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/TranslatableText.h"
#include "services/component/FFmpegVCL.h"
#include "workspace/FilesRecord.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/JobBuilder.h"
#include "workspace/JobQuestions.h"
#include "workspace/OutputFile.h"
#include "workspace/SettingsStore.h"

// What Start says when no row is checked.
inline constexpr char NoRowCheckedMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Please select a file by clicking the check box!");

// One row of the conversion list as Start sees it.
struct TBatchRow {
  std::string SourceFile;            // the row caption: the source's path (UTF-8)
  bool Checked = true;               // only checked rows are converted
  TlvFilesRecord *Record = nullptr;  // the row's edits; Start writes its ZoomMode
};

struct TRowProgress {
  int Row = 0;   // index into the rows given to Start
  int Task = 0;  // the row's task and the number of tasks: "[Task + 1/TaskCount]"
  int TaskCount = 0;
  int Percent = -1;    // of the part to convert, 0..100; -1 while its length is unknown
  TProgressInfo Info;  // the component's values: frames, sizes, times
};

enum class TRowOutcome {
  Finished,  // converted to its end
  Failed,    // the conversion ended with an error
  Stopped,   // stopped by the user, running or before it started
  Refused,   // no task could be made for the row (the source cannot be opened, ...)
};

struct TRowResult {
  int Row = 0;
  TRowOutcome Outcome = TRowOutcome::Finished;
  std::string Reason;                 // Failed and Refused: the text of the failure
  std::filesystem::path Destination;  // the output file (empty when none was named)
  // Stopped while being written: the unfinished output set aside ("NAME.part").  A file that
  // failed, or never started, leaves nothing.
  std::filesystem::path PartialFile;
  // Finished: packets or pictures of a damaged source that could not be decoded.
  int DecodeErrors = 0;
};

// What a file converted from a damaged or cut-short source says beside its result:
// "warning: 1 decode error, the source is damaged or cut short"; empty without decode errors.
std::string DecodeErrorWarning(int decodeErrors);

struct TBatchSummary {
  int Finished = 0, Failed = 0, Stopped = 0, Refused = 0;
};

class IBatchObserver {
 public:
  virtual ~IBatchObserver() = default;
  // Start has built the row's job; the task is about to be added.
  virtual void RowJobBuilt(int /*row*/, const TJob & /*job*/) {}
  // At most once per progress interval while the row's task runs.
  virtual void RowProgress(const TRowProgress & /*progress*/) {}
  // A picture of the running task, when the component delivers preview bitmaps.
  virtual void PreviewBitmap(int /*row*/, const TPreviewInfo & /*info*/) {}
  // Once per row that took part: refused at Start, or its task ended.
  virtual void RowEnded(const TRowResult & /*result*/) {}
  // After the last task; the component's tasks are cleared and a new batch may start.
  virtual void BatchEnded(const TBatchSummary & /*summary*/) {}
};

// Draws one row's effects and watermark on the frames of its conversion: on the conversion
// thread, one frame at a time.
using TFrameDecorator = std::function<void(THookInfo &hook)>;
// Makes the decorator of a row whose conversion decorates its frames, when Start adds the row's
// task (on the main thread): what the frames need from the record, the watermark picture above
// all, is read once per conversion there instead of for every frame.
using TFrameDecoration = std::function<TFrameDecorator(const TlvFilesRecord &record)>;

// What to do when a batch has converted its last file.
struct TAfterBatch {
  bool OpenOutputFolder = false;
  bool ShutDown = false;
};

class TBatchRunner {
 public:
  // Takes over the component's four events for as long as it lives.
  TBatchRunner(TFFmpegVCL &component, const TFormatCatalogue &catalogue, TSettingsStore &store,
               IJobQuestions &questions, IBatchObserver &observer);
  ~TBatchRunner();
  TBatchRunner(const TBatchRunner &) = delete;
  TBatchRunner &operator=(const TBatchRunner &) = delete;

  void SetFrameDecoration(TFrameDecoration decoration) { FDecoration = std::move(decoration); }
  void SetAfterBatch(TAfterBatch after);
  // What a batch that asked for the shut-down does at its end instead of powering off at once
  // (the window counts down first, so that a person can still stop it).  Empty: the shut-down
  // service is called directly.
  void SetShutDownAction(std::function<void()> action) { FShutDownAction = std::move(action); }

  // Makes one task per checked row with the current profile of the settings store and starts
  // them, at most `maxThreads` at a time (0: one after another on this thread, returning when
  // the batch has ended).  Returns the number of tasks; 0 when nothing was started: no row is
  // checked (the user is told) or every checked row was refused.
  int Start(const std::vector<TBatchRow> &rows, int maxThreads);
  // Start in two steps, for a host whose main thread must not wait while the jobs are built.
  // Prepare builds the job of every checked row (each source is probed, the questions may be
  // asked) on the calling thread, which may be any one thread; the observer hears RowJobBuilt and
  // the refused rows' RowEnded there.  A Stop meanwhile ends it after the current row.  Returns
  // the number of tasks prepared.
  int Prepare(const std::vector<TBatchRow> &rows);
  // On the main thread, after Prepare: adds the prepared tasks, whose files are opened only when
  // each starts, and starts them.  Returns the number of tasks started.
  int Launch(int maxThreads);
  // Launch in steps, for a host whose main thread must go on between them (adding a task takes
  // the component a while, and a batch may have thousands): AddPrepared adds at most `count`
  // more of the prepared tasks and returns how many are still to be added; StartAdded then
  // starts the added ones and returns their number.
  int AddPrepared(int count);
  int StartAdded(int maxThreads);
  // A prepared batch that is not started (stopped while it was prepared or added): what was
  // reserved for its rows goes, tasks already added are taken out again, and the rows end
  // Stopped.
  void Discard();
  const TBatchSummary &Summary() const { return FSummary; }
  void Stop();  // waits until every task has ended
  void Pause();
  void Resume();
  bool Running() const { return FRunning; }

  // The row of each task of the running batch.
  const std::vector<int> &RowOfTask() const { return FRowOfTask; }

 private:
  struct TTaskState {
    std::filesystem::path Destination;
    std::filesystem::path Working;  // written there until complete
    bool Ended = false;
  };

  // A checked row's job, ready to become a task.
  struct TPreparedTask {
    int Row = 0;
    TJob Job;
    std::filesystem::path Working;
    TFrameDecorator Decorator;
  };

  static TSourceInfo ProbeSource(const std::string &file);
  void PrepareRow(TJobBuilder &builder, int row);
  void AddPreparedTask(TPreparedTask &prepared);
  // The prepared tasks are done with: none is waiting to be added.
  void ForgetPrepared();
  void StopUnstarted(int row, const std::filesystem::path &destination,
                     const std::filesystem::path &working);
  void RowRefused(int row, const std::filesystem::path &destination, const std::string &reason);
  void OnProgress(const TProgressInfo &info);
  void OnPreviewBitmap(const TPreviewInfo &info);
  void OnCustomHook(THookInfo &hook);
  void OnTerminate(const TTerminateInfo &info);
  void TaskEnded(const TTerminateInfo &info);
  static void FinishOutput(const TTaskState &task, TRowResult &result);
  static std::filesystem::path DropUnfinishedOutput(const TTaskState &task, TRowOutcome outcome);
  void BatchEnded();
  void RunAfterBatch();

  TFFmpegVCL &FComponent;
  const TFormatCatalogue &FCatalogue;
  TSettingsStore &FStore;
  IJobQuestions &FQuestions;
  IBatchObserver &FObserver;
  TFrameDecoration FDecoration;
  std::function<void()> FShutDownAction;
  std::atomic<bool> FOpenOutputFolder{false};
  std::atomic<bool> FShutDown{false};

  std::vector<TBatchRow> FRows;
  std::vector<TPreparedTask> FPrepared;
  size_t FAdded = 0;          // of FPrepared, given to the component
  bool FAddingBegun = false;  // the component's list holds this batch's tasks only
  std::vector<int> FRowOfTask;
  std::vector<TTaskState> FTasks;
  std::vector<TFrameDecorator> FDecorators;  // by task; empty for a task that is not decorated
  TBatchSummary FSummary;
  bool FRunning = false;
  std::atomic<bool> FStopRequested{false};
  bool FLastTaskFinished = false;
  // Calls queued for the main thread check it: they may run after the runner has gone.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
