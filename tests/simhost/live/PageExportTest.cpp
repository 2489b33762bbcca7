// The drawing as the page shows it: every shape a <path data-shape="K">, clones expanded into their
// shapes and the paths of mid markers numbered after them; and each shape's path data as the
// frames send it, a dense polyline reduced to what the view can show, its detail back when the
// view zooms in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "live/PageExport.h"
#include "svg/Svg.h"

namespace {

using simhost::Document;
using simhost::ViewState;

struct Point {
  double x, y;
};

// The points of a one-subpath shape without curves, from its path data ("Mx yLx y x y ...").
std::vector<Point> polyline(const std::string& data) {
  EXPECT_EQ('M', data.front());
  EXPECT_EQ(std::string::npos, data.find_first_of("CZ", 1)) << "no curves, not closed";
  EXPECT_EQ(data.find('L'), data.rfind('L')) << "one run of lines";
  std::istringstream in(data.substr(1));
  std::vector<Point> out;
  Point p{};
  char command = 0;
  while (in >> p.x) {
    if (!(in >> p.y)) break;
    out.push_back(p);
    if (out.size() == 1) in >> command;  // the L after the first point
  }
  EXPECT_EQ('L', command);
  return out;
}

double distanceToPolyline(const Point& p, const std::vector<Point>& line) {
  double best = INFINITY;
  for (std::size_t k = 0; k + 1 < line.size(); ++k) {
    const Point a = line[k], b = line[k + 1];
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0;
    best = std::min(best, std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y));
  }
  return best;
}

TEST(PageExport, APolylineIsReducedToWhatTheViewShowsAndAZoomInGetsItsDetailBack) {
  // A wavy line of 20,000 points over 200 units of the drawing's own coordinates.
  std::vector<Point> drawn;
  std::string points;
  for (int k = 0; k < 20000; ++k) {
    const double x = k * 0.01, y = 50 + 20 * std::sin(x * 0.3) + 0.004 * std::sin(x * 40);
    drawn.push_back({x, y});
    points += std::to_string(x) + "," + std::to_string(y) + " ";
  }
  const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 100">)"
                          R"(<polyline fill="none" stroke="black" points=")" + points + R"("/></svg>)";
  Document document;
  ViewState view;
  simhost::svg::ImportResult imported = simhost::svg::importSvg(svg, "wave.svg", document, view);
  ASSERT_TRUE(imported) << imported.error;
  const std::vector<simhost::live::PageShape> shapes = simhost::live::pageShapes(*imported.drawing, document);

  // At one pixel a unit, a quarter pixel hides the ripple: a few hundred points at most, and
  // none of the drawn ones further than that from the line sent.
  const std::vector<Point> far = polyline(simhost::live::encodeShape(*imported.drawing, shapes[0], document, 1));
  EXPECT_LT(far.size(), 400u);
  // Close up (a hundred pixels a unit) the ripple shows again.
  const std::vector<Point> near = polyline(simhost::live::encodeShape(*imported.drawing, shapes[0], document, 100));
  EXPECT_GT(near.size(), 10 * far.size());
  for (std::size_t k = 0; k < drawn.size(); k += 7) {
    EXPECT_LE(distanceToPolyline(drawn[k], far), 0.25 * 1.2) << k;
    EXPECT_LE(distanceToPolyline(drawn[k], near), 0.0025 * 1.2 + 1e-5) << k;
  }
  // The ends stay where they are, but for the rounding to a tenth of the tolerance.
  EXPECT_NEAR(drawn.front().x, far.front().x, 0.025);
  EXPECT_NEAR(drawn.back().y, far.back().y, 0.025);
}

TEST(PageExport, EveryShapeClonesAndMarkersIncludedIsTaggedForItsFrames) {
  Document document;
  simhost::svg::ImportResult r = simhost::svg::importSvg(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
<path id="p" d="M0 0 H10"/><use href="#p" y="20"/>
<polyline points="0,50 10,50 10,60 20,60" style="marker-mid:url(#m)"/></svg>)svg",
                                                         "page.svg", document, ViewState{});
  ASSERT_TRUE(r) << r.error;
  const std::vector<simhost::live::PageShape> shapes = simhost::live::pageShapes(*r.drawing, document);
  // The path, its clone, the polyline, then the path of the polyline's mid markers.
  ASSERT_EQ(shapes.size(), 4u);
  EXPECT_TRUE(shapes[3].markers);
  EXPECT_EQ(shapes[3].shape, shapes[2].shape);
  EXPECT_EQ(shapes[3].firstPath, shapes[2].firstPath);
  EXPECT_FALSE(shapes[3].selected);
  pugi::xml_document xml;
  const std::string svg = simhost::live::exportSvgForPage(*r.drawing, document);
  ASSERT_TRUE(xml.load_string(svg.c_str())) << svg;
  const pugi::xpath_node_set tagged = xml.select_nodes("//*[@data-shape]");
  ASSERT_EQ(tagged.size(), 4u) << svg;
  // The marker path goes to the page as the document has it: its vertices are the markers' places.
  EXPECT_EQ(std::string(xml.select_node("//*[@data-shape='3']").node().attribute("d").value()),
            simhost::live::encodeShape(*r.drawing, shapes[3], document, 1));
  EXPECT_EQ(std::string(xml.select_node("//*[@data-shape='1']").node().parent().name()), "g");
}

}  // namespace
