// The runner's session playback: each event of a session turned into the host events of the
// event loop, the user's actions on the panels, selections and strokes.
#include "app/Runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>
#include <tuple>

#include "loader/PluginHost.h"
#include "adm/DialogManager.h"
#include "svg/Svg.h"
#include "tool/EventLoop.h"
#include "tool/ToolState.h"

namespace simhost::app {

namespace {

// Idle ticks are let pass in chunks of this many, so that progress can be told on long waits.
constexpr int kIdleChunk = 60;

// A panel that exists (and is not being destroyed) with that title.
Dialog* panelTitled(DialogState& state, const std::string& title) {
  for (auto& [id, dialog] : state.dialogs) {
    if (!dialog.destroying && dialog.title == title) return &dialog;
  }
  return nullptr;
}

// Where the user finds a control or a button: the panel and the item.
struct Place {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
};

// The field labelled `label` (the static text before it, as the user reads the panel), or the
// button showing that text, in any panel.
Place findItem(DialogState& state, const std::string& label, bool button) {
  for (auto& [id, dialog] : state.dialogs) {
    if (dialog.destroying) continue;
    const DialogItem* caption = nullptr;
    for (DialogItem& item : dialog.items) {
      if (item.kind == kADMTextStaticType) caption = &item;
      if (button ? item.isButton() && item.text == label
                 : item.isSpinEdit() && caption != nullptr && caption->text == label) {
        return {&dialog, &item};
      }
    }
  }
  return {};
}

}  // namespace

std::string eventName(const session::Event& event) {
  return "event " + std::to_string(event.index + 1) + " (" + session::typeName(event.type) + ")";
}

void applyViewChange(ViewState& view, const session::ViewChange& change) {
  if (change.width) view.width = *change.width;
  if (change.height) view.height = *change.height;
  if (change.zoom) view.zoom = *change.zoom;
  if (change.center) {
    view.center = {static_cast<AIReal>(change.center->x), static_cast<AIReal>(change.center->y)};
  }
  if (change.scroll) {
    view.center = {static_cast<AIReal>(view.center.h + change.scroll->x),
                   static_cast<AIReal>(view.center.v + change.scroll->y)};
  }
}

std::vector<AIRealPoint> strokePositions(const session::Event& stroke, const AIRealRect& square) {
  std::vector<session::Point> points;
  for (const session::Point& p : stroke.points) {
    if (stroke.units == session::Event::Units::Artwork) {
      points.push_back(p);
    } else {
      points.push_back({square.left + p.x * (static_cast<double>(square.right) - square.left),
                        square.top - p.y * (static_cast<double>(square.top) - square.bottom)});
    }
  }
  const auto artwork = [](const session::Point& p) {
    return AIRealPoint{static_cast<AIReal>(p.x), static_cast<AIReal>(p.y)};
  };
  std::vector<AIRealPoint> out;
  if (points.empty()) return out;

  // Arc length at each point of the polyline.
  std::vector<double> at(points.size(), 0.0);
  for (std::size_t k = 1; k < points.size(); ++k) {
    at[k] = at[k - 1] + std::hypot(points[k].x - points[k - 1].x, points[k].y - points[k - 1].y);
  }
  const double length = at.back();

  out.push_back(artwork(points.front()));
  std::size_t leg = 1;
  for (int k = 1; k <= stroke.drags; ++k) {
    if (length <= 0.0 || points.size() == 1) {
      out.push_back(artwork(points.back()));
      continue;
    }
    const double s = k == stroke.drags ? length : length * k / stroke.drags;
    while (leg + 1 < points.size() && at[leg] < s) ++leg;
    const double span = at[leg] - at[leg - 1];
    const double t = span > 0.0 ? std::clamp((s - at[leg - 1]) / span, 0.0, 1.0) : 1.0;
    const session::Point& a = points[leg - 1];
    const session::Point& b = points[leg];
    out.push_back(artwork({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}));
  }
  out.push_back(artwork(points.back()));
  return out;
}

void Runner::timeFor(const session::Session& session) {
  // A session recorded live is replayed on its own clock, from the loop's first tick; any other
  // on the replay's virtual clock.
  if (!loop_ || options_.live) return;
  LoopOptions loopOptions;
  loopOptions.keepLog = false;
  if (session.clock) {
    loopOptions.timing = LoopOptions::Timing::Recorded;
    loopOptions.clockStart = session.clock;
  }
  const bool same = loop_->timing() == loopOptions.timing &&
                    (!session.clock || (loop_->clockStart() == *session.clock && loop_->now() == 0));
  if (!same) makeLoop(loopOptions);
}

bool Runner::play(const session::Session& session, std::string* error) {
  if (!loop_ || !drawing_) {
    *error = "the plug-in is not started or no drawing is loaded";
    return false;
  }
  timeFor(session);
  const LoopStats before = loop_->stats();
  const auto started = std::chrono::steady_clock::now();
  const bool sessionTakesPictures =
      std::any_of(session.events.begin(), session.events.end(),
                  [](const session::Event& e) { return e.type == session::Event::Type::Picture; });
  const bool everywhere = options_.framesEverywhere && !sessionTakesPictures;

  bool ok = true;
  bool framed = false;  // a frame shows the state after the last event
  const std::size_t total = session.events.size();
  for (std::size_t i = 0; i < total && ok; ++i) {
    const session::Event& event = session.events[i];
    if (everywhere && event.type == session::Event::Type::LeaveTool && loop_->toolSelected() && !framed) {
      ok = takeFrame("before " + eventName(event), "", error);
      if (!ok) break;
    }
    ok = playEvent(event, i, total, error);
    watchHost(eventName(event), true);
    framed = event.type == session::Event::Type::Picture;
    if (ok && everywhere && loop_->toolSelected() &&
        (event.type == session::Event::Type::PickTool || event.type == session::Event::Type::Stroke ||
         event.type == session::Event::Type::Idle)) {
      ok = takeFrame("after " + eventName(event), "", error);
      framed = true;
    }
    if (options_.progress) options_.progress(static_cast<double>(i + 1), static_cast<double>(total));
  }

  const LoopStats& after = loop_->stats();
  stats_.drags += after.drags - before.drags;
  stats_.timerTicks += after.timerTicks - before.timerTicks;
  stats_.draws += after.draws - before.draws;
  stats_.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return ok;
}

bool Runner::playAction(const session::Event& event, std::size_t done, std::size_t total,
                        std::string* error) {
  using Type = session::Event::Type;
  switch (event.type) {
    case Type::Select:
      return select(event);
    case Type::View: {
      HostEvent change;
      change.kind = HostEvent::Kind::ChangeView;
      ViewState view = host_->view();
      applyViewChange(view, event.view);
      if (event.view.center || event.view.scroll) change.center = view.center;
      if (event.view.zoom) change.zoom = view.zoom;
      if (event.view.width) change.width = view.width;
      if (event.view.height) change.height = view.height;
      change.clock = event.clock;
      if (loop_->dispatch(change) == kBadParameterErr) {
        *error = eventName(event) + ": the host cannot show that view";
        return false;
      }
      return true;
    }
    case Type::PickTool: {
      const ToolState& tools = host_->tools();
      if (tools.tools.empty()) {
        *error = eventName(event) + ": the plug-in registered no tool to pick";
        return false;
      }
      AIToolHandle tool = tools.tools.front().handle;
      for (const ToolRecord& record : tools.tools) {
        if (record.name == kToolName) tool = record.handle;
      }
      HostEvent pick = HostEvent::select(tool);
      pick.clock = event.clock;
      loop_->dispatch(pick);
      // Picking the tool answers no error even when it fails inside; a tool whose timer did not
      // start will stir nothing on the ticks, which the user is told.
      const bool ticking = std::any_of(tools.timers.begin(), tools.timers.end(),
                                       [](const TimerRecord& t) { return t.active; });
      if (!ticking) {
        ++stats_.toolFailures;
        note(eventName(event) + ": the tool did not start its timer: the ticks will stir nothing");
      }
      return true;
    }
    case Type::LeaveTool: {
      HostEvent leave = HostEvent::deselect();
      leave.clock = event.clock;
      loop_->dispatch(leave);
      return true;
    }
    case Type::Stroke:
      return stroke(event, done, total);
    case Type::Idle:
      for (int left = event.ticks; left > 0; left -= kIdleChunk) {
        loop_->dispatch(HostEvent::idle(std::min(left, kIdleChunk)));
        if (options_.progress) {
          options_.progress(done + static_cast<double>(event.ticks - left) / event.ticks, static_cast<double>(total));
        }
      }
      return true;
    case Type::Picture:
      // A picture is taken only when someone will see it: it names its file, or the caller
      // keeps the session's pictures.
      if (event.file.empty() && !options_.unnamedPictures) return true;
      return takeFrame(eventName(event), event.file, error);
    case Type::Choose:
    case Type::TypeValue:
    case Type::Press:
    case Type::Menu:
    case Type::ClosePanel:
    case Type::MovePanel:
      loop_->beginEvent(event.clock);
      panelAction(event);
      return true;
    case Type::Pointer: {
      using Action = session::Event::Action;
      using Kind = HostEvent::Kind;
      const Kind kind = event.action == Action::Down   ? Kind::MouseDown
                        : event.action == Action::Drag ? Kind::MouseDrag
                        : event.action == Action::Up   ? Kind::MouseUp
                                                       : Kind::Track;
      HostEvent pointer = HostEvent::pointer(
          kind, {static_cast<AIReal>(event.at.x), static_cast<AIReal>(event.at.y)});
      pointer.clock = event.clock;
      loop_->dispatch(pointer);
      return true;
    }
    case Type::Ticks:
      for (const int64_t tick : event.tickList) loop_->deliverTicksAt(tick);
      return true;
  }
  return true;
}

bool Runner::playOne(const session::Event& event, std::string* error) {
  if (!loop_ || !drawing_) {
    *error = "the plug-in is not started or no drawing is loaded";
    return false;
  }
  const bool ok = playEvent(event, 0, 1, error);
  watchHost(eventName(event), true);
  return ok;
}

bool Runner::playEvent(const session::Event& event, std::size_t done, std::size_t total,
                       std::string* error) {
  // A live run, and its recording again: the window is redrawn before and after everything the
  // user does, so that every fluid step falls where the recording can place it.
  const bool exact = loop_->timing() != LoopOptions::Timing::Replay;
  if (exact) loop_->redraw();
  const bool ok = playAction(event, done, total, error);
  if (exact) loop_->redraw();
  return ok;
}

void Runner::notDone(const session::Event& event, const std::string& why) {
  ++stats_.actionsNotDone;
  note(eventName(event) + ": not done: " + why);
}

void Runner::panelAction(const session::Event& event) {
  using Type = session::Event::Type;
  DialogState& state = host_->dialogs();
  const std::string name = eventName(event);

  if (event.type == Type::Menu) {
    const ToolState& tools = host_->tools();
    const auto item = std::find_if(tools.menuItems.begin(), tools.menuItems.end(), [&](const MenuItemRecord& m) {
      return m.text == event.label || m.name == event.label;
    });
    if (item == tools.menuItems.end()) return notDone(event, "the plug-in added no menu item \"" + event.label + "\"");
    AIMenuMessage message{};
    message.menuItem = item->handle;
    ++stats_.panelActions;
    const ASErr result = plugin_->send(kAIMenuCaller, kAIMenuGoSelector, &message);
    if (result != kNoErr) {
      ++stats_.failedMessages;
      note(name + ": the plug-in answered \"" + kAIMenuCaller + "\"/\"" + kAIMenuGoSelector + "\" with " +
           describeCode(result));
    }
    return;
  }

  if (event.type == Type::ClosePanel || event.type == Type::MovePanel) {
    Dialog* panel = panelTitled(state, event.label);
    if (panel == nullptr) return notDone(event, "the plug-in has no panel \"" + event.label + "\"");
    if (event.type == Type::ClosePanel) {
      ++stats_.panelActions;
      closeDialog(*host_, panel->name);  // a hidden panel stays hidden
      return;
    }
    // Moving a palette is the dialog manager's own business: the plug-in is not told.
    if (!panel->visible) return notDone(event, "the panel \"" + event.label + "\" is hidden");
    // A palette dropped (partly) off the layout area is placed back onto it, so that it can be
    // reached again; the plug-in saves where it was placed.
    placeDialog(*host_, *panel, event.to.x, event.to.y);
    ++stats_.panelActions;
    const bool moved = panel->bounds.left != event.to.x || panel->bounds.top != event.to.y;
    note(name + ": the panel \"" + event.label + "\" is now at " + std::to_string(panel->bounds.left) + "," +
         std::to_string(panel->bounds.top) + (moved ? " (brought back onto the screen)" : ""));
    return;
  }

  const bool button = event.type == Type::Press;
  const Place place = findItem(state, event.label, button);
  if (place.dialog == nullptr) {
    return notDone(event, std::string("no panel shows the ") + (button ? "button" : "control") + " \"" +
                              event.label + "\"");
  }
  if (!place.dialog->visible) return notDone(event, "the panel \"" + place.dialog->title + "\" is hidden");
  // The plug-in's handler runs inside these calls and may change the dialogs: the place is looked
  // up again afterwards.
  const std::string dialogName = place.dialog->name;
  const int32_t itemID = place.item->id;
  std::string why;
  switch (event.type) {
    case Type::Choose: why = choosePreset(*host_, dialogName, itemID, event.preset); break;
    case Type::TypeValue: why = typeValue(*host_, dialogName, itemID, event.typed); break;
    default: why = pressButton(*host_, dialogName, itemID); break;
  }
  if (!why.empty()) return notDone(event, why);
  ++stats_.panelActions;
  if (button) {
    note(name + ": pressed \"" + event.label + "\"");
    return;
  }
  const Place now = findItem(state, event.label, false);
  if (now.item == nullptr) return;
  std::string told = name + ": " + event.label + " is now " + now.item->text;
  if (event.type == Type::TypeValue) {
    const double typed = std::strtod(event.typed.c_str(), nullptr);
    if (typed != now.item->value) told += " (" + event.typed + " is held to the field's bounds)";
  }
  note(told);
  // The plug-in takes the side of the square as a whole number, cut toward zero.
  if (event.label == "Size") squareSize_ = static_cast<int>(std::trunc(now.item->value));
}

bool Runner::select(const session::Event& event) {
  Document& document = host_->document();
  using Selection = session::Event::Selection;
  document.selectAll(event.selection == Selection::All);
  if (event.selection == Selection::Indices) {
    const std::vector<AIArtHandle> paths = drawing_->paths();
    for (std::size_t k : event.indices) {
      if (k >= paths.size()) continue;
      if (Art* art = document.find(paths[k])) art->selected = true;
    }
  }
  if (event.selection == Selection::Ids) {
    for (const std::string& id : event.ids) {
      for (AIArtHandle path : drawing_->pathsWithId(id)) {
        if (Art* art = document.find(path)) art->selected = true;
      }
    }
  }
  return true;
}

bool Runner::stroke(const session::Event& event, std::size_t done, std::size_t total) {
  if (!loop_->toolSelected()) note(eventName(event) + ": the tool is not picked, the stroke does nothing");
  const std::vector<AIRealPoint> positions =
      strokePositions(event, overlaySquare(host_->view(), squareSize_));
  using Kind = HostEvent::Kind;
  loop_->dispatch(HostEvent::pointer(Kind::MouseDown, positions.front()));
  for (std::size_t k = 1; k + 1 < positions.size(); ++k) {
    loop_->dispatch(HostEvent::pointer(Kind::MouseDrag, positions[k]));
    if (options_.progress && k % 10 == 0) {
      options_.progress(done + static_cast<double>(k) / positions.size(), static_cast<double>(total));
    }
  }
  loop_->dispatch(HostEvent::pointer(Kind::MouseUp, positions.back()));
  return true;
}

}  // namespace simhost::app
