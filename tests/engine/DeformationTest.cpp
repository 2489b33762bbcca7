// Capture and retry, the deformation step, the vertex limit, the regrid and every failure path.
#include <cstring>
#include <limits>
#include <string>

#include "EngineFixture.h"
#include "IAIUnicodeString.h"
#include "SarvelloSuites.h"
#include "Solver.h"

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

namespace {

const std::string kLimitAlert =
    "Sarvello Auto Limitter\n\n Due to an application limitations, number of each path's vertices "
    "is limitted up to 30,000. Stopping.";

bool isPolyline(const std::vector<AIPathSegment>& segs) {
  for (const AIPathSegment& s : segs)
    if (s.in.h != s.p.h || s.in.v != s.p.v || s.out.h != s.p.h || s.out.v != s.p.v) return false;
  return true;
}

}  // namespace

// ---- Capture and retry -------------------------------------------------------------------------

TEST_F(EngineTest, RetryRestoresTheCapturedShapesAndClearsTheField) {
  const auto shape = circle(20, -10, 60);
  const AIArtHandle closedPath = host.document().addPath(shape, true);
  const AIArtHandle openPath = host.document().addPath({corner(-150, 0), corner(150, 30)}, false);
  EXPECT_EQ(engine->prepare(), 0);
  ASSERT_EQ(engine->captured_arts.size(), 2u);
  ASSERT_EQ(engine->captured_segments[0].size(), 4u);

  fill(engine->u, 0.5f);
  for (int k = 0; k < 3; ++k) ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  ASSERT_GT(segments(closedPath).size(), 100u);

  for (int round = 0; round < 2; ++round) {  // a second Retry restores the same shapes
    fill(engine->v_prev, 1.0f);
    EXPECT_EQ(engine->retry(), 0);
    const auto restored = segments(closedPath);
    ASSERT_EQ(restored.size(), shape.size());
    for (std::size_t i = 0; i < shape.size(); ++i) EXPECT_TRUE(sameSegment(restored[i], shape[i]));
    EXPECT_TRUE(host.document().find(closedPath)->closed);
    EXPECT_EQ(segments(openPath).size(), 2u);
    for (int k = 0; k < 66 * 66; ++k) ASSERT_TRUE(engine->u[k] == 0 && engine->v_prev[k] == 0);
  }
}

TEST_F(EngineTest, CaptureFollowsTheSelection) {
  host.document().addPath(circle(0, 0, 10), true);
  host.document().addPath(circle(0, 0, 20), true);
  const AIArtHandle third = host.document().addPath(circle(0, 0, 30), true);
  EXPECT_EQ(engine->recordPolygons(), 0);
  EXPECT_EQ(engine->captured_arts.size(), 3u);

  // No document: the record stays.
  host.view().open = false;
  EXPECT_EQ(engine->recordPolygons(), 0);
  EXPECT_EQ(engine->captured_arts.size(), 3u);
  host.view().open = true;

  host.document().selectAll(false);
  host.document().find(third)->selected = true;
  EXPECT_EQ(engine->recordPolygons(), 0);
  ASSERT_EQ(engine->captured_arts.size(), 1u);
  EXPECT_EQ(engine->captured_arts[0], third);
  EXPECT_EQ(engine->captured_segments.size(), 1u);

  host.document().selectAll(false);
  EXPECT_EQ(engine->recordPolygons(), 0);
  EXPECT_TRUE(engine->captured_arts.empty());
  EXPECT_TRUE(engine->captured_segments.empty());
  EXPECT_EQ(engine->retry(), 0);  // only clears the field
  EXPECT_EQ(host.outstanding().matchingArrays, 0u);
}

TEST_F(EngineTest, RetrySkipsDeletedArtAndReportsOtherFailures) {
  const AIArtHandle gone = host.document().addPath(circle(-50, 0, 20), true);
  const AIArtHandle kept = host.document().addPath(circle(50, 0, 20), true);
  const auto keptShape = segments(kept);
  ASSERT_EQ(engine->prepare(), 0);
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  ASSERT_TRUE(host.document().remove(gone));
  EXPECT_EQ(engine->retry(), 0);
  ASSERT_EQ(segments(kept).size(), keptShape.size());
  for (std::size_t i = 0; i < keptShape.size(); ++i)
    EXPECT_TRUE(sameSegment(segments(kept)[i], keptShape[i]));

  host.faults().failCall("AIPath.SetPathSegments", 1, kBadParameterErr);
  EXPECT_EQ(engine->retry(), kBadParameterErr);
}

TEST_F(EngineTest, FailingCaptureReturnsTheHostCode) {
  host.document().addPath(circle(0, 0, 10), true);
  host.faults().failCall("AIMatchingArt.GetMatchingArt", 1, kBadParameterErr);
  EXPECT_EQ(engine->prepare(), kBadParameterErr);
  EXPECT_EQ(engine->running, 1);
}

TEST_F(EngineTest, CaptureFailingPartWayLeavesNothingForRetry) {
  const auto shape = circle(0, 0, 10);
  const AIArtHandle first = host.document().addPath(shape, true);
  const AIArtHandle second = host.document().addPath(circle(5, 5, 20), false);
  ASSERT_EQ(engine->recordPolygons(), 0);
  ASSERT_EQ(engine->captured_arts.size(), 2u);
  const auto before = segments(second);
  for (int nth : {2, 6}) {  // within the first path, then within the second
    host.faults().failCall("AIPath.GetPathSegments", nth, kDeadArtErr);
    EXPECT_EQ(engine->recordPolygons(), kDeadArtErr);
    host.faults().clear();
    EXPECT_TRUE(engine->captured_arts.empty());
    EXPECT_TRUE(engine->captured_segments.empty());
    EXPECT_EQ(engine->retry(), 0);
    ASSERT_EQ(segments(first).size(), shape.size());
    for (std::size_t i = 0; i < shape.size(); ++i) EXPECT_TRUE(sameSegment(segments(first)[i], shape[i]));
    ASSERT_EQ(segments(second).size(), before.size());
  }
}

TEST_F(EngineTest, FailedStepsLeaveClosedPathsAsTheyWere) {
  const auto shape = circle(0, 0, 50);
  const AIArtHandle ring = host.document().addPath(shape, true);
  const auto expectUnchanged = [&] {
    const auto now = segments(ring);
    ASSERT_EQ(now.size(), shape.size());
    for (std::size_t i = 0; i < shape.size(); ++i) EXPECT_TRUE(sameSegment(now[i], shape[i]));
  };
  for (int tick = 0; tick < 3; ++tick) {  // a refused segment block, then a failing conversion
    host.faults().refuseAllocation(1);
    EXPECT_EQ(engine->advect_and_subdivide(kRect), kOutOfMemoryErr);
    host.faults().clear();
    expectUnchanged();
    host.faults().failCall("AIPathConstruction.CurvesToPoints", 1, kBadParameterErr);
    EXPECT_EQ(engine->advect_and_subdivide(kRect), kBadParameterErr);
    host.faults().clear();
    expectUnchanged();
  }
  // A failure while the polyline is written puts the read segments back.
  host.faults().failCall("AIPath.SetPathSegments", 30, kBadParameterErr);
  EXPECT_EQ(engine->advect_and_subdivide(kRect), kBadParameterErr);
  host.faults().clear();
  expectUnchanged();
}

// ---- The deformation step ----------------------------------------------------------------------

TEST_F(EngineTest, StillFieldTurnsPathsIntoPolylinesInPlace) {
  const AIArtHandle ring = host.document().addPath(circle(10, 20, 80), true);
  const AIArtHandle line =
      host.document().addPath({corner(-100, -50), smooth(0, 0, -30, 0, 30, 0), corner(100, 50)},
                              false);
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);

  const auto r = segments(ring);
  ASSERT_GT(r.size(), 200u);
  EXPECT_TRUE(isPolyline(r));
  EXPECT_TRUE(host.document().find(ring)->closed);
  for (const AIPathSegment& s : r)
    EXPECT_NEAR(std::hypot(s.p.h - 10.0f, s.p.v - 20.0f), 80.0f, 0.5f);
  // The closing point repeats the first anchor and is dropped.
  EXPECT_FALSE(r.back().p.h == r.front().p.h && r.back().p.v == r.front().p.v);
  EXPECT_NEAR(r.front().p.h, 90.0f, 1e-3f);
  EXPECT_NEAR(r.front().p.v, 20.0f, 1e-3f);

  const auto l = segments(line);
  EXPECT_TRUE(isPolyline(l));
  EXPECT_NEAR(l.front().p.h, -100.0f, 1e-3f);
  EXPECT_NEAR(l.back().p.h, 100.0f, 1e-3f);
  EXPECT_NEAR(l.back().p.v, 50.0f, 1e-3f);
  EXPECT_EQ(engine->vertex_total, static_cast<int>(r.size() + l.size()));
}

TEST_F(EngineTest, ClosedPathOfOnePointKeepsItsPoint) {
  // A closed subpath whose anchors all coincide converts to one point; the closing-point drop
  // must not empty it, step after step.
  const AIArtHandle dot = host.document().addPath({corner(12, -7)}, true);
  const AIArtHandle twice = host.document().addPath({corner(3, 4), corner(3, 4)}, true);
  for (int step = 0; step < 3; ++step) {
    ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
    for (AIArtHandle art : {dot, twice}) {
      const auto s = segments(art);
      ASSERT_EQ(s.size(), 1u) << "step " << step;
      EXPECT_TRUE(host.document().find(art)->closed);
    }
    // A still field keeps the point within single-precision rounding.
    EXPECT_NEAR(segments(dot)[0].p.h, 12.0f, 1e-3f);
    EXPECT_NEAR(segments(dot)[0].p.v, -7.0f, 1e-3f);
    EXPECT_NEAR(segments(twice)[0].p.h, 3.0f, 1e-3f);
  }
  EXPECT_EQ(engine->vertex_total, 2);
}

TEST_F(EngineTest, PointsMoveWithTheFieldInsideTheRectangleOnly) {
  const AIArtHandle inside = host.document().addPath({corner(-10, 0), corner(10, 0)}, false);
  const AIArtHandle outside = host.document().addPath({corner(300, 0), corner(310, 0)}, false);
  const AIArtHandle onEdge = host.document().addPath({corner(200, 0), corner(200, 4)}, false);
  fill(engine->u, 1.0f);  // one rectangle width per unit of time, to the right
  fill(engine->v, 0.5f);  // half a height per unit of time, downward
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  // dt = 0.01: 4 units right and 2 units down.
  const auto a = segments(inside);
  EXPECT_NEAR(a.front().p.h, -6.0f, 1e-3f);
  EXPECT_NEAR(a.front().p.v, -2.0f, 1e-3f);
  const auto b = segments(outside);
  EXPECT_EQ(b.front().p.h, 300.0f);
  EXPECT_EQ(b.back().p.h, 310.0f);
  EXPECT_NEAR(segments(onEdge).front().p.h, 204.0f, 1e-3f);  // the edge itself is inside

  // A degenerate rectangle moves nothing.
  const auto before = segments(inside);
  ASSERT_EQ(engine->advect_and_subdivide(_t_ASRealRect{0, 200, 0, -200}), 0);
  EXPECT_EQ(segments(inside).front().p.h, before.front().p.h);
}

TEST_F(EngineTest, NonFiniteFieldNeverReachesTheDocument) {
  const AIArtHandle path = host.document().addPath(circle(0, 0, 50), true);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    3e38f}) {
    fill(engine->u, bad);
    fill(engine->v, bad);
    ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
    for (const AIPathSegment& s : segments(path))
      ASSERT_TRUE(std::isfinite(s.p.h) && std::isfinite(s.p.v) && std::hypot(s.p.h, s.p.v) < 51);
  }
}

TEST_F(EngineTest, NothingHappensWhileStoppedOrWithoutADocument) {
  const auto shape = circle(0, 0, 50);
  const AIArtHandle path = host.document().addPath(shape, true);
  engine->setParameter(-1, -1, -1, 32, -1, -1);
  engine->running = 0;
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
  engine->running = 1;
  host.view().open = false;
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
  host.view().open = true;
  host.faults().failCall("AIDocumentView.CountDocumentViews", 1, kNoDocumentErr);
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(segments(path).size(), shape.size());
  EXPECT_EQ(engine->N, 64);
  EXPECT_EQ(engine->pending_N, 32);
}

// ---- Vertex limit ------------------------------------------------------------------------------

// A straight open line whose conversion at sampling 1 yields exactly `points` points, checked
// against the host's own conversion.
class VertexLimitTest : public EngineTest {
 protected:
  AIArtHandle lineOf(int points) {
    const std::vector<AIPathSegment> segs = {corner(-250, 0),
                                             corner(-250 + float(points - 1), 0)};
    int32_t count = 0;
    AIPathConstPoint* out = nullptr;
    AIPathConstructionMemoryObject memory{my_allocate, my_dispose};
    EXPECT_EQ(sAIPathConstruction->CurvesToPoints(2, segs.data(), &count, &out, 1.0f, 0.1f, &memory),
              kNoErr);
    my_dispose(out);
    EXPECT_EQ(count, points);
    return host.document().addPath(segs, false);
  }
};

TEST_F(VertexLimitTest, TheLimitIs29990Points) {
  engine->setParameter(-1, -1, -1, -1, 1.0f, -1);
  const AIArtHandle atLimit = lineOf(29990);
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(segments(atLimit).size(), 29990u);
  EXPECT_EQ(engine->running, 1);
  EXPECT_TRUE(host.alerts().empty());

  host.document().find(atLimit)->selected = false;
  const AIArtHandle over = lineOf(29991);
  const AIArtHandle small = host.document().addPath(circle(0, 0, 10), true);
  engine->setParameter(-1, -1, -1, 32, -1, -1);
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(engine->running, 0);
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].text, kLimitAlert);
  EXPECT_EQ(segments(over).size(), 2u);   // not rewritten
  EXPECT_EQ(segments(small).size(), 4u);  // not rewritten, and no closing segment added
  EXPECT_GT(engine->vertex_total, 29991);
  EXPECT_EQ(engine->N, 32);  // the regrid still runs

  // Stopped: no further step changes anything until prepare.
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(segments(small).size(), 4u);
  EXPECT_EQ(host.alerts().size(), 1u);
}

TEST_F(EngineTest, SegmentCountsNeverWrapAround) {
  // A closed path whose explicit closing segment would not fit a 16-bit count.
  std::vector<AIPathSegment> many;
  for (int k = 0; k < 32767; ++k) many.push_back(corner(float(k % 100), float(k / 100)));
  const AIArtHandle huge = host.document().addPath(many, true);
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(engine->running, 0);
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].text, kLimitAlert);
  EXPECT_EQ(segments(huge).size(), 32767u);
}

// ---- Regrid ------------------------------------------------------------------------------------

TEST_F(EngineTest, RegridResamplesTheVelocity) {
  for (int k = 0; k < 66 * 66; ++k) {
    engine->u[k] = float(k % 29) * 0.1f;
    engine->v[k] = -float(k % 31) * 0.05f;
    engine->u_prev[k] = 1.0f;
  }
  const std::vector<float> oldU(engine->u, engine->u + 66 * 66), oldV(engine->v, engine->v + 66 * 66);
  CaptureStdout();
  engine->setParameter(-1, -1, -1, 128, -1, -1);
  GetCapturedStdout();
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);  // no selection: the regrid still applies
  EXPECT_EQ(engine->vertex_total, 0);
  ASSERT_EQ(engine->N, 128);
  EXPECT_EQ(engine->N_copy, 128);
  EXPECT_EQ(engine->pending_N, 0);
  EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);
  EXPECT_EQ(host.outstanding().spBlockBytes, grid_bytes(128));
  for (int i = 0; i <= 129; ++i)
    for (int j = 0; j <= 129; ++j) {
      const int k = i + 130 * j;
      if (i < 128 && j < 128) {
        ASSERT_EQ(engine->u[k], interpolate(64, oldU.data(), i / 2.0f, j / 2.0f)) << i << "," << j;
        ASSERT_EQ(engine->v[k], interpolate(64, oldV.data(), i / 2.0f, j / 2.0f)) << i << "," << j;
      } else {
        ASSERT_EQ(engine->u[k], 0.0f);
      }
      ASSERT_EQ(engine->u_prev[k], 0.0f);
      ASSERT_EQ(engine->v_prev[k], 0.0f);
    }
  // A request equal to the current resolution still regrids (fresh, zeroed force arrays).
  engine->u_prev[5] = 3.0f;
  CaptureStdout();
  engine->setParameter(-1, -1, -1, 128, -1, -1);
  GetCapturedStdout();
  ASSERT_EQ(engine->advect_and_subdivide(kRect), 0);
  EXPECT_EQ(engine->u_prev[5], 0.0f);
  EXPECT_EQ(engine->display(nullptr, Rect{}), 0);
}

TEST_F(EngineTest, RefusedRegridKeepsTheOldGrid) {
  fill(engine->u, 0.25f);
  float* const oldU = engine->u;
  CaptureStdout();
  engine->setParameter(-1, -1, -1, 256, -1, -1);
  GetCapturedStdout();
  for (int nth = 1; nth <= static_cast<int>(kGridBlocks); ++nth) {
    engine->pending_N = 256;
    host.faults().refuseAllocation(nth);
    CaptureStderr();
    EXPECT_EQ(engine->advect_and_subdivide(kRect), kOutOfMemoryErr);
    EXPECT_EQ(GetCapturedStderr(), "cannot allocate data\n");
    host.faults().clear();
    EXPECT_EQ(engine->N, 64);
    EXPECT_EQ(engine->N_copy, 64);
    EXPECT_EQ(engine->u, oldU);
    EXPECT_EQ(engine->pending_N, 0);
    EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);
    EXPECT_EQ(host.outstanding().spBlockBytes, grid_bytes(64));
  }
  // A resolution too large to index is refused the same way.
  engine->pending_N = 1 << 30;
  CaptureStderr();
  EXPECT_EQ(engine->advect_and_subdivide(kRect), kOutOfMemoryErr);
  EXPECT_EQ(GetCapturedStderr(), "cannot allocate data\n");
  EXPECT_EQ(engine->N, 64);
  EXPECT_EQ(engine->u, oldU);
  // The engine goes on with the grid it kept.
  EXPECT_EQ(engine->u[100], 0.25f);
  EXPECT_EQ(engine->display(nullptr, Rect{}), 0);
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
}

// ---- Failures in the middle of a step ----------------------------------------------------------

TEST_F(EngineTest, FailingHostCallsEndTheStepWithTheirCode) {
  const auto shape = circle(0, 0, 50);
  struct Case {
    const char* operation;
    int nth;
    ASErr code;
  };
  const Case cases[] = {
      {"AIMatchingArt.GetMatchingArt", 1, kBadParameterErr},
      {"AIPath.GetPathSegmentCount", 2, kDeadArtErr},
      {"AIPath.GetPathClosed", 1, kDeadArtErr},
      {"AIPath.GetPathSegments", 1, kBadParameterErr},
      {"AIPath.GetPathSegments", 2, kBadParameterErr},
      {"AIPath.SetPathSegments", 1, kBadParameterErr},
      {"AIPath.SetPathSegments", 40, kBadParameterErr},
      {"AIPath.SetPathSegmentCount", 1, kDeadArtErr},
      {"AIPathConstruction.CurvesToPoints", 2, kOutOfMemoryErr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " #" + std::to_string(c.nth));
    host.document().clear();
    host.document().addPath(shape, true);
    host.document().addPath(shape, false);
    engine->pending_N = 32;
    host.faults().failCall(c.operation, c.nth, c.code);
    EXPECT_EQ(engine->advect_and_subdivide(kRect), c.code);
    host.faults().clear();
    EXPECT_EQ(engine->N, 64) << "the regrid is not applied";
    EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks) << "segment and point blocks given back";
    EXPECT_EQ(host.outstanding().matchingArrays, 0u);
  }
  engine->pending_N = 0;
}

TEST_F(EngineTest, RefusedBlocksInAStepAreReported) {
  host.document().addPath(circle(0, 0, 50), true);
  // 1: the segment block; 2: the conversion's point array, refused through my_allocate.
  for (int nth = 1; nth <= 2; ++nth) {
    host.faults().refuseAllocation(nth);
    EXPECT_NE(engine->advect_and_subdivide(kRect), 0) << nth;
    host.faults().clear();
    EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);
  }
  EXPECT_EQ(engine->advect_and_subdivide(kRect), 0);
}

TEST_F(EngineTest, MemoryCallbacksOfTheConversion) {
  EXPECT_EQ(my_allocate(-1), nullptr);
  void* block = my_allocate(64);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks + 1);
  my_dispose(block);
  my_dispose(nullptr);
  host.faults().refuseAllocation(1);
  EXPECT_EQ(my_allocate(16), nullptr);
  EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);
}

// ---- Every failure of a whole cycle ------------------------------------------------------------

// A tool cycle of the engine: capture, a stroke, deformation steps, a regrid, Retry. Run with one
// host call or one allocation failing, it must never leave a non-finite point in the document, a
// grid that does not match N, or anything outstanding.
class FailureSweepTest : public EngineTest {
 protected:
  void cycle() {
    engine->prepare();
    engine->mouse_func(0, 0.5f, 0.5f);
    engine->motion_func(0.6f, 0.55f);
    engine->display(nullptr, Rect{});
    engine->advect_and_subdivide(kRect);
    engine->motion_func(0.7f, 0.4f);
    engine->display(nullptr, Rect{});
    CaptureStdout();
    engine->setParameter(-1, -1, -1, 32, -1, -1);
    GetCapturedStdout();
    engine->advect_and_subdivide(kRect);
    engine->display(nullptr, Rect{});
    engine->mouse_func(1, 0.7f, 0.4f);
    engine->advect_and_subdivide(kRect);
    engine->retry();
    engine->advect_and_subdivide(kRect);
  }
  void expectSound() {
    for (AIArtHandle handle : host.document().handles()) {
      for (const AIPathSegment& s : segments(handle))
        ASSERT_TRUE(std::isfinite(s.p.h) && std::isfinite(s.p.v) && std::isfinite(s.in.h) &&
                    std::isfinite(s.in.v) && std::isfinite(s.out.h) && std::isfinite(s.out.v));
    }
    const std::size_t bytes = grid_bytes(engine->N);
    EXPECT_EQ(engine->N, engine->N_copy);
    EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);
    EXPECT_EQ(host.outstanding().spBlockBytes, bytes);
    EXPECT_EQ(host.outstanding().matchingArrays, 0u);
  }
  void reset() {
    host.faults().clear();
    host.document().clear();
    host.document().addPath(circle(0, 0, 60), true);
    host.document().addPath(circle(30, 10, 40), false);
    engine = std::make_unique<SarvelloMain>();
  }
};

TEST_F(FailureSweepTest, EveryAllocationAndHostCallOfACycleMayFail) {
  reset();
  const int blocksBefore = host.faults().calls("SPBlocks.AllocateBlock");
  cycle();
  const int blocks = host.faults().calls("SPBlocks.AllocateBlock") - blocksBefore;
  ASSERT_GT(blocks, 8);
  for (int nth = 1; nth <= blocks; ++nth) {
    SCOPED_TRACE("allocation #" + std::to_string(nth));
    reset();
    host.faults().refuseAllocation(nth);
    CaptureStderr();
    cycle();
    GetCapturedStderr();
    host.faults().clear();
    expectSound();
  }
  for (const char* operation :
       {"AIDocumentView.CountDocumentViews", "AIMatchingArt.GetMatchingArt",
        "AIPath.GetPathSegmentCount", "AIPath.GetPathClosed",
        "AIPath.GetPathSegments", "AIPath.SetPathSegments", "AIPath.SetPathSegmentCount",
        "AIPathConstruction.CurvesToPoints", "AIArt.ValidArt", "ADMBasic.MessageAlert"}) {
    reset();
    const int before = host.faults().calls(operation);
    cycle();
    const int calls = host.faults().calls(operation) - before;
    for (int nth = 1; nth <= calls; nth += (calls > 20 ? calls / 20 : 1)) {
      SCOPED_TRACE(std::string(operation) + " #" + std::to_string(nth));
      reset();
      host.faults().failCall(operation, nth, kBadParameterErr);
      cycle();
      host.faults().clear();
      expectSound();
    }
  }
}
