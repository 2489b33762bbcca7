// The plug-in frame: the one plug-in object that the host keeps in its globals slot, the dispatch
// of host messages to virtual handlers, start-up, shutdown, unload and reload, and the reporting of
// error codes to the user.
#ifndef SARVELLO_HOST_PLUGIN_H
#define SARVELLO_HOST_PLUGIN_H

#include <cstddef>
#include <ctime>

#include "HostAPI.h"

class Suites;

// Tag of the constructors that re-bind a surviving object to freshly loaded code: they set the
// dynamic type and leave every field as it is.
struct PluginReloadTag {};

class Plugin {
 public:
  explicit Plugin(SPPluginRef pluginRef);
  virtual ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // The object lives in a block of the host's memory; none (no exception) when the host refuses.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* block) noexcept;
  // Placement form, used to re-bind the object after a reload.
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}

  // True exactly for caller "SP Access" with selector "Reload".
  static bool IsReloadMsg(const char* caller, const char* selector);
  // Shows a code to the user through the error texts of the plug-in's string list.
  static void DefaultError(SPPluginRef pluginRef, ASErr code);

  // Virtual operations, in the host's slot order.
  virtual void ReportError(ASErr code, const char* caller, const char* selector, void* message);
  virtual ASErr LockPlugin(bool lock);
  virtual ASErr StartupPlugin(SPInterfaceMessage* message);
  virtual ASErr PostStartupPlugin();
  virtual ASErr ShutdownPlugin(SPInterfaceMessage* message);
  virtual ASErr UnloadPlugin(SPInterfaceMessage* message);
  virtual ASErr ReloadPlugin(SPInterfaceMessage* message);
  virtual ASErr AcquireProperty(SPPropertiesMessage* message);
  virtual ASErr ReleaseProperty(SPPropertiesMessage* message);
  // Copies the name into buffer, which holds `length` bytes: at most length - 1 characters and a
  // terminating zero, always inside the buffer.
  virtual ASErr GetPluginName(char* buffer, unsigned length);
  virtual ASErr About(SPInterfaceMessage* message);
  virtual bool Purge();
  virtual ASErr Message(const char* caller, const char* selector, void* message);
  virtual ASErr SetGlobal(Plugin* object);
  virtual ASErr AllocateSuiteTables();
  virtual ASErr FillSuiteTables();
  virtual ASErr EmptySuiteTables();
  virtual ASErr AcquireOptionalSuites();
  virtual ASErr Notify(AINotifierMessage* message);
  virtual ASErr GoAction(DoActionMessage* message);
  virtual ASErr GoMenuItem(AIMenuMessage* message);
  virtual ASErr UpdateMenuItem(AIMenuMessage* message);
  virtual ASErr GetFilterParameters(AIFilterMessage* message);
  virtual ASErr GoFilter(AIFilterMessage* message);
  virtual ASErr PluginGroupNotify(AIPluginGroupMessage* message);
  virtual ASErr PluginGroupUpdate(AIPluginGroupMessage* message);
  virtual ASErr GetFileFormatParameters(AIFileFormatMessage* message);
  virtual ASErr GoFileFormat(AIFileFormatMessage* message);
  virtual ASErr CheckFileFormat(AIFileFormatMessage* message);
  virtual ASErr FileFormatUpdate(AIUpdateFileFormatMessage* message);
  virtual ASErr SetFileFormatParameters(DoActionMessage* message);
  virtual ASErr EditTool(AIToolMessage* message);
  virtual ASErr TrackToolCursor(AIToolMessage* message);
  virtual ASErr ToolMouseDown(AIToolMessage* message);
  virtual ASErr ToolMouseDrag(AIToolMessage* message);
  virtual ASErr ToolMouseUp(AIToolMessage* message);
  virtual ASErr SelectTool(AIToolMessage* message);
  virtual ASErr DeselectTool(AIToolMessage* message);
  virtual ASErr ReselectTool(AIToolMessage* message);
  virtual ASErr DecreaseDiameter(AIToolMessage* message);
  virtual ASErr IncreaseDiameter(AIToolMessage* message);
  virtual ASErr EditLiveEffectParameters(AILiveEffectEditParamMessage* message);
  virtual ASErr GoLiveEffect(AILiveEffectGoMessage* message);
  virtual ASErr LiveEffectInterpolate(AILiveEffectInterpParamMessage* message);
  virtual ASErr LiveEffectGetInputType(AILiveEffectInputTypeMessage* message);
  virtual ASErr LiveEffectConvertColorSpace(AILiveEffectConvertColorMessage* message);
  virtual ASErr LiveEffectScaleParameters(AILiveEffectScaleParamMessage* message);
  virtual ASErr LiveEffectAdjustColors(AILiveEffectAdjustColorsMessage* message);
  virtual ASErr LiveEffectHandleMerge(AILiveEffectHandleMergeMessage* message);
  virtual ASErr GoTimer(AITimerMessage* message);
  virtual ASErr GoClipboard(AIClipboardMessage* message);
  virtual ASErr CanCopyClipboard(AIClipboardMessage* message);
  virtual ASErr CloneClipboard(AIClipboardMessage* message);
  virtual ASErr DisposeClipboard(AIClipboardMessage* message);
  virtual ASErr WorkspaceWrite(AIWorkspaceMessage* message);
  virtual ASErr WorkspaceRestore(AIWorkspaceMessage* message);
  virtual ASErr WorkspaceDefault(AIWorkspaceMessage* message);

  // Read access for the host side of the frame and for tests.
  Suites* suiteSet() const { return fSuiteSet; }
  const char* name() const { return fName; }
  int32_t lockDepth() const { return fLockDepth; }

 protected:
  // Re-binds the dynamic type after a reload; every field keeps its value.
  explicit Plugin(PluginReloadTag) noexcept {}

  // The fields have no default member initialisers on purpose: the reload constructor must not
  // write any of them. The ordinary constructor sets them all.
  SPPluginRef fSelfRef;
  char fName[256];
  Suites* fSuiteSet;
  int32_t fLockDepth;
  SPAccessRef fSelfAccess;
  ASErr fLastErrorCode;
  int32_t fRepeatWindow;
  bool fQuietRepeats;
  std::time_t fLastErrorTime;

 private:
  // Creates fSuiteSet and acquires the suites; 0, "!MEM" or the host's acquisition error.
  ASErr AcquireSuiteSet();
};

// Supplied by the plug-in's own class.
Plugin* AllocatePlugin(SPPluginRef pluginRef);
void FixupReload(Plugin* plugin);

// The plug-in object, for code the host calls without handing it the object.
extern Plugin* gPlugin;

// The current time in seconds since the epoch, for the repeat window of the error report.
std::time_t FrameClockNow();

#endif
