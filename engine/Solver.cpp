#include "Solver.h"

namespace {

constexpr int kRelaxationSweeps = 20;
constexpr float kClampLow = 1.5f;

inline int IX(int N, int i, int j) { return i + (N + 2) * j; }

// Clamps a sampling coordinate into lo..hi. Written so that a NaN lands on lo: a coordinate that
// is not a number must not steer the stencil outside the array.
inline float clamp_coordinate(float x, float hi) {
  float c = (x > kClampLow) ? x : kClampLow;
  return (c < hi) ? c : hi;
}

// Gauss-Seidel relaxation of the implicit diffusion: x = (x0 + a * neighbours) / c, column index
// outer and row index inner, each cell seeing the values already updated in this sweep.
void diffuse(int N, int b, float* x, const float* x0, float a, float c) {
  for (int sweep = 0; sweep < kRelaxationSweeps; ++sweep) {
    for (int i = 1; i <= N; ++i) {
      for (int j = 1; j <= N; ++j) {
        x[IX(N, i, j)] = (a * (x[IX(N, i - 1, j)] + x[IX(N, i + 1, j)] + x[IX(N, i, j - 1)] +
                               x[IX(N, i, j + 1)]) +
                          x0[IX(N, i, j)]) /
                         c;
      }
    }
    set_bnd(N, b, x);
  }
}

// The 4x4 stencil of f around column i0 and row j0. For N >= 2 the clamped coordinates keep the
// stencil inside the array; a grid of one cell is too small for it, and there the indices are
// held inside the border ring instead.
inline float stencil_at(int N, const float* f, int i, int j) {
  if (N < 2) {
    const int last = N + 1;
    i = i < 0 ? 0 : (i > last ? last : i);
    j = j < 0 ? 0 : (j > last ? last : j);
  }
  return f[IX(N, i, j)];
}

}  // namespace

float spline_cubic(const float* y, float t) {
  // Second differences: each difference rounded to single, the combination formed in double.
  const float d10 = y[1] - y[0];
  const float d21 = y[2] - y[1];
  const float d32 = y[3] - y[2];
  const float alpha1 = static_cast<float>(3.0 * d21 - 3.0 * d10);
  const float alpha2 = static_cast<float>(3.0 * d32 - 3.0 * d21);

  // Forward elimination of the natural-spline system with unit spacing.
  const float mu0 = 0.0f;
  const float z0 = 0.0f;
  float l = 4.0f - mu0;
  const float mu1 = 1.0f / l;
  const float z1 = (alpha1 - z0) / l;
  l = 4.0f - mu1;
  const float mu2 = 1.0f / l;
  const float z2 = (alpha2 - z1) / l;

  // Back substitution; only the middle segment (k = 1) is evaluated.
  const float c3 = 0.0f;
  const float c2 = z2 - mu2 * c3;
  const float c1 = z1 - mu1 * c2;
  const float b1 = static_cast<float>(d21 - (c2 + 2.0 * c1) / 3.0);
  const float d1 = (c2 - c1) / 3.0f;

  const float s = ((y[1] + t * b1) + (t * c1) * t) + ((t * d1) * t) * t;

  // Never overshoot the two values the segment lies between.
  const float lo = y[1] < y[2] ? y[1] : y[2];
  const float hi = y[1] < y[2] ? y[2] : y[1];
  if (s < lo) return lo;
  return (hi < s) ? hi : s;
}

float interpolate(int N, const float* f, float x, float y) {
  const float hi = static_cast<float>(N) - 0.5f;
  const float xc = clamp_coordinate(x, hi);
  const float yc = clamp_coordinate(y, hi);
  const int i0 = static_cast<int>(xc);
  const int j0 = static_cast<int>(yc);
  const float tx = xc - static_cast<float>(i0);
  const float ty = yc - static_cast<float>(j0);

  float rows[4];
  for (int r = 0; r < 4; ++r) {
    const int j = j0 - 1 + r;
    const float row[4] = {stencil_at(N, f, i0 - 1, j), stencil_at(N, f, i0, j),
                          stencil_at(N, f, i0 + 1, j), stencil_at(N, f, i0 + 2, j)};
    rows[r] = spline_cubic(row, tx);
  }
  return spline_cubic(rows, ty);
}

void set_bnd(int N, int b, float* x) {
  for (int k = 1; k <= N; ++k) {
    x[IX(N, 0, k)] = (b == kBoundaryHorizontal) ? -x[IX(N, 1, k)] : x[IX(N, 1, k)];
    x[IX(N, N + 1, k)] = (b == kBoundaryHorizontal) ? -x[IX(N, N, k)] : x[IX(N, N, k)];
    x[IX(N, k, 0)] = (b == kBoundaryVertical) ? -x[IX(N, k, 1)] : x[IX(N, k, 1)];
    x[IX(N, k, N + 1)] = (b == kBoundaryVertical) ? -x[IX(N, k, N)] : x[IX(N, k, N)];
  }
  x[IX(N, 0, 0)] = 0.5f * (x[IX(N, 1, 0)] + x[IX(N, 0, 1)]);
  x[IX(N, 0, N + 1)] = 0.5f * (x[IX(N, 1, N + 1)] + x[IX(N, 0, N)]);
  x[IX(N, N + 1, 0)] = 0.5f * (x[IX(N, N, 0)] + x[IX(N, N + 1, 1)]);
  x[IX(N, N + 1, N + 1)] = 0.5f * (x[IX(N, N, N + 1)] + x[IX(N, N + 1, N)]);
}

void project(int N, float* u, float* v, float* p, float* div) {
  const float n = static_cast<float>(N);
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= N; ++j) {
      div[IX(N, i, j)] = -0.5f *
                         (u[IX(N, i + 1, j)] - u[IX(N, i - 1, j)] + v[IX(N, i, j + 1)] -
                          v[IX(N, i, j - 1)]) /
                         n;
      p[IX(N, i, j)] = 0.0f;
    }
  }
  set_bnd(N, kBoundaryScalar, div);
  set_bnd(N, kBoundaryScalar, p);

  for (int sweep = 0; sweep < kRelaxationSweeps; ++sweep) {
    for (int i = 1; i <= N; ++i) {
      for (int j = 1; j <= N; ++j) {
        p[IX(N, i, j)] = (p[IX(N, i - 1, j)] + p[IX(N, i + 1, j)] + p[IX(N, i, j - 1)] +
                          p[IX(N, i, j + 1)] + div[IX(N, i, j)]) *
                         0.25f;
      }
    }
    set_bnd(N, kBoundaryScalar, p);
  }

  const float gradient = -0.5f * n;
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= N; ++j) {
      u[IX(N, i, j)] = u[IX(N, i, j)] + (p[IX(N, i + 1, j)] - p[IX(N, i - 1, j)]) * gradient;
      v[IX(N, i, j)] = v[IX(N, i, j)] + (p[IX(N, i, j + 1)] - p[IX(N, i, j - 1)]) * gradient;
    }
  }
  set_bnd(N, kBoundaryHorizontal, u);
  set_bnd(N, kBoundaryVertical, v);
}

void semi_lagragian(int /*NV*/, int N, int b, float* d, float* d0, float* u, float* v, float dt) {
  const float dt0 = static_cast<float>(N) * dt;
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= N; ++j) {
      // One explicit step back along the cell's own velocity; interpolate clamps the position.
      const float x = static_cast<float>(i) - dt0 * u[IX(N, i, j)];
      const float y = static_cast<float>(j) - dt0 * v[IX(N, i, j)];
      d[IX(N, i, j)] = interpolate(N, d0, x, y);
    }
  }
  set_bnd(N, b, d);
}

void vel_step(int N, float* u, float* v, float* u_prev, float* v_prev, float viscosity, float dt) {
  const int size = (N + 2) * (N + 2);
  for (int k = 0; k < size; ++k) u[k] = dt * u_prev[k] + u[k];
  for (int k = 0; k < size; ++k) v[k] = dt * v_prev[k] + v[k];

  const float n = static_cast<float>(N);
  const float a = n * (n * (viscosity * dt));
  const float c = 1.0f + 4.0f * a;
  diffuse(N, kBoundaryHorizontal, u_prev, u, a, c);
  diffuse(N, kBoundaryVertical, v_prev, v, a, c);

  project(N, u_prev, v_prev, u, v);

  semi_lagragian(N, N, kBoundaryHorizontal, u, u_prev, u_prev, v_prev, dt);
  semi_lagragian(N, N, kBoundaryVertical, v, v_prev, u_prev, v_prev, dt);

  project(N, u, v, u_prev, v_prev);
}
