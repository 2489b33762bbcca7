#include "SarvelloPlugin.h"

#include <sys/time.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "ADMNonModalDialog.h"
#include "IAIUnicodeString.h"
#include "SDKAboutPluginsHelper.h"
#include "SarvelloAnnotator.h"
#include "SarvelloMain.h"
#include "SarvelloSuites.h"

namespace {

constexpr int32_t kMenuItemOptions = 1;
constexpr int32_t kToolOptions = 1;
constexpr int32_t kToolIconType = kADMPNGIconType;
constexpr int16_t kToolPlacement = -2;
constexpr int32_t kTimerPeriod = 1;

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// A suite the operation cannot do without; a missing one fails like an unexpected state.
template <typename Suite>
Suite& need(Suite* suite) {
  if (suite == nullptr) throw ai::Error(kCantHappenErr);
  return *suite;
}

// The system time in seconds, to the microsecond.
double CurrentTime() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-06;
}

// A new panel for the plug-in, or none when it cannot be made: its memory refused ("!MEM"), or
// the dialog manager made no dialog for it ("CANT"). The first such code goes into *failure.
// A panel that deletes itself later (the dialog manager destroyed its dialog) tells the plug-in
// object first.
template <typename Panel>
Panel* MakePanel(SPPluginRef self, ASErr* failure) {
  Panel* panel = new (std::nothrow) Panel(self);
  if (panel == nullptr) {
    if (*failure == kNoErr) *failure = kOutOfMemoryErr;
    return nullptr;
  }
  if (panel->GetDialogRef() == nullptr) {
    delete panel;
    if (*failure == kNoErr) *failure = kCantHappenErr;
    return nullptr;
  }
  panel->SetSelfDeleteHook(SarvelloPlugin::ForgetPanel);
  return panel;
}

// Shows or hides a panel's dialog; a panel whose dialog the dialog manager has destroyed has
// nothing to show.
void ShowPanel(const BaseADMDialog* panel, bool show) {
  if (panel == nullptr || sADMDialog == nullptr) return;
  if (const ADMDialogRef dialog = panel->GetDialogRef()) sADMDialog->Show(dialog, show);
}

// Shows the tool's cursor; whether the host could is of no consequence to the handlers.
void SetToolCursor(SPPluginRef pluginRef) {
  if (sADMBasic != nullptr) sADMBasic->SetPlatformCursor(pluginRef, kSarvelloCursorID);
}

}  // namespace

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

// Where the parameter panel sends its values.
SarvelloAnnotator* PanelAnnotator() {
  const auto* plugin = static_cast<SarvelloPlugin*>(gPlugin);
  return plugin != nullptr ? plugin->annotator() : nullptr;
}

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

// The annotator and the panels are gone by now (application shutdown notification, or at the
// latest ShutdownPlugin).
SarvelloPlugin::~SarvelloPlugin() = default;

// ---- Start-up and registration -------------------------------------------------------------

ASErr SarvelloPlugin::StartupPlugin(SPInterfaceMessage* message) {
  const ASErr result = ai::Guarded([&]() -> ASErr {
    ai::check_ai_error(Plugin::StartupPlugin(message));
    ai::check_ai_error(AddMenus(message));
    ai::check_ai_error(AddAnnotator(message));
    ai::check_ai_error(AddTool(message));
    ai::check_ai_error(AddNotifier(message));
    return AddTimer();
  });
  // A failed start-up ends with the object destroyed and nothing else of the plug-in's: the
  // suites acquired so far go back to the host. The registrations made stay with the host.
  if (result != kNoErr) Plugin::ShutdownPlugin(message);
  return result;
}

ASErr SarvelloPlugin::AddMenus(SPInterfaceMessage*) {
  return ai::Guarded([&]() -> ASErr {
    const ai::UnicodeString text(kSarvelloMenuItemName, kAIPlatformCharacterEncoding);
    AIPlatformAddMenuItemDataUS data{};
    data.groupName = kToolPalettesMenuGroup;
    data.itemText = text.handle();
    return need(sAIMenu).AddMenuItem(fSelfRef, kSarvelloMenuItemName, &data, kMenuItemOptions,
                                     &fPanelMenuItem);
  });
}

ASErr SarvelloPlugin::AddAnnotator(SPInterfaceMessage*) {
  return ai::Guarded([&]() -> ASErr {
    AIAnnotatorSuite& annotators = need(sAIAnnotator);
    ai::check_ai_error(annotators.AddAnnotator(fSelfRef, kSarvelloAnnotatorName, &fAnnotatorHandle));
    // Drawn only while the tool is selected.
    return annotators.SetAnnotatorActive(fAnnotatorHandle, false);
  });
}

ASErr SarvelloPlugin::AddTool(SPInterfaceMessage*) {
  return ai::Guarded([&]() -> ASErr {
    ADMIconSuite& icons = need(sADMIcon2);
    const ADMIconRef icon =
        icons.GetFromResource(fSelfRef, kSarvelloToolName, kToolIconType, kSarvelloToolIconID);
    if (icons.GetType(icon) == kADMUnknownIconType) return kBadIconErr;

    AIAddToolData data{};
    data.title = kSarvelloToolName;
    data.tooltip = kSarvelloToolName;
    data.icon = icon;
    data.sameGroupAs = kToolPlacement;
    data.sameToolsetAs = kToolPlacement;
    return need(sAITool).AddTool(fSelfRef, kSarvelloToolName, &data, kToolOptions, &fToolHandle);
  });
}

ASErr SarvelloPlugin::AddNotifier(SPInterfaceMessage*) {
  return ai::Guarded([&]() -> ASErr {
    return need(sAINotifier).AddNotifier(fSelfRef, kSarvelloShutdownNotifierName,
                                         kAIApplicationShutdownNotifier, &fShutdownNotifier);
  });
}

ASErr SarvelloPlugin::AddTimer() {
  return ai::Guarded([&]() -> ASErr {
    AITimerSuite& timers = need(sAITimer);
    ai::check_ai_error(timers.AddTimer(fSelfRef, kSarvelloTimerName, kTimerPeriod, &fTimerHandle));
    // Ticks only while the tool is selected.
    return timers.SetTimerActive(fTimerHandle, false);
  });
}

ASErr SarvelloPlugin::PostStartupPlugin() {
  const ASErr result = ai::Guarded([&]() -> ASErr {
    if (fAnnotator != nullptr && fParameterPanel != nullptr && fInfoPanel != nullptr)
      return kNoErr;
    // The annotator (and the engine it makes) and the panels point into this module's code.
    // While any of them exists the plug-in holds an access reference to itself, so that the
    // host never unloads the code under them.
    if (fLockDepth == 0) {
      LockPlugin(true);
      if (fSelfAccess == nullptr) return kCantHappenErr;
    }
    if (fAnnotator == nullptr) {
      fAnnotator = new (std::nothrow) SarvelloAnnotator();
      if (fAnnotator == nullptr) return kCantHappenErr;
      // An annotator whose engine could not be made would offer a tool that silently does
      // nothing: it counts as not made, and a later notification may try again.
      if (fAnnotator->engine == nullptr) {
        delete fAnnotator;
        fAnnotator = nullptr;
        return kCantHappenErr;
      }
    }
    // The parameter panel comes after the annotator: its initialisation sends the starting
    // values down to it. A panel that cannot be made is reported, and the next
    // application-started notification tries again.
    ASErr panels = kNoErr;
    if (fParameterPanel == nullptr)
      fParameterPanel = MakePanel<ADMNonModalDialog>(fSelfRef, &panels);
    if (fInfoPanel == nullptr) fInfoPanel = MakePanel<EduNonModalDialog>(fSelfRef, &panels);
    return panels;
  });
  ReleaseCodeIfUnused();
  return result;
}

void SarvelloPlugin::ForgetPanel(BaseADMDialog* panel) {
  auto* plugin = static_cast<SarvelloPlugin*>(gPlugin);
  if (plugin == nullptr || panel == nullptr) return;
  if (panel == plugin->fParameterPanel) plugin->fParameterPanel = nullptr;
  if (panel == plugin->fInfoPanel) plugin->fInfoPanel = nullptr;
  plugin->ReleaseCodeIfUnused();
}

void SarvelloPlugin::ReleaseCodeIfUnused() noexcept {
  if (fAnnotator == nullptr && fParameterPanel == nullptr && fInfoPanel == nullptr &&
      fLockDepth > 0) {
    LockPlugin(false);
  }
}

// ---- Messages -------------------------------------------------------------------------------

ASErr SarvelloPlugin::Message(const char* caller, const char* selector, void* message) {
  return ai::Guarded([&]() -> ASErr {
    const ASErr result = Plugin::Message(caller, selector, message);
    if (result != kUnhandledMsgErr || !same(caller, kAIAnnotatorCaller)) return result;
    AIAnnotatorMessage* annotation = static_cast<AIAnnotatorMessage*>(message);
    if (same(selector, kAIAnnotatorDrawSelector)) return DrawAnnotation(annotation);
    if (same(selector, kAIAnnotatorInvalidateSelector)) return InvalAnnotation(annotation);
    return kUnhandledMsgErr;
  });
}

ASErr SarvelloPlugin::Notify(AINotifierMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (message != nullptr && fShutdownNotifier != nullptr &&
        message->notifier == fShutdownNotifier) {
      DestroyObjects();
    }
    return kNoErr;
  });
}

void SarvelloPlugin::DestroyObjects() noexcept {
  // Deleting a panel destroys its dialog without calling back into it: no ForgetPanel here.
  delete fParameterPanel;
  fParameterPanel = nullptr;
  delete fInfoPanel;
  fInfoPanel = nullptr;
  delete fAnnotator;
  fAnnotator = nullptr;
  // Nothing of the module's code is referred to any more: the host may unload it again.
  ReleaseCodeIfUnused();
}

ASErr SarvelloPlugin::GoMenuItem(AIMenuMessage* message) {
  ai::Guarded([&]() -> ASErr {
    if (message == nullptr || message->menuItem == nullptr) return kNoErr;
    if (message->menuItem == fAboutMenuItem) {
      SDKAboutPluginsHelper about;
      about.PopAboutBox(message, "About Sarvello", "Sarvello Sample Project");
    } else if (message->menuItem == fPanelMenuItem) {
      // Only the parameter panel, and nothing before it exists.
      const ADMDialogRef dialog =
          fParameterPanel != nullptr ? fParameterPanel->GetDialogRef() : nullptr;
      if (dialog != nullptr && sADMDialog != nullptr)
        sADMDialog->Show(dialog, !sADMDialog->IsVisible(dialog));
    }
    return kNoErr;
  });
  return kNoErr;
}

// ---- Shutdown, unload, reload ---------------------------------------------------------------

ASErr SarvelloPlugin::ShutdownPlugin(SPInterfaceMessage* message) {
  // Normally the shutdown notification has destroyed them already; a host that quits without
  // sending it must not leave them (and the plug-in's hold on its own code) behind.
  DestroyObjects();
  message->d.globals = nullptr;
  return Plugin::ShutdownPlugin(message);
}

ASErr SarvelloPlugin::UnloadPlugin(SPInterfaceMessage* message) { return Plugin::UnloadPlugin(message); }

ASErr SarvelloPlugin::ReloadPlugin(SPInterfaceMessage* message) {
  gPlugin = this;
  return Plugin::ReloadPlugin(message);
}

// ---- The tool ------------------------------------------------------------------------------

ASErr SarvelloPlugin::SelectTool(AIToolMessage*) {
  // Whatever fails only skips the steps after it: picking a tool is never refused.
  ai::Guarded([&]() -> ASErr {
    if (fAnnotator == nullptr) return kNoErr;
    ai::check_ai_error(need(sAIAnnotator).SetAnnotatorActive(fAnnotatorHandle, true));
    SarvelloMain* engine = fAnnotator->engine;
    if (engine != nullptr) engine->prepare();  // running again, and the capture for Retry
    fAnnotator->step = 0;
    if (engine != nullptr) engine->clear();
    // One deformation step at once: the selected paths become polylines; the field is still.
    ai::check_ai_error(fAnnotator->advect_and_subdivide());
    ai::check_ai_error(need(sAITimer).SetTimerActive(fTimerHandle, true));
    AIDocumentViewSuite& view = need(sAIDocumentView);
    AIBoolean shown = fSavedViewOption;
    ai::check_ai_error(view.GetShowEdges(nullptr, &shown));
    fSavedViewOption = shown;
    ai::check_ai_error(view.SetShowEdges(nullptr, false));
    // Both panels come back, even after the user closed them: the notice first.
    ShowPanel(fInfoPanel, true);
    ShowPanel(fParameterPanel, true);
    return kNoErr;
  });
  return kNoErr;
}

ASErr SarvelloPlugin::DeselectTool(AIToolMessage*) {
  if (fAnnotator == nullptr) return kNoErr;
  // Each step is tried whatever failed before it: a tool left behind must not keep its timer
  // ticking, its overlay drawn or the user's display option switched off.
  ai::Guarded([&]() -> ASErr { return need(sAITimer).SetTimerActive(fTimerHandle, false); });
  ai::Guarded(
      [&]() -> ASErr { return need(sAIAnnotator).SetAnnotatorActive(fAnnotatorHandle, false); });
  ai::Guarded([&]() -> ASErr {
    // The host redraws the square's area without the overlay.
    ai::check_ai_error(fAnnotator->Refresh());
    if (fAnnotator->engine != nullptr) fAnnotator->engine->simplify();
    return kNoErr;
  });
  ai::Guarded(
      [&]() -> ASErr { return need(sAIDocumentView).SetShowEdges(nullptr, fSavedViewOption); });
  return kNoErr;
}

ASErr SarvelloPlugin::TrackToolCursor(AIToolMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (fAnnotator == nullptr) return kNoErr;
    SetToolCursor(message->d.self);
    return fAnnotator->Refresh();
  });
}

ASErr SarvelloPlugin::ToolMouseDown(AIToolMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (fAnnotator == nullptr) return kNoErr;
    SetToolCursor(message->d.self);
    return fAnnotator->ToolMouseDown(message);
  });
}

ASErr SarvelloPlugin::ToolMouseDrag(AIToolMessage* message) {
  // The end of the last handled drag; the first drag message only starts the clock.
  static double prev_time = 0.0;
  return ai::Guarded([&]() -> ASErr {
    if (prev_time == 0.0) prev_time = CurrentTime();
    if (fAnnotator == nullptr) return kNoErr;
    SetToolCursor(message->d.self);
    const double t = CurrentTime();
    // Drags are dropped until the interval has passed. A clock set back behind the last handled
    // drag does not hold drags back until it has caught up again.
    if (t - prev_time <= kDragInterval && t >= prev_time) return kNoErr;
    ai::check_ai_error(fAnnotator->advect_and_subdivide());
    ai::check_ai_error(fAnnotator->Refresh());
    ai::check_ai_error(fAnnotator->ToolMouseDrag(message));
    // Measured after the work: the deformation's own time adds to the spacing of drags.
    prev_time = CurrentTime();
    return kNoErr;
  });
}

ASErr SarvelloPlugin::ToolMouseUp(AIToolMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (fAnnotator == nullptr) return kNoErr;
    return fAnnotator->ToolMouseUp(message);
  });
}

ASErr SarvelloPlugin::GoTimer(AITimerMessage*) {
  return ai::Guarded([&]() -> ASErr {
    int32_t views = 0;
    if (sAIDocumentView == nullptr || sAIDocumentView->CountDocumentViews(&views) != kNoErr ||
        views == 0) {
      return kNoErr;
    }
    if (fAnnotator == nullptr) return kNoErr;
    AIBoolean active = false;
    ai::check_ai_error(need(sAIAnnotator).GetAnnotatorActive(fAnnotatorHandle, &active));
    if (!active) return kNoErr;
    ai::check_ai_error(fAnnotator->advect_and_subdivide());
    return fAnnotator->Refresh();
  });
}

// ---- The overlay ---------------------------------------------------------------------------

ASErr SarvelloPlugin::DrawAnnotation(AIAnnotatorMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (fAnnotator == nullptr) return kNoErr;
    return fAnnotator->DrawAnnotation(message);
  });
}

ASErr SarvelloPlugin::InvalAnnotation(AIAnnotatorMessage* message) {
  return ai::Guarded([&]() -> ASErr {
    if (message == nullptr || message->invalidationRect == nullptr) return kNoErr;
    // Without the annotator object nothing of the overlay has been drawn to invalidate.
    if (fAnnotator == nullptr) return kNoErr;
    return fAnnotator->InvalidateRect(*message->invalidationRect);
  });
}
