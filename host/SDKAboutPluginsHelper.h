// Shows the plug-in's About box from a menu message, with its own short-lived ADM Basic Suite.
#ifndef SARVELLO_HOST_SDKABOUTPLUGINSHELPER_H
#define SARVELLO_HOST_SDKABOUTPLUGINSHELPER_H

#include "HostAPI.h"

class SDKAboutPluginsHelper {
 public:
  SDKAboutPluginsHelper() = default;
  virtual ~SDKAboutPluginsHelper();
  SDKAboutPluginsHelper(const SDKAboutPluginsHelper&) = delete;
  SDKAboutPluginsHelper& operator=(const SDKAboutPluginsHelper&) = delete;

  void PopAboutBox(AIMenuMessage* message, const char* title, const char* text);

 private:
  ADMBasicSuite* fADMBasic = nullptr;
};

#endif
