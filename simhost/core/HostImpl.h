// The stand-in host's private state and the helpers its suite functions share.
#ifndef SARVELLO_SIMHOST_HOSTIMPL_H
#define SARVELLO_SIMHOST_HOSTIMPL_H

#include <cstdint>
#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Host.h"

namespace simhost {

// Host objects handed to the plug-in as opaque handles carry a never-reused id and a kind tag in
// the pointer value; the host never dereferences them, so a stale or foreign handle is simply
// not found.
enum class HandleKind : std::uintptr_t { Art = 0x8, String = 0x4, Context = 0x2, View = 0xC };

template <class H>
H makeHandle(HandleKind kind, std::uint64_t id) {
  return reinterpret_cast<H>(static_cast<std::uintptr_t>(id << 4) |
                             static_cast<std::uintptr_t>(kind));
}

// The id of a handle of the given kind, or 0 when the handle is none or of another kind.
template <class H>
std::uint64_t handleId(HandleKind kind, H handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & 0xF) != static_cast<std::uintptr_t>(kind)) return 0;
  return static_cast<std::uint64_t>(value >> 4);
}

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

  std::size_t accessRefs = 0;
  int32_t cursor = 0;
  AIRect paletteArea{};
  std::map<PreferenceKey, Preference> preferences;
  std::vector<std::string> openedURLs;
  std::string preferencesFile;  // where the store is kept between runs; empty: nowhere
  std::size_t dialogs = 0;      // dialog manager dialogs that exist

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

// Suite registration, one function per source file of suites.
void registerBasicSuites(Host& host);     // SP Basic, SP Blocks
void registerArtSuites(Host& host);       // AI Art, Path, Matching Art, MdMemory
void registerPathConstruction(Host& host);
void registerViewSuites(Host& host);      // AI Document View
void registerServiceSuites(Host& host);   // Unicode String, Context, ADM Basic, Preference, URL,
                                          // and the minimal tables

}  // namespace simhost

#endif
