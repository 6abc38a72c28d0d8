#include "workspace/mainwindow/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <stdexcept>

#include "gui/Application.h"

namespace {

constexpr int Caught[] = {SIGTERM, SIGINT, SIGHUP};
// The pipe the handler writes into: a signal handler can reach no object.
int GPipe[2] = {-1, -1};

}  // namespace

// Only async-signal-safe calls: write() on a non-blocking pipe, errno kept.
void TQuitSignals::Handler(int signal) {
  const int saved = errno;
  const auto number = static_cast<unsigned char>(signal);
  if (GPipe[1] >= 0) (void)!write(GPipe[1], &number, 1);
  errno = saved;
}

TQuitSignals::TQuitSignals(std::function<void(int signal)> onSignal, QObject *parent)
    : QObject(parent), FOnSignal(std::move(onSignal)) {
  if (GPipe[0] >= 0) throw std::logic_error("the quit signals are caught twice");
  if (pipe2(GPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error("cannot make the pipe for the quit signals");
  FNotifier = new QSocketNotifier(GPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] { ReadSignals(); });
  struct sigaction action {};
  action.sa_handler = &TQuitSignals::Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(Caught); ++i) sigaction(Caught[i], &action, &FPrevious[i]);
}

TQuitSignals::~TQuitSignals() {
  for (size_t i = 0; i < std::size(Caught); ++i) sigaction(Caught[i], &FPrevious[i], nullptr);
  delete FNotifier;
  for (int &end : GPipe) {
    close(end);
    end = -1;
  }
}

void TQuitSignals::ReadSignals() {
  unsigned char numbers[16];
  ssize_t count;
  while ((count = read(GPipe[0], numbers, sizeof numbers)) > 0)
    for (ssize_t i = 0; i < count; ++i)
      if (FOnSignal) Guarded([&] { FOnSignal(numbers[i]); });
}
