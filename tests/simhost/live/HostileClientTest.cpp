// The page's server against hostile and heavy clients, on the loopback address: malformed and
// deeply nested input, bodies beyond their limits, slow, idle and waiting connections, clients
// that never read, bogus alert answers. Whatever they send, the run goes on, the page is
// answered, nothing taken live fails to replay, and quitting is prompt.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "ServerFixture.h"

namespace {

using livetest::Connection;
using livetest::Response;

// Short deadlines, so that what a slow client holds is given up within the test.
class Hostile : public livetest::ServerTest {
 protected:
  simhost::live::HttpLimits limits() const override {
    simhost::live::HttpLimits l;
    l.headSeconds = 0.5;
    l.idleSeconds = 1;
    l.maxConnections = 64;
    l.maxBodiesHeld = std::size_t{4} << 20;
    return l;
  }
  std::string head(const std::string& method, const std::string& target, std::size_t length,
                   const std::string& extra = "") const {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server->port()) +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n" + extra + "\r\n";
  }
};

std::string error(const Response& r) {
  const auto body = nlohmann::json::parse(r.body, nullptr, false);
  return body.is_object() && body.contains("error") ? body["error"].get<std::string>() : r.body;
}

TEST_F(Hostile, MalformedInputIsRefusedAndTheRunGoesOn) {
  withClient([&] {
    const std::string deep = R"({"events":[{"type":"select","paths":)" + std::string(100000, '[') +
                             std::string(100000, ']') + "}]}";
    std::string many = R"({"events":[)";
    for (int k = 0; k < 1001; ++k) many += std::string(k ? "," : "") + R"({"type":"pointer","action":"move","px":[1,1]})";
    many += "]}";
    const std::vector<std::string> refused = {
        R"({"events":[{"type":5}]})",
        R"({"events":[{"type":null}]})",
        R"({"events":[{"type":"screen","width":"800","height":600}]})",
        R"({"events":[{"type":"screen","width":null,"height":600}]})",
        R"({"events":[{"type":"screen","width":4294967396,"height":600}]})",
        R"({"events":[{"type":"pointer","action":"drag","px":"here"}]})",
        R"([{"type":"pick-tool"}])",
        deep,
        many,
    };
    for (const std::string& body : refused) {
      const Response r = post(withToken("/api/input"), body);
      EXPECT_GE(r.status, 400) << body.substr(0, 80);
      EXPECT_LT(r.status, 500) << body.substr(0, 80) << ": " << r.body;
    }
    // A body beyond the input's limit is answered too, not cut off.
    EXPECT_EQ(413, post(withToken("/api/input"), std::string(2 << 20, ' ')).status);
    // What the page sent is shown short and escaped, never raw.
    const std::string name = "\x1b[2J" + std::string(512 << 10, 'x');
    const Response odd = post(withToken("/api/input"), R"({"events":[{"type":")" + name + R"("}]})");
    EXPECT_EQ(400, odd.status);
    EXPECT_EQ(std::string::npos, error(odd).find('\x1b'));
    EXPECT_LT(error(odd).size(), 300u) << error(odd).substr(0, 300);
    // The host is still there and takes the page's input.
    EXPECT_EQ(200, post(withToken("/api/input"), R"({"events":[{"type":"select","paths":"all"}]})").status);
  });
}

TEST_F(Hostile, WhatIsTakenLiveReplays) {
  withClient([&] {
    // Neither would replay: a value no field takes, an id that names nothing in the drawing.
    EXPECT_EQ(400, post(withToken("/api/input"), R"({"events":[{"type":"type-value","control":"Size","value":1e-320}]})").status);
    EXPECT_EQ(400, post(withToken("/api/input"), R"({"events":[{"type":"select","ids":["nothing"]}]})").status);
    EXPECT_EQ(200, post(withToken("/api/input"), R"({"events":[{"type":"type-value","control":"Size","value":250.5},
        {"type":"select","paths":"all"},{"type":"pick-tool"}]})").status);
  });
  const std::string session = app->saveSession().body;
  const std::string live = app->saveDrawing().body;
  end();
  expectReplaysTo(live, session, "hostile");
}

TEST_F(Hostile, BodiesAreRefusedBeforeTheyAreRead) {
  withClient([&] {
    // Without the token a request is answered when its head has come: its body is never read.
    Connection open(server->port());
    ASSERT_TRUE(open.send(head("POST", "/api/open", std::size_t{100} << 20)));
    EXPECT_EQ(403, open.receive(5).status);
    EXPECT_TRUE(open.closedWithin(5));
    // A length beyond the route's limit, a compressed body, a chunked one that grows past the
    // limit: refused, and the connection closed, long before the body could be had.
    Connection large(server->port());
    ASSERT_TRUE(large.send(head("POST", withToken("/api/open"), std::size_t{300} << 20)));
    EXPECT_EQ(413, large.receive(5).status);
    Connection gzip(server->port());
    ASSERT_TRUE(gzip.send(head("POST", withToken("/api/input"), 1000, "Content-Encoding: gzip\r\n")));
    EXPECT_EQ(415, gzip.receive(5).status);
    Connection chunked(server->port());
    ASSERT_TRUE(chunked.send("POST " + withToken("/api/input") + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                             std::to_string(server->port()) + "\r\nTransfer-Encoding: chunked\r\n\r\n"));
    const std::string piece = "10000\r\n" + std::string(0x10000, ' ') + "\r\n";
    for (int k = 0; k < 64 && chunked.send(piece); ++k) {
    }
    EXPECT_EQ(413, chunked.receive(5).status);
    // Large bodies arriving side by side are held to the server's total, not each to its own.
    Connection first(server->port()), second(server->port());
    const std::string half(std::size_t{5} << 19, ' ');  // 2.5 MB
    ASSERT_TRUE(first.send(head("POST", withToken("/api/open"), std::size_t{8} << 20) + half));
    EXPECT_EQ(0, first.receive(0.3).status);  // still being read
    ASSERT_TRUE(second.send(head("POST", withToken("/api/open"), std::size_t{8} << 20)));
    second.send(half);
    EXPECT_EQ(503, second.receive(5).status);
    // A drawing that is no SVG is named for what it is.
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\0');
    const Response picture = post(withToken("/api/open") + "&name=photo.png", png);
    EXPECT_EQ(422, picture.status);
    EXPECT_NE(std::string::npos, error(picture).find("not an SVG drawing")) << error(picture);
  });
}

TEST_F(Hostile, SlowIdleWaitingAndUnreadClientsDoNotStarveThePage) {
  withClient([&] {
    // The frame the page shows now, and its document: a request after it waits for the next.
    const Response shown = get(withToken("/api/frame"));
    ASSERT_EQ(200, shown.status);
    ASSERT_GE(shown.body.size(), 20u);
    double seq = 0, document = 0;
    std::memcpy(&seq, shown.body.data() + 4, 8);
    std::memcpy(&document, shown.body.data() + 12, 8);
    const std::string next = withToken("/api/frame") + "&after=" + std::to_string(static_cast<long>(seq)) +
                             "&document=" + std::to_string(static_cast<long>(document));
    std::vector<std::unique_ptr<Connection>> others;
    for (int k = 0; k < 200; ++k) others.push_back(std::make_unique<Connection>(server->port()));
    for (int k = 0; k < 16; ++k) {
      others.push_back(std::make_unique<Connection>(server->port()));
      others.back()->send("G");  // a head that never ends
    }
    for (int k = 0; k < 16; ++k) {
      others.push_back(std::make_unique<Connection>(server->port()));
      others.back()->send(livetest::request(server->port(), "GET", next));
    }
    // Strangers without the token ask for the page's script over and over and never read it.
    std::string script;
    for (int k = 0; k < 1500; ++k) script += livetest::request(server->port(), "GET", "/view.js");
    for (int k = 0; k < 80; ++k) {
      others.push_back(std::make_unique<Connection>(server->port(), 2048));
      others.back()->send(script);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));  // until the server is stuck on it
    }
    // The page is answered, and the slow heads are given up.
    EXPECT_EQ(200, get(withToken("/api/save/drawing")).status);
    EXPECT_TRUE(others[200]->closedWithin(3));
    EXPECT_EQ(400, get(withToken("/api/frame") + "&after=-1").status);
    // Quitting does not wait for any of them.
    const auto start = std::chrono::steady_clock::now();
    channel.quit();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  });
}

TEST_F(Hostile, OnlyTheAlertShownIsAnswered) {
  withClient([&] {
    EXPECT_EQ(400, post(withToken("/api/alert"), R"({"id":-1})").status);
    EXPECT_EQ(400, post(withToken("/api/alert"), R"({"id":1.9})").status);
    EXPECT_EQ(409, post(withToken("/api/alert"), R"({"id":18446744073709551615})").status);
    // A press with nothing selected: the plug-in's alert holds the input's answer until the
    // page answers that alert, and no other.
    Connection press(server->port());
    ASSERT_TRUE(press.send(livetest::request(server->port(), "POST", withToken("/api/input"),
        R"({"events":[{"type":"select","paths":"none"},{"type":"pick-tool"},{"type":"pointer","action":"down","px":[500,400]}]})")));
    EXPECT_EQ(0, press.receive(0.5).status);  // still waiting
    EXPECT_EQ(409, post(withToken("/api/alert"), R"({"id":2})").status);
    EXPECT_EQ(200, post(withToken("/api/alert"), R"({"id":1})").status);
    EXPECT_EQ(200, press.receive(10).status);
  });
}

}  // namespace
