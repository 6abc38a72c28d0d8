#include "workspace/reading/SourceReader.h"

#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// The thread of our own that reads for every reader of the process, one request after the other.
// Work is handed to it through our own lock (which the thread sanitizer sees, unlike the hand-off
// inside Qt's thread pool).  It lives until the program ends, where it finishes the probe it is
// running and stops.
class TReadingThread {
 public:
  static TReadingThread &Instance() {
    static TReadingThread thread;
    return thread;
  }
  void Serve(std::function<void()> work) {
    {
      std::lock_guard lock(FLock);
      FWork.push_back(std::move(work));
    }
    FWake.notify_one();
  }
  ~TReadingThread() {
    {
      std::lock_guard lock(FLock);
      FStop = true;
    }
    FWake.notify_one();
    FThread.join();
  }

 private:
  TReadingThread() : FThread([this] { Run(); }) {}
  void Run() {
    for (;;) {
      std::function<void()> work;
      {
        std::unique_lock lock(FLock);
        FWake.wait(lock, [this] { return FStop || !FWork.empty(); });
        if (FStop) return;
        work = std::move(FWork.front());
        FWork.pop_front();
      }
      work();
    }
  }

  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FWork;
  bool FStop = false;
  std::thread FThread;
};

}  // namespace

struct TSourceReader::TRequest {
  int Generation = 0;
  bool IsWalk = false;
  std::vector<std::string> Paths;  // a walk's files and folders
  std::vector<TPendingRead> Reads;
};

struct TSourceReader::TResult {
  int Generation = 0;
  bool IsWalk = false;
  std::vector<std::string> Files;  // what a walk found
  int Id = 0;                      // a probe's
  std::optional<int64_t> Duration;
};

// What the reader and its worker share.  The worker may outlive the reader (a probe cannot be
// interrupted), so it holds this and not the reader.
struct TSourceReader::TShared {
  std::mutex Lock;
  std::deque<TRequest> Requests;
  std::deque<TResult> Results;     // for the reader's thread
  bool Working = false;            // a worker takes the requests
  bool WakeUpPosted = false;       // DeliverResults is on its way
  QObject *Receiver = nullptr;     // the reader while it lives
  std::atomic<int> Generation{0};  // advanced by every cancel

  // Leaves a result for the reader's thread and wakes it up.  The results travel through this
  // queue, not inside Qt's event (Qt hands its events between threads in ways the thread
  // sanitizer cannot see): the wake-up carries nothing.  Under the lock, so that the reader
  // cannot go between the test and the post; a wake-up posted before it goes goes with it.
  void Post(TResult result) {
    std::lock_guard lock(Lock);
    if (!Receiver) return;
    Results.push_back(std::move(result));
    if (WakeUpPosted) return;
    WakeUpPosted = true;
    QMetaObject::invokeMethod(Receiver, "DeliverResults", Qt::QueuedConnection);
  }
};

TSourceReader::TSourceReader(TWalked walked, TProbed probed, TProbeMaker makeProbe, QObject *parent)
    : QObject(parent),
      FWalked(std::move(walked)),
      FProbed(std::move(probed)),
      FMakeProbe(std::move(makeProbe)),
      FShared(std::make_shared<TShared>()) {
  FShared->Receiver = this;
}

TSourceReader::~TSourceReader() {
  std::lock_guard lock(FShared->Lock);
  FShared->Receiver = nullptr;
  FShared->Requests.clear();
  ++FShared->Generation;
}

void TSourceReader::Walk(std::vector<std::string> paths) {
  TRequest request;
  request.IsWalk = true;
  request.Paths = std::move(paths);
  ++FOutstanding;
  Queue(std::move(request));
}

void TSourceReader::Probe(std::vector<TPendingRead> reads) {
  if (reads.empty()) return;
  TRequest request;
  FOutstanding += static_cast<int>(reads.size());
  request.Reads = std::move(reads);
  Queue(std::move(request));
}

void TSourceReader::Cancel() {
  std::lock_guard lock(FShared->Lock);
  FShared->Requests.clear();
  ++FShared->Generation;
  FOutstanding = 0;
}

void TSourceReader::Queue(TRequest request) {
  request.Generation = FShared->Generation;
  {
    std::lock_guard lock(FShared->Lock);
    FShared->Requests.push_back(std::move(request));
    if (FShared->Working) return;
    FShared->Working = true;
  }
  // One worker at a time takes the requests in order, so that results come back in the order
  // the files were given.
  TReadingThread::Instance().Serve([shared = FShared, makeProbe = FMakeProbe] {
    TDurationProbe probe;
    for (;;) {
      TRequest request;
      {
        std::lock_guard lock(shared->Lock);
        if (shared->Requests.empty()) {
          shared->Working = false;
          return;
        }
        request = std::move(shared->Requests.front());
        shared->Requests.pop_front();
      }
      const int generation = request.Generation;
      const auto cancelled = [&] { return shared->Generation != generation; };
      if (request.IsWalk) {
        TResult walked;
        walked.Generation = generation;
        walked.IsWalk = true;
        walked.Files = ExpandDroppedPaths(request.Paths, cancelled);
        if (!cancelled()) shared->Post(std::move(walked));
        continue;
      }
      for (const TPendingRead &read : request.Reads) {
        if (cancelled()) break;
        TResult probed;
        probed.Generation = generation;
        probed.Id = read.Id;
        try {
          if (!probe) probe = makeProbe();
          probed.Duration = probe(read.Path);
        } catch (...) {
          // A file the engine fails on is one it cannot open: the row leaves the list.
          probed.Duration.reset();
        }
        shared->Post(std::move(probed));
      }
    }
  });
}

void TSourceReader::DeliverResults() {
  std::deque<TResult> results;
  {
    std::lock_guard lock(FShared->Lock);
    results.swap(FShared->Results);
    FShared->WakeUpPosted = false;
  }
  for (const TResult &result : results) {
    // A callback may have cancelled what is left.
    if (result.Generation != FShared->Generation) continue;
    --FOutstanding;
    if (result.IsWalk)
      FWalked(result.Files);
    else
      FProbed(result.Id, result.Duration);
  }
}
