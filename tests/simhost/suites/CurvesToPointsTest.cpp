// AI PathConstruction: points along a run of cubic segments by arc length.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "HostFixture.h"

namespace {

// The caller's memory: counted so that every test can check that nothing leaks.
int gLiveBlocks = 0;
bool gRefuse = false;
void* countingAllocate(int32_t size) {
  if (gRefuse || size < 0) return nullptr;
  ++gLiveBlocks;
  return std::malloc(static_cast<std::size_t>(size));
}
void countingDispose(void* p) {
  if (p != nullptr) --gLiveBlocks;
  std::free(p);
}

class CurvesToPointsTest : public HostTest {
 protected:
  const AIPathConstructionSuite* pc =
      acquire<AIPathConstructionSuite>(kAIPathConstructionSuite, 1002);
  AIPathConstructionMemoryObject memory{countingAllocate, countingDispose};

  void SetUp() override {
    gLiveBlocks = 0;
    gRefuse = false;
  }
  void TearDown() override {
    EXPECT_EQ(gLiveBlocks, 0);
    HostTest::TearDown();
  }

  // Converts and copies the points out, freeing the array as the caller does.
  ASErr convert(const std::vector<AIPathSegment>& segs, float sampling,
                std::vector<AIPathConstPoint>* out, float tolerance = 0.1f) {
    int32_t count = 0;
    AIPathConstPoint* points = nullptr;
    ASErr err = pc->CurvesToPoints(static_cast<int32_t>(segs.size()), segs.data(), &count, &points,
                                   sampling, tolerance, &memory);
    out->assign(points, points + (points != nullptr ? count : 0));
    if (err != kNoErr) {
      EXPECT_EQ(points, nullptr);
      EXPECT_EQ(count, 0);
    }
    countingDispose(points);
    return err;
  }

  static AIPathSegment smooth(AIRealPoint in, AIRealPoint p, AIRealPoint out) {
    AIPathSegment s{};
    s.in = in;
    s.p = p;
    s.out = out;
    return s;
  }
};

TEST_F(CurvesToPointsTest, StraightSegmentGivesPointsAtTheSamplingDistance) {
  AIPathSegment a = corner(0, 0), b = corner(10, 0);
  b.corner = 0;
  std::vector<AIPathConstPoint> pts;
  ASSERT_EQ(convert({a, b}, 2.0f, &pts), kNoErr);
  ASSERT_EQ(pts.size(), 6u);
  for (std::size_t i = 0; i < pts.size(); ++i) {
    EXPECT_FLOAT_EQ(pts[i].point.h, 2.0f * static_cast<float>(i));
    EXPECT_EQ(pts[i].point.v, 0.0f);
    EXPECT_EQ(pts[i].corner, i == 0 ? 1 : 0) << i;  // corners only where the anchors say so
  }
  // A length that is no multiple of the sampling: equal arcs no longer than the sampling.
  ASSERT_EQ(convert({corner(0, 0), corner(0, 9)}, 2.0f, &pts), kNoErr);
  ASSERT_EQ(pts.size(), 6u);
  EXPECT_FLOAT_EQ(pts[1].point.v, 1.8f);
  EXPECT_EQ(pts[5].point.v, 9.0f);
  EXPECT_EQ(pts[5].corner, 1);
}

TEST_F(CurvesToPointsTest, UnevenlyParameterisedCurveIsSampledByArcLength) {
  // Collinear control points bunched near the end: equal steps of t are far from equal steps
  // of length, so only an arc-length placement puts the points 2 units apart.
  std::vector<AIPathSegment> segs = {smooth({0, 0}, {0, 0}, {90, 0}),
                                     smooth({95, 0}, {100, 0}, {100, 0})};
  std::vector<AIPathConstPoint> pts;
  ASSERT_EQ(convert(segs, 2.0f, &pts), kNoErr);
  ASSERT_EQ(pts.size(), 51u);
  for (std::size_t i = 0; i < pts.size(); ++i)
    EXPECT_NEAR(pts[i].point.h, 2.0 * static_cast<double>(i), 0.01) << i;
}

TEST_F(CurvesToPointsTest, ClosedCircleRunLiesOnTheCurveWithEvenSpacing) {
  // A circle of radius 50 from four cubic arcs, closed the way the plug-in does it: the first
  // anchor repeated as a last segment.
  const float r = 50.0f, k = 0.5522847f * r;
  std::vector<AIPathSegment> segs = {
      smooth({r, -k}, {r, 0}, {r, k}),     smooth({k, r}, {0, r}, {-k, r}),
      smooth({-r, k}, {-r, 0}, {-r, -k}),  smooth({-k, -r}, {0, -r}, {k, -r}),
      smooth({r, -k}, {r, 0}, {r, 0})};
  std::vector<AIPathConstPoint> pts;
  ASSERT_EQ(convert(segs, 1.0f, &pts), kNoErr);
  // Circumference 314.16 (the cubic arcs are a hair longer): 4 arcs of ceil(78.5..) = 79 steps.
  ASSERT_EQ(pts.size(), 4u * 79u + 1u);
  EXPECT_EQ(pts.front().point.h, r);
  EXPECT_EQ(pts.back().point.h, r);
  EXPECT_EQ(pts.back().point.v, 0.0f);
  for (std::size_t i = 0; i < pts.size(); ++i) {
    // The cubic circle deviates from the true one by less than 0.03 % of the radius.
    EXPECT_NEAR(std::hypot(pts[i].point.h, pts[i].point.v), r, 0.02) << i;
    if (i > 0) {
      const double step = std::hypot(pts[i].point.h - pts[i - 1].point.h,
                                     pts[i].point.v - pts[i - 1].point.v);
      EXPECT_NEAR(step, 78.54 / 79.0, 0.01) << i;
    }
  }
}

TEST_F(CurvesToPointsTest, DegenerateAndShortRuns) {
  std::vector<AIPathConstPoint> pts;
  ASSERT_EQ(convert({}, 2.0f, &pts), kNoErr);  // no segments: no points, nothing allocated
  EXPECT_TRUE(pts.empty());
  ASSERT_EQ(convert({corner(3, 4)}, 2.0f, &pts), kNoErr);
  ASSERT_EQ(pts.size(), 1u);
  EXPECT_EQ(pts[0].point.h, 3.0f);
  // A zero-length curve in the middle adds no point.
  ASSERT_EQ(convert({corner(0, 0), corner(4, 0), corner(4, 0), corner(4, 4)}, 2.0f, &pts),
            kNoErr);
  ASSERT_EQ(pts.size(), 5u);
  EXPECT_EQ(pts[2].point.h, 4.0f);
  EXPECT_EQ(pts[3].point.v, 2.0f);
  // A curve shorter than the sampling distance gives just its end anchor.
  ASSERT_EQ(convert({corner(0, 0), corner(0.5f, 0)}, 2.0f, &pts), kNoErr);
  EXPECT_EQ(pts.size(), 2u);
}

TEST_F(CurvesToPointsTest, RefusesBadArgumentsAndHugeCounts) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<AIPathSegment> line = {corner(0, 0), corner(10, 0)};
  std::vector<AIPathConstPoint> pts;
  for (float sampling : {0.0f, -1.0f, nan, inf})
    EXPECT_EQ(convert(line, sampling, &pts), kBadParameterErr) << sampling;
  EXPECT_EQ(convert(line, 2.0f, &pts, -1.0f), kBadParameterErr);
  EXPECT_EQ(convert(line, 2.0f, &pts, nan), kBadParameterErr);
  for (float bad : {nan, inf}) {
    std::vector<AIPathSegment> segs = line;
    segs[1].in.v = bad;
    EXPECT_EQ(convert(segs, 2.0f, &pts), kBadParameterErr);
  }
  // Far more points than any drawing has: refused before anything is allocated.
  EXPECT_EQ(convert({corner(0, 0), corner(1e30f, 0)}, 1.0f, &pts), kBadParameterErr);
  EXPECT_EQ(convert({corner(0, 0), corner(1e6f, 0)}, 0.01f, &pts), kBadParameterErr);
  std::vector<AIPathSegment> many(2000, corner(0, 0));
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = corner(i % 2 ? 1e4f : 0.0f, 0);
  EXPECT_EQ(convert(many, 0.001f, &pts), kBadParameterErr);

  int32_t count = 0;
  AIPathConstPoint* points = nullptr;
  EXPECT_EQ(pc->CurvesToPoints(-1, line.data(), &count, &points, 2, 0.1f, &memory),
            kBadParameterErr);
  EXPECT_EQ(pc->CurvesToPoints(2, nullptr, &count, &points, 2, 0.1f, &memory), kBadParameterErr);
  EXPECT_EQ(pc->CurvesToPoints(2, line.data(), nullptr, &points, 2, 0.1f, &memory),
            kBadParameterErr);
  EXPECT_EQ(pc->CurvesToPoints(2, line.data(), &count, nullptr, 2, 0.1f, &memory),
            kBadParameterErr);
  EXPECT_EQ(pc->CurvesToPoints(2, line.data(), &count, &points, 2, 0.1f, nullptr),
            kBadParameterErr);
}

TEST_F(CurvesToPointsTest, RefusedAllocationAndInjectedFaultsLeaveNothing) {
  std::vector<AIPathConstPoint> pts;
  gRefuse = true;
  EXPECT_EQ(convert({corner(0, 0), corner(10, 0)}, 2.0f, &pts), kOutOfMemoryErr);
  gRefuse = false;
  host.faults().failCall("AIPathConstruction.CurvesToPoints", 1, kCantHappenErr);
  EXPECT_EQ(convert({corner(0, 0), corner(10, 0)}, 2.0f, &pts), kCantHappenErr);
  EXPECT_EQ(convert({corner(0, 0), corner(10, 0)}, 2.0f, &pts), kNoErr);
}

}  // namespace
