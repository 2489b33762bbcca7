// The host's clock: what the plug-in module reads when it asks the C library for the time.
//
// The loader binds the module's own references to the system's wall clock (time(),
// gettimeofday() and clock_gettime() on Linux; _time64, the system time and its lookup on
// Windows) to functions that read this clock (platform/), and nothing else in the process. By
// default it answers the system's clock. A host that replays a session sets the clock instead: the module then reads
// the set time until it is set again, so that a replay sends the module the same readings as
// the live run it repeats, and runs as fast as the processor allows.
//
// Only the host's user-interface thread sets the clock and calls into the module.
#ifndef SARVELLO_SIMHOST_HOSTCLOCK_H
#define SARVELLO_SIMHOST_HOSTCLOCK_H

#include <cstdint>

namespace simhost::hostclock {

// Microseconds since the epoch on the system's clock.
std::int64_t systemMicros();

// The module reads `micros` (microseconds since the epoch) from now on.
void set(std::int64_t micros);
// The module reads the system's clock from now on (the default).
void useSystem();
// What the module reads now.
std::int64_t now();
// True while the clock is set.
bool isSet();
// How many times the module has read the clock so far.
std::int64_t reads();
// A reading by the module: what now() answers, counted in reads().
std::int64_t moduleRead();

// Floor division, so that times before the epoch split into seconds and a positive remainder.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace simhost::hostclock

#endif
