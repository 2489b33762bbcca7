// `sarvello-host open`: the plug-in in a browser page.
#ifndef SARVELLO_SIMHOST_LIVE_OPENCOMMAND_H
#define SARVELLO_SIMHOST_LIVE_OPENCOMMAND_H

#include <string>

#include "app/Commands.h"

namespace simhost::live {

// What `sarvello-host open` was asked for.
struct OpenOptions {
  std::string drawing;          // empty: an empty document
  int port = 0;                 // 0: a free port
  bool browser = true;          // open the page with the system's opener
  std::string preferencesFile;  // empty: none kept
  std::string pluginPath;       // empty: beside the program
  bool keepClones = false;      // the drawing's clones stay clones
};

// Serves the page until the user quits (the page's Quit, Ctrl-C or SIGTERM); answers the exit
// code.
int runOpen(const OpenOptions& options, app::Console& console);

// The command, with its options and help, for the program's list of commands.
const app::Command& openCommand();

}  // namespace simhost::live

#endif
