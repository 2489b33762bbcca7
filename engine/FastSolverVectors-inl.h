// The vector types of one instruction set's copy of the fast solver and the helpers over them:
// loads and stores, lanes shifted by one across two vectors, gathers. Included only by
// FastSolverTarget.cpp, inside its per-instruction-set namespace, before the other parts.
#ifndef SARVELLO_ENGINE_FASTSOLVERVECTORS_INL_H
#define SARVELLO_ENGINE_FASTSOLVERVECTORS_INL_H

#ifndef SARVELLO_FAST_SOLVER_PARTS
#error "included only by FastSolverTarget.cpp, inside its per-instruction-set namespace"
#endif

constexpr int W = SARVELLO_SIMD_WIDTH;
static_assert(W >= 4 && W <= kMaxWidth && (W & (W - 1)) == 0, "vector width");

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

// The shifts by one lane of the sweeps' steps, which lie on the chain of dependent operations
// from one step to the next. With SSE2 alone the compiler builds each of them from six
// instructions; two shufps do, the first gathering the lanes that cross from one vector into the
// other.
//
// Lane 0 takes the last lane of `from`, lane k takes x's lane k-1.
template <std::size_t... I>
SARVELLO_INLINE vf shift_up_from_last(vf x, vf from, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, from, (I == 0 ? 2 * W - 1 : static_cast<int>(I) - 1)...);
}
SARVELLO_INLINE vf shift_up_from_last(vf x, vf from) {
#if SARVELLO_SIMD_WIDTH == 4 && defined(__SSE2__)
  const vf ends = __builtin_shufflevector(from, x, 3, 3, 4, 4);  // from[3] from[3] x[0] x[0]
  return __builtin_shufflevector(ends, x, 0, 2, 5, 6);
#else
  return shift_up_from_last(x, from, std::make_index_sequence<W>{});
#endif
}
// Lane k takes x's lane k+1, the last lane takes the first lane of `from`.
template <std::size_t... I>
SARVELLO_INLINE vf shift_down_from_first(vf x, vf from, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, from, (I == W - 1 ? W : static_cast<int>(I) + 1)...);
}
SARVELLO_INLINE vf shift_down_from_first(vf x, vf from) {
#if SARVELLO_SIMD_WIDTH == 4 && defined(__SSE2__)
  const vf ends = __builtin_shufflevector(x, from, 3, 3, 4, 4);  // x[3] x[3] from[0] from[0]
  return __builtin_shufflevector(x, ends, 1, 2, 4, 6);
#else
  return shift_down_from_first(x, from, std::make_index_sequence<W>{});
#endif
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

#endif
