#include "app/termination.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace keyloft::app {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};

int writeEnd = -1;  // the handler's only state

void OnSignal(int signal) {
  const int saved = errno;
  const auto number = static_cast<unsigned char>(signal);
  [[maybe_unused]] ssize_t written = ::write(writeEnd, &number, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals then end the program as they always did
  readEnd_ = ends[0];
  writeEnd = ends[1];
  notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    unsigned char number = 0;
    while (::read(readEnd_, &number, 1) == 1) emit received(number);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  if (readEnd_ < 0) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
  notifier_.reset();
  ::close(readEnd_);
  ::close(writeEnd);
  writeEnd = -1;
}

}  // namespace keyloft::app
