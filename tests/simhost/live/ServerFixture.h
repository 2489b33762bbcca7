// The page's server with a started plug-in behind it, for the tests of sarvello-host open: the test
// talks to the server from a thread of its own while the user-interface thread runs its loop.
#ifndef SARVELLO_TESTS_SIMHOST_LIVE_SERVERFIXTURE_H
#define SARVELLO_TESTS_SIMHOST_LIVE_SERVERFIXTURE_H

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HttpClient.h"
#include "app/Commands.h"
#include "live/Channel.h"
#include "live/LiveApp.h"
#include "live/WebServer.h"

namespace livetest {

class ServerTest : public ::testing::Test {
 protected:
  // The server's limits; a test may make its deadlines short.
  virtual simhost::live::HttpLimits limits() const { return {}; }

  void SetUp() override {
    simhost::live::LiveOptions options;
    options.pluginPath = SARVELLO_MODULE_PATH;
    app = std::make_unique<simhost::live::LiveApp>(options, channel);
    std::string error;
    const std::string drawing =
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"><path d="M10,50 L90,50"/></svg>)";
    ASSERT_TRUE(app->start(drawing, "line.svg", &error)) << error;
    drawingText = drawing;
    server = std::make_unique<simhost::live::WebServer>(channel, *app, limits());
    ASSERT_TRUE(server->start(0, &error)) << error;
  }
  void TearDown() override { end(); }

  // The application's quit; the host and the module are gone afterwards.
  void end() {
    if (!app) return;
    channel.quit();
    server->stop();
    std::string error;
    EXPECT_TRUE(app->quit(&error)) << error;
    EXPECT_TRUE(app->outstanding().clean()) << app->outstanding().describe();
    server.reset();
    app.reset();
  }

  // Runs the user-interface thread's loop while `client` talks to the server.
  void withClient(const std::function<void()>& client) {
    std::thread talk([&] {
      client();
      channel.quit();
    });
    app->run();
    talk.join();
  }

  std::string withToken(const std::string& path) const { return path + "?token=" + server->token(); }
  livetest::Response get(const std::string& target,
                         const std::vector<std::pair<std::string, std::string>>& headers = {}) {
    return livetest::fetch(server->port(), "GET", target, "", headers);
  }
  livetest::Response post(const std::string& target, const std::string& body,
                          const std::vector<std::pair<std::string, std::string>>& headers = {}) {
    return livetest::fetch(server->port(), "POST", target, body, headers);
  }

  // The session recorded live replays headless (`sarvello-host run`) to the drawing saved live.
  void expectReplaysTo(const std::string& live, const std::string& session, const std::string& stem) {
    const std::string base = ::testing::TempDir() + "/" + stem;
    std::ofstream(base + ".svg") << drawingText;
    std::ofstream(base + ".session.json") << session;
    std::ostringstream out, err;
    simhost::app::Console console{out, err, false, SARVELLO_MODULE_PATH, ""};
    ASSERT_EQ(0, simhost::app::runProgram({"run", base + ".svg", "--session", base + ".session.json", "-o",
                                           base + ".replayed.svg", "--no-prefs"},
                                          console))
        << err.str();
    std::ifstream replayed(base + ".replayed.svg");
    EXPECT_EQ(live, std::string(std::istreambuf_iterator<char>(replayed), {}));
  }

  std::string drawingText;
  simhost::live::Channel channel;
  std::unique_ptr<simhost::live::LiveApp> app;
  std::unique_ptr<simhost::live::WebServer> server;
};

}  // namespace livetest

#endif
