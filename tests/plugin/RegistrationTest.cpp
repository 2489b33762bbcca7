// Start-up and its registrations, the objects made once the application has started, the hold the
// plug-in keeps on its own code while they exist, and shutdown.
#include <string>

#include "PluginFixture.h"

namespace {

using simhost::Alert;

TEST_F(PluginTest, StartupRegistersMenuItemAnnotatorToolNotifierAndTimer) {
  start();
  const SPPluginRef self = plugins->plugin();

  ASSERT_EQ(tools().menuItems.size(), 1u);
  const simhost::MenuItemRecord& item = tools().menuItems[0];
  EXPECT_EQ(item.plugin, self);
  EXPECT_EQ(item.name, "Sarvello");
  EXPECT_EQ(item.group, "Tool Palettes");
  EXPECT_EQ(item.text, "Sarvello");
  EXPECT_EQ(item.options, 1);

  ASSERT_EQ(tools().annotators.size(), 1u);
  EXPECT_EQ(tools().annotators[0].plugin, self);
  EXPECT_EQ(tools().annotators[0].name, "Sarvello Annotator");
  EXPECT_FALSE(tools().annotators[0].active);

  ASSERT_EQ(tools().icons.size(), 1u);
  const simhost::IconRecord& icon = tools().icons[0];
  EXPECT_EQ(icon.name, "Sarvello Tool");
  EXPECT_EQ(icon.requestedType, 1);
  EXPECT_EQ(icon.resourceID, 16050);
  EXPECT_EQ(icon.type, kADMPNGIconType);

  ASSERT_EQ(tools().tools.size(), 1u);
  const simhost::ToolRecord& tool = tools().tools[0];
  EXPECT_EQ(tool.plugin, self);
  EXPECT_EQ(tool.name, "Sarvello Tool");
  EXPECT_EQ(tool.title, "Sarvello Tool");
  EXPECT_EQ(tool.tooltip, "Sarvello Tool");
  EXPECT_EQ(tool.icon, icon.handle);
  EXPECT_EQ(tool.sameGroupAs, -2);
  EXPECT_EQ(tool.sameToolsetAs, -2);
  EXPECT_EQ(tool.options, 1);

  ASSERT_EQ(plugins->notifiers().size(), 2u);
  EXPECT_EQ(plugins->notifiers()[0].name, "Sarvello App Started Notifier");
  EXPECT_EQ(plugins->notifiers()[0].type, kAIApplicationStartedNotifier);
  EXPECT_EQ(plugins->notifiers()[1].name, "Scrolling Notifier");
  EXPECT_EQ(plugins->notifiers()[1].type, "AI Application Shutdown Notifier");

  ASSERT_EQ(tools().timers.size(), 1u);
  EXPECT_EQ(tools().timers[0].plugin, self);
  EXPECT_EQ(tools().timers[0].name, "timer");
  EXPECT_EQ(tools().timers[0].period, 1);
  EXPECT_FALSE(tools().timers[0].active);

  // The menu item's text was a host string only for the call.
  EXPECT_EQ(host.outstanding().unicodeStrings, 0u);
  EXPECT_TRUE(alerts(Alert::Error).empty());
}

// ---- A registration that fails -------------------------------------------------------------

struct FailingStep {
  const char* operation;
  int nth;
  // What the host holds of the plug-in's afterwards: the registrations made before the failure.
  std::size_t menuItems, annotators, tools, timers;
};

void PrintTo(const FailingStep& step, std::ostream* out) { *out << step.operation << "#" << step.nth; }

class FailingRegistration : public PluginTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(FailingRegistration, StopsStartupShowsTheCodeAndLeavesNoObject) {
  const FailingStep& step = GetParam();
  host.faults().failCall(step.operation, step.nth, kBadParameterErr);
  EXPECT_EQ(plugins->start(), kBadParameterErr);
  EXPECT_FALSE(plugins->running());
  EXPECT_EQ(plugins->globals(), nullptr);
  const auto errors = alerts(Alert::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "The application refused a value Sarvello passed to it (PARM).");
  EXPECT_EQ(tools().menuItems.size(), step.menuItems);
  EXPECT_EQ(tools().annotators.size(), step.annotators);
  EXPECT_EQ(tools().tools.size(), step.tools);
  EXPECT_EQ(tools().timers.size(), step.timers);
  // Suites, blocks, strings and access references: all given back.
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FailingRegistration,
    ::testing::Values(FailingStep{"AIMenu.AddMenuItem", 1, 0, 0, 0, 0},
                      FailingStep{"AIUnicodeString.NewFromCString", 1, 0, 0, 0, 0},
                      FailingStep{"AIAnnotator.AddAnnotator", 1, 1, 0, 0, 0},
                      FailingStep{"AIAnnotator.SetAnnotatorActive", 1, 1, 1, 0, 0},
                      FailingStep{"AITool.AddTool", 1, 1, 1, 0, 0},
                      // The frame's application-started notifier comes first.
                      FailingStep{"AINotifier.AddNotifier", 2, 1, 1, 1, 0},
                      FailingStep{"AITimer.AddTimer", 1, 1, 1, 1, 0},
                      FailingStep{"AITimer.SetTimerActive", 1, 1, 1, 1, 1},
                      // A failure inside the frame's own part of start-up is cleaned up too.
                      FailingStep{"SPPlugins.SetPluginName", 1, 0, 0, 0, 0}),
    [](const auto& param) {
      std::string name = param.param.operation;
      for (char& c : name)
        if (c == '.') c = '_';
      return name;
    });

TEST_F(PluginTest, ToolIconThatCannotBeMadeStopsStartupWithIco) {
  // The host finds no icon resource nor tool image: the icon it makes is of unknown type.
  const auto resources = host.resource;
  host.resource = [resources](SPPluginRef plugin, std::uint32_t type, int32_t id) {
    return type == simhost::kIconResourceType || type == simhost::kToolImageResourceType
               ? nullptr
               : resources(plugin, type, id);
  };
  EXPECT_EQ(plugins->start(), kBadIconErr);
  EXPECT_EQ(plugins->globals(), nullptr);
  ASSERT_EQ(tools().icons.size(), 1u);
  EXPECT_EQ(tools().icons[0].type, kADMUnknownIconType);
  EXPECT_TRUE(tools().tools.empty());
  EXPECT_TRUE(tools().timers.empty());
  const auto errors = alerts(Alert::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0],
            "Sarvello could not load the icon of its tool (!ico), so the Sarvello Tool is not "
            "available.");
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

// ---- After the application has started ----------------------------------------------------

TEST_F(PluginTest, AnnotatorThatCannotBeMadeLeavesAPluginWithoutOne) {
  // Each allocation of the application-started notification refused in turn: the annotator, the
  // engine, its grid blocks. Whichever it is, the notification answers an error, and the plug-in
  // runs on without an annotator and without holding its code.
  plugins.reset();  // one loader per module file at a time
  for (int nth = 1; nth <= 6; ++nth) {
    SCOPED_TRACE("allocation " + std::to_string(nth));
    simhost::PluginHost fresh(host, kModule);
    ASSERT_EQ(fresh.sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector), kNoErr);
    host.faults().refuseAllocation(nth);
    const ASErr err = fresh.notify(kAIApplicationStartedNotifier);
    host.faults().clear();
    EXPECT_TRUE(err == kCantHappenErr || err == kOutOfMemoryErr) << err;
    EXPECT_EQ(fresh.accessReferences(), 0);
    EXPECT_EQ(host.outstanding().spBlocks, 0u);

    // The tool does nothing without it.
    AIToolMessage select{};
    EXPECT_EQ(fresh.send(kAIToolCaller, kAIToolSelectSelector, &select), kNoErr);
    EXPECT_FALSE(tools().annotators.back().active);
    EXPECT_FALSE(tools().timers.back().active);

    EXPECT_EQ(fresh.notify(kAIApplicationShutdownNotifier), kNoErr);
    EXPECT_EQ(fresh.sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector), kNoErr);
    EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  }
}

TEST_F(PluginTest, RefusedSelfReferenceMakesNoAnnotator) {
  ASSERT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector), kNoErr);
  host.faults().failCall("SPAccess.AcquirePlugin", 1, kBadParameterErr);
  EXPECT_EQ(plugins->notify(kAIApplicationStartedNotifier), kCantHappenErr);
  EXPECT_EQ(host.outstanding().spBlocks, 0u);  // no engine grid
  // Without the annotator nothing points into the code: it may be unloaded and loaded again.
  EXPECT_TRUE(plugins->purge());
  EXPECT_EQ(plugins->reload(), kNoErr);
  // A later notification makes it.
  EXPECT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 1);
  EXPECT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector), kNoErr);
}

TEST_F(PluginTest, CodeStaysLoadedWhileTheAnnotatorExists) {
  // Between start-up and the application-started notification the code may go and come back.
  ASSERT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 0);
  ASSERT_TRUE(plugins->purge());
  EXPECT_FALSE(plugins->loaded());
  ASSERT_EQ(plugins->reload(), kNoErr);

  // The annotator and its engine exist: a purge request leaves the code where it is.
  ASSERT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 1);
  EXPECT_FALSE(plugins->purge());
  EXPECT_TRUE(plugins->loaded());
  // A second notification makes nothing new and takes no second reference.
  EXPECT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 1);
  EXPECT_EQ(host.outstanding().accessRefs, 1u);

  // The tool works as before.
  makeLoop();
  addSquare(-50.0f, 50.0f, 100.0f);
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::select()), kNoErr);
  loop->idle(3);
  EXPECT_EQ(loop->stats().timerTicks, 3);
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::deselect()), kNoErr);
  loop.reset();

  // The shutdown notification destroys the annotator and lets go of the code.
  ASSERT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 0);
  EXPECT_EQ(host.outstanding().spBlocks, 0u);
  void* object = plugins->globals();
  ASSERT_TRUE(plugins->purge());
  EXPECT_FALSE(plugins->loaded());
  ASSERT_EQ(plugins->reload(), kNoErr);
  EXPECT_EQ(plugins->globals(), object);

  // Without the annotator the tool's messages do nothing.
  EXPECT_EQ(sendTool(kAIToolSelectSelector), kNoErr);
  EXPECT_FALSE(tools().annotators[0].active);
  EXPECT_FALSE(tools().timers[0].active);
  EXPECT_EQ(sendTool(kAIToolMouseDownSelector), kNoErr);
  EXPECT_EQ(tick(), kNoErr);
  EXPECT_TRUE(alerts(Alert::Message).empty());

  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector), kNoErr);
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

TEST_F(PluginTest, ShutdownWithoutTheNotificationLeavesNothing) {
  start();
  addSquare(-50.0f, 50.0f, 100.0f);
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::select()), kNoErr);
  loop->idle(2);
  EXPECT_GT(host.outstanding().spBlocks, 0u);
  // The host quits without announcing it.
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector), kNoErr);
  EXPECT_EQ(plugins->globals(), nullptr);
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

TEST_F(PluginTest, FullRunQuitsWithNothingOutstanding) {
  start();
  addSquare(-50.0f, 50.0f, 100.0f);
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::select()), kNoErr);
  using Kind = simhost::HostEvent::Kind;
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::pointer(Kind::MouseDown, {-20.0f, 0.0f})), kNoErr);
  for (int i = 0; i < 3; ++i) {
    loop->idle(2);
    ASSERT_EQ(loop->dispatch(simhost::HostEvent::pointer(Kind::MouseDrag, {-20.0f + 10.0f * i, 0.0f})),
              kNoErr);
  }
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::pointer(Kind::MouseUp, {10.0f, 0.0f})), kNoErr);
  loop->idle(5);
  ASSERT_EQ(loop->dispatch(simhost::HostEvent::deselect()), kNoErr);
  EXPECT_GT(host.outstanding().suiteAcquisitions, 0u);
  loop.reset();
  EXPECT_EQ(plugins->quit(), kNoErr);
  EXPECT_FALSE(plugins->loaded());
  const simhost::Outstanding left = host.outstanding();
  EXPECT_TRUE(left.clean()) << left.describe();
  EXPECT_EQ(left.basicBlocks, 0u);
  EXPECT_EQ(left.suiteAcquisitions, 0u);
  EXPECT_EQ(left.unicodeStrings, 0u);
  EXPECT_EQ(left.accessRefs, 0u);
  EXPECT_TRUE(alerts(Alert::Error).empty());
}

}  // namespace
