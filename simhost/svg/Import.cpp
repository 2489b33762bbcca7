// SVG import: the importer reads the file with pugixml, walks the rendered SVG elements with their
// transforms (into the elements that clones refer to, unless clones are kept) and turns every
// shape into path art of the document, placed as the options ask.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <unordered_map>

#include "core/Handles.h"
#include "svg/Decode.h"
#include "svg/DrawingImpl.h"
#include "core/Files.h"
#include "svg/Shapes.h"

namespace simhost::svg {
namespace {

// Shapes that clones may make in all: clones of clones multiply, and a hostile file could ask
// for more art than any document holds.
constexpr std::size_t kMaxCloneShapes = 200'000;

// Each level of groups and clones is a level of recursion: a bound keeps a hostile file from
// exhausting the stack.
constexpr int kMaxDepth = 256;

// The clone that shows a <symbol> or an <svg>: its width and height, when it has them, are the
// viewport's (else the element's own, else 100%).
struct Viewport {
  pugi::xml_node use;
};

// The attribute that holds a clone's reference: href, or xlink:href under any prefix.
pugi::xml_attribute hrefOf(pugi::xml_node use) {
  if (pugi::xml_attribute a = use.attribute("href")) return a;
  for (pugi::xml_attribute a = use.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (n.size() > 5 && n.substr(n.size() - 5) == ":href") return a;
  }
  return {};
}

class Importer {
 public:
  Importer(Drawing::Impl& impl, const ImportOptions& options)
      : d_(impl), options_(options), reader_(impl.name, impl.source) {}

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
    d_.styles = std::make_unique<Styles>(d_.xml);
    rootCanvas(root);
    if (canvas) reader_.setCanvas((*canvas)[2], (*canvas)[3]);
    // The first element with an id is the one a reference finds.
    for (pugi::xml_node n = root; n; n = next(n)) {
      if (pugi::xml_attribute id = n.attribute("id")) byId_.emplace(id.value(), n);
    }
    chain_.push_back(root);
    return walkChildren(root, Affine{}, {}, error, 0);
  }

  // Shapes and geometry in user space, before art is made.
  struct Pending {
    Shape shape;
    Geometry geometry;           // in the element's own coordinates
    std::vector<int> instances;  // the clones that show it, innermost last
  };
  std::vector<Pending> pending;
  std::optional<std::array<double, 4>> canvas;
  std::vector<std::string> warnings;

  // The element is not imported: it stays in the file as it was, and a warning names it. `why`
  // begins with where(node), as the messages of fail() do.
  void leaveOut(pugi::xml_node node, const std::string& why) {
    std::string reason = why;
    const std::string place = reader_.where(node);
    if (reason.compare(0, place.size(), place) == 0) reason.erase(0, place.size());
    while (!reason.empty() && (reason.front() == ':' || reason.front() == ' ')) reason.erase(0, 1);
    warnings.push_back(describe(node) + ": left out, written back as it was: " + reason);
    d_.leftOut.push_back(node);
  }
  // "file:line:column: <path id="p1">".
  std::string describe(pugi::xml_node node) const {
    std::string text = reader_.where(node);
    if (pugi::xml_attribute id = node.attribute("id")) {
      text.pop_back();
      text += std::string(" id=\"") + id.value() + "\">";
    }
    return text;
  }

 private:
  // The next element in document order.
  static pugi::xml_node next(pugi::xml_node n) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element) return c;
    for (; n && n.type() == pugi::node_element; n = n.parent()) {
      for (pugi::xml_node s = n.next_sibling(); s; s = s.next_sibling())
        if (s.type() == pugi::node_element) return s;
    }
    return {};
  }

  // The canvas, and the size the drawing declares for it: its width and height, which a
  // viewBox maps user space into (a user unit is then not a pixel).
  void rootCanvas(pugi::xml_node root) {
    std::vector<double> box;
    std::string ignored;
    double w = 0, h = 0;
    const bool width = ShapeReader::absoluteLength(root.attribute("width").value(), &w) && w > 0 && std::isfinite(w);
    const bool height = ShapeReader::absoluteLength(root.attribute("height").value(), &h) && h > 0 && std::isfinite(h);
    if (pugi::xml_attribute vb = root.attribute("viewBox");
        vb && parseNumberList(vb.value(), &box, &ignored) && box.size() == 4 && box[2] > 0 &&
        box[3] > 0) {
      canvas = std::array<double, 4>{box[0], box[1], box[2], box[3]};
      // A missing side keeps the viewBox's proportions.
      if (width && height) ownScale = std::min(w / box[2], h / box[3]);
      else if (width) ownScale = w / box[2];
      else if (height) ownScale = h / box[3];
      if (!(ownScale > 0) || !std::isfinite(ownScale)) ownScale = 1;
      return;
    }
    if (width && height) canvas = std::array<double, 4>{0, 0, w, h};
  }

 public:
  double ownScale = 1;  // pixels of the declared size per user unit

 private:

  bool hidden(pugi::xml_node node) const {
    const std::optional<std::string> display = d_.styles->declared(StyleFrame::at(node), "display");
    return display && *display == "none";
  }

  bool walkChildren(pugi::xml_node parent, const Affine& ctm, const std::set<std::string>& ids,
                    std::string* error, int depth) {
    if (depth > kMaxDepth) {
      *error = reader_.where(parent) + ": elements nested deeper than " + std::to_string(kMaxDepth) + " levels";
      return false;
    }
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (!visit(node, ctm, ids, error, depth, nullptr)) return false;
    }
    return true;
  }

  // One element and what it renders. `clonedAs` is set when a clone shows the element.
  bool visit(pugi::xml_node node, const Affine& ctm, const std::set<std::string>& ids,
             std::string* error, int depth, const Viewport* clonedAs) {
    const std::string local = svgLocalName(node);
    if (local.empty()) return true;
    const bool symbol = local == "symbol" && clonedAs != nullptr;
    // A symbol is hidden where it stands; a clone shows it.
    if (!symbol && hidden(node)) return true;
    if (local == "text") ++d_.texts;
    if (local == "image") ++d_.images;
    if (local == "use") return clone(node, ctm, ids, error, depth);
    static const std::set<std::string> containers = {"g", "a", "switch", "svg"};
    static const std::set<std::string> shapes = {"path", "rect", "circle", "ellipse", "line", "polyline", "polygon"};
    const bool container = symbol || containers.count(local) != 0;
    if (!container && shapes.count(local) == 0) return true;  // kept, not imported

    Affine transform;
    if (pugi::xml_attribute t = node.attribute("transform"); t && !symbol) {
      std::string what;
      if (!parseTransform(t.value(), &transform, &what)) {
        std::string why;
        reader_.fail(&why, node, "transform", what);
        leaveOut(node, why);
        return true;
      }
    }
    Affine local2user = ctm * transform;
    std::set<std::string> innerIds = ids;
    // The ids inside a clone name the elements it copies, not the clone.
    if (pugi::xml_attribute id = node.attribute("id"); id && instances_.empty()) innerIds.insert(id.value());

    if (local == "svg" || symbol) {
      // A nested viewport: its position, and its viewBox scaled into its size.
      double x = 0, y = 0, w = 0, h = 0;
      std::string why;
      const double cw = reader_.canvasWidth(), ch = reader_.canvasHeight();
      // The clone's size wins over the element's own.
      const auto size = [&](const char* name, double base, double* out) {
        const pugi::xml_node from = clonedAs != nullptr && clonedAs->use.attribute(name) ? clonedAs->use : node;
        return reader_.length(from, name, base, base, out, &why);
      };
      if ((!symbol && (!reader_.length(node, "x", cw, 0, &x, &why) || !reader_.length(node, "y", ch, 0, &y, &why))) ||
          !size("width", cw, &w) || !size("height", ch, &h)) {
        leaveOut(node, why);
        return true;
      }
      if (symbol && (w <= 0 || h <= 0)) return true;  // a viewport of no size shows nothing
      local2user = local2user * Affine::translate(x, y);
      std::vector<double> box;
      std::string ignored;
      if (pugi::xml_attribute vb = node.attribute("viewBox");
          vb && parseNumberList(vb.value(), &box, &ignored) && box.size() == 4 && box[2] > 0 &&
          box[3] > 0 && w > 0 && h > 0) {
        local2user = local2user * viewBoxTransform(box, w, h, node.attribute("preserveAspectRatio").value());
      }
    }
    if (container) {
      chain_.push_back(node);
      const bool ok = walkChildren(node, local2user, innerIds, error, depth + 1);
      chain_.pop_back();
      return ok;
    }
    Pending p;
    std::string why;
    if (!reader_.geometry(node, local, &p.geometry, &why)) {
      leaveOut(node, why);
      return true;
    }
    if (p.geometry.empty() || !local2user.invertible()) return true;  // draws nothing
    if (!instances_.empty() && ++cloneShapes_ > kMaxCloneShapes) return true;
    p.shape.node = node;
    p.shape.nameOffset = static_cast<std::size_t>(node.offset_debug());
    p.shape.localName = local;
    p.shape.qualifiedName = node.name();
    p.shape.localToArtwork = local2user;  // user space for now; artwork once the placement is known
    p.shape.ids = std::move(innerIds);
    p.instances = instances_;
    p.shape.instance = instances_.empty() ? -1 : instances_.back();
    markers(p);
    pending.push_back(std::move(p));
    return true;
  }

  // The markers drawn on the shape, as the cascade gives them where it is shown.
  void markers(Pending& p) const {
    const std::vector<pugi::xml_node> parents(chain_.rbegin(), chain_.rend());
    const Styles& styles = *d_.styles;
    const auto on = [&](const char* property) { return styles.computed(p.shape.node, parents, property) != "none"; };
    const bool mid = on("marker-mid");
    p.shape.markers = mid || on("marker-start") || on("marker-end");
    static const std::set<std::string> markable = {"path", "line", "polyline", "polygon"};
    if (mid && markable.count(p.shape.localName) != 0) {
      p.shape.midMarkers = true;
      p.shape.vertices = markerVertices(p.geometry);
    }
  }

  // A clone: the element it refers to, read as if it stood in its place, its shapes art of their
  // own. A clone that refers to nothing in the file, or to itself through others, shows nothing.
  bool clone(pugi::xml_node use, const Affine& ctm, const std::set<std::string>& ids,
             std::string* error, int depth) {
    if (options_.keepClones) {
      ++d_.keptClones;
      return true;
    }
    if (cloneShapes_ > kMaxCloneShapes) return true;
    const std::string_view href = hrefOf(use).value();
    if (href.size() < 2 || href.front() != '#') return true;
    const auto found = byId_.find(std::string(href.substr(1)));
    if (found == byId_.end()) return true;
    const pugi::xml_node target = found->second;
    for (pugi::xml_node n = use; n; n = n.parent())
      if (n == target) return true;
    if (std::find(chain_.begin(), chain_.end(), target) != chain_.end()) return true;
    if (depth > kMaxDepth) {
      *error = reader_.where(use) + ": clones nested deeper than " + std::to_string(kMaxDepth) + " levels";
      return false;
    }

    Affine transform;
    std::string why, what;
    if (pugi::xml_attribute t = use.attribute("transform"); t && !parseTransform(t.value(), &transform, &what)) {
      reader_.fail(&why, use, "transform", what);
      leaveOut(use, why);
      return true;
    }
    Instance instance;
    instance.use = use;
    instance.target = target;
    instance.parent = instances_.empty() ? -1 : instances_.back();
    if (!reader_.length(use, "x", reader_.canvasWidth(), 0, &instance.x, &why) ||
        !reader_.length(use, "y", reader_.canvasHeight(), 0, &instance.y, &why)) {
      leaveOut(use, why);
      return true;
    }
    const Affine local2user = ctm * transform * Affine::translate(instance.x, instance.y);
    std::set<std::string> innerIds = ids;
    if (pugi::xml_attribute id = use.attribute("id"); id && instances_.empty()) innerIds.insert(id.value());

    const std::size_t pendingBefore = pending.size(), instancesBefore = d_.instances.size();
    const int index = static_cast<int>(d_.instances.size());
    if (instance.parent >= 0) d_.instances[static_cast<std::size_t>(instance.parent)].instances.push_back(d_.instances.size());
    d_.instances.push_back(std::move(instance));
    instances_.push_back(index);
    chain_.push_back(use);
    const Viewport viewport{use};
    const bool ok = visit(target, local2user, innerIds, error, depth + 1, &viewport);
    chain_.pop_back();
    instances_.pop_back();
    if (!ok) return false;
    if (instances_.empty() && cloneShapes_ > kMaxCloneShapes) {
      // The whole clone goes, as it came.
      pending.resize(pendingBefore);
      d_.instances.resize(instancesBefore);
      cloneShapes_ = static_cast<std::size_t>(
          std::count_if(pending.begin(), pending.end(), [](const Pending& p) { return !p.instances.empty(); }));
      leaveOut(use, "its clones would make more than " + std::to_string(kMaxCloneShapes) + " shapes");
    }
    return true;
  }

  Drawing::Impl& d_;
  const ImportOptions& options_;
  ShapeReader reader_;
  std::unordered_map<std::string, pugi::xml_node> byId_;
  std::vector<pugi::xml_node> chain_;  // the elements the one being read inherits from, outermost first
  std::vector<int> instances_;         // the clones being read, innermost last
  std::size_t cloneShapes_ = 0;
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

// The canvas: the file's own, else the bounds of its shapes.
std::array<double, 4> canvasOf(const Importer& importer) {
  if (importer.canvas) return *importer.canvas;
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
  if (minX <= maxX) return {minX, minY, maxX - minX, maxY - minY};
  return {0, 0, 0, 0};
}

}  // namespace

double placementScale(double canvasSide, double ownScale, const ImportOptions& options) {
  if (!(canvasSide > 0) || !std::isfinite(canvasSide)) return 1.0;
  if (!(ownScale > 0) || !std::isfinite(ownScale)) ownScale = 1.0;
  const double square = options.fitFraction * options.overlaySide;
  // Small drawings are enlarged into the square; larger ones keep the size they declare, unless
  // the pasteboard cannot hold them.
  const double pasteboard = options.fitFraction * kPasteboardSquares * std::max(1.0, options.overlaySide);
  return std::min(std::max(ownScale, square / canvasSide), pasteboard / canvasSide);
}

ImportResult importSvg(const std::string& bytes, const std::string& name, Document& document,
                       const ViewState& view, const ImportOptions& options) {
  ImportResult result;
  auto impl = std::make_unique<Drawing::Impl>();
  impl->name = name;
  std::string why;
  if (!decodeDrawing(bytes, &impl->source, &impl->encoding, &why)) {
    result.error = name + ": " + why;
    return result;
  }
  if (impl->encoding.output == Encoding::Output::Utf8) impl->unchanged = encodeText(impl->source, impl->encoding, {});
  const std::string& text = impl->source;
  Importer importer(*impl, options);
  if (!importer.run(&result.error)) return result;

  const std::array<double, 4> canvas = canvasOf(importer);
  std::copy(canvas.begin(), canvas.end(), impl->canvas);
  if (options.fit) {
    const double s = placementScale(std::max(canvas[2], canvas[3]), importer.ownScale, options);
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
    for (int k : p.instances) impl->instances[static_cast<std::size_t>(k)].shapes.push_back(impl->shapes.size());
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
