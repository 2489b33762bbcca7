// The plug-in's own class: the one object the host keeps, its registrations with the host and the
// objects it owns (the annotator and the two panels), and the handlers through which the host
// drives the tool: selection, pointer events, the timer tick and the overlay's annotation
// messages.
#ifndef SARVELLO_PLUGIN_SARVELLOPLUGIN_H
#define SARVELLO_PLUGIN_SARVELLOPLUGIN_H

#include "HostAPI.h"
#include "Plugin.h"

class SarvelloAnnotator;
class BaseADMDialog;
class ADMNonModalDialog;
class EduNonModalDialog;

// Names and resources of what the plug-in registers with the host.
inline constexpr const char kSarvelloMenuItemName[] = "Sarvello";
inline constexpr const char kSarvelloAnnotatorName[] = "Sarvello Annotator";
inline constexpr const char kSarvelloToolName[] = "Sarvello Tool";
inline constexpr const char kSarvelloShutdownNotifierName[] = "Scrolling Notifier";
inline constexpr const char kSarvelloTimerName[] = "timer";
inline constexpr int32_t kSarvelloToolIconID = 16050;
inline constexpr int32_t kSarvelloCursorID = 16060;
// Handled drags are at least this far apart, measured from the end of the last handled one.
inline constexpr double kDragInterval = 0.016666666666666666;

class SarvelloPlugin : public Plugin {
 public:
  explicit SarvelloPlugin(SPPluginRef pluginRef);
  // Binds a surviving object to the code loaded now; see FixupReload.
  explicit SarvelloPlugin(PluginReloadTag tag) noexcept : Plugin(tag) {}
  ~SarvelloPlugin() override;

  ASErr StartupPlugin(SPInterfaceMessage* message) override;
  ASErr PostStartupPlugin() override;
  ASErr ShutdownPlugin(SPInterfaceMessage* message) override;
  ASErr UnloadPlugin(SPInterfaceMessage* message) override;
  ASErr ReloadPlugin(SPInterfaceMessage* message) override;
  ASErr Message(const char* caller, const char* selector, void* message) override;
  ASErr Notify(AINotifierMessage* message) override;
  ASErr GoMenuItem(AIMenuMessage* message) override;
  ASErr TrackToolCursor(AIToolMessage* message) override;
  ASErr ToolMouseDown(AIToolMessage* message) override;
  ASErr ToolMouseDrag(AIToolMessage* message) override;
  ASErr ToolMouseUp(AIToolMessage* message) override;
  ASErr SelectTool(AIToolMessage* message) override;
  ASErr DeselectTool(AIToolMessage* message) override;
  ASErr GoTimer(AITimerMessage* message) override;

  // The annotation messages, routed by Message.
  virtual ASErr DrawAnnotation(AIAnnotatorMessage* message);
  virtual ASErr InvalAnnotation(AIAnnotatorMessage* message);

  // Registration steps of start-up.
  ASErr AddMenus(SPInterfaceMessage* message);
  ASErr AddAnnotator(SPInterfaceMessage* message);
  ASErr AddTool(SPInterfaceMessage* message);
  ASErr AddNotifier(SPInterfaceMessage* message);

  SarvelloAnnotator* annotator() const { return fAnnotator; }

  // Told by a panel that deletes itself because the dialog manager destroyed its dialog: the
  // plug-in object forgets it, so that the shutdown notification does not delete it again.
  static void ForgetPanel(BaseADMDialog* panel);

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

 private:
  // The timer registration, the last step of start-up.
  ASErr AddTimer();
  // Destroys the panels and the annotator that exist and gives back the plug-in's hold on its
  // own code.
  void DestroyObjects() noexcept;
  // Gives back the hold on the module's code once none of the objects pointing into it exists.
  void ReleaseCodeIfUnused() noexcept;
};

#endif
