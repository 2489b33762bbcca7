// Brackets host calls made outside the plug-in's own message handling in the plug-in's
// application context.
#ifndef SARVELLO_HOST_APPCONTEXT_H
#define SARVELLO_HOST_APPCONTEXT_H

#include "HostAPI.h"

class AppContext {
 public:
  explicit AppContext(SPPluginRef pluginRef);
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

 private:
  AIAppContextHandle fAppContext = nullptr;
  bool fEntered = false;  // the host accepted the entry; only then is the context left
};

#endif
