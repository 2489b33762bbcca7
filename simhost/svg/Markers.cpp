// Mid markers of a stirred shape. The tool turns an outline into a polyline of many vertices, and
// a renderer draws a mid marker at every vertex. So the written shape draws no mid markers, and a
// second path draws them: it has the vertices of the original outline, each where the flow has
// carried it (at the same share of its subpath's length), joined by curves that leave and reach
// each vertex in the directions of the stirred outline there, so that markers that turn with the
// path turn as it does.
#include <algorithm>
#include <cmath>

#include "svg/DrawingImpl.h"

namespace simhost::svg {
namespace {

// A subpath as a polyline: its points (a closed one ends on its first point again) and the
// length along it at each point. Curves are followed closely enough that shares of length are
// the same on the outline and on the tool's polyline of it.
struct Outline {
  std::vector<Vec> points;
  std::vector<double> along;
  std::vector<std::size_t> anchorAt;  // the point of each anchor; one more for a closed end
};

Outline outline(const Subpath& sub) {
  Outline o;
  const auto add = [&](Vec p) {
    o.along.push_back(o.points.empty() ? 0.0 : o.along.back() + std::hypot(p.x - o.points.back().x, p.y - o.points.back().y));
    o.points.push_back(p);
  };
  const auto segment = [&](const Anchor& a, const Anchor& b) {
    if (a.out == a.p && b.in == b.p) {
      add(b.p);
      return;
    }
    constexpr int kSteps = 32;
    for (int i = 1; i <= kSteps; ++i) {
      const double t = static_cast<double>(i) / kSteps, s = 1 - t;
      const double w0 = s * s * s, w1 = 3 * s * s * t, w2 = 3 * s * t * t, w3 = t * t * t;
      add({w0 * a.p.x + w1 * a.out.x + w2 * b.in.x + w3 * b.p.x, w0 * a.p.y + w1 * a.out.y + w2 * b.in.y + w3 * b.p.y});
    }
  };
  if (sub.anchors.empty()) return o;
  add(sub.anchors[0].p);
  o.anchorAt.push_back(0);
  for (std::size_t k = 1; k < sub.anchors.size(); ++k) {
    segment(sub.anchors[k - 1], sub.anchors[k]);
    o.anchorAt.push_back(o.points.size() - 1);
  }
  if (sub.closed) {
    segment(sub.anchors.back(), sub.anchors.front());
    o.anchorAt.push_back(o.points.size() - 1);
  }
  return o;
}

Vec direction(Vec from, Vec to) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  return length > 0 ? Vec{(to.x - from.x) / length, (to.y - from.y) / length} : Vec{0, 0};
}

bool zero(Vec v) { return v.x == 0 && v.y == 0; }

// Where a length along an outline of two points or more falls: on the segment from point j - 1
// to point j, at t of its length.
struct Spot {
  std::size_t j;
  double t;
};

Spot spotAt(const Outline& o, double length) {
  const std::size_t n = o.points.size();
  std::size_t j = static_cast<std::size_t>(std::upper_bound(o.along.begin(), o.along.end(), length) - o.along.begin());
  j = std::clamp<std::size_t>(j, 1, n - 1);
  const double span = o.along[j] - o.along[j - 1];
  return {j, span > 0 ? (length - o.along[j - 1]) / span : 1.0};
}

Vec pointOf(const Outline& o, Spot spot) {
  const Vec a = o.points[spot.j - 1], b = o.points[spot.j];
  return {a.x + (b.x - a.x) * spot.t, a.y + (b.y - a.y) * spot.t};
}

// A place on an outline: the point at a share of its length, and the directions in which the
// outline reaches it and leaves it.
struct Place {
  Vec at, in, out;
};

Place placeOn(const Outline& o, bool closed, double share) {
  Place place;
  const std::size_t n = o.points.size();
  if (n == 0) return place;
  if (n == 1) {
    place.at = o.points[0];
    return place;
  }
  const double total = o.along.back();
  const double s = std::clamp(share, 0.0, 1.0) * total;
  const Spot spot = spotAt(o, s);
  const std::size_t j = spot.j;
  const double span = o.along[j] - o.along[j - 1];
  place.at = pointOf(o, spot);
  // The first segment of length before and after a point, around a closed outline.
  const auto before = [&](std::size_t k) {
    for (std::size_t step = 0; step < n; ++step) {
      if (k == 0) {
        if (!closed) break;
        k = n - 1;
      }
      const Vec d = direction(o.points[k - 1], o.points[k]);
      if (!zero(d)) return d;
      --k;
    }
    return Vec{0, 0};
  };
  const auto after = [&](std::size_t k) {
    for (std::size_t step = 0; step < n; ++step) {
      if (k + 1 >= n) {
        if (!closed) break;
        k = 0;
      }
      const Vec d = direction(o.points[k], o.points[k + 1]);
      if (!zero(d)) return d;
      ++k;
    }
    return Vec{0, 0};
  };
  const double tolerance = 1e-9 * (1 + total);
  if (s - o.along[j - 1] <= tolerance) {
    place.in = before(j - 1);
    place.out = after(j - 1);
  } else if (o.along[j] - s <= tolerance) {
    place.in = before(j);
    place.out = after(j);
  } else {
    // Within a segment: the directions from a segment's length before and to a segment's length
    // after. The tool's polyline of a corner may have its corner point a rounding's width before
    // or after the share of the original vertex, where the one segment's direction would turn a
    // marker that lies along the bisector of the corner.
    const auto pointAt = [&](double length) {
      if (closed && total > 0) {
        length = std::fmod(length, total);
        if (length < 0) length += total;
      }
      return pointOf(o, spotAt(o, std::clamp(length, 0.0, total)));
    };
    place.in = direction(pointAt(s - span), place.at);
    place.out = direction(place.at, pointAt(s + span));
    if (zero(place.in) && zero(place.out)) place.in = place.out = direction(o.points[j - 1], o.points[j]);
  }
  if (zero(place.in)) place.in = place.out;
  if (zero(place.out)) place.out = place.in;
  return place;
}

}  // namespace

std::vector<MarkerVertex> markerVertices(const Geometry& geometry) {
  std::vector<MarkerVertex> out;
  for (std::size_t k = 0; k < geometry.size(); ++k) {
    const Outline o = outline(geometry[k]);
    const double total = o.along.empty() ? 0.0 : o.along.back();
    for (std::size_t v : geometry[k].vertices) {
      const std::size_t point = v < o.anchorAt.size() ? o.anchorAt[v] : o.points.size() - 1;
      out.push_back({k, total > 0 ? o.along[point] / total : 0.0});
    }
  }
  return out;
}

std::string markerPathData(const Shape& shape, const Geometry& current) {
  std::string d;
  std::size_t k = 0;
  while (k < shape.vertices.size()) {
    const std::size_t subpath = shape.vertices[k].subpath;
    std::size_t end = k;
    while (end < shape.vertices.size() && shape.vertices[end].subpath == subpath) ++end;
    if (subpath < current.size() && !current[subpath].anchors.empty()) {
      const Subpath& sub = current[subpath];
      const Outline o = outline(sub);
      Place previous;
      for (std::size_t v = k; v < end; ++v) {
        const Place place = placeOn(o, sub.closed, shape.vertices[v].along);
        if (v == k) {
          d += d.empty() ? "M" : " M";
          appendPoint(d, place.at);
        } else if (sub.closed && v + 1 == end) {
          d += " Z";  // the vertex where the subpath closes
        } else {
          const double length = std::hypot(place.at.x - previous.at.x, place.at.y - previous.at.y);
          if (length > 0) {
            d += " C";
            appendPoint(d, {previous.at.x + previous.out.x * length / 3, previous.at.y + previous.out.y * length / 3});
            d += ' ';
            appendPoint(d, {place.at.x - place.in.x * length / 3, place.at.y - place.in.y * length / 3});
            d += ' ';
          } else {
            d += " L";
          }
          appendPoint(d, place.at);
        }
        previous = place;
      }
    }
    k = end;
  }
  return d;
}

}  // namespace simhost::svg
