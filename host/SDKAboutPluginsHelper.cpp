#include "SDKAboutPluginsHelper.h"

SDKAboutPluginsHelper::~SDKAboutPluginsHelper() = default;

void SDKAboutPluginsHelper::PopAboutBox(AIMenuMessage* message, const char* title, const char* text) {
  SPBasicSuite* basic = message->d.basic;
  if (basic == nullptr) return;
  if (fADMBasic == nullptr) {
    const void* suite = nullptr;
    if (basic->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion10, &suite) == kNoErr) {
      fADMBasic = static_cast<ADMBasicSuite*>(const_cast<void*>(suite));
      // An acquisition that succeeded without a table still has to be given back.
      if (fADMBasic == nullptr) basic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion10);
    }
  }
  if (fADMBasic != nullptr) {
    fADMBasic->AboutBox(message->d.self, title, text);
    basic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion10);
    fADMBasic = nullptr;
  }
}
