// Conformance tests of the fluid solver, runnable against any implementation of the solver's
// signatures: the straightforward one in engine/Solver.cpp is the reference, and a faster one
// must reproduce it bit for bit. Instantiate with
//   INSTANTIATE_TEST_SUITE_P(Name, SolverConformance, ::testing::Values(SolverImpl{...}));
#ifndef SARVELLO_TESTS_SOLVER_CONFORMANCE_H
#define SARVELLO_TESTS_SOLVER_CONFORMANCE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct SolverImpl {
  const char* name;
  void (*vel_step)(int, float*, float*, float*, float*, float, float);
  void (*project)(int, float*, float*, float*, float*);
  void (*semi_lagragian)(int, int, int, float*, float*, float*, float*, float);
  void (*set_bnd)(int, int, float*);
  float (*interpolate)(int, const float*, float, float);
  float (*spline_cubic)(const float*, float);
};

inline std::string SolverImplName(const ::testing::TestParamInfo<SolverImpl>& info) {
  return info.param.name;
}

class SolverConformance : public ::testing::TestWithParam<SolverImpl> {};

namespace solvertest {

using Grid = std::vector<float>;

inline Grid zeros(int n) { return Grid(static_cast<std::size_t>((n + 2) * (n + 2)), 0.0f); }

// Deterministic values in [-scale, scale] from a linear congruential sequence.
inline Grid noise(int n, std::uint32_t seed, float scale) {
  Grid g = zeros(n);
  std::uint32_t s = seed;
  for (float& x : g) {
    s = s * 1664525u + 1013904223u;
    x = scale * (static_cast<float>(s >> 8) / 8388608.0f - 1.0f);
  }
  return g;
}

// FNV-1a over the bytes of a grid: the sign of a zero and the last bit of every value count.
inline std::uint64_t checksum(const Grid& g) {
  std::uint64_t h = 1469598103934665603ull;
  for (float x : g) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    for (int b = 0; b < 4; ++b) {
      h ^= (bits >> (8 * b)) & 0xFFu;
      h *= 1099511628211ull;
    }
  }
  return h;
}

inline int IX(int n, int i, int j) { return i + (n + 2) * j; }

}  // namespace solvertest

#endif
