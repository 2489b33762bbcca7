#include "Plugin.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ASMemory.h"
#include "AppContext.h"
#include "SarvelloSuites.h"
#include "Suites.h"

Plugin* gPlugin = nullptr;

namespace {

constexpr int32_t kErrorStringList = 16050;
constexpr int32_t kAboutStringList = 16600;

// Codes that are never shown to the user, searched in this order.
constexpr ASErr kFilteredCodes[] = {
    AS_FOURCC('F', 'M', 'T', '?'), AS_FOURCC('R', 'F', 'S', 'E'), AS_FOURCC('A', 'F', 'T', 'R'),
    AS_FOURCC('V', 'A', 'L', 'D'), AS_FOURCC('M', 'O', 'O', 'T'), AS_FOURCC('T', 'R', 'S', 'H'),
    AS_FOURCC('C', 'H', 'E', 'K'), AS_FOURCC('C', 'H', 'I', 'T'), AS_FOURCC('T', 'L', 'T', 'K'),
    AS_FOURCC('p', 'F', 'l', 's'), AS_FOURCC('S', '!', 'F', 'd'), AS_FOURCC('!', 'A', 'c', 'q'),
    AS_FOURCC('d', 's', 'R', 'P'), AS_FOURCC('s', 'k', 'p', 'E'), AS_FOURCC('D', 'O', 'N', 'E'),
    AS_FOURCC('S', 'T', 'O', 'P'), 361};

bool isFiltered(ASErr code) {
  for (ASErr filtered : kFilteredCodes) {
    if (filtered == code) return true;
  }
  return false;
}

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Reads one entry of a string list into a buffer of `size` bytes. The buffer is cleared first
// and always terminated inside itself, whatever the host wrote. False when the entry cannot be
// read or is empty.
bool readEntry(SPPluginRef pluginRef, int32_t list, int32_t index, char* buffer, int32_t size) {
  std::memset(buffer, 0, static_cast<std::size_t>(size));
  const ASErr err = sADMBasic->GetIndexString(pluginRef, list, index, buffer, size);
  buffer[size - 1] = '\0';
  return err == kNoErr && buffer[0] != '\0';
}

// The message of a code: the text with its first "%s" replaced by the code's text and "%%" read
// as "%". Any other "%" stays as it is: the text comes from a resource and is never used as a
// format for the C library.
void formatMessage(const char* text, const char* codeText, char* out, std::size_t outSize) {
  std::size_t n = 0;
  bool substituted = false;
  auto put = [&](char c) {
    if (n + 1 < outSize) out[n++] = c;
  };
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && !substituted) {
      for (const char* c = codeText; *c != '\0'; ++c) put(*c);
      substituted = true;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      put('%');
      ++p;
    } else {
      put(*p);
    }
  }
  out[n] = '\0';
}

void showError(SPPluginRef pluginRef, ASErr code) {
  // Walk the codes (odd entries); the message is the entry after the matching code, or the last
  // message of the list for a code the list does not name.
  int32_t messageIndex = 0;
  for (int32_t index = 1;; index += 2) {
    char entry[10];
    if (index > 0x7FFF || !readEntry(pluginRef, kErrorStringList, index, entry, sizeof entry)) {
      if (index == 1) return;
      messageIndex = index - 1;
      break;
    }
    ASErr entryCode;
    if (entry[0] == '-' || std::isdigit(static_cast<unsigned char>(entry[0]))) {
      entryCode = std::atoi(entry);
    } else {
      entryCode = AS_FOURCC(entry[0], entry[1], entry[2], entry[3]);
    }
    if (entryCode == code) {
      messageIndex = index + 1;
      break;
    }
  }

  char text[128];
  if (!readEntry(pluginRef, kErrorStringList, messageIndex, text, sizeof text)) return;
  if (std::strlen(text) > 119) {
    sADMBasic->ErrorAlert(text);
    return;
  }
  char codeText[16];
  if (code <= 16384) {
    std::snprintf(codeText, sizeof codeText, "%d", static_cast<int>(code));
  } else {
    const uint32_t u = static_cast<uint32_t>(code);
    codeText[0] = static_cast<char>(u >> 24);
    codeText[1] = static_cast<char>(u >> 16);
    codeText[2] = static_cast<char>(u >> 8);
    codeText[3] = static_cast<char>(u);
    codeText[4] = '\0';
  }
  char shown[sizeof text + sizeof codeText];
  formatMessage(text, codeText, shown, sizeof shown);
  sADMBasic->ErrorAlert(shown);
}

// Calls a handler of the dispatch table with the message record of its type.
using Handler = ASErr (*)(Plugin&, void*);

template <typename Record, ASErr (Plugin::*Operation)(Record*)>
ASErr call(Plugin& plugin, void* message) {
  return (plugin.*Operation)(static_cast<Record*>(message));
}

ASErr answerStartup(Plugin&, void*) { return kNoErr; }  // start-up was done by the entry
ASErr answerPurge(Plugin& plugin, void*) { return plugin.Purge() ? kPurgeFalseErr : kNoErr; }

struct DispatchRow {
  const char* caller;
  const char* selector;
  Handler handler;
};

// Caller and selector pairs, compared in this order. The notifier caller is handled before the
// table, for any selector.
const DispatchRow kDispatchTable[] = {
    {"SP Access", "Unload", call<SPInterfaceMessage, &Plugin::UnloadPlugin>},
    {"SP Access", "Reload", call<SPInterfaceMessage, &Plugin::ReloadPlugin>},
    {"SP Interface", "About", call<SPInterfaceMessage, &Plugin::About>},
    {"SP Interface", "Startup", answerStartup},
    {"SP Cache", "Plug-in Purge", answerPurge},
    {"SP Properties", "Acquire", call<SPPropertiesMessage, &Plugin::AcquireProperty>},
    {"SP Properties", "Release", call<SPPropertiesMessage, &Plugin::ReleaseProperty>},
    {"Action Manager", "Do Action", call<DoActionMessage, &Plugin::GoAction>},
    {"AI Menu", "AI Go", call<AIMenuMessage, &Plugin::GoMenuItem>},
    {"AI Menu", "AI Update", call<AIMenuMessage, &Plugin::UpdateMenuItem>},
    {"AI Filter", "AI Get Parameters", call<AIFilterMessage, &Plugin::GetFilterParameters>},
    {"AI Filter", "AI Go", call<AIFilterMessage, &Plugin::GoFilter>},
    {"AI Plugin Group", "AI Notify Edits", call<AIPluginGroupMessage, &Plugin::PluginGroupNotify>},
    {"AI Plugin Group", "AI Update", call<AIPluginGroupMessage, &Plugin::PluginGroupUpdate>},
    {"AI File Format", "AI Get Parameters", call<AIFileFormatMessage, &Plugin::GetFileFormatParameters>},
    {"AI File Format", "AI Go", call<AIFileFormatMessage, &Plugin::GoFileFormat>},
    {"AI File Format", "AI Check", call<AIFileFormatMessage, &Plugin::CheckFileFormat>},
    {"AI File Format", "AI Update AI140", call<AIUpdateFileFormatMessage, &Plugin::FileFormatUpdate>},
    {"AI File Format", "Do Action", call<DoActionMessage, &Plugin::SetFileFormatParameters>},
    {"AI Tool", "AI Edit Options", call<AIToolMessage, &Plugin::EditTool>},
    {"AI Tool", "AI Track Cursor", call<AIToolMessage, &Plugin::TrackToolCursor>},
    {"AI Tool", "AI Mouse Down", call<AIToolMessage, &Plugin::ToolMouseDown>},
    {"AI Tool", "AI Mouse Drag", call<AIToolMessage, &Plugin::ToolMouseDrag>},
    {"AI Tool", "AI Mouse Up", call<AIToolMessage, &Plugin::ToolMouseUp>},
    {"AI Tool", "AI Select", call<AIToolMessage, &Plugin::SelectTool>},
    {"AI Tool", "AI Deselect", call<AIToolMessage, &Plugin::DeselectTool>},
    {"AI Tool", "AI Reselect", call<AIToolMessage, &Plugin::ReselectTool>},
    {"AI Tool", "AI Decrease Diameter", call<AIToolMessage, &Plugin::DecreaseDiameter>},
    {"AI Tool", "AI Increase Diameter", call<AIToolMessage, &Plugin::IncreaseDiameter>},
    {"AI Live Effect", "AI Live Effect Edit Parameters",
     call<AILiveEffectEditParamMessage, &Plugin::EditLiveEffectParameters>},
    {"AI Live Effect", "AI Live Effect Go Live", call<AILiveEffectGoMessage, &Plugin::GoLiveEffect>},
    {"AI Live Effect", "AI Live Effect Interpolate Parameters",
     call<AILiveEffectInterpParamMessage, &Plugin::LiveEffectInterpolate>},
    {"AI Live Effect", "AI Live Effect Input Type",
     call<AILiveEffectInputTypeMessage, &Plugin::LiveEffectGetInputType>},
    {"AI Live Effect", "AI Live Effect Scale Parameters",
     call<AILiveEffectScaleParamMessage, &Plugin::LiveEffectScaleParameters>},
    {"AI Live Effect", "AI Live Effect Convert Color Space",
     call<AILiveEffectConvertColorMessage, &Plugin::LiveEffectConvertColorSpace>},
    {"AI Live Effect", "AI Live Effect Adjust Colors",
     call<AILiveEffectAdjustColorsMessage, &Plugin::LiveEffectAdjustColors>},
    {"AI Live Effect", "AI Live Effect Handle Merge",
     call<AILiveEffectHandleMergeMessage, &Plugin::LiveEffectHandleMerge>},
    {"AI Timer", "AI Go", call<AITimerMessage, &Plugin::GoTimer>},
    {"AI Clipboard", "AI Go", call<AIClipboardMessage, &Plugin::GoClipboard>},
    {"AI Clipboard", "AI Can Copy", call<AIClipboardMessage, &Plugin::CanCopyClipboard>},
    {"AI Clipboard", "AI Clone", call<AIClipboardMessage, &Plugin::CloneClipboard>},
    {"AI Clipboard", "AI Dispose", call<AIClipboardMessage, &Plugin::DisposeClipboard>},
    {"Workspace Manager", "Write Woskspace", call<AIWorkspaceMessage, &Plugin::WorkspaceWrite>},
    {"Workspace Manager", "Restore Woskspace", call<AIWorkspaceMessage, &Plugin::WorkspaceRestore>},
    {"Workspace Manager", "Default Woskspace", call<AIWorkspaceMessage, &Plugin::WorkspaceDefault>},
};

}  // namespace

// ---- Object ------------------------------------------------------------------------------------

Plugin::Plugin(SPPluginRef pluginRef)
    : fSelfRef(pluginRef),
      fName(),
      fSuiteSet(nullptr),
      fLockDepth(0),
      fSelfAccess(nullptr),
      fLastErrorCode(kNoErr),
      fRepeatWindow(5),
      fQuietRepeats(true),
      fLastErrorTime(0) {
  std::snprintf(fName, sizeof fName, "%s", "Plugin");
}

Plugin::~Plugin() = default;

void* Plugin::operator new(std::size_t size) noexcept { return ai::HostAllocate(size); }
void Plugin::operator delete(void* block) noexcept { ai::HostFree(block); }

bool Plugin::IsReloadMsg(const char* caller, const char* selector) {
  return same(caller, kSPAccessCaller) && same(selector, kSPAccessReloadSelector);
}

// ---- Errors --------------------------------------------------------------------------------------

void Plugin::DefaultError(SPPluginRef pluginRef, ASErr code) {
  if (isFiltered(code)) return;
  bool acquired = false;
  if (sADMBasic == nullptr) {
    if (sSPBasic == nullptr) return;
    const void* suite = nullptr;
    if (sSPBasic->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion2, &suite) != kNoErr) return;
    if (suite == nullptr) {
      sSPBasic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion2);
      return;
    }
    sADMBasic = static_cast<ADMBasicSuite*>(const_cast<void*>(suite));
    acquired = true;
  }
  showError(pluginRef, code);
  if (acquired) {
    sSPBasic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion2);
    sADMBasic = nullptr;
  }
}

void Plugin::ReportError(ASErr code, const char*, const char*, void*) {
  if (isFiltered(code)) return;
  const std::time_t now = FrameClockNow();
  if (code == fLastErrorCode && fQuietRepeats && now < fLastErrorTime + fRepeatWindow) return;
  fLastErrorCode = code;
  fLastErrorTime = now;
  DefaultError(fSelfRef, code);
}

// ---- Life ----------------------------------------------------------------------------------------

ASErr Plugin::AcquireSuiteSet() {
  fSuiteSet = new Suites();
  if (fSuiteSet == nullptr) return kOutOfMemoryErr;
  // Set before any outcome is read, so that destroying a failed set releases what it acquired.
  Suites::fAcquiredCount = 1;
  const ASErr err = fSuiteSet->Error();
  if (err != kNoErr) {
    delete fSuiteSet;
    fSuiteSet = nullptr;
  }
  return err;
}

ASErr Plugin::StartupPlugin(SPInterfaceMessage*) {
  SetGlobal(this);
  ASErr err = AcquireSuiteSet();
  if (err != kNoErr) return err;
  err = sSPPlugins->SetPluginName(fSelfRef, fName);
  if (err != kNoErr) return err;
  char notifierName[sizeof fName + 32];
  std::snprintf(notifierName, sizeof notifierName, "%s App Started Notifier", fName);
  AINotifierHandle notifier = nullptr;
  err = sAINotifier->AddNotifier(fSelfRef, notifierName, kAIApplicationStartedNotifier, &notifier);
  if (err != kNoErr) return err;
  err = AllocateSuiteTables();
  if (err == kNoErr) FillSuiteTables();
  return err;
}

ASErr Plugin::PostStartupPlugin() { return kNoErr; }

ASErr Plugin::ShutdownPlugin(SPInterfaceMessage*) {
  if (fSuiteSet != nullptr) {
    delete fSuiteSet;
    fSuiteSet = nullptr;
  }
  SetGlobal(nullptr);
  return kNoErr;
}

ASErr Plugin::UnloadPlugin(SPInterfaceMessage*) {
  EmptySuiteTables();
  SetGlobal(nullptr);
  if (fSuiteSet != nullptr) {
    delete fSuiteSet;
    fSuiteSet = nullptr;
  }
  return kNoErr;
}

ASErr Plugin::ReloadPlugin(SPInterfaceMessage*) {
  SetGlobal(this);
  if (fSuiteSet == nullptr) {
    const ASErr err = AcquireSuiteSet();
    if (err != kNoErr) return err;
  } else {
    Suites::fAcquiredCount = 1;
  }
  FillSuiteTables();
  return kNoErr;
}

ASErr Plugin::LockPlugin(bool lock) {
  if (lock) {
    if (++fLockDepth == 1 && sSPAccess != nullptr) sSPAccess->AcquirePlugin(fSelfRef, &fSelfAccess);
  } else {
    --fLockDepth;
    if (fLockDepth == 0) {
      if (fSelfAccess != nullptr && sSPAccess != nullptr) sSPAccess->ReleasePlugin(fSelfAccess);
      fSelfAccess = nullptr;
    } else if (fLockDepth < 0) {
      fLockDepth = 0;
    }
  }
  return kNoErr;
}

ASErr Plugin::GetPluginName(char* buffer, unsigned length) {
  if (buffer == nullptr || length == 0) return kNoErr;
  std::size_t n = std::strlen(fName);
  if (n > length - 1) n = length - 1;
  std::memcpy(buffer, fName, n);
  buffer[n] = '\0';
  return kNoErr;
}

ASErr Plugin::About(SPInterfaceMessage*) {
  if (sADMBasic == nullptr) return kNoErr;
  char text1[256];
  char text2[256];
  readEntry(fSelfRef, kAboutStringList, 1, text1, sizeof text1);
  readEntry(fSelfRef, kAboutStringList, 2, text2, sizeof text2);
  sADMBasic->AboutBox(fSelfRef, text1, text2);
  return kNoErr;
}

bool Plugin::Purge() { return false; }

ASErr Plugin::SetGlobal(Plugin*) { return kNoErr; }
ASErr Plugin::AllocateSuiteTables() { return kNoErr; }
ASErr Plugin::FillSuiteTables() { return kNoErr; }
ASErr Plugin::EmptySuiteTables() { return kNoErr; }

ASErr Plugin::AcquireOptionalSuites() {
  if (fSuiteSet != nullptr) fSuiteSet->acquire_Optional_Suites();
  return kNoErr;
}

// ---- Dispatch ------------------------------------------------------------------------------------

ASErr Plugin::Message(const char* caller, const char* selector, void* message) {
  AcquireOptionalSuites();
  if (same(caller, kAINotifierCaller)) {
    AINotifierMessage* notifierMessage = static_cast<AINotifierMessage*>(message);
    AppContext context(notifierMessage->d.self);
    ASErr result = kUnhandledMsgErr;
    if (notifierMessage->type != nullptr && same(notifierMessage->type, kAIApplicationStartedNotifier))
      result = PostStartupPlugin();
    if ((result == kNoErr || result == kUnhandledMsgErr) && same(selector, kAINotifySelector))
      result = Notify(notifierMessage);
    return result;
  }
  for (const DispatchRow& row : kDispatchTable) {
    if (same(caller, row.caller) && same(selector, row.selector)) return row.handler(*this, message);
  }
  return kUnhandledMsgErr;
}

// ---- Default handlers ----------------------------------------------------------------------------

ASErr Plugin::AcquireProperty(SPPropertiesMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::ReleaseProperty(SPPropertiesMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::Notify(AINotifierMessage*) { return kNoErr; }
ASErr Plugin::GoAction(DoActionMessage*) { return kNoErr; }
ASErr Plugin::GoMenuItem(AIMenuMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::UpdateMenuItem(AIMenuMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GetFilterParameters(AIFilterMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GoFilter(AIFilterMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::PluginGroupNotify(AIPluginGroupMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::PluginGroupUpdate(AIPluginGroupMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GetFileFormatParameters(AIFileFormatMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GoFileFormat(AIFileFormatMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::CheckFileFormat(AIFileFormatMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::FileFormatUpdate(AIUpdateFileFormatMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::SetFileFormatParameters(DoActionMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::EditTool(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::TrackToolCursor(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::ToolMouseDown(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::ToolMouseDrag(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::ToolMouseUp(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::SelectTool(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::DeselectTool(AIToolMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::ReselectTool(AIToolMessage*) { return kNoErr; }
ASErr Plugin::DecreaseDiameter(AIToolMessage*) { return kNoErr; }
ASErr Plugin::IncreaseDiameter(AIToolMessage*) { return kNoErr; }
ASErr Plugin::EditLiveEffectParameters(AILiveEffectEditParamMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GoLiveEffect(AILiveEffectGoMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectInterpolate(AILiveEffectInterpParamMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectGetInputType(AILiveEffectInputTypeMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectConvertColorSpace(AILiveEffectConvertColorMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectScaleParameters(AILiveEffectScaleParamMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectAdjustColors(AILiveEffectAdjustColorsMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::LiveEffectHandleMerge(AILiveEffectHandleMergeMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GoTimer(AITimerMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::GoClipboard(AIClipboardMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::CanCopyClipboard(AIClipboardMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::CloneClipboard(AIClipboardMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::DisposeClipboard(AIClipboardMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::WorkspaceWrite(AIWorkspaceMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::WorkspaceRestore(AIWorkspaceMessage*) { return kUnhandledMsgErr; }
ASErr Plugin::WorkspaceDefault(AIWorkspaceMessage*) { return kUnhandledMsgErr; }
