// The sarvello-host program: its help, its version, and the choice of a command.
#include "app/CommandLine.h"
#include "app/Commands.h"

namespace simhost::app {
namespace {

const char* const kProgramHelp = R"(Usage: sarvello-host <command> [options]

Stirs SVG drawings with the Sarvello tool: the plug-in module is loaded into this stand-in host,
the drawing's paths are selected, and the brush strokes of a session push the fluid that carries
them along.

Commands:
  demo   stir the built-in sample drawing and write pictures of it
  run    stir an SVG drawing, replaying a session file or the default strokes
  open   use the tool with the mouse: the document window, the tools and the panels in a
         browser page served by this program
  help   show this help, or "help COMMAND" the options of a command

Run "sarvello-host <command> --help" for the options of a command, "sarvello-host --version" for
the version.

Exit codes: 0 success, 1 bad input (unreadable or invalid drawing or session, a module that does
not load, an output that cannot be written; nothing is written), 2 bad usage (unknown command or
option, missing argument), 3 the plug-in answered errors during the run (the outputs are
written, so that what it did can be seen).
)";

const char* const kVersion = "sarvello-host 0.1\n";

// "demo, run and open".
std::string names(const std::vector<Command>& commands) {
  std::string out;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (i > 0) out += i + 1 == commands.size() ? " and " : ", ";
    out += commands[i].name;
  }
  return out;
}

}  // namespace

int runProgram(const std::vector<std::string>& args, Console& console,
               const std::vector<Command>& commands) {
  const auto find = [&](const std::string& name) -> const Command* {
    for (const Command& c : commands)
      if (name == c.name) return &c;
    return nullptr;
  };
  std::string command;
  try {
    if (args.empty()) throw UsageError{"no command given", ""};
    command = args.front();
    if (command == "-h" || command == "--help") {
      console.out << kProgramHelp;
      return kExitOk;
    }
    if (command == "--version") {
      console.out << kVersion;
      return kExitOk;
    }
    if (command == "help") {
      if (args.size() > 2) throw UsageError{"unexpected argument " + args[2], "help"};
      const std::string topic = args.size() > 1 ? args[1] : "";
      if (topic.empty()) {
        console.out << kProgramHelp;
      } else if (const Command* c = find(topic)) {
        console.out << c->help;
      } else {
        throw UsageError{"no help for " + topic + ": the commands are " + names(commands), ""};
      }
      return kExitOk;
    }
    if (const Command* c = find(command)) return c->run(args, console);
    throw UsageError{(command.size() > 1 && command[0] == '-' ? "unknown option " : "unknown command ") + command, ""};
  } catch (const UsageError& e) {
    const std::string prefix = e.command.empty() ? std::string(kProgram) : std::string(kProgram) + " " + e.command;
    console.err << prefix << ": " << e.message << "\n"
                << "Run \"" << prefix << " --help\" for the usage.\n";
    return kExitUsage;
  }
}

int runProgram(const std::vector<std::string>& args, Console& console) {
  return runProgram(args, console, {demoCommand(), runCommand()});
}

}  // namespace simhost::app
