// SVG drawings in the stand-in host: the importer (Import.cpp) turns the shapes of an SVG file into
// path art of a Document, and the exporter (Export.cpp) writes the file back with the current
// geometry of that art.
//
// Coordinates: SVG user space (of the root element, inside its viewBox) has y growing downward,
// artwork y grows upward. The importer flips y and, unless told not to, places the drawing: its
// canvas (the root's viewBox, else its width and height, else the bounds of its shapes) is
// centred on the view's centre; a canvas whose larger side, at the size the drawing declares
// (its width and height), is less than fitFraction x overlaySide is enlarged to span that much,
// a larger one keeps its declared size (one artwork unit a pixel), so that no detail is made
// coarser than where the drawing is shown at its own size. The exporter undoes
// that mapping, so the written file keeps the input's coordinate system.
//
// Clones (<use>) are read as the shapes they show, each shape art of its own, unless they are to
// be kept. The exporter changes only the geometry of shapes whose art changed (and expands the
// clones that show them); every other byte of the input (text, images, gradients, ids, comments,
// unknown elements and attributes) is kept as it was, in the input's encoding. Errors name the
// file and the place (line:column, and the element and attribute).
#ifndef SARVELLO_SIMHOST_SVG_SVG_H
#define SARVELLO_SIMHOST_SVG_SVG_H

#include <memory>
#include <string>
#include <vector>

#include "core/Host.h"

namespace simhost::svg {

// x' = a x + c y + e, y' = b x + d y + f (the order of SVG's matrix()).
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  static Affine translate(double tx, double ty);
  static Affine scale(double sx, double sy);
  static Affine rotate(double degrees);
  static Affine skewX(double degrees);
  static Affine skewY(double degrees);

  // (*this * rhs) applies rhs first, then *this.
  Affine operator*(const Affine& rhs) const;
  Affine inverse() const;  // the identity when the map is not invertible
  bool invertible() const;
  void apply(double& x, double& y) const;
  AIRealPoint apply(AIRealPoint p) const;
};

struct ImportOptions {
  bool fit = true;           // false: artwork = user space with y flipped, no centring or scale
  bool select = true;        // select the imported paths
  double overlaySide = 400;  // the overlay square's default side
  double fitFraction = 0.9;  // share of the side that a small canvas's larger side spans
  bool keepClones = false;   // clones stay clones: not read, not stirred, written as they are
};

// The scale from user units to artwork units at which the importer places a canvas whose larger
// side is `canvasSide` user units, `ownScale` pixels each at the size the drawing declares: a
// drawing smaller than fitFraction x overlaySide is enlarged to span that much, a larger one
// keeps its declared size (one artwork unit a pixel), or less for one that the host's
// pasteboard could not hold.
double placementScale(double canvasSide, double ownScale, const ImportOptions& options);

// A drawing imported into a document: the parsed file, the art made from it and the mapping
// between SVG user space and artwork coordinates.
class Drawing {
 public:
  ~Drawing();
  Drawing(const Drawing&) = delete;
  Drawing& operator=(const Drawing&) = delete;

  const std::string& name() const;  // the file's path, or the name given with the text
  // The drawing as written back when nothing changed: the input as read (inflated when it was
  // compressed), or its UTF-8 text when its encoding is written back as UTF-8.
  const std::string& source() const;

  const Affine& userToArtwork() const;
  const Affine& artworkToUser() const;
  // SVG user space to the pixels of the document window that `view` describes.
  Affine userToView(const ViewState& view) const;

  // The canvas in user space (x, y, width, height); width and height are 0 when the file gives
  // no canvas and has no shapes.
  double canvasX() const;
  double canvasY() const;
  double canvasWidth() const;
  double canvasHeight() const;

  // Top-level art made from the file, in document order: a path, or a compound path whose
  // subpaths are paths with it as parent.
  const std::vector<AIArtHandle>& art() const;
  // Every path art (subpaths of compound paths included), in document order.
  std::vector<AIArtHandle> paths() const;
  // The paths made from the element with this id or from the shapes inside it (a group).
  std::vector<AIArtHandle> pathsWithId(const std::string& id) const;
  // Number of source elements that became art.
  std::size_t shapeCount() const;
  // The local name of the SVG element with this id ("text"), or empty when there is none.
  std::string elementWithId(const std::string& id) const;
  // Whether the element with this id, or one inside it, was left out of the document.
  bool leftOut(const std::string& id) const;

  // What the drawing shows and the tool never stirs: text elements and images.
  std::size_t texts() const;
  std::size_t images() const;
  // Clones read as the shapes they show, and clones kept as clones (ImportOptions::keepClones).
  std::size_t clones() const;
  std::size_t keptClones() const;
  // The encoding the file is written in ("UTF-8", "ISO-8859-1", ...).
  const std::string& encoding() const;

  struct Impl;

 private:
  explicit Drawing(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  friend struct DrawingAccess;
};

struct ImportResult {
  std::unique_ptr<Drawing> drawing;  // none on error
  std::string error;                 // "file:line:column: what" and the like
  // Shapes left out of the document (malformed, beyond the pasteboard, too many segments), one
  // line each naming the element ("file:line:column: <path id="p1">: ..."). They are written back
  // as they were. Also filled when the import fails because no shape at all could be used.
  std::vector<std::string> warnings;
  explicit operator bool() const { return drawing != nullptr; }
};

// Imports SVG (`name` is used in messages) or a file into `document`. The bytes may be
// gzip-compressed (.svgz) and in any encoding that the C library's iconv reads, named by a byte
// order mark or the XML declaration. On error nothing is added to the document.
ImportResult importSvg(const std::string& text, const std::string& name, Document& document,
                       const ViewState& view, const ImportOptions& options = {});
ImportResult importSvgFile(const std::string& path, Document& document, const ViewState& view,
                           const ImportOptions& options = {});

// The drawing's SVG text with the current geometry of its art, in the input's encoding when it
// is ASCII-compatible (else UTF-8, the declaration changed). Art that was deleted from the
// document is written as it was in the input. False with *error on failure.
bool exportSvg(const Drawing& drawing, const Document& document, std::string* out,
               std::string* error);
// Writes the same to a file through a temporary file and a rename; on error nothing is written.
bool exportSvgFile(const Drawing& drawing, const Document& document, const std::string& path,
                   std::string* error);

// The SVG for rendering the drawing in user space: as exportSvg, in UTF-8, with the root's
// viewport replaced by the user-space box (x, y, width, height) mapped one to one, not clipped.
bool exportSvgForView(const Drawing& drawing, const Document& document, double x, double y,
                      double width, double height, std::string* out, std::string* error);

}  // namespace simhost::svg

#endif
