// sarvello-host: the stand-in host as a program. Stirs SVG drawings with the Sarvello plug-in.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "core/Host.h"
#include "app/Commands.h"
#include "live/OpenCommand.h"

#if defined(SARVELLO_SANITIZE)
// Fontconfig (behind the pictures) keeps its configuration for the life of the process; the leak
// checker is told that this is not ours.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\n";
}
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  simhost::app::Console console{std::cout, std::cerr, false, "", ""};
  console.progress = ::isatty(STDERR_FILENO) != 0;
  console.preferencesFile = simhost::Host::defaultPreferencesPath();
  console.openURLs = true;
  return simhost::app::runProgram(
      args, console,
      {simhost::app::demoCommand(), simhost::app::runCommand(), simhost::live::openCommand()});
}
