// The annotator and the tool suites in-process, on a live stand-in host with its tool side
// installed. Every test ends with the host's accounting clean.
#ifndef SARVELLO_TESTS_TOOL_TOOLFIXTURE_H
#define SARVELLO_TESTS_TOOL_TOOLFIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "PathSegments.h"
#include "SarvelloAnnotator.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"
#include "ViewRects.h"
#include "tool/ToolState.h"

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
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

  // The default window: 1000 x 800 pixels showing artwork (0, 0) at its middle, 1 pixel a unit.
  // A 400-unit square then covers view pixels 300..700 and 200..600.
  simhost::ToolState& tools() { return host.tools(); }

  simhost::Host host;
  std::optional<testsupport::SuiteScope> suites;
  std::unique_ptr<SarvelloAnnotator> annotator;
};

#endif
