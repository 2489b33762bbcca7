#include "adm/DialogManager.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <sstream>

#include "ResourceFile.h"

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

// Notifiers handed out and not yet returned: a stale one is not believed.
std::set<const void*>& liveCallbackObjects() {
  static std::set<const void*> live;
  return live;
}

std::string formatted(const DialogItem& item, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(item.precision), value);
  return text;
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

// True when a value fits the platform's view coordinates (16 bits in the macOS layout).
bool fitsCoordinate(std::int64_t v) {
  using Coordinate = decltype(Rect::left);
  return v >= std::numeric_limits<Coordinate>::min() && v <= std::numeric_limits<Coordinate>::max();
}

// Builds a dialog from its resource; false when the resource is missing or malformed, or when a
// size or an item's sides do not fit the platform's coordinates.
bool buildFromResource(Host& host, SPPluginRef plugin, int32_t resourceID, Dialog* dialog) {
  const auto list = stringListResource(host, plugin, kDialogResourceType, resourceID);
  if (!list || list->size() < 2) return false;
  dialog->title = (*list)[0];
  int32_t width = 0, height = 0;
  const auto size = split((*list)[1], ' ');
  if (size.size() != 2 || !integerField(size[0], &width) || !integerField(size[1], &height) ||
      width <= 0 || height <= 0 || !fitsCoordinate(width) || !fitsCoordinate(height))
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
        !integerField(fields[5], &h) || !fitsCoordinate(x) || !fitsCoordinate(y) ||
        !fitsCoordinate(std::int64_t{x} + w) || !fitsCoordinate(std::int64_t{y} + h))
      return false;
    item.kind = fields[1];
    item.bounds.left = x;
    item.bounds.top = y;
    item.bounds.right = static_cast<decltype(item.bounds.right)>(std::int64_t{x} + w);
    item.bounds.bottom = static_cast<decltype(item.bounds.bottom)>(std::int64_t{y} + h);
    item.text = fields[6];
    double v = 0.0;
    if (item.isSpinEdit() && readNumber(item.text, &v)) item.value = v;
    dialog->items.push_back(std::move(item));
  }
  return true;
}

// A user action on an item of a visible dialog: finds both or says why not.
std::string findForUser(Host& host, const std::string& dialogName, int32_t itemID, Dialog** dialog,
                        DialogItem** item) {
  *dialog = host.dialogs().find(dialogName);
  if (*dialog == nullptr) return "no panel \"" + dialogName + "\"";
  if (!(*dialog)->visible) return "the panel \"" + dialogName + "\" is hidden";
  *item = (*dialog)->item(itemID);
  if (*item == nullptr)
    return "the panel \"" + dialogName + "\" has no item " + std::to_string(itemID);
  return std::string();
}

}  // namespace

// ---- Items ---------------------------------------------------------------------------------

bool readNumber(const std::string& text, double* value) {
  // strtod would read hexadecimal, which a number field does not take.
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

// Bounds set the wrong way round (a minimum above the maximum) hold the value at the maximum.
double DialogItem::held(double v) const { return std::min(std::max(v, minimum), maximum); }

void DialogItem::selectEntry(std::size_t index) {
  selected = static_cast<int>(index);
  text = entries[index];
  double v = 0.0;
  if (readNumber(text, &v)) value = held(v);
}

void DialogItem::setValue(double v) {
  value = held(v);
  text = formatted(*this, value);
  selected = -1;
}

void DialogItem::setText(const std::string& newText) {
  text = newText;
  double v = 0.0;
  if (isSpinEdit() && readNumber(text, &v)) value = held(v);
}

DialogItem* Dialog::item(int32_t itemID) {
  for (DialogItem& i : items)
    if (i.id == itemID) return &i;
  return nullptr;
}

// ---- The dialogs and their references --------------------------------------------------------

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

ADMItemRef DialogState::itemRef(const Dialog& dialog, const DialogItem& item) {
  return encode<ADMItemRef>(Kind::Item, dialog.id,
                            static_cast<std::size_t>(&item - dialog.items.data()));
}

ADMListRef DialogState::listRef(ADMItemRef item) {
  DialogItem* i = findItem(item);
  if (i == nullptr || !i->isSpinEdit()) return nullptr;
  const Decoded d = decode(item);
  return encode<ADMListRef>(Kind::List, d.dialog, d.item);
}

ADMEntryRef DialogState::entryRef(ADMListRef list, std::size_t index) {
  DialogItem* item = findList(list);
  if (item == nullptr || index >= item->entries.size()) return nullptr;
  const Decoded d = decode(list);
  return encode<ADMEntryRef>(Kind::Entry, d.dialog, d.item, index);
}

DialogItem* DialogState::findItem(ADMItemRef item) {
  const Decoded d = decode(item);
  if (d.kind != Kind::Item) return nullptr;
  auto it = dialogs.find(d.dialog);
  if (it == dialogs.end() || d.item >= it->second.items.size()) return nullptr;
  return &it->second.items[d.item];
}

DialogItem* DialogState::findList(ADMListRef list) {
  const Decoded d = decode(list);
  if (d.kind != Kind::List) return nullptr;
  DialogItem* item = findItem(encode<ADMItemRef>(Kind::Item, d.dialog, d.item));
  return item != nullptr && item->isSpinEdit() ? item : nullptr;
}

DialogItem* DialogState::findEntry(ADMEntryRef entry, std::size_t* index) {
  const Decoded d = decode(entry);
  DialogItem* item = findItem(encode<ADMItemRef>(Kind::Item, d.dialog, d.item));
  if (d.kind != Kind::Entry || item == nullptr || d.entry >= item->entries.size()) return nullptr;
  *index = d.entry;
  return item;
}

Dialog* DialogState::dialogOf(ADMItemRef item) {
  return findItem(item) != nullptr ? &dialogs.at(decode(item).dialog) : nullptr;
}

Dialog* DialogState::dialogOf(ADMListRef list) {
  return findList(list) != nullptr ? &dialogs.at(decode(list).dialog) : nullptr;
}

std::optional<std::vector<std::string>> stringListResource(Host& host, SPPluginRef plugin,
                                                           std::uint32_t type, int32_t id) {
  if (!host.resource) return std::nullopt;
  const std::vector<std::uint8_t>* bytes = host.resource(plugin, type, id);
  if (bytes == nullptr) return std::nullopt;
  return sarvello::res::decodeStringList(*bytes);
}

ASErr DialogState::setMenu(Host& host, ADMListRef list, int32_t menuID) {
  DialogItem* item = findList(list);
  if (item == nullptr) return kNoSuchObjectErr;
  const auto menu = stringListResource(host, dialogOf(list)->plugin, kMenuResourceType, menuID);
  if (!menu) return kNoSuchObjectErr;
  if (menu->size() < 2 || menu->size() - 1 > kIndexLimit) return kBadParameterErr;
  item->entries.assign(menu->begin() + 1, menu->end());
  item->menuID = menuID;
  item->selected = -1;
  return kNoErr;
}

// ---- Life of a dialog ------------------------------------------------------------------------

void DialogState::destroy(std::uint64_t id) {
  auto it = dialogs.find(id);
  if (it == dialogs.end() || it->second.destroying) return;
  it->second.destroying = true;
  if (ADMDialogDestroyProc proc = it->second.destroyProc) proc(DialogState::ref(it->second));
  dialogs.erase(id);
}

Dialog* DialogState::create(Host& host, SPPluginRef plugin, const char* name, int32_t dialogID,
                            ADMDialogStyle style, ADMDialogInitProc initProc,
                            ADMUserData userData, int32_t options, bool modal) {
  Dialog dialog;
  if (!buildFromResource(host, plugin, dialogID, &dialog)) return nullptr;
  dialog.id = nextId++;
  dialog.plugin = plugin;
  dialog.name = name != nullptr ? name : "";
  dialog.resourceID = dialogID;
  dialog.style = style;
  dialog.options = options;
  dialog.modal = modal;
  dialog.userData = userData;
  const std::uint64_t id = dialog.id;
  dialogs.emplace(id, std::move(dialog));
  if (initProc != nullptr) {
    const ASErr err = initProc(encode<ADMDialogRef>(Kind::Dialog, id));
    auto it = dialogs.find(id);
    if (it == dialogs.end()) return nullptr;  // the init handler destroyed it
    if (err != kNoErr) {
      dialogs.erase(it);
      return nullptr;
    }
  }
  return &dialogs.at(id);
}

void DialogState::notify(Dialog& dialog, DialogItem& item, const char* type) {
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
}

_t_ADMNotifier* liveNotifier(ADMNotifierRef notifier) {
  return liveCallbackObjects().count(notifier) != 0 ? notifier : nullptr;
}

// ---- The user's actions ----------------------------------------------------------------------

std::string choosePreset(Host& host, const std::string& dialogName, int32_t itemID, int entry) {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
  std::string why = findForUser(host, dialogName, itemID, &dialog, &item);
  if (!why.empty()) return why;
  if (item->entries.empty()) return "item " + std::to_string(itemID) + " has no presets";
  if (entry < 1 || static_cast<std::size_t>(entry) > item->entries.size())
    return "item " + std::to_string(itemID) + " has presets 1 to " +
           std::to_string(item->entries.size()) + ", not " + std::to_string(entry);
  item->selectEntry(static_cast<std::size_t>(entry - 1));
  host.dialogs().notify(*dialog, *item, kADMUserChangedNotifier);
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
  if (!readNumber(text, &v)) return "\"" + text + "\" is not a number";
  const double kept = item->held(v);
  if (kept == v) {
    // The field shows what was typed; no preset is selected any more.
    item->value = v;
    item->text = text;
    item->selected = -1;
  } else {
    item->setValue(kept);
  }
  host.dialogs().notify(*dialog, *item, kADMUserChangedNotifier);
  return std::string();
}

std::string pressButton(Host& host, const std::string& dialogName, int32_t itemID) {
  Dialog* dialog = nullptr;
  DialogItem* item = nullptr;
  std::string why = findForUser(host, dialogName, itemID, &dialog, &item);
  if (!why.empty()) return why;
  if (!item->isButton()) return "item " + std::to_string(itemID) + " is not a button";
  host.dialogs().notify(*dialog, *item, kADMUserChangedNotifier);
  return std::string();
}

std::string closeDialog(Host& host, const std::string& dialogName) {
  Dialog* dialog = host.dialogs().find(dialogName);
  if (dialog == nullptr) return "no panel \"" + dialogName + "\"";
  dialog->visible = false;
  return std::string();
}

void drawDialog(Host& host, ADMDialogRef dialog) {
  Dialog* d = host.dialogs().find(dialog);
  if (d == nullptr) return;
  _t_ADMDrawer drawer;
  if (d->drawProc != nullptr) {
    d->drawProc(dialog, &drawer);
  } else {
    ++d->defaultDraws;
  }
}

bool trackDialog(Host& host, ADMDialogRef dialog) {
  Dialog* d = host.dialogs().find(dialog);
  if (d == nullptr || d->trackProc == nullptr) return false;
  _t_ADMTracker tracker;
  return d->trackProc(dialog, &tracker) != 0;
}

void destroyAllDialogs(Host& host) {
  DialogState& state = host.dialogs();
  std::vector<std::uint64_t> ids;
  for (const auto& entry : state.dialogs) ids.push_back(entry.first);
  for (std::uint64_t id : ids) state.destroy(id);
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
  const DialogState& state = host.dialogs();
  if (state.dialogs.empty()) return "no panels\n";
  std::ostringstream out;
  for (const auto& [id, d] : state.dialogs) {
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
