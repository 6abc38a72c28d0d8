#include "workspace/session/BatchSession.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "platform/MainThread.h"
#include "services/TranslatableText.h"

// The questions of a job built on another thread are put to the user on the main thread; the
// building thread waits for the answer, never the main thread for the building.
class TBatchSession::TMainThreadQuestions : public IJobQuestions {
 public:
  explicit TMainThreadQuestions(IJobQuestions &questions) : FQuestions(questions) {}

  bool AskYesNo(const std::string &text, const std::string &caption) override {
    bool yes = false;
    RunInMainThread([&] { yes = FQuestions.AskYesNo(text, caption); });
    return yes;
  }

  void ShowMessage(const std::string &text, const std::string &caption) override {
    RunInMainThread([&] { FQuestions.ShowMessage(text, caption); });
  }

 private:
  IJobQuestions &FQuestions;
};

TBatchSession::TBatchSession(TFFmpegVCL &component, QObject *parent)
    : QObject(parent), FComponent(component), FSelf(this) {
  // The pictures are scaled where they are made; the conversion does not wait for the windows.
  FComponent.SetPreviewBitmapOnTaskThread(true);
}

TBatchSession::~TBatchSession() {
  Close();
}

bool TBatchSession::Start(std::vector<TBatchRow> rows, TBatchSetup setup) {
  if (Active() || !setup.Questions) return false;
  if (std::none_of(rows.begin(), rows.end(), [](const TBatchRow &r) { return r.Checked; })) {
    setup.Questions->ShowMessage(NoRowCheckedMessage, WarningCaption);
    return false;
  }
  // The last batch's runner goes only now: its last queued calls may have been running it.
  FRunner.reset();
  FStore = std::make_unique<TSettingsStore>(setup.SettingsIniPath);
  FCatalogue = std::make_unique<TFormatCatalogue>(setup.FormatIniPath);
  FQuestions = std::make_unique<TMainThreadQuestions>(*setup.Questions);
  IBatchObserver &observer = *this;
  FRunner = std::make_unique<TBatchRunner>(FComponent, *FCatalogue, *FStore, *FQuestions, observer);
  FRunner->SetFrameDecoration(std::move(setup.Decoration));
  FRunner->SetAfterBatch(setup.AfterBatch);
  FRunner->SetShutDownAction(std::move(setup.ShutDownAction));
  FRows = std::move(rows);
  FMaxThreads = setup.MaxThreads;
  FRowOfTask.clear();
  FResults.clear();
  FSummary = {};
  FPauseWanted = false;
  SetState(TBatchState::Running);
  // Probing every source takes a while for a long batch: a thread of its own builds the jobs.
  FPreparing = true;
  FPreparation = std::thread([this] {
    int tasks = 0;
    std::string error;
    try {
      tasks = FRunner->Prepare(FRows);
    } catch (const std::exception &e) {
      error = e.what();
    } catch (...) {
      error = QT_TRANSLATE_NOOP("Messages", "Unknown error");
    }
    Deliver([tasks, error](TBatchSession &session) { session.Prepared(tasks, error); });
    FPreparing = false;
  });
  return true;
}

void TBatchSession::Prepared(int tasks, const std::string &error) {
  JoinPreparation();
  if (!FRunner) return;
  if (!error.empty()) FQuestions->ShowMessage(error, WarningCaption);
  if (!error.empty() || tasks == 0) {
    FRunner->Discard();
    FSummary = FRunner->Summary();
    EndBatch();
    return;
  }
  FAdding = true;
  AddTasks();
}

void TBatchSession::AddTasks() {
  // Adding a task takes the component up to a millisecond: a long batch is added a slice at a
  // time, each in a turn of its own of the window thread's event loop, so that the windows
  // paint and answer in between.
  constexpr int TasksPerTurn = 20;
  if (!FRunner || !FAdding) return;
  try {
    if (FState == TBatchState::Stopping) {
      FRunner->Discard();
    } else if (FRunner->AddPrepared(TasksPerTurn) > 0) {
      QTimer::singleShot(0, this, [this] { AddTasks(); });
      return;
    } else if (FRunner->StartAdded(FMaxThreads) > 0) {
      FAdding = false;
      FRowOfTask = FRunner->RowOfTask();
      if (FPauseWanted) FRunner->Pause();
      emit started();
      return;  // the runner's BatchEnded ends the batch
    }
  } catch (const std::exception &e) {
    FRunner->Discard();
    FQuestions->ShowMessage(e.what(), WarningCaption);
  }
  FAdding = false;
  FSummary = FRunner->Summary();
  EndBatch();
}

void TBatchSession::Stop() {
  if (FState == TBatchState::Idle || FState == TBatchState::Stopping) return;
  SetState(TBatchState::Stopping);
  // While the jobs are built, only the rest of them is given up; the tasks wait for nothing.
  if (FRunner) FRunner->Stop();
}

void TBatchSession::Pause() {
  if (FState != TBatchState::Running) return;
  FPauseWanted = true;
  if (FRunner && !FPreparing && !FAdding) FRunner->Pause();
  SetState(TBatchState::Paused);
}

void TBatchSession::Resume() {
  if (FState != TBatchState::Paused) return;
  FPauseWanted = false;
  if (FRunner && !FPreparing && !FAdding) FRunner->Resume();
  SetState(TBatchState::Running);
}

void TBatchSession::SetAfterBatch(TAfterBatch after) {
  if (FRunner) FRunner->SetAfterBatch(after);
}

void TBatchSession::SetPictureHandler(TPictureHandler handler) {
  std::lock_guard lock(FPictureLock);
  FPictureHandler = std::move(handler);
}

void TBatchSession::Close() {
  if (FRunner && Active()) FRunner->Stop();
  JoinPreparation();
  // Tasks added but not started leave no reserved file behind.
  if (FRunner && std::exchange(FAdding, false)) FRunner->Discard();
  FRunner.reset();  // stops what still runs and sets the file being written aside
  FState = TBatchState::Idle;
}

void TBatchSession::JoinPreparation() {
  using namespace std::chrono_literals;
  // The building thread may be waiting for a question on this thread.
  while (FPreparing) ServeMainThread(20ms);
  if (FPreparation.joinable()) FPreparation.join();
}

void TBatchSession::SetState(TBatchState state) {
  if (FState == state) return;
  FState = state;
  emit stateChanged(state);
}

void TBatchSession::EndBatch() {
  if (FState == TBatchState::Idle) return;
  SetState(TBatchState::Idle);
  emit batchEnded(FSummary);
}

// Through the main-thread dispatcher's queue, whose lock orders the hand-over for every thread
// (and for the thread sanitizer); the call is dropped when the session has gone.
void TBatchSession::Deliver(std::function<void(TBatchSession &)> call) {
  PostToMainThread([session = FSelf, call = std::move(call)] {
    if (session) call(*session);
  });
}

// The runner's reports: on the building thread (the rows refused) or on the main thread.

void TBatchSession::RowProgress(const TRowProgress &progress) {
  Deliver([progress](TBatchSession &session) {
    if (session.Active()) emit session.rowProgress(progress);
  });
}

void TBatchSession::PreviewBitmap(int row, const TPreviewInfo &info) {
  std::lock_guard lock(FPictureLock);
  if (FPictureHandler) FPictureHandler(row, *info.Bitmap);
}

void TBatchSession::RowEnded(const TRowResult &result) {
  Deliver([result](TBatchSession &session) {
    if (!session.Active()) return;
    session.FResults[result.Row] = result;
    emit session.rowEnded(result);
  });
}

void TBatchSession::BatchEnded(const TBatchSummary &summary) {
  Deliver([summary](TBatchSession &session) {
    session.FSummary = summary;
    session.EndBatch();
  });
}
