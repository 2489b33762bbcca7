#include "loader/PluginHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "HostAPI.h"
#include "adm/DialogManager.h"
#include "loader/PluginRecord.h"
#include "platform/Platform.h"

using sarvello::res::Bytes;
using sarvello::res::ResourceFile;

namespace simhost {

PluginFileInfo readPluginFile(const std::string& path) {
  using namespace sarvello::res;
  auto fail = [&](const std::string& why) -> LoadError {
    return LoadError("cannot load plug-in " + path + ": " + why);
  };
  std::string error;
  const auto file = readFile(path, &error);
  if (!file) throw fail(error);
  auto resources = platform::moduleResources(*file, &error);
  if (!resources) throw fail(error);
  const Bytes* pipl = resources->find(kPiPLType, 16000);
  if (pipl == nullptr) throw fail("it has no plug-in property list (PiPL 16000)");
  const auto properties = decodePropertyList(*pipl, &error);
  if (!properties) throw fail("its property list is damaged: " + error);

  PluginFileInfo info;
  bool kindSeen = false, versionSeen = false;
  for (const Property& p : *properties) {
    if (p.vendor != fourcc("ADBE")) continue;
    auto word = [&]() -> std::uint32_t {
      std::uint32_t v = 0;
      for (std::size_t i = 0; i < 4 && i < p.data.size(); ++i) v |= std::uint32_t(p.data[i]) << (8 * i);
      return v;
    };
    auto text = [&](const char* what) -> std::string {
      const auto end = std::find(p.data.begin(), p.data.end(), std::uint8_t(0));
      if (end == p.data.end()) throw fail(std::string("its ") + what + " is not zero-terminated");
      return std::string(p.data.begin(), end);
    };
    if (p.key == fourcc("kind")) {
      if (p.data.size() < 4 || word() != fourcc("SPEA"))
        throw fail("its kind is \"" + fourccText(word()) + "\", not \"SPEA\"");
      kindSeen = true;
    } else if (p.key == fourcc("ivrs")) {
      if (p.data.size() < 4 || word() != 2)
        throw fail("it needs interface version " + std::to_string(word()) + "; this host offers 2");
      versionSeen = true;
    } else if (p.key == fourcc("wx86")) {
      info.entryName = text("entry point name");
    } else if (p.key == fourcc("pinm")) {
      info.pluginName = text("name");
    }
  }
  if (!kindSeen) throw fail("its property list gives no kind");
  if (!versionSeen) throw fail("its property list gives no interface version");
  if (info.entryName.empty()) throw fail("its property list names no entry point");
  info.resources = std::move(*resources);
  return info;
}

PluginHost::PluginHost(Host& host, const std::string& path) : host_(host), record_(new SPPlugin) {
  PluginFileInfo info = readPluginFile(path);
  record_->path = path;
  setUp(std::move(info));
}

PluginHost::PluginHost(Host& host, SPPluginMainProc entry, PluginFileInfo info)
    : host_(host), record_(new SPPlugin) {
  record_->path = "(in-process plug-in)";
  record_->inProcessEntry = entry;
  setUp(std::move(info));
}

void PluginHost::setUp(PluginFileInfo info) {
  record_->owner = this;
  record_->name = info.pluginName;
  record_->entryName = info.entryName;
  record_->resources = std::move(info.resources);
  loadCode();
  host_.plugins().add(record_.get());
  host_.resource = [&host = host_](SPPluginRef plugin, std::uint32_t type,
                                    int32_t id) -> const std::vector<std::uint8_t>* {
    SPPlugin* record = host.plugins().find(plugin);
    return record != nullptr ? record->resources.find(type, id) : nullptr;
  };
  host_.stringResource = [&host = host_](SPPluginRef plugin, int32_t listID, int32_t index,
                                          std::string* text) {
    SPPlugin* record = host.plugins().find(plugin);
    if (record == nullptr || index < 1) return false;
    auto it = record->stringLists.find(listID);
    if (it == record->stringLists.end()) {
      const Bytes* data = record->resources.find(sarvello::res::kStringListType, listID);
      if (data == nullptr) return false;
      auto strings = sarvello::res::decodeStringList(*data);
      if (!strings) return false;
      it = record->stringLists.emplace(listID, std::move(*strings)).first;
    }
    if (static_cast<std::size_t>(index) > it->second.size()) return false;
    *text = it->second[static_cast<std::size_t>(index) - 1];
    return true;
  };
}

PluginHost::~PluginHost() {
  if (running_) quit();
  unloadCode();
  host_.plugins().remove(record_.get());
  host_.resource = nullptr;
  host_.stringResource = nullptr;
}

std::string PluginHost::moduleBesideProgram() {
  const std::string program = platform::programPath();
  if (program.empty()) return "Sarvello.aip";
  return (std::filesystem::path(program).parent_path() / "Sarvello.aip").string();
}

void PluginHost::loadCode() {
  if (record_->loaded) return;
  if (record_->inProcessEntry != nullptr) {
    record_->entry = record_->inProcessEntry;
    record_->loaded = true;
    return;
  }
  std::string why;
  void* library = platform::loadModule(record_->path, &why);
  if (library == nullptr) throw LoadError("cannot load plug-in " + record_->path + ": " + why);
  void* entry = platform::moduleSymbol(library, record_->entryName);
  if (entry == nullptr) {
    platform::unloadModule(library);
    throw LoadError("cannot load plug-in " + record_->path + ": it has no entry point \"" +
                    record_->entryName + "\"");
  }
  // The module reads the host's clock: its references to the system's clock are bound to the
  // host's, so that a replay gives it the readings of the live run it repeats.
  if (platform::bindModuleClock(library, &why) < 0) {
    platform::unloadModule(library);
    throw LoadError("cannot load plug-in " + record_->path + ": " + why);
  }
  record_->library = library;
  record_->entry = reinterpret_cast<SPPluginMainProc>(entry);
  record_->loaded = true;
}

void PluginHost::unloadCode() {
  if (!record_->loaded) return;
  record_->loaded = false;
  if (record_->library == nullptr) return;
  platform::unloadModule(record_->library);
  record_->library = nullptr;
  record_->entry = nullptr;
}

ASErr PluginHost::send(const char* caller, const char* selector, void* message) {
  if (message == nullptr || caller == nullptr || selector == nullptr) return kBadParameterErr;
  if (!record_->loaded) {
    if (const ASErr err = reload()) return err;
  }
  SPMessageData* header = static_cast<SPMessageData*>(message);
  header->SPCheck = kSPValidSPMessageData;
  header->self = record_.get();
  header->globals = record_->globals;
  header->basic = host_.basicSuite();
  std::vector<std::string>& handling = host_.handling();
  handling.push_back(std::string(caller) + "/" + selector);
  const ASErr result = record_->entry(caller, selector, message);
  handling.pop_back();
  record_->globals = header->globals;
  return result;
}

ASErr PluginHost::sendInterface(const char* caller, const char* selector) {
  SPInterfaceMessage message{};
  return send(caller, selector, &message);
}

ASErr PluginHost::reload() {
  if (record_->loaded) return kNoErr;
  try {
    loadCode();
  } catch (const LoadError& e) {
    std::fprintf(stderr, "sarvello-host: %s\n", e.what());
    return kCantHappenErr;
  }
  SPAccessMessage message{};
  return send(kSPAccessCaller, kSPAccessReloadSelector, &message);
}

ASErr PluginHost::notify(const char* type) {
  ASErr first = kNoErr;
  // Copied: a notification may register further notifiers.
  const std::vector<NotifierRecord> notifiers = record_->notifiers;
  for (const NotifierRecord& n : notifiers) {
    if (n.type != type) continue;
    AINotifierMessage message{};
    message.notifier = n.handle;
    message.type = n.type.c_str();
    const ASErr err = send(kAINotifierCaller, kAINotifySelector, &message);
    if (first == kNoErr) first = err;
  }
  return first;
}

std::function<ASErr(const char*, const char*, void*)> PluginHost::sender() {
  return [this](const char* caller, const char* selector, void* message) {
    return send(caller, selector, message);
  };
}

ASErr PluginHost::start() {
  if (running_) return kNoErr;
  const ASErr err = sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector);
  if (err != kNoErr) return err;
  running_ = true;
  return notify(kAIApplicationStartedNotifier);
}

ASErr PluginHost::quit(QuitOrder order) {
  ASErr first = kNoErr;
  if (running_) {
    if (order == QuitOrder::DialogsFirst) destroyAllDialogs(host_);
    first = notify(kAIApplicationShutdownNotifier);
    // Whatever the plug-in left of its dialogs goes while its code is still there to be told.
    if (order == QuitOrder::ShutdownFirst) destroyAllDialogs(host_);
    const ASErr err = sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector);
    if (first == kNoErr) first = err;
    running_ = false;
  }
  record_->notifiers.clear();
  unloadCode();
  return first;
}

bool PluginHost::purge() {
  if (!record_->loaded) return true;
  sendInterface(kSPCacheCaller, kSPPluginPurgeCachesSelector);
  if (accessReferences() > 0) return false;
  SPAccessMessage message{};
  if (send(kSPAccessCaller, kSPAccessUnloadSelector, &message) != kNoErr) return false;
  unloadCode();
  return true;
}

bool PluginHost::loaded() const { return record_->loaded; }
bool PluginHost::running() const { return running_; }
SPPluginRef PluginHost::plugin() const { return record_.get(); }
void* PluginHost::globals() const { return record_->globals; }
std::string PluginHost::name() const { return record_->name; }
const std::string& PluginHost::path() const { return record_->path; }
const ResourceFile& PluginHost::resources() const { return record_->resources; }
const std::vector<NotifierRecord>& PluginHost::notifiers() const { return record_->notifiers; }

int PluginHost::accessReferences() const { return host_.plugins().accessReferences(record_.get()); }

}  // namespace simhost
