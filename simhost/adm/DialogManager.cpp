#include "adm/DialogManager.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "HostImpl.h"
#include "ResourceFile.h"

// Notifiers, drawers and trackers live on the host's stack for the length of one callback.
struct _t_ADMNotifier {
  std::string type;
  ADMDialogRef dialog = nullptr;
  ADMItemRef item = nullptr;
};
struct _t_ADMDrawer {
  int unused = 0;
};
struct _t_ADMTracker {
  int unused = 0;
};

namespace simhost {
namespace {

static_assert(sizeof(std::uintptr_t) >= 8, "dialog manager handles need 64-bit pointers");

// Handles carry a kind in the low 4 bits, then the entry index (12 bits), the item index
// (12 bits) and the dialog's never-reused id; a handle of a destroyed dialog is not found.
enum class Kind : std::uintptr_t { Dialog = 0x1, Item = 0x3, List = 0x5, Entry = 0x7 };
constexpr std::uintptr_t kIndexLimit = 0xFFF;

struct Decoded {
  Kind kind;
  std::uint64_t dialog;
  std::size_t item;
  std::size_t entry;
};

template <class H>
H encode(Kind kind, std::uint64_t dialog, std::size_t item = 0, std::size_t entry = 0) {
  return reinterpret_cast<H>((static_cast<std::uintptr_t>(dialog) << 28) |
                             (static_cast<std::uintptr_t>(item) << 16) |
                             (static_cast<std::uintptr_t>(entry) << 4) |
                             static_cast<std::uintptr_t>(kind));
}

template <class H>
Decoded decode(H handle) {
  const auto v = reinterpret_cast<std::uintptr_t>(handle);
  return Decoded{static_cast<Kind>(v & 0xF), static_cast<std::uint64_t>(v >> 28),
                 static_cast<std::size_t>((v >> 16) & kIndexLimit),
                 static_cast<std::size_t>((v >> 4) & kIndexLimit)};
}

DialogState* stateOf(Host& host) { return static_cast<DialogState*>(host.dialogSide.get()); }

// Notifiers handed out and not yet returned: a stale one is not believed.
std::set<const void*>& liveCallbackObjects() {
  static std::set<const void*> live;
  return live;
}

// Runs a suite function's body: the current host's dialog state, an injected fault first (which
// makes the operation fail: `failed` is answered), and no C++ exception crossing into the plug-in.
template <class R, class Body>
R admCall(const char* operation, R failed, Body&& body) {
  Host* host = Host::current();
  if (host == nullptr) return failed;
  DialogState* state = stateOf(*host);
  if (state == nullptr) return failed;
  try {
    if (host->faults().check(operation) != kNoErr) return failed;
    return body(*host, *state);
  } catch (...) {
    return failed;
  }
}

// Operations that answer a code run as every suite function of the host does (hostCall): the
// injected code is answered.
template <class Body>
ASErr admErrCall(const char* operation, Body&& body) {
  Host* host = Host::current();
  if (host == nullptr || stateOf(*host) == nullptr) return kCantHappenErr;
  return hostCall(operation, [&](Host& current, HostState&) -> ASErr {
    return body(current, *stateOf(current));
  });
}

template <class Body>
void admVoidCall(const char* operation, Body&& body) {
  admCall(operation, 0, [&](Host& host, DialogState& state) {
    body(host, state);
    return 0;
  });
}

DialogItem* findItem(DialogState& state, ADMItemRef item, Kind kind = Kind::Item) {
  const Decoded d = decode(item);
  if (d.kind != kind) return nullptr;
  auto it = state.dialogs.find(d.dialog);
  if (it == state.dialogs.end() || d.item >= it->second.items.size()) return nullptr;
  return &it->second.items[d.item];
}

DialogItem* findList(DialogState& state, ADMListRef list) {
  DialogItem* item = findItem(state, reinterpret_cast<ADMItemRef>(list), Kind::List);
  return item != nullptr && item->isSpinEdit() ? item : nullptr;
}

DialogItem* findEntry(DialogState& state, ADMEntryRef entry, std::size_t* index) {
  const Decoded d = decode(entry);
  DialogItem* item = findItem(state, encode<ADMItemRef>(Kind::Item, d.dialog, d.item));
  if (d.kind != Kind::Entry || item == nullptr || d.entry >= item->entries.size()) return nullptr;
  *index = d.entry;
  return item;
}

ADMItemRef itemRef(const Dialog& dialog, const DialogItem& item) {
  return encode<ADMItemRef>(Kind::Item, dialog.id,
                            static_cast<std::size_t>(&item - dialog.items.data()));
}

// A control holds its value inside its bounds, as a real one does.
double held(const DialogItem& item, double value) {
  return std::clamp(value, item.minimum, item.maximum);
}

std::string formatted(const DialogItem& item, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(item.precision), value);
  return text;
}

// Reads a whole text as a finite decimal number (a number field takes no hexadecimal, which
// strtod would read).
bool number(const std::string& text, double* value) {
  if (text.find_first_of("xX") != std::string::npos) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(begin, &end);
  if (end == begin || errno == ERANGE || !std::isfinite(v)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  *value = v;
  return true;
}

void selectEntry(DialogItem& item, std::size_t index) {
  item.selected = static_cast<int>(index);
  item.text = item.entries[index];
  double v = 0.0;
  if (number(item.text, &v)) item.value = held(item, v);
}

void setValue(DialogItem& item, double value) {
  item.value = held(item, value);
  item.text = formatted(item, item.value);
  item.selected = -1;
}

// A plug-in resource as a string list, or none.
std::optional<std::vector<std::string>> stringListResource(Host& host, SPPluginRef plugin,
                                                           std::uint32_t type, int32_t id) {
  if (!host.resource) return std::nullopt;
  const std::vector<std::uint8_t>* bytes = host.resource(plugin, type, id);
  if (bytes == nullptr) return std::nullopt;
  return sarvello::res::decodeStringList(*bytes);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

bool integerField(const std::string& text, int32_t* value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
    return false;
  *value = static_cast<int32_t>(v);
  return true;
}

// Builds a dialog from its resource; false when the resource is missing or malformed.
bool buildFromResource(Host& host, SPPluginRef plugin, int32_t resourceID, Dialog* dialog) {
  const auto list = stringListResource(host, plugin, kDialogResourceType, resourceID);
  if (!list || list->size() < 2) return false;
  dialog->title = (*list)[0];
  int32_t width = 0, height = 0;
  const auto size = split((*list)[1], ' ');
  if (size.size() != 2 || !integerField(size[0], &width) || !integerField(size[1], &height) ||
      width <= 0 || height <= 0)
    return false;
  dialog->bounds = Rect{};
  dialog->bounds.right = width;
  dialog->bounds.bottom = height;
  if (list->size() - 2 > kIndexLimit) return false;
  for (std::size_t i = 2; i < list->size(); ++i) {
    const auto fields = split((*list)[i], '\t');
    if (fields.size() != 7) return false;
    DialogItem item;
    int32_t x = 0, y = 0, w = 0, h = 0;
    if (!integerField(fields[0], &item.id) || !integerField(fields[2], &x) ||
        !integerField(fields[3], &y) || !integerField(fields[4], &w) ||
        !integerField(fields[5], &h))
      return false;
    item.kind = fields[1];
    item.bounds.left = x;
    item.bounds.top = y;
    item.bounds.right = x + w;
    item.bounds.bottom = y + h;
    item.text = fields[6];
    double v = 0.0;
    if (item.isSpinEdit() && number(item.text, &v)) item.value = v;
    dialog->items.push_back(std::move(item));
  }
  return true;
}

// Removes a dialog: its destroy handler first (the dialog still answers while it runs).
void destroy(Host& host, DialogState& state, std::uint64_t id) {
  auto it = state.dialogs.find(id);
  if (it == state.dialogs.end() || it->second.destroying) return;
  it->second.destroying = true;
  if (ADMDialogDestroyProc proc = it->second.destroyProc) proc(DialogState::ref(it->second));
  state.dialogs.erase(id);
  if (host.dialogCount() > 0) --host.dialogCount();
}

// Creates a dialog and runs its init handler; none when either fails (the dialog is then
// removed without calling anything back).
Dialog* create(Host& host, DialogState& state, SPPluginRef plugin, const char* name,
               int32_t dialogID, ADMDialogStyle style, ADMDialogInitProc initProc,
               ADMUserData userData, int32_t options, bool modal) {
  Dialog dialog;
  if (!buildFromResource(host, plugin, dialogID, &dialog)) return nullptr;
  dialog.id = state.nextId++;
  dialog.plugin = plugin;
  dialog.name = name != nullptr ? name : "";
  dialog.resourceID = dialogID;
  dialog.style = style;
  dialog.options = options;
  dialog.modal = modal;
  dialog.userData = userData;
  const std::uint64_t id = dialog.id;
  state.dialogs.emplace(id, std::move(dialog));
  ++host.dialogCount();
  if (initProc != nullptr) {
    const ASErr err = initProc(encode<ADMDialogRef>(Kind::Dialog, id));
    auto it = state.dialogs.find(id);
    if (it == state.dialogs.end()) return nullptr;  // the init handler destroyed it
    if (err != kNoErr) {
      state.dialogs.erase(it);
      --host.dialogCount();
      return nullptr;
    }
  }
  return &state.dialogs.at(id);
}

// Sends a notification to an item's handler (or, without one, to its dialog's handler).
void notifyItem(DialogState& state, Dialog& dialog, DialogItem& item, const char* type) {
  _t_ADMNotifier notifier;
  notifier.type = type;
  notifier.dialog = DialogState::ref(dialog);
  notifier.item = itemRef(dialog, item);
  ADMItemNotifyProc itemProc = item.notify;
  ADMDialogNotifyProc dialogProc = dialog.notifyProc;
  liveCallbackObjects().insert(&notifier);
  if (itemProc != nullptr) {
    itemProc(notifier.item, &notifier);
  } else if (dialogProc != nullptr) {
    dialogProc(notifier.dialog, &notifier);
  }
  liveCallbackObjects().erase(&notifier);
  (void)state;
}

_t_ADMNotifier* liveNotifier(ADMNotifierRef notifier) {
  return liveCallbackObjects().count(notifier) != 0 ? notifier : nullptr;
}

// ---- ADM Dialog ----------------------------------------------------------------------------

ADMDialogRef ADMAPI dialogCreate(SPPluginRef plugin, const char* name, int32_t dialogID,
                                 ADMDialogStyle style, ADMDialogInitProc initProc,
                                 ADMUserData userData, int32_t options) {
  return admCall("ADMDialog.Create", ADMDialogRef{}, [&](Host& host, DialogState& state) {
    Dialog* d = create(host, state, plugin, name, dialogID, style, initProc, userData, options,
                       false);
    return d != nullptr ? DialogState::ref(*d) : nullptr;
  });
}

int32_t runModal(const char* operation, SPPluginRef plugin, const char* name, int32_t dialogID,
                 ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                 int32_t options) {
  return admCall(operation, int32_t{-1}, [&](Host& host, DialogState& state) -> int32_t {
    Dialog* d =
        create(host, state, plugin, name, dialogID, style, initProc, userData, options, true);
    if (d == nullptr) return -1;
    const std::uint64_t id = d->id;
    const int32_t answer = state.runModal ? state.runModal(DialogState::ref(*d)) : 1;
    destroy(host, state, id);
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
  admVoidCall("ADMDialog.Destroy", [&](Host& host, DialogState& state) {
    if (Dialog* d = state.find(dialog)) destroy(host, state, d->id);
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
    return item != nullptr ? itemRef(d, *item) : nullptr;
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
    DialogItem* i = findItem(state, item);
    return i != nullptr ? body(*i) : failed;
  });
}

ADMDialogRef ADMAPI itemGetDialog(ADMItemRef item) {
  return admCall("ADMItem.GetDialog", ADMDialogRef{}, [&](Host&, DialogState& state) {
    return findItem(state, item) != nullptr
               ? encode<ADMDialogRef>(Kind::Dialog, decode(item).dialog)
               : nullptr;
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
  return onItem("ADMItem.GetList", item, ADMListRef{}, [&](DialogItem& i) -> ADMListRef {
    if (!i.isSpinEdit()) return nullptr;
    const Decoded d = decode(item);
    return encode<ADMListRef>(Kind::List, d.dialog, d.item);
  });
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
    const double v = held(i, i.value);
    if (v != i.value) setValue(i, v);
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
    if (std::isfinite(value)) setValue(i, value);
    return 0;
  });
}
void ADMAPI itemSetIntValue(ADMItemRef item, int32_t value) {
  onItem("ADMItem.SetIntValue", item, 0, [&](DialogItem& i) { return setValue(i, value), 0; });
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
    if (text == nullptr) return 0;
    i.text = text;
    double v = 0.0;
    if (i.isSpinEdit() && number(i.text, &v)) i.value = held(i, v);
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
    DialogItem* item = findList(state, list);
    if (item == nullptr) return kNoSuchObjectErr;
    const Dialog& dialog = state.dialogs.at(decode(list).dialog);
    const auto menu = stringListResource(host, dialog.plugin, kMenuResourceType, menuID);
    if (!menu) return kNoSuchObjectErr;
    if (menu->size() < 2 || menu->size() - 1 > kIndexLimit) return kBadParameterErr;
    item->entries.assign(menu->begin() + 1, menu->end());
    item->menuID = menuID;
    item->selected = -1;
    return kNoErr;
  });
}
int32_t ADMAPI listNumberOfEntries(ADMListRef list) {
  return admCall("ADMList.NumberOfEntries", int32_t{0}, [&](Host&, DialogState& state) {
    DialogItem* item = findList(state, list);
    return item != nullptr ? static_cast<int32_t>(item->entries.size()) : 0;
  });
}
ADMEntryRef ADMAPI listIndexEntry(ADMListRef list, int32_t index) {
  return admCall("ADMList.IndexEntry", ADMEntryRef{},
                 [&](Host&, DialogState& state) -> ADMEntryRef {
                   DialogItem* item = findList(state, list);
                   if (item == nullptr || index < 0 ||
                       static_cast<std::size_t>(index) >= item->entries.size())
                     return nullptr;
                   const Decoded d = decode(list);
                   return encode<ADMEntryRef>(Kind::Entry, d.dialog, d.item,
                                              static_cast<std::size_t>(index));
                 });
}
ADMEntryRef ADMAPI listGetActiveEntry(ADMListRef list) {
  return admCall("ADMList.GetActiveEntry", ADMEntryRef{},
                 [&](Host&, DialogState& state) -> ADMEntryRef {
                   DialogItem* item = findList(state, list);
                   if (item == nullptr || item->selected < 0) return nullptr;
                   const Decoded d = decode(list);
                   return encode<ADMEntryRef>(Kind::Entry, d.dialog, d.item,
                                              static_cast<std::size_t>(item->selected));
                 });
}

template <class R, class Body>
R onEntry(const char* operation, ADMEntryRef entry, R failed, Body&& body) {
  return admCall(operation, failed, [&](Host&, DialogState& state) -> R {
    std::size_t index = 0;
    DialogItem* item = findEntry(state, entry, &index);
    return item != nullptr ? body(*item, index) : failed;
  });
}

void ADMAPI entrySelect(ADMEntryRef entry, ASBoolean select) {
  onEntry("ADMEntry.Select", entry, 0, [&](DialogItem& item, std::size_t index) {
    if (select != 0) {
      selectEntry(item, index);
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

const ADMDialogSuite kDialogSuite = {
    dialogCreate,        dialogModal,         dialogPopupModal,     dialogDestroy,
    dialogSetUserData,   dialogGetUserData,   dialogGetPluginRef,   dialogSetDrawProc,
    dialogSetTrackProc,  dialogSetNotifyProc, dialogSetDestroyProc, dialogDefaultDraw,
    dialogDefaultTrack,  dialogDefaultNotify, dialogGetItem,        dialogShow,
    dialogIsVisible,     dialogGetBoundsRect, dialogSetBoundsRect};
const ADMItemSuite kItemSuite = {
    itemGetDialog,        itemGetID,            itemSetNotifyProc,    itemSetUserData,
    itemGetUserData,      itemGetList,          itemSetPrecision,     itemSetMinFloatValue,
    itemSetMaxFloatValue, itemSetMinIntValue,   itemSetMaxIntValue,   itemGetFloatValue,
    itemGetIntValue,      itemSetFloatValue,    itemSetIntValue,      itemGetText,
    itemSetText,          itemGetBoundsRect};
const ADMListSuite kListSuite = {listSetMenuID, listNumberOfEntries, listIndexEntry,
                                 listGetActiveEntry};
const ADMEntrySuite kEntrySuite = {entrySelect, entryIsSelected, entryGetIndex, entryGetID,
                                   entryGetText};
const ADMNotifierSuite kNotifierSuite = {notifierIsNotifierType, notifierGetNotifierType,
                                         notifierGetItem, notifierGetDialog};
const ADMDialogGroupSuite kGroupSuite = {groupGetDialogGroupInfo, groupSetDialogGroupInfo};

// A user action on an item of a visible dialog: finds both or says why not.
std::string findForUser(Host& host, const std::string& dialogName, int32_t itemID, Dialog** dialog,
                        DialogItem** item) {
  DialogState& state = dialogState(host);
  *dialog = state.find(dialogName);
  if (*dialog == nullptr) return "no panel \"" + dialogName + "\"";
  if (!(*dialog)->visible) return "the panel \"" + dialogName + "\" is hidden";
  *item = (*dialog)->item(itemID);
  if (*item == nullptr)
    return "the panel \"" + dialogName + "\" has no item " + std::to_string(itemID);
  return std::string();
}

}  // namespace

DialogItem* Dialog::item(int32_t itemID) {
  for (DialogItem& i : items)
    if (i.id == itemID) return &i;
  return nullptr;
}

Dialog* DialogState::find(ADMDialogRef dialog) {
  const Decoded d = decode(dialog);
  if (d.kind != Kind::Dialog || d.item != 0 || d.entry != 0) return nullptr;
  auto it = dialogs.find(d.dialog);
  return it == dialogs.end() ? nullptr : &it->second;
}

Dialog* DialogState::find(const std::string& name) {
  for (auto& [id, dialog] : dialogs)
    if (dialog.name == name && !dialog.destroying) return &dialog;
  return nullptr;
}

ADMDialogRef DialogState::ref(const Dialog& dialog) {
  return encode<ADMDialogRef>(Kind::Dialog, dialog.id);
}

void installDialogSuites(Host& host) {
  if (!host.dialogSide) host.dialogSide = std::make_shared<DialogState>();
  host.addSuite(kADMDialogSuite, kADMDialogSuiteVersion, &kDialogSuite);
  host.addSuite(kADMItemSuite, kADMItemSuiteVersion, &kItemSuite);
  host.addSuite(kADMListSuite, kADMListSuiteVersion, &kListSuite);
  host.addSuite(kADMEntrySuite, kADMEntrySuiteVersion, &kEntrySuite);
  host.addSuite(kADMNotifierSuite, kADMNotifierSuiteVersion, &kNotifierSuite);
  host.addSuite(kADMDialogGroupSuite, kADMDialogGroupSuiteVersion, &kGroupSuite);
}

DialogState& dialogState(Host& host) {
  DialogState* state = stateOf(host);
  if (state == nullptr) throw std::logic_error("the host's dialog suites are not installed");
  return *state;
}

std::string choosePreset(Host& host, const std::string& dialogName, int32_t itemID, int entry) {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
  std::string why = findForUser(host, dialogName, itemID, &dialog, &item);
  if (!why.empty()) return why;
  if (item->entries.empty()) return "item " + std::to_string(itemID) + " has no presets";
  if (entry < 1 || static_cast<std::size_t>(entry) > item->entries.size())
    return "item " + std::to_string(itemID) + " has presets 1 to " +
           std::to_string(item->entries.size()) + ", not " + std::to_string(entry);
  selectEntry(*item, static_cast<std::size_t>(entry - 1));
  notifyItem(dialogState(host), *dialog, *item, kADMUserChangedNotifier);
  return std::string();
}

std::string typeValue(Host& host, const std::string& dialogName, int32_t itemID,
                      const std::string& text) {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
  std::string why = findForUser(host, dialogName, itemID, &dialog, &item);
  if (!why.empty()) return why;
  if (!item->isSpinEdit()) return "item " + std::to_string(itemID) + " takes no typing";
  double v = 0.0;
  if (!number(text, &v)) return "\"" + text + "\" is not a number";
  const double kept = held(*item, v);
  if (kept == v) {
    // The field shows what was typed; no preset is selected any more.
    item->value = v;
    item->text = text;
    item->selected = -1;
  } else {
    setValue(*item, kept);
  }
  notifyItem(dialogState(host), *dialog, *item, kADMUserChangedNotifier);
  return std::string();
}

std::string pressButton(Host& host, const std::string& dialogName, int32_t itemID) {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
  std::string why = findForUser(host, dialogName, itemID, &dialog, &item);
  if (!why.empty()) return why;
  if (!item->isButton()) return "item " + std::to_string(itemID) + " is not a button";
  notifyItem(dialogState(host), *dialog, *item, kADMUserChangedNotifier);
  return std::string();
}

std::string closeDialog(Host& host, const std::string& dialogName) {
  Dialog* dialog = dialogState(host).find(dialogName);
  if (dialog == nullptr) return "no panel \"" + dialogName + "\"";
  dialog->visible = false;
  return std::string();
}

void drawDialog(Host& host, ADMDialogRef dialog) {
  Dialog* d = dialogState(host).find(dialog);
  if (d == nullptr) return;
  _t_ADMDrawer drawer;
  if (d->drawProc != nullptr) {
    d->drawProc(dialog, &drawer);
  } else {
    ++d->defaultDraws;
  }
}

bool trackDialog(Host& host, ADMDialogRef dialog) {
  Dialog* d = dialogState(host).find(dialog);
  if (d == nullptr || d->trackProc == nullptr) return false;
  _t_ADMTracker tracker;
  return d->trackProc(dialog, &tracker) != 0;
}

void destroyAllDialogs(Host& host) {
  DialogState* state = stateOf(host);
  if (state == nullptr) return;
  std::vector<std::uint64_t> ids;
  for (const auto& entry : state->dialogs) ids.push_back(entry.first);
  for (std::uint64_t id : ids) destroy(host, *state, id);
}

void placeDialog(Host& host, Dialog& dialog, double left, double top) {
  const int32_t width = dialog.bounds.right - dialog.bounds.left;
  const int32_t height = dialog.bounds.bottom - dialog.bounds.top;
  const AIRect area = host.paletteArea();
  const auto onto = [](double wanted, int32_t low, int32_t high, int32_t size) {
    const double most = std::max<double>(low, static_cast<double>(high) - size);
    return static_cast<int32_t>(std::clamp(wanted, static_cast<double>(low), most));
  };
  dialog.bounds.left = onto(left, area.left, area.right, width);
  dialog.bounds.top = onto(top, area.top, area.bottom, height);
  dialog.bounds.right = dialog.bounds.left + width;
  dialog.bounds.bottom = dialog.bounds.top + height;
}

std::string describeDialogs(Host& host) {
  DialogState* state = stateOf(host);
  if (state == nullptr || state->dialogs.empty()) return "no panels\n";
  std::ostringstream out;
  for (const auto& [id, d] : state->dialogs) {
    out << "panel \"" << d.title << "\": " << (d.visible ? "shown" : "hidden") << " at "
        << d.bounds.left << "," << d.bounds.top << ", " << (d.bounds.right - d.bounds.left)
        << " x " << (d.bounds.bottom - d.bounds.top);
    if (!d.groupName.empty()) out << ", docked in \"" << d.groupName << "\" (" << d.dockCode << ")";
    out << "\n";
    const DialogItem* label = nullptr;
    for (const DialogItem& item : d.items) {
      if (item.kind == kADMTextStaticType) label = &item;
      if (!item.isSpinEdit()) continue;
      out << "  " << (label != nullptr ? label->text : "item " + std::to_string(item.id)) << ": "
          << item.text << "\n";
    }
  }
  return out.str();
}

}  // namespace simhost
