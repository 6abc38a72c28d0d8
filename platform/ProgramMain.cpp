#include "platform/ProgramMain.h"

#include <cstdio>
#include <exception>

int RunProgram(const char *program, const std::function<int()> &body) noexcept {
  try {
    return body();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s: %s\n", program, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: stopped by an unexpected error\n", program);
  }
  return 1;
}
