// Session files written back: the JSON of a session, with numbers that read back as the same
// values.
#include <nlohmann/json.hpp>

#include "session/Session.h"

namespace simhost::session {

using json = nlohmann::json;

namespace {

json pointJson(const Point& p) { return json::array({p.x, p.y}); }

json viewJson(const ViewChange& v) {
  json out = json::object();
  if (v.width) out["width"] = *v.width;
  if (v.height) out["height"] = *v.height;
  if (v.zoom) out["zoom"] = *v.zoom;
  if (v.center) out["center"] = pointJson(*v.center);
  if (v.scroll) out["scroll"] = pointJson(*v.scroll);
  return out;
}

json eventJson(const Event& e) {
  json out = json::object();
  out["type"] = typeName(e.type);
  switch (e.type) {
    case Event::Type::Select:
      if (e.selection == Event::Selection::All) out["paths"] = "all";
      if (e.selection == Event::Selection::None) out["paths"] = "none";
      if (e.selection == Event::Selection::Ids) out["ids"] = e.ids;
      if (e.selection == Event::Selection::Indices) out["indices"] = e.indices;
      break;
    case Event::Type::View:
      out.update(viewJson(e.view));
      break;
    case Event::Type::Stroke: {
      if (e.units == Event::Units::Artwork) out["units"] = "artwork";
      json points = json::array();
      for (const Point& p : e.points) points.push_back(pointJson(p));
      out["points"] = points;
      out["drags"] = e.drags;
      break;
    }
    case Event::Type::Idle: out["ticks"] = e.ticks; break;
    case Event::Type::Picture:
      if (!e.file.empty()) out["file"] = e.file;
      break;
    case Event::Type::Choose: out["control"] = e.label; out["preset"] = e.preset; break;
    case Event::Type::TypeValue: out["control"] = e.label; out["value"] = e.typed; break;
    case Event::Type::Press: out["button"] = e.label; break;
    case Event::Type::Menu: out["item"] = e.label; break;
    case Event::Type::ClosePanel: out["panel"] = e.label; break;
    case Event::Type::MovePanel: out["panel"] = e.label; out["to"] = pointJson(e.to); break;
    case Event::Type::Pointer: out["action"] = actionName(e.action); out["at"] = pointJson(e.at); break;
    case Event::Type::Ticks: out["at"] = e.tickList; break;
    case Event::Type::PickTool:
    case Event::Type::LeaveTool: break;
  }
  if (e.clock) out["clock"] = *e.clock;
  return out;
}

}  // namespace

std::string writeSessionHead(const Session& session) {
  std::string out = "{\n";
  if (!session.drawing.empty()) out += "  \"drawing\": " + json(session.drawing).dump() + ",\n";
  if (!session.fit) out += "  \"fit\": false,\n";
  const json view = viewJson(session.view);
  if (!view.empty()) out += "  \"view\": " + view.dump() + ",\n";
  if (session.clock) out += "  \"clock\": " + std::to_string(*session.clock) + ",\n";
  return out + "  \"events\": [";
}

std::string writeEvent(const Event& event) { return eventJson(event).dump(); }

std::string writeSession(const Session& head, std::size_t count,
                         const std::function<Event(std::size_t)>& eventAt, std::size_t reserve) {
  std::string out = writeSessionHead(head);
  out.reserve(reserve);
  for (std::size_t k = 0; k < count; ++k) {
    out += k == 0 ? "\n    " : ",\n    ";
    out += writeEvent(eventAt(k));
  }
  return out + (count > 0 ? "\n  ]\n}\n" : "]\n}\n");
}

std::string writeSession(const Session& session) {
  return writeSession(session, session.events.size(), [&](std::size_t k) { return session.events[k]; });
}

}  // namespace simhost::session
