// The clamped bicubic sampling of W positions at once: the one-dimensional cubic segment sample,
// the clamped position of a sample's stencil, and the stencil's rows loaded as blocks of four
// floats and transposed into columns. Included only by FastSolverTarget.cpp, inside its
// per-instruction-set namespace, after FastSolverVectors-inl.h.
#ifndef SARVELLO_ENGINE_FASTSOLVERSAMPLING_INL_H
#define SARVELLO_ENGINE_FASTSOLVERSAMPLING_INL_H

#ifndef SARVELLO_FAST_SOLVER_PARTS
#error "included only by FastSolverTarget.cpp, inside its per-instruction-set namespace"
#endif

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

#endif
