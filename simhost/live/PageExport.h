// The drawing as the page of `sarvello-host open` shows it: the document's SVG with every shape a
// <path data-shape="K">, and each shape's current path data for the frames that follow.
#ifndef SARVELLO_SIMHOST_LIVE_PAGEEXPORT_H
#define SARVELLO_SIMHOST_LIVE_PAGEEXPORT_H

#include <cstddef>
#include <string>
#include <vector>

#include "core/Host.h"
#include "svg/Svg.h"

namespace simhost::live {

// Each shape of the file (an element that became art, clones' included), in the file's order:
// its path data now in its own coordinates, the places of its path art in Drawing::paths(), and
// whether any of them is selected; then the paths that draw the mid markers of shapes that have
// them, in the order of their shapes, with their shape's paths (never shown selected).
struct PageShape {
  std::string d;
  std::vector<std::size_t> paths;
  bool selected = false;
};
std::vector<PageShape> pageShapes(const svg::Drawing& drawing, const Document& document);

// The drawing as svg::exportSvgForView gives it with user space mapped one to one, with every
// shape a <path> carrying data-shape="K", K its place in pageShapes().
std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document);

}  // namespace simhost::live

#endif
