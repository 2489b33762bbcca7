// The plug-in's own class: the one object the host keeps, its registrations with the host and the
// objects it owns (the annotator and the two panels).
#ifndef SARVELLO_PLUGIN_SARVELLOPLUGIN_H
#define SARVELLO_PLUGIN_SARVELLOPLUGIN_H

#include "HostAPI.h"
#include "Plugin.h"

class SarvelloAnnotator;
class ADMNonModalDialog;
class EduNonModalDialog;

class SarvelloPlugin : public Plugin {
 public:
  explicit SarvelloPlugin(SPPluginRef pluginRef);
  // Binds a surviving object to the code loaded now; see FixupReload.
  explicit SarvelloPlugin(PluginReloadTag tag) noexcept : Plugin(tag) {}
  ~SarvelloPlugin() override;

  ASErr ShutdownPlugin(SPInterfaceMessage* message) override;
  ASErr UnloadPlugin(SPInterfaceMessage* message) override;
  ASErr ReloadPlugin(SPInterfaceMessage* message) override;

 protected:
  // As in Plugin, no default member initialisers: the reload constructor writes no field.
  AIMenuItemHandle fAboutMenuItem;
  AITimerHandle fTimerHandle;
  AIAnnotatorHandle fAnnotatorHandle;
  AIToolHandle fToolHandle;
  AINotifierHandle fShutdownNotifier;
  ASBoolean fSavedViewOption;
  SarvelloAnnotator* fAnnotator;
  ADMNonModalDialog* fParameterPanel;
  EduNonModalDialog* fInfoPanel;
  AIMenuItemHandle fPanelMenuItem;
};

#endif
