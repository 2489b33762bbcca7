// The session runner: stroke geometry, and whole sessions through the built module.
#include <gtest/gtest.h>

#include "AppFixture.h"

using namespace apptest;
using simhost::app::RunStats;
using simhost::session::Event;

namespace {

// A circle in the middle, a wavy open line and a star, all inside the square when fitted.
const char* const kDrawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 200">
  <circle id="ring" cx="100" cy="100" r="60" fill="none" stroke="black"/>
  <path id="wave" d="M 10 170 C 40 140 60 200 100 170 S 160 140 190 170" fill="none" stroke="red"/>
  <polygon id="star" points="100,80 106,95 120,95 109,104 113,118 100,110 87,118 91,104 80,95 94,95"/>
</svg>)";

const char* const kPickAndLeave = R"({ "events": [
  { "type": "select", "paths": "all" }, { "type": "pick-tool" }, { "type": "leave-tool" } ] })";

const char* const kSwirl = R"({ "events": [
  { "type": "select", "paths": "all" },
  { "type": "pick-tool" },
  { "type": "stroke", "drags": 16, "points": [[0.7, 0.5], [0.5, 0.7], [0.3, 0.5], [0.5, 0.3], [0.7, 0.5]] },
  { "type": "idle", "ticks": 10 },
  { "type": "leave-tool" } ] })";

void expectClean(const SessionRun& run) {
  EXPECT_TRUE(run.left.clean()) << run.left.describe();
}

Event stroke(std::vector<simhost::session::Point> points, int drags, Event::Units units = Event::Units::Fraction) {
  Event e;
  e.type = Event::Type::Stroke;
  e.points = std::move(points);
  e.drags = drags;
  e.units = units;
  return e;
}

}  // namespace

TEST(StrokeGeometry, FractionsMapOntoTheSquareAndDragsSpreadAlongThePolyline) {
  const AIRealRect square{-200.0f, 300.0f, 200.0f, -100.0f};  // left, top, right, bottom
  // An L: 0.5 of the side to the right, then 0.5 down; four drags at each quarter of its length.
  const auto p = simhost::app::strokePositions(stroke({{0, 0}, {0.5, 0}, {0.5, 0.5}}, 4), square);
  ASSERT_EQ(p.size(), 6u);  // press, four drags, release
  const float expected[6][2] = {{-200, 300}, {-100, 300}, {0, 300}, {0, 200}, {0, 100}, {0, 100}};
  for (int k = 0; k < 6; ++k) {
    EXPECT_FLOAT_EQ(p[k].h, expected[k][0]) << k;
    EXPECT_FLOAT_EQ(p[k].v, expected[k][1]) << k;
  }
  // The far corner of the square is its right bottom.
  const auto corner = simhost::app::strokePositions(stroke({{1, 1}}, 0), square);
  ASSERT_EQ(corner.size(), 2u);
  EXPECT_FLOAT_EQ(corner[0].h, 200);
  EXPECT_FLOAT_EQ(corner[0].v, -100);
}

TEST(StrokeGeometry, ArtworkPointsAndStandingStrokes) {
  const AIRealRect square{-200.0f, 200.0f, 200.0f, -200.0f};
  const auto art = simhost::app::strokePositions(stroke({{-50, 20}, {50, 20}}, 2, Event::Units::Artwork), square);
  ASSERT_EQ(art.size(), 4u);
  EXPECT_FLOAT_EQ(art[1].h, 0);
  EXPECT_FLOAT_EQ(art[2].h, 50);
  EXPECT_FLOAT_EQ(art[3].v, 20);
  // One point, or all points at one place: every drag stays there.
  for (const auto& points : {std::vector<simhost::session::Point>{{10, 10}},
                             std::vector<simhost::session::Point>{{10, 10}, {10, 10}}}) {
    const auto still = simhost::app::strokePositions(stroke(points, 3, Event::Units::Artwork), square);
    ASSERT_EQ(still.size(), 5u);
    for (const AIRealPoint& q : still) EXPECT_FLOAT_EQ(q.h, 10);
  }
}

TEST(StrokeGeometry, OverlaySquareFollowsTheViewLikeThePlugIn) {
  simhost::ViewState view;
  view.center = {100.0f, -40.0f};
  view.zoom = 2.0;
  const AIRealRect s = simhost::app::overlaySquare(view, 401);  // an odd side loses a unit
  EXPECT_FLOAT_EQ(s.left, -100);
  EXPECT_FLOAT_EQ(s.right, 300);
  EXPECT_FLOAT_EQ(s.top, 160);
  EXPECT_FLOAT_EQ(s.bottom, -240);
  EXPECT_EQ(simhost::app::describeCode(kCantHappenErr), "'CANT'");
  EXPECT_EQ(simhost::app::describeCode(-1), "-1");
}

TEST(Session, WithoutStrokesEveryPointStaysOnTheOutline) {
  const SessionRun run = runSession(kDrawing, kPickAndLeave);
  ASSERT_TRUE(run.ok) << run.error;
  expectClean(run);
  ASSERT_EQ(run.before.size(), run.after.size());
  for (std::size_t k = 0; k < run.before.size(); ++k) {
    // Picking the tool turned every path into a dense polyline along its old outline.
    EXPECT_GT(run.after[k].segments.size(), run.before[k].segments.size()) << k;
    EXPECT_EQ(run.after[k].closed, run.before[k].closed) << k;
    EXPECT_LE(farthestFrom(run.before[k], run.after[k]), 2.0) << "path " << k;  // the sampling distance
  }
  EXPECT_GT(run.stats.verticesAfter, run.stats.verticesBefore);
  // Resampled, and so not moved.
  EXPECT_EQ(run.stats.pathsMoved, 0u);
  EXPECT_EQ(run.stats.pathsResampled, run.before.size());
}

TEST(Session, StrokesMovePointsInsideTheSquareAndNoneOutside) {
  // Not fitted: artwork is user space with y flipped, and the square spans -200..200.
  const char* drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" width="800" height="800" viewBox="-400 -400 800 800">
    <circle id="inside" cx="0" cy="0" r="90" fill="none" stroke="black"/>
    <line id="right" x1="260" y1="-150" x2="260" y2="150" stroke="black"/>
    <circle id="far" cx="-320" cy="0" r="40" fill="none" stroke="black"/>
  </svg>)";
  const SessionRun run = runSession(drawing, kSwirl, /*fit=*/false);
  ASSERT_TRUE(run.ok) << run.error;
  expectClean(run);
  // Picking the tool turns the paths into polylines; the stroke may move only what is inside.
  const SessionRun picked = runSession(drawing, kPickAndLeave, /*fit=*/false);
  ASSERT_TRUE(picked.ok) << picked.error;
  ASSERT_EQ(run.after.size(), 3u);
  EXPECT_GT(farthestFrom(run.before[0], run.after[0]), 5.0) << "the stroke should stir the circle";
  for (std::size_t k = 1; k < 3; ++k) {
    for (const AIPathSegment& s : run.after[k].segments) {
      EXPECT_TRUE(s.p.h < -200 || s.p.h > 200) << "path " << k << " has a point inside the square";
    }
    EXPECT_LT(farthestFrom(picked.after[k], run.after[k]), 1e-3) << "path " << k << " moved";
  }
  EXPECT_EQ(run.stats.pathsMoved, 1u);
  EXPECT_EQ(run.stats.pathsResampled, 2u);
}

// The run stops at the vertex limit when the plug-in says so in a deformation step; its other
// alert, asking for a selection at a press, stops nothing.
TEST(Session, TheVertexLimitIsToldByTheStepThatShowsIt) {
  const char* drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"><path d="M0 0 H4000"/></svg>)";
  const SessionRun limited = runSession(drawing, R"({ "events": [
      { "type": "choose", "control": "Sampling", "preset": "0.1" },
      { "type": "select", "paths": "all" }, { "type": "pick-tool" }, { "type": "leave-tool" } ] })", false);
  ASSERT_TRUE(limited.ok) << limited.error;
  EXPECT_TRUE(limited.stats.stoppedAtLimit);
  EXPECT_EQ(limited.stats.pathsMoved + limited.stats.pathsResampled, 0u);
  const SessionRun none = runSession(drawing, R"({ "events": [
      { "type": "select", "paths": "none" }, { "type": "pick-tool" },
      { "type": "stroke", "points": [[0.4, 0.5], [0.6, 0.5]], "drags": 2 }, { "type": "leave-tool" } ] })", false);
  ASSERT_TRUE(none.ok) << none.error;
  EXPECT_NE(std::find(none.diagnostics.begin(), none.diagnostics.end(), "Sarvello: Please select at least one path object."),
            none.diagnostics.end());
  EXPECT_FALSE(none.stats.stoppedAtLimit);
}

// A drawing larger than the window keeps its size, and the view is zoomed out to show it, as
// the application shows a document it opens; a session's own zoom stays.
TEST(Session, ALargeDrawingIsShownWhole) {
  const char* drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4000" height="1000"><path d="M0 0 H4000"/></svg>)";
  std::vector<std::string> lines;
  simhost::app::Runner runner(moduleOptions(&lines));
  std::string error;
  simhost::session::SessionResult plain = simhost::session::parseSession(R"({ "events": [] })");
  ASSERT_TRUE(runner.load(drawing, "large.svg", *plain.session, "s", true, &error)) << error;
  EXPECT_DOUBLE_EQ(runner.host().view().zoom, 0.95 * 1000 / 4000);
  EXPECT_DOUBLE_EQ(runner.drawing()->userToArtwork().a, 1);
  simhost::session::SessionResult zoomed = simhost::session::parseSession(R"({ "view": { "zoom": 2 }, "events": [] })");
  ASSERT_TRUE(runner.load(drawing, "large.svg", *zoomed.session, "s", true, &error)) << error;
  EXPECT_DOUBLE_EQ(runner.host().view().zoom, 2);
}

TEST(Session, TheSquareFollowsTheView) {
  // Two circles 300 units apart; scrolled to the right one, the square covers it alone.
  const char* drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" width="800" height="800" viewBox="-400 -400 800 800">
    <circle cx="0" cy="0" r="60" fill="none" stroke="black"/>
    <circle cx="300" cy="0" r="60" fill="none" stroke="black"/>
  </svg>)";
  const char* scrolled = R"({ "events": [
    { "type": "view", "scroll": [300, 0] }, { "type": "select", "paths": "all" }, { "type": "pick-tool" },
    { "type": "stroke", "drags": 16, "points": [[0.7, 0.5], [0.5, 0.7], [0.3, 0.5], [0.5, 0.3], [0.7, 0.5]] },
    { "type": "idle", "ticks": 10 }, { "type": "leave-tool" } ] })";
  const SessionRun run = runSession(drawing, scrolled, /*fit=*/false);
  const SessionRun picked = runSession(drawing, kPickAndLeave, /*fit=*/false);
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_TRUE(picked.ok) << picked.error;
  expectClean(run);
  ASSERT_EQ(run.after.size(), 2u);
  EXPECT_LT(farthestFrom(picked.after[0], run.after[0]), 1e-3) << "the left circle is outside the square";
  EXPECT_GT(farthestFrom(run.before[1], run.after[1]), 5.0) << "the right circle should be stirred";
}

TEST(Session, ReplayingTwiceGivesTheSameBytes) {
  const SessionRun first = runSession(kDrawing, kSwirl);
  const SessionRun second = runSession(kDrawing, kSwirl);
  ASSERT_TRUE(first.ok) << first.error;
  ASSERT_TRUE(second.ok) << second.error;
  expectClean(first);
  expectClean(second);
  EXPECT_FALSE(first.svg.empty());
  EXPECT_EQ(first.svg, second.svg);
  EXPECT_EQ(first.stats.drags, 16);
  EXPECT_EQ(first.stats.timerTicks, second.stats.timerTicks);
}

TEST(Session, SelectionByIdStirsOnlyThoseShapes) {
  const char* session = R"({ "events": [
    { "type": "select", "ids": ["wave", "star"] }, { "type": "pick-tool" }, { "type": "leave-tool" } ] })";
  const SessionRun run = runSession(kDrawing, session);
  ASSERT_TRUE(run.ok) << run.error;
  expectClean(run);
  ASSERT_EQ(run.after.size(), 3u);
  EXPECT_EQ(run.after[0].segments.size(), run.before[0].segments.size()) << "the ring was not selected";
  EXPECT_GT(run.after[1].segments.size(), run.before[1].segments.size());
  EXPECT_GT(run.after[2].segments.size(), run.before[2].segments.size());
}

TEST(Session, WhatTheSessionCannotDoIsRefusedBeforeAnythingRuns) {
  const char* unknownId = R"({ "events": [ { "type": "pick-tool" }, { "type": "select", "ids": ["ring", "nope"] } ] })";
  const SessionRun run = runSession(kDrawing, unknownId);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "test session: event 2 (select): test.svg has no shape or group with id \"nope\"");
  EXPECT_TRUE(run.before.empty()) << "the drawing must not be loaded";
  const std::string withText =
      R"(<svg xmlns="http://www.w3.org/2000/svg"><path d="M0 0 L9 9"/><text id="t">Hi</text></svg>)";
  const SessionRun text = runSession(withText, R"({ "events": [ { "type": "select", "ids": ["t"] } ] })");
  EXPECT_EQ(text.error, "test session: event 1 (select): test.svg: \"t\" is a <text> element, and text is not stirred");

  const SessionRun badSvg = runSession("<svg><path d='M 0 0 L'/></svg", kPickAndLeave);
  EXPECT_FALSE(badSvg.ok);
  EXPECT_NE(badSvg.error.find("test.svg:"), std::string::npos) << badSvg.error;
}

// A picture nobody asked for (no file, and the caller keeps none) is not rendered.
TEST(Session, PicturesAreTakenOnlyWhenAskedFor) {
  simhost::session::SessionResult parsed = simhost::session::parseSession(
      R"({ "events": [ { "type": "picture" }, { "type": "picture", "file": "p.png" } ] })", "s");
  ASSERT_TRUE(parsed) << parsed.error;
  std::vector<std::string> lines;
  simhost::app::RunOptions options = moduleOptions(&lines);
  options.unnamedPictures = false;
  simhost::app::Runner runner(options);
  std::string error;
  ASSERT_TRUE(runner.load(kDrawing, "d.svg", *parsed.session, "s", true, &error)) << error;
  ASSERT_TRUE(runner.start(&error)) << error;
  ASSERT_TRUE(runner.play(*parsed.session, &error)) << error;
  ASSERT_EQ(runner.frames().size(), 1u);
  EXPECT_EQ(runner.frames()[0].file, "p.png");
  ASSERT_TRUE(runner.quit(&error)) << error;
}

TEST(Session, StrokesBeforeTheToolIsPickedDoNothingAndSaySo) {
  const char* session = R"({ "events": [ { "type": "stroke", "points": [[0.2, 0.2], [0.8, 0.8]], "drags": 3 } ] })";
  const SessionRun run = runSession(kDrawing, session);
  ASSERT_TRUE(run.ok) << run.error;
  expectClean(run);
  for (std::size_t k = 0; k < run.before.size(); ++k) {
    EXPECT_EQ(run.after[k].segments.size(), run.before[k].segments.size());
  }
  ASSERT_EQ(run.diagnostics.size(), 1u);
  EXPECT_EQ(run.diagnostics[0], "event 1 (stroke): the tool is not picked, the stroke does nothing");
}

TEST(Session, AFailingHostCallIsReportedAndLeavesNothingBehind) {
  simhost::session::SessionResult parsed = simhost::session::parseSession(kSwirl, "s");
  ASSERT_TRUE(parsed) << parsed.error;
  std::vector<std::string> lines;
  simhost::app::Runner runner(moduleOptions(&lines));
  std::string error;
  ASSERT_TRUE(runner.load(kDrawing, "d.svg", *parsed.session, "s", true, &error)) << error;
  ASSERT_TRUE(runner.start(&error)) << error;
  // Every curve conversion fails from now on: the plug-in's steps fail, and it says so.
  runner.host().faults().failAllCalls("AIPathConstruction.CurvesToPoints", kOutOfMemoryErr);
  EXPECT_TRUE(runner.play(*parsed.session, &error)) << error;
  EXPECT_TRUE(runner.quit(&error)) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
  EXPECT_GT(runner.stats().failedMessages, 0);
  bool told = false;
  for (const std::string& line : lines) told |= line.find("'!MEM'") != std::string::npos;
  EXPECT_TRUE(told) << "a failing message should be told once";
}

TEST(Session, AModuleThatIsNotAPlugInIsRefused) {
  TempDir dir;
  writeText(dir / "fake.aip", "not a plug-in");
  simhost::app::RunOptions options;
  options.pluginPath = dir / "fake.aip";
  simhost::app::Runner runner(options);
  std::string error;
  EXPECT_FALSE(runner.start(&error));
  EXPECT_NE(error.find(dir / "fake.aip"), std::string::npos) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
}

TEST(Session, EachDrawingStartsWithTheToolNotPicked) {
  simhost::session::SessionResult keep = simhost::session::parseSession(R"({ "events": [ { "type": "pick-tool" } ] })");
  simhost::session::SessionResult pick = simhost::session::parseSession(kPickAndLeave);
  ASSERT_TRUE(keep && pick);
  simhost::app::RunOptions options;
  options.pluginPath = kModule;
  simhost::app::Runner runner(options);
  std::string error;
  ASSERT_TRUE(runner.start(&error)) << error;
  ASSERT_TRUE(runner.load(kDrawing, "a.svg", *keep.session, "keep", true, &error)) << error;
  ASSERT_TRUE(runner.play(*keep.session, &error)) << error;  // leaves the tool picked
  ASSERT_TRUE(runner.load(kDrawing, "b.svg", *pick.session, "pick", true, &error)) << error;
  const std::size_t before = runner.vertices();
  ASSERT_TRUE(runner.play(*pick.session, &error)) << error;
  EXPECT_GT(runner.vertices(), before) << "picking the tool should turn the new drawing into polylines";
  ASSERT_TRUE(runner.quit(&error)) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
}
