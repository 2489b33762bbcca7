// The banded storage of the sweeps: the interior rows cut into bands of W rows, each band skewed
// so that the cells of one wavefront step are one contiguous vector, the skewing to and from
// plain rows, and set_bnd's walls and corners on skewed bands. Included only by
// FastSolverTarget.cpp, inside its per-instruction-set namespace, after FastSolverVectors-inl.h.
#ifndef SARVELLO_ENGINE_FASTSOLVERBANDS_INL_H
#define SARVELLO_ENGINE_FASTSOLVERBANDS_INL_H

#ifndef SARVELLO_FAST_SOLVER_PARTS
#error "included only by FastSolverTarget.cpp, inside its per-instruction-set namespace"
#endif

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

#endif
