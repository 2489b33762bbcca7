// The host's record of a loaded plug-in (what the plug-in's SPPluginRef points to) and the
// registry of the records, SP Access references and notifiers alive in a host (Host::plugins()).
// The loader (PluginHost) creates and removes records; the suites of the plug-in's own life (SP
// Access, SP Plug-ins, AI Notifier) look references up here and never dereference one unchecked.
#ifndef SARVELLO_SIMHOST_LOADER_PLUGINRECORD_H
#define SARVELLO_SIMHOST_LOADER_PLUGINRECORD_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "HostAPI.h"
#include "ResourceFile.h"

namespace simhost {

class PluginHost;

struct NotifierRecord {
  SPPluginRef plugin = nullptr;
  std::string name;
  std::string type;
  AINotifierHandle handle = nullptr;
};

}  // namespace simhost

struct SPPlugin {
  simhost::PluginHost* owner = nullptr;
  std::string path;
  std::string name;           // as the plug-in set it through SP Plug-ins
  char nameBuffer[256] = {};  // the name handed out by GetPluginName
  sarvello::res::ResourceFile resources;
  std::map<int32_t, std::vector<std::string>> stringLists;  // decoded on first use
  std::string entryName;
  void* library = nullptr;
  SPPluginMainProc entry = nullptr;
  SPPluginMainProc inProcessEntry = nullptr;  // a plug-in linked into the host program
  bool loaded = false;
  void* globals = nullptr;
  std::vector<simhost::NotifierRecord> notifiers;
};

namespace simhost {

class PluginRegistry {
 public:
  void add(SPPlugin* record);
  // Forgets a record and the access references to it. References the plug-in never released
  // stay counted as unreleased: the host reports them.
  void remove(SPPlugin* record);
  // The record behind a reference the host handed out, or none.
  SPPlugin* find(SPPluginRef plugin) const;

  // SP Access references: each acquisition makes a new one; releasing an unknown reference, or
  // one released already, is refused (false).
  SPAccessRef acquireAccess(SPPlugin* record);
  bool releaseAccess(SPAccessRef access);
  int accessReferences(const SPPlugin* record) const;  // held to this plug-in now
  std::size_t unreleasedAccess() const;                 // acquired and never released, all plug-ins

  AINotifierHandle newNotifierHandle();

 private:
  std::set<SPPlugin*> plugins_;
  std::map<std::uintptr_t, SPPlugin*> access_;
  std::uintptr_t nextHandle_ = 1;
  std::size_t unreleased_ = 0;
};

}  // namespace simhost

#endif
