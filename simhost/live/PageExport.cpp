#include "live/PageExport.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstring>
#include <map>

#include "svg/DrawingImpl.h"

namespace simhost::live {

namespace {

// How far a reduced polyline may stray from the one it stands for, in view pixels.
constexpr double kTolerancePixels = 0.25;

// A coordinate as path data: rounded to the shape's decimals (so that a point that moved by less
// than the page can show keeps its text and its shape is not sent again for it), without trailing
// zeros, after a space unless it begins the data or follows a command.
void putNumber(std::string& out, double v, int decimals, double scale) {
  if (!out.empty() && out.back() != 'M' && out.back() != 'L' && out.back() != 'C') out.push_back(' ');
  const double r = std::round(v * scale);
  if (!std::isfinite(r) || std::fabs(r) > 1e15) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, end);
    return;
  }
  auto n = static_cast<long long>(r);
  if (n < 0) {
    out.push_back('-');
    n = -n;
  }
  char digits[24];
  const int length = static_cast<int>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
  if (decimals == 0) {
    out.append(digits, static_cast<std::size_t>(length));
    return;
  }
  // The integer part, then the fraction padded to `decimals` digits with its trailing zeros cut.
  const int whole = length - decimals;
  if (whole > 0) {
    out.append(digits, static_cast<std::size_t>(whole));
  } else {
    out.push_back('0');
  }
  std::string fraction = whole >= 0 ? std::string(digits + whole, static_cast<std::size_t>(decimals))
                                    : std::string(static_cast<std::size_t>(-whole), '0') + std::string(digits, static_cast<std::size_t>(length));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) {
    out.push_back('.');
    out += fraction;
  }
}

// Squared distance of p from the segment a-b.
double distance2(const svg::Vec& p, const svg::Vec& a, const svg::Vec& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return ex * ex + ey * ey;
}

// The points of a polyline that keep it within `tolerance` of itself (Douglas and Peucker's
// reduction, with a stack instead of recursion): the first and the last are always kept.
std::vector<svg::Vec> reduce(const std::vector<svg::Vec>& points, double tolerance) {
  const std::size_t n = points.size();
  if (n <= 2 || !(tolerance > 0)) return points;
  std::vector<char> keep(n, 0);
  keep[0] = keep[n - 1] = 1;
  std::vector<std::pair<std::size_t, std::size_t>> spans = {{0, n - 1}};
  const double tolerance2 = tolerance * tolerance;
  while (!spans.empty()) {
    const auto [first, last] = spans.back();
    spans.pop_back();
    double farthest = -1;
    std::size_t at = first;
    for (std::size_t k = first + 1; k < last; ++k) {
      const double d = distance2(points[k], points[first], points[last]);
      if (d > farthest) {
        farthest = d;
        at = k;
      }
    }
    if (farthest > tolerance2) {
      keep[at] = 1;
      spans.emplace_back(first, at);
      spans.emplace_back(at, last);
    }
  }
  std::vector<svg::Vec> out;
  for (std::size_t k = 0; k < n; ++k)
    if (keep[k]) out.push_back(points[k]);
  return out;
}

bool straight(const svg::Subpath& sub) {
  return std::all_of(sub.anchors.begin(), sub.anchors.end(),
                     [](const svg::Anchor& a) { return a.in == a.p && a.out == a.p; });
}

}  // namespace

std::vector<PageShape> pageShapes(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  std::vector<PageShape> shapes;
  std::vector<PageShape> markers;  // the paths of mid markers, after the shapes
  shapes.reserve(d.shapes.size());
  std::size_t place = 0;
  for (std::size_t k = 0; k < d.shapes.size(); ++k) {
    const svg::Shape& shape = d.shapes[k];
    PageShape page;
    page.shape = k;
    page.firstPath = place;
    page.pathCount = shape.paths.size();
    place += shape.paths.size();
    for (AIArtHandle path : shape.paths) {
      if (const Art* art = document.find(path)) {
        page.selected = page.selected || art->selected;
        page.revision = std::max(page.revision, art->revision);
      }
    }
    if (svg::hasMarkerPath(shape)) {
      PageShape marker = page;
      marker.markers = true;
      marker.selected = false;
      markers.push_back(marker);
    }
    shapes.push_back(page);
  }
  shapes.insert(shapes.end(), markers.begin(), markers.end());
  return shapes;
}

double pixelsPerUnit(const svg::Drawing& drawing, std::size_t shape, const ViewState& view) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  const svg::Affine& m = d.shapes.at(shape).localToArtwork;
  // The larger stretch of the linear part (its largest singular value), times the zoom.
  const double p = m.a * m.a + m.b * m.b, q = m.c * m.c + m.d * m.d, r = m.a * m.c + m.b * m.d;
  const double stretch = std::sqrt((p + q) / 2 + std::sqrt((p - q) * (p - q) / 4 + r * r));
  return stretch * view.zoom;
}

std::string encodeShape(const svg::Drawing& drawing, const PageShape& shape, const Document& document,
                        double pixels) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  bool changed = false, any = false;
  const svg::Shape& drawn = d.shapes.at(shape.shape);
  const svg::Geometry geometry = svg::currentGeometry(drawn, document, &changed, &any);
  if (shape.markers) return svg::markerPathData(drawn, geometry);
  const double tolerance = pixels > 0 && std::isfinite(pixels) ? kTolerancePixels / pixels : 0;
  // Enough decimals that rounding moves no point by more than a tenth of the tolerance.
  const int decimals = tolerance > 0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(tolerance / 10))), 0, 12) : 7;
  const double scale = std::pow(10.0, decimals);
  std::string out;
  auto point = [&](const svg::Vec& v) {
    putNumber(out, v.x, decimals, scale);
    putNumber(out, v.y, decimals, scale);
  };
  for (const svg::Subpath& sub : geometry) {
    if (sub.anchors.empty()) continue;
    out.push_back('M');
    point(sub.anchors.front().p);
    if (!straight(sub)) {
      // Each segment a line where both its handles sit on their anchors, else a cubic.
      auto segment = [&](const svg::Anchor& from, const svg::Anchor& to) {
        if (from.out == from.p && to.in == to.p) {
          out.push_back('L');
        } else {
          out.push_back('C');
          point(from.out);
          point(to.in);
        }
        point(to.p);
      };
      if (sub.anchors.size() == 1) {
        out.push_back('L');  // a dot keeps a segment for its caps
        point(sub.anchors.front().p);
      }
      for (std::size_t k = 1; k < sub.anchors.size(); ++k) segment(sub.anchors[k - 1], sub.anchors[k]);
      if (sub.closed && sub.anchors.size() > 1) {
        const svg::Anchor& last = sub.anchors.back();
        const svg::Anchor& first = sub.anchors.front();
        if (!(last.out == last.p && first.in == first.p)) segment(last, first);
      }
    } else {
      std::vector<svg::Vec> points;
      points.reserve(sub.anchors.size() + 1);
      for (const svg::Anchor& a : sub.anchors) points.push_back(a.p);
      // A closed polyline is reduced around its whole outline, back to its first point.
      if (sub.closed && points.size() > 2) points.push_back(points.front());
      std::vector<svg::Vec> kept = reduce(points, tolerance);
      if (sub.closed && sub.anchors.size() > 2 && kept.size() > 1) kept.pop_back();
      out.push_back('L');
      if (kept.size() == 1) point(kept.front());  // a dot keeps a segment for its caps
      for (std::size_t k = 1; k < kept.size(); ++k) point(kept[k]);
    }
    if (sub.closed) out.push_back('Z');
  }
  return out;
}

std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  return svg::viewSvg(d, svg::drawingSplices(d, document, true), 0, 0, 1, 1);
}

}  // namespace simhost::live
