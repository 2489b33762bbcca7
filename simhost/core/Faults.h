// Fault injection: the stand-in host can be told to refuse allocations, to answer a code from any
// suite operation, and to lack suites, so that every failure path of the plug-in runs for real.
#ifndef SARVELLO_SIMHOST_CORE_FAULTS_H
#define SARVELLO_SIMHOST_CORE_FAULTS_H

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "HostAPI.h"

namespace simhost {

class Faults {
 public:
  Faults() = default;
  Faults(const Faults&) = delete;  // sites_ points into this object's own counts
  Faults& operator=(const Faults&) = delete;

  // The nth allocation from now (1 = the next one), through SP Basic or SP Blocks, is refused.
  void refuseAllocation(int nth);
  // Every allocation from now on is refused until clear().
  void refuseAllAllocations();
  // The nth call from now (1 = the next one) of the named operation answers code. Operations are
  // named "<suite short name>.<operation>", e.g. "AIPath.SetPathSegments", "SPBasic.AcquireSuite":
  // the short name is the suite table's type without "Suite" ("AIAppContext.PushAppContext",
  // "ADMBasic.GetIndexString"). nth below 1 throws std::invalid_argument.
  void failCall(const std::string& operation, int nth, ASErr code);
  // Every call from now on of the operation answers code, until clear().
  void failAllCalls(const std::string& operation, ASErr code);
  // The host lacks the named suite (version -1: every version of that name). Acquiring it answers
  // kSuiteNotFoundErr, or kSuiteVersionErr while another version of the name is still there.
  void lackSuite(const std::string& name, int32_t version = -1);
  void clear();  // every injected fault and lacking suite; the call counts stay

  // Used by the host's suite functions.
  bool allocationRefused();         // counts one allocation; true when it is to be refused
  ASErr check(const char* operation);  // counts one call of operation; the injected code or 0
  bool suiteLacking(const char* name, int32_t version) const;
  int calls(const std::string& operation) const;  // calls of operation counted so far

 private:
  struct CallFault {
    int remaining;  // calls until the fault; 0 = every call
    ASErr code;
  };
  int allocationCountdown_ = 0;  // 0: none pending
  bool refuseAll_ = false;
  std::multimap<std::string, CallFault> callFaults_;
  std::map<std::string, int> callCounts_;
  // The count of each operation by the address of the name its callers pass.
  std::unordered_map<const char*, std::pair<const std::string, int>*> sites_;
  const char* lastOperation_ = nullptr;
  std::pair<const std::string, int>* lastSite_ = nullptr;
  std::vector<std::pair<std::string, int32_t>> lackingSuites_;
};

}  // namespace simhost

#endif
