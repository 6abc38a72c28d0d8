// The desktop's notification service and file manager asked over a session bus of the test's
// own (a dbus-daemon started here, that activates nothing), with small stand-ins for the two
// services that record the calls: the real desktop hears nothing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QVariantMap>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "gui/DesktopBus.h"
#include "tests/support/Fixtures.h"

namespace {

// Serves the event loop until `done` answers true; false after `timeoutMs`.
bool ServeUntil(const std::function<bool()> &done, int timeoutMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace

class TFakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct TCall {
    QString AppName, Icon, Summary, Body;
    uint ReplacesId = 0;
    QStringList Actions;
    QVariantMap Hints;
    int Timeout = 0;
  };
  std::vector<TCall> Calls;

 public slots:
  uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
              const QString &body, const QStringList &actions, const QVariantMap &hints,
              int timeout) {
    Calls.push_back({appName, icon, summary, body, replacesId, actions, hints, timeout});
    return static_cast<uint>(Calls.size());
  }
};

class TFakeFileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  std::vector<QStringList> Shown;

 public slots:
  void ShowItems(const QStringList &uris, const QString &) { Shown.push_back(uris); }
};

class DesktopBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    // A session bus without service folders: nothing of the machine's desktop is started on it.
    const std::string config = (FDir.Path() / "bus.conf").string();
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                             "Configuration 1.0//EN\" "
                             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type>"
                             "<listen>unix:dir="
                          << FDir.Path().string()
                          << "</listen><auth>EXTERNAL</auth>"
                             "<policy context=\"default\"><allow send_destination=\"*\"/>"
                             "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                             "</busconfig>\n";
    FDaemon.start(daemon, {"--config-file=" + QString::fromStdString(config), "--nofork",
                           "--print-address=1"});
    ASSERT_TRUE(FDaemon.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!FDaemon.canReadLine() && clock.elapsed() < 10000) FDaemon.waitForReadyRead(100);
    const QString address = QString::fromUtf8(FDaemon.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty()) << FDaemon.readAllStandardError().toStdString();
    FClient = QDBusConnection::connectToBus(address, "client");
    FServices = QDBusConnection::connectToBus(address, "services");
    ASSERT_TRUE(FClient->isConnected()) << FClient->lastError().message().toStdString();
    ASSERT_TRUE(FServices->isConnected());
  }

  void TearDown() override {
    if (FClient) QDBusConnection::disconnectFromBus("client");
    if (FServices) QDBusConnection::disconnectFromBus("services");
    if (FDaemon.state() != QProcess::NotRunning) {
      FDaemon.terminate();
      if (!FDaemon.waitForFinished(5000)) FDaemon.kill();
      FDaemon.waitForFinished(5000);
    }
  }

  void Offer(QObject &service, const QString &name, const QString &path) {
    ASSERT_TRUE(FServices->registerObject(path, &service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(FServices->registerService(name));
  }

  fixtures::TTempDir FDir;
  QProcess FDaemon;
  std::optional<QDBusConnection> FClient, FServices;
};

TEST_F(DesktopBusTest, TheNotificationReachesTheServiceWithoutTheCallerWaiting) {
  TFakeNotifications service;
  Offer(service, "org.freedesktop.Notifications", "/org/freedesktop/Notifications");
  TDesktopNotifier notifier(*FClient);
  notifier.Notify("Conversion finished", "3 file(s) converted, 1 failed.");
  // The service answers from this thread's event loop: a caller that waited would never have
  // returned before it ran.
  EXPECT_TRUE(service.Calls.empty());
  ASSERT_TRUE(ServeUntil([&] { return !service.Calls.empty(); }));
  ASSERT_EQ(service.Calls.size(), 1u);
  const TFakeNotifications::TCall &call = service.Calls[0];
  EXPECT_EQ(call.AppName, QCoreApplication::applicationName());
  EXPECT_EQ(call.Summary, "Conversion finished");
  EXPECT_EQ(call.Body, "3 file(s) converted, 1 failed.");
  EXPECT_EQ(call.ReplacesId, 0u);
  EXPECT_TRUE(call.Actions.isEmpty());
  EXPECT_EQ(call.Hints.value("desktop-entry").toString(), "com.morvane.MP4VideoConverter");
  EXPECT_EQ(call.Icon, "com.morvane.MP4VideoConverter");
  EXPECT_EQ(call.Timeout, -1);
}

TEST_F(DesktopBusTest, WithoutANotificationServiceNothingHappens) {
  TDesktopNotifier notifier(*FClient);
  notifier.Notify("Conversion finished", "1 file(s) converted, 0 failed.");
  // The bus's refusal arrives and is dropped; the connection stays usable.
  QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
  EXPECT_TRUE(FClient->isConnected());
  EXPECT_FALSE(FClient->interface()->isServiceRegistered("org.freedesktop.Notifications"));
}

TEST_F(DesktopBusTest, TheFileManagerShowsTheFileSelected) {
  TFakeFileManager service;
  Offer(service, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1");
  int folderOpened = 0;
  ShowInFileManager(*FClient, "/videos/out/a clip_(new).mp4",
                    [&](const QString &) { ++folderOpened; });
  EXPECT_TRUE(service.Shown.empty());
  ASSERT_TRUE(ServeUntil([&] { return !service.Shown.empty(); }));
  EXPECT_EQ(service.Shown[0], QStringList({"file:///videos/out/a clip_(new).mp4"}));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
  EXPECT_EQ(folderOpened, 0);
}

TEST_F(DesktopBusTest, WithoutAFileManagerTheFolderOpens) {
  QStringList opened;
  ShowInFileManager(*FClient, "/videos/out/a clip_(new).mp4",
                    [&](const QString &folder) { opened << folder; });
  ASSERT_TRUE(ServeUntil([&] { return !opened.isEmpty(); }));
  EXPECT_EQ(opened, QStringList({"/videos/out"}));
}

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName("Morvane test");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "DesktopBusTest.moc"
