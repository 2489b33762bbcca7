#include "live/OpenCommand.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>
#include <thread>

#include "live/Channel.h"
#include "live/LiveApp.h"
#include "live/WebServer.h"
#include "svg/Files.h"

namespace simhost::live {

namespace {

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

}  // namespace

int runOpen(const app::OpenOptions& options, app::Console& console) {
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
  if (options.browser && !openWithSystem(server.address())) {
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

}  // namespace simhost::live
