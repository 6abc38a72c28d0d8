#include "workspace/update/UpdateCheck.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <cstdlib>
#include <system_error>

#include "workspace/update/UpdateDocument.h"

namespace fs = std::filesystem;
namespace ud = updatedocument;

namespace {

// The document is a few hundred bytes; a server that sends more is not sending it.
constexpr qint64 MaxDocumentSize = 1 << 20;

// Written under a temporary name and renamed, so that a half-written document never passes
// for the whole one.
bool WriteWhole(const fs::path &file, const QByteArray &data) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  QSaveFile out(QString::fromStdString(file.string()));
  return out.open(QIODevice::WriteOnly) && out.write(data) == data.size() && out.commit();
}

// A copy that is lost without harm: a failure leaves the old copy in place.
void CopyWhole(const fs::path &from, const fs::path &to) {
  QFile in(QString::fromStdString(from.string()));
  if (in.open(QIODevice::ReadOnly)) WriteWhole(to, in.readAll());
}

}  // namespace

QUrl UpdateDocumentUrl(const TSettingsStore &store) {
  const char *fromEnvironment = std::getenv("MORVANE_UPDATE_URL");
  if (fromEnvironment && *fromEnvironment) return QUrl(QString::fromLocal8Bit(fromEnvironment));
  return QUrl(QString::fromStdString(store.ReadString(
      settingskeys::Section, settingskeys::UpdateDocumentUrl, DefaultUpdateDocumentUrl())));
}

struct TUpdateCheck::TReading {
  TUpdateDocument Document;
  int Count = 0;
  std::string Version;
};

TUpdateCheck::TUpdateCheck(TUpdateCheckSetup setup, IJobQuestions &questions, QObject *parent)
    : QObject(parent),
      FSetup(std::move(setup)),
      FQuestions(questions),
      FNetwork(new QNetworkAccessManager(this)),
      FSilence(new QTimer(this)),
      FDeadline(new QTimer(this)),
      FAskLater(new QTimer(this)) {
  for (QTimer *limit : {FSilence, FDeadline}) {
    limit->setSingleShot(true);
    limit->setTimerType(Qt::PreciseTimer);
    connect(limit, &QTimer::timeout, this, [this] {
      if (FReply) FReply->abort();
    });
  }
  FAskLater->setInterval(static_cast<int>(FSetup.AskAgain.count()));
  connect(FAskLater, &QTimer::timeout, this, [this] { AskWaitingQuestion(); });
}

TUpdateCheck::~TUpdateCheck() {
  Abort();
}

void TUpdateCheck::Start() {
  if (!FSetup.Fetch) {
    Evaluate(false);
    return;
  }
  QNetworkRequest request(FSetup.DocumentUrl);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QString::fromStdString(FSetup.ProductTitle + FSetup.OwnVersionText).trimmed());
  FReply = FNetwork->get(request);
  // The wait for the server starts again whenever it sends something.  The toolkit's own
  // transfer timeout may end up to 5 % early; this one keeps the promised time.
  FSilence->start(static_cast<int>(FSetup.Timeout.count()));
  // A server that sends a byte now and then would keep the silence timer from ever firing.
  FDeadline->start(static_cast<int>(FSetup.Deadline.count()));
  connect(FReply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
    FSilence->start(static_cast<int>(FSetup.Timeout.count()));
    if (received > MaxDocumentSize && FReply) FReply->abort();
  });
  connect(FReply, &QNetworkReply::finished, this, [this] { Fetched(); });
}

void TUpdateCheck::Abort() {
  FAborted = true;
  FSilence->stop();
  FDeadline->stop();
  FAskLater->stop();
  FOfferWaiting = false;
  if (FReply) {
    FReply->disconnect(this);
    FReply->abort();
    FReply->deleteLater();
  }
}

void TUpdateCheck::Fetched() {
  FSilence->stop();
  FDeadline->stop();
  QNetworkReply *reply = FReply;
  FReply = nullptr;
  reply->deleteLater();
  if (FAborted) return;
  // Anything but the document itself (an error page, a refused or timed-out connection) counts
  // as no fetch.
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
  Evaluate(ok && SaveFetched(reply->readAll()));
}

bool TUpdateCheck::SaveFetched(const QByteArray &body) const {
  return body.size() <= MaxDocumentSize && WriteWhole(FSetup.CacheFolder / ud::FetchedFile, body);
}

void TUpdateCheck::Evaluate(bool fetched) {
  const fs::path fresh = FSetup.CacheFolder / ud::FetchedFile;
  const fs::path cache = FSetup.CacheFolder / ud::CacheFile;
  std::error_code ec;
  std::optional<TReading> reading;
  if (fetched && fs::exists(fresh, ec)) {
    reading = Read(fresh, FSetup.DocumentUrl.toString().toStdString());
    if (reading) {
      FNewVersion = reading->Version;
      if (OfferUpgrade()) {
        if (!FAborted && OnUpgrade) OnUpgrade();
        Finish();
        return;
      }
      if (FAborted) return;  // the window went while the question was open
      // The copy for the next start without the server: the document just read, not a second
      // download that could differ from it.
      CopyWhole(fresh, cache);
    }
  } else if (fs::exists(cache, ec)) {
    // An earlier start's copy gives the notices; it is never taken as an offer to upgrade.
    reading = Read(cache, cache.string());
    if (reading) FNewVersion = reading->Version;
  }
  if (!reading)
    FAdList = BuiltInAdList();
  else if (reading->Count > 0)
    FAdList = AdListOf(reading->Document, reading->Document, reading->Count);
  Finish();
}

std::optional<TUpdateCheck::TReading> TUpdateCheck::Read(const fs::path &file,
                                                         const std::string &source) {
  TReading reading{TUpdateDocument::Load(file), 0, {}};
  try {
    reading.Count = AdCountOf(reading.Document.Value(ud::CountPath, ud::NumberAttribute));
    reading.Version = reading.Document.Value(ud::VersionPath, ud::NumberAttribute);
    VersionNumberOf(reading.Version);
  } catch (const std::exception &e) {
    // A captive portal's page, a broken or foreign document: nothing the user can mend, so no
    // message; the log keeps what happened.
    if (OnLog)
      OnLog("The update document from " + source + " is not used: " + e.what() +
            ". The built-in notices are shown.");
    return std::nullopt;
  }
  return reading;
}

bool TUpdateCheck::OfferUpgrade() {
  bool newer = false;
  try {
    newer = IsNewerVersion(FNewVersion, FSetup.OwnVersionText);
  } catch (const std::exception &e) {
    if (OnLog) OnLog(std::string("The own version cannot be compared: ") + e.what());
  }
  if (!newer) return false;
  if (!MayAsk || MayAsk()) return AskUpgrade();
  FOfferWaiting = true;
  FAskLater->start();
  return false;
}

void TUpdateCheck::AskWaitingQuestion() {
  if (FAborted || !FOfferWaiting) {
    FAskLater->stop();
    return;
  }
  if (MayAsk && !MayAsk()) return;
  FAskLater->stop();
  FOfferWaiting = false;
  if (AskUpgrade() && !FAborted && OnUpgrade) OnUpgrade();
}

bool TUpdateCheck::AskUpgrade() {
  return FQuestions.AskYesNo(UpgradeQuestion(FSetup.ProductTitle, FNewVersion), ud::UpgradeCaption);
}

void TUpdateCheck::Finish() {
  FFinished = true;
  if (!FAborted && OnFinished) OnFinished();
}
