// The stand-in host's plug-in loader: reads a plug-in file's property list and resources, loads
// its code, and sends it the host's messages with proper message records. Its record of the
// plug-in (loader/PluginRecord.h) is what the suites of the plug-in's own life work on: SP Access
// (references that keep the code loaded), SP Plug-ins (the plug-in's name) and AI Notifier
// (notifications the plug-in asked for).
//
// Lifecycle: construct (the file is read and the code loaded), start() ("Startup", then the
// application-started notification), any number of send(), quit() (the floating dialogs
// destroyed, the application-shutdown notification, "Shutdown", the code unloaded). Like a real host it unloads the code of an idle
// plug-in when asked to purge (purge()), and loads it again before the next message that must
// reach it. One PluginHost per module file at a time: the system loads a file's code only once.
#ifndef SARVELLO_SIMHOST_LOADER_PLUGINHOST_H
#define SARVELLO_SIMHOST_LOADER_PLUGINHOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ResourceFile.h"
#include "core/Host.h"
#include "loader/PluginRecord.h"

namespace simhost {

// A plug-in file that cannot be loaded; the text names the file and the reason.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks a plug-in file's resources and property list without loading its code:
// kind "SPEA", interface version 2, an entry name. Throws LoadError naming the file.
struct PluginFileInfo {
  sarvello::res::ResourceFile resources;
  std::string entryName;
  std::string pluginName;  // the property list's "pinm", may be empty
};
PluginFileInfo readPluginFile(const std::string& path);

class PluginHost {
 public:
  // Reads the file and loads its code; throws LoadError. Records the plug-in with the host and
  // points host.resource and host.stringResource at the plug-in's resources.
  PluginHost(Host& host, const std::string& path);
  // A plug-in linked into the host program (tests of the frame): entry is its PluginMain and
  // info its resources. Unloading and reloading only stop and resume its messages.
  PluginHost(Host& host, SPPluginMainProc entry, PluginFileInfo info);
  ~PluginHost();  // quits a running plug-in and unloads its code
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // The module beside the running program (the build puts Sarvello.aip next to sarvello-host).
  static std::string moduleBesideProgram();

  // "SP Interface"/"Startup", then the application-started notification. The first failing
  // code is the answer.
  ASErr start();
  // How the application quits. DialogsFirst, as applications do so that palettes keep their
  // placement: the dialog manager destroys every floating dialog (their destroy handlers run),
  // then the shutdown is announced. ShutdownFirst: the shutdown is announced first and the
  // dialogs still there are destroyed after it.
  enum class QuitOrder { DialogsFirst, ShutdownFirst };
  // Destroys the dialogs and announces the shutdown in the given order, sends
  // "SP Interface"/"Shutdown", then unloads the code. The first failing code is the answer.
  ASErr quit(QuitOrder order = QuitOrder::DialogsFirst);

  // Sends a message. The host fills the record's header (check value, plug-in reference, the
  // globals slot it keeps, SP Basic) and keeps the globals slot the plug-in leaves in it.
  // Unloaded code is loaded again ("SP Access"/"Reload") first; a failing reload is the answer.
  ASErr send(const char* caller, const char* selector, void* message);
  // A message whose record is just the header (SPInterfaceMessage).
  ASErr sendInterface(const char* caller, const char* selector);
  // "AI Notifier"/"AI Notify" to every notifier of the type; the first failing code is the answer.
  ASErr notify(const char* type);
  // The send function for the event loop.
  std::function<ASErr(const char*, const char*, void*)> sender();

  // Asks the plug-in to purge its caches ("SP Cache"/"Plug-in Purge") and, when it holds no
  // SP Access reference to itself, unloads its code ("SP Access"/"Unload", then the code).
  // True when the code was unloaded.
  bool purge();
  // Loads unloaded code again and sends "SP Access"/"Reload".
  ASErr reload();

  bool loaded() const;    // the code is in memory
  bool running() const;   // started and not quit
  SPPluginRef plugin() const;
  void* globals() const;  // the globals slot the host keeps for the plug-in
  std::string name() const;  // as the plug-in set it, else the property list's name
  const std::string& path() const;
  const sarvello::res::ResourceFile& resources() const;
  const std::vector<NotifierRecord>& notifiers() const;
  int accessReferences() const;  // SP Access references to the plug-in held now

 private:
  void setUp(PluginFileInfo info);
  void loadCode();
  void unloadCode();

  Host& host_;
  std::unique_ptr<SPPlugin> record_;
  bool running_ = false;
};

}  // namespace simhost

#endif
