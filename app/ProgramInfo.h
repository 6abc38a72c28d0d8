// What every program of the product answers on its command line: --help (usage, options, exit
// status) and --version.
#pragma once

#include <string>

// The product's version, "MAJOR.MINOR.PATCH".
std::string ProductVersion();

// Answers `arg` when it is --help/-h (prints `help` to stdout) or --version (prints the program's
// name and version); returns whether it did, after which the program ends with status 0.
bool AnswerHelpOrVersion(const std::string &arg, const char *program, const char *help);
