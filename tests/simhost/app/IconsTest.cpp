// Real drawings through the whole chain: every icon of Debian's bootstrap-icons package is
// imported, goes through a session that picks and leaves the tool (so every path is rewritten as
// the plug-in's polyline), is exported and imports again. One module serves all icons, each in a
// fresh document. Under the sanitizers a deterministic tenth of the icons (every 10th in name
// order) keeps the test short.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "AppFixture.h"
#include "BootstrapIcons.h"

using namespace apptest;

namespace {

#if defined(SARVELLO_SANITIZE)
constexpr std::size_t kEvery = 10;
#else
constexpr std::size_t kEvery = 1;
#endif

// Segment counts of the paths that have any, in document order.
std::vector<std::size_t> segmentCounts(const simhost::Document& document, const std::vector<AIArtHandle>& paths) {
  std::vector<std::size_t> out;
  for (AIArtHandle h : paths) {
    out.push_back(document.find(h)->segments.size());
  }
  return out;
}

}  // namespace

TEST(BootstrapIcons, EveryIconGoesThroughTheToolAndReadsBack) {
  if (!std::filesystem::is_directory(kIconDir)) GTEST_SKIP() << "bootstrap-icons is not installed";
  const std::vector<std::filesystem::path> files = bootstrapIconFiles();
  ASSERT_GT(files.size(), 1000u);

  simhost::session::SessionResult parsed = simhost::session::parseSession(R"({ "events": [
    { "type": "select", "paths": "all" }, { "type": "pick-tool" }, { "type": "leave-tool" } ] })");
  ASSERT_TRUE(parsed) << parsed.error;
  std::vector<std::string> diagnostics;
  simhost::app::Runner runner(moduleOptions(&diagnostics));
  std::string error;
  ASSERT_TRUE(runner.start(&error)) << error;

  std::size_t icons = 0, vertices = 0;
  for (std::size_t i = 0; i < files.size(); i += kEvery) {
    const std::string name = files[i].string();
    ASSERT_TRUE(runner.load(readText(name), name, *parsed.session, "icon session", true, &error)) << error;
    ASSERT_FALSE(runner.drawing()->paths().empty()) << name;
    ASSERT_TRUE(runner.play(*parsed.session, &error)) << name << ": " << error;
    // Every path keeps at least one point, also a subpath of a single point (as in "z m 1 1 z").
    const std::vector<std::size_t> paths = segmentCounts(runner.host().document(), runner.drawing()->paths());
    for (std::size_t n : paths) ASSERT_GT(n, 0u) << name;
    std::string svg;
    ASSERT_TRUE(runner.exportSvg(&svg, &error)) << name << ": " << error;

    simhost::Document again;
    simhost::svg::ImportResult back = simhost::svg::importSvg(svg, name + " (stirred)", again, simhost::ViewState{});
    ASSERT_TRUE(back) << back.error;
    ASSERT_EQ(segmentCounts(again, back.drawing->paths()), paths) << name;
    vertices += runner.stats().verticesAfter;
    ++icons;
  }
  ASSERT_TRUE(runner.quit(&error)) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
  EXPECT_TRUE(diagnostics.empty()) << diagnostics.front();
  RecordProperty("icons", static_cast<int>(icons));
  RecordProperty("vertices", static_cast<int>(vertices));
}
