// The commands of sarvello-host: `demo` and `run`, and the program's help. Callable in-process, so
// that tests run the program's own code paths with their own streams.
#ifndef SARVELLO_SIMHOST_APP_COMMANDS_H
#define SARVELLO_SIMHOST_APP_COMMANDS_H

#include <ostream>
#include <functional>
#include <string>
#include <vector>

namespace simhost::app {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;  // unreadable or invalid drawing or session, module that does not load
inline constexpr int kExitUsage = 2;     // unknown command or option, missing argument
inline constexpr int kExitPluginFailed = 3;  // the plug-in answered errors during the run

// What `sarvello-host open` was asked for.
struct OpenOptions {
  std::string drawing;          // empty: an empty document
  int port = 0;                 // 0: a free port
  bool browser = true;          // open the page with the system's opener
  std::string preferencesFile;  // empty: none kept
  std::string pluginPath;       // empty: beside the program
};

struct Console {
  std::ostream& out;  // results and the summary
  std::ostream& err;  // warnings, errors, host diagnostics, progress
  bool progress = false;  // err is a terminal: show progress on long runs
  std::string pluginPath;  // the module when --plugin is not given; empty: beside the program
  // The host's preferences between runs for `run` without --prefs or --no-prefs; empty: none
  // kept. The demo keeps none unless --prefs is given, so that it runs the same every time.
  std::string preferencesFile;
  // "Visit website" launches the system's browser (when there is one); otherwise the address is
  // only printed. The program sets it; tests leave it off.
  bool openURLs = false;
  // The `open` command (a person at the tool in a browser page), which the program provides;
  // unset, `open` is not offered.
  std::function<int(const OpenOptions& options, Console& console)> open{};
};

// Runs the program with its arguments (without the program's name); answers the exit code.
int runProgram(const std::vector<std::string>& args, Console& console);

}  // namespace simhost::app

#endif
