// The inside of an imported drawing, shared by the importer, the exporter and the page's export
// (live/PageExport.cpp): the parsed file, the shapes that became art, the mapping between SVG
// user space and artwork coordinates, and the tools that splice new geometry into the source
// text.
#ifndef SARVELLO_SIMHOST_SVG_DRAWINGIMPL_H
#define SARVELLO_SIMHOST_SVG_DRAWINGIMPL_H

#include <cstddef>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Host.h"
#include "svg/Geometry.h"
#include "svg/Svg.h"

namespace simhost::svg {

inline constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";

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


// ---- Names and places ----

// The offset of the '<' that opens the element.
std::size_t tagOffset(pugi::xml_node node);
std::string_view prefixOf(std::string_view qualified);
// The element's local name when it is an SVG element, else empty. An element without a prefix
// and without a default namespace is taken as SVG (many files omit the declaration).
std::string svgLocalName(pugi::xml_node node);

// ---- The source text and its splices ----

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

// Reads the start tag whose name begins at `offset`. The text is well-formed XML (pugixml read
// it), so the scan needs no error handling beyond staying inside the text.
StartTag readStartTag(const std::string& s, std::size_t offset);

struct Splice {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

// Applies edits of the source text. Edits may touch or share an offset: at one offset an
// insertion goes before a replacement, and the ranges of edits that overlap are removed once.
std::string applySplices(const std::string& s, std::vector<Splice> splices);

// The splices that give `shape` new path data: a <path> keeps its element and gets the new "d";
// another shape becomes a <path> with the same prefix and its other attributes.
void rewriteShape(const std::string& s, const Shape& shape, const std::string& d,
                  std::vector<Splice>* splices);

// The shape's geometry now, in its own coordinates. *changed: it differs from the import's;
// *any: some of its path art is still in the document.
Geometry currentGeometry(const Shape& shape, const Document& document, bool* changed, bool* any);

// The drawing's source with `splices` applied and its root's viewport replaced by the user-space
// box (x, y, width, height) mapped one to one, not clipped.
std::string viewSvg(const Drawing::Impl& d, std::vector<Splice> splices, double x, double y,
                    double width, double height);

}  // namespace simhost::svg

#endif
