// SVG export. The exporter does not re-serialise the XML: it copies the input text and splices new
// geometry into the start tags of the shapes whose art changed, so every byte it does not need
// to touch stays as it was.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "svg/DrawingImpl.h"
#include "svg/Files.h"

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

}  // namespace

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

namespace {

std::vector<Splice> geometrySplices(const Drawing::Impl& d, const Document& document) {
  std::vector<Splice> splices;
  for (const Shape& shape : d.shapes) {
    bool changed = false, any = false;
    const Geometry geometry = currentGeometry(shape, document, &changed, &any);
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

bool exportSvgForView(const Drawing& drawing, const Document& document, double x, double y,
                      double width, double height, std::string* out, std::string* error) {
  (void)error;
  const Drawing::Impl& d = DrawingAccess::impl(drawing);
  *out = viewSvg(d, geometrySplices(d, document), x, y, width, height);
  return true;
}

}  // namespace simhost::svg
