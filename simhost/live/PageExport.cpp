#include "live/PageExport.h"

#include <map>

#include "svg/DrawingImpl.h"

namespace simhost::live {

std::vector<PageShape> pageShapes(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  std::map<AIArtHandle, std::size_t> place;
  const std::vector<AIArtHandle> paths = drawing.paths();
  for (std::size_t k = 0; k < paths.size(); ++k) place[paths[k]] = k;
  std::vector<PageShape> shapes;
  std::vector<PageShape> markers;  // the paths of mid markers, after the shapes
  for (const svg::Shape& shape : d.shapes) {
    PageShape page;
    bool changed = false, any = false;
    const svg::Geometry geometry = svg::currentGeometry(shape, document, &changed, &any);
    page.d = svg::formatPathData(geometry);
    for (AIArtHandle path : shape.paths) {
      const auto it = place.find(path);
      if (it == place.end()) continue;
      page.paths.push_back(it->second);
      if (const Art* art = document.find(path); art != nullptr && art->selected) page.selected = true;
    }
    if (shape.midMarkers && shape.vertices.size() > 2) {
      PageShape marker;
      marker.d = svg::markerPathData(shape, geometry);
      marker.paths = page.paths;
      markers.push_back(std::move(marker));
    }
    shapes.push_back(std::move(page));
  }
  for (PageShape& marker : markers) shapes.push_back(std::move(marker));
  return shapes;
}

std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  return svg::viewSvg(d, svg::drawingSplices(d, document, true), 0, 0, 1, 1);
}

}  // namespace simhost::live
