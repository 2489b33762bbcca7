// The sarvello-host program: its console, exit codes and commands. Callable in-process, so that
// tests run the program's own code paths with their own streams.
#ifndef SARVELLO_SIMHOST_APP_COMMANDS_H
#define SARVELLO_SIMHOST_APP_COMMANDS_H

#include <ostream>
#include <string>
#include <vector>

namespace simhost::app {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;  // unreadable or invalid drawing or session, module that does not load
inline constexpr int kExitUsage = 2;     // unknown command or option, missing argument
inline constexpr int kExitPluginFailed = 3;  // the plug-in answered errors during the run

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
};

// A command of the program: its name, its help text, and what it does with the arguments (the
// command's name first). It answers the exit code, and throws UsageError (CommandLine.h) for a
// mistake in the command line.
struct Command {
  const char* name;
  const char* help;
  int (*run)(const std::vector<std::string>& args, Console& console);
};

const Command& demoCommand();  // DemoCommand.cpp
const Command& runCommand();   // RunCommand.cpp

// Runs the program with its arguments (without the program's name) and the commands it offers;
// answers the exit code.
int runProgram(const std::vector<std::string>& args, Console& console,
               const std::vector<Command>& commands);
// The same with the commands of this library: demo and run.
int runProgram(const std::vector<std::string>& args, Console& console);

}  // namespace simhost::app

#endif
