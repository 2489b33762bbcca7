// Panel actions of sessions through the built module: the values reach the plug-in, the buttons
// act on the drawing, hidden or missing panels are told, and the placement outlives the run.
#include <gtest/gtest.h>

#include <algorithm>

#include "AppFixture.h"

using namespace apptest;

namespace {

const char* const kDrawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 200">
  <circle id="ring" cx="100" cy="100" r="60" fill="none" stroke="black"/>
  <path id="wave" d="M 10 170 C 40 140 60 200 100 170 S 160 140 190 170" fill="none" stroke="red"/>
</svg>)";

// Wraps events between selecting every path and picking the tool, and leaving the tool (unless
// the overlay is to stay, as leaving the tool takes it away).
std::string session(const std::string& events, bool leave = true) {
  return R"({ "events": [ { "type": "select", "paths": "all" }, { "type": "pick-tool" }, )" + events +
         (leave ? R"(, { "type": "leave-tool" } ] })" : " ] }");
}

const char* const kSwirl =
    R"({ "type": "stroke", "drags": 16, "points": [[0.7, 0.5], [0.5, 0.7], [0.3, 0.5], [0.5, 0.3], [0.7, 0.5]] })";

bool told(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
bool told(const SessionRun& run, const std::string& line) { return told(run.diagnostics, line); }

std::string allOf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The widest rectangle of the overlay: the square's frame.
int squareDrawn(const simhost::OverlayRecording& overlay) {
  int widest = 0;
  for (const simhost::OverlayCall& call : overlay) {
    if (call.kind == simhost::OverlayCall::DrawRect) widest = std::max(widest, call.rect.right - call.rect.left);
  }
  return widest;
}

void expectSameShapes(const std::vector<Shape>& a, const std::vector<Shape>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    ASSERT_EQ(a[k].segments.size(), b[k].segments.size()) << "path " << k;
    for (std::size_t i = 0; i < a[k].segments.size(); ++i) {
      EXPECT_EQ(a[k].segments[i].p.h, b[k].segments[i].p.h) << "path " << k << " segment " << i;
      EXPECT_EQ(a[k].segments[i].p.v, b[k].segments[i].p.v) << "path " << k << " segment " << i;
    }
  }
}

}  // namespace

TEST(PanelValues, TypedAndChosenValuesReachThePlugIn) {
  const SessionRun run = runSession(kDrawing, session(R"(
      { "type": "type-value", "control": "Grid Res", "value": 100 }, { "type": "idle", "ticks": 2 },
      { "type": "type-value", "control": "Grid Res", "value": "1000" }, { "type": "idle", "ticks": 2 },
      { "type": "choose", "control": "Viscosity", "preset": ".0" }, { "type": "idle", "ticks": 1 })"));
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(run.left.clean()) << run.left.describe();
  EXPECT_TRUE(told(run, "event 3 (type-value): Grid Res is now 100")) << allOf(run.diagnostics);
  EXPECT_TRUE(told(run, "event 5 (type-value): Grid Res is now 512 (1000 is held to the field's bounds)"))
      << allOf(run.diagnostics);
  EXPECT_TRUE(told(run, "event 7 (choose): Viscosity is now .0")) << allOf(run.diagnostics);
  EXPECT_TRUE(contains(run.panels, "panel \"Sarvello\": shown")) << run.panels;
  EXPECT_TRUE(contains(run.panels, "  Grid Res: 512\n")) << run.panels;
  EXPECT_TRUE(contains(run.panels, "  Viscosity: .0\n")) << run.panels;
  EXPECT_EQ(run.stats.panelActions, 3);
  EXPECT_EQ(run.stats.actionsNotDone, 0);
}

TEST(PanelValues, SizeChangesTheSquareDrawnAndWhereStrokesLand) {
  // A small circle in the middle and a big one that lies outside a square of side 250 but inside
  // the default one of 400; not fitted, so that the sizes are the drawing's own.
  const char* drawing = R"(<svg xmlns="http://www.w3.org/2000/svg" width="800" height="800" viewBox="-400 -400 800 800">
    <circle cx="0" cy="0" r="50" fill="none" stroke="black"/>
    <circle cx="0" cy="0" r="180" fill="none" stroke="black"/>
  </svg>)";
  const std::string sizeFirst = R"({ "type": "type-value", "control": "Size", "value": "250.9" }, { "type": "idle", "ticks": 1 })";
  const std::string stroke =
      R"({ "type": "stroke", "drags": 20, "points": [[0.02, 0.5], [0.98, 0.5], [0.02, 0.52]] }, { "type": "idle", "ticks": 10 })";
  const SessionRun small = runSession(drawing, session(sizeFirst + ", " + stroke, false), /*fit=*/false);
  const SessionRun large = runSession(drawing, session(stroke, false), /*fit=*/false);
  const SessionRun picked = runSession(drawing, session(R"({ "type": "idle", "ticks": 0 })"), /*fit=*/false);
  ASSERT_TRUE(small.ok && large.ok && picked.ok) << small.error << large.error << picked.error;
  // The plug-in cuts the value toward zero; at zoom 1 the frame is as many pixels wide.
  EXPECT_EQ(small.squareSize, 250);
  EXPECT_EQ(squareDrawn(small.overlay), 250);
  EXPECT_EQ(squareDrawn(large.overlay), 400);
  EXPECT_TRUE(told(small, "event 3 (type-value): Size is now 250.9")) << allOf(small.diagnostics);
  // The stroke sweeps across the square it is given: the big circle only moves in the large one.
  EXPECT_GT(farthestFrom(small.before[0], small.after[0]), 5.0);
  EXPECT_LT(farthestFrom(picked.after[1], small.after[1]), 1e-3);
  EXPECT_GT(farthestFrom(picked.after[1], large.after[1]), 5.0);
}

TEST(PanelButtons, RetryPutsTheShapesBackAndClearStopsTheFluid) {
  const SessionRun retried = runSession(kDrawing, session(std::string(kSwirl) + R"(, { "type": "idle", "ticks": 10 },
      { "type": "press", "button": "Retry" })"));
  ASSERT_TRUE(retried.ok) << retried.error;
  EXPECT_TRUE(retried.left.clean()) << retried.left.describe();
  expectSameShapes(retried.before, retried.after);
  EXPECT_TRUE(told(retried, "event 5 (press): pressed \"Retry\"")) << allOf(retried.diagnostics);

  // After Clear the field is still: more ticks only resample the paths where they lie.
  const std::string stirred = std::string(kSwirl) + R"(, { "type": "idle", "ticks": 10 })";
  const SessionRun stopped = runSession(kDrawing, session(stirred + R"(, { "type": "press", "button": "Clear" },
      { "type": "idle", "ticks": 1 }, { "type": "picture" }, { "type": "idle", "ticks": 30 })"));
  const SessionRun moving = runSession(kDrawing, session(stirred + R"(, { "type": "idle", "ticks": 31 })"));
  const SessionRun reference = runSession(kDrawing, session(stirred));
  ASSERT_TRUE(stopped.ok && moving.ok && reference.ok) << stopped.error << moving.error << reference.error;
  double stillShift = 0, movingShift = 0;
  for (std::size_t k = 0; k < reference.after.size(); ++k) {
    stillShift = std::max(stillShift, farthestFrom(reference.after[k], stopped.after[k]));
    movingShift = std::max(movingShift, farthestFrom(reference.after[k], moving.after[k]));
  }
  EXPECT_LT(stillShift, 1.0);
  EXPECT_GT(movingShift, 3.0) << "without Clear the fluid should go on moving the paths";
}

TEST(PanelButtons, VisitWebsiteAsksForThePageAndChangesNothing) {
  const std::string stirred = std::string(kSwirl) + R"(, { "type": "idle", "ticks": 5 })";
  testing::internal::CaptureStdout();
  const SessionRun visited = runSession(kDrawing, session(R"({ "type": "press", "button": "Visit website" }, )" + stirred));
  const std::string out = testing::internal::GetCapturedStdout();
  const SessionRun plain = runSession(kDrawing, session(stirred));
  ASSERT_TRUE(visited.ok && plain.ok) << visited.error << plain.error;
  ASSERT_EQ(visited.urls.size(), 1u);
  EXPECT_EQ(visited.urls[0].rfind("https://", 0), 0u) << visited.urls[0];
  EXPECT_TRUE(told(visited, "event 3 (press): the plug-in asks to open " + visited.urls[0] + " in a browser"))
      << allOf(visited.diagnostics);
  EXPECT_TRUE(contains(out, "Open in a browser: " + visited.urls[0])) << "no browser is launched in tests: " << out;
  EXPECT_EQ(visited.svg, plain.svg);
  EXPECT_TRUE(plain.urls.empty());
}

TEST(PanelVisibility, HiddenPanelsTakeNoActionsUntilShownAgain) {
  const SessionRun run = runSession(kDrawing, session(R"(
      { "type": "close-panel", "panel": "Sarvello" },
      { "type": "choose", "control": "Grid Res", "preset": 1 },
      { "type": "menu", "item": "Sarvello" },
      { "type": "choose", "control": "Grid Res", "preset": 2 },
      { "type": "menu", "item": "Sarvello" },
      { "type": "close-panel", "panel": "Important Infomation" },
      { "type": "press", "button": "Visit website" },
      { "type": "move-panel", "panel": "Important Infomation", "to": [0, 0] },
      { "type": "leave-tool" }, { "type": "pick-tool" },
      { "type": "menu", "item": "Help" })"));
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(run.left.clean()) << run.left.describe();
  const std::vector<std::string> expected = {
      "event 3 (close-panel): the panel \"Sarvello\" is hidden",
      "event 4 (choose): not done: the panel \"Sarvello\" is hidden",
      "event 5 (menu): the panel \"Sarvello\" is shown",
      "event 6 (choose): Grid Res is now 32",
      "event 7 (menu): the panel \"Sarvello\" is hidden",
      "event 8 (close-panel): the panel \"Important Infomation\" is hidden",
      "event 9 (press): not done: the panel \"Important Infomation\" is hidden",
      "event 10 (move-panel): not done: the panel \"Important Infomation\" is hidden",
      // Picking the tool shows both panels again.
      "event 12 (pick-tool): the panel \"Sarvello\" is shown",
      "event 12 (pick-tool): the panel \"Important Infomation\" is shown",
      "event 13 (menu): not done: the plug-in added no menu item \"Help\"",
  };
  EXPECT_EQ(run.diagnostics, expected) << allOf(run.diagnostics);
  EXPECT_EQ(run.stats.actionsNotDone, 4);
  EXPECT_TRUE(run.urls.empty());
  EXPECT_TRUE(contains(run.panels, "  Grid Res: 32\n")) << run.panels;
}

TEST(PanelVisibility, WithoutPanelsEveryActionIsToldAndTheRunGoesOn) {
  simhost::session::SessionResult parsed = simhost::session::parseSession(session(R"(
      { "type": "choose", "control": "Grid Res", "preset": 4 },
      { "type": "press", "button": "Retry" },
      { "type": "close-panel", "panel": "Sarvello" },
      { "type": "menu", "item": "Sarvello" }, )" + std::string(kSwirl)));
  ASSERT_TRUE(parsed) << parsed.error;
  std::vector<std::string> lines;
  simhost::app::Runner runner(moduleOptions(&lines));
  std::string error;
  ASSERT_TRUE(runner.load(kDrawing, "d.svg", *parsed.session, "s", true, &error)) << error;
  runner.host().faults().failAllCalls("ADMDialog.Create", kCantHappenErr);  // no panel can be made
  ASSERT_TRUE(runner.start(&error)) << error;
  const std::size_t before = runner.vertices();
  EXPECT_TRUE(runner.play(*parsed.session, &error)) << error;
  EXPECT_GT(runner.vertices(), before) << "the tool works without its panels";
  EXPECT_EQ(runner.stats().actionsNotDone, 3);
  const std::string all = allOf(lines);
  EXPECT_TRUE(contains(all, "event 3 (choose): not done: no panel shows the control \"Grid Res\"\n")) << all;
  EXPECT_TRUE(contains(all, "event 4 (press): not done: no panel shows the button \"Retry\"\n")) << all;
  EXPECT_TRUE(contains(all, "event 5 (close-panel): not done: the plug-in has no panel \"Sarvello\"\n")) << all;
  EXPECT_EQ(runner.panels(), "no panels\n");
  EXPECT_TRUE(runner.quit(&error)) << error;
  EXPECT_TRUE(runner.outstanding().clean()) << runner.outstanding().describe();
}

TEST(PanelValues, ReplayingPanelActionsGivesTheSameBytes) {
  const std::string events = R"({ "type": "choose", "control": "Grid Res", "preset": "128" },
      { "type": "type-value", "control": "Size", "value": 300 },
      { "type": "choose", "control": "Force", "preset": "10.0" }, )" +
                             std::string(kSwirl) + R"(, { "type": "idle", "ticks": 5 },
      { "type": "press", "button": "Retry" }, { "type": "choose", "control": "Sampling", "preset": 3 }, )" +
                             std::string(kSwirl) + R"(, { "type": "press", "button": "Clear" }, { "type": "idle", "ticks": 3 })";
  const SessionRun first = runSession(kDrawing, session(events));
  const SessionRun second = runSession(kDrawing, session(events));
  const SessionRun plain = runSession(kDrawing, session(std::string(kSwirl) + ", " + kSwirl));
  ASSERT_TRUE(first.ok && second.ok && plain.ok) << first.error << second.error << plain.error;
  EXPECT_EQ(first.svg, second.svg);
  EXPECT_EQ(first.diagnostics, second.diagnostics);
  EXPECT_NE(first.svg, plain.svg) << "the panel's values should change the stirring";
}

TEST(PanelPlacement, WhereThePanelWasLeftIsWhereItComesBack) {
  TempDir dir;
  const std::string prefs = dir / "config/preferences.ini";
  const SessionRun moved = runSession(kDrawing, session(R"({ "type": "move-panel", "panel": "Sarvello", "to": [100, 50] })"),
                                      true, prefs);
  ASSERT_TRUE(moved.ok) << moved.error;
  EXPECT_TRUE(told(moved, "event 3 (move-panel): the panel \"Sarvello\" is now at 100,50")) << allOf(moved.diagnostics);
  EXPECT_TRUE(contains(readText(prefs), "kADM_DPLocationStr = point 100 50")) << readText(prefs);
  const SessionRun again = runSession(kDrawing, session(R"({ "type": "idle", "ticks": 1 })"), true, prefs);
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_TRUE(contains(again.panels, "panel \"Sarvello\": shown at 100,50, 200 x 207")) << again.panels;
  EXPECT_TRUE(again.diagnostics.empty()) << allOf(again.diagnostics);
  // Without the file the panel takes its first-start place again.
  const SessionRun fresh = runSession(kDrawing, session(R"({ "type": "idle", "ticks": 1 })"));
  EXPECT_FALSE(contains(fresh.panels, "shown at 100,50")) << fresh.panels;
  // Dropped far off the screen (1440 x 900), it is placed back onto it, and saved so.
  const SessionRun off = runSession(kDrawing, session(R"({ "type": "move-panel", "panel": "Sarvello", "to": [90000, -500] })"),
                                    true, prefs);
  ASSERT_TRUE(off.ok) << off.error;
  EXPECT_TRUE(told(off, "event 3 (move-panel): the panel \"Sarvello\" is now at 1240,0 (brought back onto the screen)"))
      << allOf(off.diagnostics);
  EXPECT_TRUE(contains(readText(prefs), "kADM_DPLocationStr = point 1240 0")) << readText(prefs);
}

TEST(PanelPlacement, AnUnreadableFileWarnsStaysUntilTheSaveAndIsKeptBesideTheNewOne) {
  TempDir dir;
  const std::string prefs = dir / "preferences.ini";
  const std::string broken = "[SarvelloADMNonModalDialog]\nkADM_DPLocationStr = point 1 two\n";
  writeText(prefs, broken);
  simhost::session::SessionResult parsed =
      simhost::session::parseSession(session(R"({ "type": "move-panel", "panel": "Sarvello", "to": [30, 40] })"));
  ASSERT_TRUE(parsed) << parsed.error;
  std::vector<std::string> lines;
  const simhost::app::RunOptions options = moduleOptions(&lines, prefs);
  {
    simhost::app::Runner runner(options);
    std::string error;
    ASSERT_TRUE(runner.load(kDrawing, "d.svg", *parsed.session, "s", true, &error)) << error;
    ASSERT_TRUE(runner.start(&error)) << error;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("warning: preferences " + prefs + ": line 2:", 0), 0u) << lines[0];
    ASSERT_TRUE(runner.play(*parsed.session, &error)) << error;
    EXPECT_EQ(readText(prefs), broken) << "the file stays as it is until the host saves";
    ASSERT_TRUE(runner.quit(&error)) << error;
  }
  EXPECT_TRUE(told(lines, "warning: the unreadable preferences file is kept as " + prefs + ".corrupt")) << allOf(lines);
  EXPECT_EQ(readText(prefs + ".corrupt"), broken);
  EXPECT_TRUE(contains(readText(prefs), "kADM_DPLocationStr = point 30 40")) << readText(prefs);
  // The new file reads back without a warning.
  const SessionRun next = runSession(kDrawing, session(R"({ "type": "idle", "ticks": 1 })"), true, prefs);
  ASSERT_TRUE(next.ok) << next.error;
  EXPECT_TRUE(next.diagnostics.empty()) << allOf(next.diagnostics);
  EXPECT_TRUE(contains(next.panels, "shown at 30,40")) << next.panels;
  // Broken again: the first copy stays, the second goes beside it.
  writeText(prefs, "[x]\ny = point\n");
  const SessionRun broke = runSession(kDrawing, session(R"({ "type": "idle", "ticks": 1 })"), true, prefs);
  ASSERT_TRUE(broke.ok) << broke.error;
  EXPECT_TRUE(told(broke, "warning: the unreadable preferences file is kept as " + prefs + ".corrupt.2"))
      << allOf(broke.diagnostics);
  EXPECT_EQ(readText(prefs + ".corrupt"), broken);
  EXPECT_EQ(readText(prefs + ".corrupt.2"), "[x]\ny = point\n");
}
