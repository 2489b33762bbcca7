#include "FakeClock.h"

#include <cmath>

#include "core/HostClock.h"

// The loader binds the module's clock to the host's; the tests set the host's clock.
namespace fakeclock {

void set(double seconds) { simhost::hostclock::set(std::llround(seconds * 1e6)); }
void off() { simhost::hostclock::useSystem(); }
long calls() { return static_cast<long>(simhost::hostclock::reads()); }

}  // namespace fakeclock
