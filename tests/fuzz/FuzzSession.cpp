// Session files: every input is a session or a clear error, never an exception or a crash; an
// accepted session holds only values the host can take.
#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ViewLimits.h"
#include "session/Session.h"

using namespace simhost::session;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SessionResult r = parseSession(text, "fuzz.json", "/base");
  if (!r) {
    FUZZ_CHECK(!r.error.empty());
    return 0;
  }
  for (const Event& e : r.session->events) {
    for (const Point& p : e.points) FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y));
    if (e.view.zoom) FUZZ_CHECK(*e.view.zoom >= simhost::kMinZoom && *e.view.zoom <= simhost::kMaxZoom);
    FUZZ_CHECK(e.drags >= 0 && e.ticks >= 0);
  }
  return 0;
}
