// The host's services beside the document: AI Unicode String, AI Context, ADM Basic,
// AI Preference, AI URL, and the minimal tables of the suites the plug-in acquires but never
// calls.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "HostImpl.h"

extern char** environ;

namespace simhost {
namespace {

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

// ---- ADM Basic -----------------------------------------------------------------------------

ASErr getIndexString(SPPluginRef plugin, int32_t stringID, int32_t index, char* buffer,
                     int32_t bufferSize) {
  return hostCall("ADMBasic.GetIndexString", [&](Host& host, HostState&) -> ASErr {
    if (buffer == nullptr || bufferSize <= 0) return kBadParameterErr;
    buffer[0] = '\0';
    std::string text;
    if (!host.stringResource || !host.stringResource(plugin, stringID, index, &text))
      return kStringNotFoundErr;
    copyToBuffer(text, buffer, bufferSize);
    return kNoErr;
  });
}

// The alerts cannot answer a code: an injected fault makes them show nothing.
void showAlert(const char* operation, Alert::Kind kind, const char* text, const char* text2) {
  hostCall(operation, [&](Host& host, HostState& impl) -> ASErr {
    impl.record(Alert{kind, text != nullptr ? text : "", text2 != nullptr ? text2 : ""}, host);
    return kNoErr;
  });
}

void errorAlert(const char* text) { showAlert("ADMBasic.ErrorAlert", Alert::Error, text, nullptr); }
void messageAlert(const char* text) {
  showAlert("ADMBasic.MessageAlert", Alert::Message, text, nullptr);
}
void aboutBox(SPPluginRef, const char* text1, const char* text2) {
  showAlert("ADMBasic.AboutBox", Alert::About, text1, text2);
}

ASErr setPlatformCursor(SPPluginRef, int32_t cursorID) {
  return hostCall("ADMBasic.SetPlatformCursor", [&](Host&, HostState& impl) -> ASErr {
    impl.cursor = cursorID;
    return kNoErr;
  });
}

void getPaletteLayoutBounds(Rect* bounds) {
  hostCall("ADMBasic.GetPaletteLayoutBounds", [&](Host&, HostState& impl) -> ASErr {
    if (bounds != nullptr) *bounds = impl.paletteArea;
    return kNoErr;
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

// ---- AI URL --------------------------------------------------------------------------------

// The system's opener, when there is one on the PATH.
std::string findOpener() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate =
        (end > start ? dirs.substr(start, end - start) : std::string(".")) + "/xdg-open";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// Hands the address to the opener, as its own argument (never through a shell), and waits for
// the opener, which returns once the browser has been asked.
bool launchOpener(const std::string& opener, const std::string& url) {
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url.c_str()),
                        nullptr};
  // The opener's own output (and the browser's, which it starts) is not the user's business here.
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return false;
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, opener.c_str(), &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

AIErr openURL(const char* url) {
  return hostCall("AIURL.OpenURL", [&](Host& host, HostState& impl) -> ASErr {
    if (url == nullptr || *url == '\0') return kBadParameterErr;
    impl.openedURLs.emplace_back(url);
    // Only web addresses go to the opener: nothing that it could take for an option or a file.
    const std::string address = url;
    const bool web = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
    const std::string opener = host.openURLsWithSystem && web ? findOpener() : std::string();
    if (opener.empty() || !launchOpener(opener, url)) std::printf("Open in a browser: %s\n", url);
    return kNoErr;
  });
}

const AIUnicodeStringSuite kUnicodeString = {newFromCString, copyString, disposeString};
const AIAppContextSuite kAppContext = {pushAppContext, popAppContext};
const ADMBasicSuite kADMBasic = {getIndexString,    errorAlert,        messageAlert, aboutBox,
                                 setPlatformCursor, getPaletteLayoutBounds};
const AIPreferenceSuite kPreference = {getIntegerPreference, putIntegerPreference,
                                       getBooleanPreference, putBooleanPreference,
                                       getStringPreference,  putStringPreference,
                                       getPointPreference,   putPointPreference};
const AIURLSuite kURL = {openURL};

// Suites the plug-in acquires and never calls.
const AIFilterSuite kFilter = {nullptr};
const AIRealMathSuite kRealMath = {nullptr};
const AIRandomSuite kRandom = {nullptr};
const ADMTrackerSuite kTracker = {nullptr};
const ADMDialogSuite kDialog = {};
const ADMItemSuite kItem = {};
const ADMListSuite kList = {};
const ADMEntrySuite kEntry = {};
const ADMNotifierSuite kNotifier = {};
const ADMDialogGroupSuite kDialogGroup = {};

}  // namespace

void registerServiceSuites(Host& host) {
  host.addSuite(kAIUnicodeStringSuite, kAIUnicodeStringSuiteVersion, &kUnicodeString);
  host.addSuite(kAIAppContextSuite, kAIAppContextSuiteVersion, &kAppContext);
  host.addSuite(kADMBasicSuite, kADMBasicSuiteVersion10, &kADMBasic);
  host.addSuite(kADMBasicSuite, kADMBasicSuiteVersion2, &kADMBasic);
  host.addSuite(kAIPreferenceSuite, kAIPreferenceSuiteVersion, &kPreference);
  host.addSuite(kAIURLSuite, kAIURLSuiteVersion, &kURL);

  host.addSuite(kAIFilterSuite, kAIFilterSuiteVersion, &kFilter);
  host.addSuite(kAIRealMathSuite, kAIRealMathSuiteVersion, &kRealMath);
  host.addSuite(kAIRandomSuite, kAIRandomSuiteVersion, &kRandom);
  host.addSuite(kADMTrackerSuite, kADMTrackerSuiteVersion, &kTracker);
  host.addSuite(kADMDialogSuite, kADMDialogSuiteVersion, &kDialog);
  host.addSuite(kADMItemSuite, kADMItemSuiteVersion, &kItem);
  host.addSuite(kADMListSuite, kADMListSuiteVersion, &kList);
  host.addSuite(kADMEntrySuite, kADMEntrySuiteVersion, &kEntry);
  host.addSuite(kADMNotifierSuite, kADMNotifierSuiteVersion, &kNotifier);
  host.addSuite(kADMDialogGroupSuite, kADMDialogGroupSuiteVersion, &kDialogGroup);
}

}  // namespace simhost

namespace simhost {

bool openWithSystem(const std::string& url) {
  const std::string opener = findOpener();
  return !opener.empty() && launchOpener(opener, url);
}

}  // namespace simhost
