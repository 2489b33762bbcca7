#include "suites/Suites.h"

namespace simhost {

void installSuites(Host& host) {
  registerSPSuites(host);
  registerAIArtSuites(host);
  registerAIPathConstructionSuite(host);
  registerAIDocumentViewSuite(host);
  registerAIServiceSuites(host);
  registerAIToolSuites(host);
  registerADMBasicSuites(host);
  registerADMDialogSuites(host);
}

}  // namespace simhost
