// The live host's threads: work queued by server threads runs on the user-interface thread, in
// order; a call that the user-interface thread never takes is withdrawn; the alert waits for its
// dismissal; and the server refuses what does not carry the run's token or names another host.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/Commands.h"
#include "live/Channel.h"
#include "live/LiveApp.h"
#include "live/WebServer.h"

namespace {

using simhost::live::Channel;

TEST(Channel, QueuedWorkRunsInOrderOnTheThreadThatAsksAndUntakenCallsAreWithdrawn) {
  Channel channel;
  std::vector<int> ran;
  const std::thread::id ui = std::this_thread::get_id();
  std::atomic<bool> otherThread{false};
  std::thread server([&] {
    for (int k = 0; k < 100; ++k) channel.post([&, k] {
      ran.push_back(k);
      if (std::this_thread::get_id() != ui) otherThread = true;
    });
  });
  server.join();
  EXPECT_EQ(100, channel.runQueued(0));
  ASSERT_EQ(100u, ran.size());
  for (int k = 0; k < 100; ++k) EXPECT_EQ(k, ran[k]);
  EXPECT_FALSE(otherThread);

  // Nobody runs the queue: the call gives up and its task never runs.
  bool called = false;
  EXPECT_FALSE(channel.call([&] { called = true; }, 0.05));
  channel.runQueued(0);
  EXPECT_FALSE(called);

  // A call that is taken is waited for.
  std::thread caller([&] { EXPECT_TRUE(channel.call([&] { called = true; }, 10)); });
  while (!called) channel.runQueued(0.01);
  caller.join();

  // The alert holds the user-interface thread until its dismissal; a stale one does nothing.
  std::thread dismisser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(channel.dismissAlert(1));
    EXPECT_FALSE(channel.dismissAlert(1));
  });
  channel.waitForAlert(1);
  dismisser.join();

  channel.quit();
  EXPECT_FALSE(channel.post([] {}));
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    simhost::live::LiveOptions options;
    options.pluginPath = SARVELLO_MODULE_PATH;
    app = std::make_unique<simhost::live::LiveApp>(options, channel);
    std::string error;
    const std::string drawing =
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"><path d="M10,50 L90,50"/></svg>)";
    ASSERT_TRUE(app->start(drawing, "line.svg", &error)) << error;
    drawingText = drawing;
    server = std::make_unique<simhost::live::WebServer>(channel, *app);
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
  void withClient(const std::function<void(httplib::Client&)>& client) {
    std::thread talk([&] {
      httplib::Client c("127.0.0.1", server->port());
      c.set_read_timeout(10, 0);
      client(c);
      channel.quit();
    });
    app->run();
    talk.join();
  }

  std::string withToken(const std::string& path) const { return path + "?token=" + server->token(); }

  std::string drawingText;
  Channel channel;
  std::unique_ptr<simhost::live::LiveApp> app;
  std::unique_ptr<simhost::live::WebServer> server;
};

TEST_F(Server, RefusesRequestsWithoutTheTokenForAnotherHostOrFromAnotherSite) {
  withClient([&](httplib::Client& c) {
    auto none = c.Get("/api/save/drawing");
    ASSERT_TRUE(none);
    EXPECT_EQ(403, none->status);
    auto wrong = c.Get("/api/save/drawing?token=" + std::string(32, '0'));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(403, wrong->status);
    auto elsewhere = c.Get(withToken("/api/save/drawing").c_str(), {{"Host", "attacker.example:80"}});
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(421, elsewhere->status);
    auto foreign = c.Post(withToken("/api/input").c_str(), {{"Origin", "https://attacker.example"}},
                          R"({"events":[{"type":"pick-tool"}]})", "application/json");
    ASSERT_TRUE(foreign);
    EXPECT_EQ(403, foreign->status);

    // The page sets the cookie; with it, the token need not be in the address.
    auto page = c.Get(withToken("/").c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    const std::string cookie = page->get_header_value("Set-Cookie");
    EXPECT_NE(std::string::npos, cookie.find("SameSite=Strict"));
    auto withCookie = c.Get("/api/save/drawing", {{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(withCookie);
    EXPECT_EQ(200, withCookie->status);
  });
  // Nothing refused reached the plug-in.
  EXPECT_TRUE(app->recording().events.empty() ||
              app->recording().events.back().type == simhost::session::Event::Type::Ticks);
}

TEST_F(Server, InputReachesThePlugInInOrderAndTheRecordingHoldsItsClock) {
  withClient([&](httplib::Client& c) {
    const std::string events = R"({"events":[
      {"type":"select","paths":"all"}, {"type":"pick-tool"},
      {"type":"pointer","action":"down","px":[500,400]},
      {"type":"pointer","action":"drag","px":[520,410]},
      {"type":"pointer","action":"up","px":[540,420]}]})";
    auto res = c.Post(withToken("/api/input").c_str(), events, "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(200, res->status) << res->body;
    auto bad = c.Post(withToken("/api/input").c_str(), R"({"events":[{"type":"idle","ticks":3}]})", "application/json");
    ASSERT_TRUE(bad);
    EXPECT_EQ(400, bad->status);
  });
  std::vector<std::string> kinds;
  for (const auto& e : app->recording().events) {
    if (e.type == simhost::session::Event::Type::Ticks) continue;
    kinds.push_back(simhost::session::typeName(e.type));
    if (e.type != simhost::session::Event::Type::Select) {
      EXPECT_TRUE(e.clock.has_value());
    }
  }
  EXPECT_EQ((std::vector<std::string>{"select", "pick-tool", "pointer", "pointer", "pointer"}), kinds);
  // The window pixel became the artwork point under it (the view is centred on the origin).
  const auto& events = app->recording().events;
  const auto down = std::find_if(events.begin(), events.end(),
                                 [](const auto& e) { return e.type == simhost::session::Event::Type::Pointer; });
  ASSERT_NE(down, events.end());
  EXPECT_EQ(0.0, down->at.x);
  EXPECT_EQ(0.0, down->at.y);
}

// Drags faster than the plug-in's throttle, ticks between them and a panel change: the recorded
// session replays to the same drawing, because the replay gives the module the clock readings and
// the ticks of the live run.
TEST_F(Server, ARecordedRunReplaysToTheSameDrawing) {
  withClient([&](httplib::Client& c) {
    std::string events = R"({"events":[{"type":"select","paths":"all"},{"type":"pick-tool"},
      {"type":"pointer","action":"down","px":[450,400]})";
    for (int k = 1; k <= 40; ++k) {
      events += R"(,{"type":"pointer","action":"drag","px":[)" + std::to_string(450 + 3 * k) + ",400]}";
    }
    events += R"(,{"type":"pointer","action":"up","px":[570,400]}]})";
    for (const std::string& body :
         {events, std::string(R"({"events":[{"type":"choose","control":"Grid Res","preset":2}]})"), events}) {
      auto res = c.Post(withToken("/api/input").c_str(), body, "application/json");
      ASSERT_TRUE(res && res->status == 200);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    c.Post(withToken("/api/input").c_str(), R"({"events":[{"type":"leave-tool"}]})", "application/json");
  });
  const std::string live = app->saveDrawing().body;
  const std::string session = app->saveSession().body;
  ASSERT_NE(live, drawingText);
  end();

  const std::string dir = ::testing::TempDir();
  std::ofstream(dir + "/line.svg") << drawingText;
  std::ofstream(dir + "/line.session.json") << session;
  std::ostringstream out, err;
  simhost::app::Console console{out, err, false, SARVELLO_MODULE_PATH, ""};
  ASSERT_EQ(0, simhost::app::runProgram({"run", dir + "/line.svg", "--session", dir + "/line.session.json", "-o",
                                         dir + "/line.replayed.svg", "--no-prefs"},
                                        console))
      << err.str();
  std::ifstream replayed(dir + "/line.replayed.svg");
  EXPECT_EQ(live, std::string(std::istreambuf_iterator<char>(replayed), {}));
}

}  // namespace
