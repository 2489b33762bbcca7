#include "loader/PluginRecord.h"

namespace simhost {

void PluginRegistry::add(SPPlugin* record) { plugins_.insert(record); }

void PluginRegistry::remove(SPPlugin* record) {
  plugins_.erase(record);
  std::erase_if(access_, [record](const auto& entry) { return entry.second == record; });
}

SPPlugin* PluginRegistry::find(SPPluginRef plugin) const {
  return plugins_.count(plugin) != 0 ? plugin : nullptr;
}

SPAccessRef PluginRegistry::acquireAccess(SPPlugin* record) {
  const std::uintptr_t id = nextHandle_++;
  access_[id] = record;
  ++unreleased_;
  return reinterpret_cast<SPAccessRef>(id << 4);
}

bool PluginRegistry::releaseAccess(SPAccessRef access) {
  if (access == nullptr) return false;
  const auto it = access_.find(reinterpret_cast<std::uintptr_t>(access) >> 4);
  if (it == access_.end()) return false;
  access_.erase(it);
  if (unreleased_ > 0) --unreleased_;
  return true;
}

int PluginRegistry::accessReferences(const SPPlugin* record) const {
  int n = 0;
  for (const auto& [id, plugin] : access_) n += plugin == record ? 1 : 0;
  return n;
}

std::size_t PluginRegistry::unreleasedAccess() const { return unreleased_; }

AINotifierHandle PluginRegistry::newNotifierHandle() {
  return reinterpret_cast<AINotifierHandle>((nextHandle_++) << 4);
}

}  // namespace simhost
