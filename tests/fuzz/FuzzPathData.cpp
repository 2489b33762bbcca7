// The attribute languages: path data, transform lists and number lists. What parses has finite
// numbers, and written path data reads back with the same subpaths.
#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "svg/Geometry.h"

using namespace simhost::svg;

namespace {

bool finite(const Geometry& g) {
  for (const Subpath& sub : g)
    for (const Anchor& a : sub.anchors)
      for (Vec v : {a.p, a.in, a.out})
        if (!std::isfinite(v.x) || !std::isfinite(v.y)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 14)) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string error;
  switch (data[0] % 3) {
    case 0: {
      Geometry g;
      if (!parsePathData(text, &g, &error) || !finite(g)) return 0;
      Geometry again;
      const std::string written = formatPathData(g);
      FUZZ_CHECK(parsePathData(written, &again, &error));
      std::size_t kept = 0;  // a lone moveto draws nothing and is not written
      for (const Subpath& s : g) kept += s.anchors.empty() ? 0 : 1;
      FUZZ_CHECK(again.size() == kept);
      break;
    }
    case 1: {
      Affine m;
      if (parseTransform(text, &m, &error)) {
        double x = 1, y = 2;
        m.apply(x, y);
        (void)m.invertible();
        (void)m.inverse();
      }
      break;
    }
    default: {
      std::vector<double> numbers;
      if (parseNumberList(text, &numbers, &error))
        for (double v : numbers) FUZZ_CHECK(std::isfinite(v));
      break;
    }
  }
  return 0;
}
