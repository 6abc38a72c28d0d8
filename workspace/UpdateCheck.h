// The update check of every start: the update document is fetched in the background (the window
// goes on taking input), kept in the user's cache folder, and read for the newest version (the
// user is asked whether to upgrade when it is newer than ours) and for the progress window's
// notices.  Without the server the copy of an earlier start serves, without that the built-in
// notices.  Nothing fetched is ever run.
#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "workspace/GlobalUnit.h"
#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

struct TUpdateCheckSetup {
  QUrl DocumentUrl;
  std::filesystem::path CacheFolder;  // where the fetched document and its copy are kept
  std::string OwnVersionText;         // compared against the offered version, as " 3.300 "
  std::string ProductTitle;
  // The longest wait for the server to send something.
  std::chrono::milliseconds Timeout{15000};
};

// The address of the update document: $MORVANE_UPDATE_URL when set, otherwise the settings
// store's `UpdateDocumentUrl`, otherwise the product's site.
QUrl UpdateDocumentUrl(const TSettingsStore &store);

class TUpdateCheck : public QObject {
 public:
  // Questions go to `questions` (the upgrade question, with Yes and No).
  TUpdateCheck(TUpdateCheckSetup setup, IJobQuestions &questions, QObject *parent = nullptr);
  ~TUpdateCheck() override;

  // Called on the thread that runs the check, at most once each:
  std::function<void()> OnUpgrade;  // the user wants the newer version (no notices then)
  // The document could not be read (a malformed document): for the program's error report.
  std::function<void(std::exception_ptr)> OnError;
  std::function<void()> OnFinished;  // after the notices are known (also after an error)

  // Starts the fetch and returns at once.
  void Start();
  // Stops a running check: no question, no callback after this.
  void Abort();
  bool Finished() const { return FFinished; }

  // The notices for the progress window; empty until the check has finished, and also when the
  // document names none or could not be read.
  const std::vector<TAdInfo> &AdList() const { return FAdList; }
  // The version the document offers (empty without one).
  const std::string &NewVersion() const { return FNewVersion; }

 private:
  void Fetched();
  // Steps after the fetch; `fetched` tells whether a fresh document was saved.
  void Evaluate(bool fetched);
  bool SaveFetched(const QByteArray &body) const;
  void Finish(std::exception_ptr error);

  TUpdateCheckSetup FSetup;
  IJobQuestions &FQuestions;
  QNetworkAccessManager *FNetwork;
  QTimer *FSilence;  // how long the server may stay silent
  QPointer<QNetworkReply> FReply;
  std::vector<TAdInfo> FAdList;
  std::string FNewVersion;
  bool FFinished = false;
  bool FAborted = false;
};
