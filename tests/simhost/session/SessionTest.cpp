// Session files: valid sessions parse into the events they describe; a malformed one is refused
// whole with the event and what is wrong with it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "session/Session.h"

using namespace simhost::session;

namespace {

std::string dataPath(const std::string& name) {
  const char* root = std::getenv("SARVELLO_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/data/" + name;
}

// The error for a session whose only event is `event`.
std::string eventError(const std::string& event) {
  SessionResult r = parseSession(R"({"events": [{"type": "pick-tool"}, )" + event + "]}", "s.json");
  EXPECT_FALSE(r) << event;
  return r.error;
}

}  // namespace

TEST(Session, ExampleFileParsesWithPathsResolved) {
  SessionResult r = parseSessionFile(dataPath("session/stir-wave.json"));
  ASSERT_TRUE(r) << r.error;
  const Session& s = *r.session;
  // Resolved beside the session file, with the system's separators.
  EXPECT_EQ(std::filesystem::path(s.drawing), std::filesystem::path(dataPath("svg/wave.svg")));
  EXPECT_TRUE(s.fit);
  EXPECT_EQ(s.view.width, 800);
  EXPECT_EQ(s.view.zoom, 1.25);
  EXPECT_FALSE(s.view.center.has_value());
  ASSERT_EQ(s.events.size(), 11u);
  EXPECT_EQ(s.events[0].type, Event::Type::Select);
  EXPECT_EQ(s.events[0].selection, Event::Selection::All);
  EXPECT_EQ(s.events[1].type, Event::Type::PickTool);
  EXPECT_EQ(std::filesystem::path(s.events[2].file), std::filesystem::path(dataPath("session/stir-wave-0.png")));
  const Event& stroke = s.events[3];
  EXPECT_EQ(stroke.type, Event::Type::Stroke);
  EXPECT_EQ(stroke.units, Event::Units::Fraction);
  ASSERT_EQ(stroke.points.size(), 3u);
  EXPECT_EQ(stroke.points[1].x, 0.5);
  EXPECT_EQ(stroke.points[1].y, 0.4);
  EXPECT_EQ(stroke.drags, 40);
  EXPECT_EQ(s.events[4].ticks, 30);
  EXPECT_EQ(s.events[6].selection, Event::Selection::Ids);
  EXPECT_EQ(s.events[6].ids, (std::vector<std::string>{"wave1", "dot"}));
  EXPECT_EQ(s.events[7].units, Event::Units::Artwork);
  EXPECT_EQ(s.events[7].index, 7u);
  EXPECT_EQ(s.events[10].type, Event::Type::LeaveTool);
}

TEST(Session, ViewChangesAndDefaults) {
  SessionResult r = parseSession(R"({"fit": false, "events": [
      {"type": "view", "zoom": 2, "scroll": [10, -5]},
      {"type": "view", "center": [1, 2], "width": 640},
      {"type": "select", "paths": "none"},
      {"type": "idle", "ticks": 0},
      {"type": "picture"}]})");
  ASSERT_TRUE(r) << r.error;
  EXPECT_FALSE(r.session->fit);
  EXPECT_TRUE(r.session->drawing.empty());
  const auto& e = r.session->events;
  EXPECT_EQ(e[0].view.zoom, 2.0);
  EXPECT_EQ(e[0].view.scroll->x, 10.0);
  EXPECT_FALSE(e[0].view.width.has_value());
  EXPECT_EQ(e[1].view.center->y, 2.0);
  EXPECT_EQ(e[1].view.width, 640);
  EXPECT_EQ(e[2].selection, Event::Selection::None);
  EXPECT_TRUE(e[4].file.empty());
  EXPECT_STREQ(typeName(e[4].type), "picture");
}

TEST(Session, MalformedEventsNameTheEventAndTheProblem) {
  EXPECT_EQ(eventError(R"({"type": "jump"})"),
            "s.json: event 2 (jump): unknown event type \"jump\" (known: select, view, pick-tool, "
            "leave-tool, stroke, idle, picture, choose, type-value, press, menu, close-panel, move-panel, "
            "pointer, ticks)");
  EXPECT_EQ(eventError(R"({"drags": 3})"), "s.json: event 2: the event has no \"type\"");
  EXPECT_EQ(eventError(R"(42)"), "s.json: event 2: an event must be an object with a \"type\"");
  EXPECT_EQ(eventError(R"({"type": 3})"), "s.json: event 2: \"type\" must be a string");
  // Strokes.
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0]], "drags": -1})"),
            "s.json: event 2 (stroke): \"drags\" must be a whole number from 0 to 10000000");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0]], "drags": 2.5})"),
            "s.json: event 2 (stroke): \"drags\" must be a whole number from 0 to 10000000");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0]]})"),
            "s.json: event 2 (stroke): the stroke has no \"drags\" (the number of drag events)");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [], "drags": 1})"),
            "s.json: event 2 (stroke): \"points\" must be a non-empty list of [x, y] pairs");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0], [1, "a"]], "drags": 1})"),
            "s.json: event 2 (stroke): point 2 must be a pair of numbers [x, y]");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0]], "drags": 1, "units": "px"})"),
            "s.json: event 2 (stroke): \"units\" must be \"fraction\" or \"artwork\"");
  EXPECT_EQ(eventError(R"({"type": "stroke", "point": [[0, 0]], "drags": 1})"),
            "s.json: event 2 (stroke): unknown key \"point\"");
  // Selections, views, idle ticks.
  EXPECT_EQ(eventError(R"({"type": "select", "paths": "some"})"),
            "s.json: event 2 (select): \"paths\" must be \"all\" or \"none\"");
  EXPECT_EQ(eventError(R"({"type": "select", "paths": "all", "ids": ["a"]})"),
            "s.json: event 2 (select): give one of \"paths\" (\"all\" or \"none\"), \"ids\" or \"indices\"");
  // What a live run records.
  EXPECT_EQ(eventError(R"({"type": "pointer", "action": "drag"})"),
            "s.json: event 2 (pointer): the event has no \"at\" (the pointer's artwork position)");
  EXPECT_EQ(eventError(R"({"type": "pointer", "action": "hover", "at": [0, 0]})"),
            "s.json: event 2 (pointer): unknown action \"hover\": \"action\" must be \"move\", \"down\", \"drag\" or \"up\"");
  EXPECT_EQ(eventError(R"({"type": "ticks", "at": [3, 3]})"), "s.json: event 2 (ticks): the ticks in \"at\" must increase");
  EXPECT_EQ(eventError(R"({"type": "pick-tool", "clock": -1})"),
            "s.json: event 2: \"clock\" must be whole microseconds since the epoch, from 0 to 2^53");
  EXPECT_EQ(eventError(R"({"type": "select", "ids": ["a", ""]})"),
            "s.json: event 2 (select): \"ids\" must hold non-empty strings");
  EXPECT_EQ(eventError(R"({"type": "view", "zoom": 0})"), "s.json: event 2 (view): \"zoom\" must be greater than 0");
  EXPECT_EQ(eventError(R"({"type": "view"})"),
            "s.json: event 2 (view): give at least one of \"width\", \"height\", \"zoom\", \"center\", \"scroll\"");
  EXPECT_EQ(eventError(R"({"type": "view", "width": 100000})"),
            "s.json: event 2 (view): \"width\" must be a whole number from 1 to 16384");
  EXPECT_EQ(eventError(R"({"type": "view", "center": [0, 0], "scroll": [1, 1]})"),
            "s.json: event 2 (view): give \"center\" or \"scroll\", not both");
  EXPECT_EQ(eventError(R"({"type": "idle"})"), "s.json: event 2 (idle): the idle event has no \"ticks\"");
  EXPECT_EQ(eventError(R"({"type": "pick-tool", "now": true})"),
            "s.json: event 2 (pick-tool): unknown key \"now\"");
  // Values the host cannot take are refused before the run.
  EXPECT_EQ(eventError(R"({"type": "view", "zoom": 1e300})"),
            "s.json: event 2 (view): \"zoom\" must be from 0.001 to 1000 (pixels per artwork unit)");
  EXPECT_EQ(eventError(R"({"type": "view", "zoom": 1e-300})"),
            "s.json: event 2 (view): \"zoom\" must be from 0.001 to 1000 (pixels per artwork unit)");
  EXPECT_EQ(eventError(R"({"type": "view", "scroll": [1e300, 0]})"),
            "s.json: event 2 (view): the view's centre would be 1e+300, 0: it must stay within 1e+06 "
            "artwork units of the origin");
  EXPECT_EQ(eventError(R"({"type": "stroke", "points": [[0, 0], [1e300, 0]], "drags": 1})"),
            "s.json: event 2 (stroke): point 2 must be within 1000 squares of the overlay square");
  EXPECT_EQ(eventError(R"({"type": "stroke", "units": "artwork", "points": [[0, -2e6]], "drags": 1})"),
            "s.json: event 2 (stroke): point 1 must be within 1e+06 artwork units of the origin");
  // Numbers beyond doubles and keys given twice are the file's clear error.
  for (const char* text : {R"({"events": [], "x": 3e333})", R"({"events": [{"type": "view", "zoom": 1e400}]})"}) {
    const SessionResult r = parseSession(text, "s.json");
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error.rfind("s.json: not valid JSON: number overflow parsing '", 0), 0u) << r.error;
  }
  const SessionResult twice = parseSession(R"({"events": [{"type": "idle", "ticks": 1, "ticks": 2}]})", "s.json");
  EXPECT_EQ(twice.error, "s.json: the key \"ticks\" is given twice in one object");
}

TEST(Session, MalformedFilesAreRefusedBeforeAnyEvent) {
  SessionResult r = parseSession("{\n  \"events\": [\n    {\"type\": \"idle\" \"ticks\": 1}\n  ]\n}", "bad.json");
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error.rfind("bad.json:3:27: not valid JSON: syntax error", 0), 0u) << r.error;
  EXPECT_EQ(parseSession("[]", "x").error, "x: a session must be a JSON object with \"events\"");
  EXPECT_EQ(parseSession("{}", "x").error, "x: the session has no \"events\"");
  EXPECT_EQ(parseSession(R"({"events": {}})", "x").error, "x: \"events\" must be a list");
  EXPECT_EQ(parseSession(R"({"events": [], "evnets": []})", "x").error, "x: unknown key \"evnets\"");
  EXPECT_EQ(parseSession(R"({"events": [], "fit": 1})", "x").error, "x: \"fit\" must be true or false");
  EXPECT_EQ(parseSession(R"({"events": [], "view": {"zoom": -1}})", "x").error,
            "x: view: \"zoom\" must be greater than 0");
  EXPECT_EQ(parseSessionFile("/nonexistent/run.json").error,
            "/nonexistent/run.json: cannot read the session file: No such file or directory");
  EXPECT_EQ(parseSessionFile("/").error, "/: cannot read the session file: Is a directory");
  // A file without end is not read until memory runs out.
  EXPECT_EQ(parseSessionFile("/dev/zero").error, "/dev/zero: cannot read the session file: larger than 256 MB");
}

TEST(Session, PanelActionsParse) {
  SessionResult r = parseSession(R"({"events": [
      {"type": "choose", "control": "Grid Res", "preset": 4},
      {"type": "choose", "control": "Viscosity", "preset": ".0"},
      {"type": "type-value", "control": "Grid Res", "value": 100},
      {"type": "type-value", "control": "Size", "value": "250.9"},
      {"type": "type-value", "control": "Viscosity", "value": 0.0005},
      {"type": "press", "button": "Retry"},
      {"type": "press", "button": "Visit website"},
      {"type": "menu", "item": "Sarvello"},
      {"type": "close-panel", "panel": "Important Infomation"},
      {"type": "move-panel", "panel": "Sarvello", "to": [-20, 300]}]})");
  ASSERT_TRUE(r) << r.error;
  const auto& e = r.session->events;
  EXPECT_EQ(e[0].type, Event::Type::Choose);
  EXPECT_EQ(e[0].label, "Grid Res");
  EXPECT_EQ(e[0].preset, 4);
  EXPECT_EQ(e[1].preset, 1) << "a preset named by its text is found by position";
  EXPECT_EQ(e[2].type, Event::Type::TypeValue);
  EXPECT_EQ(e[2].typed, "100");
  EXPECT_EQ(e[3].typed, "250.9") << "a string is typed as it stands";
  EXPECT_EQ(std::stod(e[4].typed), 0.0005);
  EXPECT_EQ(e[5].type, Event::Type::Press);
  EXPECT_EQ(e[6].label, "Visit website");
  EXPECT_EQ(e[7].type, Event::Type::Menu);
  EXPECT_EQ(e[7].label, "Sarvello");
  EXPECT_EQ(e[8].type, Event::Type::ClosePanel);
  EXPECT_EQ(e[8].label, "Important Infomation");
  EXPECT_EQ(e[9].type, Event::Type::MovePanel);
  EXPECT_EQ(e[9].to.x, -20);
  EXPECT_EQ(e[9].to.y, 300);
  EXPECT_STREQ(typeName(e[3].type), "type-value");
  EXPECT_STREQ(typeName(e[9].type), "move-panel");
  // Every preset of every control can be chosen by its text.
  for (const PanelControl& control : panelControls()) {
    for (std::size_t k = 0; k < control.presets.size(); ++k) {
      const std::string event = std::string(R"({"type": "choose", "control": ")") + control.label +
                                R"(", "preset": ")" + control.presets[k] + "\"}";
      SessionResult one = parseSession(R"({"events": [)" + event + "]}");
      ASSERT_TRUE(one) << one.error;
      EXPECT_EQ(one.session->events[0].preset, static_cast<int>(k + 1)) << event;
    }
  }
}

TEST(Session, MalformedPanelActionsNameTheEventAndTheProblem) {
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid", "preset": 1})"),
            "s.json: event 2 (choose): unknown control \"Grid\": \"control\" must be \"Viscosity\", "
            "\"Time Step\", \"Force\", \"Grid Res\", \"Sampling\" or \"Size\"");
  EXPECT_EQ(eventError(R"({"type": "choose", "preset": 1})"),
            "s.json: event 2 (choose): the event has no \"control\" (\"Viscosity\", \"Time Step\", "
            "\"Force\", \"Grid Res\", \"Sampling\" or \"Size\")");
  const std::string gridPresets =
      "s.json: event 2 (choose): \"preset\" of \"Grid Res\" must be a position from 1 to 5 or one of "
      "\"16\", \"32\", \"64\", \"128\" or \"256\"";
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res", "preset": 6})"), gridPresets + ", not 6");
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res", "preset": 0})"), gridPresets + ", not 0");
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res", "preset": 1.5})"), gridPresets + ", not 1.5");
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res", "preset": "100"})"),
            gridPresets + ", not \"100\"");
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res", "preset": true})"), gridPresets);
  EXPECT_EQ(eventError(R"({"type": "choose", "control": "Grid Res"})"),
            "s.json: event 2 (choose): the event has no \"preset\" (its position in the list, from 1, or its text)");
  for (const std::string typed : {"fast", "4 kg", "", "nan", "1e999", "0x10", "0x1p3"}) {
    EXPECT_EQ(eventError(R"({"type": "type-value", "control": "Force", "value": ")" + typed + "\"}"),
              "s.json: event 2 (type-value): \"" + typed +
                  "\" is not a number: \"value\" must be a number, or a string holding one");
  }
  EXPECT_EQ(eventError(R"({"type": "type-value", "control": "Force", "value": [4]})"),
            "s.json: event 2 (type-value): \"value\" must be a number, or a string holding one");
  EXPECT_EQ(eventError(R"({"type": "type-value", "control": "Force"})"),
            "s.json: event 2 (type-value): the event has no \"value\" (the number typed into the field)");
  EXPECT_EQ(eventError(R"({"type": "press", "button": "OK"})"),
            "s.json: event 2 (press): unknown button \"OK\": \"button\" must be \"Clear\", \"Retry\" or "
            "\"Visit website\"");
  EXPECT_EQ(eventError(R"({"type": "press", "button": 15})"),
            "s.json: event 2 (press): \"button\" must be \"Clear\", \"Retry\" or \"Visit website\"");
  EXPECT_EQ(eventError(R"({"type": "press", "button": "Clear", "twice": true})"),
            "s.json: event 2 (press): unknown key \"twice\"");
  EXPECT_EQ(eventError(R"({"type": "menu"})"),
            "s.json: event 2 (menu): \"item\" must be the name of a menu item, such as \"Sarvello\"");
  EXPECT_EQ(eventError(R"({"type": "close-panel", "panel": "Important Information"})"),
            "s.json: event 2 (close-panel): unknown panel \"Important Information\": \"panel\" must be "
            "\"Sarvello\" or \"Important Infomation\"");
  EXPECT_EQ(eventError(R"({"type": "move-panel", "panel": "Sarvello"})"),
            "s.json: event 2 (move-panel): the event has no \"to\" (the panel's new [left, top])");
  EXPECT_EQ(eventError(R"({"type": "move-panel", "panel": "Sarvello", "to": [1.5, 0]})"),
            "s.json: event 2 (move-panel): \"to\" must be whole pixels from -100000 to 100000");
  EXPECT_EQ(eventError(R"({"type": "move-panel", "panel": "Sarvello", "to": [0]})"),
            "s.json: event 2 (move-panel): \"to\" must be a pair of numbers [x, y]");
}

// A recorded session reads back as it was written, positions to the same 32-bit floats.
TEST(Session, WrittenSessionsReadBackTheSame) {
  const char* text = R"({"view": {"width": 900, "height": 700, "zoom": 1.5, "center": [1, 2]},
    "clock": 1767225600000000, "events": [
      {"type": "ticks", "at": [1, 2, 5]}, {"type": "select", "indices": [0, 3]},
      {"type": "pick-tool", "clock": 1767225600016667},
      {"type": "pointer", "action": "drag", "at": [0.1, -33.3], "clock": 1767225600033334},
      {"type": "choose", "control": "Grid Res", "preset": 4}, {"type": "type-value", "control": "Size", "value": "250.5"},
      {"type": "move-panel", "panel": "Sarvello", "to": [10, 20]}, {"type": "view", "zoom": 2}, {"type": "leave-tool"}]})";
  const SessionResult first = parseSession(text, "s.json");
  ASSERT_TRUE(first) << first.error;
  const std::string written = writeSession(*first.session);
  const SessionResult again = parseSession(written, "written.json");
  ASSERT_TRUE(again) << again.error << "\n" << written;
  EXPECT_EQ(written, writeSession(*again.session));
  const Event& drag = again.session->events[3];
  EXPECT_EQ(static_cast<float>(drag.at.y), -33.3f);
  EXPECT_EQ(drag.clock, 1767225600033334);
  EXPECT_EQ(again.session->clock, 1767225600000000);
  EXPECT_EQ(again.session->events[0].tickList, (std::vector<int64_t>{1, 2, 5}));
}
