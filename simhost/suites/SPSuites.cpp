// The plug-in services layer: SP Basic (suites and memory), SP Blocks (memory with a debug tag),
// SP Access (references that keep a plug-in's code loaded) and SP Plug-ins (the plug-in's name),
// the last two over the loader's plug-in records (loader/PluginRecord.h).
#include <cstdio>
#include <cstdlib>

#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// Blocks larger than this are refused outright: no plug-in request of that size is sane, and
// malloc could otherwise promise memory the system does not have.
constexpr std::size_t kMaxBlock = std::size_t{1} << 34;

SPErr acquireSuite(const char* name, int32_t version, const void** suite) {
  return hostCall("SPBasic.AcquireSuite", [&](Host& host, HostState& impl) -> SPErr {
    if (suite == nullptr || name == nullptr) return kBadParameterErr;
    *suite = nullptr;
    Faults& faults = host.faults();
    auto it = impl.suites.find(SuiteKey{name, version});
    if (it == impl.suites.end() || faults.suiteLacking(name, version)) {
      // The name is known when some version of it is there and not lacking.
      for (const auto& entry : impl.suites)
        if (entry.first.name == name && !faults.suiteLacking(name, entry.first.version))
          return kSuiteVersionErr;
      return kSuiteNotFoundErr;
    }
    *suite = it->second;
    ++impl.acquisitions[it->first];
    return kNoErr;
  });
}

SPErr releaseSuite(const char* name, int32_t version) {
  return hostCall("SPBasic.ReleaseSuite", [&](Host&, HostState& impl) -> SPErr {
    if (name == nullptr) return kBadParameterErr;
    auto it = impl.acquisitions.find(SuiteKey{name, version});
    if (it == impl.acquisitions.end() || it->second <= 0) {
      // Released more often than acquired (or never acquired): refused, nothing changes.
      return kBadParameterErr;
    }
    if (--it->second == 0) impl.acquisitions.erase(it);
    return kNoErr;
  });
}

// Shared by both suites: the refusal rules and a real block from the system.
SPErr allocate(Host& host, std::size_t size, void** block) {
  if (block == nullptr) return kBadParameterErr;
  *block = nullptr;
  if (host.faults().allocationRefused() || size > kMaxBlock) return kOutOfMemoryErr;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) return kOutOfMemoryErr;
  *block = p;
  return kNoErr;
}

SPErr basicAllocateBlock(size_t size, void** block) {
  return hostCall("SPBasic.AllocateBlock", [&](Host& host, HostState& impl) -> SPErr {
    SPErr err = allocate(host, size, block);
    if (err != kNoErr) return err;
    try {
      impl.basicBlocks.emplace(*block, size);
    } catch (...) {
      std::free(*block);
      *block = nullptr;
      throw;
    }
    return kNoErr;
  });
}

// A null block is accepted and ignored, like free(); a block this suite did not hand out (or
// handed out and already freed) is refused and left alone.
SPErr basicFreeBlock(void* block) {
  return hostCall("SPBasic.FreeBlock", [&](Host&, HostState& impl) -> SPErr {
    if (block == nullptr) return kNoErr;
    auto it = impl.basicBlocks.find(block);
    if (it == impl.basicBlocks.end()) return kBadParameterErr;
    impl.basicBlocks.erase(it);
    std::free(block);
    return kNoErr;
  });
}

SPErr blocksAllocateBlock(size_t size, const char* debug, void** block) {
  return hostCall("SPBlocks.AllocateBlock", [&](Host& host, HostState& impl) -> SPErr {
    SPErr err = allocate(host, size, block);
    if (err != kNoErr) return err;
    try {
      impl.spBlocks.emplace(*block, HostState::TaggedBlock{size, debug != nullptr ? debug : ""});
    } catch (...) {
      std::free(*block);
      *block = nullptr;
      throw;
    }
    return kNoErr;
  });
}

SPErr blocksFreeBlock(void* block) {
  return hostCall("SPBlocks.FreeBlock", [&](Host&, HostState& impl) -> SPErr {
    if (block == nullptr) return kNoErr;
    auto it = impl.spBlocks.find(block);
    if (it == impl.spBlocks.end()) return kBadParameterErr;
    impl.spBlocks.erase(it);
    std::free(block);
    return kNoErr;
  });
}

// ---- SP Access ------------------------------------------------------------------------------

SPErr acquirePlugin(SPPluginRef plugin, SPAccessRef* access) {
  return hostCall("SPAccess.AcquirePlugin", [&](Host&, HostState& impl) -> SPErr {
    SPPlugin* record = impl.plugins.find(plugin);
    if (access == nullptr || record == nullptr) return kBadParameterErr;
    *access = impl.plugins.acquireAccess(record);
    return kNoErr;
  });
}

SPErr releasePlugin(SPAccessRef access) {
  return hostCall("SPAccess.ReleasePlugin", [&](Host&, HostState& impl) -> SPErr {
    return impl.plugins.releaseAccess(access) ? kNoErr : kBadParameterErr;
  });
}

// ---- SP Plug-ins ----------------------------------------------------------------------------

SPErr setPluginName(SPPluginRef plugin, const char* name) {
  return hostCall("SPPlugins.SetPluginName", [&](Host&, HostState& impl) -> SPErr {
    SPPlugin* record = impl.plugins.find(plugin);
    if (record == nullptr || name == nullptr) return kBadParameterErr;
    record->name = name;
    return kNoErr;
  });
}

// The name handed out lives in the plug-in's record until the next call.
SPErr getPluginName(SPPluginRef plugin, const char** name) {
  return hostCall("SPPlugins.GetPluginName", [&](Host&, HostState& impl) -> SPErr {
    SPPlugin* record = impl.plugins.find(plugin);
    if (record == nullptr || name == nullptr) return kBadParameterErr;
    std::snprintf(record->nameBuffer, sizeof record->nameBuffer, "%s", record->name.c_str());
    *name = record->nameBuffer;
    return kNoErr;
  });
}

}  // namespace

const SPBasicSuite kSPBasicTable = {acquireSuite, releaseSuite, basicAllocateBlock, basicFreeBlock};
const SPBlocksSuite kSPBlocksTable = {blocksAllocateBlock, blocksFreeBlock};
const SPAccessSuite kSPAccessTable = {acquirePlugin, releasePlugin};
const SPPluginsSuite kSPPluginsTable = {setPluginName, getPluginName};

}  // namespace simhost
