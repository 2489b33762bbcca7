// The live host's threads: work queued by server threads runs on the user-interface thread, in
// order; a call that the user-interface thread never takes is withdrawn; the alert waits for its
// dismissal; and the server refuses what does not carry the run's token or names another host.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "ServerFixture.h"
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
    // Only the alert shown now is dismissed, once.
    while (!channel.dismissAlert(1)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(channel.dismissAlert(1));
  });
  channel.waitForAlert(1);
  dismisser.join();

  channel.quit();
  EXPECT_FALSE(channel.post([] {}));
}

using Server = livetest::ServerTest;

TEST_F(Server, RefusesRequestsWithoutTheTokenForAnotherHostOrFromAnotherSite) {
  withClient([&] {
    EXPECT_EQ(403, get("/api/save/drawing").status);
    EXPECT_EQ(403, get("/api/save/drawing?token=" + std::string(32, '0')).status);
    EXPECT_EQ(421, get(withToken("/api/save/drawing"), {{"Host", "attacker.example:80"}}).status);
    EXPECT_EQ(403, post(withToken("/api/input"), R"({"events":[{"type":"pick-tool"}]})",
                        {{"Origin", "https://attacker.example"}}).status);
    // The token travels with each request, never in a cookie: another server on this address
    // would be sent a cookie, and another run in the same browser would overwrite it.
    const livetest::Response page = get(withToken("/"));
    EXPECT_EQ(200, page.status);
    EXPECT_EQ(0u, page.headers.count("set-cookie"));
    EXPECT_EQ(403, get("/api/save/drawing", {{"Cookie", "sarvello_token=" + server->token()}}).status);
    EXPECT_EQ(200, get("/api/save/drawing", {{"X-Sarvello-Token", server->token()}}).status);
  });
  // Nothing refused reached the plug-in.
  const auto& recording = app->recording();
  EXPECT_TRUE(recording.size() == 0 ||
              recording.event(recording.size() - 1).type == simhost::session::Event::Type::Ticks);
}

TEST_F(Server, InputReachesThePlugInInOrderAndTheRecordingHoldsItsClock) {
  withClient([&] {
    const std::string events = R"({"events":[
      {"type":"select","paths":"all"}, {"type":"pick-tool"},
      {"type":"pointer","action":"down","px":[500,400]},
      {"type":"pointer","action":"drag","px":[520,410]},
      {"type":"pointer","action":"up","px":[540,420]}]})";
    const livetest::Response res = post(withToken("/api/input"), events);
    EXPECT_EQ(200, res.status) << res.body;
    EXPECT_EQ(400, post(withToken("/api/input"), R"({"events":[{"type":"idle","ticks":3}]})").status);
  });
  std::vector<std::string> kinds;
  std::vector<simhost::session::Event> events;
  for (std::size_t k = 0; k < app->recording().size(); ++k) events.push_back(app->recording().event(k));
  for (const auto& e : events) {
    if (e.type == simhost::session::Event::Type::Ticks) continue;
    kinds.push_back(simhost::session::typeName(e.type));
    if (e.type != simhost::session::Event::Type::Select) {
      EXPECT_TRUE(e.clock.has_value());
    }
  }
  EXPECT_EQ((std::vector<std::string>{"select", "pick-tool", "pointer", "pointer", "pointer"}), kinds);
  // The window pixel became the artwork point under it (the view is centred on the origin).
  const auto down = std::find_if(events.begin(), events.end(),
                                 [](const auto& e) { return e.type == simhost::session::Event::Type::Pointer; });
  ASSERT_NE(down, events.end());
  EXPECT_EQ(0.0, down->at.x);
  EXPECT_EQ(0.0, down->at.y);
}

// A frame as the page reads it: whether it is whole, its number and document, the selection when
// sent, and the places of the shapes sent.
struct PageFrame {
  bool full = false;
  std::uint64_t seq = 0, document = 0;
  std::string selection;
  std::vector<std::uint32_t> shapes;
};

PageFrame readFrame(const livetest::Response& r) {
  PageFrame f;
  EXPECT_EQ(200, r.status);
  if (r.status != 200) return f;
  const std::string& b = r.body;
  auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
  };
  auto f64 = [&](std::size_t at) {
    double v = 0;
    std::memcpy(&v, b.data() + at, 8);
    return static_cast<std::uint64_t>(v);
  };
  auto text = [&](std::size_t* at) {
    const std::uint32_t n = u32(*at);
    std::string t = b.substr(*at + 4, n);
    *at = (*at + 4 + n + 3) & ~std::size_t{3};
    return t;
  };
  f.full = b[0] == 1;
  f.seq = f64(4);
  f.document = f64(12);
  std::size_t at = 24;
  text(&at);  // the state
  f.selection = text(&at);
  const std::uint32_t sent = u32(at);
  at += 4;
  for (std::uint32_t k = 0; k < sent; ++k) {
    f.shapes.push_back(u32(at));
    at += 4;
    text(&at);
  }
  EXPECT_EQ(b.size(), at);
  return f;
}

TEST_F(Server, APageIsSentWhatChangedSinceTheFrameItShows) {
  withClient([&] {
    const PageFrame first = readFrame(get(withToken("/api/frame")));
    EXPECT_TRUE(first.full);
    EXPECT_EQ(std::vector<std::uint32_t>{0}, first.shapes);
    EXPECT_NE(std::string::npos, first.selection.find("\"selected\":[0]"));
    const std::string after = withToken("/api/frame") + "&document=" + std::to_string(first.document) + "&after=";
    // A panel's change: a new frame, without the shape or the selection, which did not change.
    ASSERT_EQ(200, post(withToken("/api/input"), R"({"events":[{"type":"choose","control":"Grid Res","preset":2}]})").status);
    const PageFrame panel = readFrame(get(after + std::to_string(first.seq)));
    EXPECT_FALSE(panel.full);
    EXPECT_GT(panel.seq, first.seq);
    EXPECT_TRUE(panel.shapes.empty());
    EXPECT_TRUE(panel.selection.empty());
    // A page that shows an older frame gets the shape it has not seen.
    ASSERT_EQ(200, post(withToken("/api/input"), R"({"events":[{"type":"pick-tool"},
      {"type":"pointer","action":"down","px":[500,360]}]})").status);
    for (int y = 370; y <= 440; y += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const std::string drag = R"({"events":[{"type":"pointer","action":"drag","px":[500,)" + std::to_string(y) + "]}]}";
      ASSERT_EQ(200, post(withToken("/api/input"), drag).status);
    }
    ASSERT_EQ(200, post(withToken("/api/input"), R"({"events":[{"type":"pointer","action":"up","px":[500,440]}]})").status);
    // The flow carries the points on the ticks that follow; however slow the build, the shape
    // reaches the page within seconds.
    PageFrame stirred;
    for (int tries = 0; tries < 200 && stirred.shapes.empty(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      stirred = readFrame(get(after + std::to_string(panel.seq)));
    }
    EXPECT_EQ(std::vector<std::uint32_t>{0}, stirred.shapes);
    // A page of another document is sent everything.
    EXPECT_TRUE(readFrame(get(withToken("/api/frame") + "&after=" + std::to_string(stirred.seq) + "&document=" +
                              std::to_string(first.document + 1))).full);
  });
}

// Drags faster than the plug-in's throttle, ticks between them and a panel change: the recorded
// session replays to the same drawing, because the replay gives the module the clock readings and
// the ticks of the live run.
TEST_F(Server, ARecordedRunReplaysToTheSameDrawing) {
  withClient([&] {
    std::string events = R"({"events":[{"type":"select","paths":"all"},{"type":"pick-tool"},
      {"type":"pointer","action":"down","px":[450,400]})";
    for (int k = 1; k <= 40; ++k) {
      events += R"(,{"type":"pointer","action":"drag","px":[)" + std::to_string(450 + 3 * k) + ",400]}";
    }
    events += R"(,{"type":"pointer","action":"up","px":[570,400]}]})";
    for (const std::string& body :
         {events, std::string(R"({"events":[{"type":"choose","control":"Grid Res","preset":2}]})"), events}) {
      ASSERT_EQ(200, post(withToken("/api/input"), body).status);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    post(withToken("/api/input"), R"({"events":[{"type":"leave-tool"}]})");
  });
  const std::string live = app->saveDrawing().body;
  const std::string session = app->saveSession().body;
  ASSERT_NE(live, drawingText);
  end();

  expectReplaysTo(live, session, "line");
}

}  // namespace
