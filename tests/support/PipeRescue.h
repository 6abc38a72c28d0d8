// A named pipe that a faulty reader may have opened: opening it for reading waits until a writer
// comes.  After a while this helper comes as that writer (and leaves again at once), as often as
// needed, so that a test of code that should never open the pipe fails with Rescued() instead of
// hanging.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TPipeRescue {
 public:
  TPipeRescue(std::string fifo, std::chrono::seconds after) : FFifo(std::move(fifo)) {
    FThread = std::thread([this, after] {
      std::unique_lock lock(FLock);
      auto wait = after;
      // A faulty reader may open the pipe again after each release: released every time.
      while (!FCancel.wait_for(lock, wait, [this] { return FCancelled; })) {
        wait = std::chrono::seconds(1);
        // Succeeds only while a reader has the pipe open (or waits in its open).
        const int fd = open(FFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        FRescued = true;
        close(fd);
      }
    });
  }
  ~TPipeRescue() {
    {
      std::lock_guard lock(FLock);
      FCancelled = true;
    }
    FCancel.notify_all();
    FThread.join();
  }
  TPipeRescue(const TPipeRescue &) = delete;
  TPipeRescue &operator=(const TPipeRescue &) = delete;

  // Whether a reader had to be released.
  bool Rescued() {
    std::lock_guard lock(FLock);
    return FRescued;
  }

 private:
  std::string FFifo;
  std::mutex FLock;
  std::condition_variable FCancel;
  bool FCancelled = false;
  bool FRescued = false;
  std::thread FThread;
};
