// The update check of every start: the update document is fetched in the background (the window
// goes on taking input), kept in the user's cache folder, and read for the newest version (the
// user is asked whether to upgrade when it is newer than ours) and for the progress window's
// notices.  Without the server the copy of an earlier start serves, without that the built-in
// notices.  Nothing fetched is ever run, and nothing fetched is trusted: a document that is not
// an update document is logged and the built-in notices serve; links other than web addresses are
// dropped.
#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
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
  // The longest the whole fetch may take, however the server paces what it sends.
  std::chrono::milliseconds Deadline{30000};
  // How often a question that may not come up yet is looked at again.
  std::chrono::milliseconds AskAgain{500};
  // False: nothing is fetched (the user switched the check off); the copy of an earlier start or
  // the built-in notices serve.
  bool Fetch = true;
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
  std::function<void()> OnUpgrade;  // the user wants the newer version
  // A line for the program's log (a document that is not an update document).
  std::function<void(const std::string &)> OnLog;
  std::function<void()> OnFinished;  // after the notices are known (also after a bad document)
  // Whether the upgrade question may come up now (none while a batch runs or a modal window is
  // open); until it may, it waits and the notices are known meanwhile.  Unset: always.
  std::function<bool()> MayAsk;

  // Starts the fetch and returns at once.
  void Start();
  // Stops a running check: no question, no callback after this.
  void Abort();
  bool Finished() const { return FFinished; }
  // The upgrade question waits for its moment.
  bool QuestionWaiting() const { return FOfferWaiting; }

  // The notices for the progress window; empty until the check has finished, and also when the
  // document names none or could not be read.
  const std::vector<TAdInfo> &AdList() const { return FAdList; }
  // The version the document offers (empty without one).
  const std::string &NewVersion() const { return FNewVersion; }

 private:
  struct TReading;

  void Fetched();
  // Steps after the fetch; `fetched` tells whether a fresh document was saved.
  void Evaluate(bool fetched);
  // The document's count and version, checked; nothing (and a line in the log) when the file is
  // not an update document.
  std::optional<TReading> Read(const std::filesystem::path &file, const std::string &source);
  // Asks the upgrade question now when it may come up, otherwise when it may; true when the
  // user wants the upgrade now.
  bool OfferUpgrade();
  void AskWaitingQuestion();
  bool AskUpgrade();
  bool SaveFetched(const QByteArray &body) const;
  void Finish();

  TUpdateCheckSetup FSetup;
  IJobQuestions &FQuestions;
  QNetworkAccessManager *FNetwork;
  QTimer *FSilence;   // how long the server may stay silent
  QTimer *FDeadline;  // how long the whole fetch may take
  QTimer *FAskLater;  // looks again whether the waiting question may come up
  QPointer<QNetworkReply> FReply;
  std::vector<TAdInfo> FAdList;
  std::string FNewVersion;
  bool FFinished = false;
  bool FAborted = false;
  bool FOfferWaiting = false;
};
