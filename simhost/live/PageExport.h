// The drawing as the page of `sarvello-host open` shows it: the document's SVG with every shape a
// <path data-shape="K">, and each shape's current geometry for the frames that follow, reduced to
// what the page's view can show.
#ifndef SARVELLO_SIMHOST_LIVE_PAGEEXPORT_H
#define SARVELLO_SIMHOST_LIVE_PAGEEXPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Host.h"
#include "svg/Svg.h"

namespace simhost::live {

// Each shape of the file (an element that became art, clones' included), in the file's order; then
// the paths that draw the mid markers of shapes that have them, in the order of their shapes. Each
// with its shape (`shape`, its place in the drawing's shapes) and whether it is that shape's marker
// path; its shape's path art, which is `pathCount` places of Drawing::paths() from `firstPath`;
// whether any of them is selected (a marker path never shows as selected); and the highest
// revision of their geometry (Art::revision), which tells whether it changed.
struct PageShape {
  std::size_t shape = 0;
  bool markers = false;
  std::size_t firstPath = 0;
  std::size_t pathCount = 0;
  bool selected = false;
  std::uint64_t revision = 0;
};
std::vector<PageShape> pageShapes(const svg::Drawing& drawing, const Document& document);

// How many pixels of the view one unit of the shape's own coordinates may span at most.
double pixelsPerUnit(const svg::Drawing& drawing, std::size_t shape, const ViewState& view);

// Shape `shape`'s geometry now, in its own coordinates, as SVG path data for the page's element.
// Each subpath is kept as it is when it holds curves; a polyline (what the tool makes of a path)
// is reduced to the points that keep it within a quarter of a view pixel of where it runs, for a
// view that shows a unit of the shape as `pixels` pixels, so that what the page receives and
// draws follows the screen, not the number of vertices; a view zoomed in asks for the detail
// again. Coordinates are written with the decimals that keep a tenth of that tolerance: a shape
// whose points moved by less than the page can show comes out as the same text. The page sets the
// text as it comes, with no work of its own per point.
// A marker path is sent as it is: its vertices are where the markers go.
std::string encodeShape(const svg::Drawing& drawing, const PageShape& shape, const Document& document,
                        double pixels);

// The drawing as svg::exportSvgForView gives it with user space mapped one to one, with every
// shape a <path> carrying data-shape="K", K its place in pageShapes().
std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document);

}  // namespace simhost::live

#endif
