// Every icon of Debian's bootstrap-icons package goes through import, a change of every shape
// (so that each is written anew as a path) and export, and reads back with the same paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "BootstrapIcons.h"
#include "svg/Svg.h"

using namespace simhost;
using namespace simhost::svg;

namespace {

// Segment counts of the drawing's paths, in order.
std::vector<std::size_t> shapeOf(const Drawing& d, const Document& doc) {
  std::vector<std::size_t> out;
  for (AIArtHandle h : d.paths()) out.push_back(doc.find(h)->segments.size());
  return out;
}

}  // namespace

TEST(BootstrapIcons, EveryIconSurvivesImportChangeExportImport) {
  if (!std::filesystem::is_directory(kIconDir)) GTEST_SKIP() << "bootstrap-icons is not installed";
  const std::vector<std::filesystem::path> files = bootstrapIconFiles();
  ASSERT_GT(files.size(), 1000u);

  std::size_t paths = 0;
  for (const auto& file : files) {
    Document document;
    ViewState view;
    ImportResult first = importSvgFile(file.string(), document, view);
    ASSERT_TRUE(first) << first.error;
    const std::vector<std::size_t> before = shapeOf(*first.drawing, document);
    ASSERT_FALSE(before.empty()) << file;
    for (AIArtHandle h : first.drawing->paths()) {
      for (AIPathSegment& s : document.find(h)->segments) {
        s.p.h += 1;
        s.in.h += 1;
        s.out.h += 1;
      }
    }
    std::string text, error;
    ASSERT_TRUE(exportSvg(*first.drawing, document, &text, &error)) << file << ": " << error;

    Document again;
    ImportResult second = importSvg(text, file.string() + " (exported)", again, view);
    ASSERT_TRUE(second) << second.error;
    ASSERT_EQ(shapeOf(*second.drawing, again), before) << file << "\n" << text;
    paths += before.size();
  }
  RecordProperty("paths", static_cast<int>(paths));
}
