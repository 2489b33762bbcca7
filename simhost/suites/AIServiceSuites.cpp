// The application's service suites: AI Notifier, AI Unicode String, AI Context, AI Preference,
// AI URL, and the tables of the suites the plug-in acquires but never calls (AI Filter, AI Real
// Math, AI Random), whose only member is reserved.
#include <cstdio>
#include <string>

#include "core/HostImpl.h"
#include "platform/Platform.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// ---- AI Notifier ---------------------------------------------------------------------------

// Notifications the plug-in asks for are kept with its record; the loader sends them.
AIErr addNotifier(SPPluginRef self, const char* name, const char* type,
                  AINotifierHandle* notifier) {
  return hostCall("AINotifier.AddNotifier", [&](Host&, HostState& impl) -> ASErr {
    SPPlugin* record = impl.plugins.find(self);
    if (record == nullptr || name == nullptr || type == nullptr || notifier == nullptr)
      return kBadParameterErr;
    NotifierRecord n;
    n.plugin = self;
    n.name = name;
    n.type = type;
    n.handle = impl.plugins.newNotifierHandle();
    record->notifiers.push_back(n);
    *notifier = n.handle;
    return kNoErr;
  });
}

// ---- AI Unicode String ---------------------------------------------------------------------

AIErr newFromCString(const char* text, int32_t encoding, AIUnicodeStringHandle* string) {
  return hostCall("AIUnicodeString.NewFromCString", [&](Host&, HostState& impl) -> ASErr {
    if (string == nullptr) return kBadParameterErr;
    *string = nullptr;
    if (text == nullptr) return kBadParameterErr;
    // The platform encoding is UTF-8 here, so both codes read the bytes as they are.
    if (encoding != kAIPlatformCharacterEncoding && encoding != kAIUTF8CharacterEncoding)
      return kBadParameterErr;
    const std::uint64_t id = impl.nextStringId++;
    impl.strings.emplace(id, text);
    *string = makeHandle<AIUnicodeStringHandle>(HandleKind::String, id);
    return kNoErr;
  });
}

AIErr copyString(AIUnicodeStringHandle* target, AIUnicodeStringHandle source) {
  return hostCall("AIUnicodeString.Copy", [&](Host&, HostState& impl) -> ASErr {
    if (target == nullptr) return kBadParameterErr;
    std::string content;
    if (source != nullptr) {
      auto it = impl.strings.find(handleId(HandleKind::String, source));
      if (it == impl.strings.end()) return kBadParameterErr;
      content = it->second;
    }
    if (*target == nullptr) {
      const std::uint64_t id = impl.nextStringId++;
      impl.strings.emplace(id, std::move(content));
      *target = makeHandle<AIUnicodeStringHandle>(HandleKind::String, id);
      return kNoErr;
    }
    auto it = impl.strings.find(handleId(HandleKind::String, *target));
    if (it == impl.strings.end()) return kBadParameterErr;
    it->second = std::move(content);
    return kNoErr;
  });
}

// None is accepted and ignored; an unknown or already disposed handle is refused.
AIErr disposeString(AIUnicodeStringHandle string) {
  return hostCall("AIUnicodeString.Dispose", [&](Host&, HostState& impl) -> ASErr {
    if (string == nullptr) return kNoErr;
    return impl.strings.erase(handleId(HandleKind::String, string)) == 1 ? kNoErr
                                                                         : kBadParameterErr;
  });
}

// ---- AI Context ----------------------------------------------------------------------------

AIErr pushAppContext(SPPluginRef, AIAppContextHandle* appContext) {
  return hostCall("AIAppContext.PushAppContext", [&](Host&, HostState& impl) -> ASErr {
    if (appContext == nullptr) return kBadParameterErr;
    const std::uint64_t id = impl.nextContextId++;
    impl.contexts.insert(id);
    *appContext = makeHandle<AIAppContextHandle>(HandleKind::Context, id);
    return kNoErr;
  });
}

AIErr popAppContext(AIAppContextHandle appContext) {
  return hostCall("AIAppContext.PopAppContext", [&](Host&, HostState& impl) -> ASErr {
    return impl.contexts.erase(handleId(HandleKind::Context, appContext)) == 1 ? kNoErr
                                                                               : kBadParameterErr;
  });
}

// ---- AI Preference -------------------------------------------------------------------------

// The stored value of the given kind, or none; a missing prefix or suffix is the caller's fault.
ASErr lookup(HostState& impl, const char* prefix, const char* suffix, Preference::Kind kind,
             const Preference** value) {
  *value = nullptr;
  if (prefix == nullptr || suffix == nullptr) return kBadParameterErr;
  auto it = impl.preferences.find(PreferenceKey{prefix, suffix});
  if (it != impl.preferences.end() && it->second.kind == kind) *value = &it->second;
  return kNoErr;
}

ASErr store(HostState& impl, const char* prefix, const char* suffix, Preference value) {
  if (prefix == nullptr || suffix == nullptr) return kBadParameterErr;
  impl.preferences[PreferenceKey{prefix, suffix}] = std::move(value);
  return kNoErr;
}

AIErr getIntegerPreference(const char* prefix, const char* suffix, int32_t* value) {
  return hostCall("AIPreference.GetIntegerPreference", [&](Host&, HostState& impl) -> ASErr {
    if (value == nullptr) return kBadParameterErr;
    const Preference* p = nullptr;
    if (ASErr err = lookup(impl, prefix, suffix, Preference::Integer, &p)) return err;
    if (p != nullptr) *value = p->integer;
    return kNoErr;
  });
}

AIErr putIntegerPreference(const char* prefix, const char* suffix, int32_t value) {
  return hostCall("AIPreference.PutIntegerPreference", [&](Host&, HostState& impl) -> ASErr {
    Preference p;
    p.kind = Preference::Integer;
    p.integer = value;
    return store(impl, prefix, suffix, std::move(p));
  });
}

AIErr getBooleanPreference(const char* prefix, const char* suffix, AIBoolean* value) {
  return hostCall("AIPreference.GetBooleanPreference", [&](Host&, HostState& impl) -> ASErr {
    if (value == nullptr) return kBadParameterErr;
    const Preference* p = nullptr;
    if (ASErr err = lookup(impl, prefix, suffix, Preference::Boolean, &p)) return err;
    if (p != nullptr) *value = p->integer != 0 ? 1 : 0;
    return kNoErr;
  });
}

AIErr putBooleanPreference(const char* prefix, const char* suffix, AIBoolean value) {
  return hostCall("AIPreference.PutBooleanPreference", [&](Host&, HostState& impl) -> ASErr {
    Preference p;
    p.kind = Preference::Boolean;
    p.integer = value != 0 ? 1 : 0;
    return store(impl, prefix, suffix, std::move(p));
  });
}

AIErr getStringPreference(const char* prefix, const char* suffix, char* buffer,
                          int32_t bufferSize) {
  return hostCall("AIPreference.GetStringPreference", [&](Host&, HostState& impl) -> ASErr {
    if (buffer == nullptr || bufferSize <= 0) return kBadParameterErr;
    const Preference* p = nullptr;
    if (ASErr err = lookup(impl, prefix, suffix, Preference::String, &p)) return err;
    if (p != nullptr) copyToBuffer(p->text, buffer, bufferSize);
    return kNoErr;
  });
}

AIErr putStringPreference(const char* prefix, const char* suffix, const char* value) {
  return hostCall("AIPreference.PutStringPreference", [&](Host&, HostState& impl) -> ASErr {
    if (value == nullptr) return kBadParameterErr;
    Preference p;
    p.kind = Preference::String;
    p.text = value;
    return store(impl, prefix, suffix, std::move(p));
  });
}

AIErr getPointPreference(const char* prefix, const char* suffix, AIPoint* value) {
  return hostCall("AIPreference.GetPointPreference", [&](Host&, HostState& impl) -> ASErr {
    if (value == nullptr) return kBadParameterErr;
    const Preference* p = nullptr;
    if (ASErr err = lookup(impl, prefix, suffix, Preference::Point, &p)) return err;
    if (p != nullptr) *value = p->point;
    return kNoErr;
  });
}

AIErr putPointPreference(const char* prefix, const char* suffix, const AIPoint* value) {
  return hostCall("AIPreference.PutPointPreference", [&](Host&, HostState& impl) -> ASErr {
    if (value == nullptr) return kBadParameterErr;
    Preference p;
    p.kind = Preference::Point;
    p.point = *value;
    return store(impl, prefix, suffix, std::move(p));
  });
}

// ---- AI URL ----------------------------------------------------------------------------

AIErr openURL(const char* url) {
  return hostCall("AIURL.OpenURL", [&](Host& host, HostState& impl) -> ASErr {
    if (url == nullptr || *url == '\0') return kBadParameterErr;
    impl.openedURLs.emplace_back(url);
    // Only web addresses go to the opener: nothing that it could take for an option or a file.
    const std::string address = url;
    const bool web = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
    if (!(host.openURLsWithSystem && web && platform::openWithSystem(address)))
      std::printf("Open in a browser: %s\n", url);
    return kNoErr;
  });
}

}  // namespace

const AINotifierSuite kAINotifierTable = {addNotifier};
const AIUnicodeStringSuite kAIUnicodeStringTable = {newFromCString, copyString, disposeString};
const AIAppContextSuite kAIAppContextTable = {pushAppContext, popAppContext};
const AIPreferenceSuite kAIPreferenceTable = {getIntegerPreference, putIntegerPreference,
                                              getBooleanPreference, putBooleanPreference,
                                              getStringPreference,  putStringPreference,
                                              getPointPreference,   putPointPreference};
const AIURLSuite kAIURLTable = {openURL};
// Suites the plug-in acquires and never calls: their only member is reserved.
const AIFilterSuite kAIFilterTable = {nullptr};
const AIRealMathSuite kAIRealMathTable = {nullptr};
const AIRandomSuite kAIRandomTable = {nullptr};

}  // namespace simhost

