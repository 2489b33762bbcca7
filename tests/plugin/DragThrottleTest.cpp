// The drag throttle on a controlled clock: the module reads the time through the C library's
// gettimeofday, which the loader binds to the host's clock (FakeClock.cpp sets it).
#include <ctime>

#include "FakeClock.h"
#include "PluginFixture.h"

namespace {

class DragThrottle : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    start();
    ASSERT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
    ASSERT_EQ(sendTool(kAIToolMouseDownSelector, {-100.0f, 0.0f}), kNoErr);
  }

  // Sends a drag at virtual time `seconds`; true when the plug-in handled it (ran a deformation
  // step), false when it dropped it.
  bool dragAt(double seconds, ASErr expected = kNoErr) {
    fakeclock::set(seconds);
    const int steps = calls("AIMatchingArt.GetMatchingArt");
    EXPECT_EQ(sendTool(kAIToolMouseDragSelector, {-90.0f, 0.0f}), expected);
    return calls("AIMatchingArt.GetMatchingArt") > steps;
  }

  fakeclock::Scope clock;
};

constexpr double t0 = 1.7e9;

TEST_F(DragThrottle, FirstDragOnlyStartsTheClockThenOneDragPerInterval) {
  const long clockCalls = fakeclock::calls();
  EXPECT_FALSE(dragAt(t0));
  EXPECT_GT(fakeclock::calls(), clockCalls);  // the module really reads this clock
  // Only the module's references are bound: the rest of the process reads the system's clock.
  EXPECT_GT(static_cast<double>(std::time(nullptr)), t0 + 3600);

  // The cursor is set even for a dropped drag.
  const int cursors = calls("ADMBasic.SetPlatformCursor");
  EXPECT_FALSE(dragAt(t0 + 0.010));
  EXPECT_EQ(calls("ADMBasic.SetPlatformCursor"), cursors + 1);
  EXPECT_EQ(host.cursor(), 16060);

  // A handled drag ends at t; 5 and 15 ms later the drags are dropped, 17 ms later handled.
  const double t = t0 + 0.020;
  EXPECT_TRUE(dragAt(t));
  EXPECT_FALSE(dragAt(t + 0.005));
  EXPECT_FALSE(dragAt(t + 0.015));
  EXPECT_TRUE(dragAt(t + 0.017));
  // Measured from the last handled drag, not from the dropped ones.
  EXPECT_FALSE(dragAt(t + 0.017 + 0.016));
  EXPECT_TRUE(dragAt(t + 0.017 + 0.034));
}

TEST_F(DragThrottle, FailingDragKeepsTheTimeOfTheLastHandledOne) {
  EXPECT_FALSE(dragAt(t0));
  EXPECT_TRUE(dragAt(t0 + 0.020));
  host.faults().failCall("AIMatchingArt.GetMatchingArt", 1, kBadParameterErr);
  EXPECT_TRUE(dragAt(t0 + 0.040, kBadParameterErr));
  // Had the failed drag counted, this one (10 ms after it) would be dropped.
  EXPECT_TRUE(dragAt(t0 + 0.050));
}

TEST_F(DragThrottle, ClockSetBackDoesNotHoldDragsBack) {
  EXPECT_FALSE(dragAt(t0));
  EXPECT_TRUE(dragAt(t0 + 0.020));
  // The system time is set back an hour: drags go on at once, throttled from the new time.
  EXPECT_TRUE(dragAt(t0 - 3600.0));
  EXPECT_FALSE(dragAt(t0 - 3600.0 + 0.005));
  EXPECT_TRUE(dragAt(t0 - 3600.0 + 0.020));
}

TEST_F(DragThrottle, OnlyAHandledDragInvalidatesTheOverlay) {
  EXPECT_FALSE(dragAt(t0));
  tools().invalidRects.clear();
  EXPECT_FALSE(dragAt(t0 + 0.001));
  EXPECT_FALSE(tools().invalid());
  EXPECT_TRUE(dragAt(t0 + 0.020));
  EXPECT_TRUE(tools().invalid());
}

}  // namespace
