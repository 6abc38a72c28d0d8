#include "platform/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

int NiceValueOf(TThreadPriority priority) {
  switch (priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    case TThreadPriority::tpHigher: return -5;
    case TThreadPriority::tpHighest: return -10;
    case TThreadPriority::tpTimeCritical: return -20;
  }
  return 0;
}

bool ApplyThreadPriority(TThreadPriority priority) {
  // On Linux a nice value set with the thread id applies to that thread only.
  const id_t tid = static_cast<id_t>(gettid());
  if (priority == TThreadPriority::tpIdle) {
    sched_param param{};
    sched_setscheduler(0, SCHED_IDLE, &param);  // best effort; nice 19 below regardless
  }
  if (setpriority(PRIO_PROCESS, tid, NiceValueOf(priority)) == 0) return true;
  // Not allowed to raise the priority: keep the current one rather than fail.
  return false;
}
