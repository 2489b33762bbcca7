// Session files: what a user does with the tool, written down as JSON so that a run can be
// replayed. This is the data model and its parser; the session runner drives the plug-in.
//
//   {
//     "drawing": "wave.svg",            optional; relative to the session file's folder
//     "fit": true,                      optional; fit the drawing into the overlay square
//     "view": { "width": 1000, "height": 800, "zoom": 1, "center": [0, 0] },   optional
//     "events": [
//       { "type": "select", "paths": "all" },          or "none", or { "ids": ["a", "b"] }
//       { "type": "view", "zoom": 2, "scroll": [10, 0] },  "center": [x, y] instead of scroll
//       { "type": "pick-tool" },
//       { "type": "stroke", "points": [[0.2, 0.5], [0.8, 0.5]], "drags": 30 },
//       { "type": "stroke", "units": "artwork", "points": [[-100, 0], [100, 0]], "drags": 30 },
//       { "type": "idle", "ticks": 10 },
//       { "type": "picture", "file": "step1.png" },
//       { "type": "leave-tool" }
//     ]
//   }
//
// Stroke points are in fractions of the overlay square (x from its left edge, y from its top
// edge, as the brush sees them) unless "units" is "artwork". A stroke presses the button at the
// first point, sends "drags" drag events spread evenly along the polyline through the points and
// releases the button at the last point.
#ifndef SARVELLO_SIMHOST_SESSION_SESSION_H
#define SARVELLO_SIMHOST_SESSION_SESSION_H

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

struct Event {
  enum class Type { Select, View, PickTool, LeaveTool, Stroke, Idle, Picture };
  enum class Selection { All, None, Ids };
  enum class Units { Fraction, Artwork };

  Type type = Type::Idle;
  std::size_t index = 0;  // position in the "events" array

  // Select
  Selection selection = Selection::All;
  std::vector<std::string> ids;
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
};

struct Session {
  std::string drawing;  // resolved path of the SVG, or empty
  bool fit = true;
  ViewChange view;      // the starting view
  std::vector<Event> events;
};

struct SessionResult {
  std::optional<Session> session;
  std::string error;  // e.g. "run.json: event 3 (stroke): \"drags\" must be a whole number >= 0"
  explicit operator bool() const { return session.has_value(); }
};

// The name of an event type as written in session files ("pick-tool", ...).
const char* typeName(Event::Type type);

// Parses session text. `name` prefixes messages; relative paths are resolved against `baseDir`
// (left as they are when it is empty).
SessionResult parseSession(const std::string& text, const std::string& name = "session",
                           const std::string& baseDir = "");
// Reads and parses a session file; its paths are resolved against the file's folder.
SessionResult parseSessionFile(const std::string& path);

}  // namespace simhost::session

#endif
