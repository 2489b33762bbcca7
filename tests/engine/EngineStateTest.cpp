// Construction, parameters, the grid's life and the brush.
#include <cstring>
#include <limits>
#include <string>

#include "EngineFixture.h"
#include "IAIUnicodeString.h"
#include "Solver.h"

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

namespace {
const std::string kNoSelection = "Please select at least one path object.";
}

TEST_F(EngineTest, ConstructionAndParameters) {
  EXPECT_EQ(engine->N, 64);
  EXPECT_EQ(engine->N_copy, 64);
  EXPECT_EQ(engine->running, 1);
  EXPECT_EQ(engine->mouse_down, 0);
  ASSERT_TRUE(engine->has_grid());
  for (int k = 0; k < 66 * 66; ++k)
    ASSERT_TRUE(engine->u[k] == 0 && engine->v[k] == 0 && engine->u_prev[k] == 0 &&
                engine->v_prev[k] == 0);
  EXPECT_EQ(host.outstanding().spBlocks, kGridBlocks);

  // Negative and non-finite values change nothing and write nothing.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  CaptureStdout();
  engine->setParameter(-1, -1, -1, -1, -1, 400);
  engine->setParameter(nan, nan, nan, -5, nan, -1);
  engine->setParameter(inf, inf, inf, -1, inf, -1);
  engine->setParameter(-1, -1, 1e36f, -1, -1, -1);  // a force whose scale overflows
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(engine->viscosity, 0.0005f);
  EXPECT_EQ(engine->dt, 0.01f);
  EXPECT_EQ(engine->force_scale, 16000.0f);
  EXPECT_EQ(engine->sampling, 2.0f);
  EXPECT_EQ(engine->pending_N, 0);

  CaptureStdout();
  engine->setParameter(0.0f, 0.05f, 0.01f, 128, 0.5f, -1);
  EXPECT_EQ(GetCapturedStdout(), "changin grid resolution to 128\n");
  EXPECT_EQ(engine->viscosity, 0.0f);
  EXPECT_EQ(engine->dt, 0.05f);
  EXPECT_EQ(engine->force_scale, 40.0f);
  EXPECT_EQ(engine->sampling, 0.5f);
  EXPECT_EQ(engine->pending_N, 128);
  EXPECT_EQ(engine->N, 64);  // applied by the next deformation step

  CaptureStdout();
  engine->setParameter(-1, -1, 0, 0, -1, -1);  // 0 cancels the request
  EXPECT_EQ(GetCapturedStdout(), "changin grid resolution to 0\n");
  EXPECT_EQ(engine->pending_N, 0);
  EXPECT_EQ(engine->force_scale, 0.0f);
}

TEST_F(EngineTest, RefusedGridAllocationLeavesNothingBehind) {
  engine.reset();
  for (int nth = 1; nth <= static_cast<int>(kGridBlocks); ++nth) {
    host.faults().refuseAllocation(nth);
    CaptureStderr();
    try {
      SarvelloMain refused;
      ADD_FAILURE() << "construction succeeded with block " << nth << " refused";
    } catch (const ai::Error& error) {
      EXPECT_EQ(error.code(), kOutOfMemoryErr);
    }
    EXPECT_EQ(GetCapturedStderr(), "cannot allocate data\n");
    EXPECT_EQ(host.outstanding().spBlocks, 0u) << "block " << nth;
    host.faults().clear();
  }
}

TEST_F(EngineTest, ClearZeroesTheWholeGrid) {
  fill(engine->u, 1.0f);
  fill(engine->v_prev, -2.0f);
  EXPECT_EQ(engine->clear(), 0);
  for (int k = 0; k < 66 * 66; ++k) ASSERT_TRUE(engine->u[k] == 0 && engine->v_prev[k] == 0);
}

// The brush impulse is observed by replaying the velocity step on copies of the arrays with the
// expected impulse written in: the engine must produce the same bits.
class BrushTest : public EngineTest {
 protected:
  struct Copy {
    std::vector<float> u, v, up, vp;
  };
  Copy copy() {
    const std::size_t n = 66 * 66;
    return {std::vector<float>(engine->u, engine->u + n), std::vector<float>(engine->v, engine->v + n),
            std::vector<float>(engine->u_prev, engine->u_prev + n),
            std::vector<float>(engine->v_prev, engine->v_prev + n)};
  }
  void expectStep(Copy expected) {
    vel_step(64, expected.u.data(), expected.v.data(), expected.up.data(), expected.vp.data(),
             engine->viscosity, engine->dt);
    // The step runs in the grid and the scratch rows it holds: it asks the host for nothing.
    const int blocks = host.faults().calls("SPBlocks.AllocateBlock");
    const int basic = host.faults().calls("SPBasic.AllocateBlock");
    EXPECT_EQ(engine->display(nullptr, Rect{}), 0);
    EXPECT_EQ(host.faults().calls("SPBlocks.AllocateBlock"), blocks);
    EXPECT_EQ(host.faults().calls("SPBasic.AllocateBlock"), basic);
    EXPECT_EQ(0, std::memcmp(expected.u.data(), engine->u, expected.u.size() * 4));
    EXPECT_EQ(0, std::memcmp(expected.v.data(), engine->v, expected.v.size() * 4));
    EXPECT_EQ(0, std::memcmp(expected.up.data(), engine->u_prev, expected.up.size() * 4));
  }
  void seedField() {
    for (int k = 0; k < 66 * 66; ++k) {
      engine->u_prev[k] = 0.001f * float(k % 17);
      engine->v_prev[k] = -0.002f * float(k % 13);
    }
  }
};

TEST_F(BrushTest, DragWritesTheDisplacementIntoTheCellUnderTheBrush) {
  host.document().addPath(circle(0, 0, 50), true);
  seedField();
  EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.5f), 0);
  EXPECT_EQ(engine->motion_func(0.51f, 0.5f), 0);
  Copy expected = copy();
  // Cell of (0.51, 0.5): i = 0.51 * 64 + 1 = 33.64 -> 33, j = 33.
  expected.up[33 + 66 * 33] = (0.51f - 0.5f) * 16000.0f;
  expected.vp[33 + 66 * 33] = 0.0f;
  expectStep(expected);
  EXPECT_EQ(engine->prev_x, 0.51f);
  EXPECT_EQ(messageAlerts(), 0);

  // Holding still writes a zero impulse into the cell, replacing what the last step left there.
  expected = copy();
  expected.up[33 + 66 * 33] = 0.0f;
  expected.vp[33 + 66 * 33] = 0.0f;
  expectStep(expected);
}

TEST_F(BrushTest, CellIndexingAndEdges) {
  EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.25f), 0);  // no path selected: alert, stroke starts
  EXPECT_EQ(messageAlerts(), 1);
  EXPECT_EQ(host.alerts().back().text, kNoSelection);
  EXPECT_EQ(engine->mouse_down, 1);
  seedField();
  Copy expected = copy();
  expected.up[33 + 66 * 17] = 0.0f;  // (0.5, 0.25) lies in cell (33, 17)
  expected.vp[33 + 66 * 17] = 0.0f;
  expectStep(expected);

  // On the right edge (index N + 1) nothing is written and the displacement carries over.
  engine->motion_func(1.0f, 0.25f);
  expectStep(copy());
  EXPECT_EQ(engine->prev_x, 0.5f);
  // Not a number: no cell at all.
  engine->motion_func(std::numeric_limits<float>::quiet_NaN(), 0.25f);
  expectStep(copy());
  // x = 0 is column 1; the whole displacement since the last impulse lands there.
  engine->motion_func(0.0f, 0.25f);
  expected = copy();
  expected.up[1 + 66 * 17] = -0.5f * 16000.0f;
  expected.vp[1 + 66 * 17] = 0.0f;
  expectStep(expected);

  // After a release nothing more is written.
  EXPECT_EQ(engine->mouse_func(1, 0.3f, 0.3f), 0);
  EXPECT_EQ(engine->mouse_down, 0);
  expectStep(copy());
  EXPECT_EQ(messageAlerts(), 1);  // a release checks nothing
}

TEST_F(BrushTest, PressChecksTheSelectionOnlyWhenItCan) {
  engine->running = 0;  // stopped by the vertex limit: no check, the brush still works
  EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.5f), 0);
  EXPECT_EQ(messageAlerts(), 0);
  EXPECT_EQ(engine->mouse_down, 1);

  engine->running = 1;
  host.view().open = false;
  EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.5f), 0);
  host.view().open = true;
  host.faults().failCall("AIDocumentView.CountDocumentViews", 1, kNoDocumentErr);
  EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.5f), 0);
  EXPECT_EQ(messageAlerts(), 0);

  host.faults().failCall("AIMatchingArt.GetMatchingArt", 1, kBadParameterErr);
  EXPECT_EQ(engine->mouse_func(0, 0.2f, 0.2f), kBadParameterErr);
  EXPECT_EQ(engine->brush_x, 0.2f);  // the brush state stays
  EXPECT_EQ(engine->mouse_down, 1);

  // With selected paths the press is silent, and the host's array is given back each time.
  host.document().addPath(circle(0, 0, 50), true);
  host.document().addPath(circle(10, 0, 50), false);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(engine->mouse_func(0, 0.5f, 0.5f), 0);
  EXPECT_EQ(messageAlerts(), 0);
  EXPECT_EQ(host.outstanding().matchingArrays, 0u);
}
