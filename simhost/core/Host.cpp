// The stand-in host: its state, the accounting of what the plug-in holds, and its installation.
#include "core/Host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {

// ---- Outstanding ---------------------------------------------------------------------------

bool Outstanding::clean() const {
  return basicBlocks == 0 && basicBytes == 0 && spBlocks == 0 && spBlockBytes == 0 &&
         suiteAcquisitions == 0 && matchingArrays == 0 && unicodeStrings == 0 &&
         appContexts == 0 && accessRefs == 0 && dialogs == 0;
}

namespace {

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

}  // namespace

std::string Outstanding::describe() const {
  std::vector<std::string> parts;
  if (basicBlocks != 0 || basicBytes != 0)
    parts.push_back(plural(basicBlocks, "SP Basic block", "SP Basic blocks") + " (" +
                    std::to_string(basicBytes) + " bytes)");
  if (spBlocks != 0 || spBlockBytes != 0) {
    std::string s = plural(spBlocks, "SP Blocks block", "SP Blocks blocks") + " (" +
                    std::to_string(spBlockBytes) + " bytes";
    if (!blockTags.empty()) s += ": " + joined(blockTags);
    parts.push_back(s + ")");
  }
  if (suiteAcquisitions != 0) {
    std::string s = plural(suiteAcquisitions, "suite acquisition", "suite acquisitions");
    if (!suitesHeld.empty()) s += " (" + joined(suitesHeld) + ")";
    parts.push_back(s);
  }
  if (matchingArrays != 0)
    parts.push_back(plural(matchingArrays, "matching-art array", "matching-art arrays"));
  if (unicodeStrings != 0)
    parts.push_back(plural(unicodeStrings, "Unicode string", "Unicode strings"));
  if (appContexts != 0) parts.push_back(plural(appContexts, "app context", "app contexts"));
  if (accessRefs != 0)
    parts.push_back(plural(accessRefs, "access reference", "access references"));
  if (dialogs != 0) parts.push_back(plural(dialogs, "dialog", "dialogs"));
  if (parts.empty()) return "nothing outstanding";
  return joined(parts);
}

// ---- Host ----------------------------------------------------------------------------------

namespace {
Host* gCurrent = nullptr;
}

void Host::Impl::record(const Alert& shown, Host& host) {
  Alert alert = shown;
  if (alert.during.empty() && !handling.empty()) alert.during = handling.back();
  alerts.push_back(alert);
  // The listener gets its own copy: it may show further alerts, which can move the list.
  if (host.onAlert) host.onAlert(Alert(alert));
}

Host::Host() : impl_(std::make_unique<Impl>()) {
  if (gCurrent != nullptr) throw std::logic_error("a second simhost::Host while one is alive");
  gCurrent = this;
  impl_->paletteArea.left = 0;
  impl_->paletteArea.top = 0;
  impl_->paletteArea.right = 1440;
  impl_->paletteArea.bottom = 900;
  installSuites(*this);
}

Host::~Host() {
  // Whatever the plug-in left behind goes back to the system with the host.
  for (auto& entry : impl_->basicBlocks) std::free(entry.first);
  for (auto& entry : impl_->spBlocks) std::free(entry.first);
  for (void* array : impl_->matchingArrays) std::free(array);
  gCurrent = nullptr;
}

Host* Host::current() { return gCurrent; }

SPBasicSuite* Host::basicSuite() {
  auto it = impl_->suites.find(SuiteKey{kSPBasicSuite, kSPBasicSuiteVersion});
  return it == impl_->suites.end()
             ? nullptr
             : const_cast<SPBasicSuite*>(static_cast<const SPBasicSuite*>(it->second));
}

void Host::addSuite(const char* name, int32_t version, const void* table) {
  if (name == nullptr || table == nullptr)
    throw std::invalid_argument("addSuite needs a name and a table");
  impl_->suites[SuiteKey{name, version}] = table;
}

int Host::acquisitions(const std::string& name, int32_t version) const {
  auto it = impl_->acquisitions.find(SuiteKey{name, version});
  return it == impl_->acquisitions.end() ? 0 : it->second;
}

Outstanding Host::outstanding() const {
  Outstanding o;
  o.basicBlocks = impl_->basicBlocks.size();
  for (const auto& entry : impl_->basicBlocks) o.basicBytes += entry.second;
  o.spBlocks = impl_->spBlocks.size();
  std::map<std::string, int> tags;
  for (const auto& entry : impl_->spBlocks) {
    o.spBlockBytes += entry.second.size;
    ++tags[entry.second.tag];
  }
  for (const auto& [tag, n] : tags)
    o.blockTags.push_back((tag.empty() ? std::string("(no tag)") : tag) + " x" +
                          std::to_string(n));
  for (const auto& [key, n] : impl_->acquisitions) {
    if (n <= 0) continue;
    o.suiteAcquisitions += static_cast<std::size_t>(n);
    o.suitesHeld.push_back(key.name + " " + std::to_string(key.version) + " x" +
                           std::to_string(n));
  }
  o.matchingArrays = impl_->matchingArrays.size();
  o.unicodeStrings = impl_->strings.size();
  o.appContexts = impl_->contexts.size();
  o.accessRefs = impl_->plugins.unreleasedAccess();
  o.dialogs = impl_->dialogs.dialogs.size();
  return o;
}

Faults& Host::faults() { return impl_->faults; }
Document& Host::document() { return impl_->document; }
ViewState& Host::view() { return impl_->view; }
std::vector<Alert>& Host::alerts() { return impl_->alerts; }
std::vector<std::string>& Host::handling() { return impl_->handling; }

std::string Host::text(AIUnicodeStringHandle string) const {
  auto it = impl_->strings.find(handleId(HandleKind::String, string));
  return it == impl_->strings.end() ? std::string() : it->second;
}

bool Host::stringValid(AIUnicodeStringHandle string) const {
  return impl_->strings.count(handleId(HandleKind::String, string)) != 0;
}

AIDocumentViewHandle Host::viewHandle() const {
  return makeHandle<AIDocumentViewHandle>(HandleKind::View, 1);
}

int32_t Host::cursor() const { return impl_->cursor; }
AIRect& Host::paletteArea() { return impl_->paletteArea; }
std::map<PreferenceKey, Preference>& Host::preferences() { return impl_->preferences; }
std::vector<std::string>& Host::openedURLs() { return impl_->openedURLs; }
ToolState& Host::tools() { return impl_->tools; }
DialogState& Host::dialogs() { return impl_->dialogs; }
PluginRegistry& Host::plugins() { return impl_->plugins; }
const std::string& Host::preferencesFile() const { return impl_->preferencesFile; }

void copyToBuffer(const std::string& text, char* buffer, int32_t bufferSize) {
  if (buffer == nullptr || bufferSize <= 0) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(bufferSize - 1));
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
}

}  // namespace simhost
