// Drawings written back as their authors drew them: shapes rewritten as paths keep their look
// (no fill for a line, the rules that chose them by name, their markers where they were), clones
// are read as shapes of their own and expanded only when what they show changed, and files in
// other encodings are read and written in their own bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "svg/Svg.h"

using namespace simhost;
using namespace simhost::svg;

namespace {

struct Imported {
  Document document;
  ViewState view;
  std::unique_ptr<Drawing> drawing;
};

std::unique_ptr<Imported> import(const std::string& text, ImportOptions options = {}) {
  options.fit = false;
  auto out = std::make_unique<Imported>();
  ImportResult r = importSvg(text, "test.svg", out->document, out->view, options);
  EXPECT_TRUE(r) << r.error;
  out->drawing = std::move(r.drawing);
  return out;
}

std::string exported(const Imported& i) {
  std::string out, error;
  EXPECT_TRUE(exportSvg(*i.drawing, i.document, &out, &error)) << error;
  return out;
}

// What the tool leaves of a path: a polyline through points `step` apart along its segments
// (anchors kept), moved by (dx, dy).
void resample(Imported& i, AIArtHandle path, float dx = 0, float dy = 0, float step = 0.5f) {
  Art& art = *i.document.find(path);
  std::vector<AIPathSegment> in = art.segments;
  if (art.closed) in.push_back(in.front());
  std::vector<AIPathSegment> out;
  const auto put = [&](float h, float v) {
    const AIRealPoint p{h + dx, v + dy};
    out.push_back({p, p, p, 1});
  };
  put(in[0].p.h, in[0].p.v);
  for (std::size_t k = 1; k < in.size(); ++k) {
    const float x0 = in[k - 1].p.h, y0 = in[k - 1].p.v, x1 = in[k].p.h, y1 = in[k].p.v;
    const int n = std::max(1, static_cast<int>(std::ceil(std::hypot(x1 - x0, y1 - y0) / step)));
    for (int j = 1; j <= n; ++j) put(x0 + (x1 - x0) * j / n, y0 + (y1 - y0) * j / n);
  }
  if (art.closed) out.pop_back();
  art.segments = out;
}

void resampleAll(Imported& i, float dx = 0, float dy = 0) {
  for (AIArtHandle h : i.drawing->paths()) resample(i, h, dx, dy);
}

pugi::xml_document parsed(const std::string& text) {
  pugi::xml_document xml;
  EXPECT_TRUE(xml.load_string(text.c_str())) << text;
  return xml;
}

// The numbers of a "d" that holds only M, L, C and Z, as points.
std::vector<std::pair<double, double>> pointsOf(const std::string& d) {
  std::vector<std::pair<double, double>> out;
  std::string numbers = d;
  for (char& c : numbers)
    if (std::isalpha(static_cast<unsigned char>(c)) || c == ',') c = ' ';
  std::istringstream in(numbers);
  double x, y;
  while (in >> x >> y) out.emplace_back(x, y);
  return out;
}

}  // namespace

TEST(WrittenBack, ShapesRewrittenAsPathsKeepTheirLook) {
  auto i = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg"><style>line { stroke: red } .c { stroke: blue }</style>
<g style="marker-start: url(#m)"><line id="l" x2="10" style="fill: green"/><rect id="r" width="5" height="5"/></g>
<line id="c" class="c" x2="10"/>
<g fill="black"><path id="axis" d="M0 20 h30 v-15"/><path id="rule" d="M0 25 C10 25 20 25 30 25 M0 30 h30"/></g></svg>)svg");
  resampleAll(*i, 1, 0);
  const pugi::xml_document xml = parsed(exported(*i));
  const pugi::xml_node svg = xml.child("svg");
  const auto style = [&](const char* id) {
    return std::string(svg.find_node([&](pugi::xml_node n) { return std::string(n.attribute("id").value()) == id; })
                           .attribute("style").value());
  };
  // A line never fills, whatever its style says; the rule that chose it by its name still
  // gives it its stroke; a rectangle draws no markers, which a path would.
  EXPECT_EQ(style("l"), "fill: green;stroke:red;fill:none !important");
  EXPECT_EQ(style("r"), "marker-start:none !important;marker-mid:none !important;marker-end:none !important");
  // A rule that chose it by its class still does, with nothing added for it.
  EXPECT_EQ(style("c"), "fill:none !important");
  EXPECT_EQ(std::string(svg.find_child_by_attribute("id", "c").name()), "path");
  // A path whose every subpath is drawn straight filled nothing and, bent, still fills nothing;
  // one that encloses an area keeps its fill.
  EXPECT_EQ(style("rule"), "fill:none !important");
  EXPECT_EQ(style("axis"), "");
}

TEST(WrittenBack, MidMarkersStayAsManyAndWhereTheVerticesWent) {
  auto i = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg">
<polyline id="p" points="0,0 10,0 10,10 20,10" style="marker-mid:url(#m)" stroke-width="2"/></svg>)svg");
  // Moved by amounts that single floats round, as the tool's points are.
  resampleAll(*i, 3.37f, -1.21f);
  const std::string out = exported(*i);
  const pugi::xml_document xml = parsed(out);
  const pugi::xml_node main = xml.child("svg").child("path");
  const pugi::xml_node markers = main.next_sibling("path");
  ASSERT_TRUE(markers) << out;
  // The stirred outline draws no mid markers; the path after it draws them at the two middle
  // vertices, carried as the points were, and nothing of its own.
  EXPECT_NE(std::string(main.attribute("style").value()).find("marker-mid:none !important"), std::string::npos);
  EXPECT_FALSE(markers.attribute("id"));
  EXPECT_EQ(std::string(markers.attribute("stroke-width").value()), "2");
  EXPECT_NE(std::string(markers.attribute("style").value()).find("marker-mid:url(#m);marker-start:none !important"), std::string::npos);
  const std::string d = markers.attribute("d").value();
  const auto points = pointsOf(d);
  ASSERT_EQ(std::count(d.begin(), d.end(), 'C'), 3) << d;
  ASSERT_EQ(points.size(), 1u + 3 * 3);
  const std::vector<std::pair<double, double>> vertices = {{3.37, 1.21}, {13.37, 1.21}, {13.37, 11.21}, {23.37, 11.21}};
  for (std::size_t k = 0; k < 4; ++k) {
    const auto& p = points[k == 0 ? 0 : 3 * k];
    EXPECT_NEAR(p.first, vertices[k].first, 1e-4) << d;
    EXPECT_NEAR(p.second, vertices[k].second, 1e-4) << d;
  }
  // The curve reaches and leaves each vertex along the outline on either side, so markers turn
  // as before: at a corner, along its bisector.
  EXPECT_NEAR(points[2].second, 1.21, 1e-4) << d;  // reaches (13.37, 1.21) along y = 1.21
  EXPECT_NEAR(points[4].first, 13.37, 1e-4) << d;  // leaves it along x = 13.37, a third of the way
  EXPECT_NEAR(points[4].second, 1.21 + 10.0 / 3, 1e-4) << d;
}

TEST(WrittenBack, LargeDrawingsKeepTheirSizeAndSmallOnesFillTheSquare) {
  ImportOptions options;
  Document small, large;
  ViewState view;
  view.center = {50, 0};
  ImportResult s = importSvg(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 20 10"><path d="M0 0 H20"/></svg>)svg",
                             "small.svg", small, view, options);
  ImportResult l = importSvg(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 2000 1000"><path d="M0 0 H2000"/></svg>)svg",
                             "large.svg", large, view, options);
  ASSERT_TRUE(s && l);
  EXPECT_DOUBLE_EQ(s.drawing->userToArtwork().a, 18);  // 360 units across
  EXPECT_DOUBLE_EQ(l.drawing->userToArtwork().a, 1);   // its own size, centred on the view
  EXPECT_FLOAT_EQ(large.find(l.drawing->paths()[0])->segments[0].p.h, 50 - 1000);
  // Only a drawing larger than the pasteboard could hold is made smaller.
  EXPECT_DOUBLE_EQ(placementScale(1e6, 1, options), 0.9 * 256 * 400 / 1e6);
  // The size a drawing declares is its own: 750 pixels across a viewBox of 7500 units.
  Document declared;
  ImportResult t = importSvg(R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="750" height="375" viewBox="0 0 7500 3750"><path d="M0 0 H10"/></svg>)svg",
                             "tenths.svg", declared, view, options);
  ASSERT_TRUE(t);
  EXPECT_DOUBLE_EQ(t.drawing->userToArtwork().a, 0.1);
}

TEST(WrittenBack, ClonesAreShapesOfTheirOwnWrittenBackOnlyWhenTheyChanged) {
  const std::string text = R"svg(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
<defs><symbol id="s" viewBox="0 0 10 10"><rect id="inner" width="10" height="10"/></symbol></defs>
<path id="p" d="M0 0 H4"/>
<use id="u1" xlink:href="#s" x="100" width="20" height="20" fill="red"/>
<use id="u2" href="#p" transform="translate(0 50)"/>
<use id="none" href="#nothing"/></svg>)svg";
  auto i = import(text);
  const Drawing& d = *i->drawing;
  // The path, the symbol's rectangle at twice its size beside it, and the path again below.
  ASSERT_EQ(d.paths().size(), 3u);
  EXPECT_EQ(d.clones(), 2u);
  EXPECT_EQ(d.pathsWithId("u1").size(), 1u);
  EXPECT_TRUE(d.pathsWithId("inner").empty());  // the symbol's ids name the original
  const Art& square = *i->document.find(d.pathsWithId("u1")[0]);
  EXPECT_FLOAT_EQ(square.segments[2].p.h, 120);
  EXPECT_FLOAT_EQ(square.segments[2].p.v, -20);
  EXPECT_EQ(exported(*i), text);

  // Only the original moved: the clone of it is written as it showed it before.
  resample(*i, d.pathsWithId("p")[0], 0, -1);
  std::string out = exported(*i);
  EXPECT_NE(out.find("<g id=\"u2\" transform=\"translate(0 50)\"><path d=\"M0 0 H4\"/></g>"), std::string::npos) << out;
  EXPECT_NE(out.find("<use id=\"u1\""), std::string::npos) << "a clone whose original did not change stays";

  // The symbol's clone moved: an <svg> of its size holding the moved copy, without ids.
  resample(*i, d.pathsWithId("u1")[0], 1, 0);
  out = exported(*i);
  EXPECT_NE(out.find("<g id=\"u1\" fill=\"red\" transform=\"translate(100 0)\"><svg viewBox=\"0 0 10 10\" width=\"20\" height=\"20\"><path d=\"M0.5,0"),
            std::string::npos) << out;
  EXPECT_NE(out.find("<symbol id=\"s\""), std::string::npos);
  EXPECT_EQ(parsed(out).find_node([](pugi::xml_node n) { return std::string(n.attribute("id").value()) == "inner"; })
                .parent().name(), std::string("symbol"));

  // Kept as clones, they are no shapes.
  ImportOptions keep;
  keep.keepClones = true;
  auto kept = import(text, keep);
  EXPECT_EQ(kept->drawing->paths().size(), 1u);
  EXPECT_EQ(kept->drawing->keptClones(), 3u);
}

TEST(WrittenBack, ClonesOfClonesAndRulesThatChoseTheOriginalByItsPlace) {
  auto i = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg"><style>#d circle { fill: blue }</style>
<defs id="d"><circle id="c" r="2"/><g id="g"><use href="#c"/><use href="#c" x="5"/></g></defs>
<use href="#g" y="10"/><use href="#g" y="20"/><use id="loop" href="#loop"/></svg>)svg");
  ASSERT_EQ(i->drawing->paths().size(), 4u);
  resampleAll(*i);
  const std::string out = exported(*i);
  // Each circle is a path in the copy, blue as the rule made the original.
  const pugi::xml_document xml = parsed(out);
  std::size_t blue = 0;
  for (const pugi::xpath_node& n : xml.select_nodes("//g/g/path"))
    blue += std::string(n.node().attribute("style").value()).find("fill:blue") != std::string::npos;
  EXPECT_EQ(blue, 4u) << out;
}

TEST(WrittenBack, EncodingsAreReadAndWrittenInTheirOwnBytes) {
  // ISO-8859-1 stays as it is where nothing is spliced.
  const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                             "<svg xmlns=\"http://www.w3.org/2000/svg\"><title>H\xF6he</title>"
                             "<path id=\"Br\xFC" "cke\" d=\"M0 0 L4 0\"/></svg>";
  auto l = import(latin1);
  EXPECT_EQ(l->drawing->encoding(), "ISO-8859-1");
  EXPECT_EQ(l->drawing->pathsWithId("Br\xC3\xBC" "cke").size(), 1u);
  EXPECT_EQ(exported(*l), latin1);
  resampleAll(*l, 1, 0);
  std::string out = exported(*l);
  EXPECT_EQ(out.substr(0, out.find(" d=\"")), latin1.substr(0, latin1.find(" d=\"")));
  EXPECT_NE(out.find("d=\"M1,0 L1.5,0"), std::string::npos);

  // UTF-16 is written as UTF-8, its declaration changed.
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><svg xmlns=\"http://www.w3.org/2000/svg\"><text>\xC3\xA9</text><path d=\"M0 0 L4 0\"/></svg>";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><svg xmlns=\"http://www.w3.org/2000/svg\"><text>\xE9</text><path d=\"M0 0 L4 0\"/></svg>")) {
    utf16 += static_cast<char>(c);
    utf16 += '\0';
  }
  auto u = import(utf16);
  EXPECT_EQ(u->drawing->encoding(), "UTF-16LE");
  std::string expected = utf8;
  expected.replace(expected.find("UTF-16"), 6, "UTF-8");
  EXPECT_EQ(exported(*u), expected);

  // Shift_JIS whose bytes stand for ASCII inside characters: UTF-8 too.
  auto s = import("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><svg xmlns=\"http://www.w3.org/2000/svg\"><title>\x83\x5C</title><path d=\"M0 0 L4 0\"/></svg>");
  EXPECT_EQ(exported(*s), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><svg xmlns=\"http://www.w3.org/2000/svg\"><title>\xE3\x82\xBD</title><path d=\"M0 0 L4 0\"/></svg>");

  // Encodings that cannot be read say why.
  Document none;
  EXPECT_EQ(importSvg("<?xml version=\"1.0\" encoding=\"X-NO-SUCH\"?><svg/>", "bad.svg", none, ViewState{}).error,
            "bad.svg: the drawing declares the encoding \"X-NO-SUCH\", which the host cannot read");
  EXPECT_EQ(importSvg("<?xml version=\"1.0\" encoding=\"EUC-JP\"?><svg>\xFF\xFF</svg>", "bad.svg", none, ViewState{}).error,
            "bad.svg: the drawing is not valid EUC-JP: the bytes at offset 44 are not a character of it");
  EXPECT_EQ(none.size(), 0u);
}
