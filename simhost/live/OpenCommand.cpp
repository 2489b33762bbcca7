#include "live/OpenCommand.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/CommandLine.h"
#include "live/Channel.h"
#include "live/LiveApp.h"
#include "live/WebServer.h"
#include "platform/Platform.h"
#include "core/Files.h"

namespace simhost::live {

namespace {

using app::Arguments;
using app::UsageError;

const char* const kOpenHelp = R"(Usage: sarvello-host open [DRAWING.svg] [options]

Loads the plug-in, opens the drawing (or an empty document) and serves the document window, the
tools and the panels to a browser page, where the tool is used with the mouse. The page's address
is printed on a line of its own; it carries a token that only this run knows, and the server
answers only on 127.0.0.1. Ctrl-C, SIGTERM or File > Quit on the page quit as the application
quits: the panels close, the preferences are saved and the plug-in is shut down.

On the page, File > Save session writes what was done since the drawing was opened; "run
DRAWING.svg --session FILE" replays it to the same drawing as File > Save drawing.

Options:
  --port N        the port to listen on (default: 0, a free one)
  --no-browser    only print the address; do not open it with the system's opener
  --plugin FILE   the plug-in module to load (default: Sarvello.aip beside sarvello-host)
  --prefs FILE    the host's preferences (the panels' placement), read at the start and saved
                  at quit (default: $XDG_CONFIG_HOME/sarvello/preferences.ini)
  --no-prefs      neither read nor save any preferences
  --keep-clones   keep the drawing's clones (<use>) as they are: not read as shapes, not
                  stirred (the page's "Open keeping clones..." does the same)
  -h, --help      show this help
)";


// Ctrl-C and SIGTERM quit as the application quits. The signals are kept from every thread and
// taken by one thread of their own, which tells the user-interface thread through the channel.
class QuitSignals {
 public:
  explicit QuitSignals(Channel& channel) : channel_(channel) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    thread_ = std::thread([this] {
      const timespec wait{0, 200'000'000};
      while (!channel_.quitting()) {
        if (sigtimedwait(&set_, nullptr, &wait) > 0) channel_.quit();
      }
    });
  }
  ~QuitSignals() {
    channel_.quit();
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  Channel& channel_;
  sigset_t set_{};
  sigset_t previous_{};
  std::thread thread_;
};

int commandOpen(const std::vector<std::string>& args, app::Console& console) {
  const Arguments a = app::parseArguments(args, 1,
                                     {{{"--port"}, true},
                                      {{"--no-browser"}, false},
                                      {{"--plugin"}, true},
                                      {{"--prefs"}, true},
                                      {{"--no-prefs"}, false},
                                      {{"--keep-clones"}, false}},
                                     "open");
  if (a.help) {
    console.out << kOpenHelp;
    return app::kExitOk;
  }
  const std::string preferences = app::preferencesChosen(a, console.preferencesFile, "open");
  if (a.positional.size() > 1) throw UsageError{"unexpected argument " + a.positional[1], "open"};
  OpenOptions options;
  if (!a.positional.empty()) options.drawing = a.positional.front();
  if (const auto port = a.value("--port")) {
    char* end = nullptr;
    const long n = std::strtol(port->c_str(), &end, 10);
    if (end == port->c_str() || *end != '\0' || n < 0 || n > 65535) {
      throw UsageError{"--port must be a port number from 0 to 65535, not " + *port, "open"};
    }
    options.port = static_cast<int>(n);
  }
  options.browser = !a.flag("--no-browser");
  options.pluginPath = a.value("--plugin").value_or(console.pluginPath);
  options.preferencesFile = preferences;
  options.keepClones = a.flag("--keep-clones");
  return runOpen(options, console);
}

}  // namespace

int runOpen(const OpenOptions& options, app::Console& console) {
  std::string text;
  std::string error;
  if (!options.drawing.empty() && !readWholeFile(options.drawing, &text, &error)) {
    console.err << "sarvello-host open: " << error << "\n";
    return app::kExitBadInput;
  }
  Channel channel;
  // Before any thread starts, so that every thread keeps the signals blocked.
  QuitSignals signals(channel);
  LiveOptions live;
  live.pluginPath = options.pluginPath;
  live.preferencesFile = options.preferencesFile;
  live.keepClones = options.keepClones;
  live.diagnostic = [&console](const std::string& line) { console.err << line << "\n"; };
  LiveApp app(live, channel);
  if (!app.start(text, options.drawing, &error)) {
    console.err << "sarvello-host open: " << error << "\n";
    return app::kExitBadInput;
  }
  WebServer server(channel, app);
  if (!server.start(options.port, &error)) {
    console.err << "sarvello-host open: " << error << "\n";
    app.quit(&error);
    return app::kExitBadInput;
  }
  console.out << server.address() << std::endl;
  if (options.browser && !platform::openWithSystem(server.address())) {
    console.err << "Open the address above in a browser.\n";
  }
  app.run();
  server.stop();
  int code = app::kExitOk;
  if (!app.quit(&error)) {
    console.err << "sarvello-host open: " << error << "\n";
    code = app::kExitPluginFailed;
  }
  const Outstanding left = app.outstanding();
  if (!left.clean()) {
    console.err << "warning: the plug-in left host objects behind after quitting: " << left.describe() << "\n";
  }
  return code;
}

const app::Command& openCommand() {
  static const app::Command command{"open", kOpenHelp, commandOpen};
  return command;
}

}  // namespace simhost::live
