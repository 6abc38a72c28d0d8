#include "workspace/SourceReader.h"

#include <QMetaObject>
#include <QThreadPool>
#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

struct TSourceReader::TRequest {
  int Generation = 0;
  bool IsWalk = false;
  std::vector<std::string> Paths;  // a walk's files and folders
  std::vector<TPendingRead> Reads;
};

// What the reader and its worker share.  The worker may outlive the reader (a probe cannot be
// interrupted), so it holds this and not the reader.
struct TSourceReader::TShared {
  std::mutex Lock;
  std::deque<TRequest> Requests;
  bool Working = false;            // a worker takes the requests
  QObject *Receiver = nullptr;     // the reader while it lives; guarded by Lock
  std::atomic<int> Generation{0};  // advanced by every cancel

  // Runs `call` on the reader's thread.  Posted under the lock, so that the reader cannot go
  // between the test and the post; a call posted before it goes is discarded with it.
  void Post(std::function<void()> call) {
    std::lock_guard lock(Lock);
    if (Receiver) QMetaObject::invokeMethod(Receiver, std::move(call), Qt::QueuedConnection);
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
  QThreadPool::globalInstance()->start([shared = FShared, makeProbe = FMakeProbe, reader = this] {
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
        std::vector<std::string> files = ExpandDroppedPaths(request.Paths, cancelled);
        if (cancelled()) continue;
        shared->Post([reader, generation, files = std::move(files)] {
          if (generation != reader->FShared->Generation) return;
          --reader->FOutstanding;
          reader->FWalked(files);
        });
        continue;
      }
      for (const TPendingRead &read : request.Reads) {
        if (cancelled()) break;
        std::optional<int64_t> duration;
        try {
          if (!probe) probe = makeProbe();
          duration = probe(read.Path);
        } catch (...) {
          // A file the engine fails on is one it cannot open: the row leaves the list.
          duration.reset();
        }
        shared->Post([reader, generation, id = read.Id, duration] {
          if (generation != reader->FShared->Generation) return;
          --reader->FOutstanding;
          reader->FProbed(id, duration);
        });
      }
    }
  });
}
