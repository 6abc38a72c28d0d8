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
#include "workspace/UpdateCheck.h"
#include "workspace/UpdateDocument.h"

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

class UpdateCheckTest : public ::testing::Test {
 protected:
  // Runs a whole check against `url` with our own version " 3.300 "; true when it finished.
  bool Run(const QUrl &url, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    Check = std::make_unique<TUpdateCheck>(
        TUpdateCheckSetup{url, Cache.Path(), " 3.300 ", "Morvane MP4 Video Converter", timeout},
        Questions);
    Check->OnUpgrade = [this] { ++Upgrades; };
    Check->OnError = [this](std::exception_ptr error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception &e) {
        Errors.push_back(e.what());
      }
    };
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
  std::vector<std::string> Errors;
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
  EXPECT_TRUE(Errors.empty());
}

TEST_F(UpdateCheckTest, AnEarlierCopyServesWithoutTheServerAndNeverOffersAnUpgrade) {
  std::ofstream(Cache.Path() / "morvane.xml") << Document("9.9");
  ASSERT_TRUE(Run(TLocalHttpServer::RefusedUrl()));
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_EQ(Infos(), (std::vector<std::string>{"Notice 0", "Notice 1"}));
}

TEST_F(UpdateCheckTest, AMalformedDocumentIsReportedOnceAndTheCheckEnds) {
  Server.Body = "<XMLPackage><count number=\"2\"><videoversion number=\"9.9\"/></XMLPackage>";
  ASSERT_TRUE(Run(Server.Url()));
  EXPECT_EQ(Errors, std::vector<std::string>{"'error' is not a valid integer value"});
  EXPECT_TRUE(Questions.Asked.empty());
  EXPECT_TRUE(Check->AdList().empty());
  EXPECT_FALSE(fs::exists(Cache.Path() / "morvane.xml")) << "a bad document is not kept";
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
