// Path data, transforms and arcs: the attribute languages the importer reads.
#include <gtest/gtest.h>

#include <cmath>

#include "svg/Geometry.h"

using namespace simhost::svg;

namespace {

Geometry parse(const std::string& d) {
  Geometry g;
  std::string error;
  EXPECT_TRUE(parsePathData(d, &g, &error)) << d << ": " << error;
  return g;
}

std::string parseError(const std::string& d) {
  Geometry g;
  std::string error;
  EXPECT_FALSE(parsePathData(d, &g, &error)) << d;
  return error;
}

void expectAt(const Vec& v, double x, double y) {
  EXPECT_NEAR(v.x, x, 1e-9);
  EXPECT_NEAR(v.y, y, 1e-9);
}

std::vector<Vec> anchors(const Subpath& s) {
  std::vector<Vec> out;
  for (const Anchor& a : s.anchors) out.push_back(a.p);
  return out;
}

// The point of the cubic from a to b at t.
Vec cubicAt(const Anchor& a, const Anchor& b, double t) {
  const double u = 1 - t;
  return {u * u * u * a.p.x + 3 * u * u * t * a.out.x + 3 * u * t * t * b.in.x + t * t * t * b.p.x,
          u * u * u * a.p.y + 3 * u * u * t * a.out.y + 3 * u * t * t * b.in.y + t * t * t * b.p.y};
}

}  // namespace

TEST(PathData, LinesAbsoluteAndRelative) {
  const Geometry g = parse("M10 20 L30 20 H40 V50 l-5 5 h-10 v-10 z");
  ASSERT_EQ(g.size(), 1u);
  EXPECT_TRUE(g[0].closed);
  const std::vector<Vec> expected = {{10, 20}, {30, 20}, {40, 20}, {40, 50}, {35, 55}, {25, 55}, {25, 45}};
  EXPECT_EQ(anchors(g[0]), expected);
  for (const Anchor& a : g[0].anchors) {
    EXPECT_EQ(a.in, a.p);
    EXPECT_EQ(a.out, a.p);
  }
}

TEST(PathData, ImplicitRepeatsAndCompactNumbers) {
  // After a moveto, further pairs are linetos (relative after m); numbers need no separators
  // where the grammar tells them apart.
  Geometry g = parse("m1 1 2 0 0 2");
  EXPECT_EQ(anchors(g[0]), (std::vector<Vec>{{1, 1}, {3, 1}, {3, 3}}));
  g = parse("M.5.5L-1-2 1e-3,2E1");
  EXPECT_EQ(anchors(g[0]), (std::vector<Vec>{{0.5, 0.5}, {-1, -2}, {0.001, 20}}));
  g = parse("M0,0L1,1,2,2 3 3");
  EXPECT_EQ(g[0].anchors.size(), 4u);
  g = parse("M 0 0 H 1 2 3");  // repeated horizontal lines
  EXPECT_EQ(anchors(g[0]), (std::vector<Vec>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
}

TEST(PathData, CubicsAndSmoothCubics) {
  const Geometry g = parse("M0 0 C1 2 3 4 5 6 S9 10 11 12 s1 1 2 2");
  const auto& a = g[0].anchors;
  ASSERT_EQ(a.size(), 4u);
  expectAt(a[0].out, 1, 2);
  expectAt(a[1].in, 3, 4);
  expectAt(a[1].p, 5, 6);
  expectAt(a[1].out, 7, 8);  // the reflection of (3, 4) about (5, 6)
  expectAt(a[2].in, 9, 10);
  expectAt(a[2].out, 13, 14);  // reflection of (9, 10) about (11, 12)
  expectAt(a[3].in, 12, 13);
  expectAt(a[3].p, 13, 14);
  // S without a cubic before it starts its first control at the current point.
  const Geometry s = parse("M0 0 L1 0 S2 1 3 0");
  expectAt(s[0].anchors[1].out, 1, 0);
}

TEST(PathData, QuadraticsBecomeCubics) {
  const Geometry g = parse("M0 0 Q3 3 6 0 T12 0 t6 0");
  const auto& a = g[0].anchors;
  ASSERT_EQ(a.size(), 4u);
  expectAt(a[0].out, 2, 2);
  expectAt(a[1].in, 4, 2);
  // T reflects the control (3, 3) to (9, -3).
  expectAt(a[1].out, 6 + 2.0 / 3.0 * 3, -2);
  expectAt(a[2].in, 12 - 2.0 / 3.0 * 3, -2);
  // the second T reflects (9, -3) about (12, 0) to (15, 3).
  expectAt(a[2].out, 14, 2);
  expectAt(a[3].p, 18, 0);
}

TEST(PathData, ArcsFollowTheEllipseAndTheFlags) {
  // Half circles of radius 10 from (0, 0) to (20, 0): the sweep flag picks the side.
  for (int sweep = 0; sweep <= 1; ++sweep) {
    const Geometry g = parse("M0 0 A10 10 0 0 " + std::to_string(sweep) + " 20 0");
    const auto& a = g[0].anchors;
    ASSERT_GE(a.size(), 3u);
    expectAt(a.back().p, 20, 0);
    for (std::size_t i = 1; i < a.size(); ++i) {
      for (double t : {0.25, 0.5, 0.75}) {
        const Vec p = cubicAt(a[i - 1], a[i], t);
        EXPECT_NEAR(std::hypot(p.x - 10, p.y), 10, 0.01);
        // sweep 1 turns clockwise on screen (y down): through negative y.
        EXPECT_TRUE(sweep ? p.y <= 1e-9 : p.y >= -1e-9);
      }
    }
  }
  // The large-arc flag takes the long way round a circle of radius 10 between two points 10
  // apart: three quarters and more of the circle instead of a sixth.
  const Geometry small = parse("m0 0 a10 10 0 0 1 10 0");
  const Geometry large = parse("m0 0 a10 10 0 1 1 10 0");
  EXPECT_EQ(small[0].anchors.size(), 2u);
  EXPECT_EQ(large[0].anchors.size(), 5u);
  // Radii too small for the end points are scaled up; a zero radius is a straight line.
  const Geometry scaled = parse("M0 0 A1 1 0 0 1 20 0");
  ASSERT_EQ(scaled[0].anchors.size(), 3u);
  expectAt(scaled[0].anchors[1].p, 10, -10);
  expectAt(scaled[0].anchors[2].p, 20, 0);
  const Geometry flat = parse("M0 0 A0 5 0 0 1 20 0");
  EXPECT_EQ(flat[0].anchors[1].in, (Vec{20, 0}));
  // Flags need no separators.
  const Geometry compact = parse("M0 0a10 10 0 0110 0");
  expectAt(compact[0].anchors.back().p, 10, 0);
  // Ends far apart compared with the radii: the scale does not overflow, every point is finite.
  for (const char* far : {"M8 5A7 7 1 000 1e206", "M8 5A1e-300 1e-300 0 0 1 1e300 1e300"}) {
    const Geometry g = parse(far);
    for (const Anchor& a : g[0].anchors)
      for (Vec v : {a.p, a.in, a.out}) EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y)) << far;
  }
}

TEST(PathData, SubpathsAndClosing) {
  const Geometry g = parse("M0 0 L10 0 L10 10 L0 0 Z l5 5 M20 20 h1");
  ASSERT_EQ(g.size(), 3u);
  // The last anchor on the first one folds into it.
  EXPECT_EQ(g[0].anchors.size(), 3u);
  EXPECT_TRUE(g[0].closed);
  // After Z a drawing command starts a new subpath at the closed one's start.
  EXPECT_EQ(anchors(g[1]), (std::vector<Vec>{{0, 0}, {5, 5}}));
  EXPECT_FALSE(g[2].closed);
  // A curve that ends on the start hands its control to the first anchor.
  const Geometry c = parse("M0 0 C5 0 10 5 10 10 C5 10 0 5 1e-9 0 z");
  EXPECT_EQ(c[0].anchors.size(), 2u);
  expectAt(c[0].anchors[0].in, 0, 5);
  EXPECT_TRUE(parse("").empty());
}

TEST(PathData, MalformedDataIsRefusedWithThePlace) {
  EXPECT_EQ(parseError("L1 2"), "path data must begin with a moveto command at character 1");
  EXPECT_EQ(parseError("M1 2 L3"), "expected a number at character 8");
  EXPECT_EQ(parseError("M1 2 X3 4"), "unknown path command 'X' at character 6");
  EXPECT_EQ(parseError("M0 0 A1 1 0 2 0 5 5"), "expected an arc flag (0 or 1) at character 13");
  EXPECT_EQ(parseError("M0 0 Z 5"), "expected a command at character 8");
  EXPECT_EQ(parseError("M0 0 L1 1 #"), "unexpected '#' at character 11");
  EXPECT_EQ(parseError("M0 0 L1e 1"), "expected a number at character 8");
}

TEST(PathData, FormattedDataReadsBackTheSame) {
  const Geometry g = parse("M0 0 C1 2 3 4 5 6 L7 8 Z M10 10 A5 5 0 0 1 20 10 A5 5 0 0 1 10 10 Z M-1 -1 L-2 -2");
  const Geometry again = parse(formatPathData(g, 15));
  ASSERT_EQ(again.size(), g.size());
  for (std::size_t i = 0; i < g.size(); ++i) {
    EXPECT_EQ(again[i].closed, g[i].closed);
    ASSERT_EQ(again[i].anchors.size(), g[i].anchors.size()) << formatPathData(g, 15);
    for (std::size_t k = 0; k < g[i].anchors.size(); ++k) {
      for (auto [x, y] : {std::pair{again[i].anchors[k].p, g[i].anchors[k].p},
                          std::pair{again[i].anchors[k].in, g[i].anchors[k].in},
                          std::pair{again[i].anchors[k].out, g[i].anchors[k].out}}) {
        EXPECT_NEAR(x.x, y.x, 1e-9);
        EXPECT_NEAR(x.y, y.y, 1e-9);
      }
    }
  }
}

TEST(Transform, FunctionsComposeLeftToRight) {
  Affine m;
  std::string error;
  ASSERT_TRUE(parseTransform("translate(10,20) scale(2) rotate(90)", &m, &error)) << error;
  double x = 1, y = 0;
  m.apply(x, y);  // rotate to (0, 1), scale to (0, 2), translate to (10, 22)
  EXPECT_NEAR(x, 10, 1e-12);
  EXPECT_NEAR(y, 22, 1e-12);

  ASSERT_TRUE(parseTransform("rotate(180 5 5)", &m, &error));
  x = 0, y = 0;
  m.apply(x, y);
  EXPECT_NEAR(x, 10, 1e-12);
  EXPECT_NEAR(y, 10, 1e-12);

  ASSERT_TRUE(parseTransform("matrix(1 0 0 1 3 4)skewX(45) skewY(45)", &m, &error));
  x = 1, y = 1;
  m.apply(x, y);  // skewY: (1, 2); skewX: (3, 2); translate: (6, 6)
  EXPECT_NEAR(x, 6, 1e-12);
  EXPECT_NEAR(y, 6, 1e-12);

  ASSERT_TRUE(parseTransform("scale(2, 3)", &m, &error));
  EXPECT_EQ(m.a, 2);
  EXPECT_EQ(m.d, 3);
  const Affine inv = m.inverse();
  x = 4, y = 9;
  inv.apply(x, y);
  EXPECT_NEAR(x, 2, 1e-12);
  EXPECT_NEAR(y, 3, 1e-12);
}

TEST(Transform, MalformedListsAreRefused) {
  Affine m;
  std::string error;
  EXPECT_FALSE(parseTransform("translate(1 2", &m, &error));
  EXPECT_FALSE(parseTransform("spin(5)", &m, &error));
  EXPECT_EQ(error, "unknown transform function 'spin' at character 1");
  EXPECT_FALSE(parseTransform("matrix(1 2 3)", &m, &error));
  EXPECT_EQ(error, "wrong number of arguments to matrix at character 1");
  EXPECT_FALSE(parseTransform("rotate(1 2)", &m, &error));
}
