// The Gauss-Seidel sweeps of the diffusions and of the pressure solve on skewed bands: the
// relaxation of one step of a band, the paths of a sweep that take it, and the order of sweeps
// and groups of bands for one relaxation. Included only by FastSolverTarget.cpp, inside its
// per-instruction-set namespace, after FastSolverVectors-inl.h and FastSolverBands-inl.h.
#ifndef SARVELLO_ENGINE_FASTSOLVERSWEEPS_INL_H
#define SARVELLO_ENGINE_FASTSOLVERSWEEPS_INL_H

#ifndef SARVELLO_FAST_SOLVER_PARTS
#error "included only by FastSolverTarget.cpp, inside its per-instruction-set namespace"
#endif

constexpr int kSweeps = 20;

// The two relaxations, on a vector (vf) and on one cell (float): the neighbours left, right, up
// and down are added in that order, as in the straightforward loops.
struct Diffusion {
  float a, c;
  template <class V>
  SARVELLO_INLINE V operator()(V l, V r, V up, V down, V x0) const {
    return (a * (((l + r) + up) + down) + x0) / c;
  }
};
struct Pressure {
  template <class V>
  SARVELLO_INLINE V operator()(V l, V r, V up, V down, V div) const {
    return ((((l + r) + up) + down) + div) * 0.25f;
  }
};

// The relaxation of one step of a band, which all three paths of a sweep take: the steady steps
// of a full group, the other steps without masks, and the masked steps at the ends of the
// wavefront. Lane k relaxes the cell whose left neighbour is lane k of `left` (the band's result
// of its previous step) and whose right neighbour is lane k of `right` (the band's next slot).
// Its upper neighbour is lane k-1 of `left` and its lower one lane k+1 of `right`; at the band's
// edges lane 0's upper neighbour is the last lane of `upper`, and the last lane's lower
// neighbour the first lane of `lower`. A single float (a border row's, or a row's in plain
// storage) comes splat across a vector.
template <class Cell>
SARVELLO_INLINE vf relax_step(const Cell& cell, vf left, vf right, vf upper, vf lower, vf rhs) {
  return cell(left, right, shift_up_from_last(left, upper), shift_down_from_first(right, lower),
              rhs);
}

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
        vf upper;
        if (q > 0) {
          upper = last[a][q - 1];
        } else if (kFirstGroup) {
          upper = splat(*above[a]);
        } else {
          upper = load(above[a]);
        }
        vf lower;
        if (q + 1 < kGroup) {
          lower = right[q + 1];
        } else if (kLastGroup) {
          lower = splat(*below[a]);
        } else {
          lower = load(below[a]);
        }
        const vf result = relax_step(cell, last[a][q], right[q], upper, lower, load(p0[a][q]));
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
              vf upper;
              if (q > 0) {
                upper = last[a][d][q > 0 ? q - 1 : 0];
              } else if (b == 0) {
                upper = splat(x[t]);
              } else {
                upper = load((base - W * S) + slot_above * W);
              }
              const vf lower = b + 1 < count ? load(band_at[a][q + 1] + column * W)
                                             : splat(bottom[a][column]);
              const vf result =
                  relax_step(cell, left, right, upper, lower, load(band0_at[a][q] + t * W));
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
            // its slot t+W-1) or the border row. Unused beyond column N, where lane 0 is masked
            // and `left` stands in.
            vf upper;
            if (t > N) {
              upper = left;
            } else if (q > 0) {
              upper = last[a][d][q - 1];
            } else if (b == 0) {
              upper = splat(x[t]);
            } else {
              upper = load((base - W * S) + slot_above * W);
            }
            // The last lane's lower neighbour (t-W+1, j0+W): not yet relaxed, in the band below
            // (the first lane of its slot t-W+1) or a row in plain storage. Unused before
            // column 1, where the last lane is masked and `right` stands in.
            vf lower;
            if (column < 1) {
              lower = right;
            } else if (b + 1 < count) {
              lower = load(band_at[a][q + 1] + column * W);
            } else {
              lower = splat(bottom[a][column]);
            }

            vf result = relax_step(cell, left, right, upper, lower, load(base0 + m * W));
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

#endif
