// External video hook libraries: shared libraries exporting "Configure", "Process" and "Release",
// loaded by path and called on every decoded picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/FFmpegApi.h"

// The picture as hook libraries receive it: four plane pointers and four line sizes.
struct THookPicture {
  uint8_t *data[4];
  int linesize[4];
};

extern "C" {
typedef int (*TFrameHookConfigure)(void **ctx, int argc, char *argv[]);
typedef void (*TFrameHookProcess)(void *ctx, THookPicture *picture, int pixFmt, int width,
                                  int height, int64_t pts);
typedef void (*TFrameHookRelease)(void *ctx);
}

class TFrameHookList {
 public:
  TFrameHookList() = default;
  ~TFrameHookList() { Release(); }
  TFrameHookList(const TFrameHookList &) = delete;
  TFrameHookList &operator=(const TFrameHookList &) = delete;

  // words[0] is the library path, the rest its arguments.  0 on success; -2 no words or a missing
  // entry point, -1 the library cannot be loaded, -22 "Configure" refused the arguments.
  int Add(const std::vector<std::string> &words);
  // Calls every hook's Process in the order they were added.
  void Process(AVFrame *picture, int64_t pts);
  // Calls every hook's Release and empties the list.
  void Release();
  bool Empty() const { return FHooks.empty(); }

 private:
  struct THook {
    TFrameHookConfigure Configure = nullptr;
    TFrameHookProcess Process = nullptr;
    TFrameHookRelease Release = nullptr;
    void *Context = nullptr;
  };
  std::vector<THook> FHooks;
};
