// The host's clock: what the plug-in module reads when it asks the C library for the time.
//
// The loader binds the module's own references to time(), gettimeofday() and clock_gettime() to
// the functions below (nothing else in the process is touched). By default they answer the
// system's clock. A host that replays a session sets the clock instead: the module then reads
// the set time until it is set again, so that a replay sends the module the same readings as
// the live run it repeats, and runs as fast as the processor allows.
//
// Only the host's user-interface thread sets the clock and calls into the module.
#ifndef SARVELLO_SIMHOST_HOSTCLOCK_H
#define SARVELLO_SIMHOST_HOSTCLOCK_H

#include <sys/time.h>
#include <time.h>

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

}  // namespace simhost::hostclock

// The functions the module's clock references are bound to.
extern "C" {
time_t simhost_module_time(time_t* out);
int simhost_module_gettimeofday(struct timeval* out, void* zone);
int simhost_module_clock_gettime(clockid_t clock, struct timespec* out);
}

#endif
