// One deformation step over a few thousand points against the in-process stand-in host.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/Host.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"

namespace {

std::vector<AIPathSegment> ring(float cx, float cy, float r) {
  std::vector<AIPathSegment> segs;
  const float k = 0.5523f * r;
  const float pts[4][6] = {{cx + r, cy, cx + r, cy - k, cx + r, cy + k},
                           {cx, cy + r, cx + k, cy + r, cx - k, cy + r},
                           {cx - r, cy, cx - r, cy + k, cx - r, cy - k},
                           {cx, cy - r, cx - k, cy - r, cx + k, cy - r}};
  for (const auto& p : pts) {
    AIPathSegment s{};
    s.p = {p[0], p[1]};
    s.in = {p[2], p[3]};
    s.out = {p[4], p[5]};
    segs.push_back(s);
  }
  return segs;
}

void BM_AdvectAndSubdivide(benchmark::State& state) {
  simhost::Host host;
  testsupport::SuiteScope suites(host);
  auto engine = std::make_unique<SarvelloMain>();
  engine->setParameter(-1, -1, -1, -1, 0.75f, -1);  // a dense sampling: a few thousand points
  const _t_ASRealRect rect{-200.0f, 200.0f, 200.0f, -200.0f};
  // A swirl in the field so the points really move.
  for (int j = 0; j < 66; ++j)
    for (int i = 0; i < 66; ++i) {
      engine->u[i + 66 * j] = 0.05f * static_cast<float>(j - 33) / 33.0f;
      engine->v[i + 66 * j] = -0.05f * static_cast<float>(i - 33) / 33.0f;
    }
  std::vector<AIArtHandle> paths;
  for (float r : {40.0f, 80.0f, 120.0f, 160.0f}) paths.push_back(host.document().addPath(ring(0, 0, r), true));
  int64_t points = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Same input every iteration: a fresh set of circles (about 3,400 points).
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const auto segs = ring(0, 0, 40.0f * static_cast<float>(k + 1));
      host.document().find(paths[k])->segments = segs;
    }
    state.ResumeTiming();
    if (engine->advect_and_subdivide(rect) != 0) state.SkipWithError("step failed");
    points += engine->vertex_total;
  }
  state.SetItemsProcessed(points);
  state.counters["points"] = static_cast<double>(engine->vertex_total);
  engine.reset();
}
BENCHMARK(BM_AdvectAndSubdivide)->Unit(benchmark::kMillisecond);

}  // namespace
