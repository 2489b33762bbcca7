// The session file parser. Every check runs before anything is replayed: a malformed session is
// refused whole, with the event (its index and type) and what is wrong with it.
#include "session/Session.h"

#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "core/ViewLimits.h"
#include "session/Json.h"
#include "core/Files.h"

namespace simhost::session {

namespace {

using nlohmann::json;

// Thrown inside the parser; the message is complete but for the session's name.
struct Invalid {
  std::string message;
};

[[noreturn]] void invalid(const std::string& where, const std::string& what) {
  throw Invalid{where.empty() ? what : where + ": " + what};
}

constexpr int kMaxViewSide = 16384;
constexpr double kMaxCount = 10'000'000;
constexpr int kMaxScreen = 100'000;  // pixels; a panel's position on the screen

std::string quoted(const std::string& key) { return "\"" + shownText(key) + "\""; }

std::string number(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

// Where the view's centre lands after a change: it must stay where the host can show it.
void checkCenter(const ViewChange& change, Point* center, const std::string& where) {
  if (change.center) *center = *change.center;
  if (change.scroll) *center = {center->x + change.scroll->x, center->y + change.scroll->y};
  if (std::fabs(center->x) > kMaxArtworkCoordinate || std::fabs(center->y) > kMaxArtworkCoordinate) {
    invalid(where, "the view's centre would be " + number(center->x) + ", " + number(center->y) +
                       ": it must stay within " + number(kMaxArtworkCoordinate) +
                       " artwork units of the origin");
  }
}

void onlyKeys(const json& object, const std::set<std::string>& allowed, const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (allowed.count(key) == 0) invalid(where, "unknown key " + quoted(key));
  }
}

double finiteNumber(const json& value, const std::string& key, const std::string& where) {
  if (!value.is_number() || !std::isfinite(value.get<double>())) {
    invalid(where, quoted(key) + " must be a number");
  }
  return value.get<double>();
}

int wholeNumber(const json& value, const std::string& key, double min, double max,
                const std::string& where) {
  const std::string expected = quoted(key) + " must be a whole number from " +
                               std::to_string(static_cast<long long>(min)) + " to " +
                               std::to_string(static_cast<long long>(max));
  if (!value.is_number()) invalid(where, expected);
  const double v = value.get<double>();
  if (!std::isfinite(v) || v != std::floor(v) || v < min || v > max) invalid(where, expected);
  return static_cast<int>(v);
}

Point point(const json& value, const std::string& what, const std::string& where) {
  if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number() ||
      !std::isfinite(value[0].get<double>()) || !std::isfinite(value[1].get<double>())) {
    invalid(where, what + " must be a pair of numbers [x, y]");
  }
  return {value[0].get<double>(), value[1].get<double>()};
}

ViewChange viewChange(const json& object, const std::set<std::string>& extraKeys,
                      const std::string& where) {
  std::set<std::string> allowed = {"width", "height", "zoom", "center", "scroll"};
  allowed.insert(extraKeys.begin(), extraKeys.end());
  onlyKeys(object, allowed, where);
  ViewChange v;
  if (object.contains("width")) v.width = wholeNumber(object["width"], "width", 1, kMaxViewSide, where);
  if (object.contains("height")) v.height = wholeNumber(object["height"], "height", 1, kMaxViewSide, where);
  if (object.contains("zoom")) {
    const double zoom = finiteNumber(object["zoom"], "zoom", where);
    if (!(zoom > 0)) invalid(where, "\"zoom\" must be greater than 0");
    if (zoom < kMinZoom || zoom > kMaxZoom) {
      invalid(where, "\"zoom\" must be from " + number(kMinZoom) + " to " + number(kMaxZoom) +
                         " (pixels per artwork unit)");
    }
    v.zoom = zoom;
  }
  if (object.contains("center")) v.center = point(object["center"], "\"center\"", where);
  if (object.contains("scroll")) v.scroll = point(object["scroll"], "\"scroll\"", where);
  return v;
}

// "a", "b" or "c"
std::string alternatives(const std::vector<const char*>& names) {
  std::string out;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) out += k + 1 == names.size() ? " or " : ", ";
    out += quoted(names[k]);
  }
  return out;
}

// The value of `key`, which must be one of `names` (compared exactly, as the panels show them).
std::string oneOf(const json& object, const std::string& key, const std::vector<const char*>& names,
                  const std::string& where) {
  const std::string expected = quoted(key) + " must be " + alternatives(names);
  if (!object.contains(key)) invalid(where, "the event has no " + quoted(key) + " (" + alternatives(names) + ")");
  const json& value = object[key];
  if (!value.is_string()) invalid(where, expected);
  const std::string text = value.get<std::string>();
  for (const char* name : names) {
    if (text == name) return text;
  }
  invalid(where, "unknown " + key + " " + quoted(text) + ": " + expected);
}

const PanelControl& controlOf(const json& object, const std::string& where, std::string* label) {
  std::vector<const char*> labels;
  for (const PanelControl& c : panelControls()) labels.push_back(c.label);
  *label = oneOf(object, "control", labels, where);
  for (const PanelControl& c : panelControls()) {
    if (*label == c.label) return c;
  }
  invalid(where, "unknown control");  // not reached: oneOf accepted a label of the table
}

// A preset by its position (from 1) or by its text; answers the position.
int presetOf(const json& value, const PanelControl& control, const std::string& where) {
  const int count = static_cast<int>(control.presets.size());
  const std::string expected = quoted("preset") + " of " + quoted(control.label) +
                               " must be a position from 1 to " + std::to_string(count) +
                               " or one of " + alternatives(control.presets);
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    for (int k = 0; k < count; ++k) {
      if (text == control.presets[k]) return k + 1;
    }
    invalid(where, expected + ", not " + quoted(text));
  }
  if (!value.is_number()) invalid(where, expected);
  const double v = value.get<double>();
  if (!std::isfinite(v) || v != std::floor(v) || v < 1 || v > count) {
    invalid(where, expected + ", not " + value.dump());
  }
  return static_cast<int>(v);
}

// What is typed into a field: a JSON number (typed as JSON writes it) or a string holding a
// finite decimal number. Both are held to the same check, the one the field applies, so that a
// number taken here is written back as a string that reads back the same.
std::string typedValue(const json& value, const std::string& where) {
  const std::string expected = "\"value\" must be a number, or a string holding one";
  if (!value.is_number() && !value.is_string()) invalid(where, expected);
  const std::string text = value.is_number() ? value.dump() : value.get<std::string>();
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(begin, &end);
  while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
  // Decimal only, as a number field reads it: strtod would also take hexadecimal. A number beyond
  // the range of doubles, or too small to hold without losing its precision, is no number either.
  const bool hexadecimal = text.find_first_of("xX") != std::string::npos;
  if (text.empty() || hexadecimal || end == begin || *end != '\0' || errno == ERANGE ||
      !std::isfinite(v)) {
    invalid(where, quoted(text) + " is not a number: " + expected);
  }
  return text;
}

// A reading of the clock: whole microseconds since the epoch, within the range of doubles that
// hold whole numbers exactly.
int64_t clockValue(const json& value, const std::string& key, const std::string& where) {
  constexpr double kMaxClock = 9007199254740992.0;  // 2^53
  const std::string expected = quoted(key) + " must be whole microseconds since the epoch, from 0 to 2^53";
  if (!value.is_number()) invalid(where, expected);
  const double v = value.get<double>();
  if (!std::isfinite(v) || v != std::floor(v) || v < 0 || v > kMaxClock) invalid(where, expected);
  return value.is_number_unsigned() ? static_cast<int64_t>(value.get<uint64_t>())
                                    : value.is_number_integer() ? value.get<int64_t>() : static_cast<int64_t>(v);
}

std::string resolve(const std::string& path, const std::string& baseDir) {
  if (baseDir.empty() || path.empty() || pathFromUtf8(path).is_absolute()) return path;
  return utf8FromPath((pathFromUtf8(baseDir) / pathFromUtf8(path)).lexically_normal());
}

Event event(const json& given, std::size_t index, const std::string& baseDir) {
  // Events are counted from 1 in messages, as the documentation counts them.
  std::string where = "event " + std::to_string(index + 1);
  if (!given.is_object()) invalid(where, "an event must be an object with a \"type\"");
  // Any event of a recorded session may tell what the clock read for it.
  json object = given;
  std::optional<int64_t> clock;
  if (object.contains("clock")) {
    clock = clockValue(object["clock"], "clock", where);
    object.erase("clock");
  }
  if (!object.contains("type")) invalid(where, "the event has no \"type\"");
  if (!object["type"].is_string()) invalid(where, "\"type\" must be a string");
  const std::string type = object["type"].get<std::string>();
  where += " (" + shownText(type) + ")";

  Event e;
  e.index = index;
  e.clock = clock;
  if (type == "select") {
    e.type = Event::Type::Select;
    onlyKeys(object, {"type", "paths", "ids", "indices"}, where);
    const bool hasPaths = object.contains("paths"), hasIds = object.contains("ids"),
               hasIndices = object.contains("indices");
    if (int(hasPaths) + int(hasIds) + int(hasIndices) != 1) {
      invalid(where, "give one of \"paths\" (\"all\" or \"none\"), \"ids\" or \"indices\"");
    }
    if (hasIndices) {
      const json& list = object["indices"];
      if (!list.is_array()) invalid(where, "\"indices\" must be a list of places of paths in the drawing, from 0");
      for (const json& k : list) {
        e.indices.push_back(static_cast<std::size_t>(wholeNumber(k, "indices", 0, kMaxCount, where)));
      }
      e.selection = Event::Selection::Indices;
    } else if (hasPaths) {
      const json& p = object["paths"];
      if (p == "all") e.selection = Event::Selection::All;
      else if (p == "none") e.selection = Event::Selection::None;
      else invalid(where, "\"paths\" must be \"all\" or \"none\"");
    } else {
      const json& ids = object["ids"];
      if (!ids.is_array() || ids.empty()) invalid(where, "\"ids\" must be a non-empty list of SVG ids");
      for (const json& id : ids) {
        if (!id.is_string() || id.get<std::string>().empty()) {
          invalid(where, "\"ids\" must hold non-empty strings");
        }
        e.ids.push_back(id.get<std::string>());
      }
      e.selection = Event::Selection::Ids;
    }
  } else if (type == "view") {
    e.type = Event::Type::View;
    e.view = viewChange(object, {"type"}, where);
    if (object.size() == 1) {
      invalid(where, "give at least one of \"width\", \"height\", \"zoom\", \"center\", \"scroll\"");
    }
    if (e.view.center && e.view.scroll) invalid(where, "give \"center\" or \"scroll\", not both");
  } else if (type == "pick-tool" || type == "leave-tool") {
    e.type = type == "pick-tool" ? Event::Type::PickTool : Event::Type::LeaveTool;
    onlyKeys(object, {"type"}, where);
  } else if (type == "stroke") {
    e.type = Event::Type::Stroke;
    onlyKeys(object, {"type", "points", "units", "drags"}, where);
    if (object.contains("units")) {
      const json& u = object["units"];
      if (u == "fraction") e.units = Event::Units::Fraction;
      else if (u == "artwork") e.units = Event::Units::Artwork;
      else invalid(where, "\"units\" must be \"fraction\" or \"artwork\"");
    }
    if (!object.contains("points")) invalid(where, "the stroke has no \"points\"");
    const json& points = object["points"];
    if (!points.is_array() || points.empty()) invalid(where, "\"points\" must be a non-empty list of [x, y] pairs");
    const double bound =
        e.units == Event::Units::Artwork ? kMaxArtworkCoordinate : kMaxSquareFraction;
    for (std::size_t k = 0; k < points.size(); ++k) {
      const std::string name = "point " + std::to_string(k + 1);
      e.points.push_back(point(points[k], name, where));
      if (std::fabs(e.points.back().x) > bound || std::fabs(e.points.back().y) > bound) {
        invalid(where, name + " must be within " + number(bound) +
                           (e.units == Event::Units::Artwork ? " artwork units of the origin"
                                                             : " squares of the overlay square"));
      }
    }
    if (!object.contains("drags")) invalid(where, "the stroke has no \"drags\" (the number of drag events)");
    e.drags = wholeNumber(object["drags"], "drags", 0, kMaxCount, where);
  } else if (type == "idle") {
    e.type = Event::Type::Idle;
    onlyKeys(object, {"type", "ticks"}, where);
    if (!object.contains("ticks")) invalid(where, "the idle event has no \"ticks\"");
    e.ticks = wholeNumber(object["ticks"], "ticks", 0, kMaxCount, where);
  } else if (type == "picture") {
    e.type = Event::Type::Picture;
    onlyKeys(object, {"type", "file"}, where);
    if (object.contains("file")) {
      if (!object["file"].is_string() || object["file"].get<std::string>().empty()) {
        invalid(where, "\"file\" must be a non-empty string");
      }
      e.file = resolve(object["file"].get<std::string>(), baseDir);
    }
  } else if (type == "choose") {
    e.type = Event::Type::Choose;
    onlyKeys(object, {"type", "control", "preset"}, where);
    const PanelControl& control = controlOf(object, where, &e.label);
    if (!object.contains("preset")) invalid(where, "the event has no \"preset\" (its position in the list, from 1, or its text)");
    e.preset = presetOf(object["preset"], control, where);
  } else if (type == "type-value") {
    e.type = Event::Type::TypeValue;
    onlyKeys(object, {"type", "control", "value"}, where);
    controlOf(object, where, &e.label);
    if (!object.contains("value")) invalid(where, "the event has no \"value\" (the number typed into the field)");
    e.typed = typedValue(object["value"], where);
  } else if (type == "press") {
    e.type = Event::Type::Press;
    onlyKeys(object, {"type", "button"}, where);
    e.label = oneOf(object, "button", panelButtons(), where);
  } else if (type == "menu") {
    e.type = Event::Type::Menu;
    onlyKeys(object, {"type", "item"}, where);
    if (!object.contains("item") || !object["item"].is_string() || object["item"].get<std::string>().empty()) {
      invalid(where, "\"item\" must be the name of a menu item, such as \"Sarvello\"");
    }
    e.label = object["item"].get<std::string>();
  } else if (type == "close-panel") {
    e.type = Event::Type::ClosePanel;
    onlyKeys(object, {"type", "panel"}, where);
    e.label = oneOf(object, "panel", panelTitles(), where);
  } else if (type == "move-panel") {
    e.type = Event::Type::MovePanel;
    onlyKeys(object, {"type", "panel", "to"}, where);
    e.label = oneOf(object, "panel", panelTitles(), where);
    if (!object.contains("to")) invalid(where, "the event has no \"to\" (the panel's new [left, top])");
    e.to = point(object["to"], "\"to\"", where);
    const auto onScreen = [](double v) { return v == std::floor(v) && std::fabs(v) <= kMaxScreen; };
    if (!onScreen(e.to.x) || !onScreen(e.to.y)) {
      invalid(where, "\"to\" must be whole pixels from -" + std::to_string(kMaxScreen) + " to " +
                         std::to_string(kMaxScreen));
    }
  } else if (type == "pointer") {
    e.type = Event::Type::Pointer;
    onlyKeys(object, {"type", "action", "at"}, where);
    const std::string action = oneOf(object, "action", {"move", "down", "drag", "up"}, where);
    e.action = action == "down"   ? Event::Action::Down
               : action == "drag" ? Event::Action::Drag
               : action == "up"   ? Event::Action::Up
                                  : Event::Action::Move;
    if (!object.contains("at")) invalid(where, "the event has no \"at\" (the pointer's artwork position)");
    e.at = point(object["at"], "\"at\"", where);
    if (std::fabs(e.at.x) > kMaxArtworkCoordinate || std::fabs(e.at.y) > kMaxArtworkCoordinate) {
      invalid(where, "\"at\" must be within " + number(kMaxArtworkCoordinate) + " artwork units of the origin");
    }
  } else if (type == "ticks") {
    e.type = Event::Type::Ticks;
    onlyKeys(object, {"type", "at"}, where);
    if (!object.contains("at") || !object["at"].is_array()) invalid(where, "\"at\" must be a list of ticks");
    for (const json& t : object["at"]) {
      const int tick = wholeNumber(t, "at", 0, 2'000'000'000, where);
      if (!e.tickList.empty() && tick <= e.tickList.back()) invalid(where, "the ticks in \"at\" must increase");
      e.tickList.push_back(tick);
    }
  } else {
    invalid(where, "unknown event type " + quoted(type) +
                       " (known: select, view, pick-tool, leave-tool, stroke, idle, picture, choose, "
                       "type-value, press, menu, close-panel, move-panel, pointer, ticks)");
  }
  return e;
}

}  // namespace

const std::vector<PanelControl>& panelControls() {
  static const std::vector<PanelControl> controls = {
      {"Viscosity", {".0", ".0001", ".0005", ".001", ".005", ".007", ".01", ".015", ".02", ".04", ".08",
                     ".12", ".3", ".6"}},
      {"Time Step", {".0005", ".001", ".005", ".01", ".02", ".03", ".04", ".05", ".06", ".07", ".08",
                     ".09", ".1"}},
      {"Force", {".01", ".04", ".06", ".08", "1.0", "1.2", "1.4", "1.6", "1.8", "2.0", "4.0", "6.0",
                 "10.0", "15.0", "20.0", "40.0", "60.0", "100.0", "150.0", "200.0", "300.0", "400.0"}},
      {"Grid Res", {"16", "32", "64", "128", "256"}},
      {"Sampling", {"0.1", "0.5", "1.0", "2.0", "3.0", "4.0", "5.0"}},
      {"Size", {"100", "200", "300", "400", "500", "600", "700"}},
  };
  return controls;
}

const std::vector<const char*>& panelButtons() {
  static const std::vector<const char*> buttons = {"Clear", "Retry", "Visit website"};
  return buttons;
}

const std::vector<const char*>& panelTitles() {
  static const std::vector<const char*> titles = {"Sarvello", "Important Infomation"};
  return titles;
}

std::string shownText(const std::string& text) {
  constexpr std::size_t kMaxShown = 60;
  std::string out;
  std::size_t shown = 0;
  const auto escape = [&](unsigned char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  };
  for (std::size_t k = 0; k < text.size();) {
    if (shown == kMaxShown) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(text[k]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool valid = length > 0 && k + length <= text.size();
    for (std::size_t i = 1; valid && i < length; ++i)
      valid = (static_cast<unsigned char>(text[k + i]) & 0xC0) == 0x80;
    // C1 control characters (U+0080 to U+009F) steer terminals as much as C0 ones.
    const bool c1 = valid && length == 2 && c == 0xC2 && static_cast<unsigned char>(text[k + 1]) < 0xA0;
    if (!valid || c < 0x20 || c == 0x7F || c1) {
      escape(c);
      ++k;
    } else {
      out.append(text, k, length);
      k += length;
    }
    ++shown;
  }
  return out;
}

const char* typeName(Event::Type type) {
  switch (type) {
    case Event::Type::Select: return "select";
    case Event::Type::View: return "view";
    case Event::Type::PickTool: return "pick-tool";
    case Event::Type::LeaveTool: return "leave-tool";
    case Event::Type::Stroke: return "stroke";
    case Event::Type::Idle: return "idle";
    case Event::Type::Picture: return "picture";
    case Event::Type::Choose: return "choose";
    case Event::Type::TypeValue: return "type-value";
    case Event::Type::Press: return "press";
    case Event::Type::Menu: return "menu";
    case Event::Type::ClosePanel: return "close-panel";
    case Event::Type::MovePanel: return "move-panel";
    case Event::Type::Pointer: return "pointer";
    case Event::Type::Ticks: return "ticks";
  }
  return "?";
}

const char* actionName(Event::Action action) {
  switch (action) {
    case Event::Action::Move: return "move";
    case Event::Action::Down: return "down";
    case Event::Action::Drag: return "drag";
    case Event::Action::Up: return "up";
  }
  return "?";
}

SessionResult parseSession(const std::string& text, const std::string& name,
                           const std::string& baseDir) {
  SessionResult result;
  Session session;
  // Keys seen in each object being read, innermost last: a key given twice is refused rather
  // than one of its values silently winning.
  std::vector<std::set<std::string>> keys;
  std::string duplicate;
  // The events are taken one at a time as the reader finishes them, and not kept in the parsed
  // document: a long recorded session is never held whole as JSON.
  bool inEvents = false;
  std::optional<Invalid> eventError;
  const json::parser_callback_t read = [&](int depth, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) keys.emplace_back();
    if (event == json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
    if (event == json::parse_event_t::key && !keys.empty() &&
        !keys.back().insert(parsed.get<std::string>()).second && duplicate.empty()) {
      duplicate = parsed.get<std::string>();
    }
    if (depth == 1 && event == json::parse_event_t::key) inEvents = parsed.get<std::string>() == "events";
    if (depth == 1 && event == json::parse_event_t::array_end) inEvents = false;
    const bool whole = event == json::parse_event_t::object_end || event == json::parse_event_t::array_end ||
                       event == json::parse_event_t::value;
    if (!inEvents || depth != 2 || !whole || eventError || !duplicate.empty()) return true;
    try {
      session.events.push_back(session::event(parsed, session.events.size(), baseDir));
    } catch (const Invalid& e) {
      eventError = e;
    }
    return false;
  };
  std::string why, where;
  std::optional<json> parsed = parseBoundedJson(text, &why, read, kMaxJsonDepth, &where);
  if (!parsed) {
    // A position reads as "name:line:column: not valid JSON: ...".
    result.error = name + (where.empty() ? "" : ":" + where) + ": not valid JSON: " + why;
    return result;
  }
  if (!duplicate.empty()) {
    result.error = name + ": the key \"" + shownText(duplicate) + "\" is given twice in one object";
    return result;
  }
  const json& root = *parsed;
  try {
    if (!root.is_object()) invalid("", "a session must be a JSON object with \"events\"");
    onlyKeys(root, {"drawing", "fit", "view", "events", "clock"}, "");
    if (root.contains("clock")) session.clock = clockValue(root["clock"], "clock", "");
    if (root.contains("drawing")) {
      if (!root["drawing"].is_string() || root["drawing"].get<std::string>().empty()) {
        invalid("", "\"drawing\" must be the path of an SVG file");
      }
      session.drawing = resolve(root["drawing"].get<std::string>(), baseDir);
    }
    if (root.contains("fit")) {
      if (!root["fit"].is_boolean()) invalid("", "\"fit\" must be true or false");
      session.fit = root["fit"].get<bool>();
    }
    if (root.contains("view")) {
      if (!root["view"].is_object()) invalid("view", "must be an object");
      session.view = viewChange(root["view"], {}, "view");
    }
    if (!root.contains("events")) invalid("", "the session has no \"events\"");
    if (!root["events"].is_array()) invalid("", "\"events\" must be a list");
    if (eventError) throw *eventError;
    // The view's centre, followed through the session's view changes.
    Point center;
    checkCenter(session.view, &center, "view");
    for (const Event& e : session.events) {
      if (e.type == Event::Type::View) {
        checkCenter(e.view, &center, "event " + std::to_string(e.index + 1) + " (view)");
      }
    }
    result.session = std::move(session);
  } catch (const Invalid& e) {
    result.error = name + ": " + e.message;
  } catch (const std::exception& e) {
    result.error = name + ": " + e.what();
  }
  return result;
}

SessionResult parseSessionFile(const std::string& path) {
  // Room for the longest session a live run records (whose events stream through the reader one
  // at a time); a file without end (a device, a pipe that is never closed) is not read until
  // memory runs out.
  constexpr std::size_t kMaxSessionBytes = kMaxSessionFileBytes;
  std::error_code ec;
  const std::filesystem::path file = pathFromUtf8(path);
  if (std::filesystem::is_directory(file, ec)) {
    SessionResult result;
    result.error = path + ": cannot read the session file: Is a directory";
    return result;
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) {
    SessionResult result;
    result.error = path + ": cannot read the session file";
    if (errno != 0) result.error += std::string(": ") + std::strerror(errno);
    return result;
  }
  std::string text;
  bool tooLarge = false;
  char buffer[65536];
  while (in && !tooLarge) {
    in.read(buffer, sizeof buffer);
    const auto n = static_cast<std::size_t>(in.gcount());
    if (n > kMaxSessionBytes - text.size()) {
      tooLarge = true;
    } else {
      text.append(buffer, n);
    }
  }
  if (tooLarge || in.bad() || !in.eof() || std::filesystem::is_directory(file, ec)) {
    SessionResult result;
    result.error = path + ": cannot read the session file";
    if (tooLarge) result.error += ": larger than " + std::to_string(kMaxSessionBytes >> 20) + " MB";
    return result;
  }
  const std::string dir = utf8FromPath(file.parent_path());
  return parseSession(text, path, dir.empty() ? "." : dir);
}

}  // namespace simhost::session
