// The stand-in host's private state and the helpers its suite functions share.
#ifndef SARVELLO_SIMHOST_CORE_HOSTIMPL_H
#define SARVELLO_SIMHOST_CORE_HOSTIMPL_H

#include <cstdint>
#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "adm/DialogManager.h"
#include "core/Handles.h"
#include "core/Host.h"
#include "loader/PluginRecord.h"
#include "tool/ToolState.h"

namespace simhost {

struct SuiteKey {
  std::string name;
  int32_t version;
  bool operator<(const SuiteKey& o) const {
    return name != o.name ? name < o.name : version < o.version;
  }
};

struct Host::Impl {
  Faults faults;
  Document document;
  ViewState view;
  std::vector<Alert> alerts;
  std::vector<std::string> handling;

  std::map<SuiteKey, const void*> suites;
  std::map<SuiteKey, int> acquisitions;

  std::map<void*, std::size_t> basicBlocks;  // block -> size
  struct TaggedBlock {
    std::size_t size;
    std::string tag;
  };
  std::map<void*, TaggedBlock> spBlocks;

  std::set<void*> matchingArrays;  // handles of arrays not yet disposed

  std::uint64_t nextStringId = 1;
  std::map<std::uint64_t, std::string> strings;

  std::uint64_t nextContextId = 1;
  std::set<std::uint64_t> contexts;

  int32_t cursor = 0;
  AIRect paletteArea{};
  std::map<PreferenceKey, Preference> preferences;
  std::vector<std::string> openedURLs;
  std::string preferencesFile;  // where the store is kept between runs; empty: nowhere

  ToolState tools;
  DialogState dialogs;
  PluginRegistry plugins;

  void record(const Alert& alert, Host& host);
};

using HostState = HostAccess::State;

// Runs the body of a suite function: finds the current host, answers an injected fault first,
// and keeps every C++ exception inside the host (no exception may cross into the plug-in).
template <class Body>
ASErr hostCall(const char* operation, Body&& body) {
  Host* host = Host::current();
  if (host == nullptr) return kCantHappenErr;
  try {
    if (ASErr injected = host->faults().check(operation)) return injected;
    return body(*host, HostAccess::impl(*host));
  } catch (const std::bad_alloc&) {
    return kOutOfMemoryErr;
  } catch (...) {
    return kCantHappenErr;
  }
}

// Copies text into a caller's buffer: at most bufferSize - 1 characters, always terminated.
void copyToBuffer(const std::string& text, char* buffer, int32_t bufferSize);


}  // namespace simhost

#endif
