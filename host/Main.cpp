// The module's one exported function: the host calls it for every message.
#include <cstdio>
#include <cstring>
#include <new>

#include "Plugin.h"
#include "SarvelloSuites.h"

namespace {

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

}  // namespace

extern "C" __attribute__((visibility("default"))) SPErr PluginMain(const char* caller,
                                                                   const char* selector,
                                                                   void* message) {
  if (caller == nullptr || selector == nullptr || message == nullptr) return kBadParameterErr;
  SPMessageData* data = static_cast<SPMessageData*>(message);
  sSPBasic = data->basic;
  Plugin* object = static_cast<Plugin*>(data->globals);

  const bool interfaceCaller = same(caller, kSPInterfaceCaller);
  if (interfaceCaller && same(selector, kSPInterfaceStartupSelector) && object == nullptr) {
    // A repeated start-up finds the object in the globals slot and only passes the dispatcher:
    // allocating again would lose the running object.
    object = AllocatePlugin(data->self);
    if (object == nullptr) {
      Plugin::DefaultError(data->self, kOutOfMemoryErr);
      return kOutOfMemoryErr;
    }
    data->globals = object;
    const ASErr err = object->StartupPlugin(static_cast<SPInterfaceMessage*>(message));
    if (err != kNoErr) {
      delete object;
      data->globals = nullptr;
      Plugin::DefaultError(data->self, err);
      return err;
    }
  } else if (interfaceCaller && same(selector, kSPInterfaceShutdownSelector)) {
    if (object == nullptr) return kNoErr;
    const ASErr err = object->ShutdownPlugin(static_cast<SPInterfaceMessage*>(message));
    delete object;
    data->globals = nullptr;
    if (err != kNoErr) Plugin::DefaultError(data->self, err);
    return err;
  }
  if (object == nullptr) return kNoErr;

  ASErr result;
  if (Plugin::IsReloadMsg(caller, selector)) {
    // The object survived an unload of the module's code: bind it to the code loaded now.
    FixupReload(object);
    object = std::launder(object);
    result = object->ReloadPlugin(static_cast<SPInterfaceMessage*>(message));
  } else if (object->suiteSet() == nullptr) {
    return kNoErr;
  } else {
    result = object->Message(caller, selector, message);
  }

  if (result == kUnhandledMsgErr) {
#if !SARVELLO_WINDOWS_VARIANT
    std::fprintf(stderr, "Warning: Unhandled plugin message: caller \"%s\" selector \"%s\"\n", caller,
                 selector);
#endif
    return kNoErr;
  }
  if (result == kNoErr) return kNoErr;
  if (Plugin* current = static_cast<Plugin*>(data->globals)) {
    current->ReportError(result, caller, selector, message);
  } else {
    Plugin::DefaultError(data->self, result);
  }
  return result;
}
