// Session files: every input is a session or a clear error, never an exception or a crash; an
// accepted session holds only values the host can take, and writing it gives text that reads
// back to the same session.
#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "core/ViewLimits.h"
#include "session/Recording.h"
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
    FUZZ_CHECK(std::isfinite(e.at.x) && std::isfinite(e.at.y));
    for (std::size_t k = 1; k < e.tickList.size(); ++k) FUZZ_CHECK(e.tickList[k - 1] < e.tickList[k]);
  }
  const std::string written = writeSession(*r.session);
  // A live run's recording of the same events writes the same file.
  Recording recording;
  recording.begin(*r.session);
  for (const Event& e : r.session->events) FUZZ_CHECK(recording.add(e));
  FUZZ_CHECK(recording.write() == written);
  const SessionResult again = parseSession(written, "written.json");
  FUZZ_CHECK(again);
  FUZZ_CHECK(writeSession(*again.session) == written);
  return 0;
}
