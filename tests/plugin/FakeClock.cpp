#include "FakeClock.h"

#include <sys/time.h>

#include <cmath>
#include <ctime>

namespace fakeclock {
namespace {

bool gVirtual = false;
timeval gNow{};
long gCalls = 0;

}  // namespace

void set(double seconds) {
  const double whole = std::floor(seconds);
  gNow.tv_sec = static_cast<time_t>(whole);
  gNow.tv_usec = static_cast<suseconds_t>(std::lround((seconds - whole) * 1e6));
  if (gNow.tv_usec >= 1000000) {
    gNow.tv_sec += 1;
    gNow.tv_usec -= 1000000;
  }
  gVirtual = true;
}

void off() { gVirtual = false; }
long calls() { return gCalls; }

}  // namespace fakeclock

// Takes precedence over the C library's definition for everything loaded into this process.
extern "C" __attribute__((visibility("default"))) int gettimeofday(struct timeval* __restrict tv,
                                                                   void* __restrict) noexcept {
  ++fakeclock::gCalls;
  if (fakeclock::gVirtual) {
    *tv = fakeclock::gNow;
    return 0;
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tv->tv_sec = now.tv_sec;
  tv->tv_usec = static_cast<suseconds_t>(now.tv_nsec / 1000);
  return 0;
}
