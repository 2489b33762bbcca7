// The overlay through the loaded module: the square's geometry, the recorded drawing, the pointer
// on and beside its edges, and the annotation messages.
#include <cmath>
#include <string>

#include "PluginFixture.h"

namespace {

using simhost::Alert;
using simhost::OverlayCall;

// With nothing selected, a button press that reaches the engine brings the engine's reminder:
// the alert tells whether the press was forwarded.
constexpr const char kNoSelection[] = "Please select at least one path object.";

class Overlay : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    start();
    ASSERT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  }

  // Whether a button press at the artwork point reached the engine.
  bool pressReachesEngine(AIRealPoint point) {
    const std::size_t before = alerts(Alert::Message).size();
    EXPECT_EQ(sendTool(kAIToolMouseDownSelector, point), kNoErr);
    EXPECT_EQ(sendTool(kAIToolMouseUpSelector, point), kNoErr);
    const auto messages = alerts(Alert::Message);
    if (messages.size() == before) return false;
    EXPECT_EQ(messages.back(), kNoSelection);
    return true;
  }
};

// The default window is 1000 x 800 pixels with artwork (0, 0) in its middle at 1 pixel a unit:
// the 400-unit square covers view pixels 300..700 across and 200..600 down.
TEST_F(Overlay, StatusLineCountsTheDocumentsVerticesAndRestartsWithTheTool) {
  const AIArtHandle art = addSquare(-50.0f, 50.0f, 100.0f);
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  const std::string vertices = std::to_string(host.document().find(art)->segments.size());

  simhost::OverlayRecording recording;
  ASSERT_EQ(draw(&recording), kNoErr);
  ASSERT_FALSE(recording.empty());
  EXPECT_EQ(recording.back().text, "Step = 0 Vertices = " + vertices);

  // Picking the tool again starts counting anew.
  recording.clear();
  ASSERT_EQ(draw(&recording), kNoErr);
  EXPECT_EQ(recording.back().text.rfind("Step = 1 ", 0), 0u);
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  recording.clear();
  ASSERT_EQ(draw(&recording), kNoErr);
  EXPECT_EQ(recording.back().text.rfind("Step = 0 ", 0), 0u);

  // The event loop's redraws go the same way: a tick (one more deformation step), then a draw.
  loop->idle(1);
  EXPECT_EQ(loop->overlay().size(), 5u);
  EXPECT_EQ(loop->overlay().back().text,
            "Step = 1 Vertices = " + std::to_string(host.document().find(art)->segments.size()));
}

TEST_F(Overlay, TrackingThePointerSetsTheCursorAndRedraws) {
  tools().invalidRects.clear();
  EXPECT_EQ(sendTool(kAIToolTrackCursorSelector), kNoErr);
  EXPECT_TRUE(tools().invalid());
  EXPECT_EQ(host.cursor(), 16060);
}

TEST_F(Overlay, PressInsideTheSquareReachesTheEngine) {
  EXPECT_TRUE(pressReachesEngine({0.0f, 0.0f}));
}

TEST_F(Overlay, SquareWithoutPixelsKeepsTheDocumentFinite) {
  const AIArtHandle art = addSquare(-50.0f, 50.0f, 100.0f);
  // Zoomed out so far that the 400-unit square covers less than a pixel.
  host.view().zoom = 0.001;
  EXPECT_EQ(sendTool(kAIToolMouseDownSelector, {0.0f, 0.0f}), kNoErr);
  EXPECT_EQ(sendTool(kAIToolMouseDragSelector, {10.0f, 0.0f}), kNoErr);
  EXPECT_EQ(sendTool(kAIToolMouseUpSelector, {10.0f, 0.0f}), kNoErr);
  EXPECT_EQ(tick(), kNoErr);
  simhost::OverlayRecording recording;
  EXPECT_EQ(draw(&recording), kNoErr);
  for (const AIPathSegment& s : host.document().find(art)->segments) {
    ASSERT_TRUE(std::isfinite(s.p.h) && std::isfinite(s.p.v));
  }
  EXPECT_TRUE(alerts(Alert::Error).empty());
}

TEST_F(Overlay, InvalidationMessagesReachTheAnnotator) {
  AIRealRect bounds{-100.0f, 100.0f, 100.0f, -100.0f};
  AIAnnotatorMessage message{};
  message.annotator = tools().annotators[0].handle;
  message.invalidationRect = &bounds;
  tools().invalidRects.clear();
  EXPECT_EQ(plugins->send(kAIAnnotatorCaller, kAIAnnotatorInvalidateSelector, &message), kNoErr);
  ASSERT_EQ(tools().invalidRects.size(), 1u);
  EXPECT_EQ(tools().invalidRects[0], rect(400, 300, 600, 500));

  // No rectangle: nothing to do.
  tools().invalidRects.clear();
  message.invalidationRect = nullptr;
  EXPECT_EQ(plugins->send(kAIAnnotatorCaller, kAIAnnotatorInvalidateSelector, &message), kNoErr);
  EXPECT_FALSE(tools().invalid());

  // A host failure comes back as its code.
  message.invalidationRect = &bounds;
  host.faults().failCall("AIAnnotator.InvalAnnotationRect", 1, kBadParameterErr);
  EXPECT_EQ(plugins->send(kAIAnnotatorCaller, kAIAnnotatorInvalidateSelector, &message),
            kBadParameterErr);

  // After the shutdown notification there is no annotator: nothing is drawn or invalidated.
  EXPECT_EQ(sendTool(kAIToolDeselectSelector), kNoErr);
  ASSERT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  tools().invalidRects.clear();
  EXPECT_EQ(plugins->send(kAIAnnotatorCaller, kAIAnnotatorInvalidateSelector, &message), kNoErr);
  EXPECT_FALSE(tools().invalid());
  simhost::OverlayRecording recording;
  EXPECT_EQ(draw(&recording), kNoErr);
  EXPECT_TRUE(recording.empty());
}

TEST_F(Overlay, ViewChangeMovesTheSquare) {
  using simhost::HostEvent;
  HostEvent scroll;
  scroll.kind = HostEvent::Kind::ChangeView;
  scroll.center = AIRealPoint{100.0f, 0.0f};
  ASSERT_EQ(loop->dispatch(scroll), kNoErr);
  ASSERT_FALSE(loop->overlay().empty());
  EXPECT_EQ(loop->overlay()[2].rect, rect(300, 200, 700, 600));  // centred on the view again

  HostEvent zoom;
  zoom.kind = HostEvent::Kind::ChangeView;
  zoom.zoom = 0.5;
  ASSERT_EQ(loop->dispatch(zoom), kNoErr);
  EXPECT_EQ(loop->overlay()[2].rect, rect(400, 300, 600, 500));
}

}  // namespace
