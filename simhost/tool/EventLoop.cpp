#include "tool/EventLoop.h"

#include "core/HostClock.h"
#include "core/ViewLimits.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace simhost {

namespace {

// The largest window the loop accepts: the view's pixel arithmetic stays far from overflow.
constexpr int32_t kMaxWindowSide = 16384;

SPMessageData header(Host& host, SPPluginRef plugin) {
  SPMessageData d{};
  d.SPCheck = kSPValidSPMessageData;
  d.self = plugin;
  d.globals = nullptr;
  d.basic = host.basicSuite();
  return d;
}

}  // namespace

HostEvent HostEvent::select(AIToolHandle tool) {
  HostEvent e;
  e.kind = Kind::SelectTool;
  e.tool = tool;
  return e;
}

HostEvent HostEvent::deselect() {
  HostEvent e;
  e.kind = Kind::DeselectTool;
  return e;
}

HostEvent HostEvent::pointer(Kind kind, AIRealPoint cursor) {
  HostEvent e;
  e.kind = kind;
  e.cursor = cursor;
  return e;
}

HostEvent HostEvent::idle(int64_t ticks) {
  HostEvent e;
  e.kind = Kind::Idle;
  e.ticks = ticks;
  return e;
}

bool EventQueue::next(HostEvent* event) {
  if (events_.empty()) return false;
  *event = events_.front();
  events_.pop_front();
  return true;
}

EventLoop::EventLoop(Host& host, SPPluginRef plugin, PluginSend send, LoopOptions options)
    : host_(host),
      tools_(host.tools()),
      plugin_(plugin),
      send_(std::move(send)),
      options_(options),
      start_(std::chrono::steady_clock::now()) {
  const bool live = options_.timing == LoopOptions::Timing::Live;
  clockStart_ = options_.clockStart ? *options_.clockStart
                                    : (live ? hostclock::systemMicros() : kReplayEpoch);
  eventClock_ = clockStart_;
  syncTimers();
}

ASErr EventLoop::send(const char* caller, const char* selector, SPMessageData* d) {
  *d = header(host_, plugin_);
  const ASErr result = send_ ? send_(caller, selector, d) : kCantHappenErr;
  ++stats_.messages;
  if (options_.keepLog || (result != kNoErr && onError)) {
    SentMessage sent{now_, caller, selector, result};
    if (result != kNoErr && onError) onError(sent);
    if (options_.keepLog) log_.push_back(std::move(sent));
  }
  // Any message may switch timers on or off: their schedule starts from the tick they were
  // switched on.
  syncTimers();
  return result;
}

ASErr EventLoop::sendTool(const char* selector) {
  AIToolMessage message{};
  message.tool = selectedTool_;
  message.cursor = cursor_;
  return send(kAIToolCaller, selector, &message.d);
}

void EventLoop::syncTimers() {
  for (const TimerRecord& timer : tools_.timers) {
    auto scheduled = nextDue_.find(timer.handle);
    if (timer.active && scheduled == nextDue_.end()) {
      nextDue_[timer.handle] = now_ + timer.period;
    } else if (!timer.active && scheduled != nextDue_.end()) {
      nextDue_.erase(scheduled);
    }
  }
}

int64_t EventLoop::clockTicks() const {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<int64_t>(std::floor(elapsed.count() * kHostTicksPerSecond));
}

int64_t EventLoop::clockAt(int64_t tick) const {
  return clockStart_ + tick * 1'000'000 / kHostTicksPerSecond;
}

int64_t EventLoop::beginEvent(std::optional<int64_t> recorded, bool drag) {
  switch (options_.timing) {
    case LoopOptions::Timing::Live:
      eventClock_ = recorded ? *recorded : hostclock::systemMicros();
      break;
    case LoopOptions::Timing::Recorded:
      eventClock_ = recorded ? *recorded : clockAt(now_);
      break;
    case LoopOptions::Timing::Replay:
      eventClock_ = clockAt(now_);
      if (drag && lastDragClock_) {
        const auto spacing = static_cast<int64_t>(std::ceil(options_.dragSpacing * 1e6));
        eventClock_ = std::max(eventClock_, *lastDragClock_ + spacing);
      }
      if (drag) lastDragClock_ = eventClock_;
      break;
  }
  hostclock::set(eventClock_);
  return eventClock_;
}

void EventLoop::deliverTicksDueBy(int64_t tick) {
  // Live and recorded loops do not replay the ticks they missed.
  const bool live = options_.timing != LoopOptions::Timing::Replay;
  if (options_.timing == LoopOptions::Timing::Live && tick > now_ && onAdvance) onAdvance(tick);
  for (;;) {
    syncTimers();
    int64_t due = tick + 1;
    for (const auto& [handle, next] : nextDue_) due = std::min(due, next);
    if (due > tick) break;
    // A live loop that fell behind does not replay the ticks it missed: it sends one and goes on
    // from the present.
    now_ = live ? tick : due;
    hostclock::set(clockAt(now_));
    // Timers in the order they were added; a tick may switch another timer off.
    for (std::size_t i = 0; i < tools_.timers.size(); ++i) {
      const AITimerHandle handle = tools_.timers[i].handle;
      auto scheduled = nextDue_.find(handle);
      if (scheduled == nextDue_.end() || scheduled->second > due) continue;
      if (!tools_.timers[i].active) continue;
      scheduled->second = now_ + tools_.timers[i].period;
      AITimerMessage message{};
      message.timer = handle;
      ++stats_.timerTicks;
      send(kAITimerCaller, kAITimerGoSelector, &message.d);
    }
    redraw();
  }
  now_ = std::max(now_, tick);
}

void EventLoop::advanceTo(int64_t tick) {
  if (tick <= now_) return;
  deliverTicksDueBy(tick);
}

void EventLoop::idle(int64_t ticks) {
  if (options_.timing == LoopOptions::Timing::Live || ticks <= 0) return;
  advanceTo(now_ + ticks);
}

void EventLoop::pump() {
  if (options_.timing == LoopOptions::Timing::Live) deliverTicksDueBy(clockTicks());
  redraw();
}

void EventLoop::deliverTicksAt(int64_t tick) {
  if (tick > now_) deliverTicksDueBy(tick);
  redraw();
}

double EventLoop::secondsUntilDue() const {
  if (nextDue_.empty()) return std::numeric_limits<double>::infinity();
  int64_t due = nextDue_.begin()->second;
  for (const auto& [handle, next] : nextDue_) due = std::min(due, next);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return std::max(0.0, static_cast<double>(due) / kHostTicksPerSecond - elapsed.count());
}

ASErr EventLoop::redraw() {
  if (!tools_.invalid()) return kNoErr;
  // Invalidations made while drawing wait for the next redraw.
  tools_.invalidRects.clear();
  if (!host_.view().open) {
    overlay_.clear();
    return kNoErr;
  }
  OverlayRecording recording;
  ASErr first = kNoErr;
  bool drew = false;
  for (std::size_t i = 0; i < tools_.annotators.size(); ++i) {
    if (!tools_.annotators[i].active) continue;
    _t_AIAnnotatorDrawer drawer;
    drawer.recording = &recording;
    AIAnnotatorMessage message{};
    message.annotator = tools_.annotators[i].handle;
    message.view = host_.viewHandle();
    message.drawer = &drawer;
    message.invalidationRect = nullptr;
    ++stats_.draws;
    drew = true;
    const ASErr err = send(kAIAnnotatorCaller, kAIAnnotatorDrawSelector, &message.d);
    if (first == kNoErr) first = err;
  }
  if (drew) ++stats_.redraws;
  overlay_ = std::move(recording);
  return first;
}

bool EventLoop::applyViewChange(const HostEvent& event) {
  ViewState view = host_.view();
  if (event.center) {
    if (!(std::fabs(event.center->h) <= kMaxArtworkCoordinate) ||
        !(std::fabs(event.center->v) <= kMaxArtworkCoordinate)) {
      return false;
    }
    view.center = *event.center;
  }
  if (event.zoom) {
    if (!(*event.zoom >= kMinZoom && *event.zoom <= kMaxZoom)) return false;
    view.zoom = *event.zoom;
  }
  if (event.width) {
    if (*event.width <= 0 || *event.width > kMaxWindowSide) return false;
    view.width = *event.width;
  }
  if (event.height) {
    if (*event.height <= 0 || *event.height > kMaxWindowSide) return false;
    view.height = *event.height;
  }
  host_.view() = view;
  return true;
}

ASErr EventLoop::changeView() {
  const ViewState& view = host_.view();
  if (!view.open) return kNoErr;

  // The host redraws the whole window after a scroll or zoom, and tells every active annotator
  // which artwork the window now shows.
  Rect window{};
  window.right = view.width;
  window.bottom = view.height;
  tools_.invalidate(window, view);
  AIRealRect bounds = view.bounds();
  ASErr first = kNoErr;
  for (std::size_t i = 0; i < tools_.annotators.size(); ++i) {
    if (!tools_.annotators[i].active) continue;
    AIAnnotatorMessage message{};
    message.annotator = tools_.annotators[i].handle;
    message.view = host_.viewHandle();
    message.drawer = nullptr;
    message.invalidationRect = &bounds;
    const ASErr err = send(kAIAnnotatorCaller, kAIAnnotatorInvalidateSelector, &message.d);
    if (first == kNoErr) first = err;
  }
  return first;
}

ASErr EventLoop::pointerEvent(const HostEvent& event) {
  using Kind = HostEvent::Kind;
  // Pointer messages go to the selected tool only.
  cursor_ = event.cursor;
  if (selectedTool_ == nullptr) return kNoErr;

  Kind kind = event.kind;
  // A move with the button down is a drag, a drag with the button up a move.
  if (kind == Kind::Track && buttonDown_) kind = Kind::MouseDrag;
  if (kind == Kind::MouseDrag && !buttonDown_) kind = Kind::Track;

  switch (kind) {
    case Kind::Track:
      return sendTool(kAIToolTrackCursorSelector);
    case Kind::MouseDown: {
      ASErr first = kNoErr;
      if (buttonDown_) first = sendTool(kAIToolMouseUpSelector);
      buttonDown_ = true;
      const ASErr err = sendTool(kAIToolMouseDownSelector);
      return first != kNoErr ? first : err;
    }
    case Kind::MouseDrag: {
      if (options_.timing == LoopOptions::Timing::Replay) {
        if (lastDragTick_ && now_ < *lastDragTick_ + 1) advanceTo(*lastDragTick_ + 1);
        beginEvent(event.clock, true);
      }
      ++stats_.drags;
      const ASErr err = sendTool(kAIToolMouseDragSelector);
      lastDragTick_ = now_;
      return err;
    }
    case Kind::MouseUp:
      if (!buttonDown_) return kNoErr;
      buttonDown_ = false;
      return sendTool(kAIToolMouseUpSelector);
    default:
      return kNoErr;
  }
}

ASErr EventLoop::dispatch(const HostEvent& event) {
  using Kind = HostEvent::Kind;
  // Live: the ticks due first, and their redraw, as pump() does; a recorded run replays each
  // tick it moved to the same way (deliverTicksAt).
  if (options_.timing == LoopOptions::Timing::Live) pump();
  if (event.kind != Kind::Idle) beginEvent(event.clock);

  ASErr result = kNoErr;
  switch (event.kind) {
    case Kind::SelectTool: {
      AIToolHandle tool = event.tool;
      if (tool == nullptr && !tools_.tools.empty()) tool = tools_.tools.front().handle;
      if (tool == nullptr || tools_.findTool(tool) == nullptr) return kNoSuchObjectErr;
      if (tool == selectedTool_) break;
      if (selectedTool_ != nullptr) {
        // Leaving the previous tool is part of this event and reads the same clock.
        HostEvent leave = HostEvent::deselect();
        leave.clock = eventClock_;
        result = dispatch(leave);
      }
      selectedTool_ = tool;
      const ASErr err = sendTool(kAIToolSelectSelector);
      if (result == kNoErr) result = err;
      break;
    }
    case Kind::DeselectTool:
      if (selectedTool_ == nullptr) break;
      if (buttonDown_) {
        buttonDown_ = false;
        result = sendTool(kAIToolMouseUpSelector);
      }
      {
        const ASErr err = sendTool(kAIToolDeselectSelector);
        if (result == kNoErr) result = err;
      }
      selectedTool_ = nullptr;
      break;
    case Kind::Track:
    case Kind::MouseDown:
    case Kind::MouseDrag:
    case Kind::MouseUp:
      result = pointerEvent(event);
      break;
    case Kind::ChangeView:
      if (!applyViewChange(event)) return kBadParameterErr;
      result = changeView();
      break;
    case Kind::Idle:
      idle(event.ticks);
      return kNoErr;
  }
  const ASErr drawn = redraw();
  return result != kNoErr ? result : drawn;
}

ASErr EventLoop::run(EventSource& source) {
  ASErr first = kNoErr;
  HostEvent event;
  while (source.next(&event)) {
    const ASErr err = dispatch(event);
    if (first == kNoErr) first = err;
  }
  return first;
}

}  // namespace simhost
