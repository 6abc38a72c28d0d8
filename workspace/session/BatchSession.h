// One batch as the windows see it: the session owns the batch runner and what a batch uses for
// as long as it runs (its copy of the settings store, the profile catalogue), holds the batch's
// state and the rows' results, and announces them by signals.  The main window and the progress
// window watch it and call Start, Stop, Pause and Resume on it; none of them drives the other.
//
//   TBatchSession session(component);
//   connect(&session, &TBatchSession::stateChanged, window, [..](TBatchState s) { buttons });
//   connect(&session, &TBatchSession::rowEnded, window, [..](const TRowResult &r) { row text });
//   session.Start(rows, setup);   // Running at once; the jobs are built on a thread of its own
//   session.Pause(); session.Resume(); session.Stop();
//
// Threads: the session lives on the main thread (the thread of the installed main-thread
// dispatcher), where every call is made and every signal is emitted.  What the runner reports
// from other threads (the jobs built, the rows refused) comes back through the dispatcher's
// queue, guarded by a QPointer so that it is dropped when the session has gone.  Only the picture
// handler runs on the conversion thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "workspace/BatchRunner.h"

enum class TBatchState {
  Idle,      // no batch
  Running,   // the jobs are built or the tasks run
  Paused,    // the running task waits for Resume
  Stopping,  // Stop was asked; the batch ends when its tasks have
};

// What a batch uses besides its rows.
struct TBatchSetup {
  std::string SettingsIniPath, FormatIniPath;
  // Asked on the main thread, whichever thread builds the jobs.  Must outlive the session.
  IJobQuestions *Questions = nullptr;
  TFrameDecoration Decoration;
  TAfterBatch AfterBatch;
  std::function<void()> ShutDownAction;  // empty: the shut-down service is called directly
  int MaxThreads = 1;
};

// Receives every picture of the running task, on its conversion thread: it must not wait for the
// main thread (scale the picture there and post the result).
using TPictureHandler = std::function<void(int row, const TBitmap &picture)>;

class TBatchSession : public QObject, private IBatchObserver {
  Q_OBJECT

 public:
  explicit TBatchSession(TFFmpegVCL &component, QObject *parent = nullptr);
  ~TBatchSession() override;

  // Starts a batch of the checked rows (their records must stay until the batch has ended).
  // False, after the user was told, when no row is checked; otherwise the session is Running at
  // once, builds the jobs on a thread of its own and then starts the tasks.
  bool Start(std::vector<TBatchRow> rows, TBatchSetup setup);
  // Stops the batch: the running task is stopped (waited for) and the others do not start; the
  // batch ends with batchEnded.  Nothing happens when no batch runs.
  void Stop();
  void Pause();
  void Resume();
  void SetAfterBatch(TAfterBatch after);
  void SetPictureHandler(TPictureHandler handler);
  // The window goes away: a running batch stops without further signals, the file being written
  // is set aside as "NAME.part".
  void Close();

  TBatchState State() const { return FState; }
  bool Active() const { return FState != TBatchState::Idle; }
  // The row of each task, once the tasks have started.
  const std::vector<int> &RowOfTask() const { return FRowOfTask; }
  // The rows of the current (or last) batch that have ended, by row.
  const std::map<int, TRowResult> &Results() const { return FResults; }
  const TBatchSummary &Summary() const { return FSummary; }

 signals:
  void stateChanged(TBatchState state);
  // The jobs are built and the tasks have started: RowOfTask is known.
  void started();
  void rowProgress(const TRowProgress &progress);
  void rowEnded(const TRowResult &result);
  void batchEnded(const TBatchSummary &summary);

 private:
  void RowProgress(const TRowProgress &progress) override;
  void PreviewBitmap(int row, const TPreviewInfo &info) override;
  void RowEnded(const TRowResult &result) override;
  void BatchEnded(const TBatchSummary &summary) override;

  // Runs `call` on the main thread: at once there, queued from another thread.
  void Deliver(std::function<void(TBatchSession &)> call);
  void Prepared(int tasks, const std::string &error);
  void AddTasks();
  void EndBatch();
  void SetState(TBatchState state);
  void JoinPreparation();

  class TMainThreadQuestions;

  TFFmpegVCL &FComponent;
  // Made on the main thread; copies of it travel with the calls of other threads.
  const QPointer<TBatchSession> FSelf;
  std::unique_ptr<TSettingsStore> FStore;
  std::unique_ptr<TFormatCatalogue> FCatalogue;
  std::unique_ptr<TMainThreadQuestions> FQuestions;
  std::unique_ptr<TBatchRunner> FRunner;
  std::thread FPreparation;
  std::atomic<bool> FPreparing{false};
  bool FAdding = false;  // the prepared tasks are being added, a slice per turn
  std::vector<TBatchRow> FRows;
  int FMaxThreads = 1;
  TBatchState FState = TBatchState::Idle;
  bool FPauseWanted = false;
  std::vector<int> FRowOfTask;
  std::map<int, TRowResult> FResults;
  TBatchSummary FSummary;
  std::mutex FPictureLock;
  TPictureHandler FPictureHandler;
};
