// A controlled system clock for the plug-in's drag throttle. The test program defines the C
// library's gettimeofday itself and exports it, so the loaded module's calls reach it before the C
// library's, as they would reach a time-faking preload library. Until a test sets a virtual time
// it answers the real clock.
#ifndef SARVELLO_TESTS_PLUGIN_FAKECLOCK_H
#define SARVELLO_TESTS_PLUGIN_FAKECLOCK_H

namespace fakeclock {

// From now on gettimeofday answers this time (seconds since the epoch, to the microsecond).
void set(double seconds);
// Back to the real clock.
void off();
// Calls of gettimeofday answered so far, virtual or real.
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
