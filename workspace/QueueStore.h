// The conversion list kept from one run of the window to the next: every row with its check box,
// what its editors set (trim, crop, picture adjustments, watermark) and the result of its last
// conversion, in an INI file of the user's state folder.  A closed window, a crash or a logout
// finds the list as it was at the next start.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "workspace/ConversionList.h"

// "queue.ini" in the state folder ($XDG_STATE_HOME/morvane).
std::filesystem::path DefaultQueuePath();

// The rows as the file's text.  A row's percentage is kept only with its result (finished or
// failed): a conversion cut short starts afresh.
std::string QueueText(const std::vector<TConversionRow> &rows);

// The rows a file's text holds.  The text is not trusted: a row without a source is left out, a
// number that is not a number keeps the field's default, a value outside what the editors accept
// is brought into their range, and no more than MaxQueueRows rows are read whatever the file
// claims; a damaged or cut-off text gives the rows that can be read, or none.
std::vector<TConversionRow> QueueRowsOfText(const std::string &text);

inline constexpr int MaxQueueRows = 100000;

class TQueueStore {
 public:
  explicit TQueueStore(std::filesystem::path path) : FPath(std::move(path)) {}
  const std::filesystem::path &Path() const { return FPath; }

  // Replaces the file in one step (a temporary file beside it, synced, renamed over it; the
  // folder is made when missing).  Throws std::runtime_error saying which step failed; the old
  // file is then as it was.
  void Save(const std::vector<TConversionRow> &rows) const;
  // The same with the rows' text (QueueText) made already.
  void SaveText(const std::string &text) const;
  // The rows of the file; none when it is missing, not a regular file, too large or binary.
  // What a killed save left beside it goes.
  std::vector<TConversionRow> Load() const;

 private:
  std::filesystem::path FPath;
};

// Keeps the file in step with the list without the caller waiting on the disk: Put hands over a
// copy of the rows and returns; a thread of the writer's own writes the latest copy it was given
// (copies put while it writes are folded into one write), and skips a text that is already on
// the disk.  The destructor writes what is still pending.
class TQueueWriter {
 public:
  // `onError` hears, on the writer's thread, why a save failed (once until a save succeeds).
  explicit TQueueWriter(TQueueStore store,
                        std::function<void(const std::string &why)> onError = {});
  ~TQueueWriter();
  TQueueWriter(const TQueueWriter &) = delete;
  TQueueWriter &operator=(const TQueueWriter &) = delete;

  void Put(std::vector<TConversionRow> rows);
  // Waits until everything put so far is on the disk (or failed).
  void Flush();

 private:
  void Run();

  const TQueueStore FStore;
  const std::function<void(const std::string &)> FOnError;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::optional<std::vector<TConversionRow>> FPending;
  bool FWriting = false, FEnding = false;
  // Used by the writer's thread only.
  std::string FWritten;
  bool FFailed = false;
  std::thread FThread;  // last: it starts once the rest is there
};
