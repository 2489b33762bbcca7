// The command line of sarvello-host's commands: options, the mistakes that end a command with
// exit code 2, and the error stream shared by diagnostics and the progress line.
#ifndef SARVELLO_SIMHOST_APP_COMMANDLINE_H
#define SARVELLO_SIMHOST_APP_COMMANDLINE_H

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Commands.h"

namespace simhost::app {

inline constexpr const char* kProgram = "sarvello-host";

// A mistake in the command line: exit code 2.
struct UsageError {
  std::string message;
  std::string command;  // for the pointer to the command's help
};

struct OptionSpec {
  std::vector<std::string> names;  // the first is the key
  bool takesValue = false;
};

struct Arguments {
  std::map<std::string, std::string> values;  // options with a value, by key
  std::map<std::string, bool> flags;
  std::vector<std::string> positional;
  bool help = false;

  std::optional<std::string> value(const std::string& key) const {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool flag(const std::string& key) const { return flags.count(key) != 0; }
};

// The options and arguments from args[first] on; throws UsageError for an unknown option, one
// given twice, a missing or unexpected value. "-h" and "--help" set `help`.
Arguments parseArguments(const std::vector<std::string>& args, std::size_t first,
                         const std::vector<OptionSpec>& specs, const std::string& command);

// The preferences file a command keeps: --prefs FILE, none with --no-prefs (the two exclude each
// other), else `otherwise`.
std::string preferencesChosen(const Arguments& a, const std::string& otherwise,
                              const std::string& command);

// The error stream, shared by diagnostics and the progress line: a diagnostic first wipes the
// progress line, which the next update draws again.
class Reporter {
 public:
  explicit Reporter(Console& console) : console_(console) {}
  ~Reporter() { clearProgress(); }

  void line(const std::string& text);
  void progress(const std::string& what, double done, double total);
  void clearProgress();

 private:
  Console& console_;
  bool shown_ = false;
  int percent_ = -1;
};

}  // namespace simhost::app

#endif
