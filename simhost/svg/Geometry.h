// Geometry of SVG shapes inside the importer: subpaths of anchor points with in and out controls
// (the host's segment model, in double precision and the element's own coordinates), and the
// parsers of the attribute languages that describe them.
#ifndef SARVELLO_SIMHOST_SVG_GEOMETRY_H
#define SARVELLO_SIMHOST_SVG_GEOMETRY_H

#include <string>
#include <string_view>
#include <vector>

#include "svg/Svg.h"

namespace simhost::svg {

struct Vec {
  double x = 0;
  double y = 0;
  bool operator==(const Vec&) const = default;
};

struct Anchor {
  Vec p, in, out;
  bool corner = true;
};

struct Subpath {
  std::vector<Anchor> anchors;
  bool closed = false;
  // The vertices that markers are drawn at, in order, as indices of anchors; the index
  // anchors.size() is the point where a closed subpath ends, back on its first anchor. The
  // anchors inside an arc are no vertices, and a vertex may come twice (a segment of no length).
  std::vector<std::size_t> vertices;
};

using Geometry = std::vector<Subpath>;

// Whether two anchors are the same point up to rounding: a subpath written with relative
// commands seldom returns exactly to its start, and a closing anchor that does is folded away.
bool samePoint(Vec a, Vec b);

// Path data ("d"). False with *error ("expected a number at character 12") on malformed data.
bool parsePathData(std::string_view d, Geometry* out, std::string* error);

// A transform list ("translate(10) rotate(45 5 5)"). False with *error on malformed text.
bool parseTransform(std::string_view text, Affine* out, std::string* error);

// A list of numbers separated by whitespace and/or commas ("points", "viewBox").
bool parseNumberList(std::string_view text, std::vector<double>* out, std::string* error);

// Appends a cubic approximation of the elliptical arc from `from` to `to` (the arc command's
// parameters) as anchors of `sub`, whose last anchor is at `from`.
void appendArc(Subpath& sub, Vec from, double rx, double ry, double xAxisRotation, bool largeArc,
               bool sweep, Vec to);

// Path data for the geometry, numbers with `precision` significant digits.
std::string formatPathData(const Geometry& geometry, int precision = 7);
// A number of path data or an attribute with `precision` significant digits (never "-0"), and a
// point as "x,y".
void appendNumber(std::string& out, double value, int precision);
std::string formatNumber(double value, int precision = 9);
void appendPoint(std::string& out, Vec p, int precision = 7);

}  // namespace simhost::svg

#endif
