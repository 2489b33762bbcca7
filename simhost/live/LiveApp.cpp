#include "live/LiveApp.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <chrono>
#include <nlohmann/json.hpp>

#include "loader/PluginHost.h"
#include "ResourceFile.h"
#include "adm/DialogManager.h"
#include "app/Runner.h"
#include "core/Document.h"
#include "picture/Picture.h"
#include "live/PageExport.h"
#include "session/Json.h"
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
// During a long request the page is sent a frame at least this often.
constexpr int kBatchFrameMillis = 33;

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
  session::Session head;
  const ViewState& view = runner_->host().view();
  head.view.width = view.width;
  head.view.height = view.height;
  head.view.zoom = view.zoom;
  head.view.center = session::Point{view.center.h, view.center.v};
  head.clock = runner_->loop()->clockStart();
  recording_.begin(head);
  runner_->loop()->onAdvance = [this](int64_t tick) { recording_.addTick(tick); };
  if (screen_.first > 0) fitScreen(screen_.first, screen_.second);
  ++document_;
  shapes_.clear();
  revisions_.clear();
  shapeChanged_.clear();
  selection_.reset();
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
  publish(true);
  channel_.waitForAlert(alert_->id);
  alert_.reset();
  publish();
}

namespace {

// A whole number within [low, high], however the JSON wrote it; none otherwise (a string, a
// fraction, a number beyond the range).
std::optional<int64_t> wholeIn(const json* value, int64_t low, int64_t high) {
  if (value == nullptr || !value->is_number()) return std::nullopt;
  const double v = value->get<double>();
  if (!std::isfinite(v) || v != std::floor(v) || v < static_cast<double>(low) || v > static_cast<double>(high))
    return std::nullopt;
  return static_cast<int64_t>(v);
}

const json* member(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

}  // namespace

Reply LiveApp::input(const std::string& body) {
  if (!runner_) return error(409, "no drawing is open");
  std::string why;
  const std::optional<json> root = parseBoundedJson(body, &why);
  if (!root) return error(400, "the input is not valid JSON: " + why);
  const json* events = root->is_object() ? member(*root, "events") : nullptr;
  if (events == nullptr || !events->is_array()) return error(400, "the input must be {\"events\": [...]}");
  if (events->size() > kMaxInputEvents) {
    return error(413, "at most " + std::to_string(kMaxInputEvents) + " events go in one request");
  }
  std::string refused;
  auto published = std::chrono::steady_clock::now();
  for (const json& ev : *events) {
    ++inputs_;
    try {
      refused = inputEvent(ev);
    } catch (const std::exception& e) {
      // Whatever the page sends, nothing of it may end the host.
      refused = std::string("the event cannot be read: ") + e.what();
    }
    if (!refused.empty() || channel_.quitting()) break;
    // A long batch keeps the page's picture moving.
    const auto now = std::chrono::steady_clock::now();
    if (now - published > std::chrono::milliseconds(kBatchFrameMillis)) {
      publish();
      published = now;
    }
  }
  // The loop publishes the frame that shows it, once it has also delivered the ticks due.
  if (!refused.empty()) {
    note("input refused: " + refused);
    return error(recording_.full() ? 507 : 400, refused);
  }
  return ok();
}

std::string LiveApp::inputEvent(const json& ev) {
  if (!ev.is_object()) return "an event must be an object with a \"type\"";
  const json* typeValue = member(ev, "type");
  if (typeValue == nullptr || !typeValue->is_string()) return "an event's \"type\" must be a string";
  const std::string type = typeValue->get<std::string>();
  if (type == "quit") {
    channel_.quit();
    return {};
  }
  // The page's size is the screen the palettes live on. It is the window manager's business,
  // not the plug-in's, and not part of the session.
  if (type == "screen") {
    const auto width = wholeIn(member(ev, "width"), 100, 100000);
    const auto height = wholeIn(member(ev, "height"), 100, 100000);
    if (!width || !height) return "the screen's \"width\" and \"height\" must be whole numbers from 100 to 100000";
    fitScreen(static_cast<int>(*width), static_cast<int>(*height));
    return {};
  }
  if (recording_.full()) {
    return "the session of this drawing is full (it holds what `run` can replay): save it with "
           "File > Save session, then open the drawing again to go on";
  }
  json event = ev;
  // A pointer position in window pixels becomes the artwork point under it, as the application
  // maps the mouse.
  if (type == "pointer" && ev.contains("px")) {
    const json& px = ev["px"];
    if (!px.is_array() || px.size() != 2 || !px[0].is_number() || !px[1].is_number()) {
      return "\"px\" must be a pair of numbers";
    }
    const double x = px[0].get<double>(), y = px[1].get<double>();
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6 || std::fabs(y) > 1e6) {
      return "\"px\" is off any window";
    }
    AIPoint at{};
    at.h = toPixel(x);
    at.v = toPixel(y);
    const AIRealPoint artwork = runner_->host().view().toArtwork(at);
    event.erase("px");
    event["at"] = json::array({static_cast<double>(artwork.h), static_cast<double>(artwork.v)});
  }
  // The page's events are read as a session file's are, and checked against the drawing as a
  // replay checks them, so that whatever is taken here replays.
  session::SessionResult parsed = session::parseSession(json{{"events", json::array({event})}}.dump(), "input");
  if (!parsed) return parsed.error;
  session::Event taken = parsed.session->events.front();
  if (!fromPage(taken.type)) {
    return std::string("a page does not send \"") + session::typeName(taken.type) + "\" events";
  }
  std::string why;
  if (!runner_->checkEvent(taken, "input", &why) || !runner_->playOne(taken, &why)) return why;
  if (readsClock(taken.type)) taken.clock = runner_->loop()->eventClock();
  if (!recording_.add(std::move(taken))) {
    return "the session of this drawing is full: save it with File > Save session, then open the "
           "drawing again to go on";
  }
  return {};
}

void LiveApp::fitScreen(int width, int height) {
  AIRect& area = runner_->host().paletteArea();
  area.left = 0;
  area.top = kMenuBarHeight;
  // A screen beyond the reach of the platform's view coordinates is used as far as they reach.
  area.right = toPixel(width);
  area.bottom = toPixel(height);
  // As a window manager does when the screen shrinks, a palette that would be (partly) off it is
  // brought back; the plug-in saves where it then is.
  for (auto& [id, dialog] : runner_->host().dialogs().dialogs) {
    if (!dialog.destroying) placeDialog(runner_->host(), dialog, dialog.bounds.left, dialog.bounds.top);
  }
  screen_ = {width, height};
}

namespace {

// What a file that is plainly no drawing is, from its first bytes; empty when it may be one.
std::string notADrawing(const std::string& bytes) {
  const auto starts = [&](std::string_view magic) { return bytes.compare(0, magic.size(), magic) == 0; };
  if (starts("\x89PNG")) return "a PNG image";
  if (starts("\xFF\xD8\xFF")) return "a JPEG image";
  if (starts("GIF8")) return "a GIF image";
  if (starts("%PDF")) return "a PDF document";
  if (starts("PK\x03\x04")) return "a ZIP archive";
  if (starts("RIFF") && bytes.compare(8, 4, "WEBP") == 0) return "a WebP image";
  return {};
}

}  // namespace

Reply LiveApp::openDrawing(const std::string& svgText, const std::string& name, bool keepClones) {
  if (const std::string kind = notADrawing(svgText); !kind.empty()) {
    return error(422, session::shownText(name) + " is not an SVG drawing: it is " + kind);
  }
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
  note("opened " + session::shownText(name));
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
  r.body = recording_.write();
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
  state["showEdges"] = host.view().showEdges != 0;
  state["vertices"] = runner_->vertices();
  state["events"] = recording_.size();
  state["inputs"] = inputs_;
  return state.dump();
}

void LiveApp::publish(bool force) {
  if (!runner_ || !runner_->drawing()) return;
  // A frame is made only for a page that waits for one (or for an alert, which the page must
  // see before it can be answered); until then the picture is only marked as behind.
  if (!force && !channel_.frameWanted()) {
    stale_ = true;
    return;
  }
  stale_ = false;
  const std::uint64_t seq = seq_ + 1;
  bool changed = false;
  const svg::Drawing& drawing = *runner_->drawing();
  const Document& document = runner_->host().document();
  const ViewState& view = runner_->host().view();
  // Only the shapes whose geometry changed, or all of them when the zoom changed, are encoded
  // anew, and a shape whose bytes came out the same keeps the last frame's: what the page could
  // not tell apart is not sent again.
  const std::vector<PageShape> shapes = pageShapes(drawing, document);
  const bool zoomed = view.zoom != encodedZoom_;
  encodedZoom_ = view.zoom;
  if (shapes_.size() != shapes.size()) changed = true;
  shapes_.resize(shapes.size());
  revisions_.resize(shapes.size(), 0);
  shapeChanged_.resize(shapes.size(), 0);
  std::vector<std::size_t> selected;
  std::vector<std::pair<std::size_t, std::size_t>> shapePaths;
  shapePaths.reserve(shapes.size());
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    shapePaths.emplace_back(shapes[k].firstPath, shapes[k].pathCount);
    const bool regrouped = k >= shapePaths_.size() || shapePaths_[k] != shapePaths.back();
    if (!shapes_[k] || zoomed || regrouped || revisions_[k] != shapes[k].revision) {
      std::string bytes = encodeShape(drawing, shapes[k], document, pixelsPerUnit(drawing, shapes[k].shape, view));
      if (!shapes_[k] || *shapes_[k] != bytes) {
        shapes_[k] = std::make_shared<const std::string>(std::move(bytes));
        shapeChanged_[k] = seq;
        changed = true;
      }
      revisions_[k] = shapes[k].revision;
    }
    if (shapes[k].selected) selected.push_back(k);
  }
  if (!selection_ || selected != selected_ || shapePaths != shapePaths_) {
    selected_ = std::move(selected);
    shapePaths_ = std::move(shapePaths);
    json paths = json::array();
    for (const auto& [first, count] : shapePaths_) {
      json places = json::array();
      for (std::size_t p = first; p < first + count; ++p) places.push_back(p);
      paths.push_back(std::move(places));
    }
    selection_ = std::make_shared<const std::string>(json{{"selected", selected_}, {"shapePaths", paths}}.dump());
    selectionChanged_ = seq;
    changed = true;
  }
  std::string state = stateJson();
  // A frame the same as the last is not made: a page waiting for one waits on.
  if (!changed && state == lastState_) return;
  lastState_ = state;
  seq_ = seq;
  auto frame = std::make_shared<Frame>();
  frame->seq = seq;
  frame->document = document_;
  frame->shapes = shapes_;
  frame->shapeChanged = shapeChanged_;
  frame->selection = selection_;
  frame->selectionChanged = selectionChanged_;
  frame->state = std::move(state);
  channel_.publish(std::move(frame));
}

void LiveApp::publishIfBehind() {
  if (stale_) publish();
}

}  // namespace simhost::live
