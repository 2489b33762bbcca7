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
  for (const svg::Shape& shape : d.shapes) {
    PageShape page;
    bool changed = false, any = false;
    page.d = svg::formatPathData(svg::currentGeometry(shape, document, &changed, &any));
    for (AIArtHandle path : shape.paths) {
      const auto it = place.find(path);
      if (it == place.end()) continue;
      page.paths.push_back(it->second);
      if (const Art* art = document.find(path); art != nullptr && art->selected) page.selected = true;
    }
    shapes.push_back(std::move(page));
  }
  return shapes;
}

std::string exportSvgForPage(const svg::Drawing& drawing, const Document& document) {
  const svg::Drawing::Impl& d = svg::DrawingAccess::impl(drawing);
  std::vector<svg::Splice> splices;
  for (std::size_t k = 0; k < d.shapes.size(); ++k) {
    const svg::Shape& shape = d.shapes[k];
    bool changed = false, any = false;
    svg::rewriteShape(d.source, shape, svg::formatPathData(svg::currentGeometry(shape, document, &changed, &any)), &splices);
    const svg::StartTag tag = svg::readStartTag(d.source, shape.nameOffset);
    splices.push_back({tag.attributesEnd, tag.attributesEnd, " data-shape=\"" + std::to_string(k) + "\""});
  }
  return svg::viewSvg(d, std::move(splices), 0, 0, 1, 1);
}

}  // namespace simhost::live
