// SVG export. The exporter does not re-serialise the XML: it copies the input text and splices new
// geometry into the start tags of the shapes whose art changed, so every byte it does not need
// to touch stays as it was. A shape written anew as a <path> keeps the look it had: the rules of
// style sheets that chose it by its name, the fill a line never has and the markers a rectangle
// never draws are written into its style, and a path draws its mid markers where they were.
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "core/Files.h"
#include "svg/Writer.h"

namespace simhost::svg {
namespace {

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

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


}  // namespace

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

namespace {

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

}  // namespace

std::size_t elementEnd(const std::string& s, pugi::xml_node node) {
  const StartTag tag = readStartTag(s, tagOffset(node) + 1);
  if (tag.selfClosing) return tag.end;
  const std::string name = node.name();
  if (const auto endTag = findEndTag(s, tag.end, name)) {
    const std::size_t close = s.find('>', *endTag);
    return close == std::string::npos ? s.size() : close + 1;
  }
  return s.size();
}

Splice styleSplice(const std::string& s, const StartTag& tag, const std::string& declarations) {
  for (const Attribute& a : tag.attributes) {
    if (a.name != "style") continue;
    const char quote = a.valueBegin > 0 ? s[a.valueBegin - 1] : '"';
    return {a.valueBegin, a.valueEnd,
            addToStyle(std::string_view(s).substr(a.valueBegin, a.valueEnd - a.valueBegin), declarations, quote)};
  }
  return {tag.attributesEnd, tag.attributesEnd, " style=\"" + addToStyle("", declarations, '"') + "\""};
}

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


// ---- Writer: the shapes ----

namespace {

// Whether the shape as drawn fills nothing: each of its subpaths, control points included, lies
// on one straight line (axes and rules are often written as paths inside a filled group). Bent by
// the flow, such a path would fill the area it now encloses.
bool fillsNothing(const Shape& shape) {
  for (const Art& art : shape.imported) {
    const AIRealPoint* from = nullptr;
    const AIRealPoint* along = nullptr;
    for (const AIPathSegment& segment : art.segments) {
      for (const AIRealPoint* p : {&segment.in, &segment.p, &segment.out}) {
        if (from == nullptr) {
          from = p;
          continue;
        }
        const double dx = double(p->h) - from->h, dy = double(p->v) - from->v;
        if (along == nullptr) {
          if (dx != 0 || dy != 0) along = p;
          continue;
        }
        const double ax = double(along->h) - from->h, ay = double(along->v) - from->v;
        // Off the line by more than a millionth of the lengths (the points are single floats).
        if (std::abs(ax * dy - ay * dx) > 1e-6 * std::hypot(ax, ay) * std::hypot(dx, dy)) return false;
      }
    }
  }
  return !shape.imported.empty();
}

bool markable(const std::string& local) {
  return local == "path" || local == "line" || local == "polyline" || local == "polygon";
}

}  // namespace

Writer::Writer(const Drawing::Impl& d, const Document& document, bool page)
    : d_(d), document_(document), page_(page) {
  const std::size_t n = d.shapes.size();
  geometry_.resize(n);
  changed_.assign(n, 0);
  any_.assign(n, 0);
  markerNumber_.assign(n, -1);
  int next = static_cast<int>(n);
  for (std::size_t k = 0; k < n; ++k) {
    const Shape& shape = d.shapes[k];
    bool changed = false, any = false;
    geometry_[k] = currentGeometry(shape, document, &changed, &any);
    changed_[k] = changed;
    any_[k] = any;
    if (hasMarkerPath(shape)) markerNumber_[k] = next++;
    shapeAt_[{shape.node.internal_object(), shape.instance}] = k;
    if (shape.instance < 0 && changed && any) changedOffsets_.push_back(shape.nameOffset);
  }
  std::sort(changedOffsets_.begin(), changedOffsets_.end());
  dirty_.assign(d.instances.size(), -1);
  for (std::size_t k = 0; k < d.instances.size(); ++k) {
    const Instance& instance = d.instances[k];
    instanceAt_[{instance.use.internal_object(), instance.parent}] = k;
    if (instance.parent < 0) uses_.emplace_back(tagOffset(instance.use), k);
  }
  std::sort(uses_.begin(), uses_.end());
}

std::vector<Splice> Writer::splices() {
  std::vector<Splice> out;
  for (std::size_t k = 0; k < d_.shapes.size(); ++k) {
    if (d_.shapes[k].instance < 0 && rewritten(k)) shapeSplices(k, StyleFrame::at(d_.shapes[k].node), &out);
  }
  for (const auto& [offset, k] : uses_) {
    if (page_ || dirty(k)) {
      const pugi::xml_node use = d_.instances[k].use;
      out.push_back({offset, elementEnd(d_.source, use), expansion(k, StyleFrame::at(use))});
    }
  }
  return out;
}

void Writer::shapeSplices(std::size_t k, const StyleFrame& frame, std::vector<Splice>* out) {
  const Shape& shape = d_.shapes[k];
  const std::string& s = d_.source;
  const StartTag tag = readStartTag(s, shape.nameOffset);
  const std::string d = formatPathData(geometry_[k]);
  const std::string prefix(prefixOf(shape.qualifiedName));
  const std::string pathName = prefix.empty() ? "path" : prefix + ":path";
  const auto& geometry = geometryAttributesOf(shape.localName);
  const auto isGeometry = [&](const std::string& name) {
    return name == "d" || std::find(geometry.begin(), geometry.end(), name) != geometry.end();
  };

  // The element: a <path> keeps its element and gets the new "d"; another shape becomes a
  // <path> with the same prefix and its other attributes, "d" in the place of the first
  // geometry attribute.
  if (shape.localName != "path") {
    out->push_back({tag.nameBegin, tag.nameEnd, pathName});
    if (!tag.selfClosing) {
      const std::size_t end = elementEnd(s, shape.node);
      const std::size_t close = s.rfind("</", end - 1);
      out->push_back({close + 2, close + 2 + shape.qualifiedName.size(), pathName});
    }
  }
  bool placed = false;
  for (const Attribute& a : tag.attributes) {
    // A stray "d" of another shape goes too: a path has only the one written here.
    if (!isGeometry(a.name)) continue;
    if (!placed) {
      const std::size_t nameBegin = s.find_first_not_of(" \t\r\n", a.spaceBegin);
      out->push_back({nameBegin, a.valueEnd + 1, "d=\"" + d + "\""});
      placed = true;
    } else {
      out->push_back({a.spaceBegin, a.valueEnd + 1, ""});
    }
  }
  if (!placed) out->push_back({tag.attributesEnd, tag.attributesEnd, " d=\"" + d + "\""});

  // Its look: what the rules gave it under its old name, no fill for a line or any shape drawn
  // straight, no markers for a shape that draws none, its mid markers drawn by the path that
  // follows it.
  StyleFrame written = frame;
  written.name = "path";
  written.rewritten = true;
  std::string style = d_.styles->keepLook(written);
  const auto add = [&style](const std::string& declarations) {
    style += (style.empty() ? "" : ";") + declarations;
  };
  if (shape.localName == "line" || fillsNothing(shape)) add("fill:none !important");
  if (shape.markers && !markable(shape.localName))
    add("marker-start:none !important;marker-mid:none !important;marker-end:none !important");
  if (shape.midMarkers) add("marker-mid:none !important");
  if (!style.empty()) out->push_back(styleSplice(s, tag, style));
  if (page_) out->push_back({tag.attributesEnd, tag.attributesEnd, " data-shape=\"" + std::to_string(k) + "\""});
  if (!hasMarkerPath(shape)) return;

  // The path of its mid markers: the element's attributes but its id and geometry, drawing
  // nothing of its own.
  std::string markers = "<" + pathName;
  std::string markerStyle;
  for (const Attribute& a : tag.attributes) {
    if (a.name == "id" || a.name == "style" || isGeometry(a.name)) continue;
    markers += s.substr(a.spaceBegin, a.valueEnd + 1 - a.spaceBegin);
  }
  for (const Attribute& a : tag.attributes)
    if (a.name == "style") markerStyle = s.substr(a.valueBegin, a.valueEnd - a.valueBegin);
  StyleFrame copy = written;
  copy.withoutId = true;
  std::string extra = d_.styles->keepLook(copy);
  extra += std::string(extra.empty() ? "" : ";") +
           "marker-start:none !important;marker-end:none !important;fill-opacity:0 !important;"
           "stroke-opacity:0 !important";
  markers += " d=\"" + markerPathData(shape, geometry_[k]) + "\" style=\"" + addToStyle(markerStyle, extra, '"') + "\"";
  if (page_) markers += " data-shape=\"" + std::to_string(markerNumber_[k]) + "\"";
  markers += "/>";
  const std::size_t end = elementEnd(s, shape.node);
  out->push_back({end, end, markers});
}

Geometry currentGeometry(const Shape& shape, const Document& document, bool* changed, bool* any) {
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
  for (Splice& s : utf8Declaration(d.source, d.encoding)) splices.push_back(std::move(s));
  return applySplices(d.source, std::move(splices));
}

std::vector<Splice> drawingSplices(const Drawing::Impl& d, const Document& document, bool page) {
  return Writer(d, document, page).splices();
}

bool exportSvg(const Drawing& drawing, const Document& document, std::string* out,
               std::string* error) {
  (void)error;  // export of a parsed drawing cannot fail; the file variant can
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  *out = encodeText(d.source, d.encoding, drawingSplices(d, document, false));
  return true;
}

bool exportSvgFile(const Drawing& drawing, const Document& document, const std::string& path,
                   std::string* error) {
  std::string text;
  if (!exportSvg(drawing, document, &text, error)) return false;
  return writeFileAtomically(path, text, error);
}

bool exportSvgForView(const Drawing& drawing, const Document& document, double x, double y,
                      double width, double height, std::string* out, std::string* error) {
  (void)error;
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  *out = viewSvg(d, drawingSplices(d, document, false), x, y, width, height);
  return true;
}

}  // namespace simhost::svg
