// AI PathConstruction: CurvesToPoints, the conversion of a run of cubic segments into points
// spaced along the curves by arc length.
//
// Each curve between two anchors is measured by adaptive Gauss-Legendre quadrature of its speed,
// split into n = ceil(length / sampling) equal arcs (so no two neighbouring points are farther
// apart than the sampling distance), and the points between the anchors are found by solving
// arc length(t) = target for t. Every point is evaluated on the curve itself. Curves whose
// control points lie on their anchors are straight and take a direct path.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// More points than this are refused: 120 MB of points is beyond any sane drawing, and the
// count must stay far inside the 32-bit byte count that the caller's allocator takes.
constexpr double kMaxPoints = 10'000'000.0;
constexpr int kMaxDepth = 18;  // bounds the subdivision of pathological curves

struct Vec {
  double x, y;
};

// The length of (dx, dy). The coordinates come from floats, so in double precision neither the
// squares can overflow nor can a nonzero one vanish; this is as exact as std::hypot for such
// values to within a few units in the last place of a double, and several times cheaper.
inline double norm(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

struct Cubic {
  Vec p0, p1, p2, p3;

  Vec at(double t) const {
    const double s = 1.0 - t;
    const double a = s * s * s, b = 3.0 * s * s * t, c = 3.0 * s * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
  }
  double speed(double t) const {
    const double s = 1.0 - t;
    const double a = 3.0 * s * s, b = 6.0 * s * t, c = 3.0 * t * t;
    const double dx = a * (p1.x - p0.x) + b * (p2.x - p1.x) + c * (p3.x - p2.x);
    const double dy = a * (p1.y - p0.y) + b * (p2.y - p1.y) + c * (p3.y - p2.y);
    return norm(dx, dy);
  }
  bool straight() const {
    return p1.x == p0.x && p1.y == p0.y && p2.x == p3.x && p2.y == p3.y;
  }
  bool point() const {
    return p0.x == p1.x && p0.y == p1.y && p1.x == p2.x && p1.y == p2.y && p2.x == p3.x &&
           p2.y == p3.y;
  }
  double extent() const {
    return std::max({std::fabs(p0.x), std::fabs(p0.y), std::fabs(p1.x), std::fabs(p1.y),
                     std::fabs(p2.x), std::fabs(p2.y), std::fabs(p3.x), std::fabs(p3.y)});
  }
};

// Arc length from a to b: five-point Gauss-Legendre quadrature of the speed.
double arcLength(const Cubic& c, double a, double b) {
  static constexpr double kNodes[5] = {0.0, -0.5384693101056831, 0.5384693101056831,
                                       -0.9061798459386640, 0.9061798459386640};
  static constexpr double kWeights[5] = {0.5688888888888889, 0.4786286704993665,
                                         0.4786286704993665, 0.2369268850561891,
                                         0.2369268850561891};
  const double half = 0.5 * (b - a), mid = 0.5 * (a + b);
  double sum = 0.0;
  for (int i = 0; i < 5; ++i) sum += kWeights[i] * c.speed(mid + half * kNodes[i]);
  return sum * half;
}

// A piece of the parameter range whose arc length is measured to within its share of the
// tolerance; s0 is the arc length from the curve's start to t0.
struct Leaf {
  double t0, t1, s0, length;
};

void measure(const Cubic& c, double a, double b, double whole, double tolerance, int depth,
             std::vector<Leaf>& leaves, double& total) {
  const double mid = 0.5 * (a + b);
  const double left = arcLength(c, a, mid), right = arcLength(c, mid, b);
  // The error budget of a piece is its share of the parameter range, so the pieces' errors add
  // up to at most the tolerance. Depth 1 at least: a single estimate could agree with itself.
  if (depth >= kMaxDepth ||
      (depth >= 1 && std::fabs(left + right - whole) <= tolerance * (b - a))) {
    leaves.push_back({a, mid, total, left});
    total += left;
    leaves.push_back({mid, b, total, right});
    total += right;
    return;
  }
  measure(c, a, mid, left, tolerance, depth + 1, leaves, total);
  measure(c, mid, b, right, tolerance, depth + 1, leaves, total);
}

// The parameter at arc length `target` within a leaf: Newton's method on the quadrature,
// kept inside a shrinking bracket.
double solve(const Cubic& c, const Leaf& leaf, double target) {
  double lo = leaf.t0, hi = leaf.t1;
  const double goal = target - leaf.s0;
  double t = leaf.length > 0.0 ? leaf.t0 + (leaf.t1 - leaf.t0) * (goal / leaf.length) : leaf.t0;
  t = std::clamp(t, lo, hi);
  const double precision = 1e-12 * (1.0 + leaf.s0 + leaf.length);
  for (int i = 0; i < 60; ++i) {
    const double f = arcLength(c, leaf.t0, t) - goal;
    if (std::fabs(f) <= precision) break;
    if (f > 0.0) hi = t;
    else lo = t;
    const double v = c.speed(t);
    double next = v > 0.0 ? t - f / v : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (hi - lo <= 1e-15) break;
    t = next;
  }
  return t;
}

struct Curve {
  Cubic cubic;
  double length = 0.0;
  long long arcs = 0;       // 0: degenerate, contributes no point
  std::size_t firstLeaf = 0;
  std::size_t leafCount = 0;
};

bool finite(const AIRealPoint& p) { return std::isfinite(p.h) && std::isfinite(p.v); }
Vec vec(const AIRealPoint& p) { return {p.h, p.v}; }
AIRealPoint real(const Vec& v) {
  return {static_cast<AIReal>(v.x), static_cast<AIReal>(v.y)};
}

AIErr curvesToPoints(int32_t segmentCount, const AIPathSegment* segments, int32_t* pointCount,
                     AIPathConstPoint** points, AIReal sampling, AIReal tolerance,
                     AIPathConstructionMemoryObject* memory) {
  return hostCall("AIPathConstruction.CurvesToPoints", [&](Host&, HostState&) -> ASErr {
    if (pointCount == nullptr || points == nullptr) return kBadParameterErr;
    *pointCount = 0;
    *points = nullptr;
    if (memory == nullptr || memory->allocate == nullptr) return kBadParameterErr;
    if (segmentCount < 0 || (segmentCount > 0 && segments == nullptr)) return kBadParameterErr;
    if (!std::isfinite(sampling) || sampling <= 0.0f) return kBadParameterErr;
    if (!std::isfinite(tolerance) || tolerance < 0.0f) return kBadParameterErr;
    for (int32_t i = 0; i < segmentCount; ++i) {
      const AIPathSegment& s = segments[i];
      if (!finite(s.p) || !finite(s.in) || !finite(s.out)) return kBadParameterErr;
    }
    if (segmentCount == 0) return kNoErr;

    // Measure every curve first: the count decides the allocation.
    // The tool converts every path on every tick: the working lists keep their room between
    // calls (only the user-interface thread calls the host).
    static std::vector<Curve> curves;
    static std::vector<Leaf> leaves;
    curves.assign(static_cast<std::size_t>(segmentCount - 1), Curve{});
    leaves.clear();
    double total = 1.0;  // the first anchor
    for (std::size_t k = 0; k < curves.size(); ++k) {
      Curve& curve = curves[k];
      curve.cubic = {vec(segments[k].p), vec(segments[k].out), vec(segments[k + 1].in),
                     vec(segments[k + 1].p)};
      const Cubic& c = curve.cubic;
      if (c.point()) continue;
      if (c.straight()) {
        curve.length = norm(c.p3.x - c.p0.x, c.p3.y - c.p0.y);
      } else {
        // Rounding of large coordinates bounds how exactly a length can be measured.
        const double floor = 1e-9 * (1.0 + c.extent());
        curve.firstLeaf = leaves.size();
        double length = 0.0;
        measure(c, 0.0, 1.0, arcLength(c, 0.0, 1.0), std::max<double>(tolerance, floor), 0,
                leaves, length);
        curve.leafCount = leaves.size() - curve.firstLeaf;
        curve.length = length;
      }
      if (!(curve.length > 0.0)) continue;
      const double arcs = std::max(1.0, std::ceil(curve.length / sampling - 1e-6));
      total += arcs;
      if (total > kMaxPoints) return kBadParameterErr;
      curve.arcs = static_cast<long long>(arcs);
    }

    const auto count = static_cast<int32_t>(total);
    void* block = memory->allocate(static_cast<int32_t>(count * sizeof(AIPathConstPoint)));
    if (block == nullptr) return kOutOfMemoryErr;
    auto* out = static_cast<AIPathConstPoint*>(block);
    std::size_t n = 0;
    auto put = [&](AIRealPoint p, AIBoolean corner) {
      AIPathConstPoint point;
      std::memset(&point, 0, sizeof point);
      point.point = p;
      point.corner = corner;
      out[n++] = point;
    };

    put(segments[0].p, segments[0].corner);
    for (std::size_t k = 0; k < curves.size(); ++k) {
      const Curve& curve = curves[k];
      if (curve.arcs == 0) continue;
      const Cubic& c = curve.cubic;
      const double step = curve.length / static_cast<double>(curve.arcs);
      std::size_t leaf = curve.firstLeaf;
      const std::size_t leafEnd = curve.firstLeaf + curve.leafCount;
      for (long long i = 1; i < curve.arcs; ++i) {
        const double target = step * static_cast<double>(i);
        if (c.straight()) {
          const double f = target / curve.length;
          put(real({c.p0.x + (c.p3.x - c.p0.x) * f, c.p0.y + (c.p3.y - c.p0.y) * f}), 0);
          continue;
        }
        while (leaf + 1 < leafEnd && leaves[leaf].s0 + leaves[leaf].length < target) ++leaf;
        put(real(c.at(solve(c, leaves[leaf], target))), 0);
      }
      put(segments[k + 1].p, segments[k + 1].corner);  // each curve ends on its anchor
    }
    *points = out;
    *pointCount = count;
    return kNoErr;
  });
}

}  // namespace

const AIPathConstructionSuite kAIPathConstructionTable = {curvesToPoints};

}  // namespace simhost
