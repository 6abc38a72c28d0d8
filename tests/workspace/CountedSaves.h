// Counts the saves of every INI file while it lives (each save ends in one rename).
#pragma once

#include <cstdio>

#include "workspace/SafeFileWriter.h"
#include "workspace/SettingsStore.h"

struct TCountedSaves {
  TCountedSaves() {
    Calls.Rename = [this](const char *from, const char *to) {
      ++Count;
      return std::rename(from, to);
    };
    SetStoreWriteCalls(&Calls);
  }
  ~TCountedSaves() { SetStoreWriteCalls(nullptr); }
  TCountedSaves(const TCountedSaves &) = delete;
  TCountedSaves &operator=(const TCountedSaves &) = delete;

  TFileWriteCalls Calls = TFileWriteCalls::System();
  int Count = 0;
};
