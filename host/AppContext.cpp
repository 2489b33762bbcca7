#include "AppContext.h"

#include "SarvelloSuites.h"

AppContext::AppContext(SPPluginRef pluginRef) {
  if (sAIAppContext == nullptr) return;
  AIAppContextHandle token = nullptr;
  // Leave only a context that was entered: a refused entry leaves nothing to hand back.
  if (sAIAppContext->PushAppContext(pluginRef, &token) == kNoErr) {
    fAppContext = token;
    fEntered = true;
  }
}

AppContext::~AppContext() {
  if (fEntered && sAIAppContext != nullptr) sAIAppContext->PopAppContext(fAppContext);
}
