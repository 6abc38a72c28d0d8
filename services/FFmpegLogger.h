// The one logger for the libraries' output and the engine's, probe's and player's own messages.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// Library level of a level: (ordinal - 1) * 8, so llQuiet = -8 ... llDebug = 48.
int LogLevelToLibrary(TLogLevel level);
// Level of a library level: <= -8 quiet, else L / 8 (toward zero) + 1, capped at llDebug.
TLogLevel LibraryToLogLevel(int libraryLevel);
const char *LogLevelName(TLogLevel level);

using TLogEvent = std::function<void(const void *Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                                     const std::string &ALogMsg)>;

class TFFLogger {
 public:
  static constexpr size_t FormatBufferSize = 2048;

  // Only one instance may exist; a second construction throws std::logic_error.
  TFFLogger();
  ~TFFLogger();
  TFFLogger(const TFFLogger &) = delete;
  TFFLogger &operator=(const TFFLogger &) = delete;

  // Read by every thread that logs; set by the host at any time.
  TLogLevel LogLevel() const { return FLogLevel; }
  void SetLogLevel(TLogLevel level);
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool value) { FTriggerEventInMainThread = value; }
  // The handler of every delivered line.  Lines for the main thread are queued there (the logging
  // thread may hold the codec lock, which the main thread may be waiting for), so they may arrive
  // after the logging call returned; a line queued for a handler that has since been replaced or
  // removed is dropped.  The sender of such a line may be gone by then: it is only a name.
  void SetOnLog(TLogEvent handler);
  bool HasOnLog() const;

  void Log(const void *sender, TLogLevel level, const std::string &msg);
  void LogFmt(const void *sender, TLogLevel level, const char *fmt, ...)
      __attribute__((format(printf, 4, 5)));

  // "quiet" ... "debug" in any letter case, or a decimal library level.  Other text throws
  // std::invalid_argument.
  void SetLogLevelName(const std::string &name);

  // Installs the library callback; the loader calls it after every bind of avutil.
  void InstallLibraryCallback();

  // The libraries' log callback (also called directly by tests).
  static void LibraryCallback(void *avcl, int level, const char *fmt, va_list vl);

  static TFFLogger *Instance();

 private:
  void ApplyLevel();
  void HandleLibraryText(void *avcl, int level, const char *fmt, va_list vl);
  void Deliver(const void *sender, uint32_t threadId, TLogLevel level, const std::string &line);

  struct THandler {
    TLogEvent Event;
    uint64_t Generation = 0;  // changes with every SetOnLog
  };
  THandler Handler() const;

  std::atomic<TLogLevel> FLogLevel{TLogLevel::llInfo};
  std::atomic<bool> FTriggerEventInMainThread{true};
  mutable std::mutex FHandlerLock;
  THandler FHandler;
  std::mutex FListLock;                                // the line list's own lock
  std::unordered_map<uint32_t, std::string> FPending;  // per thread: the line received so far
};

// The single logger, created on first use.
TFFLogger &FFLogger();

// Current thread's id as the logger reports it.
uint32_t CurrentThreadId();
