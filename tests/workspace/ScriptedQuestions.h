// Answers the workspace's questions from a script and records everything it was told.
#pragma once

#include <string>
#include <vector>

#include "workspace/JobQuestions.h"

class TScriptedQuestions : public IJobQuestions {
 public:
  bool Answer = true;
  std::vector<std::string> Asked;     // question texts
  std::vector<std::string> Messages;  // message texts
  std::vector<std::string> Captions;  // captions of both, in order

  bool AskYesNo(const std::string &text, const std::string &caption) override {
    Asked.push_back(text);
    Captions.push_back(caption);
    return Answer;
  }
  void ShowMessage(const std::string &text, const std::string &caption) override {
    Messages.push_back(text);
    Captions.push_back(caption);
  }
};
