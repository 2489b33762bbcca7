// The overlay annotator against the stand-in host's real view and tool suites.
#include <cmath>
#include <limits>

#include "ToolFixture.h"

namespace {

using simhost::OverlayCall;

class AnnotatorTest : public ToolTest {
 protected:
  // A pointer message at an artwork point.
  static AIToolMessage at(float h, float v) {
    AIToolMessage m{};
    m.cursor = {h, v};
    return m;
  }

  // Sends a press at an artwork point and answers whether the engine was told (its brush moved
  // off the sentinel position).
  bool pressReaches(float h, float v) {
    annotator->engine->brush_x = annotator->engine->brush_y = -7.0f;
    AIToolMessage m = at(h, v);
    EXPECT_EQ(kNoErr, annotator->ToolMouseDown(&m));
    return annotator->engine->brush_x != -7.0f;
  }

  // One annotation draw into a fresh recording.
  ASErr draw(simhost::OverlayRecording* recording) {
    _t_AIAnnotatorDrawer drawer;
    drawer.recording = recording;
    AIAnnotatorMessage m{};
    m.drawer = &drawer;
    return annotator->DrawAnnotation(&m);
  }

  void SetUp() override {
    ToolTest::SetUp();
    makeAnnotator();
    // A selected path keeps the press's selection check quiet.
    host.document().addPath({corner(-50, 0), corner(50, 0)}, false);
  }
};

TEST_F(AnnotatorTest, SquareIsCentredOnTheViewAndHalvedByIntegerDivision) {
  Rect square{};
  ASSERT_EQ(kNoErr, annotator->getAnnotationRect(&square));
  EXPECT_EQ(rect(300, 200, 700, 600), square);

  annotator->size = 401;  // half = 200: the same 400-unit square
  ASSERT_EQ(kNoErr, annotator->getAnnotationRect(&square));
  EXPECT_EQ(rect(300, 200, 700, 600), square);

  host.view().center = {100.0f, -50.0f};
  host.view().zoom = 2.0;
  annotator->size = 101;  // half = 50 units = 100 pixels
  ASSERT_EQ(kNoErr, annotator->getAnnotationRect(&square));
  EXPECT_EQ(rect(400, 300, 600, 500), square);

  host.view().open = false;
  EXPECT_NE(kNoErr, annotator->getAnnotationRect(&square));
}

TEST_F(AnnotatorTest, PointerOnTheEdgesGivesZeroAndOneAndOnePixelOutsideIsIgnored) {
  SarvelloMain& engine = *annotator->engine;
  ASSERT_TRUE(pressReaches(-200.0f, 200.0f));  // top-left corner
  EXPECT_EQ(0.0f, engine.brush_x);
  EXPECT_EQ(0.0f, engine.brush_y);
  EXPECT_EQ(1, engine.mouse_down);

  ASSERT_TRUE(pressReaches(200.0f, -200.0f));  // bottom-right corner
  EXPECT_EQ(1.0f, engine.brush_x);
  EXPECT_EQ(1.0f, engine.brush_y);

  ASSERT_TRUE(pressReaches(0.0f, 100.0f));  // y grows downward in the square
  EXPECT_EQ(0.5f, engine.brush_x);
  EXPECT_EQ(0.25f, engine.brush_y);

  EXPECT_FALSE(pressReaches(-201.0f, 0.0f));
  EXPECT_FALSE(pressReaches(201.0f, 0.0f));
  EXPECT_FALSE(pressReaches(0.0f, 201.0f));
  EXPECT_FALSE(pressReaches(0.0f, -201.0f));
}

TEST_F(AnnotatorTest, DragMovesTheBrushAndReleaseOutsideIsNotSeen) {
  SarvelloMain& engine = *annotator->engine;
  AIToolMessage down = at(0.0f, 0.0f);
  ASSERT_EQ(kNoErr, annotator->ToolMouseDown(&down));
  AIToolMessage drag = at(100.0f, 0.0f);
  ASSERT_EQ(kNoErr, annotator->ToolMouseDrag(&drag));
  EXPECT_EQ(0.75f, engine.brush_x);
  EXPECT_EQ(0.5f, engine.prev_x);  // a drag leaves the previous position alone

  AIToolMessage outside = at(300.0f, 0.0f);
  ASSERT_EQ(kNoErr, annotator->ToolMouseUp(&outside));
  EXPECT_EQ(1, engine.mouse_down);  // the engine never heard of the release
  AIToolMessage inside = at(0.0f, 0.0f);
  ASSERT_EQ(kNoErr, annotator->ToolMouseUp(&inside));
  EXPECT_EQ(0, engine.mouse_down);
}

TEST_F(AnnotatorTest, SquareCoveringNoPixelIgnoresThePointer) {
  for (int size : {0, 1}) {
    annotator->size = size;
    EXPECT_FALSE(pressReaches(0.0f, 0.0f)) << "size " << size;
    AIToolMessage m = at(0.0f, 0.0f);
    EXPECT_EQ(kNoErr, annotator->ToolMouseDrag(&m));
    EXPECT_EQ(kNoErr, annotator->ToolMouseUp(&m));
    EXPECT_TRUE(std::isfinite(annotator->engine->brush_x));
  }
  // Zoomed out so far that a 400-unit square rounds to a single pixel column.
  annotator->size = 400;
  host.view().zoom = 0.001;
  EXPECT_FALSE(pressReaches(0.0f, 0.0f));
}

TEST_F(AnnotatorTest, PointerFailuresAreReturned) {
  AIToolMessage m = at(0.0f, 0.0f);
  host.faults().failCall("AIDocumentView.ArtworkPointToViewPoint", 3, kBadParameterErr);
  EXPECT_EQ(kBadParameterErr, annotator->ToolMouseDown(&m));  // the cursor's conversion
  EXPECT_EQ(0, annotator->engine->mouse_down);
  sAIDocumentView = nullptr;  // restored by the suite scope's release
  EXPECT_EQ(kCantHappenErr, annotator->ToolMouseDrag(&m));
}

TEST_F(AnnotatorTest, RefreshInvalidatesTwoPixelsInsideTheFrame) {
  ASSERT_EQ(kNoErr, annotator->Refresh());
  ASSERT_EQ(1u, tools().invalidRects.size());
  EXPECT_EQ(rect(302, 202, 698, 598), tools().invalidRects[0]);
}

TEST_F(AnnotatorTest, RefreshWithoutAViewOrWithAFailingCountDoesNothing) {
  host.view().open = false;
  EXPECT_EQ(kNoErr, annotator->Refresh());
  host.view().open = true;
  host.faults().failCall("AIDocumentView.CountDocumentViews", 1, kBadParameterErr);
  EXPECT_EQ(kNoErr, annotator->Refresh());
  EXPECT_FALSE(tools().invalid());

  host.faults().failCall("AIAnnotator.InvalAnnotationRect", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, annotator->Refresh());
}

TEST_F(AnnotatorTest, InvalidateArtworkRectConvertsToTheView) {
  ASSERT_EQ(kNoErr, annotator->InvalidateRect(AIRealRect{-100.0f, 50.0f, 100.0f, -50.0f}));
  ASSERT_EQ(1u, tools().invalidRects.size());
  EXPECT_EQ(rect(400, 350, 600, 450), tools().invalidRects[0]);

  sAIAnnotator = nullptr;
  EXPECT_EQ(kCantHappenErr, annotator->InvalidateRect(rect(0, 0, 10, 10)));
}

TEST_F(AnnotatorTest, DrawingRecordsFrameAndStatusLineAndCountsSteps) {
  annotator->engine->vertex_total = 77;
  simhost::OverlayRecording first;
  ASSERT_EQ(kNoErr, draw(&first));
  ASSERT_EQ(5u, first.size());
  EXPECT_EQ(OverlayCall::SetColor, first[0].kind);
  EXPECT_EQ(0, first[0].color.red + first[0].color.green + first[0].color.blue);
  EXPECT_EQ(OverlayCall::SetLineWidth, first[1].kind);
  EXPECT_EQ(1.0f, first[1].lineWidth);
  EXPECT_EQ(OverlayCall::DrawRect, first[2].kind);
  EXPECT_EQ(rect(300, 200, 700, 600), first[2].rect);
  EXPECT_FALSE(first[2].fill);
  EXPECT_EQ(OverlayCall::SetFontPreset, first[3].kind);
  EXPECT_EQ(1, first[3].preset);
  EXPECT_EQ(OverlayCall::DrawText, first[4].kind);
  EXPECT_EQ("Step = 0 Vertices = 77", first[4].text);
  const int lift = static_cast<int>(std::trunc(simhost::textHeightForPreset(1) + 5.0));
  EXPECT_EQ(305, first[4].origin.h);
  EXPECT_EQ(600 - lift, first[4].origin.v);

  simhost::OverlayRecording second;
  ASSERT_EQ(kNoErr, draw(&second));
  EXPECT_EQ("Step = 1 Vertices = 77", second.back().text);
  EXPECT_EQ(2, annotator->step);
  annotator->step = 0;  // as the tool selection does
  ASSERT_EQ(kNoErr, draw(&second));
  EXPECT_EQ("Step = 0 Vertices = 77", second.back().text);
}

TEST_F(AnnotatorTest, DrawingStopsAtAFailedFrameOrFont) {
  simhost::OverlayRecording recording;
  host.faults().failCall("AIAnnotatorDrawer.DrawRect", 1, kBadParameterErr);
  EXPECT_EQ(kBadParameterErr, draw(&recording));
  host.faults().failCall("AIAnnotatorDrawer.SetFontPreset", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, draw(&recording));
  for (const OverlayCall& call : recording) EXPECT_NE(OverlayCall::DrawText, call.kind);
  EXPECT_EQ(0, annotator->step);

  // Colour and line width are not examined: the frame and the text are still drawn.
  host.faults().failCall("AIAnnotatorDrawer.SetColor", 1, kBadParameterErr);
  host.faults().failCall("AIAnnotatorDrawer.SetLineWidth", 1, kBadParameterErr);
  recording.clear();
  EXPECT_EQ(kNoErr, draw(&recording));
  EXPECT_EQ(3u, recording.size());

  // Without a view there is no square and nothing is drawn, the fluid included.
  host.view().open = false;
  recording.clear();
  EXPECT_NE(kNoErr, draw(&recording));
  EXPECT_TRUE(recording.empty());
}

TEST_F(AnnotatorTest, WildTextHeightKeepsTheStatusLineInsideTheViewCoordinates) {
  // A drawer whose text height is not a sensible number.
  AIAnnotatorDrawerSuite wild = *sAIAnnotatorDrawer;
  AIAnnotatorDrawerSuite* real = sAIAnnotatorDrawer;
  for (float height : {std::nanf(""), 1e30f, -1e30f}) {
    static float answer;
    answer = height;
    wild.GetTextHeight = [](AIAnnotatorDrawer*, AIReal* h) -> AIErr {
      *h = answer;
      return kNoErr;
    };
    sAIAnnotatorDrawer = &wild;
    simhost::OverlayRecording recording;
    EXPECT_EQ(kNoErr, draw(&recording));
    sAIAnnotatorDrawer = real;
    ASSERT_FALSE(recording.empty());
    // Held to the range of the platform's view coordinates.
    const auto v = recording.back().origin.v;
    if (height > 0) {
      EXPECT_EQ(std::numeric_limits<decltype(v)>::min(), v);
    } else if (height < 0) {
      EXPECT_EQ(std::numeric_limits<decltype(v)>::max(), v);
    }
  }
}

TEST_F(AnnotatorTest, DrawingWithoutAnEngineStillDrawsTheOverlay) {
  delete annotator->engine;
  annotator->engine = nullptr;
  simhost::OverlayRecording recording;
  ASSERT_EQ(kNoErr, draw(&recording));
  EXPECT_EQ("Step = 0 Vertices = 0", recording.back().text);
  AIToolMessage m = at(0.0f, 0.0f);
  EXPECT_EQ(kNoErr, annotator->ToolMouseDown(&m));
  EXPECT_EQ(kNoErr, annotator->advect_and_subdivide());
  EXPECT_EQ(kNoErr, annotator->setParameter(-1, -1, -1, -1, -1, 300));
  EXPECT_EQ(300, annotator->size);
}

TEST_F(AnnotatorTest, SetParameterStoresSizeRedrawsTheViewAndForwards) {
  SarvelloMain& engine = *annotator->engine;
  ASSERT_EQ(kNoErr, annotator->setParameter(0.25f, -1.0f, -1.0f, -1, 3.0f, -1));
  EXPECT_EQ(400, annotator->size);
  EXPECT_FALSE(tools().invalid());  // a negative size invalidates nothing
  EXPECT_EQ(0.25f, engine.viscosity);
  EXPECT_EQ(3.0f, engine.sampling);

  ASSERT_EQ(kNoErr, annotator->setParameter(-1.0f, 0.02f, -1.0f, -1, -1.0f, 250));
  EXPECT_EQ(250, annotator->size);
  EXPECT_EQ(0.02f, engine.dt);
  ASSERT_EQ(1u, tools().invalidRects.size());
  EXPECT_EQ(rect(0, 0, 1000, 800), tools().invalidRects[0]);
}

TEST_F(AnnotatorTest, SetParameterStopsBeforeTheEngineWhenTheRedrawFails) {
  SarvelloMain& engine = *annotator->engine;
  host.faults().failCall("AIAnnotator.InvalAnnotationRect", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, annotator->setParameter(0.5f, 0.5f, 0.5f, -1, 0.5f, 300));
  EXPECT_EQ(300, annotator->size);  // stored first
  EXPECT_EQ(0.01f, engine.dt);      // the engine keeps its values

  host.faults().failCall("AIDocumentView.GetDocumentViewBounds", 1, kNoDocumentErr);
  EXPECT_EQ(kNoDocumentErr, annotator->setParameter(0.5f, 0.5f, 0.5f, -1, 0.5f, 200));
  EXPECT_EQ(0.01f, engine.dt);

  sAIDocumentView = nullptr;
  EXPECT_EQ(kCantHappenErr, annotator->setParameter(0.5f, 0.5f, 0.5f, -1, 0.5f, 200));
}

TEST_F(AnnotatorTest, DeformationStepResamplesPathsInTheSimulationRectangle) {
  // The selected segment of the fixture, 100 units long, at the default sampling of 2 units.
  ASSERT_EQ(kNoErr, annotator->advect_and_subdivide());
  EXPECT_GT(annotator->engine->vertex_total, 40);
  const simhost::Art* art = host.document().find(host.document().handles().front());
  ASSERT_NE(nullptr, art);
  EXPECT_EQ(static_cast<std::size_t>(annotator->engine->vertex_total), art->segments.size());

  host.faults().failCall("AIDocumentView.ViewPointToArtworkPoint", 2, kBadParameterErr);
  EXPECT_EQ(kBadParameterErr, annotator->advect_and_subdivide());
}

TEST_F(AnnotatorTest, SimulationRectangleFallsOnWholePixels) {
  // A zoom at which the square's edges lie between pixels: the way through view coordinates
  // moves them onto the pixel grid, which is what the engine is given.
  host.view().zoom = 1.337;
  host.view().center = {0.3f, 0.7f};
  Rect square{};
  ASSERT_EQ(kNoErr, annotator->getAnnotationRect(&square));
  AIRealRect simulation{};
  ASSERT_EQ(kNoErr, annotator->ViewBoundsToArtworkBounds(square, &simulation));
  const simhost::ViewState& view = host.view();
  for (float h : {simulation.left, simulation.right}) {
    const double pixel = view.width * 0.5 + (h - view.center.h) * view.zoom;
    EXPECT_NEAR(pixel, std::round(pixel), 1e-3);
  }
  for (float v : {simulation.top, simulation.bottom}) {
    const double pixel = view.height * 0.5 - (v - view.center.v) * view.zoom;
    EXPECT_NEAR(pixel, std::round(pixel), 1e-3);
  }
  EXPECT_GT(std::fabs(simulation.left - (view.center.h - 200.0f)), 0.01f);
}

}  // namespace
