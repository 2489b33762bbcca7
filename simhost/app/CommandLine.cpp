#include "app/CommandLine.h"

#include <algorithm>
#include <cmath>
#include <iomanip>

namespace simhost::app {

Arguments parseArguments(const std::vector<std::string>& args, std::size_t first,
                         const std::vector<OptionSpec>& specs, const std::string& command) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs) {
      for (const std::string& n : s.names) {
        if (n == name) spec = &s;
      }
    }
    if (spec == nullptr) throw UsageError{"unknown option " + name, command};
    const std::string& key = spec->names.front();
    if (parsed.values.count(key) != 0 || parsed.flags.count(key) != 0) {
      throw UsageError{key + " is given more than once", command};
    }
    if (!spec->takesValue) {
      if (inlineValue) throw UsageError{name + " takes no value", command};
      parsed.flags[key] = true;
      continue;
    }
    if (inlineValue) {
      if (inlineValue->empty()) throw UsageError{name + " needs a value", command};
      parsed.values[key] = *inlineValue;
    } else {
      if (i + 1 >= args.size() || args[i + 1].empty()) throw UsageError{name + " needs a value", command};
      parsed.values[key] = args[++i];
    }
  }
  return parsed;
}

std::string preferencesChosen(const Arguments& a, const std::string& otherwise, const std::string& command) {
  if (a.value("--prefs") && a.flag("--no-prefs")) throw UsageError{"--prefs and --no-prefs exclude each other", command};
  return a.flag("--no-prefs") ? std::string() : a.value("--prefs").value_or(otherwise);
}

void Reporter::line(const std::string& text) {
  clearProgress();
  console_.err << kProgram << ": " << text << '\n' << std::flush;
}

void Reporter::progress(const std::string& what, double done, double total) {
  if (!console_.progress || total <= 0) return;
  const int percent = static_cast<int>(std::floor(100.0 * std::min(done, total) / total));
  if (shown_ && percent == percent_) return;
  percent_ = percent;
  shown_ = true;
  console_.err << '\r' << kProgram << ": " << what << ' ' << std::setw(3) << percent << '%' << std::flush;
}

void Reporter::clearProgress() {
  if (!shown_) return;
  console_.err << "\r\033[K" << std::flush;
  shown_ = false;
}

}  // namespace simhost::app
