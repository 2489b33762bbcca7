// The frame's sources built into this test with a recording plug-in class and a controlled clock,
// driven through the stand-in host's loader as an in-process plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/Host.h"
#include "loader/PluginHost.h"
#include "Suites.h"
#include "TestPlugin.h"

extern "C" SPErr PluginMain(const char* caller, const char* selector, void* message);

namespace {

constexpr ASErr kNotFound = kSuiteNotFoundErr;

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    gFakeNow = 1000000;
    plugins = std::make_unique<simhost::PluginHost>(host, PluginMain,
                                                    simhost::readPluginFile(SARVELLO_MODULE_PATH));
  }
  void TearDown() override {
    plugins.reset();
    EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  }
  TestPlugin* object() const { return static_cast<TestPlugin*>(plugins->globals()); }
  bool called(const std::string& name) const {
    for (const auto& c : gLog.calls)
      if (c == name) return true;
    return false;
  }
  std::vector<std::string> errorTexts() {
    std::vector<std::string> texts;
    for (const auto& a : host.alerts())
      if (a.kind == simhost::Alert::Error) texts.push_back(a.text);
    return texts;
  }
  ASErr sendTimer() {
    AITimerMessage m{};
    return plugins->send(kAITimerCaller, kAITimerGoSelector, &m);
  }

  simhost::Host host;
  std::unique_ptr<simhost::PluginHost> plugins;
};

TEST_F(Frame, StartupAcquiresEverySuiteAndQuitGivesEverythingBack) {
  ASSERT_EQ(plugins->start(), kNoErr);
  ASSERT_NE(object(), nullptr);
  EXPECT_EQ(gPlugin, object());
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 31u);
  EXPECT_EQ(plugins->name(), "Plugin");
  ASSERT_EQ(plugins->notifiers().size(), 1u);
  EXPECT_EQ(plugins->notifiers()[0].name, "Plugin App Started Notifier");
  // The application-started notification reaches PostStartupPlugin and then Notify.
  EXPECT_EQ(gLog.calls, (std::vector<std::string>{"StartupPlugin", "PostStartupPlugin", "Notify"}));
  EXPECT_EQ(plugins->quit(), kNoErr);
  EXPECT_EQ(plugins->globals(), nullptr);
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

struct Row {
  const char* caller;
  const char* selector;
  const char* handler;  // none: answered by the dispatcher itself
  ASErr result;         // what the dispatcher answers by default
};

TEST_F(Frame, EveryRowOfTheDispatchTableReachesItsHandler) {
  const Row rows[] = {
      {"SP Access", "Unload", "UnloadPlugin", 0},
      {"SP Access", "Reload", "ReloadPlugin", 0},
      {"SP Interface", "About", "About", 0},
      {"SP Interface", "Startup", nullptr, 0},
      {"SP Cache", "Plug-in Purge", "Purge", 0},
      {"SP Properties", "Acquire", "AcquireProperty", kUnhandledMsgErr},
      {"SP Properties", "Release", "ReleaseProperty", kUnhandledMsgErr},
      {"Action Manager", "Do Action", "GoAction", 0},
      {"AI Menu", "AI Go", "GoMenuItem", kUnhandledMsgErr},
      {"AI Menu", "AI Update", "UpdateMenuItem", kUnhandledMsgErr},
      {"AI Filter", "AI Get Parameters", "GetFilterParameters", kUnhandledMsgErr},
      {"AI Filter", "AI Go", "GoFilter", kUnhandledMsgErr},
      {"AI Plugin Group", "AI Notify Edits", "PluginGroupNotify", kUnhandledMsgErr},
      {"AI Plugin Group", "AI Update", "PluginGroupUpdate", kUnhandledMsgErr},
      {"AI File Format", "AI Get Parameters", "GetFileFormatParameters", kUnhandledMsgErr},
      {"AI File Format", "AI Go", "GoFileFormat", kUnhandledMsgErr},
      {"AI File Format", "AI Check", "CheckFileFormat", kUnhandledMsgErr},
      {"AI File Format", "AI Update AI140", "FileFormatUpdate", kUnhandledMsgErr},
      {"AI File Format", "Do Action", "SetFileFormatParameters", kUnhandledMsgErr},
      {"AI Tool", "AI Edit Options", "EditTool", kUnhandledMsgErr},
      {"AI Tool", "AI Track Cursor", "TrackToolCursor", kUnhandledMsgErr},
      {"AI Tool", "AI Mouse Down", "ToolMouseDown", kUnhandledMsgErr},
      {"AI Tool", "AI Mouse Drag", "ToolMouseDrag", kUnhandledMsgErr},
      {"AI Tool", "AI Mouse Up", "ToolMouseUp", kUnhandledMsgErr},
      {"AI Tool", "AI Select", "SelectTool", kUnhandledMsgErr},
      {"AI Tool", "AI Deselect", "DeselectTool", kUnhandledMsgErr},
      {"AI Tool", "AI Reselect", "ReselectTool", 0},
      {"AI Tool", "AI Decrease Diameter", "DecreaseDiameter", 0},
      {"AI Tool", "AI Increase Diameter", "IncreaseDiameter", 0},
      {"AI Live Effect", "AI Live Effect Edit Parameters", "EditLiveEffectParameters", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Go Live", "GoLiveEffect", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Interpolate Parameters", "LiveEffectInterpolate", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Input Type", "LiveEffectGetInputType", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Scale Parameters", "LiveEffectScaleParameters", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Convert Color Space", "LiveEffectConvertColorSpace", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Adjust Colors", "LiveEffectAdjustColors", kUnhandledMsgErr},
      {"AI Live Effect", "AI Live Effect Handle Merge", "LiveEffectHandleMerge", kUnhandledMsgErr},
      {"AI Timer", "AI Go", "GoTimer", kUnhandledMsgErr},
      {"AI Clipboard", "AI Go", "GoClipboard", kUnhandledMsgErr},
      {"AI Clipboard", "AI Can Copy", "CanCopyClipboard", kUnhandledMsgErr},
      {"AI Clipboard", "AI Clone", "CloneClipboard", kUnhandledMsgErr},
      {"AI Clipboard", "AI Dispose", "DisposeClipboard", kUnhandledMsgErr},
      {"Workspace Manager", "Write Woskspace", "WorkspaceWrite", kUnhandledMsgErr},
      {"Workspace Manager", "Restore Woskspace", "WorkspaceRestore", kUnhandledMsgErr},
      {"Workspace Manager", "Default Woskspace", "WorkspaceDefault", kUnhandledMsgErr},
  };
  ASSERT_EQ(plugins->start(), kNoErr);
  // A record big enough for any of the messages.
  struct {
    SPMessageData d;
    unsigned char rest[64];
  } record{};
  record.d.self = plugins->plugin();
  record.d.basic = host.basicSuite();
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.caller) + " / " + row.selector);
    gLog.calls.clear();
    record.d.globals = object();
    EXPECT_EQ(object()->Message(row.caller, row.selector, &record), row.result);
    if (row.handler == nullptr) {
      EXPECT_TRUE(gLog.calls.empty());
    } else {
      ASSERT_EQ(gLog.calls.size(), 1u);
      EXPECT_EQ(gLog.calls[0], row.handler);
    }
  }
  // Each row through the host: "!MSG" arrives as 0, and so does everything else here.
  for (const Row& row : rows) {
    if (std::strcmp(row.caller, "SP Access") == 0) continue;  // the host's own unload and reload
    SCOPED_TRACE(std::string(row.caller) + " / " + row.selector);
    EXPECT_EQ(plugins->send(row.caller, row.selector, &record), kNoErr);
  }
  EXPECT_TRUE(errorTexts().empty());
}

TEST_F(Frame, UnknownMessagesAnswerZeroAndWarn) {
  ASSERT_EQ(plugins->start(), kNoErr);
  SPInterfaceMessage m{};
  gLog.calls.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(plugins->send("No Such Caller", "AI Go", &m), kNoErr);
  EXPECT_EQ(plugins->send("AI Tool", "ai select", &m), kNoErr);  // comparisons are case-sensitive
  const std::string err = ::testing::internal::GetCapturedStderr();
#if !SARVELLO_WINDOWS_VARIANT
  EXPECT_EQ(err,
            "Warning: Unhandled plugin message: caller \"No Such Caller\" selector \"AI Go\"\n"
            "Warning: Unhandled plugin message: caller \"AI Tool\" selector \"ai select\"\n");
#endif
  EXPECT_TRUE(gLog.calls.empty());
}

TEST_F(Frame, MessagesWithoutObjectOrSuitesReachNothing) {
  SPInterfaceMessage m{};
  m.d.basic = host.basicSuite();
  m.d.self = plugins->plugin();
  // Before start-up: no object.
  EXPECT_EQ(PluginMain("AI Timer", "AI Go", &m), kNoErr);
  EXPECT_EQ(PluginMain("SP Interface", "Shutdown", &m), kNoErr);
  EXPECT_TRUE(gLog.calls.empty());
  // Between unload and reload the object has no suites: nothing reaches the dispatcher.
  ASSERT_EQ(plugins->start(), kNoErr);
  ASSERT_TRUE(plugins->purge());
  gLog.calls.clear();
  m.d.globals = object();
  EXPECT_EQ(PluginMain("AI Timer", "AI Go", &m), kNoErr);
  EXPECT_TRUE(gLog.calls.empty());
  // A malformed call is refused rather than followed.
  EXPECT_EQ(PluginMain(nullptr, "AI Go", &m), kBadParameterErr);
  EXPECT_EQ(PluginMain("AI Timer", "AI Go", nullptr), kBadParameterErr);
}

TEST_F(Frame, ErrorReportShowsACodeOncePerWindowAndFiltersItsList) {
  ASSERT_EQ(plugins->start(), kNoErr);
  gLog.answers["GoTimer"] = 12;
  EXPECT_EQ(sendTimer(), 12);
  ASSERT_EQ(errorTexts().size(), 1u);
  EXPECT_EQ(errorTexts()[0], "Sarvello could not complete the operation (error 12).");
  EXPECT_EQ(sendTimer(), 12);  // the host still gets the code
  gFakeNow += 4;
  EXPECT_EQ(sendTimer(), 12);
  EXPECT_EQ(errorTexts().size(), 1u);
  gFakeNow += 1;  // 5 seconds after it was shown
  EXPECT_EQ(sendTimer(), 12);
  EXPECT_EQ(errorTexts().size(), 2u);

  gLog.answers["GoTimer"] = kOutOfMemoryErr;  // a different code is shown at once
  EXPECT_EQ(sendTimer(), kOutOfMemoryErr);
  ASSERT_EQ(errorTexts().size(), 3u);
  EXPECT_EQ(errorTexts()[2],
            "Sarvello ran out of memory (!MEM). Close other documents or lower the grid resolution, "
            "then try again.");

  for (ASErr filtered : {AS_FOURCC('S', 'T', 'O', 'P'), AS_FOURCC('D', 'O', 'N', 'E'), ASErr(361)}) {
    gLog.answers["GoTimer"] = filtered;
    EXPECT_EQ(sendTimer(), filtered);
  }
  EXPECT_EQ(errorTexts().size(), 3u);
  // A named four-character code gets its own text; a negative number the catch-all.
  gLog.answers["GoTimer"] = kBadIconErr;
  sendTimer();
  gLog.answers["GoTimer"] = -43;
  sendTimer();
  ASSERT_EQ(errorTexts().size(), 5u);
  EXPECT_EQ(errorTexts()[3],
            "Sarvello could not load the icon of its tool (!ico), so the Sarvello Tool is not available.");
  EXPECT_EQ(errorTexts()[4], "Sarvello could not complete the operation (error -43).");
}

TEST_F(Frame, FailedStartupLeavesNoObjectAndShowsTheCode) {
  host.faults().refuseAllocation(1);  // the plug-in object
  EXPECT_EQ(plugins->start(), kOutOfMemoryErr);
  EXPECT_EQ(plugins->globals(), nullptr);
  EXPECT_EQ(gLog.constructed, 0);
  ASSERT_EQ(errorTexts().size(), 1u);
  EXPECT_NE(errorTexts()[0].find("(!MEM)"), std::string::npos);
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();

  host.faults().clear();
  host.faults().lackSuite(kAIURLSuite);  // the last row of the plug-in's table
  EXPECT_EQ(plugins->start(), kNotFound);
  EXPECT_EQ(plugins->globals(), nullptr);
  ASSERT_EQ(errorTexts().size(), 2u);
  EXPECT_EQ(errorTexts()[1], "A service Sarvello needs is missing from this application (!SUI). Sarvello cannot start.");
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  EXPECT_EQ(Suites::fAcquiredCount, 0);

  // A later start-up succeeds.
  host.faults().clear();
  EXPECT_EQ(plugins->start(), kNoErr);
}

TEST_F(Frame, UnloadAndReloadKeepTheObjectAndItsState) {
  ASSERT_EQ(plugins->start(), kNoErr);
  TestPlugin* before = object();
  before->marker = 42;
  gLog.answers["GoTimer"] = 12;
  EXPECT_EQ(sendTimer(), 12);
  ASSERT_EQ(errorTexts().size(), 1u);

  // A locked plug-in holds an access reference to itself and is not unloaded.
  before->LockPlugin(true);
  before->LockPlugin(true);
  EXPECT_EQ(host.outstanding().accessRefs, 1u);
  EXPECT_FALSE(plugins->purge());
  before->LockPlugin(false);
  before->LockPlugin(false);
  before->LockPlugin(false);  // one too many is harmless
  EXPECT_EQ(before->lockDepth(), 0);
  EXPECT_EQ(host.outstanding().accessRefs, 0u);

  ASSERT_TRUE(plugins->purge());
  EXPECT_FALSE(plugins->loaded());
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 0u);
  EXPECT_EQ(before->suiteSet(), nullptr);

  gLog.calls.clear();
  EXPECT_EQ(sendTimer(), 12);  // reloads first
  EXPECT_EQ(gLog.calls, (std::vector<std::string>{"ReloadPlugin", "GoTimer"}));
  EXPECT_EQ(gLog.rebound, 1);
  EXPECT_EQ(object(), before);
  EXPECT_EQ(object()->marker, 42);
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 31u);
  EXPECT_EQ(errorTexts().size(), 1u);  // the repeat window survived the reload too
  EXPECT_EQ(plugins->quit(), kNoErr);
}

TEST_F(Frame, NotificationsRouteByTypeAndSelectorInsideTheApplicationContext) {
  ASSERT_EQ(plugins->start(), kNoErr);
  const int pushes = host.faults().calls("AIAppContext.PushAppContext");
  AINotifierMessage m{};
  m.type = "AI Art Selection Changed Notifier";
  gLog.calls.clear();
  EXPECT_EQ(plugins->send(kAINotifierCaller, kAINotifySelector, &m), kNoErr);
  EXPECT_EQ(gLog.calls, std::vector<std::string>{"Notify"});

  m.type = kAIApplicationStartedNotifier;
  gLog.calls.clear();
  EXPECT_EQ(plugins->send(kAINotifierCaller, "AI Other", &m), kNoErr);
  EXPECT_EQ(gLog.calls, std::vector<std::string>{"PostStartupPlugin"});

  gLog.answers["PostStartupPlugin"] = kCantHappenErr;  // a failing post-start-up skips Notify
  gLog.calls.clear();
  EXPECT_EQ(plugins->send(kAINotifierCaller, kAINotifySelector, &m), kCantHappenErr);
  EXPECT_EQ(gLog.calls, std::vector<std::string>{"PostStartupPlugin"});

  EXPECT_EQ(host.faults().calls("AIAppContext.PushAppContext"), pushes + 3);
  EXPECT_EQ(host.outstanding().appContexts, 0u);
}

TEST_F(Frame, SecondStartupKeepsTheRunningObject) {
  ASSERT_EQ(plugins->start(), kNoErr);
  TestPlugin* first = object();
  const auto blocks = host.outstanding().basicBlocks;
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector), kNoErr);
  EXPECT_EQ(object(), first);
  EXPECT_EQ(gLog.constructed, 1);
  EXPECT_EQ(host.outstanding().basicBlocks, blocks);
}

TEST_F(Frame, AboutBoxShowsTheAboutTexts) {
  ASSERT_EQ(plugins->start(), kNoErr);
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceAboutSelector), kNoErr);
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].kind, simhost::Alert::About);
  EXPECT_EQ(host.alerts()[0].text, "Sarvello");
  EXPECT_EQ(host.alerts()[0].text2, "Stirs the selected paths as if they floated on a liquid.");
}

TEST_F(Frame, StringsReadThroughFixedBuffersStayInsideThem) {
  ASSERT_EQ(plugins->start(), kNoErr);
  // The name: cut and terminated inside the buffer, the byte after it untouched.
  char name[6];
  std::memset(name, '#', sizeof name);
  object()->GetPluginName(name, 4);
  EXPECT_STREQ(name, "Plu");
  EXPECT_EQ(name[4], '#');
  object()->GetPluginName(name, 0);
  EXPECT_EQ(name[0], 'P');

  // Over-long texts from the string lists, and a message holding printf directives.
  const std::string longText(400, 'x');
  host.stringResource = [&](SPPluginRef, int32_t list, int32_t index, std::string* text) {
    if (list == 16600) {
      *text = longText;
      return index <= 2;
    }
    if (index == 1) *text = longText;                 // a code entry that fills its buffer
    else if (index == 2) *text = longText;            // its message, longer than 119 characters
    else if (index == 3) *text = "12";
    else if (index == 4) *text = "%d %n %s %s 100%%";  // only the first %s is the code
    else return false;
    return true;
  };
  Plugin::DefaultError(plugins->plugin(), 12);
  Plugin::DefaultError(plugins->plugin(), AS_FOURCC('x', 'x', 'x', 'x'));
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceAboutSelector), kNoErr);
  ASSERT_EQ(host.alerts().size(), 3u);
  EXPECT_EQ(host.alerts()[0].text, "%d %n 12 %s 100%");
  EXPECT_EQ(host.alerts()[1].text, std::string(127, 'x'));
  EXPECT_EQ(host.alerts()[2].text, std::string(255, 'x'));
  EXPECT_EQ(host.alerts()[2].text2, std::string(255, 'x'));

  // No list at all: nothing is shown.
  host.stringResource = nullptr;
  Plugin::DefaultError(plugins->plugin(), 12);
  EXPECT_EQ(host.alerts().size(), 3u);
}

TEST_F(Frame, DefaultErrorBorrowsTheAlertSuiteWhenItHasNone) {
  // No start-up: the frame holds no suites, so the error report acquires and releases ADM Basic 2.
  sSPBasic = host.basicSuite();
  Plugin::DefaultError(plugins->plugin(), kCantHappenErr);
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].text, "Sarvello ran into an unexpected problem (CANT) and stopped what it was doing.");
  EXPECT_EQ(sADMBasic, nullptr);
  EXPECT_EQ(host.acquisitions(kADMBasicSuite, 2), 0);
  sSPBasic = nullptr;
  Plugin::DefaultError(plugins->plugin(), kCantHappenErr);  // no host at all: nothing happens
  EXPECT_EQ(host.alerts().size(), 1u);
}

}  // namespace

#include "SDKAboutPluginsHelper.h"

namespace {

TEST_F(Frame, AboutHelperBorrowsItsOwnAlertSuite) {
  SDKAboutPluginsHelper helper;
  AIMenuMessage m{};
  m.d.basic = host.basicSuite();
  m.d.self = plugins->plugin();
  helper.PopAboutBox(&m, "About Sarvello", "Sarvello Sample Project");
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].kind, simhost::Alert::About);
  EXPECT_EQ(host.alerts()[0].text, "About Sarvello");
  EXPECT_EQ(host.alerts()[0].text2, "Sarvello Sample Project");
  EXPECT_EQ(host.acquisitions(kADMBasicSuite, kADMBasicSuiteVersion10), 0);

  host.faults().lackSuite(kADMBasicSuite);  // a failed acquisition shows nothing
  helper.PopAboutBox(&m, "About Sarvello", "Sarvello Sample Project");
  EXPECT_EQ(host.alerts().size(), 1u);
}

}  // namespace
