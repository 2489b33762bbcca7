#include "live/LiveApp.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "loader/PluginHost.h"
#include "ResourceFile.h"
#include "adm/DialogManager.h"
#include "app/Runner.h"
#include "picture/Picture.h"
#include "live/PageExport.h"
#include "svg/Svg.h"
#include "tool/EventLoop.h"
#include "tool/ToolState.h"

namespace simhost::live {

namespace {

using nlohmann::json;

// The document a run without a drawing starts with: an empty page the size of the window.
constexpr const char* kEmptyDrawing =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="1000" height="800" viewBox="-500 -400 1000 800"/>)";
constexpr std::size_t kKeptMessages = 50;
constexpr std::uint32_t kCursorResourceType = AS_FOURCC('C', 'U', 'R', 'S');
// The page's menu bar, above the area the palettes may take.
constexpr int32_t kMenuBarHeight = 32;

Reply error(int status, const std::string& text) {
  Reply r;
  r.status = status;
  r.body = json{{"error", text}}.dump();
  return r;
}

Reply ok(json body = json::object()) {
  Reply r;
  r.body = body.dump();
  return r;
}

// The events a page may send: what a person does. Pictures, idle time and scripted strokes are
// for session files.
bool fromPage(session::Event::Type type) {
  using Type = session::Event::Type;
  return type != Type::Picture && type != Type::Idle && type != Type::Stroke && type != Type::Ticks;
}

// Whether the event reaches the plug-in (and so reads its clock).
bool readsClock(session::Event::Type type) {
  using Type = session::Event::Type;
  return type != Type::Select && fromPage(type);
}

json rect(const Rect& r) { return json::array({r.left, r.top, r.right, r.bottom}); }

std::string stem(const std::string& name) {
  std::string s = std::filesystem::path(name).stem().string();
  return s.empty() ? "drawing" : s;
}

}  // namespace

LiveApp::LiveApp(LiveOptions options, Channel& channel) : options_(std::move(options)), channel_(channel) {}

LiveApp::~LiveApp() = default;

void LiveApp::note(const std::string& line) {
  if (options_.diagnostic) options_.diagnostic(line);
  messages_.emplace_back(++notes_, line);
  if (messages_.size() > kKeptMessages) messages_.erase(messages_.begin());
}

bool LiveApp::start(const std::string& svgText, const std::string& name, std::string* error) {
  return begin(svgText.empty() ? kEmptyDrawing : svgText, svgText.empty() ? "untitled.svg" : name,
               options_.keepClones, error);
}

bool LiveApp::begin(const std::string& svgText, const std::string& name, bool keepClones, std::string* error) {
  app::RunOptions run;
  run.pluginPath = options_.pluginPath;
  run.preferencesFile = options_.preferencesFile;
  run.openURLsWithSystem = false;  // the page opens the addresses the plug-in asks for
  run.live = true;
  run.keepClones = keepClones;
  run.diagnostic = [this](const std::string& line) { note(line); };
  auto runner = std::make_unique<app::Runner>(run);
  // The plug-in's alerts are modal: the user-interface thread waits in them until the user
  // dismisses them on the page.
  auto told = runner->host().onAlert;
  runner->host().onAlert = [this, told](const Alert& alert) {
    if (told) told(alert);
    showAlert(alert);
  };
  // The drawing first, as `run` does: a drawing that cannot be opened starts no plug-in.
  session::Session opened;
  if (!runner->load(svgText, name, opened, "session", true, error)) return false;
  // The plug-in may alert while it starts: the page is to show the alert of this runner.
  runner_ = std::move(runner);
  if (!runner_->start(error)) {
    runner_.reset();
    return false;
  }
  name_ = name;
  keptClones_ = keepClones;
  recording_ = session::Session{};
  const ViewState& view = runner_->host().view();
  recording_.view.width = view.width;
  recording_.view.height = view.height;
  recording_.view.zoom = view.zoom;
  recording_.view.center = session::Point{view.center.h, view.center.v};
  recording_.clock = runner_->loop()->clockStart();
  runner_->loop()->onAdvance = [this](int64_t tick) {
    if (recording_.events.empty() || recording_.events.back().type != session::Event::Type::Ticks) {
      session::Event ticks;
      ticks.type = session::Event::Type::Ticks;
      ticks.index = recording_.events.size();
      recording_.events.push_back(ticks);
    }
    recording_.events.back().tickList.push_back(tick);
  };
  if (screen_.first > 0) fitScreen(screen_.first, screen_.second);
  ++document_;
  shapes_.clear();
  drawsSeen_ = -1;
  publish();
  return true;
}

void LiveApp::run() {
  serving_ = true;
  while (!channel_.quitting()) {
    EventLoop* loop = runner_ ? runner_->loop() : nullptr;
    const double due = loop ? loop->secondsUntilDue() : 0.25;
    const int ran = channel_.runQueued(std::min(due, 0.25));
    if (channel_.quitting() || !runner_) break;
    runner_->loop()->pump();
    const int64_t draws = runner_->loop()->stats().draws;
    if (ran > 0 || draws != drawsSeen_) publish();
    drawsSeen_ = draws;
  }
}

bool LiveApp::quit(std::string* error) {
  if (!runner_) return true;
  return runner_->quit(error);
}

Outstanding LiveApp::outstanding() const { return runner_ ? runner_->outstanding() : Outstanding{}; }

void LiveApp::showAlert(const Alert& alert) {
  // Before the loop serves a page, nobody could answer: the alert is only told (the runner's
  // diagnostic has it).
  if (!serving_) return;
  alert_ = std::make_unique<ShownAlert>();
  alert_->id = ++alerts_;
  alert_->alert = alert;
  publish();
  channel_.waitForAlert(alert_->id);
  alert_.reset();
  publish();
}

Reply LiveApp::input(const std::string& body) {
  if (!runner_) return error(409, "no drawing is open");
  json root;
  try {
    root = json::parse(body);
  } catch (const std::exception&) {
    return error(400, "the input is not valid JSON");
  }
  if (!root.is_object() || !root.contains("events") || !root["events"].is_array()) {
    return error(400, "the input must be {\"events\": [...]}");
  }
  std::string refused;
  for (json ev : root["events"]) {
    ++inputs_;
    if (ev.is_object() && ev.value("type", "") == "quit") {
      channel_.quit();
      break;
    }
    // The page's size is the screen the palettes live on. It is the window manager's business,
    // not the plug-in's, and not part of the session.
    if (ev.is_object() && ev.value("type", "") == "screen") {
      const int width = ev.value("width", 0), height = ev.value("height", 0);
      if (width < 100 || height < 100 || width > 100000 || height > 100000) {
        refused = "the screen must be 100 to 100000 pixels each way";
        break;
      }
      fitScreen(width, height);
      continue;
    }
    // A pointer position in window pixels becomes the artwork point under it, as the
    // application maps the mouse.
    if (ev.is_object() && ev.value("type", "") == "pointer" && ev.contains("px")) {
      const json& px = ev["px"];
      if (!px.is_array() || px.size() != 2 || !px[0].is_number() || !px[1].is_number()) {
        refused = "\"px\" must be a pair of numbers";
        break;
      }
      const double x = px[0].get<double>(), y = px[1].get<double>();
      if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6 || std::fabs(y) > 1e6) {
        refused = "\"px\" is off any window";
        break;
      }
      AIPoint at{};
      at.h = static_cast<decltype(at.h)>(std::lround(x));
      at.v = static_cast<decltype(at.v)>(std::lround(y));
      const AIRealPoint artwork = runner_->host().view().toArtwork(at);
      ev.erase("px");
      ev["at"] = json::array({static_cast<double>(artwork.h), static_cast<double>(artwork.v)});
    }
    session::SessionResult parsed =
        session::parseSession(json{{"events", json::array({ev})}}.dump(), "input");
    if (!parsed) {
      refused = parsed.error;
      break;
    }
    session::Event event = parsed.session->events.front();
    if (!fromPage(event.type)) {
      refused = std::string("a page does not send \"") + session::typeName(event.type) + "\" events";
      break;
    }
    std::string why;
    if (!runner_->playOne(event, &why)) {
      refused = why;
      break;
    }
    if (readsClock(event.type)) event.clock = runner_->loop()->eventClock();
    event.index = recording_.events.size();
    recording_.events.push_back(std::move(event));
  }
  // The loop publishes the frame that shows it, once it has also delivered the ticks due.
  if (!refused.empty()) {
    note("input refused: " + refused);
    return error(400, refused);
  }
  return ok();
}

void LiveApp::fitScreen(int width, int height) {
  AIRect& area = runner_->host().paletteArea();
  area.left = 0;
  area.top = kMenuBarHeight;
  area.right = width;
  area.bottom = height;
  // As a window manager does when the screen shrinks, a palette that would be (partly) off it is
  // brought back; the plug-in saves where it then is.
  for (auto& [id, dialog] : runner_->host().dialogs().dialogs) {
    if (!dialog.destroying) placeDialog(runner_->host(), dialog, dialog.bounds.left, dialog.bounds.top);
  }
  screen_ = {width, height};
}

Reply LiveApp::openDrawing(const std::string& svgText, const std::string& name, bool keepClones) {
  // The drawing is tried first in a document of its own, so that a file that cannot be opened
  // leaves the open one as it is.
  {
    Document trial;
    ViewState view;
    svg::ImportOptions options;
    options.keepClones = keepClones;
    svg::ImportResult tried = svg::importSvg(svgText, name, trial, view, options);
    if (!tried) return error(422, tried.error);
  }
  std::string why;
  const std::string previous = runner_ && runner_->drawing() ? runner_->drawing()->source() : kEmptyDrawing;
  const std::string previousName = name_;
  const bool previousKept = keptClones_;
  if (runner_ && !runner_->quit(&why)) note("warning: " + why);
  runner_.reset();
  if (!begin(svgText, name, keepClones, &why)) {
    std::string again;
    if (!begin(previous, previousName, previousKept, &again)) note("error: " + again);
    return error(500, why);
  }
  note("opened " + name);
  return ok(json{{"name", name}});
}

Reply LiveApp::saveDrawing() {
  Reply r;
  std::string why;
  if (!runner_ || !runner_->exportSvg(&r.body, &why)) return error(409, why.empty() ? "no drawing is open" : why);
  r.type = "image/svg+xml";
  r.filename = stem(name_) + ".stirred.svg";
  return r;
}

Reply LiveApp::savePicture() {
  picture::Image image;
  std::string why;
  Reply r;
  if (!runner_ || !runner_->picture(true, &image, &why) || !picture::encodePng(image, &r.body, &why)) {
    return error(500, why.empty() ? "no drawing is open" : why);
  }
  r.type = "image/png";
  r.filename = stem(name_) + ".png";
  return r;
}

Reply LiveApp::saveSession() {
  Reply r;
  r.body = session::writeSession(recording_);
  r.filename = stem(name_) + ".session.json";
  return r;
}

Reply LiveApp::documentSvg() {
  if (!runner_ || !runner_->drawing()) return error(409, "no drawing is open");
  Reply r;
  r.type = "image/svg+xml";
  r.body = exportSvgForPage(*runner_->drawing(), runner_->host().document());
  return r;
}

Reply LiveApp::toolIcon() {
  if (!runner_) return error(404, "no tool");
  ToolState& tools = runner_->host().tools();
  for (const ToolRecord& tool : tools.tools) {
    if (tool.name != app::kToolName) continue;
    const IconRecord* icon = tools.findIcon(tool.icon);
    if (icon == nullptr || icon->png.empty()) break;
    Reply r;
    r.type = "image/png";
    r.body.assign(icon->png.begin(), icon->png.end());
    return r;
  }
  return error(404, "the tool has no icon");
}

std::optional<sarvello::res::Cursor> LiveApp::cursor() const {
  Host& host = runner_->host();
  if (host.cursor() == 0 || !host.resource) return std::nullopt;
  const std::vector<std::uint8_t>* data = host.resource(runner_->plugin()->plugin(), kCursorResourceType, host.cursor());
  if (data == nullptr) return std::nullopt;
  return sarvello::res::decodeCursor(*data);
}

Reply LiveApp::cursorImage() {
  const std::optional<sarvello::res::Cursor> shown = runner_ ? cursor() : std::nullopt;
  if (!shown) return error(404, "no cursor");
  Reply r;
  r.type = "image/png";
  r.body.assign(shown->png.begin(), shown->png.end());
  return r;
}

std::string LiveApp::stateJson() const {
  Host& host = runner_->host();
  const ViewState& view = host.view();
  json state;
  state["name"] = name_;
  state["document"] = document_;
  state["view"] = {{"width", view.width},
                   {"height", view.height},
                   {"zoom", view.zoom},
                   {"center", json::array({view.center.h, view.center.v})}};
  if (const svg::Drawing* drawing = runner_->drawing()) {
    const svg::Affine m = drawing->userToView(view);
    state["userToView"] = json::array({m.a, m.b, m.c, m.d, m.e, m.f});
  }
  json overlay = json::array();
  for (const OverlayCall& call : runner_->overlay()) {
    switch (call.kind) {
      case OverlayCall::SetColor:
        overlay.push_back({{"call", "color"}, {"rgb", json::array({call.color.red, call.color.green, call.color.blue})}});
        break;
      case OverlayCall::SetLineWidth: overlay.push_back({{"call", "lineWidth"}, {"width", call.lineWidth}}); break;
      case OverlayCall::DrawRect: overlay.push_back({{"call", "rect"}, {"rect", rect(call.rect)}, {"fill", call.fill}}); break;
      case OverlayCall::SetFontPreset:
        overlay.push_back({{"call", "font"},
                           {"size", fontSizeForPreset(call.preset)},
                           {"height", textHeightForPreset(call.preset)},
                           {"family", overlayFontFamily()}});
        break;
      case OverlayCall::DrawText:
        overlay.push_back({{"call", "text"}, {"text", call.text}, {"at", json::array({call.origin.h, call.origin.v})}});
        break;
    }
  }
  state["overlay"] = overlay;

  EventLoop* loop = runner_->loop();
  ToolState& tools = host.tools();
  json toolList = json::array();
  for (const ToolRecord& tool : tools.tools) {
    toolList.push_back({{"name", tool.name}, {"title", tool.title}, {"tooltip", tool.tooltip},
                        {"selected", loop && loop->selectedTool() == tool.handle}});
  }
  state["tools"] = toolList;
  state["cursor"] = nullptr;
  if (loop && loop->toolSelected()) {
    if (const auto shown = cursor()) {
      state["cursor"] = {{"id", host.cursor()}, {"hot", json::array({shown->hotX, shown->hotY})}};
    }
  }
  json menu = json::array();
  for (const MenuItemRecord& item : tools.menuItems) {
    menu.push_back({{"name", item.name}, {"text", item.text}, {"group", item.group}});
  }
  state["menu"] = menu;

  json panels = json::array();
  for (const auto& [id, dialog] : host.dialogs().dialogs) {
    if (dialog.destroying) continue;
    json items = json::array();
    for (const DialogItem& item : dialog.items) {
      json it = {{"id", item.id}, {"kind", item.kind}, {"text", item.text}, {"bounds", rect(item.bounds)}};
      if (item.isSpinEdit()) {
        it["entries"] = item.entries;
        it["selected"] = item.selected;
        it["value"] = item.value;
        it["min"] = item.minimum;
        it["max"] = item.maximum;
      }
      items.push_back(it);
    }
    panels.push_back({{"id", id}, {"name", dialog.name}, {"title", dialog.title}, {"visible", dialog.visible},
                      {"bounds", rect(dialog.bounds)}, {"items", items}});
  }
  state["panels"] = panels;

  state["alert"] = nullptr;
  if (alert_) {
    const char* kind = alert_->alert.kind == Alert::Error ? "error" : alert_->alert.kind == Alert::About ? "about" : "message";
    state["alert"] = {{"id", alert_->id}, {"kind", kind}, {"text", alert_->alert.text}, {"text2", alert_->alert.text2}};
  }
  json urls = json::array();
  const std::vector<std::string>& opened = host.openedURLs();
  for (std::size_t k = 0; k < opened.size(); ++k) urls.push_back({{"id", k + 1}, {"url", opened[k]}});
  state["urls"] = urls;
  json messages = json::array();
  for (const auto& [n, text] : messages_) messages.push_back({{"id", n}, {"text", text}});
  state["messages"] = messages;
  state["selected"] = selected_;
  state["shapePaths"] = shapePaths_;
  state["vertices"] = runner_->vertices();
  state["events"] = recording_.events.size();
  state["inputs"] = inputs_;
  return state.dump();
}

void LiveApp::publish() {
  if (!runner_ || !runner_->drawing()) return;
  auto frame = std::make_shared<Frame>();
  frame->seq = ++seq_;
  frame->document = document_;
  const std::vector<PageShape> shapes = pageShapes(*runner_->drawing(), runner_->host().document());
  std::vector<std::shared_ptr<const std::string>> data(shapes.size());
  selected_.clear();
  shapePaths_.clear();
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    shapePaths_.push_back(shapes[k].paths);
    if (k < shapes_.size() && shapes_[k] && *shapes_[k] == shapes[k].d) {
      data[k] = shapes_[k];
    } else {
      data[k] = std::make_shared<const std::string>(shapes[k].d);
    }
    if (shapes[k].selected) selected_.push_back(k);
  }
  shapes_ = data;
  frame->shapes = std::move(data);
  frame->state = stateJson();
  channel_.publish(std::move(frame));
}

}  // namespace simhost::live
