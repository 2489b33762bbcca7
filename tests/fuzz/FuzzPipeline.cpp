// The whole stirring pipeline in-process: a drawing imported into the stand-in host's document,
// its paths selected, the tool picked (capture, a deformation step), a brush stroke through the
// fluid, more steps, Retry and a last step. Every coordinate in the document stays finite, and
// nothing is outstanding in the host's accounting at the end.
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "core/Host.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"
#include "svg/Svg.h"

using namespace simhost;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 14)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  Host host;
  svg::ImportResult imported = svg::importSvg(text, "fuzz.svg", host.document(), host.view());
  if (!imported) return 0;
  {
    testsupport::SuiteScope suites(host);
    auto engine = std::make_unique<SarvelloMain>();
    const _t_ASRealRect square{-200.0f, 200.0f, 200.0f, -200.0f};
    engine->prepare();
    engine->advect_and_subdivide(square);
    engine->mouse_func(0, 0.45f, 0.5f);
    for (int k = 0; k < 4; ++k) {
      engine->motion_func(0.45f + 0.05f * k, 0.5f - 0.03f * k);
      engine->display(nullptr, Rect{});
      engine->advect_and_subdivide(square);
    }
    engine->mouse_func(1, 0.6f, 0.4f);
    engine->retry();
    engine->display(nullptr, Rect{});
    engine->advect_and_subdivide(square);
    for (AIArtHandle handle : host.document().handles()) {
      for (const AIPathSegment& s : host.document().find(handle)->segments) {
        FUZZ_CHECK(std::isfinite(s.p.h) && std::isfinite(s.p.v) && std::isfinite(s.in.h) &&
                   std::isfinite(s.in.v) && std::isfinite(s.out.h) && std::isfinite(s.out.v));
      }
    }
  }
  imported.drawing.reset();
  FUZZ_CHECK(host.outstanding().clean());
  return 0;
}
