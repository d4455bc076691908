// Sleeping for a set time without the kernel's timer slack (50 µs by default
// for a normal thread), for waits the keyboard's protocol prescribes.
#pragma once

#include <chrono>

namespace keyloft {

// Returns no sooner than duration from now, and as soon after as the
// scheduler allows: the calling thread's timer slack is made 1 ns the first
// time it calls.
void SleepPrecisely(std::chrono::nanoseconds duration);

}  // namespace keyloft
