// The stand-in host: our implementation of the suites the plug-in uses, with accounting of every
// host object the plug-in holds and fault injection for the plug-in's failure paths.
//
// One Host exists at a time and is "current" while it lives: the suites are C function tables,
// so their functions find their host through Host::current(). Everything runs on one thread.
#ifndef SARVELLO_SIMHOST_HOST_H
#define SARVELLO_SIMHOST_HOST_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "HostAPI.h"

namespace simhost {

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

// Fault injection: how the plug-in's failure paths are tested for real.
class Faults {
 public:
  Faults() = default;
  Faults(const Faults&) = delete;  // sites_ points into this object's own counts
  Faults& operator=(const Faults&) = delete;

  // The nth allocation from now (1 = the next one), through SP Basic or SP Blocks, is refused.
  void refuseAllocation(int nth);
  // Every allocation from now on is refused until clear().
  void refuseAllAllocations();
  // The nth call from now (1 = the next one) of the named operation answers code. Operations are
  // named "<suite short name>.<operation>", e.g. "AIPath.SetPathSegments", "SPBasic.AcquireSuite":
  // the short name is the suite table's type without "Suite" ("AIAppContext.PushAppContext",
  // "ADMBasic.GetIndexString"). nth below 1 throws std::invalid_argument.
  void failCall(const std::string& operation, int nth, ASErr code);
  // Every call from now on of the operation answers code, until clear().
  void failAllCalls(const std::string& operation, ASErr code);
  // The host lacks the named suite (version -1: every version of that name). Acquiring it answers
  // kSuiteNotFoundErr, or kSuiteVersionErr while another version of the name is still there.
  void lackSuite(const std::string& name, int32_t version = -1);
  void clear();  // every injected fault and lacking suite; the call counts stay

  // Used by the host's suite functions.
  bool allocationRefused();         // counts one allocation; true when it is to be refused
  ASErr check(const char* operation);  // counts one call of operation; the injected code or 0
  bool suiteLacking(const char* name, int32_t version) const;
  int calls(const std::string& operation) const;  // calls of operation counted so far

 private:
  struct CallFault {
    int remaining;  // calls until the fault; 0 = every call
    ASErr code;
  };
  int allocationCountdown_ = 0;  // 0: none pending
  bool refuseAll_ = false;
  std::multimap<std::string, CallFault> callFaults_;
  std::map<std::string, int> callCounts_;
  // The count of each operation by the address of the name its callers pass.
  std::unordered_map<const char*, std::pair<const std::string, int>*> sites_;
  std::vector<std::pair<std::string, int32_t>> lackingSuites_;
};

// A piece of art in the document. Paths are the only art the plug-in changes; a compound path is
// kept as one object whose subpaths are path art with the compound's id as parent.
struct Art {
  int kind = kPathArt;               // kPathArt, kCompoundPathArt, ...
  std::uint64_t parent = 0;          // id of the compound path holding this path, or 0
  std::vector<AIPathSegment> segments;
  bool closed = false;
  bool selected = false;
  // What the importer needs to write the art back: which source element it came from and which
  // subpath of it it is. The host itself does not look at these.
  int sourceIndex = -1;
  int subpathIndex = 0;
};

// The open document's art. Handles are never reused: a handle of deleted art stays invalid, and
// every operation on it answers kDeadArtErr.
// addArt throws std::length_error for more than kMaxSegments segments (a path's segment count is
// a 16-bit value) and std::invalid_argument for a parent that is not a compound path of the
// document. Removing a compound path removes its subpaths.
class Document {
 public:
  static constexpr std::size_t kMaxSegments = 32767;

  AIArtHandle addPath(std::vector<AIPathSegment> segments, bool closed, bool selected = true);
  AIArtHandle addArt(Art art);
  bool remove(AIArtHandle art);  // false when the handle is not valid
  Art* find(AIArtHandle art);    // none for an invalid handle
  const Art* find(AIArtHandle art) const;
  bool valid(AIArtHandle art) const;
  // The id a handle carries, for Art::parent (0 for none or a handle that is not art).
  static std::uint64_t id(AIArtHandle art);
  std::vector<AIArtHandle> handles() const;  // in document order (the order of creation)
  void selectAll(bool selected);
  std::size_t size() const;
  void clear();

 private:
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, Art> art_;  // ordered by id = document order
};

// The document window. The view shows the artwork point `center` at the middle of a window of
// width x height pixels, at `zoom` pixels per artwork unit; view y grows downward.
struct ViewState {
  bool open = true;  // false: no document view (CountDocumentViews answers 0)
  int32_t width = 1000;
  int32_t height = 800;
  AIRealPoint center{0.0f, 0.0f};
  double zoom = 1.0;
  AIBoolean showEdges = 1;  // the boolean display option the plug-in switches off while stirring

  AIRealRect bounds() const;                 // the visible area in artwork coordinates
  AIPoint toView(AIRealPoint artwork) const;  // rounded to the nearest pixel
  AIRealPoint toArtwork(AIPoint view) const;
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
};

// Hands a web address to the system's opener (xdg-open), never through a shell. False when there
// is no opener or it cannot be started.
bool openWithSystem(const std::string& url);

class Host {
 public:
  Host();  // becomes the current host and registers every suite
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

  // SP Access references the plug-in holds: the SP Access suite counts them here.
  std::size_t& accessRefs();

  // The cursor resource id last set through ADM Basic (0: none yet).
  int32_t cursor() const;
  // The screen area in which palettes are laid out, as ADM Basic reports it.
  AIRect& paletteArea();

  // The AI Preference store, and the web addresses the plug-in asked to open (AI URL).
  std::map<PreferenceKey, Preference>& preferences();
  std::vector<std::string>& openedURLs();

  // The preference store kept in a file between runs: $XDG_CONFIG_HOME/sarvello/preferences.ini,
  // or ~/.config/sarvello/preferences.ini (empty when neither variable is set).
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

  // Dialogs of the dialog manager that exist now (counted by simhost/adm).
  std::size_t& dialogCount();

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
  std::function<void(const Alert&)> onAlert;

  // The tool side's state (simhost/tool: its registrations and the invalid parts of the view),
  // set by installToolSuites and ended with the host.
  std::shared_ptr<void> toolSide;
  // The dialog manager's state (simhost/adm), set by installDialogSuites and ended with the host.
  std::shared_ptr<void> dialogSide;

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
