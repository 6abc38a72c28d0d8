#include "workspace/UpdateCheck.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <cstdlib>
#include <system_error>

#include "workspace/UpdateDocument.h"

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

TUpdateCheck::TUpdateCheck(TUpdateCheckSetup setup, IJobQuestions &questions, QObject *parent)
    : QObject(parent),
      FSetup(std::move(setup)),
      FQuestions(questions),
      FNetwork(new QNetworkAccessManager(this)),
      FSilence(new QTimer(this)) {
  FSilence->setSingleShot(true);
  FSilence->setTimerType(Qt::PreciseTimer);
  connect(FSilence, &QTimer::timeout, this, [this] {
    if (FReply) FReply->abort();
  });
}

TUpdateCheck::~TUpdateCheck() {
  Abort();
}

void TUpdateCheck::Start() {
  QNetworkRequest request(FSetup.DocumentUrl);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QString::fromStdString(FSetup.ProductTitle + FSetup.OwnVersionText).trimmed());
  FReply = FNetwork->get(request);
  // The wait for the server starts again whenever it sends something.  The toolkit's own
  // transfer timeout may end up to 5 % early; this one keeps the promised time.
  FSilence->start(static_cast<int>(FSetup.Timeout.count()));
  connect(FReply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
    FSilence->start(static_cast<int>(FSetup.Timeout.count()));
    if (received > MaxDocumentSize && FReply) FReply->abort();
  });
  connect(FReply, &QNetworkReply::finished, this, [this] { Fetched(); });
}

void TUpdateCheck::Abort() {
  FAborted = true;
  FSilence->stop();
  if (FReply) {
    FReply->disconnect(this);
    FReply->abort();
    FReply->deleteLater();
  }
}

void TUpdateCheck::Fetched() {
  FSilence->stop();
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
  try {
    if (fetched && fs::exists(fresh, ec)) {
      const TUpdateDocument document = TUpdateDocument::Load(fresh);
      const int count = AdCountOf(document.Value(ud::CountPath, ud::NumberAttribute));
      FNewVersion = document.Value(ud::VersionPath, ud::NumberAttribute);
      if (IsNewerVersion(FNewVersion, FSetup.OwnVersionText) &&
          FQuestions.AskYesNo(UpgradeQuestion(FSetup.ProductTitle, FNewVersion),
                              ud::UpgradeCaption)) {
        if (!FAborted && OnUpgrade) OnUpgrade();
        Finish(nullptr);
        return;
      }
      if (FAborted) return;  // the window went while the question was open
      // The copy for the next start without the server: the document just read, not a second
      // download that could differ from it.
      CopyWhole(fresh, cache);
      if (count > 0) FAdList = AdListOf(document, document, count);
    } else if (fs::exists(cache, ec)) {
      // An earlier start's copy gives the notices; it is never taken as an offer to upgrade.
      const TUpdateDocument document = TUpdateDocument::Load(cache);
      const int count = AdCountOf(document.Value(ud::CountPath, ud::NumberAttribute));
      FNewVersion = document.Value(ud::VersionPath, ud::NumberAttribute);
      if (count > 0) FAdList = AdListOf(document, document, count);
    } else {
      FAdList = BuiltInAdList();
    }
  } catch (...) {
    Finish(std::current_exception());
    return;
  }
  Finish(nullptr);
}

void TUpdateCheck::Finish(std::exception_ptr error) {
  FFinished = true;
  if (FAborted) return;
  if (error && OnError) OnError(error);
  if (!FAborted && OnFinished) OnFinished();
}
