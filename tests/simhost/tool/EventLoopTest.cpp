// The host's event loop: timer periods, coalesced redraws, pointer routing, drag pacing, view
// changes, and deterministic replays of the real annotator and engine.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "core/HostClock.h"
#include "ToolFixture.h"
#include "tool/EventLoop.h"

namespace {

using simhost::EventLoop;
using simhost::HostEvent;
using Kind = simhost::HostEvent::Kind;

std::string name(const char* caller, const char* selector) {
  return std::string(caller) + "/" + selector;
}

// A plug-in that registers the way Sarvello does and answers each message with a few suite calls.
struct FakePlugin {
  explicit FakePlugin(int32_t period) {
    const AIAddToolData data{"Tool", "Tool", 0, nullptr, -2, -2};
    EXPECT_EQ(kNoErr, sAITool->AddTool(self, "Tool", &data, 1, &tool));
    EXPECT_EQ(kNoErr, sAITimer->AddTimer(self, "timer", period, &timer));
    EXPECT_EQ(kNoErr, sAITimer->SetTimerActive(timer, false));
    EXPECT_EQ(kNoErr, sAIAnnotator->AddAnnotator(self, "annotator", &annotator));
    EXPECT_EQ(kNoErr, sAIAnnotator->SetAnnotatorActive(annotator, false));
  }

  ASErr operator()(const char* caller, const char* selector, void* message) {
    const std::string what = name(caller, selector);
    received.push_back(what);
    const Rect inside = rect(10, 10, 20, 20);
    const Rect other = rect(30, 30, 40, 40);
    if (what == "AI Tool/AI Select") {
      sAITimer->SetTimerActive(timer, true);
      sAIAnnotator->SetAnnotatorActive(annotator, true);
    } else if (what == "AI Tool/AI Deselect") {
      sAITimer->SetTimerActive(timer, false);
      sAIAnnotator->SetAnnotatorActive(annotator, false);
    } else if (what == "AI Timer/AI Go") {
      // Two invalidations in one message: the host redraws once.
      sAIAnnotator->InvalAnnotationRect(nullptr, &inside);
      sAIAnnotator->InvalAnnotationRect(nullptr, &other);
    } else if (what == "AI Tool/AI Mouse Drag") {
      dragTimes.push_back(simhost::hostclock::now());
    } else if (what == "AI Annotation/AI Draw") {
      auto* m = static_cast<AIAnnotatorMessage*>(message);
      drawnBy.push_back(m->annotator);
      sAIAnnotatorDrawer->DrawRect(m->drawer, &inside, false);
    } else if (what == "AI Annotation/AI Invalidate") {
      invalidation = *static_cast<AIAnnotatorMessage*>(message)->invalidationRect;
    }
    return kNoErr;
  }

  int count(const std::string& what) const {
    return static_cast<int>(std::count(received.begin(), received.end(), what));
  }

  SPPluginRef self = reinterpret_cast<SPPluginRef>(0x5E1F);
  AIToolHandle tool = nullptr;
  AITimerHandle timer = nullptr;
  AIAnnotatorHandle annotator = nullptr;
  std::vector<std::string> received;
  std::vector<AIAnnotatorHandle> drawnBy;
  std::vector<int64_t> dragTimes;  // the host clock each drag read
  AIRealRect invalidation{};
};

class EventLoopTest : public ToolTest {
 protected:
  EventLoop& start(int32_t period, double dragSpacing = 0.0) {
    plugin.emplace(period);
    simhost::LoopOptions options;
    options.dragSpacing = dragSpacing;
    loop.emplace(host, plugin->self, std::ref(*plugin), options);
    return *loop;
  }

  std::optional<FakePlugin> plugin;
  std::optional<EventLoop> loop;
};

TEST_F(EventLoopTest, TimerTicksFollowThePeriodFromActivation) {
  EventLoop& l = start(3);
  l.idle(5);
  EXPECT_EQ(0, plugin->count("AI Timer/AI Go"));  // registered inactive
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  l.idle(10);
  std::vector<int64_t> ticks;
  for (const simhost::SentMessage& m : l.log())
    if (m.caller == kAITimerCaller) ticks.push_back(m.tick);
  EXPECT_EQ((std::vector<int64_t>{8, 11, 14}), ticks);  // selected at tick 5

  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::deselect()));
  l.idle(30);
  EXPECT_EQ(3, plugin->count("AI Timer/AI Go"));
  EXPECT_EQ(45, l.now());
}

TEST_F(EventLoopTest, PeriodOneTicksSixtyTimesASecond) {
  EventLoop& l = start(1);
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::idle(simhost::kHostTicksPerSecond)));
  EXPECT_EQ(60, plugin->count("AI Timer/AI Go"));
  EXPECT_EQ(60, l.stats().timerTicks);
}

TEST_F(EventLoopTest, InvalidationsAreCoalescedIntoOneDrawPerActiveAnnotator) {
  EventLoop& l = start(1);
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  l.idle(4);
  EXPECT_EQ(4, plugin->count("AI Annotation/AI Draw"));  // one per tick, not one per rectangle
  ASSERT_EQ(1u, l.overlay().size());
  EXPECT_FALSE(tools().invalid());

  // A second annotator: every redraw draws both, into one recording; inactive ones are skipped.
  AIAnnotatorHandle second = nullptr;
  ASSERT_EQ(kNoErr, sAIAnnotator->AddAnnotator(plugin->self, "second", &second));
  AIAnnotatorHandle third = nullptr;
  ASSERT_EQ(kNoErr, sAIAnnotator->AddAnnotator(plugin->self, "third", &third));
  ASSERT_EQ(kNoErr, sAIAnnotator->SetAnnotatorActive(third, false));
  plugin->drawnBy.clear();
  l.idle(1);
  EXPECT_EQ((std::vector<AIAnnotatorHandle>{plugin->annotator, second}), plugin->drawnBy);
  EXPECT_EQ(2u, l.overlay().size());

  // Nothing invalid, nothing drawn.
  plugin->drawnBy.clear();
  ASSERT_EQ(kNoErr, l.redraw());
  EXPECT_TRUE(plugin->drawnBy.empty());
}

TEST_F(EventLoopTest, PointerMessagesGoToTheSelectedToolOnlyAndKeepTheButtonConsistent) {
  EventLoop& l = start(1);
  l.dispatch(HostEvent::pointer(Kind::MouseDown, {1, 2}));
  l.dispatch(HostEvent::pointer(Kind::MouseDrag, {1, 2}));
  EXPECT_TRUE(plugin->received.empty());

  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  plugin->received.clear();
  l.dispatch(HostEvent::pointer(Kind::MouseDrag, {1, 2}));  // button up: a move
  l.dispatch(HostEvent::pointer(Kind::MouseUp, {1, 2}));    // never pressed: nothing
  l.dispatch(HostEvent::pointer(Kind::MouseDown, {1, 2}));
  l.dispatch(HostEvent::pointer(Kind::MouseDown, {3, 4}));  // pressed again: released first
  l.dispatch(HostEvent::pointer(Kind::Track, {5, 6}));      // button down: a drag
  l.dispatch(HostEvent::deselect());                         // released before leaving
  EXPECT_EQ((std::vector<std::string>{"AI Tool/AI Track Cursor", "AI Tool/AI Mouse Down",
                                      "AI Tool/AI Mouse Up", "AI Tool/AI Mouse Down",
                                      "AI Tool/AI Mouse Drag", "AI Tool/AI Mouse Up",
                                      "AI Tool/AI Deselect"}),
            plugin->received);
  EXPECT_FALSE(l.buttonDown());
  EXPECT_FALSE(l.toolSelected());
}

TEST_F(EventLoopTest, SelectingWithoutAToolFails) {
  simhost::LoopOptions options;
  std::vector<std::string> received;
  EventLoop l(host, nullptr,
              [&](const char* c, const char* s, void*) {
                received.push_back(name(c, s));
                return kNoErr;
              },
              options);
  EXPECT_EQ(kNoSuchObjectErr, l.dispatch(HostEvent::select()));
  EXPECT_TRUE(received.empty());
}

TEST_F(EventLoopTest, ReplayedDragsComeOneTickAndTheDragSpacingApart) {
  EventLoop& l = start(1, 0.018);
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  l.dispatch(HostEvent::pointer(Kind::MouseDown, {0, 0}));
  const int64_t pressed = l.now();
  for (int i = 0; i < 4; ++i) l.dispatch(HostEvent::pointer(Kind::MouseDrag, {float(i), 0}));
  // The first drag goes at once; each further one waits for one tick of virtual time, and reads
  // the drag spacing more on the clock, without waiting in real time.
  EXPECT_EQ(pressed + 3, l.now());
  EXPECT_EQ(3, plugin->count("AI Timer/AI Go"));
  ASSERT_EQ(4u, plugin->dragTimes.size());
  for (std::size_t i = 1; i < plugin->dragTimes.size(); ++i) {
    EXPECT_EQ(18000, plugin->dragTimes[i] - plugin->dragTimes[i - 1]);
  }
  EXPECT_GE(plugin->dragTimes.front(), l.clockAt(pressed));
  EXPECT_TRUE(simhost::hostclock::isSet());
}

TEST_F(EventLoopTest, ViewChangeRedrawsTheWindowAndTellsActiveAnnotators) {
  EventLoop& l = start(1);
  HostEvent zoom;
  zoom.kind = Kind::ChangeView;
  zoom.zoom = 2.0;
  zoom.center = AIRealPoint{10.0f, 0.0f};
  ASSERT_EQ(kNoErr, l.dispatch(zoom));
  EXPECT_EQ(0, plugin->count("AI Annotation/AI Invalidate"));  // annotator inactive

  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  ASSERT_EQ(kNoErr, l.dispatch(zoom));
  EXPECT_EQ(1, plugin->count("AI Annotation/AI Invalidate"));
  EXPECT_EQ(-240.0f, plugin->invalidation.left);  // 1000 pixels at 2 per unit around x = 10
  EXPECT_EQ(260.0f, plugin->invalidation.right);
  EXPECT_EQ(200.0f, plugin->invalidation.top);
  EXPECT_EQ(1, plugin->count("AI Annotation/AI Draw"));

  HostEvent bad;
  bad.kind = Kind::ChangeView;
  bad.center = AIRealPoint{99.0f, 99.0f};
  bad.zoom = 0.0;
  EXPECT_EQ(kBadParameterErr, l.dispatch(bad));
  EXPECT_EQ(2.0, host.view().zoom);
  EXPECT_EQ(10.0f, host.view().center.h);
}

TEST_F(EventLoopTest, LiveLoopTicksByTheClockWithoutCatchingUp) {
  plugin.emplace(1);
  simhost::LoopOptions options;
  options.timing = simhost::LoopOptions::Timing::Live;
  EventLoop l(host, plugin->self, std::ref(*plugin), options);
  EXPECT_TRUE(std::isinf(l.secondsUntilDue()));  // no active timer
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::select()));
  EXPECT_LE(l.secondsUntilDue(), 1.0 / 60.0);
  ASSERT_EQ(kNoErr, l.dispatch(HostEvent::idle(600)));  // only a replay lets time pass on demand
  EXPECT_EQ(0, plugin->count("AI Timer/AI Go"));
  // Far more than one tick later: one tick and its redraw, not a burst of the missed ones.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  l.pump();
  EXPECT_EQ(1, plugin->count("AI Timer/AI Go"));
  EXPECT_EQ(1, plugin->count("AI Annotation/AI Draw"));
  EXPECT_GE(l.now(), 6);
}

// ---- Replays of the real annotator and engine --------------------------------------------

// The tool's handlers, reduced to the calls they make, over one annotator.
struct AnnotatorPlugin {
  AnnotatorPlugin() {
    const AIAddToolData data{"Sarvello Tool", "Sarvello Tool", 0, nullptr, -2, -2};
    EXPECT_EQ(kNoErr, sAITool->AddTool(self, "Sarvello Tool", &data, 1, &tool));
    EXPECT_EQ(kNoErr, sAITimer->AddTimer(self, "timer", 1, &timer));
    EXPECT_EQ(kNoErr, sAITimer->SetTimerActive(timer, false));
    EXPECT_EQ(kNoErr, sAIAnnotator->AddAnnotator(self, "Sarvello Annotator", &handle));
    EXPECT_EQ(kNoErr, sAIAnnotator->SetAnnotatorActive(handle, false));
  }

  ASErr operator()(const char* caller, const char* selector, void* message) {
    const std::string what = name(caller, selector);
    auto* pointer = static_cast<AIToolMessage*>(message);
    if (what == "AI Tool/AI Select") {
      sAIAnnotator->SetAnnotatorActive(handle, true);
      annotator.engine->prepare();
      annotator.step = 0;
      annotator.engine->clear();
      annotator.advect_and_subdivide();
      sAITimer->SetTimerActive(timer, true);
    } else if (what == "AI Tool/AI Deselect") {
      sAITimer->SetTimerActive(timer, false);
      sAIAnnotator->SetAnnotatorActive(handle, false);
      annotator.Refresh();
    } else if (what == "AI Timer/AI Go") {
      if (ASErr err = annotator.advect_and_subdivide()) return err;
      return annotator.Refresh();
    } else if (what == "AI Tool/AI Mouse Down") {
      return annotator.ToolMouseDown(pointer);
    } else if (what == "AI Tool/AI Mouse Drag") {
      if (ASErr err = annotator.advect_and_subdivide()) return err;
      if (ASErr err = annotator.Refresh()) return err;
      return annotator.ToolMouseDrag(pointer);
    } else if (what == "AI Tool/AI Mouse Up") {
      return annotator.ToolMouseUp(pointer);
    } else if (what == "AI Annotation/AI Draw") {
      return annotator.DrawAnnotation(static_cast<AIAnnotatorMessage*>(message));
    }
    return kNoErr;
  }

  SPPluginRef self = reinterpret_cast<SPPluginRef>(0x5E1F);
  AIToolHandle tool = nullptr;
  AITimerHandle timer = nullptr;
  AIAnnotatorHandle handle = nullptr;
  SarvelloAnnotator annotator;
};

struct ReplayResult {
  std::vector<std::vector<AIPathSegment>> paths;
  std::string status;
  simhost::LoopStats stats;
};

// A stroke across a circle, on a fresh host, through the event loop.
ReplayResult replayStroke() {
  simhost::Host host;
  ReplayResult result;
  {
    testsupport::SuiteScope suites(host);
    std::vector<AIPathSegment> circle;
    for (int i = 0; i < 12; ++i) {
      AIPathSegment s{};
      s.p = s.in = s.out = AIRealPoint{100.0f * std::cos(i * 0.5236f), 100.0f * std::sin(i * 0.5236f)};
      circle.push_back(s);
    }
    host.document().addPath(circle, true);
    AnnotatorPlugin plugin;
    simhost::LoopOptions options;
    options.dragSpacing = 0.0;  // the stand-in handlers do not throttle
    EventLoop loop(host, plugin.self, std::ref(plugin), options);
    simhost::EventQueue events;
    events.push(HostEvent::select());
    events.push(HostEvent::idle(3));
    events.push(HostEvent::pointer(Kind::MouseDown, {-150.0f, 20.0f}));
    for (int i = 1; i <= 20; ++i)
      events.push(HostEvent::pointer(Kind::MouseDrag, {-150.0f + 15.0f * i, 20.0f - i}));
    events.push(HostEvent::pointer(Kind::MouseUp, {150.0f, 0.0f}));
    events.push(HostEvent::idle(10));
    EXPECT_EQ(kNoErr, loop.run(events));
    for (AIArtHandle art : host.document().handles())
      result.paths.push_back(host.document().find(art)->segments);
    result.status = loop.overlay().empty() ? "" : loop.overlay().back().text;
    result.stats = loop.stats();
  }
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  return result;
}

TEST(EventLoopReplay, TheSameEventsGiveTheSameDocumentByteForByte) {
  const ReplayResult first = replayStroke();
  const ReplayResult second = replayStroke();
  ASSERT_EQ(1u, first.paths.size());
  ASSERT_EQ(first.paths[0].size(), second.paths[0].size());
  // Every coordinate to the bit (a segment's padding bytes are nobody's business).
  for (std::size_t i = 0; i < first.paths[0].size(); ++i) {
    const AIPathSegment& a = first.paths[0][i];
    const AIPathSegment& b = second.paths[0][i];
    EXPECT_EQ(0, std::memcmp(&a.p, &b.p, sizeof a.p) | std::memcmp(&a.in, &b.in, sizeof a.in) |
                     std::memcmp(&a.out, &b.out, sizeof a.out)) << i;
    EXPECT_EQ(a.corner, b.corner) << i;
  }
  EXPECT_EQ(first.status, second.status);
  // 3 idle ticks, one tick before each drag but the first, 10 idle ticks; one redraw each, and
  // one after each drag.
  EXPECT_EQ(3 + 19 + 10, first.stats.timerTicks);
  EXPECT_EQ(3 + 19 + 10 + 20, first.stats.draws);
  EXPECT_EQ("Step = 51 Vertices = " + std::to_string(first.paths[0].size()), first.status);

  // The stroke moved the circle.
  float moved = 0.0f;
  for (const AIPathSegment& s : first.paths[0])
    moved = std::max(moved, std::fabs(std::hypot(s.p.h, s.p.v) - 100.0f));
  EXPECT_GT(moved, 0.5f);
}

}  // namespace
