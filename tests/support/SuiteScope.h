// For in-process tests: fills the plug-in's suite globals from a live stand-in host the way the
// plug-in does at start-up, and gives every acquisition back when it ends. Rows whose suite the
// host does not offer are left none.
#ifndef SARVELLO_TESTS_SUPPORT_SUITESCOPE_H
#define SARVELLO_TESTS_SUPPORT_SUITESCOPE_H

#include <vector>

#include "core/Host.h"
#include "SarvelloSuites.h"

namespace testsupport {

class SuiteScope {
 public:
  explicit SuiteScope(simhost::Host& host) : previousBasic_(sSPBasic) {
    sSPBasic = host.basicSuite();
    for (ImportSuite& row : basicRows()) acquire(row);
    for (ImportSuite* row = gImportSuites; row->name != nullptr; ++row) acquire(*row);
  }

  ~SuiteScope() {
    for (auto it = acquired_.rbegin(); it != acquired_.rend(); ++it) {
      sSPBasic->ReleaseSuite((*it)->name, (*it)->version);
      StoreSuite(**it, nullptr);
    }
    sSPBasic = previousBasic_;
  }

  SuiteScope(const SuiteScope&) = delete;
  SuiteScope& operator=(const SuiteScope&) = delete;

 private:
  // The plug-in's basic suites, acquired before its own table.
  static std::vector<ImportSuite>& basicRows() {
    static std::vector<ImportSuite> rows = {
        {kSPAccessSuite, kSPAccessSuiteVersion, &sSPAccess},
        {kSPPluginsSuite, kSPPluginsSuiteVersion, &sSPPlugins},
        {kAINotifierSuite, kAINotifierSuiteVersion, &sAINotifier},
        {kAIAppContextSuite, kAIAppContextSuiteVersion, &sAIAppContext},
        {kADMBasicSuite, kADMBasicSuiteVersion10, &sADMBasic},
    };
    return rows;
  }

  void acquire(ImportSuite& row) {
    if (row.target == nullptr) return;
    const void* suite = nullptr;
    if (sSPBasic->AcquireSuite(row.name, row.version, &suite) == kNoErr && suite != nullptr) {
      StoreSuite(row, suite);
      acquired_.push_back(&row);
    } else {
      StoreSuite(row, nullptr);
    }
  }

  SPBasicSuite* previousBasic_;
  std::vector<ImportSuite*> acquired_;
};

}  // namespace testsupport

#endif
