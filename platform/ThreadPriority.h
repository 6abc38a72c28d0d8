// Priorities of worker threads, mapped to Linux nice values.
#pragma once

enum class TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// The nice value a priority stands for (tpNormal = 0; higher priorities are negative).
int NiceValueOf(TThreadPriority priority);

// Gives the calling thread the priority.  A priority the process may not take (raising it needs
// privileges) is ignored: the thread keeps the nearest it may have.  Returns whether the exact
// value was applied.
bool ApplyThreadPriority(TThreadPriority priority);
