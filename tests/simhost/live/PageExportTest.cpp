// The drawing as the page shows it: every shape a <path data-shape="K"> whose path data the frames
// update, clones expanded into their shapes, and the paths of mid markers numbered after them.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "live/PageExport.h"

TEST(PageExport, EveryShapeClonesAndMarkersIncludedIsTaggedWithItsPathData) {
  simhost::Document document;
  simhost::svg::ImportResult r = simhost::svg::importSvg(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
<path id="p" d="M0 0 H10"/><use href="#p" y="20"/>
<polyline points="0,50 10,50 10,60 20,60" style="marker-mid:url(#m)"/></svg>)svg",
                                                         "page.svg", document, simhost::ViewState{});
  ASSERT_TRUE(r) << r.error;
  const std::vector<simhost::live::PageShape> shapes = simhost::live::pageShapes(*r.drawing, document);
  // The path, its clone, the polyline, then the path of the polyline's mid markers.
  ASSERT_EQ(shapes.size(), 4u);
  EXPECT_EQ(shapes[3].paths, shapes[2].paths);
  EXPECT_FALSE(shapes[3].selected);
  pugi::xml_document xml;
  const std::string svg = simhost::live::exportSvgForPage(*r.drawing, document);
  ASSERT_TRUE(xml.load_string(svg.c_str())) << svg;
  const pugi::xpath_node_set tagged = xml.select_nodes("//*[@data-shape]");
  ASSERT_EQ(tagged.size(), 4u) << svg;
  for (const pugi::xpath_node& n : tagged) {
    const int k = n.node().attribute("data-shape").as_int();
    EXPECT_EQ(std::string(n.node().attribute("d").value()), shapes.at(static_cast<std::size_t>(k)).d) << k;
  }
  EXPECT_EQ(std::string(xml.select_node("//*[@data-shape='1']").node().parent().name()), "g");
}
