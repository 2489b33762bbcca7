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
#include "svg/Encoding.h"
#include "svg/Geometry.h"
#include "svg/Styles.h"
#include "svg/Svg.h"

namespace simhost::svg {

inline constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";

// Where a vertex of a shape's outline lies, for the markers drawn at it: its subpath and the
// share of that subpath's length before it.
struct MarkerVertex {
  std::size_t subpath = 0;
  double along = 0;
};

// One source element that became art.
struct Shape {
  pugi::xml_node node;
  std::size_t nameOffset = 0;       // offset of the element's name in the source text
  std::string localName;            // "circle"
  std::string qualifiedName;        // as written: "circle" or "svg:circle"
  Affine localToArtwork;            // the element's own coordinates to artwork
  std::set<std::string> ids;        // its id and the ids of the groups around it
  int instance = -1;                // the clone that shows it, or -1: the document itself
  AIArtHandle art = nullptr;        // the path, or the compound path
  std::vector<AIArtHandle> paths;   // the path art, one per subpath
  std::vector<Art> imported;        // the path art as created, to tell changed geometry
  bool markers = false;             // markers are drawn on it (start, mid or end)
  // Mid markers are drawn on it: where its vertices lie, so that they stay as many and where
  // the flow carries the outline.
  bool midMarkers = false;
  std::vector<MarkerVertex> vertices;
};

// A clone (<use>) whose shapes became art of their own. Written back as it was while nothing it
// shows changed; else expanded into the shapes it shows.
struct Instance {
  pugi::xml_node use;
  pugi::xml_node target;              // the element it refers to
  int parent = -1;                    // the clone whose expansion holds the <use>, or -1
  double x = 0, y = 0;                // its position, in user units
  std::vector<std::size_t> shapes;    // the shapes it shows, nested clones' included
  std::vector<std::size_t> instances; // the clones inside it, directly
};

struct Drawing::Impl {
  std::string name;
  std::string source;     // the text (UTF-8), as parsed
  Encoding encoding;      // how the file was written, and how it is written back
  std::string unchanged;  // the file written back unchanged, when it is not `source` itself
  pugi::xml_document xml;
  std::unique_ptr<Styles> styles;
  Affine userToArtwork;
  Affine artworkToUser;
  double canvas[4] = {0, 0, 0, 0};
  std::vector<Shape> shapes;
  std::vector<Instance> instances;
  std::vector<AIArtHandle> art;
  std::vector<pugi::xml_node> leftOut;  // elements the import left out
  std::size_t texts = 0, images = 0;    // shown, and never stirred
  std::size_t keptClones = 0;           // clones kept as clones (ImportOptions::keepClones)
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

// The offset one past the element's end (its end tag, or its start tag when it is empty).
std::size_t elementEnd(const std::string& s, pugi::xml_node node);

// The splice that adds declarations to the style attribute of the start tag (adding the
// attribute when there is none).
Splice styleSplice(const std::string& s, const StartTag& tag, const std::string& declarations);

// The shape's geometry now, in its own coordinates. *changed: it differs from the import's;
// *any: some of its path art is still in the document.
Geometry currentGeometry(const Shape& shape, const Document& document, bool* changed, bool* any);

// ---- Markers (Markers.cpp) ----

// Where the vertices of the outline lie, for mid markers.
std::vector<MarkerVertex> markerVertices(const Geometry& geometry);
// The path data of a path whose vertices are the shape's vertices where its current geometry
// (in its own coordinates) has them, so that mid markers drawn on it are where the shape's were.
std::string markerPathData(const Shape& shape, const Geometry& current);
// A path of its own draws the shape's mid markers once it has more vertices than its ends.
inline bool hasMarkerPath(const Shape& shape) { return shape.midMarkers && shape.vertices.size() > 2; }

// ---- Writing the drawing back (Export.cpp, Clones.cpp) ----

// The splices that write the document's art into the source: the shapes whose art changed
// become paths with the new geometry, keeping their look; clones showing anything that changed
// are expanded into the shapes they show. For the page (`page`), every shape is written anew
// and tagged data-shape="N", N its index in Drawing::Impl::shapes, and every clone expanded;
// the paths that draw mid markers follow with the next numbers, in the order of their shapes.
std::vector<Splice> drawingSplices(const Drawing::Impl& d, const Document& document, bool page);

// The drawing's source as UTF-8 with `splices` applied and its root's viewport replaced by the
// user-space box (x, y, width, height) mapped one to one, not clipped.
std::string viewSvg(const Drawing::Impl& d, std::vector<Splice> splices, double x, double y,
                    double width, double height);

}  // namespace simhost::svg

#endif
