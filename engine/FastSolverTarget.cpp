// One instruction set's fast velocity step and point motion. This file is compiled once per
// instruction set with SARVELLO_SIMD_NS (the namespace) and SARVELLO_SIMD_WIDTH (floats per
// vector) defined, and with that instruction set enabled for it alone.
//
// Every result equals the straightforward loops' to the bit. Each cell and each point goes
// through the same operations in the same order, in the same precisions; only the order in which
// independent cells are visited changes, and the vectors hold several cells at once:
// - Sources, divergence, gradient and advection are independent per cell: W neighbouring cells
//   of a row form a vector. The advection's bicubic samples load each stencil row of a cell as
//   one block of four floats and transpose the blocks into columns.
// - A Gauss-Seidel sweep must let each cell see the new values of (i-1, j) and (i, j-1) and the
//   old ones of (i+1, j) and (i, j+1). The interior rows are cut into bands of W rows; within a
//   band, lane k (row j0+k) handles column t-k at step t, a wavefront along the anti-diagonal,
//   and band b runs W steps behind band b-1, so the bands of one step are independent of each
//   other and keep the processor busy. For the sweeps each band is stored skewed ("banded"):
//   cell (i, j0+k) sits at slot ((i+k) mod (N+2))*W + k of the band's own memory, so that the
//   cells of one step are one contiguous vector. The rows that do not fill a band are relaxed
//   afterwards in the straightforward order.
// - All of this runs without allocating: the skewing goes through the caller's scratch rows.
//
// Nothing here may be shared with code compiled for another instruction set: every function is
// local to this file, and to the parts it includes inside its namespace, and inlined, so that no
// copy built with wider instructions can be chosen by the linker for a caller on a processor
// without them.
#include <cstdint>
#include <cstring>
#include <utility>

#include "FastSolver.h"
#include "Solver.h"

#if defined(__AVX2__) || defined(__AVX512F__)
#include <immintrin.h>
#endif

#if !defined(SARVELLO_SIMD_NS) || !defined(SARVELLO_SIMD_WIDTH)
#error "compile with SARVELLO_SIMD_NS and SARVELLO_SIMD_WIDTH defined"
#endif

namespace fastsolver::SARVELLO_SIMD_NS {
namespace {

// The parts of this copy, each after those it builds on: the vector helpers, the cubic sampling,
// the banded storage and the sweeps. They are headers only so that each job has a file of its
// own; all they hold stays in this namespace, local and inlined.
#define SARVELLO_FAST_SOLVER_PARTS
#include "FastSolverVectors-inl.h"
#include "FastSolverSampling-inl.h"
#include "FastSolverBands-inl.h"
#include "FastSolverSweeps-inl.h"
#undef SARVELLO_FAST_SOLVER_PARTS

// ---- Per-cell passes ------------------------------------------------------------------------

void add_sources(int count, float* x, const float* s, float dt) {
  int k = 0;
  for (; k + W <= count; k += W) store(x + k, dt * load(s + k) + load(x + k));
  for (; k < count; ++k) x[k] = dt * s[k] + x[k];
}

// Both advections of the velocity step in one pass: u from u0 and v from v0, each sampled at the
// position traced back along (u0, v0), which neither changes. The two arrays share each cell's
// stencil, and the samples of several vectors are formed side by side, so that their long
// chains of dependent operations overlap.
void advect(int N, float* u, float* v, const float* u0, const float* v0, float dt) {
  const int stride = N + 2;
  const float dt0 = static_cast<float>(N) * dt;
  const vi lanes = lane_index();
  constexpr int kVectors = 2;
  // A row's last vectors may run past column N into the border and the next row's first cells:
  // those are written again later (the border by set_bnd, the next row by its own pass), and the
  // arrays are long enough for it since N >= W.
  for (int j = 1; j <= N; ++j) {
    const vf y0 = splat(static_cast<float>(j));
    for (int i = 1; i <= N; i += kVectors * W) {
      const int vectors = (N - i) / W + 1 < kVectors ? (N - i) / W + 1 : kVectors;
      Stencil s[kVectors] = {};
      vf rows[2 * kVectors][4] = {};
#pragma GCC unroll 4
      for (int c = 0; c < kVectors; ++c) {
        if (c >= vectors) continue;
        const int k = i + c * W + stride * j;
        const vf x0 = __builtin_convertvector(splat_int(i + c * W) + lanes, vf);
        s[c] = stencil_at(N, x0 - dt0 * load(u0 + k), y0 - dt0 * load(v0 + k));
      }
#pragma GCC unroll 4
      for (int c = 0; c < kVectors; ++c) {
        if (c >= vectors) continue;
        std::int32_t index[W];
        std::memcpy(index, &s[c].first, sizeof index);
        for (int r = 0; r < 4; ++r) {
          vf column[4];
          stencil_row(u0 + r * stride, index, column);
          rows[2 * c][r] = spline(column[0], column[1], column[2], column[3], s[c].tx);
          stencil_row(v0 + r * stride, index, column);
          rows[2 * c + 1][r] = spline(column[0], column[1], column[2], column[3], s[c].tx);
        }
      }
#pragma GCC unroll 4
      for (int c = 0; c < kVectors; ++c) {
        if (c >= vectors) continue;
        const int k = i + c * W + stride * j;
        const vf* ru = rows[2 * c];
        const vf* rv = rows[2 * c + 1];
        store(u + k, spline(ru[0], ru[1], ru[2], ru[3], s[c].ty));
        store(v + k, spline(rv[0], rv[1], rv[2], rv[3], s[c].ty));
      }
    }
  }
  set_bnd(N, kBoundaryHorizontal, u);
  set_bnd(N, kBoundaryVertical, v);
}

// project of Solver.cpp. The divergence goes into div, the pressure into p; p starts as zeros,
// which every storage order holds alike. `keep_divergence` puts div back into rows for callers
// that read it later.
void project(const Bands& g, float* u, float* v, float* p, float* div, float* scratch,
             bool keep_divergence) {
  const int N = g.N;
  const int S = g.stride;
  const float n = static_cast<float>(N);
  for (int j = 1; j <= N; ++j) {
    int i = 1;
    for (; i + W - 1 <= N; i += W) {
      const int k = i + S * j;
      store(div + k,
            -0.5f * (load(u + k + 1) - load(u + k - 1) + load(v + k + S) - load(v + k - S)) / n);
    }
    for (; i <= N; ++i) {
      const int k = i + S * j;
      div[k] = -0.5f * (u[k + 1] - u[k - 1] + v[k + S] - v[k - S]) / n;
    }
  }
  std::memset(p, 0, sizeof(float) * static_cast<std::size_t>(S * S));
  set_bnd(N, kBoundaryScalar, div);

  to_bands(g, div, scratch);
  relax(g, Relaxed<1>{{p}, {div}, {kBoundaryScalar}}, Pressure{});
  from_bands(g, p, scratch);
  if (keep_divergence) from_bands(g, div, scratch);

  const float gradient = -0.5f * n;
  for (int j = 1; j <= N; ++j) {
    int i = 1;
    for (; i + W - 1 <= N; i += W) {
      const int k = i + S * j;
      store(u + k, load(u + k) + (load(p + k + 1) - load(p + k - 1)) * gradient);
      store(v + k, load(v + k) + (load(p + k + S) - load(p + k - S)) * gradient);
    }
    for (; i <= N; ++i) {
      const int k = i + S * j;
      u[k] = u[k] + (p[k + 1] - p[k - 1]) * gradient;
      v[k] = v[k] + (p[k + S] - p[k - S]) * gradient;
    }
  }
  set_bnd(N, kBoundaryHorizontal, u);
  set_bnd(N, kBoundaryVertical, v);
}

void fast_vel_step(int N, float* u, float* v, float* u_prev, float* v_prev, float viscosity,
                   float dt, float* scratch) {
  if (N < W) {
    // Too small a grid for one band: the straightforward loops.
    ::vel_step(N, u, v, u_prev, v_prev, viscosity, dt);
    return;
  }
  const int S = N + 2;
  add_sources(S * S, u, u_prev, dt);
  add_sources(S * S, v, v_prev, dt);

  const Bands g{N, S, N / W};
  const float n = static_cast<float>(N);
  const float a = n * (n * (viscosity * dt));
  const Diffusion diffusion{a, 1.0f + 4.0f * a};
  // The right-hand sides u and v stay skewed: the projection overwrites every element of both.
  to_bands(g, u_prev, scratch);
  to_bands(g, u, scratch);
  to_bands(g, v_prev, scratch);
  to_bands(g, v, scratch);
  relax(g, Relaxed<2>{{u_prev, v_prev}, {u, v}, {kBoundaryHorizontal, kBoundaryVertical}},
        diffusion);
  from_bands(g, u_prev, scratch);
  from_bands(g, v_prev, scratch);

  project(g, u_prev, v_prev, u, v, scratch, false);
  advect(N, u, v, u_prev, v_prev, dt);
  project(g, u, v, u_prev, v_prev, scratch, true);
}

// ---- Point motion ---------------------------------------------------------------------------

struct Velocity {
  vf x, y;
};

SARVELLO_INLINE Velocity velocity_at(const Field& f, vd p, vd q) {
  const double n = f.N;
  const Stencil s = stencil_at(f.N, narrow(p * n), narrow(q * n));
  return Velocity{sample(f.u, f.N, s), sample(f.v, f.N, s)};
}

// The Runge-Kutta step of move_point_reference for the points of several vectors side by side,
// so that the long chain of one vector's four dependent stages overlaps with the others'.
template <int P>
SARVELLO_INLINE void move_vectors(const Field& f, float* points, std::ptrdiff_t stride) {
  const float width = f.right - f.left;
  const float height = f.top - f.bottom;
  const double weight = f.dt * 0.16666666666666666;
  vf h[P], v[P];
  vd x[P], y[P];
  vi inside[P];
  for (int c = 0; c < P; ++c) {
    for (int l = 0; l < W; ++l) {
      h[c][l] = points[(c * W + l) * stride];
      v[c][l] = points[(c * W + l) * stride + 1];
    }
    const vf nx = (h[c] - f.left) / width;
    const vf ny = (v[c] - f.bottom) / height;
    inside[c] = (nx >= 0.0f) & (nx <= 1.0f) & (ny >= 0.0f) & (ny <= 1.0f);
    x[c] = widen(nx);
    y[c] = 1.0 - widen(ny);
  }
  Velocity k1[P], k2[P], k3[P], k4[P];
  for (int c = 0; c < P; ++c) k1[c] = velocity_at(f, x[c], y[c]);
  for (int c = 0; c < P; ++c)
    k2[c] = velocity_at(f, x[c] + widen(k1[c].x * f.dt) * 0.5, y[c] + widen(k1[c].y * f.dt) * 0.5);
  for (int c = 0; c < P; ++c)
    k3[c] = velocity_at(f, x[c] + widen(k2[c].x * f.dt) * 0.5, y[c] + widen(k2[c].y * f.dt) * 0.5);
  for (int c = 0; c < P; ++c)
    k4[c] = velocity_at(f, x[c] + widen(k3[c].x * f.dt), y[c] + widen(k3[c].y * f.dt));
  for (int c = 0; c < P; ++c) {
    const vd x1 = x[c] + weight * widen(k1[c].x + 2.0f * k2[c].x + 2.0f * k3[c].x + k4[c].x);
    const vd y1 = y[c] + weight * widen(k1[c].y + 2.0f * k2[c].y + 2.0f * k3[c].y + k4[c].y);
    const vf h1 = narrow(static_cast<double>(f.left) + static_cast<double>(width) * x1);
    const vf v1 =
        narrow(static_cast<double>(f.bottom) + static_cast<double>(height) * (1.0 - y1));
    // x - x is 0 exactly when x is finite.
    const vi keep = inside[c] & ((h1 - h1) == 0.0f) & ((v1 - v1) == 0.0f);
    const vf h2 = keep ? h1 : h[c];
    const vf v2 = keep ? v1 : v[c];
    for (int l = 0; l < W; ++l) {
      points[(c * W + l) * stride] = h2[l];
      points[(c * W + l) * stride + 1] = v2[l];
    }
  }
}

void fast_move_points(const Field& f, float* points, std::ptrdiff_t stride, int count) {
  int k = 0;
  if (f.N >= 2) {
    for (; k + 2 * W <= count; k += 2 * W) move_vectors<2>(f, points + k * stride, stride);
    for (; k + W <= count; k += W) move_vectors<1>(f, points + k * stride, stride);
  }
  for (; k < count; ++k) move_point_reference(f, points[k * stride], points[k * stride + 1]);
}

}  // namespace

extern const Implementation kImplementation;
const Implementation kImplementation{
#define SARVELLO_STRINGIFY2(x) #x
#define SARVELLO_STRINGIFY(x) SARVELLO_STRINGIFY2(x)
    SARVELLO_STRINGIFY(SARVELLO_SIMD_NS), W, &fast_vel_step, &fast_move_points};

}  // namespace fastsolver::SARVELLO_SIMD_NS
