// Drawings nobody here wrote (tests/data/corpus, their makers and licences in SOURCES.tsv), each
// through the built module: picking the tool and leaving it without a stroke gives a picture that
// differs from the drawing's in at most 0.5 % of its pixels, and a stroke stirs it into a drawing
// that reads again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "AppFixture.h"
#include "picture/Picture.h"

using namespace apptest;

namespace {

std::vector<std::filesystem::path> corpusFiles() {
  const char* root = std::getenv("SARVELLO_SOURCE_DIR");
  const std::filesystem::path dir = std::filesystem::path(root ? root : ".") / "tests/data/corpus";
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".svg" || ext == ".svgz") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The share of pixels whose colour differs by more than a renderer's own rounding of an edge
// (32 of 255 in a channel, as an edge moved by an eighth of a pixel does).
double differing(const simhost::picture::Image& a, const simhost::picture::Image& b) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < a.pixels.size(); ++k) {
    for (int shift : {0, 8, 16, 24}) {
      const int x = static_cast<int>((a.pixels[k] >> shift) & 0xFF), y = static_cast<int>((b.pixels[k] >> shift) & 0xFF);
      if (std::abs(x - y) > 32) {
        ++n;
        break;
      }
    }
  }
  return static_cast<double>(n) / static_cast<double>(a.pixels.size());
}

}  // namespace

TEST(Corpus, EveryDrawingLooksTheSameAfterThePickAndStirsIntoADrawingThatReadsAgain) {
  const std::vector<std::filesystem::path> files = corpusFiles();
  ASSERT_GE(files.size(), 25u);
  const auto session = [](const char* text) { return *simhost::session::parseSession(text, "corpus").session; };
  const simhost::session::Session still = session(R"({ "events": [
      { "type": "select", "paths": "all" }, { "type": "pick-tool" }, { "type": "idle", "ticks": 1 },
      { "type": "leave-tool" } ] })");
  const simhost::session::Session stir = session(R"({ "events": [
      { "type": "select", "paths": "all" }, { "type": "pick-tool" },
      { "type": "stroke", "points": [[0.3, 0.3], [0.7, 0.5], [0.3, 0.7]], "drags": 6 },
      { "type": "idle", "ticks": 2 }, { "type": "leave-tool" } ] })");
  std::vector<std::string> diagnostics;
  simhost::app::Runner runner(moduleOptions(&diagnostics));
  std::string error;
  ASSERT_TRUE(runner.start(&error)) << error;

  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string text = readText(file.string());
    ASSERT_TRUE(runner.load(text, file.string(), still, "still", true, &error)) << error;
    ASSERT_FALSE(runner.drawing()->paths().empty());
    // A view 600 pixels across the drawing, for both pictures.
    simhost::ViewState view = runner.host().view();
    const simhost::svg::Affine& m = runner.drawing()->userToArtwork();
    const double side = std::max(runner.drawing()->canvasWidth(), runner.drawing()->canvasHeight()) * std::hypot(m.a, m.b);
    view.width = view.height = 600;
    view.zoom = 600 / side;
    simhost::Document original;
    simhost::svg::ImportResult in = simhost::svg::importSvg(text, file.string(), original, runner.host().view());
    ASSERT_TRUE(in) << in.error;
    simhost::picture::Image before, after;
    ASSERT_TRUE(simhost::picture::renderView(in.drawing.get(), original, view, {}, &before, &error)) << error;
    ASSERT_TRUE(runner.play(still, &error)) << error;
    EXPECT_EQ(runner.stats().pathsMoved, 0u);
    ASSERT_TRUE(simhost::picture::renderView(runner.drawing(), runner.host().document(), view, {}, &after, &error)) << error;
    EXPECT_LE(differing(before, after), 0.005);

    ASSERT_TRUE(runner.load(text, file.string(), stir, "stir", true, &error)) << error;
    ASSERT_TRUE(runner.play(stir, &error)) << error;
    std::string svg;
    ASSERT_TRUE(runner.exportSvg(&svg, &error)) << error;
    simhost::Document again;
    simhost::svg::ImportResult back = simhost::svg::importSvg(svg, file.string() + " (stirred)", again, simhost::ViewState{});
    ASSERT_TRUE(back) << back.error;
    EXPECT_GE(back.drawing->paths().size(), runner.drawing()->paths().size());
  }
  ASSERT_TRUE(runner.quit(&error)) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
}
