// The plug-in's resource file, a Windows module's resources, and the dialogs made from them: any
// file is read or refused with a reason (as a Windows module when it starts with "MZ"); what is
// read serialises and reads back the same; every resource decodes or is refused; the host's
// dialog manager makes a dialog from each dialog resource or refuses it, and leaves nothing
// behind.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/Host.h"
#include "PeResources.h"
#include "ResourceFile.h"
#include "adm/DialogManager.h"

using namespace sarvello::res;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const Bytes bytes(data, data + size);
  std::string error;
  const bool windows = size >= 2 && data[0] == 'M' && data[1] == 'Z';
  const std::optional<ResourceFile> file = windows ? resourcesFromPe(bytes, &error) : ResourceFile::parse(bytes, &error);
  if (!file) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::optional<ResourceFile> again = ResourceFile::parse(file->serialize(), &error);
  FUZZ_CHECK(again && again->all() == file->all());
  for (const auto& [key, resource] : file->all()) {
    (void)decodeStringList(resource);
    (void)decodePropertyList(resource, &error);
    (void)decodeCursor(resource);
  }

  simhost::Host host;
  alignas(16) static unsigned char pluginStandIn[16];
  const auto plugin = reinterpret_cast<SPPluginRef>(pluginStandIn);
  host.resource = [&](SPPluginRef who, std::uint32_t type, int32_t id) -> const std::vector<std::uint8_t>* {
    return who == plugin ? file->find(type, id) : nullptr;
  };
  const void* table = nullptr;
  FUZZ_CHECK(host.basicSuite()->AcquireSuite(kADMDialogSuite, kADMDialogSuiteVersion, &table) == kNoErr);
  const auto* dialogs = static_cast<const ADMDialogSuite*>(table);
  for (const auto& [key, resource] : file->all()) {
    if (key.first != simhost::kDialogResourceType) continue;
    ADMDialogRef dialog = dialogs->Create(plugin, "fuzz", key.second, kADMFloatingDialogStyle, nullptr, nullptr, 0);
    if (dialog != nullptr) dialogs->Destroy(dialog);
  }
  host.basicSuite()->ReleaseSuite(kADMDialogSuite, kADMDialogSuiteVersion);
  simhost::destroyAllDialogs(host);
  FUZZ_CHECK(host.outstanding().clean());
  return 0;
}
