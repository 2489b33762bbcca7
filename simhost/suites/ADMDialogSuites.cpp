// The dialog manager's suites of the panels: ADM Dialog, ADM Item, ADM List, ADM Entry, ADM
// Notifier and ADM Dialog Group, over the dialog manager's model (adm/DialogManager.h).
//
// Most of these functions answer no code: an unknown reference, an injected fault or a failure
// inside the host makes them do nothing and answer none, 0 or false.
#include <algorithm>
#include <climits>
#include <cmath>

#include "adm/DialogManager.h"
#include "core/HostImpl.h"
#include "suites/Suites.h"

namespace simhost {
namespace {

// Runs a suite function's body on the current host's dialogs: an injected fault first (which
// makes the operation fail: `failed` is answered), and no C++ exception crossing into the plug-in.
template <class R, class Body>
R admCall(const char* operation, R failed, Body&& body) {
  Host* host = Host::current();
  if (host == nullptr) return failed;
  try {
    if (host->faults().check(operation) != kNoErr) return failed;
    return body(*host, host->dialogs());
  } catch (...) {
    return failed;
  }
}

// Operations that answer a code run as every suite function of the host does (hostCall): the
// injected code is answered.
template <class Body>
ASErr admErrCall(const char* operation, Body&& body) {
  return hostCall(operation,
                  [&](Host& host, HostState& impl) -> ASErr { return body(host, impl.dialogs); });
}

template <class Body>
void admVoidCall(const char* operation, Body&& body) {
  admCall(operation, 0, [&](Host& host, DialogState& state) {
    body(host, state);
    return 0;
  });
}

// ---- ADM Dialog ----------------------------------------------------------------------------

ADMDialogRef ADMAPI dialogCreate(SPPluginRef plugin, const char* name, int32_t dialogID,
                                 ADMDialogStyle style, ADMDialogInitProc initProc,
                                 ADMUserData userData, int32_t options) {
  return admCall("ADMDialog.Create", ADMDialogRef{}, [&](Host& host, DialogState& state) {
    Dialog* d =
        state.create(host, plugin, name, dialogID, style, initProc, userData, options, false);
    return d != nullptr ? DialogState::ref(*d) : nullptr;
  });
}

int32_t runModal(const char* operation, SPPluginRef plugin, const char* name, int32_t dialogID,
                 ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                 int32_t options) {
  return admCall(operation, int32_t{-1}, [&](Host& host, DialogState& state) -> int32_t {
    Dialog* d =
        state.create(host, plugin, name, dialogID, style, initProc, userData, options, true);
    if (d == nullptr) return -1;
    const std::uint64_t id = d->id;
    const int32_t answer = state.runModal ? state.runModal(DialogState::ref(*d)) : 1;
    state.destroy(id);
    return answer;
  });
}

int32_t ADMAPI dialogModal(SPPluginRef plugin, const char* name, int32_t dialogID,
                           ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                           int32_t options) {
  return runModal("ADMDialog.Modal", plugin, name, dialogID, style, initProc, userData, options);
}

int32_t ADMAPI dialogPopupModal(SPPluginRef plugin, const char* name, int32_t dialogID,
                                ADMDialogInitProc initProc, ADMUserData userData,
                                int32_t options) {
  return runModal("ADMDialog.PopupModal", plugin, name, dialogID, kADMPopupModalDialogStyle,
                  initProc, userData, options);
}

void ADMAPI dialogDestroy(ADMDialogRef dialog) {
  admVoidCall("ADMDialog.Destroy", [&](Host&, DialogState& state) {
    if (Dialog* d = state.find(dialog)) state.destroy(d->id);
  });
}

// Runs body on the dialog when it exists.
template <class R, class Body>
R onDialog(const char* operation, ADMDialogRef dialog, R failed, Body&& body) {
  return admCall(operation, failed, [&](Host&, DialogState& state) -> R {
    Dialog* d = state.find(dialog);
    return d != nullptr ? body(*d) : failed;
  });
}

void ADMAPI dialogSetUserData(ADMDialogRef dialog, ADMUserData userData) {
  onDialog("ADMDialog.SetUserData", dialog, 0, [&](Dialog& d) { return d.userData = userData, 0; });
}
ADMUserData ADMAPI dialogGetUserData(ADMDialogRef dialog) {
  return onDialog("ADMDialog.GetUserData", dialog, ADMUserData{},
                  [&](Dialog& d) { return d.userData; });
}
SPPluginRef ADMAPI dialogGetPluginRef(ADMDialogRef dialog) {
  return onDialog("ADMDialog.GetPluginRef", dialog, SPPluginRef{},
                  [&](Dialog& d) { return d.plugin; });
}
void ADMAPI dialogSetDrawProc(ADMDialogRef dialog, ADMDialogDrawProc proc) {
  onDialog("ADMDialog.SetDrawProc", dialog, 0, [&](Dialog& d) { return d.drawProc = proc, 0; });
}
void ADMAPI dialogSetTrackProc(ADMDialogRef dialog, ADMDialogTrackProc proc) {
  onDialog("ADMDialog.SetTrackProc", dialog, 0, [&](Dialog& d) { return d.trackProc = proc, 0; });
}
void ADMAPI dialogSetNotifyProc(ADMDialogRef dialog, ADMDialogNotifyProc proc) {
  onDialog("ADMDialog.SetNotifyProc", dialog, 0,
           [&](Dialog& d) { return d.notifyProc = proc, 0; });
}
void ADMAPI dialogSetDestroyProc(ADMDialogRef dialog, ADMDialogDestroyProc proc) {
  onDialog("ADMDialog.SetDestroyProc", dialog, 0,
           [&](Dialog& d) { return d.destroyProc = proc, 0; });
}
void ADMAPI dialogDefaultDraw(ADMDialogRef dialog, ADMDrawerRef) {
  onDialog("ADMDialog.DefaultDraw", dialog, 0, [&](Dialog& d) { return ++d.defaultDraws, 0; });
}
// The dialog manager tracks nothing of its own in a panel: the pointer event is not taken.
ASBoolean ADMAPI dialogDefaultTrack(ADMDialogRef dialog, ADMTrackerRef) {
  return onDialog("ADMDialog.DefaultTrack", dialog, ASBoolean{0},
                  [&](Dialog&) { return ASBoolean{0}; });
}
void ADMAPI dialogDefaultNotify(ADMDialogRef dialog, ADMNotifierRef) {
  onDialog("ADMDialog.DefaultNotify", dialog, 0, [&](Dialog&) { return 0; });
}
ADMItemRef ADMAPI dialogGetItem(ADMDialogRef dialog, int32_t itemID) {
  return onDialog("ADMDialog.GetItem", dialog, ADMItemRef{}, [&](Dialog& d) -> ADMItemRef {
    DialogItem* item = d.item(itemID);
    return item != nullptr ? DialogState::itemRef(d, *item) : nullptr;
  });
}
void ADMAPI dialogShow(ADMDialogRef dialog, ASBoolean show) {
  onDialog("ADMDialog.Show", dialog, 0, [&](Dialog& d) { return d.visible = show != 0, 0; });
}
ASBoolean ADMAPI dialogIsVisible(ADMDialogRef dialog) {
  return onDialog("ADMDialog.IsVisible", dialog, ASBoolean{0},
                  [&](Dialog& d) { return ASBoolean(d.visible ? 1 : 0); });
}
void ADMAPI dialogGetBoundsRect(ADMDialogRef dialog, Rect* bounds) {
  onDialog("ADMDialog.GetBoundsRect", dialog, 0, [&](Dialog& d) {
    if (bounds != nullptr) *bounds = d.bounds;
    return 0;
  });
}
void ADMAPI dialogSetBoundsRect(ADMDialogRef dialog, const Rect* bounds) {
  onDialog("ADMDialog.SetBoundsRect", dialog, 0, [&](Dialog& d) {
    if (bounds == nullptr) return 0;
    // A dialog is never narrower or lower than nothing.
    d.bounds = *bounds;
    if (d.bounds.right < d.bounds.left) d.bounds.right = d.bounds.left;
    if (d.bounds.bottom < d.bounds.top) d.bounds.bottom = d.bounds.top;
    return 0;
  });
}

// ---- ADM Item ------------------------------------------------------------------------------

template <class R, class Body>
R onItem(const char* operation, ADMItemRef item, R failed, Body&& body) {
  return admCall(operation, failed, [&](Host&, DialogState& state) -> R {
    DialogItem* i = state.findItem(item);
    return i != nullptr ? body(*i) : failed;
  });
}

ADMDialogRef ADMAPI itemGetDialog(ADMItemRef item) {
  return admCall("ADMItem.GetDialog", ADMDialogRef{}, [&](Host&, DialogState& state) {
    Dialog* d = state.dialogOf(item);
    return d != nullptr ? DialogState::ref(*d) : nullptr;
  });
}
int32_t ADMAPI itemGetID(ADMItemRef item) {
  return onItem("ADMItem.GetID", item, int32_t{0}, [&](DialogItem& i) { return i.id; });
}
void ADMAPI itemSetNotifyProc(ADMItemRef item, ADMItemNotifyProc proc) {
  onItem("ADMItem.SetNotifyProc", item, 0, [&](DialogItem& i) { return i.notify = proc, 0; });
}
void ADMAPI itemSetUserData(ADMItemRef item, ADMUserData userData) {
  onItem("ADMItem.SetUserData", item, 0, [&](DialogItem& i) { return i.userData = userData, 0; });
}
ADMUserData ADMAPI itemGetUserData(ADMItemRef item) {
  return onItem("ADMItem.GetUserData", item, ADMUserData{},
                [&](DialogItem& i) { return i.userData; });
}
ADMListRef ADMAPI itemGetList(ADMItemRef item) {
  return admCall("ADMItem.GetList", ADMListRef{},
                 [&](Host&, DialogState& state) { return state.listRef(item); });
}
void ADMAPI itemSetPrecision(ADMItemRef item, int32_t places) {
  onItem("ADMItem.SetPrecision", item, 0, [&](DialogItem& i) {
    i.precision = std::clamp<int32_t>(places, 0, 12);
    return 0;
  });
}
void setBound(const char* operation, ADMItemRef item, double value, bool minimum, bool integer) {
  onItem(operation, item, 0, [&](DialogItem& i) {
    (minimum ? i.minimum : i.maximum) = value;
    i.integerBounds = integer;
    // The value already there is held to the new bounds; the text follows only when it changes.
    const double v = i.held(i.value);
    if (v != i.value) i.setValue(v);
    return 0;
  });
}
void ADMAPI itemSetMinFloatValue(ADMItemRef item, float value) {
  setBound("ADMItem.SetMinFloatValue", item, value, true, false);
}
void ADMAPI itemSetMaxFloatValue(ADMItemRef item, float value) {
  setBound("ADMItem.SetMaxFloatValue", item, value, false, false);
}
void ADMAPI itemSetMinIntValue(ADMItemRef item, int32_t value) {
  setBound("ADMItem.SetMinIntValue", item, value, true, true);
}
void ADMAPI itemSetMaxIntValue(ADMItemRef item, int32_t value) {
  setBound("ADMItem.SetMaxIntValue", item, value, false, true);
}
float ADMAPI itemGetFloatValue(ADMItemRef item) {
  return onItem("ADMItem.GetFloatValue", item, 0.0f,
                [&](DialogItem& i) { return static_cast<float>(i.value); });
}
int32_t ADMAPI itemGetIntValue(ADMItemRef item) {
  return onItem("ADMItem.GetIntValue", item, int32_t{0}, [&](DialogItem& i) {
    const double r = std::round(i.value);
    if (r <= INT32_MIN) return INT32_MIN;
    if (r >= INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(r);
  });
}
void ADMAPI itemSetFloatValue(ADMItemRef item, float value) {
  onItem("ADMItem.SetFloatValue", item, 0, [&](DialogItem& i) {
    if (std::isfinite(value)) i.setValue(value);
    return 0;
  });
}
void ADMAPI itemSetIntValue(ADMItemRef item, int32_t value) {
  onItem("ADMItem.SetIntValue", item, 0, [&](DialogItem& i) { return i.setValue(value), 0; });
}
void ADMAPI itemGetText(ADMItemRef item, char* buffer, int32_t bufferSize) {
  if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
  onItem("ADMItem.GetText", item, 0, [&](DialogItem& i) {
    copyToBuffer(i.text, buffer, bufferSize);
    return 0;
  });
}
void ADMAPI itemSetText(ADMItemRef item, const char* text) {
  onItem("ADMItem.SetText", item, 0, [&](DialogItem& i) {
    if (text != nullptr) i.setText(text);
    return 0;
  });
}
void ADMAPI itemGetBoundsRect(ADMItemRef item, Rect* bounds) {
  onItem("ADMItem.GetBoundsRect", item, 0, [&](DialogItem& i) {
    if (bounds != nullptr) *bounds = i.bounds;
    return 0;
  });
}

// ---- ADM List and Entry --------------------------------------------------------------------

ASErr ADMAPI listSetMenuID(ADMListRef list, int32_t menuID, const char*) {
  return admErrCall("ADMList.SetMenuID", [&](Host& host, DialogState& state) -> ASErr {
    return state.setMenu(host, list, menuID);
  });
}
int32_t ADMAPI listNumberOfEntries(ADMListRef list) {
  return admCall("ADMList.NumberOfEntries", int32_t{0}, [&](Host&, DialogState& state) {
    DialogItem* item = state.findList(list);
    return item != nullptr ? static_cast<int32_t>(item->entries.size()) : 0;
  });
}
ADMEntryRef ADMAPI listIndexEntry(ADMListRef list, int32_t index) {
  return admCall("ADMList.IndexEntry", ADMEntryRef{},
                 [&](Host&, DialogState& state) -> ADMEntryRef {
                   if (index < 0) return nullptr;
                   return state.entryRef(list, static_cast<std::size_t>(index));
                 });
}
ADMEntryRef ADMAPI listGetActiveEntry(ADMListRef list) {
  return admCall("ADMList.GetActiveEntry", ADMEntryRef{},
                 [&](Host&, DialogState& state) -> ADMEntryRef {
                   DialogItem* item = state.findList(list);
                   if (item == nullptr || item->selected < 0) return nullptr;
                   return state.entryRef(list, static_cast<std::size_t>(item->selected));
                 });
}

template <class R, class Body>
R onEntry(const char* operation, ADMEntryRef entry, R failed, Body&& body) {
  return admCall(operation, failed, [&](Host&, DialogState& state) -> R {
    std::size_t index = 0;
    DialogItem* item = state.findEntry(entry, &index);
    return item != nullptr ? body(*item, index) : failed;
  });
}

void ADMAPI entrySelect(ADMEntryRef entry, ASBoolean select) {
  onEntry("ADMEntry.Select", entry, 0, [&](DialogItem& item, std::size_t index) {
    if (select != 0) {
      item.selectEntry(index);
    } else if (item.selected == static_cast<int>(index)) {
      item.selected = -1;
    }
    return 0;
  });
}
ASBoolean ADMAPI entryIsSelected(ADMEntryRef entry) {
  return onEntry("ADMEntry.IsSelected", entry, ASBoolean{0},
                 [&](DialogItem& item, std::size_t index) {
                   return ASBoolean(item.selected == static_cast<int>(index) ? 1 : 0);
                 });
}
int32_t ADMAPI entryGetIndex(ADMEntryRef entry) {
  return onEntry("ADMEntry.GetIndex", entry, int32_t{-1},
                 [&](DialogItem&, std::size_t index) { return static_cast<int32_t>(index); });
}
int32_t ADMAPI entryGetID(ADMEntryRef entry) {
  return onEntry("ADMEntry.GetID", entry, int32_t{0},
                 [&](DialogItem&, std::size_t index) { return static_cast<int32_t>(index + 1); });
}
void ADMAPI entryGetText(ADMEntryRef entry, char* buffer, int32_t bufferSize) {
  if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
  onEntry("ADMEntry.GetText", entry, 0, [&](DialogItem& item, std::size_t index) {
    copyToBuffer(item.entries[index], buffer, bufferSize);
    return 0;
  });
}

// ---- ADM Notifier --------------------------------------------------------------------------

ASBoolean ADMAPI notifierIsNotifierType(ADMNotifierRef notifier, const char* type) {
  return admCall("ADMNotifier.IsNotifierType", ASBoolean{0}, [&](Host&, DialogState&) {
    _t_ADMNotifier* n = liveNotifier(notifier);
    return ASBoolean(n != nullptr && type != nullptr && n->type == type ? 1 : 0);
  });
}
void ADMAPI notifierGetNotifierType(ADMNotifierRef notifier, char* buffer, int32_t bufferSize) {
  if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
  admVoidCall("ADMNotifier.GetNotifierType", [&](Host&, DialogState&) {
    if (_t_ADMNotifier* n = liveNotifier(notifier)) copyToBuffer(n->type, buffer, bufferSize);
  });
}
ADMItemRef ADMAPI notifierGetItem(ADMNotifierRef notifier) {
  return admCall("ADMNotifier.GetItem", ADMItemRef{}, [&](Host&, DialogState&) -> ADMItemRef {
    _t_ADMNotifier* n = liveNotifier(notifier);
    return n != nullptr ? n->item : nullptr;
  });
}
ADMDialogRef ADMAPI notifierGetDialog(ADMNotifierRef notifier) {
  return admCall("ADMNotifier.GetDialog", ADMDialogRef{},
                 [&](Host&, DialogState&) -> ADMDialogRef {
                   _t_ADMNotifier* n = liveNotifier(notifier);
                   return n != nullptr ? n->dialog : nullptr;
                 });
}

// ---- ADM Dialog Group ----------------------------------------------------------------------

ASErr ADMAPI groupGetDialogGroupInfo(ADMDialogRef dialog, const char** groupName,
                                     int32_t* positionCode) {
  return admErrCall("ADMDialogGroup.GetDialogGroupInfo",
                    [&](Host&, DialogState& state) -> ASErr {
                      if (groupName != nullptr) *groupName = nullptr;
                      Dialog* d = state.find(dialog);
                      if (d == nullptr) return kNoSuchObjectErr;
                      if (groupName != nullptr) *groupName = d->groupName.c_str();
                      if (positionCode != nullptr) *positionCode = d->dockCode;
                      return kNoErr;
                    });
}
ASErr ADMAPI groupSetDialogGroupInfo(ADMDialogRef dialog, const char* groupName,
                                     int32_t positionCode) {
  return admErrCall("ADMDialogGroup.SetDialogGroupInfo",
                    [&](Host&, DialogState& state) -> ASErr {
                      Dialog* d = state.find(dialog);
                      if (d == nullptr) return kNoSuchObjectErr;
                      d->groupName = groupName != nullptr ? groupName : "";
                      d->dockCode = positionCode;
                      return kNoErr;
                    });
}

}  // namespace

const ADMDialogSuite kADMDialogTable = {
    dialogCreate,        dialogModal,         dialogPopupModal,     dialogDestroy,
    dialogSetUserData,   dialogGetUserData,   dialogGetPluginRef,   dialogSetDrawProc,
    dialogSetTrackProc,  dialogSetNotifyProc, dialogSetDestroyProc, dialogDefaultDraw,
    dialogDefaultTrack,  dialogDefaultNotify, dialogGetItem,        dialogShow,
    dialogIsVisible,     dialogGetBoundsRect, dialogSetBoundsRect};
const ADMItemSuite kADMItemTable = {
    itemGetDialog,        itemGetID,            itemSetNotifyProc,    itemSetUserData,
    itemGetUserData,      itemGetList,          itemSetPrecision,     itemSetMinFloatValue,
    itemSetMaxFloatValue, itemSetMinIntValue,   itemSetMaxIntValue,   itemGetFloatValue,
    itemGetIntValue,      itemSetFloatValue,    itemSetIntValue,      itemGetText,
    itemSetText,          itemGetBoundsRect};
const ADMListSuite kADMListTable = {listSetMenuID, listNumberOfEntries, listIndexEntry,
                                    listGetActiveEntry};
const ADMEntrySuite kADMEntryTable = {entrySelect, entryIsSelected, entryGetIndex, entryGetID,
                                      entryGetText};
const ADMNotifierSuite kADMNotifierTable = {notifierIsNotifierType, notifierGetNotifierType,
                                            notifierGetItem, notifierGetDialog};
const ADMDialogGroupSuite kADMDialogGroupTable = {groupGetDialogGroupInfo, groupSetDialogGroupInfo};

}  // namespace simhost
