// The user's changes on the parameter panel through the loaded module: typed values and their
// bounds, the Size field and the redraw it causes, a zero viscosity, and the Clear and Retry
// buttons.
#include <string>

#include "PanelsFixture.h"

namespace {

TEST_F(PanelsTest, TypedGridResolutionIsPassedAndHeldToTheBounds) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  addSquare(-50.0f, 50.0f, 100.0f);
  ASSERT_EQ(dispatch(simhost::HostEvent::select()), kNoErr);
  EXPECT_EQ(host->outstanding().spBlockBytes, gridBytes(64));

  struct Case {
    const char* typed;
    int resolution;
    const char* shown;
  };
  // 100 is no preset; 1000 and 3 lie outside 8 to 512.
  for (const Case& c : {Case{"100", 100, "100"}, Case{"1000", 512, "512"}, Case{"3", 8, "8"}}) {
    SCOPED_TRACE(c.typed);
    ::testing::internal::CaptureStdout();
    type(kGridItem, c.typed);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "changin grid resolution to " + std::to_string(c.resolution) + "\n");
    EXPECT_EQ(field(kGridItem), c.shown);
    // The next deformation step makes the grid anew at that resolution.
    loop->idle(1);
    EXPECT_EQ(host->outstanding().spBlockBytes, gridBytes(c.resolution));
  }
}

TEST_F(PanelsTest, SizeRedrawsTheSquareAtItsNewSide) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(dispatch(simhost::HostEvent::select()), kNoErr);
  loop->idle(1);
  EXPECT_EQ(square(), rect(300, 200, 700, 600));

  type(kSizeItem, "250.9");
  ASSERT_EQ(loop->redraw(), kNoErr);
  EXPECT_EQ(square(), rect(375, 275, 625, 525));  // 250 pixels, in the middle of the window
}

TEST_F(PanelsTest, ClearStillsTheFluidAndRestartsTheStepCount) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  stir();
  EXPECT_NE(statusLine().rfind("Step = 0 ", 0), 0u) << statusLine();
  // The fluid still carries the path along.
  Segments before = segments(art);
  loop->idle(2);
  EXPECT_GT(largestShift(before, segments(art)), 0.01);

  press(kParameterPanel, kClearButtonItem);
  loop->idle(1);
  EXPECT_EQ(statusLine().rfind("Step = 0 ", 0), 0u) << statusLine();
  // After it, the points keep their places; each step's resampling of the polyline may still
  // round them differently in the last bit.
  before = segments(art);
  loop->idle(3);
  EXPECT_LT(largestShift(before, segments(art)), 1e-4);
  EXPECT_EQ(statusLine().rfind("Step = 3 ", 0), 0u) << statusLine();
}

TEST_F(PanelsTest, RetryRestoresTheCapturedShapesAndRestartsTheStepCount) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  const Segments stirred = stir();
  ASSERT_FALSE(samePoints(stirred, squareCorners(-50.0f, 50.0f, 100.0f)));
  EXPECT_NE(statusLine().rfind("Step = 0 ", 0), 0u) << statusLine();

  press(kParameterPanel, kRetryButtonItem);
  // The corners as they were when the tool was picked, to the bit.
  EXPECT_TRUE(samePoints(segments(art), squareCorners(-50.0f, 50.0f, 100.0f)));
  loop->idle(1);
  EXPECT_EQ(statusLine().rfind("Step = 0 ", 0), 0u) << statusLine();
}

}  // namespace
