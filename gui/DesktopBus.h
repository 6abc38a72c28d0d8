// What the program asks of the desktop over the session bus: a notification
// (org.freedesktop.Notifications) and a file shown selected in the file manager
// (org.freedesktop.FileManager1).  Every call is sent without waiting for its answer, so that a
// desktop without these services, or a service that never answers, costs the window nothing.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <optional>

#include "workspace/session/BatchEndNotice.h"

class TDesktopNotifier : public IDesktopNotifier {
 public:
  // The desktop's session bus, connected at the first notification.
  TDesktopNotifier() = default;
  explicit TDesktopNotifier(const QDBusConnection &bus) : FBus(bus) {}

  void Notify(const QString &summary, const QString &body) override;

 private:
  std::optional<QDBusConnection> FBus;
};

// Asks the file manager on `bus` to show `file` selected in its folder.  When no file manager
// answers, or it answers with an error, `openFolder` gets the file's folder instead (later, from
// the event loop of the calling thread).  Returns at once.
void ShowInFileManager(const QDBusConnection &bus, const QString &file,
                       std::function<void(const QString &folder)> openFolder);
