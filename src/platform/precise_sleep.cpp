#include "platform/precise_sleep.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace keyloft {

void SleepPrecisely(std::chrono::nanoseconds duration) {
  thread_local const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
  (void)slackSet;
  timespec due{};
  ::clock_gettime(CLOCK_MONOTONIC, &due);
  const long long ns = due.tv_nsec + duration.count();
  due.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
  due.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  // An absolute deadline: a signal that interrupts the sleep does not stretch it.
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
  }
}

}  // namespace keyloft
