// SVG import: the importer reads the file with pugixml, walks the rendered SVG elements with their
// transforms and turns every shape into path art of the document.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>

#include "core/Handles.h"
#include "svg/Decode.h"
#include "svg/DrawingImpl.h"
#include "svg/Files.h"

namespace simhost::svg {
namespace {

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

}  // namespace simhost::svg
