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
// local to this file and inlined, so that no copy built with wider instructions can be chosen
// by the linker for a caller on a processor without them.
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

constexpr int W = SARVELLO_SIMD_WIDTH;
static_assert(W >= 4 && W <= kMaxWidth && (W & (W - 1)) == 0, "vector width");
constexpr int kSweeps = 20;

typedef float vf __attribute__((vector_size(W * sizeof(float))));
typedef std::int32_t vi __attribute__((vector_size(W * sizeof(std::int32_t))));
typedef double vd __attribute__((vector_size(W * sizeof(double))));

#define SARVELLO_INLINE inline __attribute__((always_inline))

SARVELLO_INLINE vf load(const float* p) {
  vf r;
  std::memcpy(&r, p, sizeof r);
  return r;
}
SARVELLO_INLINE void store(float* p, vf x) { std::memcpy(p, &x, sizeof x); }
SARVELLO_INLINE vf splat(float x) {
  vf r;
  for (int l = 0; l < W; ++l) r[l] = x;
  return r;
}
SARVELLO_INLINE vi splat_int(std::int32_t x) {
  vi r;
  for (int l = 0; l < W; ++l) r[l] = x;
  return r;
}
SARVELLO_INLINE vi lane_index() {
  vi r;
  for (int l = 0; l < W; ++l) r[l] = l;
  return r;
}
SARVELLO_INLINE vd widen(vf x) { return __builtin_convertvector(x, vd); }
SARVELLO_INLINE vf narrow(vd x) { return __builtin_convertvector(x, vf); }

// Lane 0 takes `first`, lane k takes x's lane k-1.
template <std::size_t... I>
SARVELLO_INLINE vf shift_up(vf x, vf fill, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, fill, (I == 0 ? W : static_cast<int>(I) - 1)...);
}
SARVELLO_INLINE vf shift_up(vf x, float first) {
  return shift_up(x, splat(first), std::make_index_sequence<W>{});
}
// Lane 0 takes the last lane of `from`, lane k takes x's lane k-1.
template <std::size_t... I>
SARVELLO_INLINE vf shift_up_from_last(vf x, vf from, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, from, (I == 0 ? 2 * W - 1 : static_cast<int>(I) - 1)...);
}
SARVELLO_INLINE vf shift_up_from_last(vf x, vf from) {
  return shift_up_from_last(x, from, std::make_index_sequence<W>{});
}
// Lane k takes x's lane k+1, the last lane takes `last`.
template <std::size_t... I>
SARVELLO_INLINE vf shift_down(vf x, vf fill, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, fill, (I == W - 1 ? W : static_cast<int>(I) + 1)...);
}
SARVELLO_INLINE vf shift_down(vf x, float last) {
  return shift_down(x, splat(last), std::make_index_sequence<W>{});
}
// Lane k takes x's lane k+1, the last lane takes the first lane of `from`.
SARVELLO_INLINE vf shift_down_from_first(vf x, vf from) {
  return shift_down(x, from, std::make_index_sequence<W>{});
}

SARVELLO_INLINE vf gather(const float* base, vi index) {
#if SARVELLO_SIMD_WIDTH == 16 && defined(__AVX512F__)
  return reinterpret_cast<vf>(_mm512_mask_i32gather_ps(
      _mm512_setzero_ps(), static_cast<__mmask16>(0xFFFF), reinterpret_cast<__m512i>(index), base, 4));
#elif SARVELLO_SIMD_WIDTH == 8 && defined(__AVX2__)
  return reinterpret_cast<vf>(_mm256_mask_i32gather_ps(_mm256_setzero_ps(), base,
                                                       reinterpret_cast<__m256i>(index),
                                                       _mm256_castsi256_ps(_mm256_set1_epi32(-1)), 4));
#else
  vf r;
  for (int l = 0; l < W; ++l) r[l] = base[index[l]];
  return r;
#endif
}

// ---- Cubic sampling --------------------------------------------------------------------------

// spline_cubic of Solver.cpp on W samples at once, operation for operation. The elimination's
// constant steps are folded where that changes no value: z0 = 0 is subtracted (alpha1 - 0 is
// alpha1, signed zeros included), the divisors 4 and 3.75 and the factors 0.25 and 1/3.75 are
// the ones the elimination computes, and mu2 * c3 = +0 leaves z2 as it is.
SARVELLO_INLINE vf spline(vf y0, vf y1, vf y2, vf y3, vf t) {
  const vf d10 = y1 - y0;
  const vf d21 = y2 - y1;
  const vf d32 = y3 - y2;
  const vd D10 = widen(d10);
  const vd D21 = widen(d21);
  const vd D32 = widen(d32);
  const vf alpha1 = narrow(3.0 * D21 - 3.0 * D10);
  const vf alpha2 = narrow(3.0 * D32 - 3.0 * D21);
  constexpr float l1 = 4.0f;
  constexpr float mu1 = 1.0f / l1;
  constexpr float l2 = 4.0f - mu1;
  const vf z1 = alpha1 / l1;
  const vf z2 = (alpha2 - z1) / l2;
  const vf c2 = z2;
  const vf c1 = z1 - mu1 * c2;
  const vf b1 = narrow(D21 - (widen(c2) + 2.0 * widen(c1)) / 3.0);
  const vf d1 = (c2 - c1) / 3.0f;
  const vf s = ((y1 + t * b1) + (t * c1) * t) + ((t * d1) * t) * t;
  const vi ascending = y1 < y2;
  const vf lo = ascending ? y1 : y2;
  const vf hi = ascending ? y2 : y1;
  return (s < lo) ? lo : ((hi < s) ? hi : s);
}

// The clamped position of a bicubic sample: the index of its stencil's first element and the
// two fractions. A NaN lands on the lower bound, as in interpolate.
struct Stencil {
  vi first;
  vf tx, ty;
};

SARVELLO_INLINE vf clamp_coordinate(vf x, vf hi) {
  const vf low = splat(1.5f);
  const vf c = (x > low) ? x : low;
  return (c < hi) ? c : hi;
}

SARVELLO_INLINE Stencil stencil_at(int N, vf x, vf y) {
  const vf hi = splat(static_cast<float>(N) - 0.5f);
  const vf xc = clamp_coordinate(x, hi);
  const vf yc = clamp_coordinate(y, hi);
  const vi i0 = __builtin_convertvector(xc, vi);
  const vi j0 = __builtin_convertvector(yc, vi);
  Stencil s;
  s.tx = xc - __builtin_convertvector(i0, vf);
  s.ty = yc - __builtin_convertvector(j0, vf);
  s.first = (i0 - 1) + (N + 2) * (j0 - 1);
  return s;
}

// Four elements from f + index[4p + g] for block p = 0..W/4-1: the rows of the samples g, g+4,
// g+8, ... side by side, one 128-bit block each.
SARVELLO_INLINE vf load_blocks(const float* f, const std::int32_t* index, int g) {
#if SARVELLO_SIMD_WIDTH == 16 && defined(__AVX512F__)
  __m512 a = _mm512_castps128_ps512(_mm_loadu_ps(f + index[g]));
  a = _mm512_insertf32x4(a, _mm_loadu_ps(f + index[4 + g]), 1);
  a = _mm512_insertf32x4(a, _mm_loadu_ps(f + index[8 + g]), 2);
  a = _mm512_insertf32x4(a, _mm_loadu_ps(f + index[12 + g]), 3);
  return reinterpret_cast<vf>(a);
#elif SARVELLO_SIMD_WIDTH == 8 && defined(__AVX2__)
  const __m256 a = _mm256_castps128_ps256(_mm_loadu_ps(f + index[g]));
  return reinterpret_cast<vf>(_mm256_insertf128_ps(a, _mm_loadu_ps(f + index[4 + g]), 1));
#else
  vf a;
  for (int p = 0; p < W / 4; ++p) std::memcpy(reinterpret_cast<float*>(&a) + 4 * p, f + index[4 * p + g], 16);
  return a;
#endif
}

// Within each 128-bit block: the interleavings of a 4x4 transpose.
constexpr int block_lane(int l, int q) { return (l / 4) * 4 + q; }
template <std::size_t... I>
SARVELLO_INLINE vf unpack_low(vf x, vf y, std::index_sequence<I...>) {
  return __builtin_shufflevector(
      x, y, (I % 2 == 0 ? block_lane(I, (I % 4) / 2) : W + block_lane(I, (I % 4) / 2))...);
}
template <std::size_t... I>
SARVELLO_INLINE vf unpack_high(vf x, vf y, std::index_sequence<I...>) {
  return __builtin_shufflevector(
      x, y, (I % 2 == 0 ? block_lane(I, 2 + (I % 4) / 2) : W + block_lane(I, 2 + (I % 4) / 2))...);
}
template <std::size_t... I>
SARVELLO_INLINE vf halves_low(vf x, vf y, std::index_sequence<I...>) {
  return __builtin_shufflevector(
      x, y, (I % 4 < 2 ? block_lane(I, I % 4) : W + block_lane(I, I % 4 - 2))...);
}
template <std::size_t... I>
SARVELLO_INLINE vf halves_high(vf x, vf y, std::index_sequence<I...>) {
  return __builtin_shufflevector(
      x, y, (I % 4 < 2 ? block_lane(I, 2 + I % 4) : W + block_lane(I, I % 4))...);
}

// The four stencil columns of one stencil row for W samples: column c of sample l in lane l.
// Each sample's four elements are contiguous, so they are loaded as one block and the blocks
// transposed.
SARVELLO_INLINE void stencil_row(const float* f, const std::int32_t* index, vf column[4]) {
  constexpr auto lanes = std::make_index_sequence<W>{};
  const vf a0 = load_blocks(f, index, 0), a1 = load_blocks(f, index, 1);
  const vf a2 = load_blocks(f, index, 2), a3 = load_blocks(f, index, 3);
  const vf t0 = unpack_low(a0, a1, lanes), t1 = unpack_high(a0, a1, lanes);
  const vf t2 = unpack_low(a2, a3, lanes), t3 = unpack_high(a2, a3, lanes);
  column[0] = halves_low(t0, t2, lanes);
  column[1] = halves_high(t0, t2, lanes);
  column[2] = halves_low(t1, t3, lanes);
  column[3] = halves_high(t1, t3, lanes);
}

// interpolate of Solver.cpp at W positions: four row samples, then one across them.
SARVELLO_INLINE vf sample(const float* f, int N, const Stencil& s) {
  const int stride = N + 2;
  std::int32_t index[W];
  std::memcpy(index, &s.first, sizeof index);
  vf rows[4];
  for (int r = 0; r < 4; ++r) {
    vf column[4];
    stencil_row(f + r * stride, index, column);
    rows[r] = spline(column[0], column[1], column[2], column[3], s.tx);
  }
  return spline(rows[0], rows[1], rows[2], rows[3], s.ty);
}

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

// ---- Banded storage for the sweeps ----------------------------------------------------------

struct Bands {
  int N;
  int stride;  // N + 2
  int count;   // full bands of W rows, from row 1
  float* band(float* x, int b) const { return x + (1 + b * W) * stride; }
  const float* band(const float* x, int b) const { return x + (1 + b * W) * stride; }
  int first_plain_row() const { return 1 + count * W; }
  // The element (i, j) of an array whose bands are skewed.
  float& at(float* x, int i, int j) const {
    if (j >= 1 && j < first_plain_row()) {
      const int b = (j - 1) / W;
      const int k = (j - 1) - b * W;
      int m = i + k;
      if (m >= stride) m -= stride;
      return band(x, b)[m * W + k];
    }
    return x[i + stride * j];
  }
};

// Skews every band of x, through the scratch rows: slot m of a band takes lane k from column
// (m - k) mod (N+2) of its row k.
void to_bands(const Bands& g, float* x, float* scratch) {
  const int S = g.stride;
  vi across;  // lane k: from row k, one column further left per row
  for (int k = 0; k < W; ++k) across[k] = k * (S - 1);
  for (int b = 0; b < g.count; ++b) {
    float* base = g.band(x, b);
    std::memcpy(scratch, base, sizeof(float) * static_cast<std::size_t>(W * S));
    for (int m = 0; m < W - 1; ++m) {
      for (int k = 0; k < W; ++k) {
        int i = m - k;
        if (i < 0) i += S;
        base[m * W + k] = scratch[k * S + i];
      }
    }
    for (int m = W - 1; m < S; ++m) store(base + m * W, gather(scratch + m, across));
  }
}

// Puts every band of x back into rows.
void from_bands(const Bands& g, float* x, float* scratch) {
  const int S = g.stride;
  vi along;  // lane l: the next slot
  for (int l = 0; l < W; ++l) along[l] = l * W;
  for (int b = 0; b < g.count; ++b) {
    float* base = g.band(x, b);
    std::memcpy(scratch, base, sizeof(float) * static_cast<std::size_t>(W * S));
    for (int k = 0; k < W; ++k) {
      float* row = base + k * S;
      int i = 0;
      for (; i + W - 1 + k < S; i += W) store(row + i, gather(scratch + (i + k) * W + k, along));
      for (; i < S; ++i) {
        int m = i + k;
        if (m >= S) m -= S;
        row[i] = scratch[m * W + k];
      }
    }
  }
}

// The part of set_bnd_banded that depends on the rows of bands first..end-1: their side walls,
// and the top or the bottom wall when they hold row 1 or row N. The corners are left alone.
void group_walls(const Bands& g, int b, float* x, int first, int end) {
  const int N = g.N;
  const int S = g.stride;
  const bool negate_sides = b == kBoundaryHorizontal;
  const bool negate_ends = b == kBoundaryVertical;
  for (int band = first; band < end; ++band) {
    float* base = g.band(x, band);
    for (int k = 0; k < W; ++k) {
      const float y = base[(k + 1) * W + k];
      base[k * W + k] = negate_sides ? -y : y;
      int last = N + k;
      if (last >= S) last -= S;
      int beyond = N + 1 + k;
      if (beyond >= S) beyond -= S;
      const float z = base[last * W + k];
      base[beyond * W + k] = negate_sides ? -z : z;
    }
  }
  if (first == 0 && end > 0) {
    const float* top = g.band(x, 0);
    for (int i = 1; i <= N; ++i) x[i] = negate_ends ? -top[i * W] : top[i * W];
  }
  if (end == g.count && g.first_plain_row() > N) {
    const float* band = g.band(x, g.count - 1);
    float* bottom = x + S * (N + 1);
    for (int i = 1; i <= N; ++i) {
      int slot = i + W - 1;
      if (slot >= S) slot -= S;
      const float y = band[slot * W + (W - 1)];
      bottom[i] = negate_ends ? -y : y;
    }
  }
}

void corners_banded(const Bands& g, float* x) {
  const int N = g.N;
  g.at(x, 0, 0) = 0.5f * (g.at(x, 1, 0) + g.at(x, 0, 1));
  g.at(x, 0, N + 1) = 0.5f * (g.at(x, 1, N + 1) + g.at(x, 0, N));
  g.at(x, N + 1, 0) = 0.5f * (g.at(x, N, 0) + g.at(x, N + 1, 1));
  g.at(x, N + 1, N + 1) = 0.5f * (g.at(x, N, N + 1) + g.at(x, N + 1, N));
}

// set_bnd of Solver.cpp on an array whose bands are skewed. The walls read only interior cells,
// so they are filled band by band, then along the rows in plain storage; the corners come last.
void set_bnd_banded(const Bands& g, int b, float* x) {
  const int N = g.N;
  const int S = g.stride;
  const bool negate_sides = b == kBoundaryHorizontal;
  const bool negate_ends = b == kBoundaryVertical;
  group_walls(g, b, x, 0, g.count);
  for (int j = g.first_plain_row(); j <= N; ++j) {
    x[S * j] = negate_sides ? -x[1 + S * j] : x[1 + S * j];
    x[N + 1 + S * j] = negate_sides ? -x[N + S * j] : x[N + S * j];
  }
  if (g.count == 0) {
    for (int i = 1; i <= N; ++i) x[i] = negate_ends ? -x[i + S] : x[i + S];
  }
  if (g.first_plain_row() <= N) {
    float* bottom = x + S * (N + 1);
    for (int i = 1; i <= N; ++i) bottom[i] = negate_ends ? -x[i + S * N] : x[i + S * N];
  }
  corners_banded(g, x);
}

// The two relaxations, on a vector and on one cell: the neighbours left, right, up and down are
// added in that order, as in the straightforward loops.
struct Diffusion {
  float a, c;
  SARVELLO_INLINE vf operator()(vf l, vf r, vf up, vf down, vf x0) const {
    return (a * (((l + r) + up) + down) + x0) / c;
  }
  SARVELLO_INLINE float operator()(float l, float r, float up, float down, float x0) const {
    return (a * (((l + r) + up) + down) + x0) / c;
  }
};
struct Pressure {
  SARVELLO_INLINE vf operator()(vf l, vf r, vf up, vf down, vf div) const {
    return ((((l + r) + up) + down) + div) * 0.25f;
  }
  SARVELLO_INLINE float operator()(float l, float r, float up, float down, float div) const {
    return ((((l + r) + up) + down) + div) * 0.25f;
  }
};

// Bands relaxed together: each runs W steps behind the one above it, so the steps of one
// iteration are independent and their latencies overlap.
constexpr int kGroup = 4;

// The arrays that one pass relaxes side by side: the two diffusions of a velocity step share
// their coefficients and their shape, so their steps share the bookkeeping.
template <int K>
struct Relaxed {
  float* x[K];         // solved for, bands skewed
  const float* x0[K];  // right-hand sides, bands skewed
  int mode[K];         // set_bnd mode of each
};

// The iterations T0..T1 of one sweep of a full group in which every band's step t lies in W..N
// and no slot it touches wraps round: no lane is outside the interior, so no step needs a mask,
// and each band walks its slots with a pointer. The right neighbours a band loads are the lower
// neighbours of the band above it.
template <bool kFirstGroup, bool kLastGroup, int K, class Cell>
SARVELLO_INLINE void steady_steps(const Bands& g, const Relaxed<K>& r, int b0, int T0, int T1,
                                  vf (&last)[K][kGroup], const Cell& cell) {
  float* p[K][kGroup];
  const float* p0[K][kGroup];
  const float* above[K];
  const float* below[K];
  const int column = T0 - (kGroup - 1) * W - W + 1;
  for (int a = 0; a < K; ++a) {
    for (int q = 0; q < kGroup; ++q) {
      p[a][q] = g.band(r.x[a], b0 + q) + (T0 - q * W) * W;
      p0[a][q] = g.band(r.x0[a], b0 + q) + (T0 - q * W) * W;
    }
    // Lane 0's upper neighbour of the first band: the border row, or the last lane of slot
    // t+W-1 of the band above the group. The last lane's lower neighbour of the last band: the
    // first lane of slot t-W+1 of the band below the group, or the row below the bands.
    above[a] = kFirstGroup ? r.x[a] + T0 : g.band(r.x[a], b0 - 1) + (T0 + W - 1) * W;
    below[a] = kLastGroup ? r.x[a] + g.stride * g.first_plain_row() + column
                          : g.band(r.x[a], b0 + kGroup) + column * W;
  }
  for (int T = T0; T <= T1; ++T) {
#pragma GCC unroll 2
    for (int a = 0; a < K; ++a) {
      vf right[kGroup];
#pragma GCC unroll 8
      for (int q = kGroup - 1; q >= 0; --q) {
        right[q] = load(p[a][q] + W);
        vf up;
        if (q > 0) {
          up = shift_up_from_last(last[a][q], last[a][q - 1]);
        } else if (kFirstGroup) {
          up = shift_up(last[a][0], *above[a]);
        } else {
          up = shift_up_from_last(last[a][0], load(above[a]));
        }
        vf down;
        if (q + 1 < kGroup) {
          down = shift_down_from_first(right[q], right[q + 1]);
        } else if (kLastGroup) {
          down = shift_down(right[q], *below[a]);
        } else {
          down = shift_down_from_first(right[q], load(below[a]));
        }
        const vf result = cell(last[a][q], right[q], up, down, load(p0[a][q]));
        store(p[a][q], result);
        last[a][q] = result;
        p[a][q] += W;
        p0[a][q] += W;
      }
      above[a] += kFirstGroup ? 1 : W;
      below[a] += kLastGroup ? 1 : W;
    }
  }
}

// Depth Gauss-Seidel sweeps over the interior of each of the K arrays in one pass, bands
// skewed, and the walls of set_bnd in each array's mode. Bands go in groups; within a group
// band q at iteration T takes the step t = T - q*W - 2d of its sweep d (t in 1..N+W-1), in which
// lane k relaxes cell (t-k, j0+k) when that is an interior cell. A group starts once the group
// above it is done, and the group below has not started: each cell sees relaxed cells above and to
// the left, and cells not yet relaxed below and to the right. Sweep d+1 runs two steps behind
// sweep d, the earliest it may: by then sweep d has relaxed the cells to its right and below,
// and sweep d+1 reads the border that set_bnd would have filled between the two, since sweep d
// writes each wall cell as soon as its interior neighbour is relaxed, after its one read of the
// old value; the last sweep does the same, so that only the corners are left for the end.
// Two sweeps in one pass need every band in one group, since a later group would find the
// earlier one two sweeps on.
// Given a range of bands (whole groups), only those are relaxed, and neither the rows below the
// bands nor the borders are touched.
template <int Depth, int K, class Cell, bool kOneFullGroup = false>
void sweeps(const Bands& g, const Relaxed<K>& r, const Cell& cell, int first_band = 0,
            int end_band = -1) {
  const bool whole = end_band < 0;
  const int N = g.N;
  const int S = g.stride;
  const int steps = N + W - 1;
  float* bottom[K];
  bool negate_sides[K], negate_ends[K];
  for (int a = 0; a < K; ++a) {
    bottom[a] = r.x[a] + S * g.first_plain_row();
    negate_sides[a] = r.mode[a] == kBoundaryHorizontal;
    negate_ends[a] = r.mode[a] == kBoundaryVertical;
  }
  // The lanes that hold interior cells at the first and the last W-1 steps: lanes below t at
  // step t < W, lanes from t-N on at step t > N.
  vi first_steps[W], last_steps[W];
  const vi lanes = lane_index();
  for (int t = 0; t < W; ++t) {
    first_steps[t] = lanes <= t - 1;
    last_steps[t] = lanes >= t;
  }
  // With kOneFullGroup the grid is one full group of bands: the band above the first is the
  // border row and the one below the last the bottom row, known when the code is made.
  const int count = kOneFullGroup ? kGroup : g.count;
  for (int b0 = first_band; b0 < (whole ? count : end_band); b0 += kGroup) {
    const int bands = (count - b0) < kGroup ? (count - b0) : kGroup;
    // The bands of the group and the one below it (where there are such bands), and their
    // right-hand sides.
    float* band_at[K][kGroup + 1] = {};
    const float* band0_at[K][kGroup] = {};
    for (int a = 0; a < K; ++a) {
      for (int q = 0; q <= bands && b0 + q < count; ++q) band_at[a][q] = g.band(r.x[a], b0 + q);
      for (int q = 0; q < bands; ++q) band0_at[a][q] = g.band(r.x0[a], b0 + q);
    }
    // Each band's result of its previous step: its left neighbours.
    vf last[K][Depth][kGroup] = {};
    const int iterations = steps + (bands - 1) * W + 2 * (Depth - 1);
    // The middle of a sweep of a full group goes through the steps without masks.
    const int steady_first = kGroup * W;
    const int steady_last = N + 2 - W;
    const bool steady = Depth == 1 && bands == kGroup && steady_first <= steady_last;
    for (int T = 1; T <= iterations; ++T) {
      if (steady && T == steady_first) {
        vf row[K][kGroup];
        for (int a = 0; a < K; ++a)
          for (int q = 0; q < kGroup; ++q) row[a][q] = last[a][0][q];
        const bool first_group = b0 == 0;
        const bool last_group = b0 + kGroup == g.count;
        if (first_group && last_group) {
          steady_steps<true, true>(g, r, b0, steady_first, steady_last, row, cell);
        } else if (first_group) {
          steady_steps<true, false>(g, r, b0, steady_first, steady_last, row, cell);
        } else if (last_group) {
          steady_steps<false, true>(g, r, b0, steady_first, steady_last, row, cell);
        } else {
          steady_steps<false, false>(g, r, b0, steady_first, steady_last, row, cell);
        }
        for (int a = 0; a < K; ++a)
          for (int q = 0; q < kGroup; ++q) last[a][0][q] = row[a][q];
        T = steady_last;
        continue;
      }
      // From the lowest band up, so that a band reads the result of the band above it from the
      // previous iteration, before that one is replaced. Unrolled, so that `last` stays in
      // registers.
#pragma GCC unroll 8
      for (int q = kGroup - 1; q >= 0; --q) {
#pragma GCC unroll 4
        for (int d = Depth - 1; d >= 0; --d) {
          const int t = T - q * W - 2 * d;
          if (q >= bands || t < 1 || t > steps) continue;
          const int b = kOneFullGroup ? q : b0 + q;
          if (t > W && t < N) {
            // Every lane holds an interior cell, no slot wraps round, and no side wall is
            // next to the cells of this step: the step without masks or wall bookkeeping.
            const int column = t - W + 1;
            int slot_above = t + W - 1;
            if (slot_above >= S) slot_above -= S;
#pragma GCC unroll 2
            for (int a = 0; a < K; ++a) {
              float* x = r.x[a];
              float* base = band_at[a][q];
              const vf left = last[a][d][q];
              const vf right = load(base + (t + 1) * W);
              vf up;
              if (q > 0) {
                up = shift_up_from_last(left, last[a][d][q > 0 ? q - 1 : 0]);
              } else if (b == 0) {
                up = shift_up(left, x[t]);
              } else {
                up = shift_up_from_last(left, load((base - W * S) + slot_above * W));
              }
              const vf down = b + 1 < count
                      ? shift_down_from_first(right, load(band_at[a][q + 1] + column * W))
                      : shift_down(right, bottom[a][column]);
              const vf result = cell(left, right, up, down, load(band0_at[a][q] + t * W));
              store(base + t * W, result);
              last[a][d][q] = result;
              if (Depth > 1) {
                if (b == 0) x[t] = negate_ends[a] ? -result[0] : result[0];
                if (b + 1 == count) {
                  bottom[a][column] = negate_ends[a] ? -result[W - 1] : result[W - 1];
                }
              }
            }
            continue;
          }
          const int m = t < S ? t : t - S;
          const int after = (t + 1) < S ? t + 1 : t + 1 - S;
          int slot_above = t + W - 1;
          if (slot_above >= S) slot_above -= S;
          const int column = t - W + 1;
          const bool edge = t < W || t > N;
          const vi active = t < W ? first_steps[t] : last_steps[edge ? t - N : 0];
#pragma GCC unroll 2
          for (int a = 0; a < K; ++a) {
            float* x = r.x[a];
            float* base = band_at[a][q];
            const float* base0 = band0_at[a][q];
            if (t == 1) last[a][d][q] = load(base);
            const vf left = last[a][d][q];
            const vf right = load(base + after * W);
            // Lane 0's upper neighbour (t, j0-1): relaxed, in the band above (the last lane of
            // its slot t+W-1) or the border row. Unused beyond column N.
            vf up;
            if (t > N) {
              up = shift_up_from_last(left, left);
            } else if (q > 0) {
              up = shift_up_from_last(left, last[a][d][q - 1]);
            } else if (b == 0) {
              up = shift_up(left, x[t]);
            } else {
              up = shift_up_from_last(left, load((base - W * S) + slot_above * W));
            }
            // The last lane's lower neighbour (t-W+1, j0+W): not yet relaxed, in the band below
            // (the first lane of its slot t-W+1) or a row in plain storage. Unused before
            // column 1.
            vf down;
            if (column < 1) {
              down = shift_down_from_first(right, right);
            } else if (b + 1 < count) {
              down = shift_down_from_first(right, load(band_at[a][q + 1] + column * W));
            } else {
              down = shift_down(right, bottom[a][column]);
            }

            vf result = cell(left, right, up, down, load(base0 + m * W));
            // Lanes outside the interior keep what they hold: border cells, or cells of other
            // steps.
            if (edge) result = active ? result : load(base + m * W);
            store(base + m * W, result);
            last[a][d][q] = result;

            if (Depth > 1) {
              // The walls next to the cells just relaxed, for the next sweep of this pass; after
              // the last sweep they are the walls set_bnd would fill.
              if (t <= W) {  // lane t-1 relaxed column 1; column 0 sits at slot t-1
                const float y = base[m * W + (t - 1)];
                base[(t - 1) * W + (t - 1)] = negate_sides[a] ? -y : y;
              }
              if (t >= N) {  // lane t-N relaxed column N; column N+1 sits at slot (t+1) mod S
                const float y = base[m * W + (t - N)];
                base[after * W + (t - N)] = negate_sides[a] ? -y : y;
              }
              if (b == 0 && t <= N) x[t] = negate_ends[a] ? -result[0] : result[0];
              if (b + 1 == count && column >= 1) {
                bottom[a][column] = negate_ends[a] ? -result[W - 1] : result[W - 1];
              }
            }
          }
        }
      }
    }
  }
  for (int a = 0; a < K && whole; ++a) {
    // The rows below the last band, column by column, each cell seeing its relaxed neighbours.
    float* x = r.x[a];
    const float* x0 = r.x0[a];
    for (int i = 1; i <= N; ++i) {
      for (int j = g.first_plain_row(); j <= N; ++j) {
        float& here = x[i + S * j];
        here = cell(x[i - 1 + S * j], x[i + 1 + S * j], g.at(x, i, j - 1), x[i + S * (j + 1)],
                    x0[i + S * j]);
      }
    }
    if (Depth > 1) {
      // Every wall was written as its neighbour was relaxed: only the corners are left.
      corners_banded(g, x);
    } else {
      set_bnd_banded(g, r.mode[a], x);
    }
  }
}

// The sweeps of one relaxation of each array. When all bands fit one group and fill the rows, a
// single sweep's wavefront is too short to keep the processor busy: each array then goes
// through several sweeps per pass. Otherwise the arrays go side by side, a sweep per pass.
template <int K, class Cell>
void relax(const Bands& g, const Relaxed<K>& r, const Cell& cell) {
  constexpr int kDepth = 4;
  static_assert(kSweeps % kDepth == 0, "whole passes");
  if (g.count <= kGroup && g.first_plain_row() > g.N) {
    for (int a = 0; a < K; ++a) {
      const Relaxed<1> one{{r.x[a]}, {r.x0[a]}, {r.mode[a]}};
      for (int s = 0; s < kSweeps; s += kDepth) {
        if (g.count == kGroup) {
          sweeps<kDepth, 1, Cell, true>(g, one, cell);
        } else {
          sweeps<kDepth>(g, one, cell);
        }
      }
    }
  } else if (g.first_plain_row() > g.N) {
    // Groups of bands at two sweeps at once, so that a group is relaxed again while it is still
    // in the cache: group q takes sweep s of a pair in turn q + 2s. By then the group above has
    // had sweep s and not yet s+1, and the group below has had sweep s-1 and not yet s; the
    // walls of a group's rows are filled as soon as it has had its sweep.
    const int groups = (g.count + kGroup - 1) / kGroup;
    for (int s0 = 0; s0 < kSweeps; s0 += 2) {
      for (int turn = 0; turn < groups + 2; ++turn) {
        for (int s = 0; s < 2; ++s) {
          const int q = turn - 2 * s;
          if (q < 0 || q >= groups) continue;
          const int first = q * kGroup;
          const int end = first + kGroup < g.count ? first + kGroup : g.count;
          sweeps<1>(g, r, cell, first, end);
          for (int a = 0; a < K; ++a) group_walls(g, r.mode[a], r.x[a], first, end);
        }
      }
    }
    for (int a = 0; a < K; ++a) corners_banded(g, r.x[a]);
  } else {
    for (int s = 0; s < kSweeps; ++s) sweeps<1>(g, r, cell);
  }
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
