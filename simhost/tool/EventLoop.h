// The host's user-interface thread: one loop that hands the plug-in its tool, pointer, timer and
// annotation messages, one at a time.
//
// Where events come from (a replayed session, a person at an interactive front end) is kept apart
// from how they are dispatched: an EventSource yields HostEvents, the EventLoop turns each into
// host messages and sends them through a PluginSend, which may be the plug-in loader or a direct
// in-process call.
//
// Time. The loop counts host ticks of 1/60 s, and it sets the host's clock (HostClock.h), which
// the module reads through the C library, before every message it sends.
//  - Replay: time is virtual. It moves only when the loop moves it: an "idle" event lets ticks
//    pass, and a drag comes at least one tick after the previous drag. Timer messages fall on
//    exact ticks, and the clock reads the loop's start plus its ticks, so the same events always
//    give the same messages with the same readings. The plug-in throttles drags by the clock:
//    each drag reads at least dragSpacing seconds more than the previous one (longer than the
//    plug-in's drag interval of 1/60 s), so it handles every replayed drag but the first after
//    the module is loaded, which only starts its clock. Nothing waits in real time.
//  - Live: time is the system's steady clock; pump() delivers the timer messages that are due,
//    and each event reads the system's clock as it is dispatched. onAdvance is told of every
//    tick the loop moves to, so that a live run can be recorded.
//  - Recorded: a live run again. Time moves only to the ticks the run moved to
//    (deliverTicksAt), timers behave as they did live, and each event reads the clock the live
//    run gave it.
// Timer messages read the loop's start plus their tick in every mode.
#ifndef SARVELLO_SIMHOST_TOOL_EVENTLOOP_H
#define SARVELLO_SIMHOST_TOOL_EVENTLOOP_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "tool/Overlay.h"
#include "tool/ToolState.h"

namespace simhost {

// Sends one message to the plug-in and answers its result. The message begins with the header
// (SPMessageData) filled by the loop: check value, plug-in reference, SP Basic Suite and an empty
// globals slot (a loader puts the plug-in's globals there).
using PluginSend = std::function<ASErr(const char* caller, const char* selector, void* message)>;

inline constexpr int kHostTicksPerSecond = kTicksPerSecond;  // 60

// Where a replay's clock starts: 2026-01-01 00:00:00 UTC, in microseconds.
inline constexpr int64_t kReplayEpoch = int64_t{1767225600} * 1'000'000;

// Something the user (or a replayed session) does.
struct HostEvent {
  enum class Kind {
    SelectTool,    // pick a tool (none: the first tool registered)
    DeselectTool,  // leave the selected tool
    Track,         // pointer moved with the button up
    MouseDown,     // button pressed
    MouseDrag,     // pointer moved with the button down
    MouseUp,       // button released
    ChangeView,    // scroll, zoom or resize the document window
    Idle,          // Replay: let `ticks` ticks pass; Live: nothing
  };
  Kind kind = Kind::Idle;
  AIRealPoint cursor{0.0f, 0.0f};  // pointer events, artwork coordinates
  AIToolHandle tool = nullptr;     // SelectTool
  // ChangeView: the values that change.
  std::optional<AIRealPoint> center;
  std::optional<double> zoom;
  std::optional<int32_t> width;
  std::optional<int32_t> height;
  int64_t ticks = 0;  // Idle
  // Recorded: what the module's clock read while the event was handled live (microseconds since
  // the epoch).
  std::optional<int64_t> clock;

  static HostEvent select(AIToolHandle tool = nullptr);
  static HostEvent deselect();
  static HostEvent pointer(Kind kind, AIRealPoint cursor);
  static HostEvent idle(int64_t ticks);
};

// Where events come from.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // The next event; false when there is none (a replay has ended, a front end was closed).
  virtual bool next(HostEvent* event) = 0;
};

// Events given in advance, in order.
class EventQueue : public EventSource {
 public:
  void push(const HostEvent& event) { events_.push_back(event); }
  bool next(HostEvent* event) override;
  std::size_t size() const { return events_.size(); }

 private:
  std::deque<HostEvent> events_;
};

struct LoopOptions {
  enum class Timing { Replay, Live, Recorded };
  Timing timing = Timing::Replay;
  // Replay: how much more each drag reads on the clock than the previous one (see above).
  double dragSpacing = 0.018;
  // What the clock reads at tick 0, in microseconds since the epoch. Live: unset, the system's
  // clock when the loop starts; otherwise unset means kReplayEpoch.
  std::optional<int64_t> clockStart;
  // Keep every message sent in log().
  bool keepLog = true;
};

// One message the loop sent and what the plug-in answered.
struct SentMessage {
  int64_t tick = 0;
  std::string caller;
  std::string selector;
  ASErr result = kNoErr;
};

struct LoopStats {
  int64_t messages = 0;
  int64_t timerTicks = 0;  // "AI Timer" messages
  int64_t redraws = 0;     // redraws that sent at least one "AI Draw"
  int64_t draws = 0;       // "AI Draw" messages
  int64_t drags = 0;       // "AI Mouse Drag" messages
};

class EventLoop {
 public:
  EventLoop(Host& host, SPPluginRef plugin, PluginSend send, LoopOptions options = {});
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Handles one event: first the time that passes before it (timer messages due, each tick
  // followed by a redraw), then its messages, then one redraw of whatever was invalidated.
  // Answers the first non-zero result of the event's own messages; kNoSuchObjectErr when there is
  // no tool to select, kBadParameterErr for an impossible view change (nothing is changed).
  ASErr dispatch(const HostEvent& event);
  // Dispatches every event of the source; answers the first non-zero result.
  ASErr run(EventSource& source);

  // Replay: lets ticks pass (same as an Idle event).
  void idle(int64_t ticks);
  // Live: delivers the timer messages that are due by the clock and redraws.
  void pump();
  // Recorded: moves to the tick as the live loop did when it got there (a live loop that fell
  // behind sends one timer message and goes on from the present), then redraws.
  void deliverTicksAt(int64_t tick);
  // Sets the host's clock for an event (or a panel action, which reaches the plug-in without the
  // loop) and answers the reading: Live and Recorded, `recorded` when given; otherwise, Live, the
  // system's clock, and Recorded and Replay the loop's virtual time, in Replay for a drag no less
  // than dragSpacing after the previous drag.
  int64_t beginEvent(std::optional<int64_t> recorded, bool drag = false);
  // What the clock read for the last event.
  int64_t eventClock() const { return eventClock_; }
  // What the clock reads at a tick.
  int64_t clockAt(int64_t tick) const;
  int64_t clockStart() const { return clockStart_; }
  LoopOptions::Timing timing() const { return options_.timing; }
  // Live: told of each tick the loop moves to, before its timer messages are sent.
  std::function<void(int64_t tick)> onAdvance;
  // Live: seconds until the next timer message is due (0 when one is overdue, infinity while no
  // timer is active): how long a front end may wait for input before it calls pump().
  double secondsUntilDue() const;
  // One coalesced redraw: when any part of the view is invalid, every active annotator gets one
  // "AI Draw" with a drawer that records into overlay(). Answers the first non-zero result.
  ASErr redraw();

  int64_t now() const { return now_; }  // host ticks since the loop started
  bool toolSelected() const { return selectedTool_ != nullptr; }
  AIToolHandle selectedTool() const { return selectedTool_; }
  bool buttonDown() const { return buttonDown_; }
  AIRealPoint cursor() const { return cursor_; }

  // The overlay as the last redraw drew it.
  const OverlayRecording& overlay() const { return overlay_; }
  const LoopStats& stats() const { return stats_; }
  const std::vector<SentMessage>& log() const { return log_; }
  void clearLog() { log_.clear(); }
  // Told of every message whose result is not 0.
  std::function<void(const SentMessage&)> onError;

 private:
  ASErr send(const char* caller, const char* selector, SPMessageData* header);
  ASErr sendTool(const char* selector);
  void advanceTo(int64_t tick);
  int64_t clockTicks() const;
  void syncTimers();
  void deliverTicksDueBy(int64_t tick);
  bool applyViewChange(const HostEvent& event);  // false: impossible values, nothing changed
  ASErr changeView();  // after the view changed: redraw everything, tell the annotators
  ASErr pointerEvent(const HostEvent& event);

  Host& host_;
  ToolState& tools_;
  SPPluginRef plugin_;
  PluginSend send_;
  LoopOptions options_;

  int64_t now_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::map<AITimerHandle, int64_t> nextDue_;  // active timers: the tick of their next message

  AIToolHandle selectedTool_ = nullptr;
  bool buttonDown_ = false;
  AIRealPoint cursor_{0.0f, 0.0f};
  std::optional<int64_t> lastDragTick_;
  int64_t clockStart_ = 0;
  int64_t eventClock_ = 0;
  std::optional<int64_t> lastDragClock_;  // Replay: what the last drag read

  OverlayRecording overlay_;
  LoopStats stats_;
  std::vector<SentMessage> log_;
};

}  // namespace simhost

#endif
