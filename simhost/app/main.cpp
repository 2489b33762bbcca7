// sarvello-host: the stand-in host as a program. Stirs SVG drawings with the Sarvello plug-in.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/Commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  simhost::app::Console console{std::cout, std::cerr, false, ""};
  console.progress = ::isatty(STDERR_FILENO) != 0;
  return simhost::app::runProgram(args, console);
}
