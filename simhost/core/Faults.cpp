// Fault injection: refused allocations, injected answers of suite operations, lacking suites.
#include "core/Faults.h"

#include <stdexcept>

namespace simhost {

void Faults::refuseAllocation(int nth) {
  if (nth < 1) throw std::invalid_argument("refuseAllocation: nth must be 1 or more");
  allocationCountdown_ = nth;
}

void Faults::refuseAllAllocations() { refuseAll_ = true; }

void Faults::failCall(const std::string& operation, int nth, ASErr code) {
  if (nth < 1) throw std::invalid_argument("failCall: nth must be 1 or more");
  callFaults_.emplace(operation, CallFault{nth, code});
}

void Faults::failAllCalls(const std::string& operation, ASErr code) {
  callFaults_.emplace(operation, CallFault{0, code});
}

void Faults::lackSuite(const std::string& name, int32_t version) {
  lackingSuites_.emplace_back(name, version);
}

void Faults::clear() {
  allocationCountdown_ = 0;
  refuseAll_ = false;
  callFaults_.clear();
  lackingSuites_.clear();
}

bool Faults::allocationRefused() {
  if (refuseAll_) return true;
  if (allocationCountdown_ > 0 && --allocationCountdown_ == 0) return true;
  return false;
}

ASErr Faults::check(const char* operation) {
  if (operation == nullptr) operation = "";
  // Every call is counted, so the count is found through the caller's name pointer (a string
  // literal at every call site): no string is built and no name compared but the one found.
  // The plug-in calls one operation many times in a row (a segment at a time): the last site
  // is kept at hand.
  if (operation != lastOperation_) {
    auto site = sites_.find(operation);
    if (site == sites_.end() || site->second->first != operation) {
      auto* entry = &*callCounts_.try_emplace(operation, 0).first;
      site = sites_.insert_or_assign(operation, entry).first;
    }
    lastOperation_ = operation;
    lastSite_ = site->second;
  }
  ++lastSite_->second;
  if (callFaults_.empty()) return kNoErr;

  const std::string& op = lastSite_->first;
  ASErr answer = kNoErr;
  auto [first, last] = callFaults_.equal_range(op);
  for (auto it = first; it != last;) {
    // Every pending fault of the operation counts this call, also when an earlier one fires.
    if (it->second.remaining == 0) {
      if (answer == kNoErr) answer = it->second.code;
      ++it;
    } else if (--it->second.remaining == 0) {
      if (answer == kNoErr) answer = it->second.code;
      it = callFaults_.erase(it);
    } else {
      ++it;
    }
  }
  return answer;
}

bool Faults::suiteLacking(const char* name, int32_t version) const {
  if (name == nullptr) return false;
  for (const auto& [lackName, lackVersion] : lackingSuites_)
    if (lackName == name && (lackVersion == -1 || lackVersion == version)) return true;
  return false;
}

int Faults::calls(const std::string& operation) const {
  auto it = callCounts_.find(operation);
  return it == callCounts_.end() ? 0 : it->second;
}

}  // namespace simhost
