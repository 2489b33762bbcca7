// Lengths, the basic shapes and viewports, read as renderers read them.
#include "svg/Shapes.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/Files.h"

namespace simhost::svg {
namespace {

// The renderer's size of the initial font ("medium"), in user units: an em unless an element
// says otherwise; an ex is half an em, as the renderer takes it.
constexpr double kDefaultFontSize = 12;

}  // namespace

bool parseLength(std::string_view text, double percentBase, double* out, std::string* error, double em) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  std::size_t unitStart = text.size();
  while (unitStart > 0 && (std::isalpha(static_cast<unsigned char>(text[unitStart - 1])) ||
                           text[unitStart - 1] == '%')) {
    --unitStart;
  }
  // An exponent's 'e' is part of the number, not a unit ("1e3", but "2em" is a unit).
  std::string_view unit = text.substr(unitStart);
  std::string_view number = text.substr(0, unitStart);
  if (!unit.empty() && (unit.front() == 'e' || unit.front() == 'E') && unit != "em" && unit != "ex") {
    *error = "not a length: \"" + std::string(text) + "\"";
    return false;
  }
  std::vector<double> values;
  if (!parseNumberList(number, &values, error) || values.size() != 1) {
    *error = "not a length: \"" + std::string(text) + "\"";
    return false;
  }
  double scale = 1;
  if (unit.empty() || unit == "px") scale = 1;
  else if (unit == "pt") scale = 96.0 / 72.0;
  else if (unit == "pc") scale = 16;
  else if (unit == "in") scale = 96;
  else if (unit == "cm") scale = 96 / 2.54;
  else if (unit == "mm") scale = 96 / 25.4;
  else if (unit == "em") scale = em;
  else if (unit == "ex") scale = em / 2;
  else if (unit == "%") scale = percentBase / 100.0;
  else {
    *error = "unknown unit \"" + std::string(unit) + "\"";
    return false;
  }
  *out = values[0] * scale;
  return true;
}

bool ShapeReader::absoluteLength(std::string_view text, double* out) {
  if (text.empty() || text.back() == '%') return false;
  std::string error;
  return parseLength(text, 0, out, &error, kDefaultFontSize);
}

std::string ShapeReader::where(pugi::xml_node node) const {
  const std::ptrdiff_t offset = node.offset_debug();
  return name_ + ":" + lineColumn(text_, offset > 0 ? static_cast<std::size_t>(offset) - 1 : 0) + ": <" +
         node.name() + ">";
}

bool ShapeReader::fail(std::string* error, pugi::xml_node node, const char* attribute,
                       const std::string& what) const {
  *error = where(node) + " attribute " + attribute + ": " + what;
  return false;
}

// The font size at `node`, which em and ex units refer to: its font-size (attribute or style),
// else its parent's. A size the host cannot tell (a keyword such as "larger") counts as the
// parent's.
double ShapeReader::fontSize(pugi::xml_node node) const {
  if (!node || node.type() != pugi::node_element) return kDefaultFontSize;
  const double inherited = fontSize(node.parent());
  std::string value = node.attribute("font-size").value();
  const std::string style = node.attribute("style").value();
  for (std::size_t at = style.find("font-size"); at != std::string::npos; at = style.find("font-size", at + 1)) {
    const std::size_t colon = style.find(':', at);
    if (colon == std::string::npos) break;
    if (style.find_first_not_of(" \t", at + 9) != colon) continue;
    const std::size_t end = style.find(';', colon);
    value = style.substr(colon + 1, end == std::string::npos ? std::string::npos : end - colon - 1);
  }
  if (value.empty()) return inherited;
  double size = 0;
  std::string ignored;
  if (!parseLength(value, inherited, &size, &ignored, inherited) || !(size > 0) || !std::isfinite(size)) {
    return inherited;
  }
  return size;
}

bool ShapeReader::length(pugi::xml_node node, const char* name, double percentBase, double missing,
                         double* out, std::string* error) const {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) {
    *out = missing;
    return true;
  }
  std::string what;
  if (!parseLength(a.value(), percentBase, out, &what, fontSize(node))) return fail(error, node, name, what);
  return true;
}

Affine viewBoxTransform(const std::vector<double>& box, double width, double height,
                        std::string_view preserveAspectRatio) {
  std::string_view p = preserveAspectRatio;
  while (!p.empty() && std::isspace(static_cast<unsigned char>(p.front()))) p.remove_prefix(1);
  if (p.substr(0, 5) == "defer") p.remove_prefix(5);
  while (!p.empty() && std::isspace(static_cast<unsigned char>(p.front()))) p.remove_prefix(1);
  const double sx = width / box[2], sy = height / box[3];
  if (p.substr(0, 4) == "none") {
    return Affine::scale(sx, sy) * Affine::translate(-box[0], -box[1]);
  }
  // "xMinYMid slice" and the like; xMidYMid meet by default.
  double ax = 0.5, ay = 0.5;
  if (p.size() >= 8 && p[0] == 'x' && p[4] == 'Y') {
    const auto part = [](std::string_view v) { return v == "Min" ? 0.0 : v == "Max" ? 1.0 : 0.5; };
    ax = part(p.substr(1, 3));
    ay = part(p.substr(5, 3));
  }
  const bool slice = p.find("slice") != std::string_view::npos;
  const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
  return Affine::translate((width - box[2] * s) * ax, (height - box[3] * s) * ay) * Affine::scale(s, s) *
         Affine::translate(-box[0], -box[1]);
}

bool ShapeReader::geometry(pugi::xml_node node, const std::string& local, Geometry* out,
                         std::string* error) const {
  out->clear();
  const double w = width_, h = height_;
  const double diagonal = std::sqrt((w * w + h * h) / 2);
  auto line = [](Subpath& sub, double x, double y) {
    sub.anchors.push_back({{x, y}, {x, y}, {x, y}, true});
  };
  if (local == "path") {
    std::string what;
    if (!parsePathData(node.attribute("d").value(), out, &what)) {
      return fail(error, node, "d", what);
    }
    // A lone moveto draws nothing.
    std::erase_if(*out, [](const Subpath& s) { return s.anchors.size() < 2 && !s.closed; });
    return true;
  }
  if (local == "rect") {
    double x, y, rw, rh, rx, ry;
    if (!length(node, "x", w, 0, &x, error) || !length(node, "y", h, 0, &y, error) ||
        !length(node, "width", w, 0, &rw, error) || !length(node, "height", h, 0, &rh, error) ||
        !length(node, "rx", w, -1, &rx, error) || !length(node, "ry", h, -1, &ry, error)) {
      return false;
    }
    if (rw < 0) return fail(error, node, "width", "must not be negative");
    if (rh < 0) return fail(error, node, "height", "must not be negative");
    if (rw == 0 || rh == 0) return true;
    // A missing (or negative) radius takes the other one; both are at most half the side.
    if (rx < 0 && ry < 0) rx = ry = 0;
    else if (rx < 0) rx = ry;
    else if (ry < 0) ry = rx;
    rx = std::min(rx, rw / 2);
    ry = std::min(ry, rh / 2);
    Subpath sub;
    sub.closed = true;
    if (rx == 0 || ry == 0) {
      line(sub, x, y);
      line(sub, x + rw, y);
      line(sub, x + rw, y + rh);
      line(sub, x, y + rh);
    } else {
      line(sub, x + rx, y);
      line(sub, x + rw - rx, y);
      appendArc(sub, {x + rw - rx, y}, rx, ry, 0, false, true, {x + rw, y + ry});
      line(sub, x + rw, y + rh - ry);
      appendArc(sub, {x + rw, y + rh - ry}, rx, ry, 0, false, true, {x + rw - rx, y + rh});
      line(sub, x + rx, y + rh);
      appendArc(sub, {x + rx, y + rh}, rx, ry, 0, false, true, {x, y + rh - ry});
      line(sub, x, y + ry);
      appendArc(sub, {x, y + ry}, rx, ry, 0, false, true, {x + rx, y});
      // The last arc ends on the first anchor: fold it into the first.
      sub.anchors.front().in = sub.anchors.back().in;
      sub.anchors.pop_back();
      // Anchors that coincide (a radius of half the side) would be empty segments.
      std::vector<Anchor> merged;
      for (const Anchor& a : sub.anchors) {
        if (!merged.empty() && merged.back().p == a.p) {
          merged.back().out = a.out;
        } else {
          merged.push_back(a);
        }
      }
      if (merged.size() > 1 && merged.back().p == merged.front().p) {
        merged.front().in = merged.back().in;
        merged.pop_back();
      }
      sub.anchors = std::move(merged);
    }
    out->push_back(std::move(sub));
    return true;
  }
  if (local == "circle" || local == "ellipse") {
    double cx, cy, rx, ry;
    if (!length(node, "cx", w, 0, &cx, error) || !length(node, "cy", h, 0, &cy, error)) return false;
    if (local == "circle") {
      if (!length(node, "r", diagonal, 0, &rx, error)) return false;
      if (rx < 0) return fail(error, node, "r", "must not be negative");
      ry = rx;
    } else {
      if (!length(node, "rx", w, -1, &rx, error) || !length(node, "ry", h, -1, &ry, error)) return false;
      if (rx < 0 && ry < 0) return true;
      if (rx < 0) rx = ry;
      if (ry < 0) ry = rx;
    }
    if (rx == 0 || ry == 0) return true;
    Subpath sub;
    sub.closed = true;
    line(sub, cx + rx, cy);
    appendArc(sub, {cx + rx, cy}, rx, ry, 0, false, true, {cx, cy + ry});
    appendArc(sub, {cx, cy + ry}, rx, ry, 0, false, true, {cx - rx, cy});
    appendArc(sub, {cx - rx, cy}, rx, ry, 0, false, true, {cx, cy - ry});
    appendArc(sub, {cx, cy - ry}, rx, ry, 0, false, true, {cx + rx, cy});
    sub.anchors.front().in = sub.anchors.back().in;
    sub.anchors.pop_back();
    for (Anchor& a : sub.anchors) a.corner = false;
    out->push_back(std::move(sub));
    return true;
  }
  if (local == "line") {
    double x1, y1, x2, y2;
    if (!length(node, "x1", w, 0, &x1, error) || !length(node, "y1", h, 0, &y1, error) ||
        !length(node, "x2", w, 0, &x2, error) || !length(node, "y2", h, 0, &y2, error)) {
      return false;
    }
    Subpath sub;
    line(sub, x1, y1);
    line(sub, x2, y2);
    sub.vertices = {0, 1};
    out->push_back(std::move(sub));
    return true;
  }
  // polyline, polygon
  std::vector<double> numbers;
  std::string what;
  if (!parseNumberList(node.attribute("points").value(), &numbers, &what)) {
    return fail(error, node, "points", what);
  }
  if (numbers.size() % 2 != 0) {
    return fail(error, node, "points", "an odd number of coordinates (" +
                                           std::to_string(numbers.size()) + ")");
  }
  if (numbers.size() < 4) return true;  // fewer than two points draw nothing
  Subpath sub;
  for (std::size_t i = 0; i < numbers.size(); i += 2) line(sub, numbers[i], numbers[i + 1]);
  for (std::size_t k = 0; k < sub.anchors.size(); ++k) sub.vertices.push_back(k);
  sub.closed = local == "polygon";
  if (sub.closed && sub.anchors.size() > 1 && samePoint(sub.anchors.back().p, sub.anchors.front().p)) {
    sub.anchors.pop_back();
    sub.vertices.back() = sub.anchors.size();
  }
  if (sub.closed) sub.vertices.push_back(sub.anchors.size());
  out->push_back(std::move(sub));
  return true;
}

}  // namespace simhost::svg
