// Pictures of the document window: the drawing where the view shows it, the overlay on top.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "ViewRects.h"
#include "tool/Overlay.h"
#include "picture/Picture.h"
#include "svg/Svg.h"

using namespace simhost;
using namespace simhost::picture;

// Fontconfig keeps its configuration for the life of the process; the leak checker is told that
// this is not ours.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\n";
}

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kRed = 0xFFFF0000u;

std::filesystem::path scratch() {
  const char* keep = std::getenv("SARVELLO_PICTURE_DIR");  // to look at the pictures
  auto dir = keep ? std::filesystem::path(keep)
                  : std::filesystem::temp_directory_path() / ("picture-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

// What the annotator draws: the frame of the square and the status line.
OverlayRecording statusOverlay(const Rect& square) {
  OverlayRecording rec;
  OverlayCall c;
  c.kind = OverlayCall::SetColor;
  rec.push_back(c);
  c.kind = OverlayCall::SetLineWidth;
  c.lineWidth = 1;
  rec.push_back(c);
  c.kind = OverlayCall::DrawRect;
  c.rect = square;
  c.fill = false;
  rec.push_back(c);
  c.kind = OverlayCall::SetFontPreset;
  c.preset = 1;
  rec.push_back(c);
  c.kind = OverlayCall::DrawText;
  c.text = "Step = 12 Vertices = 345";
  c.origin.h = square.left + 5;
  c.origin.v = square.bottom - static_cast<int>(textHeightForPreset(1) + 5.0f);
  rec.push_back(c);
  return rec;
}

bool anyBlackIn(const Image& im, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if ((im.at(x, y) & 0xFFFFFF) < 0x808080) return true;
  return false;
}

}  // namespace

TEST(Picture, DrawingAndOverlayLandWhereTheViewShowsThem) {
  Document document;
  ViewState view;
  view.width = 300;
  view.height = 200;
  view.center = {0, 0};
  // A red square filling the middle half of the canvas; fitted, the canvas spans 360 units, so at
  // zoom 0.5 the red square covers 90 pixels around the window's centre (150, 100).
  view.zoom = 0.5;
  auto imported = svg::importSvg(
      R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"><rect x="25" y="25" width="50" height="50" fill="#f00"/></svg>)",
      "red.svg", document, view);
  ASSERT_TRUE(imported) << imported.error;

  const Rect square = rect(50, 0, 250, 200);  // the 400-unit overlay square at zoom 0.5
  Image im;
  std::string error;
  ASSERT_TRUE(renderView(imported.drawing.get(), document, view, statusOverlay(square), &im, &error)) << error;
  ASSERT_EQ(im.width, 300);
  ASSERT_EQ(im.height, 200);

  EXPECT_EQ(im.at(10, 100), kWhite);   // paper outside the square
  EXPECT_EQ(im.at(150, 30), kWhite);   // inside the square, outside the drawing
  EXPECT_EQ(im.at(150, 100), kRed);    // the drawing's centre
  EXPECT_EQ(im.at(107, 58), kRed);     // near its corners: 105..195 by 55..145
  EXPECT_EQ(im.at(192, 142), kRed);
  EXPECT_EQ(im.at(102, 100), kWhite);
  // The frame is on the square's edge pixels, one pixel wide.
  EXPECT_EQ(im.at(50, 100), kBlack);
  EXPECT_EQ(im.at(249, 100), kBlack);
  EXPECT_EQ(im.at(150, 0), kBlack);
  EXPECT_EQ(im.at(150, 199), kBlack);
  EXPECT_EQ(im.at(51, 100), kWhite);
  EXPECT_EQ(im.at(248, 100), kWhite);
  // The status line: text between 5 pixels in from the left edge and 5 pixels above the bottom.
  const int textTop = 200 - static_cast<int>(textHeightForPreset(1) + 5.0f);
  EXPECT_TRUE(anyBlackIn(im, 55, textTop, 200, 195));
  EXPECT_FALSE(anyBlackIn(im, 51, textTop, 55, 198));
  EXPECT_FALSE(anyBlackIn(im, 51, 195, 248, 198));

  // Written and read back as PNG, the pixels are the same.
  const auto dir = scratch();
  const std::string path = (dir / "view.png").string();
  ASSERT_TRUE(writePng(im, path, &error)) << error;
  Image back;
  ASSERT_TRUE(readPng(path, &back, &error)) << error;
  EXPECT_EQ(back.width, im.width);
  EXPECT_EQ(back.pixels, im.pixels);
  if (!std::getenv("SARVELLO_PICTURE_DIR")) std::filesystem::remove_all(dir);
}

TEST(Picture, DeformedGeometryAndPathsWithoutADrawing) {
  Document document;
  ViewState view;
  view.width = 600;
  view.height = 100;
  auto imported = svg::importSvg(
      R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10"><rect id="r" width="2" height="2"/></svg>)",
      "moved.svg", document, view);
  ASSERT_TRUE(imported);
  // The canvas spans -180..180; the rectangle (centred at -144, 144) moves out of it, to the
  // right of the view's centre at (250, 0): it is drawn there, not clipped to the canvas.
  for (AIPathSegment& s : document.find(imported.drawing->paths()[0])->segments) {
    for (AIRealPoint* p : {&s.p, &s.in, &s.out}) p->h += 394, p->v -= 144;
  }
  Image im;
  std::string error;
  ASSERT_TRUE(renderView(imported.drawing.get(), document, view, {}, &im, &error)) << error;
  EXPECT_EQ(im.at(550, 50), kBlack);  // the moved rectangle, filled black
  EXPECT_EQ(im.at(300, 50), kWhite);

  // Art that came from no drawing is stroked.
  Document plain;
  const AIPathSegment a{{-20, 0}, {-20, 0}, {-20, 0}, 1}, b{{20, 0}, {20, 0}, {20, 0}, 1};
  plain.addPath({a, b}, false);
  ASSERT_TRUE(renderView(nullptr, plain, view, {}, &im, &error)) << error;
  EXPECT_TRUE(anyBlackIn(im, 290, 49, 310, 51));
  EXPECT_EQ(im.at(300, 40), kWhite);
}

TEST(Picture, BadSizesAndFilesAreRefused) {
  Document document;
  ViewState view;
  view.width = 0;
  Image im;
  std::string error;
  EXPECT_FALSE(renderView(nullptr, document, view, {}, &im, &error));
  EXPECT_NE(error.find("size 0x800"), std::string::npos) << error;
  view.width = 10;
  view.zoom = 0;
  EXPECT_FALSE(renderView(nullptr, document, view, {}, &im, &error));

  EXPECT_FALSE(readPng("/nonexistent.png", &im, &error));
  EXPECT_EQ(error, "/nonexistent.png: cannot read the PNG: no such file");
  Image tiny;
  tiny.width = 2, tiny.height = 2, tiny.pixels.assign(4, kWhite);
  EXPECT_FALSE(writePng(tiny, "/nonexistent/dir/x.png", &error));
  EXPECT_NE(error.find("cannot write the file"), std::string::npos);
  tiny.pixels.pop_back();
  EXPECT_FALSE(writePng(tiny, "/tmp/never.png", &error));
  EXPECT_FALSE(std::filesystem::exists("/tmp/never.png"));
}

TEST(Picture, StripLaysFramesSideBySide) {
  Image a, b;
  a.width = 3, a.height = 2, a.pixels.assign(6, kRed);
  b.width = 2, b.height = 4, b.pixels.assign(8, kBlack);
  const Image s = strip({a, b}, 1);
  ASSERT_EQ(s.width, 6);
  ASSERT_EQ(s.height, 4);
  EXPECT_EQ(s.at(0, 0), kRed);
  EXPECT_EQ(s.at(2, 1), kRed);
  EXPECT_NE(s.at(3, 0), kRed);  // the gap
  EXPECT_NE(s.at(0, 3), kRed);  // below the shorter frame
  EXPECT_EQ(s.at(4, 0), kBlack);
  EXPECT_EQ(s.at(5, 3), kBlack);

  const auto dir = scratch();
  std::string error;
  ASSERT_TRUE(writePng(a, (dir / "a.png").string(), &error));
  ASSERT_TRUE(writePng(b, (dir / "b.png").string(), &error));
  ASSERT_TRUE(stripFiles({(dir / "a.png").string(), (dir / "b.png").string()},
                         (dir / "strip.png").string(), &error, 1))
      << error;
  Image back;
  ASSERT_TRUE(readPng((dir / "strip.png").string(), &back, &error));
  EXPECT_EQ(back.pixels, s.pixels);
  EXPECT_FALSE(stripFiles({}, (dir / "none.png").string(), &error));
  if (!std::getenv("SARVELLO_PICTURE_DIR")) std::filesystem::remove_all(dir);
}
