// SVG import and export.
//
// The importer reads the file with pugixml, walks the rendered SVG elements with their
// transforms and turns every shape into path art. The exporter does not re-serialise the XML:
// it copies the input text and splices new geometry into the start tags of the shapes whose art
// changed, so every byte it does not need to touch stays as it was.
#include "svg/Svg.h"

#include <algorithm>
#include <array>
#include <map>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <stdexcept>
#include <zlib.h>

#include "core/HostImpl.h"
#include "svg/Files.h"
#include "svg/Geometry.h"

namespace simhost::svg {

namespace {

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";

// One source element that became art.
struct Shape {
  pugi::xml_node node;
  std::size_t nameOffset = 0;       // offset of the element's name in the source text
  std::string localName;            // "circle"
  std::string qualifiedName;        // as written: "circle" or "svg:circle"
  Affine localToArtwork;            // the element's own coordinates to artwork
  std::set<std::string> ids;        // its id and the ids of the groups around it
  AIArtHandle art = nullptr;        // the path, or the compound path
  std::vector<AIArtHandle> paths;   // the path art, one per subpath
  std::vector<Art> imported;        // the path art as created, to tell changed geometry
};

struct SourceRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

}  // namespace

struct Drawing::Impl {
  std::string name;
  std::string source;
  pugi::xml_document xml;
  Affine userToArtwork;
  Affine artworkToUser;
  double canvas[4] = {0, 0, 0, 0};
  std::vector<Shape> shapes;
  std::vector<AIArtHandle> art;
  std::vector<pugi::xml_node> leftOut;  // elements the import left out
};

struct DrawingAccess {
  static std::unique_ptr<Drawing> make(std::unique_ptr<Drawing::Impl> impl) {
    return std::unique_ptr<Drawing>(new Drawing(std::move(impl)));
  }
  static const Drawing::Impl& impl(const Drawing& d) { return *d.impl_; }
};

Drawing::Drawing(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Drawing::~Drawing() = default;

const std::string& Drawing::name() const { return impl_->name; }
const std::string& Drawing::source() const { return impl_->source; }
const Affine& Drawing::userToArtwork() const { return impl_->userToArtwork; }
const Affine& Drawing::artworkToUser() const { return impl_->artworkToUser; }
double Drawing::canvasX() const { return impl_->canvas[0]; }
double Drawing::canvasY() const { return impl_->canvas[1]; }
double Drawing::canvasWidth() const { return impl_->canvas[2]; }
double Drawing::canvasHeight() const { return impl_->canvas[3]; }
const std::vector<AIArtHandle>& Drawing::art() const { return impl_->art; }
std::size_t Drawing::shapeCount() const { return impl_->shapes.size(); }

Affine Drawing::userToView(const ViewState& view) const {
  // The inverse of ViewState::toArtwork, without rounding to pixels.
  const Affine artworkToView{view.zoom, 0, 0, -view.zoom,
                             view.width * 0.5 - view.center.h * view.zoom,
                             view.height * 0.5 + view.center.v * view.zoom};
  return artworkToView * impl_->userToArtwork;
}

std::vector<AIArtHandle> Drawing::paths() const {
  std::vector<AIArtHandle> out;
  for (const Shape& shape : impl_->shapes) out.insert(out.end(), shape.paths.begin(), shape.paths.end());
  return out;
}

std::string Drawing::elementWithId(const std::string& id) const {
  const pugi::xml_node node = impl_->xml.find_node([&](pugi::xml_node n) {
    return n.type() == pugi::node_element && id == n.attribute("id").value();
  });
  if (!node) return {};
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

bool Drawing::leftOut(const std::string& id) const {
  for (pugi::xml_node n : impl_->leftOut) {
    for (; n && n.type() == pugi::node_element; n = n.parent())
      if (id == n.attribute("id").value()) return true;
  }
  return false;
}

std::vector<AIArtHandle> Drawing::pathsWithId(const std::string& id) const {
  std::vector<AIArtHandle> out;
  for (const Shape& shape : impl_->shapes) {
    if (shape.ids.count(id) != 0) out.insert(out.end(), shape.paths.begin(), shape.paths.end());
  }
  return out;
}

namespace {

// ---- Places in the source, for messages ----

// The offset of the '<' that opens the element.
std::size_t tagOffset(pugi::xml_node node) {
  const std::ptrdiff_t offset = node.offset_debug();
  return offset > 0 ? static_cast<std::size_t>(offset) - 1 : 0;
}

// ---- Names and namespaces ----

std::string_view prefixOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
}

std::string_view localOf(std::string_view qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The namespace that `prefix` (empty: the default namespace) has at `node`, or none.
std::optional<std::string> namespaceOf(pugi::xml_node node, std::string_view prefix) {
  const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return std::string(a.value());
  }
  return std::nullopt;
}

// The element's local name when it is an SVG element, else empty. An element without a prefix
// and without a default namespace is taken as SVG (many files omit the declaration).
std::string svgLocalName(pugi::xml_node node) {
  const std::string_view qualified = node.name();
  const std::string_view prefix = prefixOf(qualified);
  const std::optional<std::string> ns = namespaceOf(node, prefix);
  if (prefix.empty() ? (!ns || *ns == kSvgNamespace || ns->empty()) : (ns && *ns == kSvgNamespace)) {
    return std::string(localOf(qualified));
  }
  return {};
}

// ---- Import ----

class Importer {
 public:
  Importer(Drawing::Impl& impl, const ImportOptions& options) : d_(impl), options_(options) {}

  bool run(std::string* error) {
    pugi::xml_parse_result parsed =
        d_.xml.load_buffer(d_.source.data(), d_.source.size(),
                           pugi::parse_default | pugi::parse_comments | pugi::parse_doctype,
                           pugi::encoding_utf8);
    if (!parsed) {
      *error = d_.name + ":" + lineColumn(d_.source, static_cast<std::size_t>(parsed.offset)) +
               ": not well-formed XML: " + parsed.description();
      return false;
    }
    pugi::xml_node root = d_.xml.document_element();
    if (!root || svgLocalName(root) != "svg") {
      *error = d_.name + ": not an SVG document: the root element is <" +
               std::string(root ? root.name() : "") + ">, not <svg>";
      if (!root) *error = d_.name + ": not an SVG document: it has no root element";
      return false;
    }
    rootCanvas(root);
    if (!walk(root, Affine{}, {}, error)) return false;
    return true;
  }

  // Shapes and geometry in user space, before art is made.
  struct Pending {
    Shape shape;
    Geometry geometry;  // in the element's own coordinates
  };
  std::vector<Pending> pending;
  std::optional<std::array<double, 4>> canvas;

 private:
  std::string where(pugi::xml_node node) const {
    return d_.name + ":" + lineColumn(d_.source, tagOffset(node)) + ": <" + node.name() + ">";
  }

  bool fail(std::string* error, pugi::xml_node node, const char* attribute, const std::string& what) {
    *error = where(node) + " attribute " + attribute + ": " + what;
    return false;
  }

 public:
  // The element is not imported: it stays in the file as it was, and a warning names it. `why`
  // begins with where(node), as the messages of fail() do.
  void leaveOut(pugi::xml_node node, const std::string& why) {
    std::string reason = why;
    const std::string place = where(node);
    if (reason.compare(0, place.size(), place) == 0) reason.erase(0, place.size());
    while (!reason.empty() && (reason.front() == ':' || reason.front() == ' ')) reason.erase(0, 1);
    warnings.push_back(describe(node) + ": left out, written back as it was: " + reason);
    d_.leftOut.push_back(node);
  }
  // "file:line:column: <path id="p1">".
  std::string describe(pugi::xml_node node) const {
    std::string text = where(node);
    if (pugi::xml_attribute id = node.attribute("id")) {
      text.pop_back();
      text += std::string(" id=\"") + id.value() + "\">";
    }
    return text;
  }
  std::vector<std::string> warnings;

 private:

  void rootCanvas(pugi::xml_node root) {
    std::vector<double> box;
    std::string ignored;
    if (pugi::xml_attribute vb = root.attribute("viewBox");
        vb && parseNumberList(vb.value(), &box, &ignored) && box.size() == 4 && box[2] > 0 &&
        box[3] > 0) {
      canvas = std::array<double, 4>{box[0], box[1], box[2], box[3]};
      return;
    }
    double w = 0, h = 0;
    if (absoluteLength(root.attribute("width").value(), &w) &&
        absoluteLength(root.attribute("height").value(), &h) && w > 0 && h > 0) {
      canvas = std::array<double, 4>{0, 0, w, h};
    }
  }

  // A length without a percentage, in user units.
  static bool absoluteLength(std::string_view text, double* out) {
    if (text.empty() || text.back() == '%') return false;
    std::string error;
    return parseLengthValue(text, 0, out, &error);
  }

  // A length or coordinate: a number with an optional unit; `percentBase` is what 100% means.
  static bool parseLengthValue(std::string_view text, double percentBase, double* out,
                               std::string* error, double em = kDefaultFontSize) {
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
    if (!unit.empty() && (unit.front() == 'e' || unit.front() == 'E') && unit != "em" &&
        unit != "ex") {
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

  // The renderer's size of the initial font ("medium"), in user units: an em unless an element
  // says otherwise; an ex is half an em, as the renderer takes it.
  static constexpr double kDefaultFontSize = 12;

  // The font size at `node`, which em and ex units refer to: its font-size (attribute or style),
  // else its parent's. A size the host cannot tell (a keyword such as "larger") counts as the
  // parent's.
  double fontSize(pugi::xml_node node) const {
    if (!node || node.type() != pugi::node_element) return kDefaultFontSize;
    const double inherited = fontSize(node.parent());
    std::string value = node.attribute("font-size").value();
    const std::string style = node.attribute("style").value();
    for (std::size_t at = style.find("font-size"); at != std::string::npos;
         at = style.find("font-size", at + 1)) {
      const std::size_t colon = style.find(':', at);
      if (colon == std::string::npos) break;
      if (style.find_first_not_of(" \t", at + 9) != colon) continue;
      const std::size_t end = style.find(';', colon);
      value = style.substr(colon + 1, end == std::string::npos ? std::string::npos : end - colon - 1);
    }
    if (value.empty()) return inherited;
    double size = 0;
    std::string ignored;
    if (!parseLengthValue(value, inherited, &size, &ignored, inherited) || !(size > 0) ||
        !std::isfinite(size)) {
      return inherited;
    }
    return size;
  }

  double canvasWidth() const { return canvas ? (*canvas)[2] : 100; }
  double canvasHeight() const { return canvas ? (*canvas)[3] : 100; }

  // The attribute as a length; `missing` when absent.
  bool length(pugi::xml_node node, const char* name, double percentBase, double missing,
              double* out, std::string* error) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) {
      *out = missing;
      return true;
    }
    std::string what;
    if (!parseLengthValue(a.value(), percentBase, out, &what, fontSize(node))) {
      return fail(error, node, name, what);
    }
    return true;
  }

  static bool hidden(pugi::xml_node node) {
    if (std::string_view(node.attribute("display").value()) == "none") return true;
    std::string style = node.attribute("style").value();
    style.erase(std::remove_if(style.begin(), style.end(),
                               [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
                style.end());
    return style.find("display:none") != std::string::npos;
  }

  bool walk(pugi::xml_node parent, const Affine& ctm, const std::set<std::string>& ids,
            std::string* error, int depth = 0) {
    // Each level of groups is a level of recursion: a bound keeps a hostile file from
    // exhausting the stack.
    constexpr int kMaxDepth = 256;
    if (depth > kMaxDepth) {
      *error = where(parent) + ": elements nested deeper than " + std::to_string(kMaxDepth) + " levels";
      return false;
    }
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      const std::string local = svgLocalName(node);
      if (local.empty() || hidden(node)) continue;
      static const std::set<std::string> containers = {"g", "a", "switch", "svg"};
      static const std::set<std::string> shapes = {"path",    "rect",     "circle", "ellipse",
                                                   "line",    "polyline", "polygon"};
      const bool container = containers.count(local) != 0;
      if (!container && shapes.count(local) == 0) continue;  // kept, not imported

      Affine transform;
      if (pugi::xml_attribute t = node.attribute("transform")) {
        std::string what;
        if (!parseTransform(t.value(), &transform, &what)) {
          std::string why;
          fail(&why, node, "transform", what);
          leaveOut(node, why);
          continue;
        }
      }
      Affine local2user = ctm * transform;
      std::set<std::string> innerIds = ids;
      if (pugi::xml_attribute id = node.attribute("id")) innerIds.insert(id.value());

      if (local == "svg") {
        // A nested viewport: its position, and its viewBox scaled into its size (centred).
        double x = 0, y = 0, w = 0, h = 0;
        std::string why;
        if (!length(node, "x", canvasWidth(), 0, &x, &why) ||
            !length(node, "y", canvasHeight(), 0, &y, &why) ||
            !length(node, "width", canvasWidth(), canvasWidth(), &w, &why) ||
            !length(node, "height", canvasHeight(), canvasHeight(), &h, &why)) {
          leaveOut(node, why);
          continue;
        }
        local2user = local2user * Affine::translate(x, y);
        std::vector<double> box;
        std::string ignored;
        if (pugi::xml_attribute vb = node.attribute("viewBox");
            vb && parseNumberList(vb.value(), &box, &ignored) && box.size() == 4 && box[2] > 0 &&
            box[3] > 0 && w > 0 && h > 0) {
          const double s = std::min(w / box[2], h / box[3]);
          local2user = local2user *
                       Affine::translate((w - box[2] * s) / 2, (h - box[3] * s) / 2) *
                       Affine::scale(s, s) * Affine::translate(-box[0], -box[1]);
        }
      }
      if (container) {
        if (!walk(node, local2user, innerIds, error, depth + 1)) return false;
        continue;
      }
      Pending p;
      std::string why;
      if (!shapeGeometry(node, local, &p.geometry, &why)) {
        leaveOut(node, why);
        continue;
      }
      if (p.geometry.empty() || !local2user.invertible()) continue;  // draws nothing
      p.shape.node = node;
      p.shape.nameOffset = static_cast<std::size_t>(node.offset_debug());
      p.shape.localName = local;
      p.shape.qualifiedName = node.name();
      p.shape.localToArtwork = local2user;  // user space for now; artwork once the fit is known
      p.shape.ids = std::move(innerIds);
      pending.push_back(std::move(p));
    }
    return true;
  }

  bool shapeGeometry(pugi::xml_node node, const std::string& local, Geometry* out,
                     std::string* error) {
    out->clear();
    const double w = canvasWidth(), h = canvasHeight();
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
    sub.closed = local == "polygon";
    if (sub.closed && sub.anchors.size() > 1 && samePoint(sub.anchors.back().p, sub.anchors.front().p)) {
      sub.anchors.pop_back();
    }
    out->push_back(std::move(sub));
    return true;
  }

  Drawing::Impl& d_;
  [[maybe_unused]] const ImportOptions& options_;
};

// The host's pasteboard: the artwork area art may occupy, a square of this many overlay squares
// across centred on the view, as drawing applications bound theirs. Art beyond it (a transform that
// throws it far away, coordinates that are not finite) would make paths the tool cannot convert.
constexpr double kPasteboardSquares = 256;

struct Pasteboard {
  double cx = 0, cy = 0, half = 0;
};

AIRealPoint toArtwork(Vec v, const Affine& m, const Pasteboard& board) {
  m.apply(v.x, v.y);
  if (!(std::fabs(v.x - board.cx) <= board.half) || !(std::fabs(v.y - board.cy) <= board.half)) {
    throw std::range_error(std::isfinite(v.x) && std::isfinite(v.y)
                               ? "its coordinates reach beyond the host's pasteboard"
                               : "its coordinates are not finite");
  }
  return {static_cast<AIReal>(v.x), static_cast<AIReal>(v.y)};
}

AIPathSegment toSegment(const Anchor& a, const Affine& m, const Pasteboard& board) {
  AIPathSegment s{};
  s.p = toArtwork(a.p, m, board);
  s.in = toArtwork(a.in, m, board);
  s.out = toArtwork(a.out, m, board);
  s.corner = a.corner ? 1 : 0;
  return s;
}

Anchor toAnchor(const AIPathSegment& s, const Affine& m) {
  Anchor a;
  a.p = {s.p.h, s.p.v};
  a.in = {s.in.h, s.in.v};
  a.out = {s.out.h, s.out.v};
  m.apply(a.p.x, a.p.y);
  m.apply(a.in.x, a.in.y);
  m.apply(a.out.x, a.out.y);
  a.corner = s.corner != 0;
  return a;
}

bool sameSegments(const std::vector<AIPathSegment>& a, const std::vector<AIPathSegment>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].p.h != b[i].p.h || a[i].p.v != b[i].p.v || a[i].in.h != b[i].in.h ||
        a[i].in.v != b[i].in.v || a[i].out.h != b[i].out.h || a[i].out.v != b[i].out.v) {
      return false;
    }
  }
  return true;
}

// A gzip-compressed drawing (.svgz) inflated; false with *error when the stream is broken or
// inflates beyond the size limit of drawing files.
bool inflateGzip(const std::string& bytes, std::string* out, std::string* error) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) {
    *error = "cannot read the compressed drawing";
    return false;
  }
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(bytes.size(), UINT32_MAX));
  std::string text;
  char buffer[65536];
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    text.append(buffer, sizeof buffer - z.avail_out);
    if (text.size() > kMaxFileBytes) {
      inflateEnd(&z);
      *error = "the compressed drawing inflates to more than " + std::to_string(kMaxFileBytes >> 20) + " MB";
      return false;
    }
    if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // the stream ends early
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END) {
    *error = std::string("the compressed drawing is broken (") + (z.msg ? z.msg : "it ends early") + ")";
    return false;
  }
  *out = std::move(text);
  return true;
}

// The drawing as UTF-8 text: inflated when it is compressed; refused, with the encoding named,
// when it is written in an encoding the host does not read.
bool decodeDrawing(const std::string& bytes, std::string* text, std::string* error) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
      static_cast<unsigned char>(bytes[1]) == 0x8B) {
    if (!inflateGzip(bytes, text, error)) return false;
  } else {
    *text = bytes;
  }
  const auto starts = [&](std::initializer_list<unsigned char> prefix) {
    if (text->size() < prefix.size()) return false;
    std::size_t k = 0;
    for (unsigned char c : prefix)
      if (static_cast<unsigned char>((*text)[k++]) != c) return false;
    return true;
  };
  const char* unsupported = nullptr;
  if (starts({0xFF, 0xFE, 0, 0}) || starts({0, 0, 0xFE, 0xFF}) || starts({'<', 0, 0, 0}) ||
      starts({0, 0, 0, '<'})) {
    unsupported = "UTF-32";
  } else if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF}) || starts({'<', 0}) || starts({0, '<'})) {
    unsupported = "UTF-16";
  }
  if (unsupported != nullptr) {
    *error = std::string("the drawing is written in ") + unsupported +
             ", which is not supported: save it as UTF-8";
    return false;
  }
  // The encoding the XML declaration names, when it names one.
  const std::size_t start = starts({0xEF, 0xBB, 0xBF}) ? 3 : 0;  // after a UTF-8 byte order mark
  if (text->compare(start, 5, "<?xml") == 0) {
    const std::size_t end = text->find("?>");
    const std::string declaration = text->substr(0, end);
    const std::size_t at = declaration.find("encoding");
    if (at != std::string::npos) {
      const std::size_t quote = declaration.find_first_of("\"'", at);
      const std::size_t close = quote == std::string::npos ? quote : declaration.find(declaration[quote], quote + 1);
      if (quote != std::string::npos && close != std::string::npos) {
        std::string encoding = declaration.substr(quote + 1, close - quote - 1);
        std::string lower = encoding;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower != "utf-8" && lower != "utf8" && lower != "us-ascii" && lower != "ascii") {
          *error = "the drawing declares the encoding \"" + encoding +
                   "\", which is not supported: save it as UTF-8";
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace

ImportResult importSvg(const std::string& bytes, const std::string& name, Document& document,
                       const ViewState& view, const ImportOptions& options) {
  ImportResult result;
  auto impl = std::make_unique<Drawing::Impl>();
  impl->name = name;
  std::string why;
  if (!decodeDrawing(bytes, &impl->source, &why)) {
    result.error = name + ": " + why;
    return result;
  }
  const std::string& text = impl->source;
  Importer importer(*impl, options);
  if (!importer.run(&result.error)) return result;

  // The canvas: the file's own, else the bounds of its shapes.
  std::array<double, 4> canvas{0, 0, 0, 0};
  if (importer.canvas) {
    canvas = *importer.canvas;
  } else {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const auto& p : importer.pending) {
      for (const Subpath& sub : p.geometry) {
        for (const Anchor& a : sub.anchors) {
          for (Vec v : {a.p, a.in, a.out}) {
            p.shape.localToArtwork.apply(v.x, v.y);
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
            minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
          }
        }
      }
    }
    if (minX <= maxX) canvas = {minX, minY, maxX - minX, maxY - minY};
  }
  std::copy(canvas.begin(), canvas.end(), impl->canvas);

  if (options.fit) {
    const double side = std::max(canvas[2], canvas[3]);
    const double s = side > 0 ? options.fitFraction * options.overlaySide / side : 1.0;
    impl->userToArtwork = Affine::translate(view.center.h, view.center.v) * Affine::scale(s, -s) *
                          Affine::translate(-(canvas[0] + canvas[2] / 2), -(canvas[1] + canvas[3] / 2));
  } else {
    impl->userToArtwork = Affine::scale(1, -1);
  }
  impl->artworkToUser = impl->userToArtwork.inverse();

  Pasteboard board;
  board.cx = view.center.h;
  board.cy = view.center.v;
  board.half = kPasteboardSquares * std::max(1.0, options.overlaySide) / 2;

  // Make the art, one shape at a time. A shape that cannot be made (beyond the pasteboard, more
  // segments than a path holds) is taken out of the document again and left out with a warning.
  std::vector<std::string> warnings = std::move(importer.warnings);
  for (auto& p : importer.pending) {
    Shape& shape = p.shape;
    std::vector<AIArtHandle> added;
    try {
      shape.localToArtwork = impl->userToArtwork * shape.localToArtwork;
      const int sourceIndex = static_cast<int>(impl->shapes.size());
      std::vector<Art> arts;
      for (std::size_t k = 0; k < p.geometry.size(); ++k) {
        Art art;
        art.kind = kPathArt;
        art.closed = p.geometry[k].closed;
        art.selected = options.select;
        art.sourceIndex = sourceIndex;
        art.subpathIndex = static_cast<int>(k);
        for (const Anchor& a : p.geometry[k].anchors)
          art.segments.push_back(toSegment(a, shape.localToArtwork, board));
        arts.push_back(std::move(art));
      }
      if (arts.size() == 1) {
        shape.art = document.addArt(arts[0]);
        added.push_back(shape.art);
        shape.paths.push_back(shape.art);
      } else {
        Art compound;
        compound.kind = kCompoundPathArt;
        compound.selected = options.select;
        compound.sourceIndex = sourceIndex;
        shape.art = document.addArt(compound);
        added.push_back(shape.art);
        const std::uint64_t parent = handleId(HandleKind::Art, shape.art);
        for (Art& art : arts) {
          art.parent = parent;
          shape.paths.push_back(document.addArt(art));
          added.push_back(shape.paths.back());
        }
      }
      shape.imported = std::move(arts);
    } catch (const std::exception& e) {
      for (AIArtHandle h : added) document.remove(h);
      std::string place = name + ":" + lineColumn(text, tagOffset(shape.node)) + ": <" +
                          shape.qualifiedName;
      if (pugi::xml_attribute id = shape.node.attribute("id"))
        place += std::string(" id=\"") + id.value() + "\"";
      warnings.push_back(place + ">: left out, written back as it was: " + e.what());
      impl->leftOut.push_back(shape.node);
      continue;
    }
    impl->art.push_back(shape.art);
    impl->shapes.push_back(std::move(shape));
  }
  result.warnings = warnings;
  // A drawing none of whose shapes could be used is refused as a whole.
  if (impl->shapes.empty() && !warnings.empty()) {
    result.error = name + ": none of its shapes can be stirred (" + std::to_string(warnings.size()) +
                   (warnings.size() == 1 ? " shape left out)" : " shapes left out)");
    return result;
  }
  result.drawing = DrawingAccess::make(std::move(impl));
  return result;
}

ImportResult importSvgFile(const std::string& path, Document& document, const ViewState& view,
                           const ImportOptions& options) {
  std::string text;
  ImportResult result;
  if (!readWholeFile(path, &text, &result.error)) return result;
  return importSvg(text, path, document, view, options);
}

// ---- Export ----

namespace {

struct Attribute {
  std::string name;
  std::size_t spaceBegin = 0;  // the whitespace before the name
  std::size_t valueBegin = 0;  // inside the quotes
  std::size_t valueEnd = 0;
};

struct StartTag {
  std::size_t nameBegin = 0, nameEnd = 0;
  std::vector<Attribute> attributes;
  std::size_t attributesEnd = 0;  // where "/>" or ">" begins, after trailing whitespace
  bool selfClosing = false;
  std::size_t end = 0;  // one past '>'
};

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the start tag whose name begins at `offset`. The text is well-formed XML (pugixml read
// it), so the scan needs no error handling beyond staying inside the text.
StartTag readStartTag(const std::string& s, std::size_t offset) {
  StartTag tag;
  std::size_t i = offset;
  tag.nameBegin = i;
  while (i < s.size() && !isXmlSpace(s[i]) && s[i] != '/' && s[i] != '>') ++i;
  tag.nameEnd = i;
  while (i < s.size()) {
    const std::size_t spaceBegin = i;
    while (i < s.size() && isXmlSpace(s[i])) ++i;
    if (i >= s.size() || s[i] == '/' || s[i] == '>') {
      tag.attributesEnd = spaceBegin;
      tag.selfClosing = i < s.size() && s[i] == '/';
      while (i < s.size() && s[i] != '>') ++i;
      tag.end = std::min(i + 1, s.size());
      return tag;
    }
    Attribute a;
    a.spaceBegin = spaceBegin;
    const std::size_t nameBegin = i;
    while (i < s.size() && s[i] != '=' && !isXmlSpace(s[i])) ++i;
    a.name = s.substr(nameBegin, i - nameBegin);
    while (i < s.size() && s[i] != '"' && s[i] != '\'') ++i;
    if (i >= s.size()) break;
    const char quote = s[i++];
    a.valueBegin = i;
    while (i < s.size() && s[i] != quote) ++i;
    a.valueEnd = i;
    if (i < s.size()) ++i;
    tag.attributes.push_back(std::move(a));
  }
  tag.end = s.size();
  tag.attributesEnd = s.size();
  return tag;
}

// The offset of the '<' of the end tag that matches an element whose start tag ends at `from`.
std::optional<std::size_t> findEndTag(const std::string& s, std::size_t from, const std::string& name) {
  int depth = 0;
  std::size_t i = from;
  while ((i = s.find('<', i)) != std::string::npos) {
    if (s.compare(i, 4, "<!--") == 0) {
      i = s.find("-->", i);
      if (i == std::string::npos) return std::nullopt;
      continue;
    }
    if (s.compare(i, 9, "<![CDATA[") == 0) {
      i = s.find("]]>", i);
      if (i == std::string::npos) return std::nullopt;
      continue;
    }
    if (s.compare(i, 2, "<?") == 0) {
      i = s.find("?>", i);
      if (i == std::string::npos) return std::nullopt;
      continue;
    }
    const bool closing = s.compare(i, 2, "</") == 0;
    const std::size_t nameBegin = i + (closing ? 2 : 1);
    std::size_t j = nameBegin;
    while (j < s.size() && !isXmlSpace(s[j]) && s[j] != '/' && s[j] != '>') ++j;
    const bool same = s.compare(nameBegin, j - nameBegin, name) == 0 && j - nameBegin == name.size();
    if (closing) {
      if (same && depth-- == 0) return i;
      i = j;
      continue;
    }
    const StartTag inner = readStartTag(s, nameBegin);
    if (same && !inner.selfClosing) ++depth;
    i = inner.end;
  }
  return std::nullopt;
}

struct Splice {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

// The geometry attributes each shape has; they give way to "d" when the shape becomes a path.
const std::vector<std::string>& geometryAttributes(const std::string& local) {
  static const std::map<std::string, std::vector<std::string>> table = {
      {"path", {"d"}},
      {"rect", {"x", "y", "width", "height", "rx", "ry"}},
      {"circle", {"cx", "cy", "r"}},
      {"ellipse", {"cx", "cy", "rx", "ry"}},
      {"line", {"x1", "y1", "x2", "y2"}},
      {"polyline", {"points"}},
      {"polygon", {"points"}},
  };
  return table.at(local);
}

// The splices that give `shape` new path data.
void rewriteShape(const std::string& s, const Shape& shape, const std::string& d,
                  std::vector<Splice>* splices) {
  const StartTag tag = readStartTag(s, shape.nameOffset);
  if (shape.localName == "path") {
    for (const Attribute& a : tag.attributes) {
      if (a.name == "d") {
        splices->push_back({a.valueBegin, a.valueEnd, d});
        return;
      }
    }
    splices->push_back({tag.attributesEnd, tag.attributesEnd, " d=\"" + d + "\""});
    return;
  }
  // Another shape becomes a <path> with the same prefix and its other attributes.
  const std::string prefix(prefixOf(shape.qualifiedName));
  const std::string pathName = prefix.empty() ? "path" : prefix + ":path";
  splices->push_back({tag.nameBegin, tag.nameEnd, pathName});
  const auto& geometry = geometryAttributes(shape.localName);
  bool placed = false;
  for (const Attribute& a : tag.attributes) {
    // A stray "d" of the old shape goes too: a path has only the one written here.
    if (a.name != "d" && std::find(geometry.begin(), geometry.end(), a.name) == geometry.end())
      continue;
    const std::size_t end = a.valueEnd + 1;  // past the closing quote
    if (!placed) {
      // "d" takes the place of the first geometry attribute, with its leading whitespace.
      const std::size_t nameBegin = s.find_first_not_of(" \t\r\n", a.spaceBegin);
      splices->push_back({nameBegin, end, "d=\"" + d + "\""});
      placed = true;
    } else {
      splices->push_back({a.spaceBegin, end, ""});
    }
  }
  if (!placed) splices->push_back({tag.attributesEnd, tag.attributesEnd, " d=\"" + d + "\""});
  if (!tag.selfClosing) {
    if (auto endTag = findEndTag(s, tag.end, shape.qualifiedName)) {
      splices->push_back({*endTag + 2, *endTag + 2 + shape.qualifiedName.size(), pathName});
    }
  }
}

// Applies edits of the source text. Edits may touch or share an offset: at one offset an
// insertion goes before a replacement, and the ranges of edits that overlap are removed once.
std::string applySplices(const std::string& s, std::vector<Splice> splices) {
  std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) {
    if (a.begin != b.begin) return a.begin < b.begin;
    return a.begin == a.end && b.begin != b.end;
  });
  std::string out;
  out.reserve(s.size() + 256);
  std::size_t at = 0;
  for (const Splice& sp : splices) {
    if (sp.begin > at) out.append(s, at, sp.begin - at);
    out += sp.text;
    at = std::max(at, sp.end);
  }
  out.append(s, at, std::string::npos);
  return out;
}

// The shape's geometry now, in its own coordinates. *changed: it differs from the import's;
// *any: some of its path art is still in the document.
Geometry shapeGeometry(const Shape& shape, const Document& document, bool* changed, bool* any) {
  Geometry geometry;
  *changed = false;
  *any = false;
  const Affine artworkToLocal = shape.localToArtwork.inverse();
  for (std::size_t k = 0; k < shape.paths.size(); ++k) {
    const Art* art = document.find(shape.paths[k]);
    if (art == nullptr) {
      *changed = true;  // a deleted subpath leaves the shape
      continue;
    }
    *any = true;
    if (art->closed != shape.imported[k].closed ||
        !sameSegments(art->segments, shape.imported[k].segments)) {
      *changed = true;
    }
    Subpath sub;
    sub.closed = art->closed;
    for (const AIPathSegment& seg : art->segments) sub.anchors.push_back(toAnchor(seg, artworkToLocal));
    if (!sub.anchors.empty()) geometry.push_back(std::move(sub));
  }
  return geometry;
}

std::vector<Splice> geometrySplices(const Drawing::Impl& d, const Document& document) {
  std::vector<Splice> splices;
  for (const Shape& shape : d.shapes) {
    bool changed = false, any = false;
    const Geometry geometry = shapeGeometry(shape, document, &changed, &any);
    if (!changed || !any) continue;
    rewriteShape(d.source, shape, formatPathData(geometry), &splices);
  }
  return splices;
}

std::string formatNumber(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.9g", v == 0 ? 0.0 : v);
  return buffer;
}

}  // namespace

bool exportSvg(const Drawing& drawing, const Document& document, std::string* out,
               std::string* error) {
  (void)error;  // export of a parsed drawing cannot fail; the file variant can
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  *out = applySplices(d.source, geometrySplices(d, document));
  return true;
}

bool exportSvgFile(const Drawing& drawing, const Document& document, const std::string& path,
                   std::string* error) {
  std::string text;
  if (!exportSvg(drawing, document, &text, error)) return false;
  return writeFileAtomically(path, text, error);
}

namespace {

std::string viewSvg(const Drawing::Impl& d, std::vector<Splice> splices, double x, double y,
                    double width, double height) {
  pugi::xml_node root = d.xml.document_element();
  const StartTag tag = readStartTag(d.source, static_cast<std::size_t>(root.offset_debug()));
  static const std::set<std::string> viewport = {"x", "y", "width", "height", "viewBox",
                                                 "preserveAspectRatio", "overflow"};
  for (const Attribute& a : tag.attributes) {
    if (viewport.count(a.name) != 0) splices.push_back({a.spaceBegin, a.valueEnd + 1, ""});
  }
  splices.push_back({tag.nameEnd, tag.nameEnd,
                     " width=\"" + formatNumber(width) + "\" height=\"" + formatNumber(height) +
                         "\" viewBox=\"" + formatNumber(x) + " " + formatNumber(y) + " " +
                         formatNumber(width) + " " + formatNumber(height) +
                         "\" preserveAspectRatio=\"none\" overflow=\"visible\""});
  return applySplices(d.source, std::move(splices));
}

}  // namespace

bool exportSvgForView(const Drawing& drawing, const Document& document, double x, double y,
                      double width, double height, std::string* out, std::string* error) {
  (void)error;
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  *out = viewSvg(d, geometrySplices(d, document), x, y, width, height);
  return true;
}

std::vector<PageShape> pageShapes(const Drawing& drawing, const Document& document) {
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  std::map<AIArtHandle, std::size_t> place;
  const std::vector<AIArtHandle> paths = drawing.paths();
  for (std::size_t k = 0; k < paths.size(); ++k) place[paths[k]] = k;
  std::vector<PageShape> shapes;
  for (const Shape& shape : d.shapes) {
    PageShape page;
    bool changed = false, any = false;
    page.d = formatPathData(shapeGeometry(shape, document, &changed, &any));
    for (AIArtHandle path : shape.paths) {
      const auto it = place.find(path);
      if (it == place.end()) continue;
      page.paths.push_back(it->second);
      if (const Art* art = document.find(path); art != nullptr && art->selected) page.selected = true;
    }
    shapes.push_back(std::move(page));
  }
  return shapes;
}

std::string exportSvgForPage(const Drawing& drawing, const Document& document) {
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  std::vector<Splice> splices;
  for (std::size_t k = 0; k < d.shapes.size(); ++k) {
    const Shape& shape = d.shapes[k];
    bool changed = false, any = false;
    rewriteShape(d.source, shape, formatPathData(shapeGeometry(shape, document, &changed, &any)), &splices);
    const StartTag tag = readStartTag(d.source, shape.nameOffset);
    splices.push_back({tag.attributesEnd, tag.attributesEnd, " data-shape=\"" + std::to_string(k) + "\""});
  }
  return viewSvg(d, std::move(splices), 0, 0, 1, 1);
}

}  // namespace simhost::svg
