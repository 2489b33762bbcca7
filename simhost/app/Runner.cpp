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

std::string eventName(const session::Event& event) {
  return "event " + std::to_string(event.index + 1) + " (" + session::typeName(event.type) + ")";
}

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

}  // namespace

std::string describeCode(ASErr code) {
  const auto byte = [code](int shift) { return static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF); };
  const std::string text{byte(24), byte(16), byte(8), byte(0)};
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  return printable ? "'" + text + "'" : std::to_string(code);
}

AIRealRect overlaySquare(const ViewState& view, int size) {
  const AIRealRect bounds = view.bounds();
  const float cx = (bounds.left + bounds.right) * 0.5f;
  const float cy = (bounds.top + bounds.bottom) * 0.5f;
  const float half = static_cast<float>(size / 2);
  AIRealRect square{};
  square.left = cx - half;
  square.right = cx + half;
  square.top = cy + half;
  square.bottom = cy - half;
  return square;
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

Runner::Runner(RunOptions options)
    : options_(std::move(options)), host_(std::make_unique<Host>()), squareSize_(options_.squareSize) {
  host_->openURLsWithSystem = options_.openURLsWithSystem;
  host_->onAlert = [this](const Alert& alert) {
    if (alert.text.rfind("Sarvello Auto Limitter", 0) == 0) stats_.stoppedAtLimit = true;
    switch (alert.kind) {
      case Alert::Error: note("Sarvello error: " + alert.text); break;
      case Alert::Message: note("Sarvello: " + alert.text); break;
      case Alert::About: note("About Sarvello: " + alert.text + " " + alert.text2); break;
    }
  };
}

Runner::~Runner() {
  // The loop refers to the host's tool side and the module to the host: both end first.
  loop_.reset();
  plugin_.reset();
  drawing_.reset();
  host_.reset();
}

void Runner::note(const std::string& line) const {
  if (options_.diagnostic) options_.diagnostic(line);
}

bool Runner::start(std::string* error) {
  const std::string path =
      options_.pluginPath.empty() ? PluginHost::moduleBesideProgram() : options_.pluginPath;
  if (!options_.preferencesFile.empty()) {
    std::string warning;
    preferencesUnreadable_ = !host_->usePreferencesFile(options_.preferencesFile, &warning);
    if (preferencesUnreadable_) note("warning: " + warning);
  }
  try {
    plugin_ = std::make_unique<PluginHost>(*host_, path);
  } catch (const LoadError& e) {
    *error = e.what();
    return false;
  } catch (const std::exception& e) {
    *error = path + ": cannot load the plug-in: " + e.what();
    return false;
  }
  const ASErr started = plugin_->start();
  if (started != kNoErr && plugin_->running()) {
    // Started, but the application-started notification failed (a panel that could not be made):
    // as in the application, the plug-in stays loaded and its tool works.
    note("the plug-in answered the application-started notification with " + describeCode(started));
  } else if (started != kNoErr) {
    *error = path + ": the plug-in failed to start (" + describeCode(started) + ")";
    plugin_.reset();
    return false;
  }
  LoopOptions loopOptions;
  loopOptions.keepLog = false;
  if (options_.live) loopOptions.timing = LoopOptions::Timing::Live;
  makeLoop(loopOptions);
  // The panels made at start are where they are: from now on their changes are told.
  watchHost("", false);
  return true;
}

void Runner::makeLoop(const LoopOptions& loopOptions) {
  loop_ = std::make_unique<EventLoop>(*host_, plugin_->plugin(), plugin_->sender(), loopOptions);
  loop_->onError = [this](const SentMessage& sent) {
    ++stats_.failedMessages;
    // Each kind of failure is told once; the count goes into the statistics.
    const std::string key = sent.caller + "/" + sent.selector + "/" + std::to_string(sent.result);
    if (std::find(reportedFailures_.begin(), reportedFailures_.end(), key) != reportedFailures_.end()) return;
    reportedFailures_.push_back(key);
    note("the plug-in answered \"" + sent.caller + "\"/\"" + sent.selector + "\" with " +
         describeCode(sent.result));
  };
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

bool Runner::load(const std::string& svgText, const std::string& name,
                  const session::Session& session, const std::string& sessionName, bool fit,
                  std::string* error) {
  // Each drawing starts with the tool not picked, so that its session picks it afresh.
  if (loop_ && loop_->toolSelected()) loop_->dispatch(HostEvent::deselect());
  drawing_.reset();
  frames_.clear();
  host_->document().clear();
  ViewState view;
  applyViewChange(view, session.view);
  host_->view() = view;

  svg::ImportOptions importOptions;
  importOptions.fit = fit && session.fit;
  importOptions.overlaySide = squareSize_;
  svg::ImportResult imported = svg::importSvg(svgText, name, host_->document(), host_->view(), importOptions);
  for (const std::string& warning : imported.warnings) note("warning: " + warning);
  if (!imported) {
    *error = imported.error;
    return false;
  }
  // Every id a selection names must be in the drawing, before anything runs.
  for (const session::Event& event : session.events) {
    if (event.type != session::Event::Type::Select) continue;
    for (const std::string& id : event.ids) {
      if (imported.drawing->pathsWithId(id).empty()) {
        const std::string element = imported.drawing->elementWithId(id);
        std::string why = " has no shape or group with id \"" + id + "\"";
        if (element == "text" || element == "tspan" || element == "textPath") {
          why = ": \"" + id + "\" is a <" + element + "> element, and text is not stirred";
        } else if (imported.drawing->leftOut(id)) {
          why = ": the element with id \"" + id + "\" was left out (see the warning above)";
        } else if (!element.empty()) {
          why = ": \"" + id + "\" is a <" + element + "> element without shapes to stir";
        }
        *error = sessionName + ": " + eventName(event) + ": " + name + why;
        host_->document().clear();
        return false;
      }
    }
  }
  drawing_ = std::move(imported.drawing);
  drawingName_ = name;
  stats_ = RunStats{};
  stats_.leftOut = imported.warnings.size();
  reportedFailures_.clear();
  stats_.paths = drawing_->paths().size();
  stats_.verticesBefore = vertices();
  loaded_.clear();
  for (AIArtHandle path : drawing_->paths()) {
    const Art* art = host_->document().find(path);
    loaded_.push_back(art ? art->segments : std::vector<AIPathSegment>{});
  }
  if (stats_.paths == 0) note(name + ": the drawing has no shapes to stir");
  return true;
}

std::size_t Runner::vertices() const {
  if (!drawing_) return 0;
  std::size_t n = 0;
  for (AIArtHandle path : drawing_->paths()) {
    if (const Art* art = host_->document().find(path)) n += art->segments.size();
  }
  return n;
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

void Runner::watchHost(const std::string& when, bool tell) {
  const std::string prefix = when.empty() ? std::string() : when + ": ";
  std::map<std::uint64_t, std::pair<std::string, bool>> seen;
  for (const auto& [id, dialog] : host_->dialogs().dialogs) {
    if (dialog.destroying) continue;
    seen[id] = {dialog.title, dialog.visible};
    const auto before = panelShown_.find(id);
    if (!tell || (before != panelShown_.end() && before->second.second == dialog.visible)) continue;
    note(prefix + "the panel \"" + dialog.title + "\" is " + (dialog.visible ? "shown" : "hidden"));
  }
  if (tell) {
    for (const auto& [id, panel] : panelShown_) {
      if (seen.count(id) == 0) note(prefix + "the panel \"" + panel.first + "\" is gone");
    }
  }
  panelShown_ = std::move(seen);

  const std::vector<std::string>& urls = host_->openedURLs();
  for (; urlsSeen_ < urls.size(); ++urlsSeen_) {
    if (tell) note(prefix + "the plug-in asks to open " + urls[urlsSeen_] + " in a browser");
  }
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

bool Runner::takeFrame(const std::string& label, const std::string& file, std::string* error) {
  Frame frame;
  frame.label = label;
  frame.file = file;
  std::string why;
  if (!picture(true, &frame.image, &why)) {
    *error = label + ": cannot take the picture: " + why;
    return false;
  }
  frames_.push_back(std::move(frame));
  return true;
}

bool Runner::quit(std::string* error) {
  if (!plugin_ || !plugin_->running()) return true;
  finalPanels_ = panels();
  // The loader closes the panels before it announces the shutdown, so that they save their
  // placement.
  const ASErr result = plugin_->quit();
  panelShown_.clear();
  // A preferences file that could not be read is not lost to the new one: it is kept beside it.
  bool save = true;
  const std::string& file = options_.preferencesFile;
  std::error_code ec;
  if (preferencesUnreadable_ && std::filesystem::is_regular_file(file, ec)) {
    // A name not taken yet, so that an older copy is not lost either.
    std::string kept = file + ".corrupt";
    for (int k = 2; k <= 1000 && std::filesystem::exists(kept, ec); ++k) {
      kept = file + ".corrupt." + std::to_string(k);
    }
    const bool free = !std::filesystem::exists(kept, ec) && !ec;
    if (free) std::filesystem::rename(file, kept, ec);
    if (!free || ec) {
      save = false;
      note("warning: preferences " + file + " are not saved: the unreadable file cannot be moved to " + kept +
           (ec ? ": " + ec.message() : ": that name is taken"));
    } else {
      note("warning: the unreadable preferences file is kept as " + kept);
    }
  }
  preferencesUnreadable_ = false;
  // Saving replaces the file whole; something that is not a file (a device, a named pipe, a
  // folder) is left as it is.
  const auto type = std::filesystem::status(file, ec).type();
  if (save && !file.empty() && type != std::filesystem::file_type::not_found &&
      type != std::filesystem::file_type::regular) {
    save = false;
    note("warning: preferences " + file + " are not saved: not a regular file");
  }
  std::string why;
  if (save && !host_->savePreferences(&why)) note("warning: " + why);
  if (result != kNoErr) {
    *error = plugin_->path() + ": the plug-in failed to shut down (" + describeCode(result) + ")";
    return false;
  }
  return true;
}

Outstanding Runner::outstanding() const { return host_->outstanding(); }

std::string Runner::panels() const {
  if (!plugin_ || !plugin_->running()) return finalPanels_;
  return describeDialogs(*host_);
}

bool Runner::exportSvg(std::string* out, std::string* error) const {
  if (!drawing_) {
    *error = "no drawing is loaded";
    return false;
  }
  return svg::exportSvg(*drawing_, host_->document(), out, error);
}

const OverlayRecording& Runner::overlay() const {
  static const OverlayRecording none;
  return loop_ ? loop_->overlay() : none;
}

bool Runner::framedPicture(const PictureSize& size, picture::Image* out, std::string* error) const {
  // What the picture frames, in artwork coordinates: the overlay square and the drawing's canvas
  // (its viewBox, as a renderer shows it; art beyond the canvas is left outside, as there).
  const AIRealRect square = overlaySquare(host_->view(), squareSize_);
  double left = square.left, right = square.right, bottom = square.bottom, top = square.top;
  const auto include = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    left = std::min(left, x), right = std::max(right, x);
    bottom = std::min(bottom, y), top = std::max(top, y);
  };
  if (drawing_) {
    const svg::Affine& m = drawing_->userToArtwork();
    const double cx = drawing_->canvasX(), cy = drawing_->canvasY();
    for (double x : {cx, cx + drawing_->canvasWidth()}) {
      for (double y : {cy, cy + drawing_->canvasHeight()}) {
        double ax = x, ay = y;
        m.apply(ax, ay);
        include(ax, ay);
      }
    }
  }
  const double w = std::max(right - left, 1.0), h = std::max(top - bottom, 1.0);
  constexpr double kMargin = 1.05;  // a little paper around what is framed
  constexpr double kLongSide = 800;  // pixels of the longer side by default
  constexpr int kMaxSide = 16384;
  ViewState view = host_->view();
  view.center = {static_cast<AIReal>((left + right) / 2), static_cast<AIReal>((bottom + top) / 2)};
  if (size.width > 0 && size.height > 0) {
    view.width = size.width;
    view.height = size.height;
    view.zoom = std::min(size.width / (w * kMargin), size.height / (h * kMargin));
  } else {
    view.zoom = kLongSide * size.scale / (std::max(w, h) * kMargin);
    view.width = static_cast<int32_t>(std::clamp(std::ceil(w * kMargin * view.zoom), 16.0, double(kMaxSide)));
    view.height = static_cast<int32_t>(std::clamp(std::ceil(h * kMargin * view.zoom), 16.0, double(kMaxSide)));
  }
  static const OverlayRecording none;
  return picture::renderView(drawing_.get(), host_->document(), view, none, out, error);
}

bool Runner::picture(bool overlay, picture::Image* out, std::string* error) const {
  static const OverlayRecording none;
  return picture::renderView(drawing_.get(), host_->document(), host_->view(),
                             overlay ? this->overlay() : none, out, error);
}

RunStats Runner::stats() const {
  RunStats s = stats_;
  s.verticesAfter = vertices();
  s.pathsMoved = 0;
  if (drawing_) {
    const std::vector<AIArtHandle> paths = drawing_->paths();
    for (std::size_t k = 0; k < paths.size() && k < loaded_.size(); ++k) {
      const Art* art = host_->document().find(paths[k]);
      if (art == nullptr) continue;
      const auto same = [](const AIPathSegment& a, const AIPathSegment& b) {
        return a.p.h == b.p.h && a.p.v == b.p.v && a.in.h == b.in.h && a.in.v == b.in.v &&
               a.out.h == b.out.h && a.out.v == b.out.v;
      };
      if (!std::equal(art->segments.begin(), art->segments.end(), loaded_[k].begin(),
                      loaded_[k].end(), same)) {
        ++s.pathsMoved;
      }
    }
  }
  return s;
}

}  // namespace simhost::app
