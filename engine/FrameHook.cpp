#include "engine/FrameHook.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "services/FFmpegLogger.h"

namespace {

// Libraries are loaded once per process however many engines or hooks use them, and stay loaded:
// a hook's code may still be referenced by contexts another engine has not released yet.
std::mutex LibraryLock;
std::map<std::string, void *> &LoadedLibraries() {
  static std::map<std::string, void *> libraries;
  return libraries;
}

void *LoadLibrary(const std::string &path) {
  std::lock_guard lock(LibraryLock);
  auto &libraries = LoadedLibraries();
  if (auto it = libraries.find(path); it != libraries.end()) return it->second;
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char *error = dlerror();
    FFLogger().Log(nullptr, TLogLevel::llError, std::string(error ? error : path) + "\n");
    return nullptr;
  }
  libraries.emplace(path, handle);
  return handle;
}

}  // namespace

int TFrameHookList::Add(const std::vector<std::string> &words) {
  if (words.empty()) return -2;
  void *library = LoadLibrary(words[0]);
  if (!library) return -1;
  THook hook;
  hook.Configure = reinterpret_cast<TFrameHookConfigure>(dlsym(library, "Configure"));
  hook.Process = reinterpret_cast<TFrameHookProcess>(dlsym(library, "Process"));
  hook.Release = reinterpret_cast<TFrameHookRelease>(dlsym(library, "Release"));
  if (!hook.Process) {
    FFLogger().LogFmt(nullptr, TLogLevel::llError, "Failed to find Process entrypoint in %s\n",
                      words[0].c_str());
    return -2;
  }
  if (!hook.Configure && words.size() > 1) {
    FFLogger().LogFmt(nullptr, TLogLevel::llError, "Failed to find Configure entrypoint in %s\n",
                      words[0].c_str());
    return -2;
  }
  if (hook.Configure) {
    std::vector<std::string> copies(words);
    std::vector<char *> argv;
    for (auto &w : copies) argv.push_back(w.data());
    argv.push_back(nullptr);
    if (hook.Configure(&hook.Context, static_cast<int>(words.size()), argv.data()) != 0) {
      FFLogger().LogFmt(nullptr, TLogLevel::llError, "Failed to Configure %s\n", words[0].c_str());
      // Whatever context the refusing hook made is still its own to free.
      if (hook.Context && hook.Release) hook.Release(hook.Context);
      return -22;
    }
  }
  FHooks.push_back(hook);
  return 0;
}

void TFrameHookList::Process(AVFrame *picture, int64_t pts) {
  THookPicture p{};
  for (int i = 0; i < 4; ++i) {
    p.data[i] = picture->data[i];
    p.linesize[i] = picture->linesize[i];
  }
  for (const THook &hook : FHooks)
    hook.Process(hook.Context, &p, picture->format, picture->width, picture->height, pts);
}

void TFrameHookList::Release() {
  for (const THook &hook : FHooks)
    if (hook.Release) hook.Release(hook.Context);
  FHooks.clear();
}
