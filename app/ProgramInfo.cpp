#include "app/ProgramInfo.h"

#include <cstdio>

std::string ProductVersion() {
  return MORVANE_VERSION;
}

bool AnswerHelpOrVersion(const std::string &arg, const char *program, const char *help) {
  if (arg == "--help" || arg == "-h") {
    std::fputs(help, stdout);
    return true;
  }
  if (arg == "--version") {
    std::printf("%s %s (Morvane MP4 Video Converter)\n", program, ProductVersion().c_str());
    return true;
  }
  return false;
}
