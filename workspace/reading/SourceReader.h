// Reads the files a user adds away from the thread that shows them: walks dropped folders and
// probes each file for its duration on a worker thread, one request after the
// other in the order they were made, and hands every result back to the thread that owns the
// reader through its event loop.  No widgets: the window forwards to it, tests drive it with a
// bare event loop.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "workspace/ConversionList.h"

class TSourceReader : public QObject {
  Q_OBJECT

 public:
  // Called on the reader's thread.  `files`: what a walk found (already sorted as a drop adds
  // them).  `duration`: as TDurationProbe gives it.
  using TWalked = std::function<void(const std::vector<std::string> &files)>;
  using TProbed = std::function<void(int id, const std::optional<int64_t> &duration)>;
  // Makes the probe a worker uses (called on the worker's thread, once per run of the worker).
  using TProbeMaker = std::function<TDurationProbe()>;

  TSourceReader(TWalked walked, TProbed probed, TProbeMaker makeProbe = OwnComponentDurationProbe,
                QObject *parent = nullptr);
  // Cancels what is left; a probe still running ends on its worker and its result is dropped.
  ~TSourceReader() override;

  // Walks the folders among `paths` (ExpandDroppedPaths); `walked` gets the files.
  void Walk(std::vector<std::string> paths);
  // Probes the files in order; `probed` gets each result as soon as it is known.
  void Probe(std::vector<TPendingRead> reads);
  // Drops every request not yet answered: a walk stops, no further probe starts, and no result
  // of a request made before is delivered.
  void Cancel();
  // Whether a request has not been answered yet (nothing cancelled since).
  bool Busy() const { return FOutstanding > 0; }

 private:
  struct TShared;
  struct TRequest;
  struct TResult;
  void Queue(TRequest request);
  // Hands the results the worker has left in FShared to the callbacks (on the reader's thread).
  Q_INVOKABLE void DeliverResults();

  TWalked FWalked;
  TProbed FProbed;
  TProbeMaker FMakeProbe;
  std::shared_ptr<TShared> FShared;
  int FOutstanding = 0;  // requests made and neither answered nor cancelled
};
