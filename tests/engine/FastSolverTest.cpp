// Every fast implementation the processor runs against the straightforward loops, bit for bit:
// whole grids after several velocity steps, and points moved through the field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "FastSolver.h"
#include "Solver.h"
#include "SolverConformance.h"

using namespace solvertest;
using fastsolver::Implementation;

namespace {

std::vector<const Implementation*> fast_implementations() {
  std::vector<const Implementation*> out;
  for (int k = 1; k < fastsolver::implementation_count(); ++k)
    out.push_back(&fastsolver::implementation(k));
  return out;
}

std::uint32_t bits(float x) {
  std::uint32_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Equal to the bit; two NaNs count as equal whatever their payloads, which no compiler keeps.
bool same(float a, float b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

// The first element where two grids differ, or -1.
long first_difference(const Grid& a, const Grid& b) {
  for (std::size_t k = 0; k < a.size(); ++k)
    if (!same(a[k], b[k])) return static_cast<long>(k);
  return -1;
}

struct Parameters {
  float viscosity, dt;
};
// The common values, zero viscosity, a zero step, and the panel's extremes.
const Parameters kParameters[] = {
    {0.0005f, 0.01f}, {0.0f, 0.01f}, {0.0005f, 0.0f}, {0.6f, 0.1f}, {0.0f, 0.0005f}, {0.6f, 0.0005f}};

class FastSolver : public ::testing::TestWithParam<const Implementation*> {
 protected:
  // Runs `steps` velocity steps on the same grids with the reference and the implementation
  // under test, writing a fresh impulse before each, and compares all four arrays after each.
  void compare_steps(int n, Grid u, Grid v, Grid up, Grid vp, const Parameters& p, int steps) {
    const Implementation& fast = *GetParam();
    Grid fu = u, fv = v, fup = up, fvp = vp;
    std::vector<float> scratch(fastsolver::scratch_floats(n));
    for (int step = 0; step < steps; ++step) {
      const int k = IX(n, 1 + (7 * step + n / 2) % n, 1 + (3 * step + n / 3) % n);
      up[k] = fup[k] = 300.0f;
      vp[k] = fvp[k] = -200.0f;
      vel_step(n, u.data(), v.data(), up.data(), vp.data(), p.viscosity, p.dt);
      fast.vel_step(n, fu.data(), fv.data(), fup.data(), fvp.data(), p.viscosity, p.dt,
                    scratch.data());
      const char* names[] = {"u", "v", "u_prev", "v_prev"};
      const Grid* want[] = {&u, &v, &up, &vp};
      const Grid* got[] = {&fu, &fv, &fup, &fvp};
      for (int a = 0; a < 4; ++a) {
        const long at = first_difference(*want[a], *got[a]);
        ASSERT_EQ(at, -1) << names[a] << " differs at element " << at << " (column "
                          << at % (n + 2) << ", row " << at / (n + 2) << ") after step "
                          << step + 1 << " at N = " << n << ", viscosity " << p.viscosity
                          << ", dt " << p.dt << ": " << (*want[a])[at] << " against "
                          << (*got[a])[at];
      }
    }
  }
};

TEST_P(FastSolver, VelocityStepsMatchTheReferenceAtEveryResolution) {
  // Every small resolution, below, at and above each vector width and band, then a sample of
  // larger ones, odd and even, up to the panel's largest.
  for (int n = 1; n <= 40; ++n) {
    for (const Parameters& p : kParameters)
      compare_steps(n, noise(n, 1, 2.0f), noise(n, 2, 2.0f), noise(n, 3, 50.0f),
                    noise(n, 4, 50.0f), p, 3);
  }
  const int larger[] = {47, 64, 100, 127, 128, 200, 255, 256, 333, 512};
  for (int n : larger) {
    const int sets = n > 256 ? 1 : 2;
    for (int s = 0; s < sets; ++s)
      compare_steps(n, noise(n, 5, 2.0f), noise(n, 6, 2.0f), noise(n, 7, 50.0f),
                    noise(n, 8, 50.0f), kParameters[s * 3], n > 256 ? 1 : 3);
  }
}

TEST_P(FastSolver, FieldsHoldingNaNAndInfinitiesMatchTheReference) {
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 3e38f, -0.0f, 1e-42f};
  for (int n : {9, 16, 33, 64}) {
    Grid u = noise(n, 11, 2.0f), v = noise(n, 12, 2.0f), up = noise(n, 13, 5.0f),
         vp = noise(n, 14, 5.0f);
    int s = 0;
    for (Grid* g : {&u, &v, &up, &vp})
      for (int k = 5; k < static_cast<int>(g->size()); k += 37) (*g)[k] = specials[s++ % 6];
    compare_steps(n, u, v, up, vp, kParameters[0], 2);
  }
}

TEST_P(FastSolver, MovedPointsMatchTheReference) {
  const Implementation& fast = *GetParam();
  for (int n : {1, 2, 5, 16, 64, 129}) {
    // A field with structure: a few steps from noise with impulses.
    Grid u = noise(n, 21, 3.0f), v = noise(n, 22, 3.0f), up = noise(n, 23, 40.0f),
         vp = noise(n, 24, 40.0f);
    for (int step = 0; step < 2; ++step)
      vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.0005f, 0.05f);
    u[IX(n, 1, 1)] = std::numeric_limits<float>::infinity();  // a sample that runs off
    const fastsolver::Field fields[] = {
        {n, u.data(), v.data(), 0.01f, 10.0f, 300.0f, 310.0f, 0.0f},
        {n, u.data(), v.data(), 2.5f, -4.0f, 4.0f, 4.0f, -4.0f},     // large steps
        {n, u.data(), v.data(), 0.01f, 5.0f, 5.0f, 5.0f, 5.0f},      // a degenerate rectangle
    };
    for (const fastsolver::Field& f : fields) {
      // Points inside, on the edges, just outside, and not finite; three floats a point, as
      // the host's conversion points (position and corner flag) lie in memory.
      std::vector<float> points;
      std::uint32_t seed = 7;
      const float w = f.right - f.left, h = f.top - f.bottom;
      for (int k = 0; k < 61; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const float a = static_cast<float>(seed >> 8) / 16777216.0f;
        const float b = static_cast<float>((seed * 2654435761u) >> 8) / 16777216.0f;
        float x = f.left + a * w, y = f.bottom + b * h;
        switch (k % 9) {
          case 1: x = f.left; break;
          case 2: y = f.top; break;
          case 3: x = std::nextafter(f.right, 1e9f); break;
          case 4: y = std::numeric_limits<float>::quiet_NaN(); break;
          case 5: x = -std::numeric_limits<float>::infinity(); break;
          default: break;
        }
        points.insert(points.end(), {x, y, 0.0f});
      }
      for (int count : {0, 1, 3, 4, 15, 16, 17, 61}) {
        std::vector<float> want = points, got = points;
        for (int k = 0; k < count; ++k) fastsolver::move_point_reference(f, want[3 * k], want[3 * k + 1]);
        fast.move_points(f, got.data(), 3, count);
        for (std::size_t k = 0; k < want.size(); ++k)
          ASSERT_TRUE(same(want[k], got[k]))
              << "point " << k / 3 << " of " << count << " at N = " << n << ": " << want[k]
              << " against " << got[k];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, FastSolver,
                         ::testing::ValuesIn(fast_implementations()),
                         [](const ::testing::TestParamInfo<const Implementation*>& param) {
                           return std::string(param.param->name);
                         });

}  // namespace
