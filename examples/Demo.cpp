// Stirs a circle, a wavy open line and a star with a scripted swirl of the brush, on the
// in-process stand-in host, and reports after each phase how many vertices the paths have and how
// far they have moved from where they started. With --png <file> it also writes a strip of
// pictures of the drawing, one per phase.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Host.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"
#if SARVELLO_DEMO_PICTURES
#include "picture/Picture.h"
#endif

namespace {

constexpr float kPi = 3.14159265f;
constexpr _t_ASRealRect kSquare{-200.0f, 200.0f, 200.0f, -200.0f};  // 400 units, y upward

AIPathSegment point(float h, float v) {
  AIPathSegment s{};
  s.p = s.in = s.out = {h, v};
  s.corner = 1;
  return s;
}

AIPathSegment curve(float h, float v, float dh, float dv) {
  AIPathSegment s{};
  s.p = {h, v};
  s.in = {h - dh, v - dv};
  s.out = {h + dh, v + dv};
  return s;
}

std::vector<AIPathSegment> circle(float cx, float cy, float r) {
  const float k = 0.5523f * r;
  return {curve(cx + r, cy, 0, k), curve(cx, cy + r, -k, 0), curve(cx - r, cy, 0, -k),
          curve(cx, cy - r, k, 0)};
}

std::vector<AIPathSegment> wave(float y) {
  std::vector<AIPathSegment> segs;
  for (int k = 0; k <= 6; ++k) segs.push_back(curve(-150.0f + 50.0f * k, y + (k % 2 ? 25.0f : -25.0f), 18.0f, 0.0f));
  return segs;
}

std::vector<AIPathSegment> star(float cx, float cy, float outer, float inner) {
  std::vector<AIPathSegment> segs;
  for (int k = 0; k < 10; ++k) {
    const float r = k % 2 ? inner : outer, a = kPi / 2 + k * kPi / 5;
    segs.push_back(point(cx + r * std::cos(a), cy + r * std::sin(a)));
  }
  return segs;
}

// How far the drawing has moved: for every vertex, the distance to the nearest point of the
// starting polylines.
struct Motion {
  double mean = 0.0, max = 0.0;
  int vertices = 0;
};

Motion measure(simhost::Host& host, const std::vector<AIArtHandle>& paths,
               const std::vector<AIRealPoint>& start) {
  Motion m;
  double sum = 0.0;
  for (AIArtHandle art : paths) {
    for (const AIPathSegment& s : host.document().find(art)->segments) {
      double best = 1e30;
      for (const AIRealPoint& p : start)
        best = std::min(best, std::hypot(double(s.p.h) - p.h, double(s.p.v) - p.v));
      sum += best;
      m.max = std::max(m.max, best);
      ++m.vertices;
    }
  }
  m.mean = m.vertices ? sum / m.vertices : 0.0;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pngPath;
  if (argc == 3 && std::strcmp(argv[1], "--png") == 0) {
    pngPath = argv[2];
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--png <file>]\n", argv[0]);
    return 2;
  }
#if !SARVELLO_DEMO_PICTURES
  if (!pngPath.empty()) {
    std::fprintf(stderr, "%s: this build cannot write pictures\n", argv[0]);
    return 2;
  }
#endif

  const auto began = std::chrono::steady_clock::now();
  simhost::Host host;
  host.view().width = 440;
  host.view().height = 440;
  int failures = 0;
#if SARVELLO_DEMO_PICTURES
  std::vector<simhost::picture::Image> frames;
  auto picture = [&] {
    if (pngPath.empty()) return;
    // The overlay square's frame in grey, as the tool shows it.
    simhost::OverlayCall color, frame;
    color.kind = simhost::OverlayCall::SetColor;
    color.color = {0x9999, 0x9999, 0x9999};
    frame.kind = simhost::OverlayCall::DrawRect;
    const AIPoint topLeft = host.view().toView({kSquare.left, kSquare.top});
    const AIPoint bottomRight = host.view().toView({kSquare.right, kSquare.bottom});
    frame.rect.left = topLeft.h;
    frame.rect.top = topLeft.v;
    frame.rect.right = bottomRight.h;
    frame.rect.bottom = bottomRight.v;
    simhost::picture::Image image;
    std::string error;
    if (simhost::picture::renderView(nullptr, host.document(), host.view(), {color, frame}, &image,
                                     &error))
      frames.push_back(std::move(image));
    else
      std::fprintf(stderr, "picture: %s\n", error.c_str());
  };
#else
  auto picture = [] {};
#endif
  {
    testsupport::SuiteScope suites(host);
    std::vector<AIArtHandle> paths = {host.document().addPath(circle(-70.0f, 60.0f, 60.0f), true),
                                      host.document().addPath(wave(-20.0f), false),
                                      host.document().addPath(star(80.0f, -100.0f, 70.0f, 30.0f), true)};
    auto engine = std::make_unique<SarvelloMain>();
    engine->setParameter(0.0005f, 0.01f, 4.0f, 64, 2.0f, 400);

    // Picking the tool: capture for Retry, a clean field, and one step that turns the paths into
    // polylines at the sampling distance. Those polylines are the reference for the motion.
    engine->prepare();
    engine->clear();
    failures += engine->advect_and_subdivide(kSquare) != 0;
    std::vector<AIRealPoint> start;
    for (AIArtHandle art : paths)
      for (const AIPathSegment& s : host.document().find(art)->segments) start.push_back(s.p);
    std::printf("%-26s vertices %6d\n", "start (polylines)", engine->vertex_total);
    picture();

    int step = 0;
    auto tick = [&] {
      failures += engine->advect_and_subdivide(kSquare) != 0;
      engine->display(nullptr, Rect{});
      ++step;
    };
    auto report = [&](const char* phase) {
      const Motion m = measure(host, paths, start);
      std::printf("%-26s vertices %6d   moved mean %7.2f  max %7.2f units   (step %d)\n", phase,
                  m.vertices, m.mean, m.max, step);
      picture();
    };

    // A swirl: the brush circles the centre of the square twice.
    engine->mouse_func(0, 0.75f, 0.5f);
    for (int k = 0; k < 120; ++k) {
      const float a = 4.0f * kPi * k / 120.0f;
      engine->motion_func(0.5f + 0.25f * std::cos(a), 0.5f + 0.25f * std::sin(a));
      tick();
    }
    engine->mouse_func(1, 0.75f, 0.5f);
    report("swirl (120 steps)");

    for (int k = 0; k < 120; ++k) tick();
    report("drift (120 steps)");

    engine->setParameter(-1, -1, -1, 128, -1, -1);
    engine->mouse_func(0, 0.2f, 0.8f);
    for (int k = 0; k < 50; ++k) {
      engine->motion_func(0.2f + 0.6f * k / 50.0f, 0.8f - 0.6f * k / 50.0f);
      tick();
    }
    engine->mouse_func(1, 0.8f, 0.2f);
    report("diagonal stroke, N = 128");

    engine->retry();
    report("retry");

    engine.reset();
  }
#if SARVELLO_DEMO_PICTURES
  if (!pngPath.empty()) {
    std::string error;
    if (simhost::picture::writePng(simhost::picture::strip(frames), pngPath, &error)) {
      std::printf("pictures of the %zu phases: %s\n", frames.size(), pngPath.c_str());
    } else {
      std::fprintf(stderr, "cannot write %s: %s\n", pngPath.c_str(), error.c_str());
      ++failures;
    }
  }
#endif
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const simhost::Outstanding left = host.outstanding();
  std::printf("%d failed steps; host accounting %s%s; %.2f s\n", failures,
              left.clean() ? "clean" : "NOT clean: ", left.clean() ? "" : left.describe().c_str(),
              seconds);
  return failures == 0 && left.clean() ? 0 : 1;
}
