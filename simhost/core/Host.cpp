// The stand-in host: its state, accounting, fault injection, document and view.
#include "Host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "HostImpl.h"

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

// ---- Faults --------------------------------------------------------------------------------

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
  auto site = sites_.find(operation);
  if (site == sites_.end() || site->second->first != operation) {
    auto* entry = &*callCounts_.try_emplace(operation, 0).first;
    site = sites_.insert_or_assign(operation, entry).first;
  }
  ++site->second->second;
  if (callFaults_.empty()) return kNoErr;

  const std::string& op = site->second->first;
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

// ---- Document ------------------------------------------------------------------------------

AIArtHandle Document::addPath(std::vector<AIPathSegment> segments, bool closed, bool selected) {
  Art art;
  art.kind = kPathArt;
  art.segments = std::move(segments);
  art.closed = closed;
  art.selected = selected;
  return addArt(std::move(art));
}

AIArtHandle Document::addArt(Art art) {
  if (art.segments.size() > kMaxSegments)
    throw std::length_error("a path holds at most 32767 segments");
  if (art.parent != 0) {
    auto parent = art_.find(art.parent);
    if (parent == art_.end() || parent->second.kind != kCompoundPathArt)
      throw std::invalid_argument("the parent of art must be a compound path of the document");
  }
  const std::uint64_t id = nextId_++;
  art_.emplace(id, std::move(art));
  return makeHandle<AIArtHandle>(HandleKind::Art, id);
}

bool Document::remove(AIArtHandle art) {
  const std::uint64_t id = handleId(HandleKind::Art, art);
  auto it = art_.find(id);
  if (it == art_.end()) return false;
  art_.erase(it);
  // The subpaths of a removed compound path go with it.
  std::erase_if(art_, [id](const auto& entry) { return entry.second.parent == id; });
  return true;
}

Art* Document::find(AIArtHandle art) {
  auto it = art_.find(handleId(HandleKind::Art, art));
  return it == art_.end() ? nullptr : &it->second;
}

const Art* Document::find(AIArtHandle art) const {
  auto it = art_.find(handleId(HandleKind::Art, art));
  return it == art_.end() ? nullptr : &it->second;
}

bool Document::valid(AIArtHandle art) const { return find(art) != nullptr; }

std::uint64_t Document::id(AIArtHandle art) { return handleId(HandleKind::Art, art); }

std::vector<AIArtHandle> Document::handles() const {
  std::vector<AIArtHandle> out;
  out.reserve(art_.size());
  for (const auto& entry : art_) out.push_back(makeHandle<AIArtHandle>(HandleKind::Art, entry.first));
  return out;
}

void Document::selectAll(bool selected) {
  for (auto& entry : art_) entry.second.selected = selected;
}

std::size_t Document::size() const { return art_.size(); }

void Document::clear() { art_.clear(); }  // ids keep counting: old handles stay dead

// ---- ViewState -----------------------------------------------------------------------------

namespace {

// Rounds to the nearest pixel, saturating at the limits of the platform's view coordinate.
template <class T>
T toPixel(double value) {
  using L = std::numeric_limits<T>;
  if (std::isnan(value)) return 0;
  const double r = std::round(value);
  if (r <= static_cast<double>(L::min())) return L::min();
  if (r >= static_cast<double>(L::max())) return L::max();
  return static_cast<T>(r);
}

}  // namespace

AIRealRect ViewState::bounds() const {
  const AIRealPoint topLeft = toArtwork(AIPoint{});
  AIPoint bottomRightView{};
  bottomRightView.h = static_cast<decltype(bottomRightView.h)>(width);
  bottomRightView.v = static_cast<decltype(bottomRightView.v)>(height);
  const AIRealPoint bottomRight = toArtwork(bottomRightView);
  AIRealRect r;
  r.left = topLeft.h;
  r.top = topLeft.v;
  r.right = bottomRight.h;
  r.bottom = bottomRight.v;
  return r;
}

AIPoint ViewState::toView(AIRealPoint artwork) const {
  AIPoint p{};
  p.h = toPixel<decltype(p.h)>(width * 0.5 + (static_cast<double>(artwork.h) - center.h) * zoom);
  p.v = toPixel<decltype(p.v)>(height * 0.5 - (static_cast<double>(artwork.v) - center.v) * zoom);
  return p;
}

AIRealPoint ViewState::toArtwork(AIPoint view) const {
  AIRealPoint a;
  a.h = static_cast<AIReal>(center.h + (view.h - width * 0.5) / zoom);
  a.v = static_cast<AIReal>(center.v - (view.v - height * 0.5) / zoom);
  return a;
}

// ---- Host ----------------------------------------------------------------------------------

namespace {
Host* gCurrent = nullptr;
}

void Host::Impl::record(const Alert& alert, Host& host) {
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
  registerBasicSuites(*this);
  registerArtSuites(*this);
  registerPathConstruction(*this);
  registerViewSuites(*this);
  registerServiceSuites(*this);
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
  o.accessRefs = impl_->accessRefs;
  o.dialogs = impl_->dialogs;
  return o;
}

Faults& Host::faults() { return impl_->faults; }
Document& Host::document() { return impl_->document; }
ViewState& Host::view() { return impl_->view; }
std::vector<Alert>& Host::alerts() { return impl_->alerts; }

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

std::size_t& Host::accessRefs() { return impl_->accessRefs; }
int32_t Host::cursor() const { return impl_->cursor; }
AIRect& Host::paletteArea() { return impl_->paletteArea; }
std::map<PreferenceKey, Preference>& Host::preferences() { return impl_->preferences; }
std::vector<std::string>& Host::openedURLs() { return impl_->openedURLs; }
std::size_t& Host::dialogCount() { return impl_->dialogs; }
const std::string& Host::preferencesFile() const { return impl_->preferencesFile; }

void copyToBuffer(const std::string& text, char* buffer, int32_t bufferSize) {
  if (buffer == nullptr || bufferSize <= 0) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(bufferSize - 1));
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
}

}  // namespace simhost
