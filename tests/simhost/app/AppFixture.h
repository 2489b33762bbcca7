// Helpers of the sarvello-host tests: sessions run through the built module in-process, the
// geometry of the paths before and after, and temporary folders.
#ifndef SARVELLO_TESTS_APP_APPFIXTURE_H
#define SARVELLO_TESTS_APP_APPFIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TextFiles.h"
#include "app/Runner.h"
#include "svg/Svg.h"

namespace apptest {

inline const std::string kModule = SARVELLO_MODULE_PATH;

// Options of a run of the built module whose diagnostic lines are collected in *lines.
inline simhost::app::RunOptions moduleOptions(std::vector<std::string>* lines,
                                              const std::string& preferencesFile = "") {
  simhost::app::RunOptions options;
  options.pluginPath = kModule;
  options.preferencesFile = preferencesFile;
  options.diagnostic = [lines](const std::string& line) { lines->push_back(line); };
  return options;
}

// A fresh folder for one test, removed at its end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sarvello-app-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  // Every file below the folder, as paths relative to it, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_)) {
      if (e.is_regular_file()) out.push_back(std::filesystem::relative(e.path(), path_).string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

using Outline = std::vector<AIPathSegment>;

struct Shape {
  Outline segments;
  bool closed = false;
};

// One session on one drawing, from import to quitting, and what it left.
struct SessionRun {
  bool ok = false;
  std::string error;
  std::vector<Shape> before;  // the drawing's paths after import
  std::vector<Shape> after;   // and after the session
  std::string svg;            // the export
  std::vector<std::string> diagnostics;
  simhost::Outstanding left;
  simhost::app::RunStats stats;
  std::string panels;                // the panels as the session left them
  std::vector<std::string> urls;     // the addresses the plug-in asked to open
  int squareSize = 0;                // the side strokes were mapped onto at the end
  simhost::OverlayRecording overlay; // the overlay as last drawn
};

inline std::vector<Shape> shapes(simhost::app::Runner& runner) {
  std::vector<Shape> out;
  for (AIArtHandle h : runner.drawing()->paths()) {
    const simhost::Art* art = runner.host().document().find(h);
    out.push_back({art->segments, art->closed});
  }
  return out;
}

inline SessionRun runSession(const std::string& svgText, const std::string& sessionJson, bool fit = true,
                             const std::string& preferencesFile = "") {
  SessionRun run;
  simhost::session::SessionResult parsed = simhost::session::parseSession(sessionJson, "test session");
  if (!parsed) {
    run.error = parsed.error;
    return run;
  }
  simhost::app::Runner runner(moduleOptions(&run.diagnostics, preferencesFile));
  if (!runner.load(svgText, "test.svg", *parsed.session, "test session", fit, &run.error)) return run;
  run.before = shapes(runner);
  if (!runner.start(&run.error)) return run;
  const bool played = runner.play(*parsed.session, &run.error);
  run.after = shapes(runner);
  run.panels = runner.panels();
  run.urls = runner.host().openedURLs();
  run.squareSize = runner.squareSize();
  run.overlay = runner.overlay();
  const bool quit = runner.quit(&run.error);
  run.left = runner.outstanding();
  run.stats = runner.stats();
  run.ok = played && quit && runner.exportSvg(&run.svg, &run.error);
  return run;
}

// The outline of a path as a dense polyline: each cubic segment cut into 64 pieces.
inline std::vector<AIRealPoint> flatten(const Shape& shape) {
  std::vector<AIRealPoint> out;
  const Outline& s = shape.segments;
  if (s.empty()) return out;
  out.push_back(s.front().p);
  const std::size_t n = shape.closed ? s.size() : s.size() - 1;
  for (std::size_t k = 0; k < n; ++k) {
    const AIPathSegment& a = s[k];
    const AIPathSegment& b = s[(k + 1) % s.size()];
    for (int i = 1; i <= 64; ++i) {
      const double t = i / 64.0, u = 1 - t;
      const auto at = [&](double p0, double p1, double p2, double p3) {
        return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
      };
      out.push_back({static_cast<float>(at(a.p.h, a.out.h, b.in.h, b.p.h)),
                     static_cast<float>(at(a.p.v, a.out.v, b.in.v, b.p.v))});
    }
  }
  return out;
}

// Distance from a point to a polyline.
inline double distanceTo(const std::vector<AIRealPoint>& line, AIRealPoint p) {
  double best = INFINITY;
  for (std::size_t k = 0; k + 1 < line.size(); ++k) {
    const double ax = line[k].h, ay = line[k].v, bx = line[k + 1].h, by = line[k + 1].v;
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.h - ax) * dx + (p.v - ay) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, std::hypot(p.h - (ax + t * dx), p.v - (ay + t * dy)));
  }
  if (line.size() == 1) best = std::hypot(p.h - line[0].h, p.v - line[0].v);
  return best;
}

// The farthest any vertex of `after` lies from the outline of `before`.
inline double farthestFrom(const Shape& before, const Shape& after) {
  const std::vector<AIRealPoint> line = flatten(before);
  double worst = 0;
  for (const AIPathSegment& s : after.segments) worst = std::max(worst, distanceTo(line, s.p));
  return worst;
}

}  // namespace apptest

#endif
