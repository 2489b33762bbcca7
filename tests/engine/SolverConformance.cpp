#include "SolverConformance.h"

#include <cmath>
#include <limits>

using namespace solvertest;

namespace {

struct GoldenCase {
  int n;
  float viscosity;
  float dt;
  int steps;
  std::uint64_t u, v, u_prev, v_prev;
};

// Whole grids after several steps from fixed inputs. The cases cover the diffusion, an odd
// resolution, a large step that drives back-traces into the clamp, and a zero viscosity.
const GoldenCase kGolden[] = {
    {16, 0.0005f, 0.01f, 5,
     1146845805399471277ull, 8669916203331241025ull,
     10298021532651198505ull, 6744342800025961509ull},
    {33, 0.01f, 0.05f, 4,
     3815355897016636828ull, 2012488934501332790ull,
     2124889201174305162ull, 16235543858244020543ull},
    {24, 0.0f, 0.5f, 3,
     17076410651295516741ull, 5930112460783733577ull,
     15767661109677306707ull, 6400505890383046162ull},
    {64, 0.0005f, 0.01f, 2,
     1122111360241146292ull, 5628778537206988577ull,
     13677186175992296432ull, 13809958648447640531ull},
};

double divergence_norm(int n, const Grid& u, const Grid& v) {
  double sum = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const double d = u[IX(n, i + 1, j)] - u[IX(n, i - 1, j)] + v[IX(n, i, j + 1)] -
                       v[IX(n, i, j - 1)];
      sum += d * d;
    }
  return std::sqrt(sum);
}

}  // namespace

TEST_P(SolverConformance, WholeGridsMatchTheReferenceBitForBit) {
  const SolverImpl& s = GetParam();
  for (const GoldenCase& c : kGolden) {
    Grid u = noise(c.n, 1, 2.0f), v = noise(c.n, 2, 2.0f);
    Grid up = noise(c.n, 3, 50.0f), vp = noise(c.n, 4, 50.0f);
    for (int step = 0; step < c.steps; ++step) {
      // A fresh impulse each step, as the brush writes one between draws.
      up[IX(c.n, c.n / 2, c.n / 3)] = 300.0f;
      vp[IX(c.n, c.n / 2, c.n / 3)] = -200.0f;
      s.vel_step(c.n, u.data(), v.data(), up.data(), vp.data(), c.viscosity, c.dt);
    }
    SCOPED_TRACE("N = " + std::to_string(c.n));
    EXPECT_EQ(checksum(u), c.u);
    EXPECT_EQ(checksum(v), c.v);
    EXPECT_EQ(checksum(up), c.u_prev);
    EXPECT_EQ(checksum(vp), c.v_prev);
  }
}

TEST_P(SolverConformance, ZeroFieldStaysZero) {
  const SolverImpl& s = GetParam();
  const int n = 12;
  Grid u = zeros(n), v = zeros(n), up = zeros(n), vp = zeros(n);
  s.vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.0005f, 0.01f);
  for (const Grid* g : {&u, &v, &up, &vp})
    for (float x : *g) EXPECT_EQ(std::fabs(x), 0.0f);
}

TEST_P(SolverConformance, ForcedFieldStaysFiniteAndLeavesPressureInTheForceArrays) {
  const SolverImpl& s = GetParam();
  const int n = 20;
  Grid u = zeros(n), v = zeros(n), up = zeros(n), vp = zeros(n);
  for (int step = 0; step < 60; ++step) {
    up[IX(n, 1 + step % n, 1 + (3 * step) % n)] = 1600.0f;
    vp[IX(n, 1 + (7 * step) % n, 1 + step % n)] = -1600.0f;
    s.vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.0005f, 0.02f);
  }
  bool pressure = false;
  for (int k = 0; k < (n + 2) * (n + 2); ++k) {
    ASSERT_TRUE(std::isfinite(u[k]) && std::isfinite(v[k]) && std::isfinite(up[k]) &&
                std::isfinite(vp[k]));
    pressure = pressure || up[k] != 0.0f;
  }
  EXPECT_TRUE(pressure) << "the final projection leaves its pressure in u_prev";
  // Walls of u hold the negated interior neighbours.
  for (int k = 1; k <= n; ++k) {
    EXPECT_EQ(u[IX(n, 0, k)], -u[IX(n, 1, k)]);
    EXPECT_EQ(v[IX(n, k, n + 1)], -v[IX(n, k, n)]);
  }
}

TEST_P(SolverConformance, ProjectionReducesDivergence) {
  const SolverImpl& s = GetParam();
  const int n = 16;
  // A smooth source (a blob flowing outward): the relaxation removes most of its divergence.
  Grid u = zeros(n), v = zeros(n), p = zeros(n), div = zeros(n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const float dx = (i - 0.5f * n) / n, dy = (j - 0.5f * n) / n;
      const float w = std::exp(-8.0f * (dx * dx + dy * dy));
      u[IX(n, i, j)] = dx * w;
      v[IX(n, i, j)] = dy * w;
    }
  s.set_bnd(n, 1, u.data());
  s.set_bnd(n, 2, v.data());
  const double before = divergence_norm(n, u, v);
  s.project(n, u.data(), v.data(), p.data(), div.data());
  EXPECT_LT(divergence_norm(n, u, v), 0.5 * before);
}

TEST_P(SolverConformance, SetBndSignsAndCorners) {
  const SolverImpl& s = GetParam();
  const int n = 4;
  for (int mode = 0; mode <= 2; ++mode) {
    Grid x = noise(n, 20 + mode, 3.0f);
    x[IX(n, 1, 2)] = 0.0f;  // a zero next to each wall
    x[IX(n, 2, 1)] = 0.0f;
    x[IX(n, n, 3)] = 0.0f;
    x[IX(n, 3, n)] = 0.0f;
    s.set_bnd(n, mode, x.data());
    SCOPED_TRACE("mode " + std::to_string(mode));
    for (int k = 1; k <= n; ++k) {
      const float sh = mode == 1 ? -1.0f : 1.0f, sv = mode == 2 ? -1.0f : 1.0f;
      EXPECT_EQ(x[IX(n, 0, k)], sh * x[IX(n, 1, k)]);
      EXPECT_EQ(x[IX(n, n + 1, k)], sh * x[IX(n, n, k)]);
      EXPECT_EQ(x[IX(n, k, 0)], sv * x[IX(n, k, 1)]);
      EXPECT_EQ(x[IX(n, k, n + 1)], sv * x[IX(n, k, n)]);
    }
    // A negated zero is -0.0, not 0.0 - 0.0.
    EXPECT_EQ(std::signbit(x[IX(n, 0, 2)]), mode == 1);
    EXPECT_EQ(std::signbit(x[IX(n, n + 1, 3)]), mode == 1);
    EXPECT_EQ(std::signbit(x[IX(n, 2, 0)]), mode == 2);
    EXPECT_EQ(std::signbit(x[IX(n, 3, n + 1)]), mode == 2);
    EXPECT_EQ(x[IX(n, 0, 0)], 0.5f * (x[IX(n, 1, 0)] + x[IX(n, 0, 1)]));
    EXPECT_EQ(x[IX(n, 0, n + 1)], 0.5f * (x[IX(n, 1, n + 1)] + x[IX(n, 0, n)]));
    EXPECT_EQ(x[IX(n, n + 1, 0)], 0.5f * (x[IX(n, n, 0)] + x[IX(n, n + 1, 1)]));
    EXPECT_EQ(x[IX(n, n + 1, n + 1)], 0.5f * (x[IX(n, n, n + 1)] + x[IX(n, n + 1, n)]));
  }
}

TEST_P(SolverConformance, AdvectionWithoutMotionStillShiftsTheWallCells) {
  const SolverImpl& s = GetParam();
  const int n = 10;
  Grid d0 = noise(n, 30, 1.0f), d = zeros(n), u = zeros(n), v = zeros(n);
  s.semi_lagragian(n, n, 0, d.data(), d0.data(), u.data(), v.data(), 0.0f);
  for (int i = 2; i < n; ++i)
    for (int j = 2; j < n; ++j) EXPECT_EQ(d[IX(n, i, j)], d0[IX(n, i, j)]);
  EXPECT_EQ(d[IX(n, 1, 5)], s.interpolate(n, d0.data(), 1.5f, 5.0f));
  EXPECT_EQ(d[IX(n, n, 5)], s.interpolate(n, d0.data(), n - 0.5f, 5.0f));
  EXPECT_EQ(d[IX(n, 1, n)], s.interpolate(n, d0.data(), 1.5f, n - 0.5f));
}

TEST_P(SolverConformance, SplineCases) {
  const SolverImpl& s = GetParam();
  const float flat[4] = {3.5f, 3.5f, 3.5f, 3.5f};
  const float line[4] = {1, 2, 3, 4};
  const float step[4] = {0, 0, 1, 1};
  const float bump[4] = {0, 1, 1, 0};
  const float zigzag[4] = {0, 1, 0, 1};
  for (float t : {0.0f, 0.3f, 1.0f}) EXPECT_EQ(s.spline_cubic(flat, t), 3.5f);
  EXPECT_FLOAT_EQ(s.spline_cubic(line, 0.5f), 2.5f);
  EXPECT_FLOAT_EQ(s.spline_cubic(step, 0.25f), 0.21875f);
  EXPECT_FLOAT_EQ(s.spline_cubic(step, 0.5f), 0.5f);
  EXPECT_EQ(s.spline_cubic(bump, 0.5f), 1.0f);  // 1.15 before the clamp
  EXPECT_FLOAT_EQ(s.spline_cubic(zigzag, 0.5f), 0.5f);
  const float any[4] = {-7.25f, 0.1f, 9.0f, 2.0f};
  EXPECT_EQ(s.spline_cubic(any, 0.0f), 0.1f);
}

TEST_P(SolverConformance, BicubicSampleStaysWithinItsCellAndHitsGridPoints) {
  const SolverImpl& s = GetParam();
  const int n = 9;
  Grid f = noise(n, 40, 5.0f);
  for (int i = 2; i < n; ++i)
    for (int j = 2; j < n; ++j)
      EXPECT_EQ(s.interpolate(n, f.data(), float(i), float(j)), f[IX(n, i, j)]);
  std::uint32_t r = 7;
  for (int k = 0; k < 500; ++k) {
    r = r * 1664525u + 1013904223u;
    const float x = 1.5f + (n - 2.0f) * float(r >> 8) / 16777216.0f;
    r = r * 1664525u + 1013904223u;
    const float y = 1.5f + (n - 2.0f) * float(r >> 8) / 16777216.0f;
    const int i0 = int(x), j0 = int(y);
    const float c[4] = {f[IX(n, i0, j0)], f[IX(n, i0 + 1, j0)], f[IX(n, i0, j0 + 1)],
                        f[IX(n, i0 + 1, j0 + 1)]};
    const float got = s.interpolate(n, f.data(), x, y);
    EXPECT_GE(got, std::min({c[0], c[1], c[2], c[3]}));
    EXPECT_LE(got, std::max({c[0], c[1], c[2], c[3]}));
  }
}

TEST_P(SolverConformance, SamplingClampsPositionsIncludingNonFiniteOnes) {
  const SolverImpl& s = GetParam();
  const int n = 8;
  // Exactly (N+2)^2 floats: a read outside shows up under the address sanitizer.
  Grid f = noise(n, 50, 1.0f);
  const float* g = f.data();
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float low = s.interpolate(n, g, 1.5f, 4.0f), high = s.interpolate(n, g, n - 0.5f, 4.0f);
  EXPECT_EQ(s.interpolate(n, g, 1.0f, 4.0f), low);
  EXPECT_EQ(s.interpolate(n, g, -30.0f, 4.0f), low);
  EXPECT_EQ(s.interpolate(n, g, -inf, 4.0f), low);
  EXPECT_EQ(s.interpolate(n, g, float(n), 4.0f), high);
  EXPECT_EQ(s.interpolate(n, g, inf, 4.0f), high);
  EXPECT_EQ(s.interpolate(n, g, 4.0f, inf), s.interpolate(n, g, 4.0f, n - 0.5f));
  EXPECT_TRUE(std::isfinite(s.interpolate(n, g, nan, nan)));
  EXPECT_TRUE(std::isfinite(s.interpolate(n, g, nan, 3.0f)));
}

TEST_P(SolverConformance, SmallestGridsStayInsideTheirArrays) {
  const SolverImpl& s = GetParam();
  for (int n : {1, 2}) {
    Grid u = noise(n, 60, 1.0f), v = noise(n, 61, 1.0f), up = noise(n, 62, 1.0f),
         vp = noise(n, 63, 1.0f);
    s.vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.001f, 0.1f);
    EXPECT_TRUE(std::isfinite(s.interpolate(n, u.data(), 0.7f, 5.0f)));
  }
}
