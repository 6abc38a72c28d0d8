// What the program tells the user about an exception that escaped one of its event handlers:
// the text and the kind of box.  The program goes on after the box.
#pragma once

#include <exception>
#include <string>

enum class TReportIcon { Warning, Error };

struct TExceptionReport {
  std::string Text;
  TReportIcon Icon = TReportIcon::Error;
};

// The message with a "." appended when its last character sorts after "." (so "Disk full"
// becomes "Disk full." while "Failed..." and "Why?" stay as they are).
std::string ReportSentence(const std::string &message);

// A failure of the conversion engine is a warning; anything else an error.
TExceptionReport ReportOfException(const std::exception_ptr &error);
