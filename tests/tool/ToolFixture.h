// The annotator and the tool suites in-process, on a live stand-in host with its tool side
// installed. Every test ends with the host's accounting clean.
#ifndef SARVELLO_TESTS_TOOL_TOOLFIXTURE_H
#define SARVELLO_TESTS_TOOL_TOOLFIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Host.h"
#include "SarvelloAnnotator.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"
#include "tool/ToolSuites.h"

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simhost::installToolSuites(host);
    suites.emplace(host);
  }
  void TearDown() override {
    annotator.reset();
    suites.reset();
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }

  SarvelloAnnotator& makeAnnotator() {
    annotator = std::make_unique<SarvelloAnnotator>();
    return *annotator;
  }

  simhost::ToolState& tools() { return simhost::toolState(host); }

  // The default window: 1000 x 800 pixels showing artwork (0, 0) at its middle, 1 pixel a unit.
  // A 400-unit square then covers view pixels 300..700 and 200..600.
  static Rect rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Rect r{};
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
  }

  static AIPathSegment corner(float h, float v) {
    AIPathSegment s{};
    s.p = s.in = s.out = AIRealPoint{h, v};
    s.corner = 1;
    return s;
  }

  simhost::Host host;
  std::optional<testsupport::SuiteScope> suites;
  std::unique_ptr<SarvelloAnnotator> annotator;
};

inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

#endif
