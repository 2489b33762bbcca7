// Picking and leaving the tool, the timer tick and the vertex limit, through the loaded module.
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "PluginFixture.h"

namespace {

using simhost::Alert;
using simhost::HostEvent;

constexpr const char kVertexLimitAlert[] =
    "Sarvello Auto Limitter\n\n Due to an application limitations, number of each path's vertices "
    "is limitted up to 30,000. Stopping.";

class ToolCycle : public PluginTest {
 protected:
  bool timerActive() { return tools().timers.at(0).active; }
  bool annotatorActive() { return tools().annotators.at(0).active; }
  std::size_t segments(AIArtHandle art) { return host.document().find(art)->segments.size(); }
};

TEST_F(ToolCycle, SelectingWithNothingSelectedSwitchesTheToolOn) {
  start();
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_TRUE(annotatorActive());
  EXPECT_TRUE(timerActive());
  EXPECT_EQ(host.view().showEdges, 0);
  EXPECT_EQ(tick(), kNoErr);
  simhost::OverlayRecording recording;
  EXPECT_EQ(draw(&recording), kNoErr);
  ASSERT_FALSE(recording.empty());
  EXPECT_EQ(recording.back().text, "Step = 0 Vertices = 0");
  EXPECT_TRUE(host.alerts().empty());

  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_FALSE(annotatorActive());
  EXPECT_FALSE(timerActive());
  EXPECT_EQ(host.view().showEdges, 1);
}

TEST_F(ToolCycle, ViewOptionIsOffWhileSelectedAndRestoredAfterwards) {
  start();
  // The user had the option off: it stays off, and is off again after leaving the tool.
  host.view().showEdges = 0;
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_EQ(host.view().showEdges, 0);
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(host.view().showEdges, 0);

  host.view().showEdges = 1;
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_EQ(host.view().showEdges, 0);
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(host.view().showEdges, 1);
}

TEST_F(ToolCycle, DeselectingWithoutASelectionSinceStartupSetsTheOptionOn) {
  start();
  host.view().showEdges = 0;
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(host.view().showEdges, 1);
}

TEST_F(ToolCycle, FailingStepsOfSelectionSkipTheRestAndAnswerZero) {
  start();
  const AIArtHandle art = addSquare(-50.0f, 50.0f, 100.0f);

  // The deformation step fails (the capture before it is the first matching-art call): the
  // timer stays off and the view option is not touched.
  host.faults().failCall("AIMatchingArt.GetMatchingArt", 2, kBadParameterErr);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), 2);
  EXPECT_TRUE(annotatorActive());
  EXPECT_FALSE(timerActive());
  EXPECT_EQ(host.view().showEdges, 1);
  EXPECT_EQ(segments(art), 4u);
  EXPECT_TRUE(host.alerts().empty());
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);

  // A failing capture is not examined: the rest of the selection goes on.
  host.faults().failCall("AIMatchingArt.GetMatchingArt", 1, kBadParameterErr);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_TRUE(timerActive());
  EXPECT_EQ(host.view().showEdges, 0);
  EXPECT_GT(segments(art), 4u);

  // Leaving: whichever step fails, the others still run; the option is restored and the
  // timer and the annotator are switched off.
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  for (const char* operation : {"AITimer.SetTimerActive", "AIAnnotator.SetAnnotatorActive",
                                "AIAnnotator.InvalAnnotationRect"}) {
    SCOPED_TRACE(operation);
    EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
    EXPECT_EQ(host.view().showEdges, 0);
    host.faults().failCall(operation, 1, kBadParameterErr);
    EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
    host.faults().clear();
    EXPECT_EQ(host.view().showEdges, 1);
    EXPECT_EQ(timerActive(), std::string(operation) == "AITimer.SetTimerActive");
    EXPECT_EQ(annotatorActive(), std::string(operation) == "AIAnnotator.SetAnnotatorActive");
  }
  EXPECT_TRUE(host.alerts().empty());
}

TEST_F(ToolCycle, TicksDeformOnlyWhileTheAnnotatorIsActiveAndADocumentIsOpen) {
  start();
  const AIArtHandle art = addSquare(-50.0f, 50.0f, 100.0f);
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(segments(art), 4u);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), 0);

  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  const std::size_t polyline = segments(art);
  EXPECT_GT(polyline, 4u);
  const int before = calls("AIMatchingArt.GetMatchingArt");
  tools().invalidRects.clear();
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), before + 1);
  EXPECT_TRUE(tools().invalid());

  // No document view: the tick does nothing.
  host.view().open = false;
  tools().invalidRects.clear();
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), before + 1);
  EXPECT_FALSE(tools().invalid());
  host.view().open = true;

  // A host that cannot say whether the annotator is active gets the code.
  host.faults().failCall("AIAnnotator.GetAnnotatorActive", 1, kBadParameterErr);
  EXPECT_EQ(tick(), kBadParameterErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), before + 1);

  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), before + 1);
}

TEST_F(ToolCycle, StirringMovesThePathsAndKeepsThemFinite) {
  start();
  const AIArtHandle art = addSquare(-50.0f, 50.0f, 100.0f);
  ASSERT_EQ(loop->dispatch(HostEvent::select()), kNoErr);
  const std::vector<AIPathSegment> start = host.document().find(art)->segments;
  using Kind = HostEvent::Kind;
  ASSERT_EQ(loop->dispatch(HostEvent::pointer(Kind::MouseDown, {-100.0f, 0.0f})), kNoErr);
  // The first drag after loading only starts the plug-in's drag clock; a real-time wait longer
  // than its interval lets each of the next ones through.
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(loop->dispatch(HostEvent::pointer(Kind::MouseDrag, {-100.0f + 40.0f * i, 0.0f})), kNoErr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(loop->dispatch(HostEvent::pointer(Kind::MouseUp, {60.0f, 0.0f})), kNoErr);
  loop->idle(10);
  const std::vector<AIPathSegment>& now = host.document().find(art)->segments;
  ASSERT_FALSE(now.empty());
  bool moved = now.size() != start.size();
  for (std::size_t k = 0; k < now.size(); ++k) {
    ASSERT_TRUE(std::isfinite(now[k].p.h) && std::isfinite(now[k].p.v)) << k;
    if (k < start.size() && (now[k].p.h != start[k].p.h || now[k].p.v != start[k].p.v)) moved = true;
  }
  EXPECT_TRUE(moved);
  EXPECT_TRUE(alerts(Alert::Error).empty());
}

TEST_F(ToolCycle, VertexLimitStopsTheRunUntilTheToolIsPickedAgain) {
  start();
  const AIArtHandle small = addSquare(-50.0f, 50.0f, 100.0f);
  // 60000 units around: 30000 points at the sampling distance of 2, above the limit.
  const AIArtHandle huge = addSquare(-7500.0f, 7500.0f, 15000.0f);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  const auto messages = alerts(Alert::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], kVertexLimitAlert);
  EXPECT_LT(segments(huge), 10u);  // not written back as a polyline

  // The run is stopped: ticks change nothing.
  const std::vector<AIPathSegment> stopped = host.document().find(small)->segments;
  const int before = calls("AIMatchingArt.GetMatchingArt");
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), before);
  EXPECT_EQ(host.document().find(small)->segments.size(), stopped.size());
  EXPECT_EQ(alerts(Alert::Message).size(), 1u);

  // Picking the tool again, without the long path, starts a new run.
  host.document().remove(huge);
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  const int restarted = calls("AIMatchingArt.GetMatchingArt");
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_EQ(calls("AIMatchingArt.GetMatchingArt"), restarted + 1);
  EXPECT_EQ(alerts(Alert::Message).size(), 1u);
}

}  // namespace
