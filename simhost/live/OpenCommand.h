// `sarvello-host open`: the plug-in in a browser page.
#ifndef SARVELLO_SIMHOST_LIVE_OPENCOMMAND_H
#define SARVELLO_SIMHOST_LIVE_OPENCOMMAND_H

#include "app/Commands.h"

namespace simhost::live {

// Serves the page until the user quits (the page's Quit, Ctrl-C or SIGTERM); answers the exit
// code.
int runOpen(const app::OpenOptions& options, app::Console& console);

}  // namespace simhost::live

#endif
