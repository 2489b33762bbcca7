// Parsers of SVG's path data, transform lists and number lists, and the writer of path data.
#include "svg/Geometry.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <algorithm>

namespace simhost::svg {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over attribute text with SVG's number grammar: "1e-3", ".5.5" (two numbers) and
// "-1-2" (two numbers) are all valid.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : s_(text) {}

  void skipSpace() {
    while (i_ < s_.size() && isSpace(s_[i_])) ++i_;
  }
  // Whitespace with at most one comma in it.
  void skipSeparator() {
    skipSpace();
    if (i_ < s_.size() && s_[i_] == ',') {
      ++i_;
      skipSpace();
    }
  }
  bool atEnd() const { return i_ >= s_.size(); }
  char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  void advance() { ++i_; }
  std::size_t pos() const { return i_; }
  bool startsNumber() const {
    char c = peek();
    if (isDigit(c) || c == '+' || c == '-') return true;
    return c == '.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1]);
  }

  bool number(double* out) {
    std::size_t start = i_, j = i_;
    if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
    std::size_t digits = 0;
    while (j < s_.size() && isDigit(s_[j])) ++j, ++digits;
    if (j < s_.size() && s_[j] == '.') {
      ++j;
      while (j < s_.size() && isDigit(s_[j])) ++j, ++digits;
    }
    if (digits == 0) return false;
    if (j < s_.size() && (s_[j] == 'e' || s_[j] == 'E')) {
      std::size_t k = j + 1;
      if (k < s_.size() && (s_[k] == '+' || s_[k] == '-')) ++k;
      if (k < s_.size() && isDigit(s_[k])) {
        while (k < s_.size() && isDigit(s_[k])) ++k;
        j = k;
      }
    }
    // from_chars takes no leading '+'.
    std::size_t from = (s_[start] == '+') ? start + 1 : start;
    double value = 0;
    auto result = std::from_chars(s_.data() + from, s_.data() + j, value);
    if (result.ec == std::errc::result_out_of_range) {
      value = std::strtod(std::string(s_.substr(from, j - from)).c_str(), nullptr);
    } else if (result.ec != std::errc() || result.ptr != s_.data() + j) {
      return false;
    }
    if (!std::isfinite(value)) return false;
    *out = value;
    i_ = j;
    return true;
  }

  // An arc flag: a single '0' or '1', which needs no separator after it.
  bool flag(bool* out) {
    char c = peek();
    if (c != '0' && c != '1') return false;
    *out = c == '1';
    ++i_;
    return true;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
};

std::string at(const char* what, std::size_t pos) {
  return std::string(what) + " at character " + std::to_string(pos + 1);
}

Vec reflect(Vec control, Vec about) { return {2 * about.x - control.x, 2 * about.y - control.y}; }



}  // namespace

bool samePoint(Vec a, Vec b) {
  const double scale = std::max({1.0, std::fabs(a.x), std::fabs(a.y), std::fabs(b.x), std::fabs(b.y)});
  return std::fabs(a.x - b.x) <= 1e-6 * scale && std::fabs(a.y - b.y) <= 1e-6 * scale;
}

void appendArc(Subpath& sub, Vec from, double rx, double ry, double xAxisRotation, bool largeArc,
               bool sweep, Vec to) {
  auto lineTo = [&](Vec p) { sub.anchors.push_back({p, p, p, true}); };
  if (from == to) return;  // an arc to its own start draws nothing
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0 || ry == 0) {
    lineTo(to);
    return;
  }
  // Endpoint to centre parameterisation.
  const double phi = xAxisRotation * std::numbers::pi / 180.0;
  const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
  const double dx2 = (from.x - to.x) / 2, dy2 = (from.y - to.y) / 2;
  const double x1p = cosPhi * dx2 + sinPhi * dy2;
  const double y1p = -sinPhi * dx2 + cosPhi * dy2;
  // Radii too small for the ends are scaled up until the arc is half an ellipse, centred on the
  // middle of the chord. The scale is taken with hypot so that far ends do not overflow it.
  const double scale = std::hypot(x1p / rx, y1p / ry);
  double coef = 0;
  if (scale >= 1) {
    rx *= scale;
    ry *= scale;
  } else {
    const double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
    const double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
    coef = den == 0 ? 0 : std::sqrt(std::max(0.0, num / den));
  }
  if (largeArc == sweep) coef = -coef;
  const double cxp = coef * rx * y1p / ry;
  const double cyp = -coef * ry * x1p / rx;
  const double cx = cosPhi * cxp - sinPhi * cyp + (from.x + to.x) / 2;
  const double cy = sinPhi * cxp + cosPhi * cyp + (from.y + to.y) / 2;

  auto angle = [](double ux, double uy, double vx, double vy) {
    return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
  };
  const double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry;
  const double vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
  const double theta1 = angle(1, 0, ux, uy);
  double delta = angle(ux, uy, vx, vy);
  if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
  if (sweep && delta < 0) delta += 2 * std::numbers::pi;

  // Ends or radii beyond the range of doubles leave no usable ellipse: the arc is its chord.
  if (!std::isfinite(rx) || !std::isfinite(ry) || !std::isfinite(cx) || !std::isfinite(cy) ||
      !std::isfinite(theta1) || !std::isfinite(delta)) {
    lineTo(to);
    return;
  }
  // Pieces of at most a quarter turn, each one cubic.
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (std::numbers::pi / 2) - 1e-9)));
  const double step = delta / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  auto point = [&](double t) {
    const double ex = rx * std::cos(t), ey = ry * std::sin(t);
    return Vec{cosPhi * ex - sinPhi * ey + cx, sinPhi * ex + cosPhi * ey + cy};
  };
  auto derivative = [&](double t) {
    const double ex = -rx * std::sin(t), ey = ry * std::cos(t);
    return Vec{cosPhi * ex - sinPhi * ey, sinPhi * ex + cosPhi * ey};
  };
  double t = theta1;
  for (int i = 0; i < pieces; ++i) {
    const double t2 = t + step;
    const Vec p0 = point(t), d0 = derivative(t), d1 = derivative(t2);
    Vec p1 = point(t2);
    if (i == pieces - 1) p1 = to;  // end exactly on the given end point
    Anchor& last = sub.anchors.back();
    last.out = {p0.x + k * d0.x, p0.y + k * d0.y};
    sub.anchors.push_back({p1, {p1.x - k * d1.x, p1.y - k * d1.y}, p1, false});
    t = t2;
  }
}

bool parsePathData(std::string_view d, Geometry* out, std::string* error) {
  Geometry geometry;
  Scanner s(d);
  Vec current, start;
  Vec lastCubic, lastQuad;  // second control of the last C/S, control of the last Q/T
  char previous = 0;        // the last command (upper case)
  bool haveSubpath = false;  // a subpath is open for drawing commands

  auto ensureSubpath = [&]() {
    if (!haveSubpath) {
      geometry.push_back({});
      geometry.back().anchors.push_back({current, current, current, true});
      geometry.back().vertices.push_back(0);
      start = current;
      haveSubpath = true;
    }
  };
  auto vertex = [&]() { geometry.back().vertices.push_back(geometry.back().anchors.size() - 1); };
  auto lineTo = [&](Vec p) {
    ensureSubpath();
    geometry.back().anchors.push_back({p, p, p, true});
    vertex();
    current = p;
  };
  auto cubicTo = [&](Vec c1, Vec c2, Vec p) {
    ensureSubpath();
    geometry.back().anchors.back().out = c1;
    geometry.back().anchors.push_back({p, c2, p, true});
    vertex();
    current = p;
  };

  s.skipSpace();
  if (s.atEnd()) {
    *out = {};
    return true;
  }
  char command = 0;
  while (true) {
    s.skipSpace();
    if (s.atEnd()) break;
    char c = s.peek();
    if (std::isalpha(static_cast<unsigned char>(c))) {
      if (std::string_view("MmLlHhVvCcSsQqTtAaZz").find(c) == std::string_view::npos) {
        *error = at((std::string("unknown path command '") + c + "'").c_str(), s.pos());
        return false;
      }
      s.advance();
      command = c;
    } else if (command == 0) {
      *error = at("path data must begin with a moveto command", s.pos());
      return false;
    } else if (command == 'Z' || command == 'z') {
      *error = at("expected a command", s.pos());
      return false;
    } else if (!s.startsNumber()) {
      *error = at((std::string("unexpected '") + c + "'").c_str(), s.pos());
      return false;
    }
    if (previous == 0 && command != 'M' && command != 'm') {
      *error = at("path data must begin with a moveto command", 0);
      return false;
    }
    const bool rel = std::islower(static_cast<unsigned char>(command)) != 0;
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(command)));
    if (upper == 'Z') {
      if (haveSubpath) {
        Subpath& sub = geometry.back();
        // A last anchor on the first one closes the subpath onto it.
        if (sub.anchors.size() > 1 && samePoint(sub.anchors.back().p, sub.anchors.front().p)) {
          sub.anchors.front().in = sub.anchors.back().in;
          sub.anchors.pop_back();
          // Its vertices are now where the subpath ends.
          for (std::size_t& v : sub.vertices) v = std::min(v, sub.anchors.size());
        }
        sub.closed = true;
        sub.vertices.push_back(sub.anchors.size());
      }
      haveSubpath = false;
      current = start;
      previous = 'Z';
      s.skipSpace();
      continue;
    }

    // The arguments of one instance of the command.
    double v[7] = {};
    int argc = 0;
    switch (upper) {
      case 'M': case 'L': case 'T': argc = 2; break;
      case 'H': case 'V': argc = 1; break;
      case 'C': argc = 6; break;
      case 'S': case 'Q': argc = 4; break;
      case 'A': argc = 7; break;
    }
    s.skipSpace();
    for (int i = 0; i < argc; ++i) {
      if (i > 0) s.skipSeparator();
      if (upper == 'A' && (i == 3 || i == 4)) {
        bool f = false;
        if (!s.flag(&f)) {
          *error = at("expected an arc flag (0 or 1)", s.pos());
          return false;
        }
        v[i] = f ? 1 : 0;
        continue;
      }
      if (!s.number(&v[i])) {
        *error = at("expected a number", s.pos());
        return false;
      }
    }
    s.skipSeparator();

    const Vec base = rel ? current : Vec{0, 0};
    auto pt = [&](int i) { return Vec{base.x + v[i], base.y + v[i + 1]}; };
    switch (upper) {
      case 'M': {
        current = pt(0);
        haveSubpath = false;
        ensureSubpath();
        // Further coordinate pairs are implicit lineto commands.
        command = rel ? 'l' : 'L';
        break;
      }
      case 'L': lineTo(pt(0)); break;
      case 'H': lineTo({base.x + v[0], current.y}); break;
      case 'V': lineTo({current.x, base.y + v[0]}); break;
      case 'C': cubicTo(pt(0), pt(2), pt(4)); break;
      case 'S': {
        const Vec c1 = (previous == 'C' || previous == 'S') ? reflect(lastCubic, current) : current;
        cubicTo(c1, pt(0), pt(2));
        break;
      }
      case 'Q':
      case 'T': {
        const Vec q = upper == 'Q' ? pt(0)
                      : (previous == 'Q' || previous == 'T') ? reflect(lastQuad, current)
                                                              : current;
        const Vec p = upper == 'Q' ? pt(2) : pt(0);
        const Vec from = current;
        cubicTo({from.x + 2.0 / 3.0 * (q.x - from.x), from.y + 2.0 / 3.0 * (q.y - from.y)},
                {p.x + 2.0 / 3.0 * (q.x - p.x), p.y + 2.0 / 3.0 * (q.y - p.y)}, p);
        lastQuad = q;
        break;
      }
      case 'A': {
        ensureSubpath();
        const Vec to = pt(5);
        const std::size_t before = geometry.back().anchors.size();
        appendArc(geometry.back(), current, v[0], v[1], v[2], v[3] != 0, v[4] != 0, to);
        if (geometry.back().anchors.size() > before) vertex();
        current = to;
        break;
      }
    }
    if (upper == 'C' || upper == 'S') lastCubic = geometry.back().anchors.back().in;
    previous = upper == 'M' ? 'M' : upper;
  }

  // Corner flags: smooth where the in and out controls line up through the anchor.
  for (Subpath& sub : geometry) {
    for (Anchor& a : sub.anchors) {
      const double ix = a.p.x - a.in.x, iy = a.p.y - a.in.y;
      const double ox = a.out.x - a.p.x, oy = a.out.y - a.p.y;
      const double li = std::hypot(ix, iy), lo = std::hypot(ox, oy);
      a.corner = !(li > 0 && lo > 0 && std::fabs(ix * oy - iy * ox) <= 1e-6 * li * lo &&
                   ix * ox + iy * oy > 0);
    }
  }
  *out = std::move(geometry);
  return true;
}

bool parseTransform(std::string_view text, Affine* out, std::string* error) {
  Scanner s(text);
  Affine result;
  s.skipSpace();
  while (!s.atEnd()) {
    const std::size_t nameStart = s.pos();
    std::string name;
    while (std::isalpha(static_cast<unsigned char>(s.peek()))) {
      name += s.peek();
      s.advance();
    }
    if (name.empty()) {
      *error = at("expected a transform function", s.pos());
      return false;
    }
    s.skipSpace();
    if (s.peek() != '(') {
      *error = at("expected '('", s.pos());
      return false;
    }
    s.advance();
    std::vector<double> args;
    s.skipSpace();
    while (s.peek() != ')') {
      double value = 0;
      if (!s.number(&value)) {
        *error = at("expected a number or ')'", s.pos());
        return false;
      }
      args.push_back(value);
      s.skipSeparator();
    }
    s.advance();
    const std::size_t n = args.size();
    auto bad = [&]() {
      *error = at(("wrong number of arguments to " + name).c_str(), nameStart);
      return false;
    };
    Affine t;
    if (name == "matrix") {
      if (n != 6) return bad();
      t = {args[0], args[1], args[2], args[3], args[4], args[5]};
    } else if (name == "translate") {
      if (n != 1 && n != 2) return bad();
      t = Affine::translate(args[0], n == 2 ? args[1] : 0);
    } else if (name == "scale") {
      if (n != 1 && n != 2) return bad();
      t = Affine::scale(args[0], n == 2 ? args[1] : args[0]);
    } else if (name == "rotate") {
      if (n != 1 && n != 3) return bad();
      t = Affine::rotate(args[0]);
      if (n == 3) {
        t = Affine::translate(args[1], args[2]) * t * Affine::translate(-args[1], -args[2]);
      }
    } else if (name == "skewX") {
      if (n != 1) return bad();
      t = Affine::skewX(args[0]);
    } else if (name == "skewY") {
      if (n != 1) return bad();
      t = Affine::skewY(args[0]);
    } else {
      *error = at(("unknown transform function '" + name + "'").c_str(), nameStart);
      return false;
    }
    result = result * t;
    s.skipSeparator();
  }
  *out = result;
  return true;
}

bool parseNumberList(std::string_view text, std::vector<double>* out, std::string* error) {
  Scanner s(text);
  out->clear();
  s.skipSpace();
  while (!s.atEnd()) {
    double value = 0;
    if (!s.number(&value)) {
      *error = at("expected a number", s.pos());
      return false;
    }
    out->push_back(value);
    s.skipSeparator();
  }
  return true;
}

void appendNumber(std::string& out, double value, int precision) {
  if (value == 0) value = 0;  // no "-0"
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
  out += buffer;
}

std::string formatNumber(double value, int precision) {
  std::string out;
  appendNumber(out, value, precision);
  return out;
}

void appendPoint(std::string& out, Vec p, int precision) {
  appendNumber(out, p.x, precision);
  out += ',';
  appendNumber(out, p.y, precision);
}

std::string formatPathData(const Geometry& geometry, int precision) {
  std::string d;
  for (const Subpath& sub : geometry) {
    if (sub.anchors.empty()) continue;
    if (!d.empty()) d += ' ';
    d += 'M';
    appendPoint(d, sub.anchors[0].p, precision);
    // A subpath of one point (a dot, which round or square caps draw) keeps a segment of zero
    // length: a lone moveto would draw nothing.
    if (sub.anchors.size() == 1) {
      d += " L";
      appendPoint(d, sub.anchors[0].p, precision);
    }
    auto segment = [&](const Anchor& from, const Anchor& to) {
      if (from.out == from.p && to.in == to.p) {
        d += " L";
        appendPoint(d, to.p, precision);
      } else {
        d += " C";
        appendPoint(d, from.out, precision);
        d += ' ';
        appendPoint(d, to.in, precision);
        d += ' ';
        appendPoint(d, to.p, precision);
      }
    };
    for (std::size_t i = 1; i < sub.anchors.size(); ++i) segment(sub.anchors[i - 1], sub.anchors[i]);
    if (sub.closed) {
      const Anchor& last = sub.anchors.back();
      const Anchor& first = sub.anchors.front();
      // A curved closing segment is written out; a straight one is the close command itself.
      if (sub.anchors.size() > 1 && !(last.out == last.p && first.in == first.p)) {
        segment(last, first);
      }
      d += " Z";
    }
  }
  return d;
}

// ---- Affine ----

Affine Affine::translate(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
Affine Affine::scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
Affine Affine::rotate(double degrees) {
  const double r = degrees * std::numbers::pi / 180.0;
  return {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0};
}
Affine Affine::skewX(double degrees) {
  return {1, 0, std::tan(degrees * std::numbers::pi / 180.0), 1, 0, 0};
}
Affine Affine::skewY(double degrees) {
  return {1, std::tan(degrees * std::numbers::pi / 180.0), 0, 1, 0, 0};
}

Affine Affine::operator*(const Affine& r) const {
  return {a * r.a + c * r.b,       b * r.a + d * r.b,       a * r.c + c * r.d,
          b * r.c + d * r.d,       a * r.e + c * r.f + e,   b * r.e + d * r.f + f};
}

bool Affine::invertible() const {
  const double det = a * d - b * c;
  return std::isfinite(det) && det != 0;
}

Affine Affine::inverse() const {
  if (!invertible()) return {};
  const double det = a * d - b * c;
  return {d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
}

void Affine::apply(double& x, double& y) const {
  const double nx = a * x + c * y + e;
  y = b * x + d * y + f;
  x = nx;
}

AIRealPoint Affine::apply(AIRealPoint p) const {
  double x = p.h, y = p.v;
  apply(x, y);
  return {static_cast<AIReal>(x), static_cast<AIReal>(y)};
}

}  // namespace simhost::svg
