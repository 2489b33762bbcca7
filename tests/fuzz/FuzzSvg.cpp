// SVG import and the export round trip, for drawings in any encoding, with clones, markers and
// style sheets: a drawing either imports or is refused with nothing added; unchanged art exports
// byte for byte; the view export is well-formed UTF-8; art moved by one unit re-imports to the
// same shapes (followed by the paths that draw mid markers, where there are any).
#include <cmath>
#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "FuzzCheck.h"
#include "svg/Svg.h"

using namespace simhost;

namespace {

bool near(double a, double b) { return std::fabs(a - b) <= 1e-3 * (1 + std::fabs(a) + std::fabs(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  svg::ImportOptions options;
  options.fit = false;  // the same mapping for the drawing and its re-import
  Document document;
  ViewState view;
  svg::ImportResult imported = svg::importSvg(text, "fuzz.svg", document, view, options);
  if (!imported) {
    FUZZ_CHECK(document.size() == 0);
    return 0;
  }
  const svg::Drawing& drawing = *imported.drawing;
  std::string out, error;
  FUZZ_CHECK(svg::exportSvg(drawing, document, &out, &error));
  FUZZ_CHECK(out == drawing.source());

  FUZZ_CHECK(svg::exportSvgForView(drawing, document, -10, -20, 300, 200, &out, &error));
  pugi::xml_document xml;
  FUZZ_CHECK(xml.load_buffer(out.data(), out.size(), pugi::parse_default, pugi::encoding_utf8));

  // Moved by one unit, written and read again.
  for (AIArtHandle path : drawing.paths()) {
    for (AIPathSegment& s : document.find(path)->segments) {
      for (AIRealPoint* p : {&s.p, &s.in, &s.out}) {
        p->h += 1;
        p->v += 1;
      }
    }
  }
  FUZZ_CHECK(svg::exportSvg(drawing, document, &out, &error));
  Document again;
  svg::ImportResult reread = svg::importSvg(out, "again.svg", again, view, options);
  FUZZ_CHECK(reread);
  // Shapes at the edge of what the host takes may be left out after the move; the others must
  // come back as they were written.
  if (!imported.warnings.empty() || !reread.warnings.empty()) return 0;
  const auto before = drawing.paths();
  const auto after = reread.drawing->paths();
  FUZZ_CHECK(before.size() <= after.size());
  if (before.size() != after.size()) return 0;  // the paths of mid markers came in between
  for (std::size_t k = 0; k < before.size(); ++k) {
    const auto& a = document.find(before[k])->segments;
    const auto& b = again.find(after[k])->segments;
    if (a.size() != b.size()) continue;  // anchors merged where they round to one point
    for (std::size_t n = 0; n < a.size(); ++n) {
      FUZZ_CHECK(near(a[n].p.h, b[n].p.h) && near(a[n].p.v, b[n].p.v));
    }
  }
  return 0;
}
