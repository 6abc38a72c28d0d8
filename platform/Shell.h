// Opening folders, files and web addresses with the desktop's default application.
#pragma once

#include <string>

// Starts "xdg-open TARGET" detached; returns whether it could be started.
bool ShellOpen(const std::string &target);
