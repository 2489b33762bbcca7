// Session files: what a user does with the tool, written down as JSON so that a run can be
// replayed. This is the data model and its parser; the session runner drives the plug-in.
//
//   {
//     "drawing": "wave.svg",            optional; relative to the session file's folder
//     "fit": true,                      optional; place the drawing about the overlay square
//     "view": { "width": 1000, "height": 800, "zoom": 1, "center": [0, 0] },   optional
//     "events": [
//       { "type": "select", "paths": "all" },          or "none", or { "ids": ["a", "b"] }
//       { "type": "view", "zoom": 2, "scroll": [10, 0] },  "center": [x, y] instead of scroll
//       { "type": "pick-tool" },
//       { "type": "stroke", "points": [[0.2, 0.5], [0.8, 0.5]], "drags": 30 },
//       { "type": "stroke", "units": "artwork", "points": [[-100, 0], [100, 0]], "drags": 30 },
//       { "type": "idle", "ticks": 10 },
//       { "type": "picture", "file": "step1.png" },
//       { "type": "choose", "control": "Grid Res", "preset": 4 },      or "preset": "128"
//       { "type": "type-value", "control": "Size", "value": 250 },     or "value": "250.9"
//       { "type": "press", "button": "Retry" },        "Clear", "Retry" or "Visit website"
//       { "type": "menu", "item": "Sarvello" },        the plug-in's menu item
//       { "type": "close-panel", "panel": "Sarvello" },  or "Important Infomation"
//       { "type": "move-panel", "panel": "Sarvello", "to": [100, 50] },
//       { "type": "leave-tool" }
//     ]
//   }
//
// A session recorded from a live run (sarvello-host open) has "clock" at the top, the reading of
// the host's clock at the run's first tick (microseconds since the epoch), and is replayed as it
// was lived: each event gives the clock the plug-in read for it, single pointer events stand for
// strokes and "ticks" lists the ticks the host's loop moved to between events:
//       { "type": "select", "indices": [0, 3] },       paths by their place in the drawing, from 0
//       { "type": "pointer", "action": "drag", "at": [12.5, -40], "clock": 1767225600123456 },
//       { "type": "ticks", "at": [31, 32, 34] },
//
// Stroke points are in fractions of the overlay square (x from its left edge, y from its top
// edge, as the brush sees them) unless "units" is "artwork". A stroke presses the button at the
// first point, sends "drags" drag events spread evenly along the polyline through the points and
// releases the button at the last point.
//
// Panel actions name what the user sees: a control by its label, a button by its text, a panel by
// its title. A preset is chosen by its position in the control's list (from 1) or by its text; a
// typed value is what the user types into the field. Whatever can be checked without the running
// plug-in (the names, the preset's position, that a typed value is a number) is checked here.
#ifndef SARVELLO_SIMHOST_SESSION_SESSION_H
#define SARVELLO_SIMHOST_SESSION_SESSION_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace simhost::session {

struct Point {
  double x = 0;
  double y = 0;
};

struct ViewChange {
  std::optional<int> width;      // pixels
  std::optional<int> height;
  std::optional<double> zoom;    // pixels per artwork unit, > 0
  std::optional<Point> center;   // artwork point at the middle of the window
  std::optional<Point> scroll;   // moves the centre by this many artwork units
};

// A control of the parameter panel: its label and its preset list, in menu order.
struct PanelControl {
  const char* label;
  std::vector<const char*> presets;
};
// The six controls, in the panel's order.
const std::vector<PanelControl>& panelControls();
// The buttons of the panels and the panels' titles.
const std::vector<const char*>& panelButtons();
const std::vector<const char*>& panelTitles();

struct Event {
  enum class Type {
    Select, View, PickTool, LeaveTool, Stroke, Idle, Picture,
    Choose, TypeValue, Press, Menu, ClosePanel, MovePanel, Pointer, Ticks
  };
  enum class Selection { All, None, Ids, Indices };
  enum class Action { Move, Down, Drag, Up };
  enum class Units { Fraction, Artwork };

  Type type = Type::Idle;
  std::size_t index = 0;  // position in the "events" array, from 0 (messages count from 1)

  // Select
  Selection selection = Selection::All;
  std::vector<std::string> ids;
  std::vector<std::size_t> indices;  // Indices: places in the drawing's list of paths
  // View
  ViewChange view;
  // Stroke
  Units units = Units::Fraction;
  std::vector<Point> points;
  int drags = 0;
  // Idle
  int ticks = 0;
  // Picture
  std::string file;  // resolved against the session file's folder; may be empty (runner's choice)
  // Panel actions: the control's label (Choose, TypeValue), the button's text (Press), the menu
  // item (Menu) or the panel's title (ClosePanel, MovePanel).
  std::string label;
  int preset = 0;     // Choose: position in the control's list, from 1
  std::string typed;  // TypeValue: the text typed into the field, a number
  Point to;           // MovePanel: the panel's new left and top on the screen, in pixels
  // Pointer: what the pointer did, and where, in artwork units.
  Action action = Action::Move;
  Point at;
  // Ticks: the ticks the loop moved to, increasing.
  std::vector<int64_t> tickList;
  // What the plug-in's clock read for the event in the live run (microseconds since the epoch).
  std::optional<int64_t> clock;
};

struct Session {
  std::string drawing;  // resolved path of the SVG, or empty
  bool fit = true;
  ViewChange view;      // the starting view
  std::vector<Event> events;
  // Recorded from a live run: the clock at its first tick.
  std::optional<int64_t> clock;
};

struct SessionResult {
  std::optional<Session> session;
  std::string error;  // e.g. "run.json: event 3 (stroke): \"drags\" must be a whole number >= 0"
  explicit operator bool() const { return session.has_value(); }
};

// A text from outside (a name, an id, an event's type) as messages show it: at most 60
// characters, with control characters and bytes that are not UTF-8 written as \xNN, so that it
// can neither run on nor steer a terminal.
std::string shownText(const std::string& text);

// The name of an event type as written in session files ("pick-tool", ...).
const char* typeName(Event::Type type);

// The largest session file `run` reads, and so the most a live run records.
inline constexpr std::size_t kMaxSessionFileBytes = std::size_t{256} << 20;

// Parses session text. `name` prefixes messages; relative paths are resolved against `baseDir`
// (left as they are when it is empty).
SessionResult parseSession(const std::string& text, const std::string& name = "session",
                           const std::string& baseDir = "");
// Reads and parses a session file; its paths are resolved against the file's folder.
SessionResult parseSessionFile(const std::string& path);

// The session as JSON text that parseSession reads back to the same session, one event a line.
// Positions are written so that they read back to the same 32-bit floats.
std::string writeSession(const Session& session);
// The same text for a session whose `count` events are kept elsewhere: the head's keys, and the
// k-th event as eventAt(k) gives it; `reserve` bytes are set aside for the text first.
std::string writeSession(const Session& head, std::size_t count,
                         const std::function<Event(std::size_t)>& eventAt, std::size_t reserve = 0);
// Parts of that text, for measuring it: what comes before the first event (the opening brace,
// the session's keys and the opening of "events") and one event's line.
std::string writeSessionHead(const Session& session);
std::string writeEvent(const Event& event);
// The name of a pointer action as written ("move", "down", "drag", "up").
const char* actionName(Event::Action action);

}  // namespace simhost::session

#endif
