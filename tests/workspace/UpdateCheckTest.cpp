#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "tests/support/Fixtures.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/update/UpdateCheck.h"
#include "workspace/update/UpdateDocument.h"

namespace fs = std::filesystem;

namespace {

std::string Document(const std::string &version, int count = 2) {
  std::string rows;
  for (int i = 0; i < 2; ++i)
    rows += "  <row" + std::to_string(i) + " info=\"Notice " + std::to_string(i) +
            "\" url=\"https://www.morvane.com/n" + std::to_string(i) + "\"/>\n";
  return "<?xml version=\"1.0\"?>\n<XMLPackage>\n  <count number=\"" + std::to_string(count) +
         "\"/>\n  <videoversion number=\"" + version + "\">newest</videoversion>\n" + rows +
         "</XMLPackage>\n";
}

std::string FileText(const fs::path &file) {
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

// A document whose notices link to `links`, in order.
std::string DocumentLinking(const std::vector<std::string> &links) {
  std::string rows;
  for (size_t i = 0; i < links.size(); ++i)
    rows += "<row" + std::to_string(i) + " info=\"Notice " + std::to_string(i) + "\" url=\"" +
            links[i] + "\"/>";
  return "<XMLPackage><count number=\"" + std::to_string(links.size()) +
         "\"/><videoversion number=\"3.3\"/>" + rows + "</XMLPackage>";
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  // Runs a whole check against `url` with our own version " 3.300 "; true when it finished.
  bool Run(const QUrl &url, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    return Run(url, [timeout](TUpdateCheckSetup &setup) { setup.Timeout = timeout; });
  }
  bool Run(const QUrl &url, const std::function<void(TUpdateCheckSetup &)> &adjust) {
    TUpdateCheckSetup setup{url, Cache.Path(), " 3.300 ", "Morvane MP4 Video Converter"};
    adjust(setup);
    Check = std::make_unique<TUpdateCheck>(setup, Questions);
    Check->OnUpgrade = [this] { ++Upgrades; };
    Check->OnLog = [this](const std::string &line) { Logged.push_back(line); };
    if (MayAsk) Check->MayAsk = MayAsk;
    QEventLoop loop;
    Check->OnFinished = [&] { loop.quit(); };
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    Check->Start();
    if (!Check->Finished()) loop.exec();
    return Check->Finished();
  }

  std::vector<std::string> Infos() const {
    std::vector<std::string> infos;
    for (const TAdInfo &ad : Check->AdList()) infos.push_back(ad.Info);
    return infos;
  }

  fixtures::TTempDir Cache;
  TLocalHttpServer Server;
  TScriptedQuestions Questions;
  std::unique_ptr<TUpdateCheck> Check;
  int Upgrades = 0;
  std::vector<std::string> Logged;
  std::function<bool()> MayAsk;
};

}  // namespace

TEST(UpdateDocument, PathsLeadThroughTheFirstElementOfEachName) {
  fixtures::TTempDir dir;
  std::ofstream(dir / "doc.xml") << Document("3.31")
                                 << "<!-- a comment after the root is fine -->\n";
  std::ofstream(dir / "broken.xml") << "<XMLPackage><count number=\"2\"></XMLPackage>";
  std::ofstream(dir / "empty.xml");
  struct Case {
    const char *File;
    const char *Path;
    const char *Attribute;
    const char *Value;
  };
  const Case cases[] = {{"doc.xml", "XMLPackage.count", "number", "2"},
                        {"doc.xml", "XMLPackage.videoversion", " number ", "3.31"},
                        {"doc.xml", "XMLPackage.videoversion", "", "newest"},
                        {"doc.xml", "XMLPackage.row1", "url", "https://www.morvane.com/n1"},
                        {"doc.xml", "XMLPackage.row7", "info", ""},
                        {"doc.xml", "XMLPackage.count", "Number", ""},
                        {"doc.xml", "xmlpackage.count", "number", ""},
                        {"broken.xml", "XMLPackage.count", "number", "error"},
                        {"empty.xml", "XMLPackage.count", "number", "error"},
                        {"missing.xml", "XMLPackage.count", "number", "error"}};
  for (const Case &c : cases)
    EXPECT_EQ(ReadXmlValue(dir / c.File, c.Path, c.Attribute), c.Value)
        << c.File << " " << c.Path << "/" << c.Attribute;
}

TEST(UpdateDocument, VersionsCompareAsNumbersAndOtherTextIsAConversionError) {
  EXPECT_FALSE(IsNewerVersion("3.3", " 3.300 "));
  EXPECT_TRUE(IsNewerVersion("3.31", " 3.300 "));
  EXPECT_FALSE(IsNewerVersion("2.99", " 3.300 "));
  const std::pair<std::function<void()>, const char *> errors[] = {
      {[] { AdCountOf("error"); }, "'error' is not a valid integer value"},
      {[] { AdCountOf(""); }, "'' is not a valid integer value"},
      {[] { VersionNumberOf("3,4"); }, "'3,4' is not a valid floating point value"}};
  for (const auto &[convert, message] : errors) {
    try {
      convert();
      ADD_FAILURE() << message;
    } catch (const std::invalid_argument &e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST_F(UpdateCheckTest, TheSameVersionAsksNothingAndKeepsACopyForTheNextStart) {
  Server.Body = QByteArray::fromStdString(Document("3.3"));
  ASSERT_TRUE(Run(Server.Url()));
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_EQ(Infos(), (std::vector<std::string>{"Notice 0", "Notice 1"}));
  EXPECT_EQ(Check->AdList()[1].Url, "https://www.morvane.com/n1");
  EXPECT_EQ(Check->NewVersion(), "3.3");
  EXPECT_EQ(FileText(Cache.Path() / "morvanenet.xml"), Document("3.3"));
  EXPECT_EQ(FileText(Cache.Path() / "morvane.xml"), Document("3.3"));
  EXPECT_EQ(Server.Requests, 1);
}

TEST_F(UpdateCheckTest, ANewerVersionAsksWhetherToUpgrade) {
  Server.Body = QByteArray::fromStdString(Document("3.31"));
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    Questions = TScriptedQuestions();
    Questions.Answer = yes;
    Upgrades = 0;
    ASSERT_TRUE(Run(Server.Url()));
    EXPECT_EQ(Questions.Asked,
              std::vector<std::string>{
                  "Do you want to upgrade to Morvane MP4 Video Converter 3.31 now?"});
    EXPECT_EQ(Questions.Captions,
              std::vector<std::string>{"Warning - New Version Available for Download."});
    EXPECT_EQ(Upgrades, yes ? 1 : 0);
    EXPECT_EQ(Check->AdList().size(), yes ? 0u : 2u);
  }
}

TEST_F(UpdateCheckTest, WithoutTheDocumentOrACopyTheBuiltInNoticesServe) {
  Server.Status = 404;
  Server.Body = "<html>not here</html>";
  for (const QUrl &url : {TLocalHttpServer::RefusedUrl(), Server.Url()}) {
    SCOPED_TRACE(url.toString().toStdString());
    ASSERT_TRUE(Run(url));
    ASSERT_EQ(Check->AdList().size(), 7u);
    EXPECT_EQ(Check->AdList().front().Info, BuiltInAdList().front().Info);
    EXPECT_FALSE(fs::exists(Cache.Path() / "morvane.xml"));
  }
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_TRUE(Logged.empty());
}

TEST_F(UpdateCheckTest, AnEarlierCopyServesWithoutTheServerAndNeverOffersAnUpgrade) {
  std::ofstream(Cache.Path() / "morvane.xml") << Document("9.9");
  ASSERT_TRUE(Run(TLocalHttpServer::RefusedUrl()));
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_EQ(Infos(), (std::vector<std::string>{"Notice 0", "Notice 1"}));
}

// Whatever the server or the copy of an earlier start holds that is not an update document
// (a captive portal's page, broken XML, a count or version that is no number), no question and
// no message comes of it: a line in the log, and the built-in notices.  A bad document is not
// kept for the next start.
TEST_F(UpdateCheckTest, ADocumentThatIsNoUpdateDocumentIsLoggedAndTheBuiltInNoticesServe) {
  const std::pair<const char *, const char *> documents[] = {
      {"captive portal",
       "<html><head><title>Sign in</title><meta http-equiv=refresh content=0></head>"
       "<body><p>Please log in<br></body></html>"},
      {"well-formed portal", "<html><body><p>Please log in</p></body></html>"},
      {"broken XML", "<XMLPackage><count number=\"2\"><videoversion number=\"9.9\"/></XMLPackage>"},
      {"count abc",
       "<XMLPackage><count number=\"abc\"/><videoversion number=\"9.9\"/></XMLPackage>"},
      {"version 1.2.3",
       "<XMLPackage><count number=\"1\"/><videoversion number=\"1.2.3\"/>"
       "<row0 info=\"x\" url=\"https://www.morvane.com/\"/></XMLPackage>"}};
  for (const auto &[name, body] : documents) {
    for (const bool cached : {false, true}) {
      SCOPED_TRACE(std::string(name) + (cached ? ", as the copy of an earlier start" : ""));
      fs::remove(Cache.Path() / "morvane.xml");
      Logged.clear();
      Questions = TScriptedQuestions();
      Server.Body = body;
      if (cached) std::ofstream(Cache.Path() / "morvane.xml") << body;
      ASSERT_TRUE(Run(cached ? TLocalHttpServer::RefusedUrl() : Server.Url()));
      EXPECT_TRUE(Questions.Asked.empty());
      EXPECT_TRUE(Questions.Messages.empty());
      ASSERT_EQ(Logged.size(), 1u);
      EXPECT_NE(Logged[0].find("is not used"), std::string::npos) << Logged[0];
      ASSERT_EQ(Check->AdList().size(), BuiltInAdList().size());
      EXPECT_EQ(Check->AdList().front().Info, BuiltInAdList().front().Info);
      if (!cached) {
        EXPECT_FALSE(fs::exists(Cache.Path() / "morvane.xml")) << "a bad document is not kept";
      }
    }
  }
}

// Only web addresses are links: anything else the document names (a share, a local file, a
// program's desktop entry) is dropped with its text kept, in the fetched document and in the copy
// of an earlier start alike.
TEST_F(UpdateCheckTest, OnlyWebAddressesAreTakenAsLinks) {
  const std::vector<std::pair<std::string, bool>> links = {
      {"smb://host/share/http", false},
      {"file:///x#http", false},
      {"file:///usr/share/applications/http.desktop", false},
      {"/usr/share/applications/http.desktop", false},
      {"javascript:alert('http')", false},
      {"http:/no-host", false},
      {"https://www.morvane.com/n", true},
      {"http://www.morvane.com/n?http", true},
      {"HTTPS://www.morvane.com/N", true}};
  std::vector<std::string> urls;
  for (const auto &link : links) urls.push_back(link.first);
  const std::string document = DocumentLinking(urls);
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "the copy of an earlier start" : "the fetched document");
    fs::remove(Cache.Path() / "morvane.xml");
    Server.Body = QByteArray::fromStdString(document);
    if (cached) std::ofstream(Cache.Path() / "morvane.xml") << document;
    ASSERT_TRUE(Run(cached ? TLocalHttpServer::RefusedUrl() : Server.Url()));
    ASSERT_EQ(Check->AdList().size(), links.size());
    for (size_t i = 0; i < links.size(); ++i) {
      EXPECT_EQ(Check->AdList()[i].Info, "Notice " + std::to_string(i));
      EXPECT_EQ(Check->AdList()[i].Url, links[i].second ? links[i].first : "") << links[i].first;
    }
  }
}

// A server that sends a byte now and then never falls silent, yet the check ends at its deadline.
TEST_F(UpdateCheckTest, AServerThatDripsItsAnswerIsGivenUpAtTheDeadline) {
  Server.Drip = true;
  ASSERT_TRUE(Run(Server.Url(), [](TUpdateCheckSetup &setup) {
    setup.Timeout = std::chrono::minutes(5);
    setup.Deadline = std::chrono::milliseconds(300);
  })) << "the check did not end";
  EXPECT_EQ(Server.Requests, 1);
  EXPECT_EQ(Check->AdList().size(), BuiltInAdList().size());
  EXPECT_TRUE(Questions.Asked.empty());
}

// Switched off, the check fetches nothing: the copy of an earlier start or the built-in notices
// serve, and no upgrade is offered.
TEST_F(UpdateCheckTest, SwitchedOffNothingIsFetched) {
  Server.Body = QByteArray::fromStdString(Document("9.9"));
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "with a copy" : "without a copy");
    if (cached) std::ofstream(Cache.Path() / "morvane.xml") << Document("9.9");
    ASSERT_TRUE(Run(Server.Url(), [](TUpdateCheckSetup &setup) { setup.Fetch = false; }));
    EXPECT_EQ(Check->AdList().size(), cached ? 2u : BuiltInAdList().size());
  }
  QEventLoop().processEvents();
  EXPECT_EQ(Server.Requests, 0);
  EXPECT_TRUE(Questions.Asked.empty());
}

// While the question may not come up (a batch runs, a modal window is open) the check ends with
// the notices, and the question comes when it may.
TEST_F(UpdateCheckTest, TheUpgradeQuestionWaitsUntilItMayComeUp) {
  Server.Body = QByteArray::fromStdString(Document("3.31"));
  Questions.Answer = true;
  bool mayAsk = false;
  int looked = 0;
  MayAsk = [&] {
    ++looked;
    return mayAsk;
  };
  ASSERT_TRUE(Run(Server.Url(), [](TUpdateCheckSetup &setup) {
    setup.AskAgain = std::chrono::milliseconds(10);
  }));
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_TRUE(Check->QuestionWaiting());
  EXPECT_EQ(Infos(), (std::vector<std::string>{"Notice 0", "Notice 1"}));
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (looked >= 5) mayAsk = true;
    if (!Questions.Asked.empty()) loop.quit();
  });
  poll.start(5);
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(
      Questions.Asked,
      std::vector<std::string>{"Do you want to upgrade to Morvane MP4 Video Converter 3.31 now?"});
  EXPECT_EQ(Upgrades, 1);
  EXPECT_FALSE(Check->QuestionWaiting());
}

TEST_F(UpdateCheckTest, ACountBeyondTheDocumentGivesOnlyItsEntries) {
  Server.Body = QByteArray::fromStdString(Document("3.3", 2000000000));
  ASSERT_TRUE(Run(Server.Url()));
  EXPECT_LE(Check->AdList().size(), 5u);
  EXPECT_EQ(Check->AdList().front().Info, "Notice 0");
}

TEST_F(UpdateCheckTest, AServerThatNeverAnswersIsGivenUpAfterTheTimeout) {
  Server.Silent = true;
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(Run(Server.Url(), std::chrono::milliseconds(400)));
  EXPECT_GE(clock.elapsed(), 400);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_EQ(Server.Requests, 1);
  EXPECT_EQ(Check->AdList().size(), 7u);
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
