// The built module Sarvello.aip loaded through the stand-in host's loader, with the tool side's
// suites and an event loop, as the plug-in meets them in use. Every test ends with the module
// unloaded and nothing of the host's left outstanding.
#ifndef SARVELLO_TESTS_PLUGIN_PLUGINFIXTURE_H
#define SARVELLO_TESTS_PLUGIN_PLUGINFIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Host.h"
#include "PathSegments.h"
#include "loader/PluginHost.h"
#include "ViewRects.h"
#include "tool/EventLoop.h"
#include "tool/ToolState.h"

inline const std::string kModule = SARVELLO_MODULE_PATH;

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { plugins = std::make_unique<simhost::PluginHost>(host, kModule); }

  void TearDown() override {
    loop.reset();
    plugins.reset();
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }

  // Starts the plug-in (start-up and the application-started notification) and sets up the loop.
  void start() {
    ASSERT_EQ(plugins->start(), kNoErr);
    makeLoop();
  }

  void makeLoop() {
    simhost::LoopOptions options;
    options.dragSpacing = 0.0;  // the tests that drag control the clock themselves
    loop = std::make_unique<simhost::EventLoop>(host, plugins->plugin(), plugins->sender(), options);
  }

  simhost::ToolState& tools() { return host.tools(); }

  // A message of the tool with the cursor at an artwork point.
  ASErr sendTool(const char* selector, AIRealPoint cursor = {0.0f, 0.0f}) {
    AIToolMessage message{};
    message.tool = tools().tools.empty() ? nullptr : tools().tools.front().handle;
    message.cursor = cursor;
    return plugins->send(kAIToolCaller, selector, &message);
  }

  ASErr tick() {
    AITimerMessage message{};
    message.timer = tools().timers.empty() ? nullptr : tools().timers.front().handle;
    return plugins->send(kAITimerCaller, kAITimerGoSelector, &message);
  }

  // One "AI Draw" with a recording drawer; the calls land in *recording.
  ASErr draw(simhost::OverlayRecording* recording) {
    _t_AIAnnotatorDrawer drawer;
    drawer.recording = recording;
    AIAnnotatorMessage message{};
    message.annotator = tools().annotators.empty() ? nullptr : tools().annotators.front().handle;
    message.view = host.viewHandle();
    message.drawer = &drawer;
    return plugins->send(kAIAnnotatorCaller, kAIAnnotatorDrawSelector, &message);
  }

  int calls(const std::string& operation) { return host.faults().calls(operation); }

  std::vector<std::string> alerts(simhost::Alert::Kind kind) {
    std::vector<std::string> texts;
    for (const auto& a : host.alerts())
      if (a.kind == kind) texts.push_back(a.text);
    return texts;
  }

  // A closed square path of four corners, selected.
  AIArtHandle addSquare(float left, float top, float side) {
    return host.document().addPath(squareCorners(left, top, side), true, true);
  }

  simhost::Host host;
  std::unique_ptr<simhost::PluginHost> plugins;
  std::unique_ptr<simhost::EventLoop> loop;
};

#endif
