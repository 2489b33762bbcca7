// A plug-in class for in-process tests of the frame: it records every handler the dispatcher
// reaches and can be told to answer a code from any of them.
#ifndef SARVELLO_TESTS_FRAME_TESTPLUGIN_H
#define SARVELLO_TESTS_FRAME_TESTPLUGIN_H

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "Plugin.h"

struct TestPluginLog {
  std::vector<std::string> calls;          // handler names in call order
  std::map<std::string, ASErr> answers;   // handler name -> code it answers instead of the default
  int constructed = 0;                     // ordinary constructions
  int rebound = 0;                         // reload constructions
  void clear() { *this = TestPluginLog{}; }
};
extern TestPluginLog gLog;

// The time FrameClockNow answers in the test build.
extern std::time_t gFakeNow;

class TestPlugin : public Plugin {
 public:
  explicit TestPlugin(SPPluginRef ref);
  explicit TestPlugin(PluginReloadTag tag) noexcept;

  int32_t marker;  // state that must survive an unload and reload

  using Plugin::fLastErrorCode;
  using Plugin::fSelfRef;

#define TEST_HANDLER(Name, Record) \
  ASErr Name(Record* m) override { return log(#Name, [&] { return Plugin::Name(m); }); }
  TEST_HANDLER(StartupPlugin, SPInterfaceMessage)
  TEST_HANDLER(ShutdownPlugin, SPInterfaceMessage)
  TEST_HANDLER(UnloadPlugin, SPInterfaceMessage)
  TEST_HANDLER(ReloadPlugin, SPInterfaceMessage)
  TEST_HANDLER(AcquireProperty, SPPropertiesMessage)
  TEST_HANDLER(ReleaseProperty, SPPropertiesMessage)
  TEST_HANDLER(About, SPInterfaceMessage)
  TEST_HANDLER(Notify, AINotifierMessage)
  TEST_HANDLER(GoAction, DoActionMessage)
  TEST_HANDLER(GoMenuItem, AIMenuMessage)
  TEST_HANDLER(UpdateMenuItem, AIMenuMessage)
  TEST_HANDLER(GetFilterParameters, AIFilterMessage)
  TEST_HANDLER(GoFilter, AIFilterMessage)
  TEST_HANDLER(PluginGroupNotify, AIPluginGroupMessage)
  TEST_HANDLER(PluginGroupUpdate, AIPluginGroupMessage)
  TEST_HANDLER(GetFileFormatParameters, AIFileFormatMessage)
  TEST_HANDLER(GoFileFormat, AIFileFormatMessage)
  TEST_HANDLER(CheckFileFormat, AIFileFormatMessage)
  TEST_HANDLER(FileFormatUpdate, AIUpdateFileFormatMessage)
  TEST_HANDLER(SetFileFormatParameters, DoActionMessage)
  TEST_HANDLER(EditTool, AIToolMessage)
  TEST_HANDLER(TrackToolCursor, AIToolMessage)
  TEST_HANDLER(ToolMouseDown, AIToolMessage)
  TEST_HANDLER(ToolMouseDrag, AIToolMessage)
  TEST_HANDLER(ToolMouseUp, AIToolMessage)
  TEST_HANDLER(SelectTool, AIToolMessage)
  TEST_HANDLER(DeselectTool, AIToolMessage)
  TEST_HANDLER(ReselectTool, AIToolMessage)
  TEST_HANDLER(DecreaseDiameter, AIToolMessage)
  TEST_HANDLER(IncreaseDiameter, AIToolMessage)
  TEST_HANDLER(EditLiveEffectParameters, AILiveEffectEditParamMessage)
  TEST_HANDLER(GoLiveEffect, AILiveEffectGoMessage)
  TEST_HANDLER(LiveEffectInterpolate, AILiveEffectInterpParamMessage)
  TEST_HANDLER(LiveEffectGetInputType, AILiveEffectInputTypeMessage)
  TEST_HANDLER(LiveEffectConvertColorSpace, AILiveEffectConvertColorMessage)
  TEST_HANDLER(LiveEffectScaleParameters, AILiveEffectScaleParamMessage)
  TEST_HANDLER(LiveEffectAdjustColors, AILiveEffectAdjustColorsMessage)
  TEST_HANDLER(LiveEffectHandleMerge, AILiveEffectHandleMergeMessage)
  TEST_HANDLER(GoTimer, AITimerMessage)
  TEST_HANDLER(GoClipboard, AIClipboardMessage)
  TEST_HANDLER(CanCopyClipboard, AIClipboardMessage)
  TEST_HANDLER(CloneClipboard, AIClipboardMessage)
  TEST_HANDLER(DisposeClipboard, AIClipboardMessage)
  TEST_HANDLER(WorkspaceWrite, AIWorkspaceMessage)
  TEST_HANDLER(WorkspaceRestore, AIWorkspaceMessage)
  TEST_HANDLER(WorkspaceDefault, AIWorkspaceMessage)
#undef TEST_HANDLER

  ASErr PostStartupPlugin() override { return log("PostStartupPlugin", [] { return kNoErr; }); }
  bool Purge() override {
    gLog.calls.push_back("Purge");
    return false;
  }

 private:
  template <class F>
  ASErr log(const char* name, F base) {
    gLog.calls.push_back(name);
    const auto it = gLog.answers.find(name);
    return it != gLog.answers.end() ? it->second : base();
  }
};

#endif
