// The runner's life: the host and the module from start() to quit(), the drawing loaded into the
// document, what the host tells while the run goes on, and the run's figures. Session playback is
// in Playback.cpp, pictures in Pictures.cpp.
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
#include "core/ViewLimits.h"
#include "svg/Svg.h"
#include "tool/EventLoop.h"
#include "tool/ToolState.h"

namespace simhost::app {

std::string describeCode(ASErr code) {
  const auto byte = [code](int shift) { return static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF); };
  const std::string text{byte(24), byte(16), byte(8), byte(0)};
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  return printable ? "'" + text + "'" : std::to_string(code);
}

namespace {

// As the application shows a document it opens: when the drawing is larger than the window at
// the view's zoom, the view is zoomed out until all of it shows, with a margin.
void showWhole(ViewState& view, const svg::Drawing& drawing) {
  const svg::Affine& m = drawing.userToArtwork();
  const double scale = std::hypot(m.a, m.b);
  const double width = drawing.canvasWidth() * scale, height = drawing.canvasHeight() * scale;
  if (!(width > 0) || !(height > 0)) return;
  const double fit = 0.95 * std::min(view.width / width, view.height / height);
  if (fit < view.zoom) view.zoom = std::max(kMinZoom, fit);
}

struct Point {
  double x, y;
};

// The outline of a path's segments as a polyline that stays within `flatness` of its curves.
std::vector<Point> flatten(const std::vector<AIPathSegment>& segments, bool closed, double flatness) {
  std::vector<Point> out;
  if (segments.empty()) return out;
  out.push_back({segments[0].p.h, segments[0].p.v});
  const auto curve = [&](const auto& self, Point p0, Point p1, Point p2, Point p3, int depth) -> void {
    // Flat when both controls lie within `flatness` of the chord.
    const double dx = p3.x - p0.x, dy = p3.y - p0.y, length = std::hypot(dx, dy);
    const auto off = [&](Point c) {
      return length > 0 ? std::fabs((c.x - p0.x) * dy - (c.y - p0.y) * dx) / length : std::hypot(c.x - p0.x, c.y - p0.y);
    };
    if (depth >= 16 || (off(p1) <= flatness && off(p2) <= flatness)) {
      out.push_back(p3);
      return;
    }
    const auto mid = [](Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
    const Point a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3), ab = mid(a, b), bc = mid(b, c), m = mid(ab, bc);
    self(self, p0, a, ab, m, depth + 1);
    self(self, m, bc, c, p3, depth + 1);
  };
  const auto segment = [&](const AIPathSegment& from, const AIPathSegment& to) {
    curve(curve, {from.p.h, from.p.v}, {from.out.h, from.out.v}, {to.in.h, to.in.v}, {to.p.h, to.p.v}, 0);
  };
  for (std::size_t k = 1; k < segments.size(); ++k) segment(segments[k - 1], segments[k]);
  if (closed) segment(segments.back(), segments.front());
  return out;
}

double distanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Whether an anchor of `now` lies farther than `tolerance` from the outline of `was`. The tool's
// points follow the outline in order, so each is looked for near where the last one was found
// first.
bool leavesOutline(const std::vector<AIPathSegment>& now, const std::vector<AIPathSegment>& was, bool closed,
                   double tolerance) {
  const std::vector<Point> line = flatten(was, closed, tolerance / 10);
  if (line.empty()) return !now.empty();
  const std::size_t segments = line.size() > 1 ? line.size() - 1 : 1;
  const auto distance = [&](Point p, std::size_t k) {
    return line.size() > 1 ? distanceToSegment(p, line[k], line[k + 1]) : std::hypot(p.x - line[0].x, p.y - line[0].y);
  };
  constexpr std::size_t kWindow = 64;
  std::size_t cursor = 0;
  for (const AIPathSegment& s : now) {
    const Point p{s.p.h, s.p.v};
    bool near = false;
    for (std::size_t step = 0; step < kWindow && step < segments && !near; ++step) {
      const std::size_t k = (cursor + step) % segments;
      if (distance(p, k) <= tolerance) {
        cursor = k;
        near = true;
      }
    }
    for (std::size_t k = 0; k < segments && !near; ++k) {
      if (distance(p, k) <= tolerance) {
        cursor = k;
        near = true;
      }
    }
    if (!near) return true;
  }
  return false;
}

}  // namespace

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

Runner::Runner(RunOptions options)
    : options_(std::move(options)), host_(std::make_unique<Host>()), squareSize_(options_.squareSize) {
  host_->openURLsWithSystem = options_.openURLsWithSystem;
  host_->onAlert = [this](const Alert& alert) {
    // The only message alert of a deformation step (a timer tick, a handled drag, the tool's
    // selection) is the vertex limit's, which stops the run; the one of a press asks for a
    // selection.
    static const std::set<std::string> steps = {
        std::string(kAITimerCaller) + "/" + kAITimerGoSelector,
        std::string(kAIToolCaller) + "/" + kAIToolMouseDragSelector,
        std::string(kAIToolCaller) + "/" + kAIToolSelectSelector};
    if (alert.kind == Alert::Message && steps.count(alert.during) != 0) stats_.stoppedAtLimit = true;
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
  importOptions.keepClones = options_.keepClones;
  svg::ImportResult imported = svg::importSvg(svgText, name, host_->document(), host_->view(), importOptions);
  for (const std::string& warning : imported.warnings) note("warning: " + warning);
  if (!imported) {
    *error = imported.error;
    return false;
  }
  if (importOptions.fit && !session.view.zoom) showWhole(host_->view(), *imported.drawing);
  // Every id a selection names must be in the drawing, before anything runs.
  for (const session::Event& event : session.events) {
    const std::string why = selectionProblem(*imported.drawing, name, event);
    if (!why.empty()) {
      *error = sessionName + ": " + why;
      host_->document().clear();
      return false;
    }
  }
  drawing_ = std::move(imported.drawing);
  drawingName_ = name;
  stats_ = RunStats{};
  stats_.leftOut = imported.warnings.size();
  reportedFailures_.clear();
  stats_.paths = drawing_->paths().size();
  stats_.verticesBefore = vertices();
  stats_.texts = drawing_->texts();
  stats_.images = drawing_->images();
  stats_.clones = drawing_->clones();
  stats_.keptClones = drawing_->keptClones();
  loaded_.clear();
  for (AIArtHandle path : drawing_->paths()) {
    const Art* art = host_->document().find(path);
    loaded_.push_back(art ? Loaded{art->segments, art->closed != 0} : Loaded{});
  }
  if (stats_.paths == 0) note(name + ": the drawing has no shapes to stir");
  return true;
}

std::string Runner::selectionProblem(const svg::Drawing& drawing, const std::string& name,
                                     const session::Event& event) {
  if (event.type != session::Event::Type::Select) return {};
  for (const std::string& id : event.ids) {
    if (!drawing.pathsWithId(id).empty()) continue;
    const std::string element = drawing.elementWithId(id);
    const std::string shown = "\"" + session::shownText(id) + "\"";
    std::string why = " has no shape or group with id " + shown;
    if (element == "text" || element == "tspan" || element == "textPath") {
      why = ": " + shown + " is a <" + element + "> element, and text is not stirred";
    } else if (drawing.leftOut(id)) {
      why = ": the element with id " + shown + " was left out (see the warning above)";
    } else if (!element.empty()) {
      why = ": " + shown + " is a <" + element + "> element without shapes to stir";
    }
    return eventName(event) + ": " + name + why;
  }
  return {};
}

bool Runner::checkEvent(const session::Event& event, const std::string& sessionName,
                        std::string* error) const {
  if (!drawing_) return true;
  const std::string why = selectionProblem(*drawing_, drawingName_, event);
  if (!why.empty()) *error = sessionName + ": " + why;
  return why.empty();
}

std::size_t Runner::vertices() const {
  if (!drawing_) return 0;
  std::size_t n = 0;
  for (AIArtHandle path : drawing_->paths()) {
    if (const Art* art = host_->document().find(path)) n += art->segments.size();
  }
  return n;
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

double Runner::samplingDistance() const {
  for (const auto& [id, dialog] : host_->dialogs().dialogs) {
    if (dialog.destroying) continue;
    const DialogItem* caption = nullptr;
    for (const DialogItem& item : dialog.items) {
      if (item.kind == kADMTextStaticType) caption = &item;
      if (item.isSpinEdit() && caption != nullptr && caption->text == "Sampling" && item.value > 0) return item.value;
    }
  }
  return 2.0;
}

RunStats Runner::stats() const {
  RunStats s = stats_;
  s.verticesAfter = vertices();
  s.pathsMoved = 0;
  s.pathsResampled = 0;
  if (drawing_) {
    const double tolerance = samplingDistance() / 100;
    const std::vector<AIArtHandle> paths = drawing_->paths();
    for (std::size_t k = 0; k < paths.size() && k < loaded_.size(); ++k) {
      const Art* art = host_->document().find(paths[k]);
      if (art == nullptr) continue;
      const auto same = [](const AIPathSegment& a, const AIPathSegment& b) {
        return a.p.h == b.p.h && a.p.v == b.p.v && a.in.h == b.in.h && a.in.v == b.in.v &&
               a.out.h == b.out.h && a.out.v == b.out.v;
      };
      if (std::equal(art->segments.begin(), art->segments.end(), loaded_[k].segments.begin(),
                     loaded_[k].segments.end(), same)) {
        continue;
      }
      if (leavesOutline(art->segments, loaded_[k].segments, loaded_[k].closed, tolerance)) ++s.pathsMoved;
      else ++s.pathsResampled;
    }
  }
  return s;
}

}  // namespace simhost::app
