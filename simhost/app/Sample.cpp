#include "app/Sample.h"

#include <algorithm>
#include <cmath>

#include "svg/Svg.h"

namespace simhost::app {

const char* const kSampleSvg = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="400" height="400" viewBox="0 0 400 400">
  <title>Sarvello sample</title>
  <g id="lattice" fill="none" stroke="#8fb3cf" stroke-width="1.2">
    <line x1="40" y1="20" x2="40" y2="380"/>
    <line x1="80" y1="20" x2="80" y2="380"/>
    <line x1="120" y1="20" x2="120" y2="380"/>
    <line x1="160" y1="20" x2="160" y2="380"/>
    <line x1="200" y1="20" x2="200" y2="380"/>
    <line x1="240" y1="20" x2="240" y2="380"/>
    <line x1="280" y1="20" x2="280" y2="380"/>
    <line x1="320" y1="20" x2="320" y2="380"/>
    <line x1="360" y1="20" x2="360" y2="380"/>
    <line x1="20" y1="40" x2="380" y2="40"/>
    <line x1="20" y1="80" x2="380" y2="80"/>
    <line x1="20" y1="120" x2="380" y2="120"/>
    <line x1="20" y1="160" x2="380" y2="160"/>
    <line x1="20" y1="200" x2="380" y2="200"/>
    <line x1="20" y1="240" x2="380" y2="240"/>
    <line x1="20" y1="280" x2="380" y2="280"/>
    <line x1="20" y1="320" x2="380" y2="320"/>
  </g>
  <g id="rings" fill="none" stroke-width="3">
    <circle id="ring1" cx="200" cy="200" r="140" stroke="#1d3557"/>
    <circle id="ring2" cx="200" cy="200" r="110" stroke="#2a6f97"/>
    <circle id="ring3" cx="200" cy="200" r="80" stroke="#2c9c8f"/>
    <circle id="ring4" cx="200" cy="200" r="50" stroke="#6cc551"/>
  </g>
  <polygon id="star" fill="#f2a541" stroke="#c0392b" stroke-width="2" stroke-linejoin="round"
           points="200,162 209.4,187.1 236.1,188.3 215.2,204.9 222.3,230.7 200,216 177.7,230.7 184.8,204.9 163.9,188.3 190.6,187.1"/>
  <path id="wave" fill="none" stroke="#d62839" stroke-width="3" stroke-linecap="round"
        d="M 20 370 c 13 -16 27 -16 40 0 c 13 16 27 16 40 0 c 13 -16 27 -16 40 0 c 13 16 27 16 40 0 c 13 -16 27 -16 40 0 c 13 16 27 16 40 0 c 13 -16 27 -16 40 0 c 13 16 27 16 40 0 c 13 -16 27 -16 40 0"/>
</svg>
)svg";

// The strokes, in fractions of the overlay square (x from its left edge, y from its top edge): a
// clockwise turn left of the middle, a counter-clockwise turn right of it, then an arch across
// the wavy line. The first picture waits one tick, so that the overlay has been drawn.
const char* const kSampleSession = R"json({
  "events": [
    { "type": "select", "paths": "all" },
    { "type": "pick-tool" },
    { "type": "idle", "ticks": 1 },
    { "type": "picture" },
    { "type": "stroke", "drags": 36, "points": [
        [0.53, 0.42], [0.517, 0.485], [0.48, 0.54], [0.425, 0.577], [0.36, 0.59], [0.295, 0.577],
        [0.24, 0.54], [0.203, 0.485], [0.19, 0.42], [0.203, 0.355], [0.24, 0.3], [0.295, 0.263],
        [0.36, 0.25], [0.425, 0.263], [0.48, 0.3], [0.517, 0.355], [0.53, 0.42]] },
    { "type": "idle", "ticks": 10 },
    { "type": "picture" },
    { "type": "stroke", "drags": 36, "points": [
        [0.47, 0.58], [0.483, 0.645], [0.52, 0.7], [0.575, 0.737], [0.64, 0.75], [0.705, 0.737],
        [0.76, 0.7], [0.797, 0.645], [0.81, 0.58], [0.797, 0.515], [0.76, 0.46], [0.705, 0.423],
        [0.64, 0.41], [0.575, 0.423], [0.52, 0.46], [0.483, 0.515], [0.47, 0.58]] },
    { "type": "idle", "ticks": 10 },
    { "type": "picture" },
    { "type": "stroke", "drags": 20, "points": [
        [0.15, 0.96], [0.3, 0.82], [0.5, 0.78], [0.7, 0.82], [0.85, 0.96]] },
    { "type": "idle", "ticks": 30 },
    { "type": "picture" },
    { "type": "leave-tool" }
  ]
}
)json";

const char* const kDemoSession = R"json({
  "events": [
    { "type": "select", "paths": "all" },
    { "type": "pick-tool" },
    { "type": "stroke", "drags": 36, "points": [
        [0.53, 0.42], [0.517, 0.485], [0.48, 0.54], [0.425, 0.577], [0.36, 0.59], [0.295, 0.577],
        [0.24, 0.54], [0.203, 0.485], [0.19, 0.42], [0.203, 0.355], [0.24, 0.3], [0.295, 0.263],
        [0.36, 0.25], [0.425, 0.263], [0.48, 0.3], [0.517, 0.355], [0.53, 0.42]] },
    { "type": "idle", "ticks": 10 },
    { "type": "picture" },
    { "type": "press", "button": "Retry" },
    { "type": "idle", "ticks": 1 },
    { "type": "picture" },
    { "type": "choose", "control": "Grid Res", "preset": "128" },
    { "type": "stroke", "drags": 36, "points": [
        [0.53, 0.42], [0.517, 0.485], [0.48, 0.54], [0.425, 0.577], [0.36, 0.59], [0.295, 0.577],
        [0.24, 0.54], [0.203, 0.485], [0.19, 0.42], [0.203, 0.355], [0.24, 0.3], [0.295, 0.263],
        [0.36, 0.25], [0.425, 0.263], [0.48, 0.3], [0.517, 0.355], [0.53, 0.42]] },
    { "type": "idle", "ticks": 10 },
    { "type": "stroke", "drags": 36, "points": [
        [0.47, 0.58], [0.483, 0.645], [0.52, 0.7], [0.575, 0.737], [0.64, 0.75], [0.705, 0.737],
        [0.76, 0.7], [0.797, 0.645], [0.81, 0.58], [0.797, 0.515], [0.76, 0.46], [0.705, 0.423],
        [0.64, 0.41], [0.575, 0.423], [0.52, 0.46], [0.483, 0.515], [0.47, 0.58]] },
    { "type": "idle", "ticks": 10 },
    { "type": "picture" },
    { "type": "stroke", "drags": 20, "points": [
        [0.15, 0.96], [0.3, 0.82], [0.5, 0.78], [0.7, 0.82], [0.85, 0.96]] },
    { "type": "idle", "ticks": 30 },
    { "type": "picture" },
    { "type": "leave-tool" }
  ]
}
)json";

int defaultSquareSize(const svg::Drawing& drawing) {
  // The largest value the panel's Size field takes, and the share of the square a drawing is
  // enlarged to fill.
  constexpr int kMaxSize = 1000;
  const svg::ImportOptions placement;
  const svg::Affine& m = drawing.userToArtwork();
  const double side = std::max(drawing.canvasWidth(), drawing.canvasHeight()) * std::hypot(m.a, m.b);
  if (!(side > placement.fitFraction * placement.overlaySide * 1.0001)) return 0;
  const double wanted = std::ceil(side / placement.fitFraction / 10) * 10;
  return static_cast<int>(std::min<double>(kMaxSize, wanted));
}

session::Session withSquareSize(session::Session session, int size) {
  session::Event event;
  event.type = session::Event::Type::TypeValue;
  event.label = "Size";
  event.typed = std::to_string(size);
  session.events.insert(session.events.begin(), event);
  for (std::size_t k = 0; k < session.events.size(); ++k) session.events[k].index = k;
  return session;
}

session::ViewChange sampleView() {
  session::ViewChange view;
  view.width = 520;
  view.height = 520;
  view.zoom = 1.2;
  return view;
}

}  // namespace simhost::app
