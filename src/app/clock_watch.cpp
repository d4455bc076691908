#include "app/clock_watch.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace keyloft::app {

ClockChangeWatcher::ClockChangeWatcher(QObject* parent) : QObject(parent) {
  fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ < 0) return;
  if (!arm()) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &ClockChangeWatcher::readable);
}

ClockChangeWatcher::~ClockChangeWatcher() {
  notifier_.reset();
  if (fd_ >= 0) ::close(fd_);
}

bool ClockChangeWatcher::arm() {
  // Due so far away that it never fires: only a jump of the clock cancels it.
  itimerspec deadline{};
  deadline.it_value.tv_sec = INT32_MAX;
  return ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &deadline, nullptr) == 0;
}

void ClockChangeWatcher::readable() {
  uint64_t expirations = 0;
  const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
  if (n < 0 && errno == ECANCELED) {
    arm();
    emit clockChanged();
  }
}

}  // namespace keyloft::app
