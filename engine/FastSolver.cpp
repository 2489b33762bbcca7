// The straightforward implementation, the list of the compiled instruction sets, and the choice
// of the fastest one this processor runs.
#include "FastSolver.h"

#include <cmath>

#include "Solver.h"

namespace fastsolver {

// One table per instruction set compiled in (FastSolverTarget.cpp).
#define SARVELLO_DECLARE_TARGET(ns) \
  namespace ns {                    \
  extern const Implementation kImplementation; \
  }
#if defined(SARVELLO_SIMD_SSE2)
SARVELLO_DECLARE_TARGET(sse2)
#endif
#if defined(SARVELLO_SIMD_AVX2)
SARVELLO_DECLARE_TARGET(avx2)
#endif
#if defined(SARVELLO_SIMD_AVX512)
SARVELLO_DECLARE_TARGET(avx512)
#endif
#if defined(SARVELLO_SIMD_NEON)
SARVELLO_DECLARE_TARGET(neon)
#endif

namespace {

void reference_vel_step(int N, float* u, float* v, float* u_prev, float* v_prev, float viscosity,
                        float dt, float* /*scratch*/) {
  vel_step(N, u, v, u_prev, v_prev, viscosity, dt);
}

void reference_move_points(const Field& field, float* points, std::ptrdiff_t stride, int count) {
  for (int k = 0; k < count; ++k) move_point_reference(field, points[k * stride], points[k * stride + 1]);
}

const Implementation kReference{"scalar", 1, &reference_vel_step, &reference_move_points};

struct Table {
  const Implementation* list[5];
  int count = 0;
};

Table detect() {
  Table t;
  t.list[t.count++] = &kReference;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
#endif
#if defined(SARVELLO_SIMD_SSE2)
  t.list[t.count++] = &sse2::kImplementation;  // every x86-64 processor has SSE2
#endif
#if defined(SARVELLO_SIMD_AVX2)
  if (__builtin_cpu_supports("avx2")) t.list[t.count++] = &avx2::kImplementation;
#endif
#if defined(SARVELLO_SIMD_AVX512)
  if (__builtin_cpu_supports("avx512f")) t.list[t.count++] = &avx512::kImplementation;
#endif
#if defined(SARVELLO_SIMD_NEON)
  t.list[t.count++] = &neon::kImplementation;  // every ARM64 processor has NEON
#endif
  return t;
}

const Table& table() {
  // Filled at the first call, on the host's one thread.
  static const Table t = detect();
  return t;
}

}  // namespace

std::size_t scratch_floats(int N) {
  return N < 1 ? 0 : static_cast<std::size_t>(kMaxWidth) * static_cast<std::size_t>(N + 2);
}

int implementation_count() { return table().count; }

const Implementation& implementation(int k) {
  const Table& t = table();
  return *t.list[k < 0 ? 0 : (k >= t.count ? t.count - 1 : k)];
}

const Implementation& best() {
  const Table& t = table();
  return *t.list[t.count - 1];
}

void move_point_reference(const Field& f, float& h, float& v) {
  const float nx = (h - f.left) / (f.right - f.left);
  const float ny = (v - f.bottom) / (f.top - f.bottom);
  // Points outside the rectangle (or on a degenerate one, where the fractions are not numbers)
  // stay where they are.
  if (!(nx >= 0.0f && nx <= 1.0f && ny >= 0.0f && ny <= 1.0f)) return;

  const double x = nx;
  const double y = 1.0 - ny;
  const double n = f.N;
  struct Sample {
    float x, y;
  };
  auto sample = [&](double p, double q) {
    const float gx = static_cast<float>(p * n);
    const float gy = static_cast<float>(q * n);
    return Sample{interpolate(f.N, f.u, gx, gy), interpolate(f.N, f.v, gx, gy)};
  };
  const float dt = f.dt;
  const Sample k1 = sample(x, y);
  const Sample k2 = sample(x + (k1.x * dt) * 0.5, y + (k1.y * dt) * 0.5);
  const Sample k3 = sample(x + (k2.x * dt) * 0.5, y + (k2.y * dt) * 0.5);
  const Sample k4 = sample(x + k3.x * dt, y + k3.y * dt);
  const double weight = dt * 0.16666666666666666;
  const double x1 = x + weight * (k1.x + 2 * k2.x + 2 * k3.x + k4.x);
  const double y1 = y + weight * (k1.y + 2 * k2.y + 2 * k3.y + k4.y);

  const float h1 = static_cast<float>(f.left + (f.right - f.left) * x1);
  const float v1 = static_cast<float>(f.bottom + (f.top - f.bottom) * (1.0 - y1));
  // Whatever the field holds, nothing that is not a finite coordinate reaches the document.
  if (!std::isfinite(h1) || !std::isfinite(v1)) return;
  h = h1;
  v = v1;
}

}  // namespace fastsolver
