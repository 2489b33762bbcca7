// The velocity step at the panel's common resolutions, and the bicubic sample.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Solver.h"

namespace {

std::vector<float> noise(int n, std::uint32_t seed, float scale) {
  std::vector<float> g(static_cast<std::size_t>((n + 2) * (n + 2)));
  for (float& x : g) {
    seed = seed * 1664525u + 1013904223u;
    x = scale * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
  }
  return g;
}

void BM_VelStep(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> u = noise(n, 1, 1.0f), v = noise(n, 2, 1.0f), up = noise(n, 3, 10.0f),
                     vp = noise(n, 4, 10.0f);
  for (auto _ : state) {
    vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.0005f, 0.01f);
    benchmark::DoNotOptimize(u.data());
  }
  state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_VelStep)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_Interpolate(benchmark::State& state) {
  const int n = 128;
  const std::vector<float> f = noise(n, 5, 1.0f);
  float x = 1.0f, y = 3.0f, sum = 0.0f;
  for (auto _ : state) {
    sum += interpolate(n, f.data(), x, y);
    x = x > n ? 1.0f : x + 0.37f;
    y = y > n ? 1.0f : y + 0.11f;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Interpolate);

}  // namespace
