#include "core/HostClock.h"

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

std::int64_t moduleRead() {
  ++readCount;
  return now();
}

}  // namespace simhost::hostclock
