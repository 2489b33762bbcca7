// What a fuzz target does when a property fails: it says which and aborts, which libFuzzer and
// the replay driver both report as a finding.
#ifndef SARVELLO_TESTS_FUZZ_FUZZCHECK_H
#define SARVELLO_TESTS_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

#endif
