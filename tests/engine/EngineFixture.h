// An engine on the stand-in host's real suites, in-process. Every test ends with the host's
// accounting clean: no block, acquisition or matching-art array left behind.
#ifndef SARVELLO_TESTS_ENGINE_FIXTURE_H
#define SARVELLO_TESTS_ENGINE_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "FastSolver.h"
#include "core/Host.h"
#include "PathSegments.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    suites.emplace(host);
    engine = std::make_unique<SarvelloMain>();
  }
  void TearDown() override {
    engine.reset();
    suites.reset();
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }

  // The engine's own blocks: the four grid arrays and the velocity step's scratch rows.
  static constexpr std::size_t kGridBlocks = 5;
  static std::size_t grid_bytes(int n) {
    return (4u * static_cast<std::size_t>((n + 2) * (n + 2)) + fastsolver::scratch_floats(n)) *
           sizeof(float);
  }

  // The simulation rectangle: a 400-unit square centred on the origin (artwork y grows upward).
  static constexpr _t_ASRealRect kRect{-200.0f, 200.0f, 200.0f, -200.0f};

  static AIPathSegment smooth(float h, float v, float inH, float inV, float outH, float outV) {
    AIPathSegment s{};
    s.p = {h, v};
    s.in = {inH, inV};
    s.out = {outH, outV};
    return s;
  }
  // A circle of four cubic curves.
  static std::vector<AIPathSegment> circle(float cx, float cy, float r) {
    const float k = 0.5523f * r;
    return {smooth(cx + r, cy, cx + r, cy - k, cx + r, cy + k),
            smooth(cx, cy + r, cx + k, cy + r, cx - k, cy + r),
            smooth(cx - r, cy, cx - r, cy + k, cx - r, cy - k),
            smooth(cx, cy - r, cx - k, cy - r, cx + k, cy - r)};
  }

  std::vector<AIPathSegment> segments(AIArtHandle art) {
    const simhost::Art* a = host.document().find(art);
    return a ? a->segments : std::vector<AIPathSegment>{};
  }

  int messageAlerts() {
    int n = 0;
    for (const simhost::Alert& alert : host.alerts())
      if (alert.kind == simhost::Alert::Message) ++n;
    return n;
  }

  float& at(float* grid, int i, int j) { return grid[i + (engine->N + 2) * j]; }
  void fill(float* grid, float value) {
    for (int k = 0; k < (engine->N + 2) * (engine->N + 2); ++k) grid[k] = value;
  }

  simhost::Host host;
  std::optional<testsupport::SuiteScope> suites;
  std::unique_ptr<SarvelloMain> engine;
};

inline bool sameSegment(const AIPathSegment& a, const AIPathSegment& b) {
  return a.p.h == b.p.h && a.p.v == b.p.v && a.in.h == b.in.h && a.in.v == b.in.v &&
         a.out.h == b.out.h && a.out.v == b.out.v && a.corner == b.corner;
}

#endif
