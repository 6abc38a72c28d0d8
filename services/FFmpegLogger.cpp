#include "services/FFmpegLogger.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/MainThread.h"
#include "services/FFmpegApi.h"

namespace {

std::atomic<int> GLibraryLevel{32};  // the libraries' filter level, in library units
std::atomic<TFFLogger *> GInstance{nullptr};

const char *const LevelNames[] = {"quiet",   "panic", "fatal",   "error",
                                  "warning", "info",  "verbose", "debug"};

}  // namespace

int LogLevelToLibrary(TLogLevel level) {
  return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LibraryToLogLevel(int libraryLevel) {
  if (libraryLevel <= -8) return TLogLevel::llQuiet;
  const int ordinal = std::min(libraryLevel / 8 + 1, static_cast<int>(TLogLevel::llDebug));
  return static_cast<TLogLevel>(ordinal);
}

const char *LogLevelName(TLogLevel level) {
  return LevelNames[static_cast<int>(level)];
}

uint32_t CurrentThreadId() {
  return static_cast<uint32_t>(gettid());
}

TFFLogger::TFFLogger() {
  TFFLogger *expected = nullptr;
  if (!GInstance.compare_exchange_strong(expected, this))
    throw std::logic_error("Allow creating only one instance of TFFLogger.");
  FLogLevel = LibraryToLogLevel(GLibraryLevel);
}

TFFLogger::~TFFLogger() {
  TFFLogger *self = this;
  GInstance.compare_exchange_strong(self, nullptr);
}

TFFLogger *TFFLogger::Instance() {
  return GInstance;
}

TFFLogger &FFLogger() {
  static std::unique_ptr<TFFLogger> holder;
  static std::once_flag once;
  std::call_once(once, [] { holder = std::make_unique<TFFLogger>(); });
  return *holder;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
  if (FLogLevel.exchange(level) == level) return;
  ApplyLevel();
}

void TFFLogger::ApplyLevel() {
  if (!ff::av_log_set_level) return;
  GLibraryLevel = LogLevelToLibrary(FLogLevel);
  ff::av_log_set_level(GLibraryLevel);
}

void TFFLogger::SetLogLevelName(const std::string &name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  int libraryLevel = 0;
  const auto known = std::find(std::begin(LevelNames), std::end(LevelNames), lower);
  if (known != std::end(LevelNames)) {
    libraryLevel = LogLevelToLibrary(static_cast<TLogLevel>(known - std::begin(LevelNames)));
  } else {
    size_t used = 0;
    try {
      libraryLevel = std::stoi(name, &used);
    } catch (const std::exception &) {
      used = 0;
    }
    if (used == 0 || used != name.size())
      throw std::invalid_argument("'" + name + "' is not a valid integer value");
  }
  SetLogLevel(LibraryToLogLevel(libraryLevel));
}

void TFFLogger::InstallLibraryCallback() {
  if (!ff::av_log_set_callback || !ff::av_log_set_level)
    throw std::logic_error("InstallLibraryCallback: avutil is not bound");
  ff::av_log_set_callback(&TFFLogger::LibraryCallback);
  ApplyLevel();
}

void TFFLogger::LibraryCallback(void *avcl, int level, const char *fmt, va_list vl) {
  if (level > GLibraryLevel || !fmt) return;
  if (TFFLogger *logger = GInstance) logger->HandleLibraryText(avcl, level, fmt, vl);
}

void TFFLogger::HandleLibraryText(void *avcl, int level, const char *fmt, va_list vl) {
  std::string prefix;
  if (avcl) {
    const AVClass *cls = *static_cast<AVClass **>(avcl);
    char head[256];
    snprintf(head, sizeof head, "[%s @ %p]", cls && cls->item_name ? cls->item_name(avcl) : "?",
             avcl);
    prefix = head;
  }
  // Messages longer than the buffer are cut at its size.
  char buffer[FormatBufferSize] = {};
  const int length = vsnprintf(buffer, sizeof buffer, fmt, vl);
  const size_t fmtLength = strlen(fmt);
  if (length >= static_cast<int>(sizeof buffer) && fmtLength > 0 && fmt[fmtLength - 1] == '\n')
    buffer[sizeof buffer - 2] = '\n';  // a cut line still ends its line

  const uint32_t tid = CurrentThreadId();
  std::vector<std::string> lines;
  {
    std::lock_guard lock(FListLock);
    std::string &pending = FPending[tid];
    if (pending.empty())
      pending = prefix + buffer;
    else
      pending += buffer;
    for (size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
      lines.push_back(pending.substr(0, lf));
      pending.erase(0, lf + 1);
    }
  }
  // Delivered outside the list lock: a marshalled delivery waits for the main thread, which may
  // itself be logging.
  for (const std::string &line : lines) Deliver(this, tid, LibraryToLogLevel(level), line);
}

void TFFLogger::SetOnLog(TLogEvent handler) {
  std::lock_guard lock(FHandlerLock);
  FHandler.Event = std::move(handler);
  ++FHandler.Generation;
}

bool TFFLogger::HasOnLog() const {
  std::lock_guard lock(FHandlerLock);
  return static_cast<bool>(FHandler.Event);
}

TFFLogger::THandler TFFLogger::Handler() const {
  std::lock_guard lock(FHandlerLock);
  return FHandler;
}

void TFFLogger::Deliver(const void *sender, uint32_t threadId, TLogLevel level,
                        const std::string &line) {
  THandler handler = Handler();
  if (!handler.Event) return;
  if (!FTriggerEventInMainThread) {
    handler.Event(sender, threadId, level, line);
    return;
  }
  // Queued, not waited for: libraries log from inside codec opens, under the codec lock.
  PostToMainThread([this, handler = std::move(handler), sender, threadId, level, line] {
    if (Handler().Generation == handler.Generation) handler.Event(sender, threadId, level, line);
  });
}

void TFFLogger::Log(const void *sender, TLogLevel level, const std::string &msg) {
  const TLogLevel current = FLogLevel;
  // Verbose notices (status lines) reach a handler whenever the logger is not quiet.
  const bool wanted =
      level <= current || (level == TLogLevel::llVerbose && current != TLogLevel::llQuiet);
  if (wanted) Deliver(sender, CurrentThreadId(), level, msg);
}

void TFFLogger::LogFmt(const void *sender, TLogLevel level, const char *fmt, ...) {
  if (!HasOnLog()) return;
  char buffer[FormatBufferSize];
  va_list vl;
  va_start(vl, fmt);
  vsnprintf(buffer, sizeof buffer, fmt, vl);
  va_end(vl);
  Log(sender, level, buffer);
}
