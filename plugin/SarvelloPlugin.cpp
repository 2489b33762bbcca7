#include "SarvelloPlugin.h"

#include <cstdio>
#include <new>

Plugin* AllocatePlugin(SPPluginRef pluginRef) {
  SarvelloPlugin* plugin = new SarvelloPlugin(pluginRef);
  if (plugin == nullptr) return nullptr;
  gPlugin = plugin;
  return plugin;
}

// After the host has unloaded and loaded the module again, the object in the host's globals slot
// still points at the virtual table of the code that was unloaded. Constructing it in place with
// the reload constructor sets the virtual table of the code loaded now and writes no field, so the
// object keeps all of its state.
void FixupReload(Plugin* plugin) { new (plugin) SarvelloPlugin(PluginReloadTag{}); }

SarvelloPlugin::SarvelloPlugin(SPPluginRef pluginRef)
    : Plugin(pluginRef),
      fAboutMenuItem(nullptr),
      fTimerHandle(nullptr),
      fAnnotatorHandle(nullptr),
      fToolHandle(nullptr),
      fShutdownNotifier(nullptr),
      fSavedViewOption(1),
      fAnnotator(nullptr),
      fParameterPanel(nullptr),
      fInfoPanel(nullptr),
      fPanelMenuItem(nullptr) {
  std::snprintf(fName, sizeof fName, "%s", "Sarvello");
}

// The annotator and the panels are gone by now (application shutdown notification).
SarvelloPlugin::~SarvelloPlugin() = default;

ASErr SarvelloPlugin::ShutdownPlugin(SPInterfaceMessage* message) {
  message->d.globals = nullptr;
  return Plugin::ShutdownPlugin(message);
}

ASErr SarvelloPlugin::UnloadPlugin(SPInterfaceMessage* message) { return Plugin::UnloadPlugin(message); }

ASErr SarvelloPlugin::ReloadPlugin(SPInterfaceMessage* message) {
  gPlugin = this;
  return Plugin::ReloadPlugin(message);
}
