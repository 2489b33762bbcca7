// A controlled clock for the plug-in's drag throttle: the host's clock, which the loader gives
// the module in place of the C library's. Until a test sets a virtual time it answers the real
// clock.
#ifndef SARVELLO_TESTS_PLUGIN_FAKECLOCK_H
#define SARVELLO_TESTS_PLUGIN_FAKECLOCK_H

namespace fakeclock {

// From now on the module reads this time (seconds since the epoch, to the microsecond).
void set(double seconds);
// Back to the real clock.
void off();
// Readings of the clock by the module so far, virtual or real.
long calls();

// Turns the virtual clock off when it goes out of scope.
struct Scope {
  Scope() = default;
  ~Scope() { off(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

}  // namespace fakeclock

#endif
