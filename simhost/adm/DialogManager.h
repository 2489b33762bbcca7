// The stand-in host's dialog manager: dialogs built from a plug-in's dialog resources, their
// items, preset lists and handlers (which the ADM Dialog, Item, List, Entry, Notifier and Dialog
// Group suites of suites/ADMDialogSuites.cpp work on), and the user's actions on them (choosing a
// preset, typing a value, pressing a button, closing a panel).
#ifndef SARVELLO_SIMHOST_ADM_DIALOGMANAGER_H
#define SARVELLO_SIMHOST_ADM_DIALOGMANAGER_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"

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

struct DialogItem {
  int32_t id = 0;
  std::string kind;  // kADMTextStaticType, kADMSpinEditPopupType, ...
  std::string text;  // what the item shows; for a spin-edit field its value as text
  Rect bounds{};     // in the dialog's coordinates
  ADMItemNotifyProc notify = nullptr;
  ADMUserData userData = nullptr;
  // Spin-edit popup: the preset list, the selected entry (-1: none), decimal places, the bounds
  // of what may be typed and the numeric value.
  std::vector<std::string> entries;
  int32_t menuID = 0;
  int selected = -1;
  int32_t precision = 0;
  double minimum = -3.4e38;
  double maximum = 3.4e38;
  bool integerBounds = false;
  double value = 0.0;

  bool isSpinEdit() const { return kind == kADMSpinEditPopupType; }
  bool isButton() const { return kind == kADMTextPushButtonType; }

  // A control holds its value inside its bounds, as a real one does.
  double held(double v) const;
  // Selects preset `index`: its text goes into the field, and its value when it reads as one.
  void selectEntry(std::size_t index);
  // Sets the value (held to the bounds) and shows it with the item's decimal places.
  void setValue(double v);
  // Sets the field's text, and its value when the text reads as a number.
  void setText(const std::string& text);
};

// Reads a whole text as a finite decimal number (a number field takes no hexadecimal).
bool readNumber(const std::string& text, double* value);

struct Dialog {
  std::uint64_t id = 0;
  SPPluginRef plugin = nullptr;
  std::string name;   // the name the plug-in gave
  std::string title;  // from the resource
  int32_t resourceID = 0;
  ADMDialogStyle style = 0;
  int32_t options = 0;
  bool modal = false;
  Rect bounds{};  // on the screen
  bool visible = true;
  ADMUserData userData = nullptr;
  ADMDialogDrawProc drawProc = nullptr;
  ADMDialogTrackProc trackProc = nullptr;
  ADMDialogNotifyProc notifyProc = nullptr;
  ADMDialogDestroyProc destroyProc = nullptr;
  std::string groupName;  // dock group
  int32_t dockCode = 0;
  std::vector<DialogItem> items;  // in resource order
  int defaultDraws = 0;           // the dialog manager's own drawing, done on request
  bool destroying = false;

  DialogItem* item(int32_t itemID);  // the first item with that id, or none
};

// The dialog manager's part of the host state (Host::dialogs()).
//
// References handed to the plug-in carry their kind and the dialog's never-reused id (with the
// item's and the entry's places), so a reference of a destroyed dialog, or one made up, is
// simply not found.
struct DialogState {
  std::uint64_t nextId = 1;
  std::map<std::uint64_t, Dialog> dialogs;  // the dialogs that exist, in order of creation
  // How a modal dialog ends: given the dialog, the id of the item that ends it. Unset: item 1.
  std::function<int32_t(ADMDialogRef dialog)> runModal;

  Dialog* find(ADMDialogRef dialog);
  Dialog* find(const std::string& name);  // the first dialog with that name, or none
  static ADMDialogRef ref(const Dialog& dialog);

  // Items, their preset lists and the lists' entries, by reference; none when not found (a list
  // is found only on a spin-edit popup item).
  static ADMItemRef itemRef(const Dialog& dialog, const DialogItem& item);
  ADMListRef listRef(ADMItemRef item);
  ADMEntryRef entryRef(ADMListRef list, std::size_t index);
  DialogItem* findItem(ADMItemRef item);
  DialogItem* findList(ADMListRef list);
  DialogItem* findEntry(ADMEntryRef entry, std::size_t* index);
  Dialog* dialogOf(ADMItemRef item);
  Dialog* dialogOf(ADMListRef list);

  // Replaces a list's presets by the entries of the plug-in's menu resource (the first string of
  // the resource is the menu's title): kNoSuchObjectErr for an unknown list or menu,
  // kBadParameterErr for a menu without entries or with more than a list can hold.
  ASErr setMenu(Host& host, ADMListRef list, int32_t menuID);

  // Creates a dialog from its resource and runs its init handler; none when the resource is
  // missing or malformed or the handler refuses (the dialog is then removed without calling
  // anything back).
  Dialog* create(Host& host, SPPluginRef plugin, const char* name, int32_t dialogID,
                 ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                 int32_t options, bool modal);
  // Removes a dialog: its destroy handler first (the dialog still answers while it runs).
  void destroy(std::uint64_t id);
  // Sends a notification to an item's handler (or, without one, to its dialog's handler). The
  // notifier lives for the length of the call.
  void notify(Dialog& dialog, DialogItem& item, const char* type);
};

// The notification being delivered now with this reference, or none: a notifier kept beyond its
// callback is not believed.
_t_ADMNotifier* liveNotifier(ADMNotifierRef notifier);

// A plug-in's resource read as a string list (dialogs and popup menus), or none.
std::optional<std::vector<std::string>> stringListResource(Host& host, SPPluginRef plugin,
                                                           std::uint32_t type, int32_t id);

// The user's actions. Each answers an empty string when done, otherwise why it was not done
// (no such panel or item, hidden panel, not a number, no such preset). Choosing, typing and
// pressing send "ADM User Changed Notifier" to the item's handler.
std::string choosePreset(Host& host, const std::string& dialogName, int32_t itemID, int entry);
std::string typeValue(Host& host, const std::string& dialogName, int32_t itemID,
                      const std::string& text);
std::string pressButton(Host& host, const std::string& dialogName, int32_t itemID);
// The close box of a floating panel: hides it.
std::string closeDialog(Host& host, const std::string& dialogName);
// Puts a dialog's top-left corner as near (left, top) as the host's palette area allows, as a
// window manager does: a palette that would be (partly) off the area is brought back onto it.
// Its size is kept; the plug-in is not told.
void placeDialog(Host& host, Dialog& dialog, double left, double top);

// Asks a dialog to draw itself, or to track the pointer: its handler, or the default.
void drawDialog(Host& host, ADMDialogRef dialog);
bool trackDialog(Host& host, ADMDialogRef dialog);

// Destroys every dialog that exists, each after its destroy handler has run. The application's
// quit sequence calls this before it announces the shutdown, so that panels save their placement.
void destroyAllDialogs(Host& host);

// The panels' state for people: one block a dialog (title, visibility, bounds, dock group and
// code, then the values of its fields with their labels).
std::string describeDialogs(Host& host);

// Resource types of dialogs and popup menus, read through Host::resource.
inline constexpr std::uint32_t kDialogResourceType = AS_FOURCC('D', 'L', 'O', 'G');
inline constexpr std::uint32_t kMenuResourceType = AS_FOURCC('M', 'E', 'N', 'U');

}  // namespace simhost

#endif
