// The questions and messages the workspace logic puts to the user.  The main window answers them
// with message boxes, the command-line converter on its terminal (or with the default answer when
// nobody can be asked), tests with a script.
#pragma once

#include <string>

#include "services/TranslatableText.h"

class IJobQuestions {
 public:
  virtual ~IJobQuestions() = default;
  // A question with Yes and No buttons and the question icon; true means Yes.
  virtual bool AskYesNo(const std::string &text, const std::string &caption) = 0;
  // A message with an OK button.  An empty caption stands for the application title.
  virtual void ShowMessage(const std::string &text, const std::string &caption) = 0;
};

inline constexpr const char WarningCaption[] = QT_TRANSLATE_NOOP("Messages", "Warning");
inline constexpr const char InputErrorCaption[] = QT_TRANSLATE_NOOP("Messages", "Input Error!");
