// The stand-in host: the state behind every suite the plug-in uses (suites/), with accounting of
// every host object the plug-in holds and fault injection for the plug-in's failure paths.
//
// One Host exists at a time and is "current" while it lives: the suites are C function tables,
// so their functions find their host through Host::current(). The host's parts keep their own
// models, which the host owns: the document and its view (Document.h), the tool side's
// registrations (tool/ToolState.h), the dialog manager's dialogs (adm/DialogManager.h) and the
// plug-ins the loader has loaded (loader/PluginRecord.h). Everything runs on one thread, the
// host's user-interface thread.
#ifndef SARVELLO_SIMHOST_CORE_HOST_H
#define SARVELLO_SIMHOST_CORE_HOST_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HostAPI.h"
#include "core/Document.h"
#include "core/Faults.h"

namespace simhost {

struct ToolState;
struct DialogState;
class PluginRegistry;

// Host objects the plug-in holds at a moment. A finished test expects all of them to be zero.
struct Outstanding {
  std::size_t basicBlocks = 0;       // SP Basic blocks
  std::size_t basicBytes = 0;
  std::size_t spBlocks = 0;          // SP Blocks blocks
  std::size_t spBlockBytes = 0;
  std::size_t suiteAcquisitions = 0; // acquisitions not yet released, all suites
  std::size_t matchingArrays = 0;    // matching-art arrays not yet disposed
  std::size_t unicodeStrings = 0;    // Unicode string handles not yet disposed
  std::size_t appContexts = 0;       // application contexts entered and not left
  std::size_t accessRefs = 0;        // SP Access references not yet released
  std::size_t dialogs = 0;           // dialog manager dialogs not yet destroyed
  // Details for describe(): the suites still held ("AI Path Suite 1008 x2") and the debug tags of
  // the SP Blocks blocks still allocated ("ai::SPAlloc::AllocateBlock x4"). clean() reads only
  // the counts above.
  std::vector<std::string> suitesHeld;
  std::vector<std::string> blockTags;

  bool clean() const;
  std::string describe() const;  // one line, e.g. "2 SP Blocks blocks (1040 bytes), 1 suite acquisition"
};

// A value of the AI Preference store.
struct Preference {
  enum Kind { Integer, Boolean, String, Point } kind = Integer;
  int32_t integer = 0;  // Integer, and Boolean as 0 or 1
  std::string text;     // String
  AIPoint point{};      // Point
};
using PreferenceKey = std::pair<std::string, std::string>;  // prefix, suffix

struct Alert {
  enum Kind { Error, Message, About } kind;
  std::string text;
  std::string text2;  // the About box's second text
  // The message the plug-in was handling when it showed the alert ("AI Timer/AI Go"), or empty.
  std::string during;
};

class Host {
 public:
  Host();  // becomes the current host and installs every suite (suites/Suites.h)
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* current();

  // Every free and dispose of the suites accepts none and ignores it; a block or handle the host
  // did not hand out, or has already taken back, is refused with kBadParameterErr.
  SPBasicSuite* basicSuite();

  // Suites by name and version. A table registered here can be acquired through SP Basic.
  void addSuite(const char* name, int32_t version, const void* table);
  int acquisitions(const std::string& name, int32_t version) const;

  // The text of a Unicode string handle, for the other host parts (none or unknown: empty).
  std::string text(AIUnicodeStringHandle string) const;
  bool stringValid(AIUnicodeStringHandle string) const;

  // The handle of the one document view, for messages that carry a view. The view operations
  // accept it and none (the current view) alike.
  AIDocumentViewHandle viewHandle() const;

  // The cursor resource id last set through ADM Basic (0: none yet).
  int32_t cursor() const;
  // The screen area in which palettes are laid out, as ADM Basic reports it.
  AIRect& paletteArea();

  // The AI Preference store, and the web addresses the plug-in asked to open (AI URL).
  std::map<PreferenceKey, Preference>& preferences();
  std::vector<std::string>& openedURLs();

  // The preference store kept in a file between runs: $XDG_CONFIG_HOME/sarvello/preferences.ini,
  // or ~/.config/sarvello/preferences.ini (%APPDATA%\Sarvello\preferences.ini on Windows);
  // empty when the environment names no such folder.
  static std::string defaultPreferencesPath();
  // Reads the store from `path`, which from now on is where savePreferences writes. A missing
  // file is a first start: true, store empty. An unreadable or corrupt file leaves the store
  // empty, says why in *warning and answers false; the file stays as it is until the host saves.
  bool usePreferencesFile(const std::string& path, std::string* warning);
  // Writes the store to that file through a temporary file and a rename; false with the reason
  // in *error. Without a file there is nothing to save: true.
  bool savePreferences(std::string* error) const;
  const std::string& preferencesFile() const;

  // AI URL opens an address with the system's opener (xdg-open) only when this is set and an
  // opener exists; otherwise it prints the address. Off by default, so that tests never launch a
  // browser.
  bool openURLsWithSystem = false;

  Outstanding outstanding() const;
  Faults& faults();
  Document& document();
  ViewState& view();

  // Reads entry `index` (from 1) of a plug-in's string-list resource into *text; false when the
  // list or the entry does not exist. Set by the plug-in loader; unset, every read fails.
  std::function<bool(SPPluginRef plugin, int32_t listID, int32_t index, std::string* text)>
      stringResource;

  // The data of a plug-in's resource of the given type (a four-character code) and id, or none.
  // Set by the plug-in loader, which reads the resources from the plug-in file.
  std::function<const std::vector<std::uint8_t>*(SPPluginRef plugin, std::uint32_t type,
                                                 int32_t id)>
      resource;

  // Alerts shown by the plug-in (recorded; onAlert, when set, is told of each as it comes).
  std::vector<Alert>& alerts();
  // The messages the plug-in is handling now, innermost last, as "caller/selector"; the loader
  // keeps the list, and each alert records the innermost.
  std::vector<std::string>& handling();
  std::function<void(const Alert&)> onAlert;

  // The tool side's registrations (menu items, tools, icons, timers, annotators) and the parts
  // of the view asked to be redrawn.
  ToolState& tools();
  // The dialog manager's dialogs.
  DialogState& dialogs();
  // The plug-ins loaded into the host, with their SP Access references and notifiers.
  PluginRegistry& plugins();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend struct HostAccess;
};

// Internal access to the host's state for the suite implementations.
struct HostAccess {
  using State = Host::Impl;
  static Host::Impl& impl(Host& host) { return *host.impl_; }
};

}  // namespace simhost

#endif
