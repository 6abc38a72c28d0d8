// Run-time loading of the media libraries and binding of their functions (see FFmpegApi.h).
#pragma once

#include <array>
#include <initializer_list>
#include <mutex>
#include <set>
#include <string>

// The libraries in load order: each one's own dependencies come before it, so that a private set
// in LibraryPath is used as a whole instead of being mixed with the system's copies.
enum class TLibraryKind { avutil, swresample, swscale, avcodec, avformat, avfilter, avdevice, SDL };
constexpr int LibraryKindCount = 8;

using TLibraries = std::set<TLibraryKind>;

struct TLibraryItem {
  TLibraryKind Library;
  const char *Name;      // base name ("avcodec")
  int Version;           // major version of the headers we were compiled against; -1 = none
  const char *FileName;  // the soname
  void (*Bind)(const std::string &fileName, void *handle);
  void (*Unbind)();
};

struct TLibraryStatus {
  TLibraryKind Library;
  void *Handle = nullptr;
  bool Bound = false;
};

// EncoderLibs: what the encoder component needs; PlayerLibs: that plus SDL.
extern const TLibraries EncoderLibs;
extern const TLibraries PlayerLibs;

class TFFmpegLoader {
 public:
  TFFmpegLoader();
  ~TFFmpegLoader();
  TFFmpegLoader(const TFFmpegLoader &) = delete;
  TFFmpegLoader &operator=(const TFFmpegLoader &) = delete;

  void SetLibraryPath(const std::string &path) { FLibraryPath = path; }
  const std::string &LibraryPath() const { return FLibraryPath; }
  const std::string &LastErrMsg() const { return FLastErrMsg; }

  static std::string LibraryFileName(TLibraryKind kind);
  static const TLibraryItem &Item(TLibraryKind kind);

  bool LoadLib(TLibraryKind kind);
  bool LoadLibs(const TLibraries &libs);
  bool LibLoaded(TLibraryKind kind) const;
  bool LibsLoaded(const TLibraries &libs) const;
  void UnloadLib(TLibraryKind kind);
  void UnloadLibs(const TLibraries &libs);

  // The file a loaded library was mapped from (empty when not loaded).
  std::string LoadedFrom(TLibraryKind kind) const;

  // Installs the logger's library callback after every successful bind of avutil.
  bool InstallLogHook = true;

  // Looks one symbol up; raises the loader's "Load function/variable" text when it is missing.
  static void *BindSymbol(void *handle, const char *symbol, const std::string &fileName,
                          bool isVariable);

 private:
  void *LoadModule(const std::string &folder, const std::string &file, std::string &error);

  std::string FLibraryPath;
  std::string FLastErrMsg;
  std::array<TLibraryStatus, LibraryKindCount> FStatus;
};

// The process-wide loader.
TFFmpegLoader &FFLoader();

// The process-wide codec lock: taken around every codec open and close and every stream-information
// probe, so that codec set-up and tear-down never run on two threads at once.
std::recursive_mutex &CodecLock();

// Round-to-nearest for the process's floating-point arithmetic; called once at start-up (and by the
// loader's construction).  On x86-64 with SSE the other bits of the old control word mean nothing.
void InitFloatingPoint();
