#include "gui/Application.h"

#include <cstdio>

#include "workspace/ExceptionReport.h"
#include "workspace/session/QtMainThread.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  FDispatcher = std::make_unique<TQtMainThreadDispatcher>(this);
  SetMainThreadDispatcher(FDispatcher.get());
}

TApplication::~TApplication() {
  SetMainThreadDispatcher(nullptr);
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
  auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance());
  try {
    if (app && app->FHandler) {
      // A handler that fails in its turn must not recurse into itself.
      const TExceptionHandler handler = app->FHandler;
      handler(error);
      return;
    }
  } catch (...) {
    error = std::current_exception();
  }
  std::fprintf(stderr, "%s\n", ReportOfException(error).Text.c_str());
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  // The event handlers of the windows report their own exceptions (Guarded); this catches what
  // comes out of an event handler written without it.
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return false;
  }
}
