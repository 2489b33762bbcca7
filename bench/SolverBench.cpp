// The velocity step and the point motion: the straightforward loops against each fast
// implementation this processor runs, in one run, so that their ratios can be read off.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FastSolver.h"
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

// Seconds per iteration of the straightforward implementation, by benchmark and resolution, as
// measured earlier in this run: the fast ones report their speed-up against it.
std::map<std::pair<std::string, int>, double>& reference_seconds() {
  static std::map<std::pair<std::string, int>, double> seconds;
  return seconds;
}

// Times the loop as Google Benchmark does and sets the counter "speedup" (the straightforward
// implementation's time over this one's) for every implementation but that one.
template <class Body>
void timed(benchmark::State& state, const fastsolver::Implementation* impl,
           const std::string& what, int size, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  const auto key = std::make_pair(what, size);
  if (impl->width == 1) {
    reference_seconds()[key] = seconds;
  } else if (reference_seconds().count(key) != 0) {
    state.counters["speedup"] = reference_seconds()[key] / seconds;
  }
}

void BM_VelStep(benchmark::State& state, const fastsolver::Implementation* impl) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> u = noise(n, 1, 1.0f), v = noise(n, 2, 1.0f), up = noise(n, 3, 10.0f),
                     vp = noise(n, 4, 10.0f);
  std::vector<float> scratch(fastsolver::scratch_floats(n));
  timed(state, impl, "vel_step", n, [&] {
    impl->vel_step(n, u.data(), v.data(), up.data(), vp.data(), 0.0005f, 0.01f, scratch.data());
    benchmark::DoNotOptimize(u.data());
  });
  state.SetItemsProcessed(state.iterations() * n * n);
}

// The Runge-Kutta step of 8 bicubic samples per point, over points spread across the square.
void BM_MovePoints(benchmark::State& state, const fastsolver::Implementation* impl) {
  const int n = 64;
  std::vector<float> u = noise(n, 5, 0.5f), v = noise(n, 6, 0.5f);
  const fastsolver::Field field{n, u.data(), v.data(), 0.01f, 0.0f, 400.0f, 400.0f, 0.0f};
  const int count = 4096;
  std::vector<float> start(3 * count);
  std::uint32_t seed = 9;
  for (int k = 0; k < count; ++k) {
    seed = seed * 1664525u + 1013904223u;
    start[3 * k] = 400.0f * static_cast<float>(seed >> 8) / 16777216.0f;
    start[3 * k + 1] = 400.0f * static_cast<float>((seed * 2654435761u) >> 8) / 16777216.0f;
  }
  std::vector<float> points = start;
  timed(state, impl, "move_points", count, [&] {
    points = start;
    impl->move_points(field, points.data(), 3, count);
    benchmark::DoNotOptimize(points.data());
  });
  state.SetItemsProcessed(state.iterations() * count);
}

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

// One benchmark per implementation and resolution, named after the implementation, the
// straightforward one first.
const bool kRegistered = [] {
  for (int k = 0; k < fastsolver::implementation_count(); ++k) {
    const fastsolver::Implementation* impl = &fastsolver::implementation(k);
    benchmark::RegisterBenchmark((std::string("BM_VelStep/") + impl->name).c_str(), BM_VelStep,
                                 impl)
        ->Arg(16)->Arg(64)->Arg(128)->Arg(256)->Arg(512)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("BM_MovePoints/") + impl->name).c_str(),
                                 BM_MovePoints, impl)
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
