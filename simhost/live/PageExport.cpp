#include "live/PageExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "svg/DrawingImpl.h"

namespace simhost::live {

namespace {

// How far a reduced polyline may stray from the one it stands for, in view pixels.
constexpr double kTolerancePixels = 0.25;

void put32(std::string& out, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 24)};
  out.append(bytes, 4);
}

// A coordinate rounded to the shape's decimals, so that a point that moved by less than the page
// can show keeps its bytes and its shape is not sent again for it.
void putFloat(std::string& out, double v, double scale) {
  const float f = static_cast<float>(std::isfinite(v * scale) ? std::round(v * scale) / scale : v);
  std::uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  put32(out, bits);
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
  shapes.reserve(d.shapes.size());
  std::size_t place = 0;
  for (const svg::Shape& shape : d.shapes) {
    PageShape page;
    for (AIArtHandle path : shape.paths) {
      page.paths.push_back(place++);
      if (const Art* art = document.find(path)) {
        page.selected = page.selected || art->selected;
        page.revision = std::max(page.revision, art->revision);
      }
    }
    shapes.push_back(std::move(page));
  }
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

std::string encodeShape(const svg::Drawing& drawing, std::size_t shape, const Document& document,
                        double pixels) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  bool changed = false, any = false;
  const svg::Geometry geometry = svg::currentGeometry(d.shapes.at(shape), document, &changed, &any);
  const double tolerance = pixels > 0 && std::isfinite(pixels) ? kTolerancePixels / pixels : 0;
  // Enough decimals that rounding moves no point by more than a tenth of the tolerance.
  const int decimals = tolerance > 0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(tolerance / 10))), 0, 12) : 7;
  const double scale = std::pow(10.0, decimals);
  std::string out;
  put32(out, static_cast<std::uint32_t>(geometry.size()));
  out.push_back(static_cast<char>(decimals));
  out.append(3, '\0');
  for (const svg::Subpath& sub : geometry) {
    const bool curves = !straight(sub);
    out.push_back(static_cast<char>((sub.closed ? 1 : 0) | (curves ? 2 : 0)));
    out.append(3, '\0');
    if (curves) {
      put32(out, static_cast<std::uint32_t>(sub.anchors.size()));
      for (const svg::Anchor& a : sub.anchors) {
        for (const svg::Vec& v : {a.p, a.in, a.out}) {
          putFloat(out, v.x, scale);
          putFloat(out, v.y, scale);
        }
      }
      continue;
    }
    std::vector<svg::Vec> points;
    points.reserve(sub.anchors.size() + 1);
    for (const svg::Anchor& a : sub.anchors) points.push_back(a.p);
    // A closed polyline is reduced around its whole outline, back to its first point.
    if (sub.closed && points.size() > 2) points.push_back(points.front());
    std::vector<svg::Vec> kept = reduce(points, tolerance);
    if (sub.closed && sub.anchors.size() > 2 && kept.size() > 1) kept.pop_back();
    put32(out, static_cast<std::uint32_t>(kept.size()));
    for (const svg::Vec& v : kept) {
      putFloat(out, v.x, scale);
      putFloat(out, v.y, scale);
    }
  }
  return out;
}

std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  std::vector<svg::Splice> splices;
  for (std::size_t k = 0; k < d.shapes.size(); ++k) {
    const svg::Shape& shape = d.shapes[k];
    bool changed = false, any = false;
    svg::rewriteShape(d.source, shape, svg::formatPathData(svg::currentGeometry(shape, document, &changed, &any)), &splices);
    const svg::StartTag tag = svg::readStartTag(d.source, shape.nameOffset);
    splices.push_back({tag.attributesEnd, tag.attributesEnd, " data-shape=\"" + std::to_string(k) + "\""});
  }
  return svg::viewSvg(d, std::move(splices), 0, 0, 1, 1);
}

}  // namespace simhost::live
