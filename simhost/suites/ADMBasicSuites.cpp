// The dialog manager's basic suites: ADM Basic (string resources, alerts, the About box, the
// cursor, the palette area), ADM Icon (the tool's icon, kept with the tool side's model) and
// ADM Tracker, which the plug-in acquires and never calls.
#include "core/HostImpl.h"
#include "suites/Suites.h"
#include "tool/ToolState.h"

namespace simhost {
namespace {

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
    impl.record(Alert{kind, text != nullptr ? text : "", text2 != nullptr ? text2 : "", ""}, host);
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

// ---- ADM Icon -----------------------------------------------------------------------------

ADMIconRef ADMAPI iconGetFromResource(SPPluginRef plugin, const char* name, int32_t iconType,
                                      int32_t resourceID) {
  ADMIconRef result = nullptr;
  const ASErr err =
      hostCall("ADMIcon.GetFromResource", [&](Host& host, HostState& impl) -> ASErr {
        result = impl.tools.add(iconFromResource(host, plugin, name, iconType, resourceID));
        return kNoErr;
      });
  // The icon suite answers no codes: a host that cannot make the icon hands out none, whose type
  // is unknown.
  return err == kNoErr ? result : nullptr;
}

int32_t ADMAPI iconGetType(ADMIconRef icon) {
  int32_t type = kADMUnknownIconType;
  hostCall("ADMIcon.GetType", [&](Host&, HostState& impl) -> ASErr {
    if (const IconRecord* record = impl.tools.findIcon(icon)) type = record->type;
    return kNoErr;
  });
  return type;
}

}  // namespace

const ADMIconSuite kADMIconTable = {iconGetFromResource, iconGetType};
const ADMBasicSuite kADMBasicTable = {getIndexString,    errorAlert,        messageAlert, aboutBox,
                                      setPlatformCursor, getPaletteLayoutBounds};
// Acquired and never called: its only member is reserved.
const ADMTrackerSuite kADMTrackerTable = {nullptr};

}  // namespace simhost
