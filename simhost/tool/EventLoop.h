// The host's user-interface thread: one loop that hands the plug-in its tool, pointer, timer and
// annotation messages, one at a time.
//
// Where events come from (a replayed session, a person at an interactive front end) is kept apart
// from how they are dispatched: an EventSource yields HostEvents, the EventLoop turns each into
// host messages and sends them through a PluginSend, which may be the plug-in loader or a direct
// in-process call.
//
// Time. The loop counts host ticks of 1/60 s.
//  - Replay: time is virtual. It moves only when the loop moves it: an "idle" event lets ticks
//    pass, and a drag comes at least one tick after the previous drag. Timer messages fall on
//    exact ticks, so the same events always give the same messages in the same order.
//  - Live: time is the system's steady clock; pump() delivers the timer messages that are due.
// The plug-in throttles drags itself, by the system clock, and the module has no way to be told
// another time (the real host offers none). So that a replay stays deterministic, the Replay loop
// waits, in real time, dragSpacing seconds after the previous drag returned before it sends the
// next one: longer than the plug-in's drag interval of 1/60 s, so the plug-in handles every
// replayed drag (but the first after the module is loaded, which only starts its clock). This
// costs at most 18 ms of real time per drag and nothing otherwise.
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

#include "Host.h"
#include "picture/Overlay.h"
#include "tool/ToolSuites.h"

namespace simhost {

// Sends one message to the plug-in and answers its result. The message begins with the header
// (SPMessageData) filled by the loop: check value, plug-in reference, SP Basic Suite and an empty
// globals slot (a loader puts the plug-in's globals there).
using PluginSend = std::function<ASErr(const char* caller, const char* selector, void* message)>;

inline constexpr int kHostTicksPerSecond = kTicksPerSecond;  // 60

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
  enum class Timing { Replay, Live };
  Timing timing = Timing::Replay;
  // Replay: real seconds between the return of one drag and the sending of the next (see above).
  // 0 turns the wait off, for plug-ins without a throttle.
  double dragSpacing = 0.018;
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
  // The tool suites must be installed on host (installToolSuites).
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
  void waitForDragSpacing();
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
  std::optional<std::chrono::steady_clock::time_point> lastDragSteady_;
  std::optional<std::chrono::system_clock::time_point> lastDragSystem_;

  OverlayRecording overlay_;
  LoopStats stats_;
  std::vector<SentMessage> log_;
};

}  // namespace simhost

#endif
