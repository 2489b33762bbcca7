// Import of SVG files into the document and export back to SVG.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <algorithm>
#include <pugixml.hpp>
#include <zlib.h>

#include <unistd.h>

#include "TextFiles.h"
#include "core/Files.h"
#include "svg/Svg.h"

using namespace simhost;
using namespace simhost::svg;

namespace {

std::string dataPath(const std::string& name) {
  const char* root = std::getenv("SARVELLO_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/data/svg/" + name;
}

struct Imported {
  Document document;
  ViewState view;
  std::unique_ptr<Drawing> drawing;
};

std::unique_ptr<Imported> import(const std::string& text, ImportOptions options = {}) {
  auto out = std::make_unique<Imported>();
  ImportResult r = importSvg(text, "test.svg", out->document, out->view, options);
  EXPECT_TRUE(r) << r.error;
  out->drawing = std::move(r.drawing);
  return out;
}

std::string importError(const std::string& text) {
  Document document;
  ImportResult r = importSvg(text, "bad.svg", document, ViewState{});
  EXPECT_FALSE(r);
  EXPECT_EQ(document.size(), 0u) << "a failed import must add nothing";
  return r.error;
}

std::string exported(const Imported& i) {
  std::string out, error;
  EXPECT_TRUE(exportSvg(*i.drawing, i.document, &out, &error)) << error;
  return out;
}

const Art& artOf(const Imported& i, AIArtHandle h) { return *i.document.find(h); }

void moveAll(Imported& i, float dx, float dy) {
  for (AIArtHandle h : i.drawing->paths()) {
    for (AIPathSegment& s : i.document.find(h)->segments) {
      for (AIRealPoint* p : {&s.p, &s.in, &s.out}) {
        p->h += dx;
        p->v += dy;
      }
    }
  }
}

constexpr const char* kSquare =
    R"(<svg xmlns="http://www.w3.org/2000/svg"><path id="sq" d="M0 0 H10 V20 H0 Z"/></svg>)";

}  // namespace

TEST(SvgImport, FlipsYAndFitsIntoTheOverlaySquare) {
  ImportOptions noFit;
  noFit.fit = false;
  auto raw = import(kSquare, noFit);
  ASSERT_EQ(raw->drawing->paths().size(), 1u);
  const Art& a = artOf(*raw, raw->drawing->paths()[0]);
  EXPECT_TRUE(a.closed);
  EXPECT_TRUE(a.selected);
  ASSERT_EQ(a.segments.size(), 4u);
  EXPECT_EQ(a.segments[2].p.h, 10.0f);
  EXPECT_EQ(a.segments[2].p.v, -20.0f);  // y grows upward in artwork

  // Fitted: the shapes' bounds (no canvas given) centred on the view, larger side 360 units.
  Imported fitted;
  fitted.view.center = {100, 50};
  ImportResult r = importSvg(kSquare, "sq.svg", fitted.document, fitted.view);
  ASSERT_TRUE(r) << r.error;
  const Art& f = *fitted.document.find(r.drawing->paths()[0]);
  EXPECT_FLOAT_EQ(f.segments[0].p.h, 100 - 90);
  EXPECT_FLOAT_EQ(f.segments[0].p.v, 50 + 180);
  EXPECT_FLOAT_EQ(f.segments[2].p.h, 100 + 90);
  EXPECT_FLOAT_EQ(f.segments[2].p.v, 50 - 180);

  // With a viewBox, the canvas is fitted, not the shapes.
  auto boxed = import(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 40 20">
                         <rect x="10" y="5" width="20" height="10"/></svg>)");
  const Art& b = artOf(*boxed, boxed->drawing->paths()[0]);
  EXPECT_FLOAT_EQ(b.segments[0].p.h, -90);  // (10 - 20) * 9
  EXPECT_FLOAT_EQ(b.segments[0].p.v, 45);   // -(5 - 10) * 9
  EXPECT_DOUBLE_EQ(boxed->drawing->canvasWidth(), 40);

  ImportOptions unselected;
  unselected.select = false;
  auto u = import(kSquare, unselected);
  EXPECT_FALSE(artOf(*u, u->drawing->paths()[0]).selected);
}

TEST(SvgImport, ShapesGroupsAndTransforms) {
  auto i = import(readText(dataPath("shapes.svg")));
  const Drawing& d = *i->drawing;
  // rect, rounded rect, circle, ellipse, line, polyline, polygon, compound ring; nothing from
  // <defs>, <text>, <image> or foreign elements.
  EXPECT_EQ(d.shapeCount(), 8u);
  EXPECT_EQ(d.paths().size(), 9u);

  auto segments = [&](const std::string& id) {
    const auto paths = d.pathsWithId(id);
    EXPECT_EQ(paths.size(), 1u) << id;
    return artOf(*i, paths.at(0)).segments.size();
  };
  EXPECT_EQ(segments("box"), 4u);
  EXPECT_EQ(segments("rounded"), 8u);
  EXPECT_EQ(segments("sun"), 4u);
  EXPECT_EQ(segments("egg"), 4u);
  EXPECT_EQ(segments("horizon"), 2u);
  EXPECT_EQ(segments("hills"), 5u);
  EXPECT_EQ(segments("roof"), 3u);
  EXPECT_EQ(d.pathsWithId("ground").size(), 3u);  // the group's shapes
  EXPECT_TRUE(d.pathsWithId("nothing").empty());

  // The group's translate and the polygon's rotation both apply: the roof's apex (170, 10) turns
  // by 10 degrees about (170, 20), then moves down by 60.
  const Affine& toArt = d.artworkToUser();
  const Art& roof = artOf(*i, d.pathsWithId("roof")[0]);
  double x = roof.segments[1].p.h, y = roof.segments[1].p.v;
  toArt.apply(x, y);
  EXPECT_NEAR(x, 170 + 10 * std::sin(10 * M_PI / 180), 1e-3);
  EXPECT_NEAR(y, 80 - 10 * std::cos(10 * M_PI / 180), 1e-3);

  // The circle's anchors lie on it, in user space.
  for (const AIPathSegment& s : artOf(*i, d.pathsWithId("sun")[0]).segments) {
    double px = s.p.h, py = s.p.v;
    toArt.apply(px, py);
    EXPECT_NEAR(std::hypot(px - 130, py - 25), 15, 1e-3);
  }

  // The ring is one compound path holding two closed subpaths.
  const auto ring = d.pathsWithId("ring");
  ASSERT_EQ(ring.size(), 2u);
  const AIArtHandle compound = d.art().back();
  EXPECT_EQ(artOf(*i, compound).kind, kCompoundPathArt);
  for (std::size_t k = 0; k < 2; ++k) {
    const Art& sub = artOf(*i, ring[k]);
    EXPECT_EQ(sub.kind, kPathArt);
    EXPECT_NE(sub.parent, 0u);
    EXPECT_TRUE(sub.closed);
    EXPECT_EQ(sub.subpathIndex, static_cast<int>(k));
  }
  EXPECT_EQ(artOf(*i, ring[0]).parent, artOf(*i, ring[1]).parent);
}

TEST(SvgImport, NestedViewportsAndUnits) {
  ImportOptions noFit;
  noFit.fit = false;
  auto i = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
      <svg x="10" y="10" width="20" height="40" viewBox="0 0 10 10"><rect id="r" width="10" height="10"/></svg>
      <line id="l" x1="1in" y1="10%" x2="72pt" y2="50%"/></svg>)svg",
                  noFit);
  // The inner viewBox scales by 2 and is centred in its 20 x 40 viewport.
  const Art& r = artOf(*i, i->drawing->pathsWithId("r")[0]);
  EXPECT_FLOAT_EQ(r.segments[0].p.h, 10);
  EXPECT_FLOAT_EQ(r.segments[0].p.v, -20);
  EXPECT_FLOAT_EQ(r.segments[2].p.h, 30);
  EXPECT_FLOAT_EQ(r.segments[2].p.v, -40);
  const Art& l = artOf(*i, i->drawing->pathsWithId("l")[0]);
  EXPECT_FLOAT_EQ(l.segments[0].p.h, 96);
  EXPECT_FLOAT_EQ(l.segments[0].p.v, -10);
  EXPECT_FLOAT_EQ(l.segments[1].p.h, 96);
  EXPECT_FLOAT_EQ(l.segments[1].p.v, -50);
  // An em is the font size as the renderer takes it: 12 unless the element or a group around it
  // sets another (an ex is half of it).
  auto em = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
      <line id="a" x2="1em" y2="2ex"/><g style="fill: red; font-size: 20px"><g font-size="50%">
      <line id="b" x2="1em"/></g></g></svg>)svg", noFit);
  EXPECT_FLOAT_EQ(artOf(*em, em->drawing->pathsWithId("a")[0]).segments[1].p.h, 12);
  EXPECT_FLOAT_EQ(artOf(*em, em->drawing->pathsWithId("a")[0]).segments[1].p.v, -12);
  EXPECT_FLOAT_EQ(artOf(*em, em->drawing->pathsWithId("b")[0]).segments[1].p.h, 10);
}

TEST(SvgImport, HiddenAndForeignContentIsNotImported) {
  auto i = import(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:x="urn:other">
      <x:path d="M0 0 L1 1"/>
      <path d="M0 0 L1 1" display="none"/>
      <g style="display: none"><path d="M0 0 L1 1"/></g>
      <clipPath><rect width="5" height="5"/></clipPath>
      <circle r="0"/>
      <path d="M5 5"/>
      <svg:path xmlns:svg="http://www.w3.org/2000/svg" d="M0 0 L2 2"/>
    </svg>)");
  EXPECT_EQ(i->drawing->paths().size(), 1u);  // only the prefixed SVG path
}

TEST(SvgImport, InvalidInputNamesTheFileAndThePlace) {
  EXPECT_EQ(importError("<svg>\n  <g></svg>"), "bad.svg:2:8: not well-formed XML: Start-end tags mismatch");
  EXPECT_EQ(importError("<html/>"), "bad.svg: not an SVG document: the root element is <html>, not <svg>");
  EXPECT_EQ(importError("plain text"), "bad.svg:1:11: not well-formed XML: No document element found");
  std::string deep = "<svg>";
  for (int k = 0; k < 300; ++k) deep += "<g>";
  for (int k = 0; k < 300; ++k) deep += "</g>";
  EXPECT_NE(importError(deep + "</svg>").find("nested deeper than 256 levels"), std::string::npos);
  // A drawing none of whose shapes can be used is refused, with the reasons as warnings.
  Document none;
  ImportResult bad = importSvg("<svg><path d=\"Q\"/></svg>", "bad.svg", none, ViewState{});
  EXPECT_EQ(bad.error, "bad.svg: none of its shapes can be stirred (1 shape left out)");
  ASSERT_EQ(bad.warnings.size(), 1u);
  EXPECT_EQ(none.size(), 0u);
}

// One bad element is left out of the document with a warning naming it, written back byte for
// byte, and the rest of the drawing is imported.
TEST(SvgImport, BadElementsAreLeftOutAndWrittenBackAsTheyWere) {
  std::string many = "M0 0";
  for (int k = 0; k < 33000; ++k) many += " L" + std::to_string(k % 7) + " 1";
  struct Case {
    std::string element;
    std::string warning;  // after "bad.svg:2:1: "
  };
  const Case cases[] = {
      {"<path id=\"p\" d=\"M0 0 L1\"/>",
       "<path id=\"p\">: left out, written back as it was: attribute d: expected a number at character 8"},
      {"<path d=\"M0 0 L5 5 Q\"/>", "<path>: left out, written back as it was: attribute d: expected a number at character 12"},
      {"<path d=\"M0 0 L1e400 0\"/>", "<path>: left out, written back as it was: attribute d: expected a number at character 7"},
      {"<path d=\"M0 0 L1e200 0\"/>", "<path>: left out, written back as it was: its coordinates reach beyond the host's pasteboard"},
      {"<path transform=\"scale(1e6)\" d=\"M0 0 L10 10\"/>", "<path>: left out, written back as it was: its coordinates reach beyond the host's pasteboard"},
      {"<path transform=\"skewX(90)\" d=\"M0 0 L10 10\"/>", "<path>: left out, written back as it was: its coordinates reach beyond the host's pasteboard"},
      {"<path d=\"" + many + "\"/>", "<path>: left out, written back as it was: a path holds at most 32767 segments"},
      {"<g transform=\"scale(1 2 3)\"><path d=\"M0 0 L1 1\"/></g>",
       "<g>: left out, written back as it was: attribute transform: wrong number of arguments to scale at character 1"},
      {"<circle r=\"-2\"/>", "<circle>: left out, written back as it was: attribute r: must not be negative"},
      {"<polygon points=\"1 2 3\"/>", "<polygon>: left out, written back as it was: attribute points: an odd number of coordinates (3)"},
      {"<rect width=\"3furlongs\" height=\"1\"/>", "<rect>: left out, written back as it was: attribute width: unknown unit \"furlongs\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element.substr(0, 60));
    const std::string text = "<svg viewBox=\"0 0 20 20\">\n" + c.element +
                             "\n<rect id=\"ok\" width=\"5\" height=\"5\"/></svg>";
    Imported i;
    ImportResult r = importSvg(text, "bad.svg", i.document, i.view);
    ASSERT_TRUE(r) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "bad.svg:2:1: " + c.warning);
    i.drawing = std::move(r.drawing);
    ASSERT_EQ(i.drawing->paths().size(), 1u);
    EXPECT_EQ(i.drawing->pathsWithId("ok").size(), 1u);
    moveAll(i, 1, 0);
    const std::string out = exported(i);
    EXPECT_EQ(out.substr(0, out.find("<path id=\"ok\"")), text.substr(0, text.find("<rect id=\"ok\"")));
  }
}

TEST(SvgImport, IdsTellWhatTheyName) {
  auto i = import(R"(<svg xmlns="http://www.w3.org/2000/svg"><text id="t">Hi</text>
      <g id="g"><path id="bad" d="M0"/></g><path id="p" d="M0 0 L1 1"/></svg>)");
  EXPECT_EQ(i->drawing->elementWithId("t"), "text");
  EXPECT_EQ(i->drawing->elementWithId("p"), "path");
  EXPECT_EQ(i->drawing->elementWithId("nothing"), "");
  EXPECT_TRUE(i->drawing->leftOut("g"));
  EXPECT_TRUE(i->drawing->leftOut("bad"));
  EXPECT_FALSE(i->drawing->leftOut("p"));
}

TEST(SvgImport, CompressedDrawingsAreRead) {
  const std::string text = kSquare;
  // gzip of kSquare, as gzip -9 writes it.
  std::string gz(compressBound(text.size()) + 32, '\0');
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(gz.data());
  z.avail_out = static_cast<uInt>(gz.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  gz.resize(z.total_out);
  deflateEnd(&z);
  auto i = import(gz);
  EXPECT_EQ(i->drawing->paths().size(), 1u);
  EXPECT_EQ(exported(*i), text);
  EXPECT_EQ(importError(gz.substr(0, gz.size() / 2)).rfind("bad.svg: the compressed drawing is broken", 0), 0u);

  EXPECT_EQ(import("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + text)->drawing->paths().size(), 1u);
}

TEST(SvgImport, UnreadableFilesSayWhy) {
  Document document;
  ImportResult r = importSvgFile("/nonexistent/drawing.svg", document, ViewState{});
  EXPECT_EQ(r.error, "/nonexistent/drawing.svg: cannot read the file: No such file or directory");
  r = importSvgFile("/", document, ViewState{});
  EXPECT_EQ(r.error, "/: cannot read the file: Is a directory");
}

TEST(SvgExport, UntouchedDrawingIsWrittenByteForByte) {
  const std::string text = readText(dataPath("shapes.svg"));
  auto i = import(text);
  EXPECT_EQ(exported(*i), text);
}

TEST(SvgExport, ChangedShapesBecomePathsAndKeepEverythingElse) {
  const std::string text = readText(dataPath("shapes.svg"));
  auto i = import(text);
  // Move the circle and the polygon.
  for (const char* id : {"sun", "roof"}) {
    for (AIPathSegment& s : i->document.find(i->drawing->pathsWithId(id)[0])->segments) {
      s.p.h += 9;
      s.in.h += 9;
      s.out.h += 9;
    }
  }
  const std::string out = exported(*i);
  // The circle is a path with the circle's other attributes, in their place.
  EXPECT_NE(out.find("<path id=\"sun\" d=\"M"), std::string::npos) << out;
  EXPECT_NE(out.find("\" fill=\"orange\" notes:label=\"Sun\"/>"), std::string::npos);
  EXPECT_EQ(out.find("<circle id=\"sun\""), std::string::npos);
  EXPECT_EQ(out.find("cx=\"130\""), std::string::npos);
  // The polygon keeps its transform, its geometry written in its own coordinates.
  EXPECT_NE(out.find("<path id=\"roof\" d=\"M"), std::string::npos);
  EXPECT_NE(out.find("transform=\"rotate(10 170 20)\"/>"), std::string::npos);
  // Everything else is as it was: the lines before the circle and after the polygon.
  EXPECT_EQ(out.substr(0, text.find("<circle id=\"sun\"")), text.substr(0, text.find("<circle id=\"sun\"")));
  const std::string tail = text.substr(text.find("  </g>"));
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);

  // Read back, the moved shapes are where the document had them.
  Imported again;
  ImportResult r = importSvg(out, "again.svg", again.document, again.view);
  ASSERT_TRUE(r) << r.error;
  for (const char* id : {"sun", "roof", "box", "ring"}) {
    const auto before = i->drawing->pathsWithId(id);
    const auto after = r.drawing->pathsWithId(id);
    ASSERT_EQ(before.size(), after.size()) << id;
    for (std::size_t k = 0; k < before.size(); ++k) {
      const auto& s0 = i->document.find(before[k])->segments;
      const auto& s1 = again.document.find(after[k])->segments;
      ASSERT_EQ(s0.size(), s1.size()) << id;
      for (std::size_t n = 0; n < s0.size(); ++n) {
        EXPECT_NEAR(s0[n].p.h, s1[n].p.h, 1e-3) << id;
        EXPECT_NEAR(s0[n].p.v, s1[n].p.v, 1e-3) << id;
        EXPECT_NEAR(s0[n].in.h, s1[n].in.h, 1e-3) << id;
        EXPECT_NEAR(s0[n].out.v, s1[n].out.v, 1e-3) << id;
      }
    }
  }
}

TEST(SvgExport, PolylinesOfTheToolAreWrittenInTheInputCoordinates) {
  // What a deformation step leaves: every path a polyline with coinciding control points.
  ImportOptions noFit;
  noFit.fit = false;
  auto i = import(R"svg(<svg xmlns="http://www.w3.org/2000/svg"><g transform="translate(100 0)"><ellipse cx="0" cy="0" rx="4" ry="2"></ellipse></g></svg>)svg", noFit);
  Art& e = *i->document.find(i->drawing->paths()[0]);
  e.segments.clear();
  for (AIRealPoint p : {AIRealPoint{104, 0}, AIRealPoint{100, -2}, AIRealPoint{96, 0}}) {
    e.segments.push_back({p, p, p, 1});
  }
  EXPECT_EQ(exported(*i),
            R"svg(<svg xmlns="http://www.w3.org/2000/svg"><g transform="translate(100 0)"><path d="M4,0 L0,2 L-4,0 Z"></path></g></svg>)svg");
}

TEST(SvgExport, StrayGeometryAndDotsAreWrittenSoReadersTakeThem) {
  ImportOptions noFit;
  noFit.fit = false;
  // A shape that is not a path with a stray "d": the written path has one "d" only.
  auto line = import(R"(<svg xmlns="http://www.w3.org/2000/svg"><line d="M0 0" x2="1"/></svg>)", noFit);
  moveAll(*line, 1, 0);
  pugi::xml_document xml;
  const std::string out = exported(*line);
  ASSERT_TRUE(xml.load_string(out.c_str())) << out;
  EXPECT_EQ(std::string(xml.child("svg").child("path").attribute("d").value()), "M1,0 L2,0");
  const pugi::xml_node path = xml.child("svg").child("path");
  EXPECT_EQ(std::count_if(path.attributes_begin(), path.attributes_end(),
                          [](const pugi::xml_attribute& a) { return std::string(a.name()) == "d"; }),
            1);

  // A dot (a zero-length subpath, drawn by round caps) that the tool left as one point.
  auto dot = import(R"(<svg xmlns="http://www.w3.org/2000/svg"><path d="M20 20 L20 20"/></svg>)", noFit);
  Art& art = *dot->document.find(dot->drawing->paths()[0]);
  ASSERT_EQ(art.segments.size(), 2u);
  art.segments.resize(1);
  EXPECT_NE(exported(*dot).find("d=\"M20,20 L20,20\""), std::string::npos) << exported(*dot);
}

// The view export replaces the root's viewport whatever the order of its attributes.
TEST(SvgExport, ViewExportTakesTheRootAttributesInAnyOrder) {
  std::vector<std::string> attributes = {"width=\"16\"", "height=\"16\"", "viewBox=\"0 0 16 16\"",
                                         "xmlns=\"http://www.w3.org/2000/svg\"",
                                         "preserveAspectRatio=\"xMidYMid\""};
  std::sort(attributes.begin(), attributes.end());
  do {
    std::string root = "<svg";
    for (const std::string& a : attributes) root += " " + a;
    const std::string text = root + "><path d=\"M1 1 L5 5\"/></svg>";
    SCOPED_TRACE(root);
    auto i = import(text);
    moveAll(*i, 1, 0);
    std::string out, error;
    ASSERT_TRUE(exportSvgForView(*i->drawing, i->document, -2, -3, 20, 30, &out, &error)) << error;
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_string(out.c_str())) << out;
    const pugi::xml_node svg = xml.child("svg");
    EXPECT_EQ(std::string(svg.attribute("viewBox").value()), "-2 -3 20 30");
    EXPECT_EQ(std::string(svg.attribute("width").value()), "20");
    EXPECT_EQ(std::string(svg.attribute("preserveAspectRatio").value()), "none");
    EXPECT_EQ(std::distance(svg.attributes_begin(), svg.attributes_end()), 6);
    EXPECT_TRUE(svg.child("path"));
  } while (std::next_permutation(attributes.begin(), attributes.end()));
}

// A drawing file without end (a device, a pipe that never closes) is refused at a size limit
// instead of being read until memory runs out; a file within the limit reads whole.
TEST(Files, ReadingStopsAtTheSizeLimit) {
  std::string text, error;
  EXPECT_FALSE(simhost::readWholeFile("/dev/zero", &text, &error, std::size_t{1} << 20));
  EXPECT_EQ(error, "/dev/zero: cannot read the file: larger than 1 MB");
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("sarvello-limit-" + std::to_string(::getpid()) + ".svg")).string();
  writeText(path, std::string(std::size_t{1} << 20, 'a'));
  EXPECT_TRUE(simhost::readWholeFile(path, &text, &error, std::size_t{1} << 20)) << error;
  EXPECT_EQ(text.size(), std::size_t{1} << 20);
  std::filesystem::remove(path);
}

TEST(SvgExport, FileIsReplacedWholeOrNotAtAll) {
  auto i = import(kSquare);
  moveAll(*i, 1, 0);
  const auto dir = std::filesystem::temp_directory_path() / ("svg-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "out.svg").string();
  std::string error;
  ASSERT_TRUE(exportSvgFile(*i->drawing, i->document, path, &error)) << error;
  EXPECT_EQ(readText(path), exported(*i));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary left";

  EXPECT_FALSE(exportSvgFile(*i->drawing, i->document, (dir / "missing" / "out.svg").string(), &error));
  EXPECT_NE(error.find("missing/out.svg: cannot write the file: No such file or directory"), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}
