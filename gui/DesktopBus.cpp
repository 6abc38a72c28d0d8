#include "gui/DesktopBus.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

void TDesktopNotifier::Notify(const QString &summary, const QString &body) {
  if (!FBus) FBus = QDBusConnection::sessionBus();
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                     "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
  // The desktop entry lets the desktop show the program's name and icon beside the message, and
  // raise the program when the message is clicked.
  const QVariantMap hints{{"desktop-entry", QStringLiteral(MORVANE_APP_ID)}};
  const int desktopDefaultTimeout = -1;
  call << QCoreApplication::applicationName() << 0u << QStringLiteral(MORVANE_APP_ID) << summary
       << body << QStringList() << hints << desktopDefaultTimeout;
  // The message's number, the answer, is of no use: nothing replaces or closes it later.
  FBus->asyncCall(call);
}

void ShowInFileManager(const QDBusConnection &bus, const QString &file,
                       std::function<void(const QString &folder)> openFolder) {
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
  const QString folder = QFileInfo(file).absolutePath();
  // The watcher deletes itself with the answer; a bus that is not there answers at once with an
  // error.
  auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [folder, openFolder = std::move(openFolder)](QDBusPendingCallWatcher *answer) {
                     if (answer->isError() && openFolder) openFolder(folder);
                     answer->deleteLater();
                   });
}
