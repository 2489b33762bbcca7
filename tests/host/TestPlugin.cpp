#include "TestPlugin.h"

#include <new>

TestPluginLog gLog;
std::time_t gFakeNow = 1000000;

// The controlled clock of the test build of the frame.
std::time_t FrameClockNow() { return gFakeNow; }

TestPlugin::TestPlugin(SPPluginRef ref) : Plugin(ref), marker(0) { ++gLog.constructed; }
TestPlugin::TestPlugin(PluginReloadTag tag) noexcept : Plugin(tag) { ++gLog.rebound; }

Plugin* AllocatePlugin(SPPluginRef ref) {
  TestPlugin* plugin = new TestPlugin(ref);
  if (plugin != nullptr) gPlugin = plugin;
  return plugin;
}

void FixupReload(Plugin* plugin) { new (plugin) TestPlugin(PluginReloadTag{}); }
