#include "core/HostClock.h"

#include <cerrno>
#include <chrono>

namespace simhost::hostclock {

namespace {

// Set by the user-interface thread only; the module reads it on the same thread.
bool clockSet = false;
std::int64_t clockMicros = 0;
std::int64_t readCount = 0;

}  // namespace

std::int64_t systemMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void set(std::int64_t micros) {
  clockSet = true;
  clockMicros = micros;
}

void useSystem() { clockSet = false; }

std::int64_t now() { return clockSet ? clockMicros : systemMicros(); }

bool isSet() { return clockSet; }

std::int64_t reads() { return readCount; }

}  // namespace simhost::hostclock

namespace {

// A reading by the module: counted, for the tests that check it really reads this clock.
std::int64_t moduleReads() {
  ++simhost::hostclock::readCount;
  return simhost::hostclock::now();
}

// Floor division, so that times before the epoch split into seconds and a positive remainder.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

extern "C" {

time_t simhost_module_time(time_t* out) {
  const time_t seconds = static_cast<time_t>(floorDiv(moduleReads(), 1'000'000));
  if (out != nullptr) *out = seconds;
  return seconds;
}

int simhost_module_gettimeofday(struct timeval* out, void* /*zone*/) {
  if (out == nullptr) return 0;
  const std::int64_t micros = moduleReads();
  const std::int64_t seconds = floorDiv(micros, 1'000'000);
  out->tv_sec = static_cast<time_t>(seconds);
  out->tv_usec = static_cast<suseconds_t>(micros - seconds * 1'000'000);
  return 0;
}

int simhost_module_clock_gettime(clockid_t clock, struct timespec* out) {
  // The wall clocks follow the host's clock; the others (monotonic, CPU time) stay the system's.
  if ((clock != CLOCK_REALTIME && clock != CLOCK_REALTIME_COARSE) || !simhost::hostclock::isSet()) {
    return ::clock_gettime(clock, out);
  }
  if (out == nullptr) {
    errno = EFAULT;
    return -1;
  }
  const std::int64_t micros = moduleReads();
  const std::int64_t seconds = floorDiv(micros, 1'000'000);
  out->tv_sec = static_cast<time_t>(seconds);
  out->tv_nsec = static_cast<long>((micros - seconds * 1'000'000) * 1000);
  return 0;
}

}  // extern "C"
