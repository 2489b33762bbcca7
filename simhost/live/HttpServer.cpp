#include "live/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "live/HttpParse.h"

namespace simhost::live {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// How long a connection refused or closed by the server waits for its client to close.
constexpr double kLingerSeconds = 2;

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

struct Connection {
  // Head: waiting for a request's head (or idle); Body: reading its body; Answering: ready to
  // be answered; Waiting: a worker or a wait is making the answer; Writing: the answer goes out;
  // Closing: done, waiting for the client to close.
  enum class State { Head, Body, Answering, Waiting, Writing, Closing };
  int fd = -1;
  std::uint64_t id = 0;
  State state = State::Head;
  Clock::time_point since;     // when the connection began to wait for what it waits for now
  Clock::time_point deadline;  // when it is given up
  std::string in;              // bytes read and not yet used
  std::string out;             // bytes to write
  std::size_t sent = 0;        // of out
  bool closeAfterWrite = false;
  bool keepAlive = true;       // the client's wish for the request in progress
  bool trusted = false;        // a request on it carried the run's token
  bool working = false;        // a worker is answering its request
  HttpRequest request;
  HttpHandler::Route route;
  BodyReader body;
  std::unique_ptr<HttpWait> wait;
};

}  // namespace

struct HttpServer::Impl {
  HttpHandler& handler;
  HttpLimits limits;
  int listener = -1;
  int wakeFd = -1;
  int port = 0;
  std::thread io;
  std::vector<std::thread> workers;
  std::map<std::uint64_t, Connection> connections;
  std::uint64_t nextId = 1;
  // Connections whose client sent its next request before the last answer went out: each is
  // taken up once a turn of the loop, so that no client's pipeline holds the thread.
  std::vector<std::uint64_t> pipelined;

  // Worker requests, and the answers that come back.
  std::mutex mutex;
  std::condition_variable work;
  std::deque<std::pair<std::uint64_t, HttpRequest>> queued;
  std::deque<std::pair<std::uint64_t, HttpResponse>> answered;
  bool stopping = false;

  Impl(HttpHandler& h, HttpLimits l) : handler(h), limits(l) {}

  void notify() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
  }

  // ---- The server's thread --------------------------------------------------------------------

  void loop() {
    std::vector<pollfd> polled;
    std::vector<std::uint64_t> ids;
    while (true) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) break;
      }
      polled.clear();
      ids.clear();
      polled.push_back({listener, POLLIN, 0});
      polled.push_back({wakeFd, POLLIN, 0});
      Clock::time_point soonest = after(1.0);
      for (auto& [id, c] : connections) {
        short events = 0;
        if (c.state == Connection::State::Head || c.state == Connection::State::Body ||
            c.state == Connection::State::Closing)
          events |= POLLIN;
        if (c.sent < c.out.size()) events |= POLLOUT;
        polled.push_back({c.fd, events, 0});
        ids.push_back(id);
        soonest = std::min(soonest, c.deadline);
      }
      if (!pipelined.empty()) soonest = Clock::now();
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count();
      const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(std::clamp<long long>(wait + 1, 0, 1000)));
      if (ready < 0 && errno != EINTR) break;

      if (polled[1].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
      }
      takeAnswers();
      for (std::size_t k = 0; k < ids.size(); ++k) {
        const short revents = polled[k + 2].revents;
        if (revents == 0) continue;
        auto it = connections.find(ids[k]);
        if (it == connections.end()) continue;
        if ((revents & (POLLERR | POLLNVAL)) != 0 ||
            ((revents & POLLHUP) != 0 && it->second.state != Connection::State::Head &&
             it->second.state != Connection::State::Body)) {
          // The client has gone: whatever was being made for it is dropped.
          close(it->first);
          continue;
        }
        if ((revents & POLLOUT) != 0 && !write(it->second)) continue;
        if ((revents & (POLLIN | POLLHUP)) != 0) read(it->second);
      }
      takePipelined();
      if (polled[0].revents != 0) accept();
      feedWaits();
      expire();
    }
    for (auto& [id, c] : connections) ::close(c.fd);
    connections.clear();
  }

  void accept() {
    while (true) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      if (connections.size() >= limits.maxConnections && !makeRoom()) {
        ::close(fd);
        continue;
      }
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      Connection c;
      c.fd = fd;
      c.id = nextId++;
      c.since = Clock::now();
      c.deadline = after(limits.idleSeconds);
      connections.emplace(c.id, std::move(c));
    }
  }

  // Closes a connection so that a new one can come in: one already done, else the oldest that
  // never carried the run's token (a client of the page's files, or a stranger, whatever it is
  // doing), else the oldest idle between requests or slow to send one. False when every
  // connection is the page's and busy with a request.
  bool makeRoom() {
    Connection* stranger = nullptr;
    Connection* idle = nullptr;
    for (auto& [id, c] : connections) {
      if (c.state == Connection::State::Closing) {
        close(id);
        return true;
      }
      if (c.working) continue;  // its worker will look for it
      if (!c.trusted && (stranger == nullptr || c.since < stranger->since)) stranger = &c;
      if (c.state == Connection::State::Head && (idle == nullptr || c.since < idle->since)) idle = &c;
    }
    Connection* chosen = stranger != nullptr ? stranger : idle;
    if (chosen == nullptr) return false;
    close(chosen->id);
    return true;
  }

  void close(std::uint64_t id) {
    auto it = connections.find(id);
    if (it == connections.end()) return;
    ::close(it->second.fd);
    connections.erase(it);
  }

  void read(Connection& c) {
    char buffer[64 * 1024];
    if (c.state != Connection::State::Head && c.state != Connection::State::Body &&
        c.state != Connection::State::Closing)
      return;  // a request is being answered: what the client sends next waits its turn
    if (c.state == Connection::State::Closing) {
      // What the client still sends after its answer is dropped until it closes its side, so
      // that the answer is not lost to a reset.
      while (true) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
          close(c.id);
          return;
        }
        if (n < 0) return;
      }
    }
    while (true) {
      const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        // The client has gone (or closed its side): nothing more will come.
        if (c.state == Connection::State::Head || c.state == Connection::State::Body) close(c.id);
        return;
      }
      if (n < 0) break;
      if (c.state == Connection::State::Head && c.in.empty()) {
        c.since = Clock::now();
        c.deadline = after(limits.headSeconds);
      }
      c.in.append(buffer, static_cast<std::size_t>(n));
      // Enough is held to work on: a head cannot be longer, a body is taken as it comes.
      if (c.in.size() > limits.maxHead + sizeof buffer) break;
    }
    proceed(c);
  }

  // Works on what has arrived: the head, then the body, then the answer.
  void proceed(Connection& c) {
    const std::uint64_t id = c.id;
    if (c.state == Connection::State::Head && !readHead(c)) return;
    if (connections.count(id) == 0) return;
    if (c.state == Connection::State::Body && !readBody(c)) return;
    if (connections.count(id) == 0) return;
    if (c.state == Connection::State::Answering && c.out.empty()) dispatch(c);
  }

  // False while the head is incomplete or when the request ended there.
  bool readHead(Connection& c) {
    std::size_t end = 0;
    HttpHeadResult head = parseHead(c.in, limits.maxHead, &c.request, &end);
    if (head.status == HttpHeadResult::Incomplete) return false;
    if (head.status == HttpHeadResult::Bad) {
      refuse(c, head.error, head.message);
      return false;
    }
    c.in.erase(0, end);
    c.keepAlive = wantsKeepAlive(c.request);
    c.route = handler.route(c.request);
    if (c.route.trusted) c.trusted = true;
    if (c.route.kind == HttpHandler::Route::Refuse) {
      respond(c, c.route.refusal, true);
      return false;
    }
    std::string why;
    if (!c.body.begin(c.request, c.route.maxBody, &why)) {
      refuse(c, c.body.refusal(), why);
      return false;
    }
    if (c.body.expectsMore()) {
      if (const std::string* expect = c.request.header("expect"); expect != nullptr && *expect == "100-continue") {
        c.out = "HTTP/1.1 100 Continue\r\n\r\n";
        c.sent = 0;
      }
      c.state = Connection::State::Body;
      c.deadline = after(limits.bodySeconds);
    } else {
      c.state = Connection::State::Answering;
    }
    return true;
  }

  bool readBody(Connection& c) {
    std::string why;
    const BodyReader::Result r = c.body.take(&c.in, &c.request.body, &why);
    if (r == BodyReader::Result::More) {
      // Each body is held to its route's limit; all of them together to the server's.
      std::size_t held = 0;
      for (const auto& [id, other] : connections)
        if (other.state == Connection::State::Body) held += other.request.body.size();
      if (held > limits.maxBodiesHeld) {
        refuse(c, 503, "the host is taking in too many large requests at once; try again when they are done");
      }
      return false;
    }
    if (r == BodyReader::Result::Bad) {
      refuse(c, c.body.refusal(), why);
      return false;
    }
    c.state = Connection::State::Answering;
    return true;
  }

  void dispatch(Connection& c) {
    switch (c.route.kind) {
      case HttpHandler::Route::Quick:
        respond(c, answerSafely(c.request), false);
        break;
      case HttpHandler::Route::Worker: {
        std::lock_guard<std::mutex> lock(mutex);
        if (queued.size() >= limits.maxQueued) {
          HttpResponse busy;
          busy.status = 503;
          busy.body = R"({"error":"the host has too many requests waiting"})";
          respond(c, busy, true);
          return;
        }
        queued.emplace_back(c.id, std::move(c.request));
        c.request = HttpRequest{};
        c.state = Connection::State::Waiting;
        c.working = true;
        // Its worker answers; the deadline is the worker's business.
        c.deadline = Clock::time_point::max();
        work.notify_one();
        break;
      }
      case HttpHandler::Route::Wait:
        try {
          c.wait = handler.openWait(c.request);
        } catch (const std::exception&) {
          c.wait.reset();
        }
        if (!c.wait) {
          refuse(c, 500, "the host cannot answer this");
          return;
        }
        c.state = Connection::State::Waiting;
        c.deadline = Clock::time_point::max();
        feedWait(c);
        break;
      case HttpHandler::Route::Refuse:
        break;
    }
  }

  HttpResponse answerSafely(const HttpRequest& request) {
    try {
      return handler.answer(request);
    } catch (const std::exception& e) {
      HttpResponse r;
      r.status = 500;
      r.body = R"({"error":"the host could not answer"})";
      return r;
    }
  }

  // A waiting answer that is ready goes out as any other answer.
  void feedWait(Connection& c) {
    HttpResponse response;
    bool ready = false;
    try {
      ready = c.wait->ready(&response);
    } catch (const std::exception&) {
      response = HttpResponse{500, "application/json", {}, R"({"error":"the host could not answer"})"};
      ready = true;
    }
    if (!ready) return;
    c.wait.reset();
    respond(c, response, false);
  }

  void feedWaits() {
    std::vector<std::uint64_t> waiting;
    for (auto& [id, c] : connections)
      if (c.wait) waiting.push_back(id);
    for (std::uint64_t id : waiting) {
      auto it = connections.find(id);
      if (it != connections.end() && it->second.wait) feedWait(it->second);
    }
  }

  void refuse(Connection& c, int status, const std::string& why) {
    HttpResponse r;
    r.status = status;
    r.body = "{\"error\":" + jsonString(why) + "}";
    respond(c, r, true);
  }

  void respond(Connection& c, const HttpResponse& response, bool closeAfter) {
    const bool keepAlive = !closeAfter && c.keepAlive;
    c.out += formatHead(response, response.body.size(), !keepAlive);
    if (response.status != 204) c.out += response.body;
    c.closeAfterWrite = !keepAlive;
    c.state = Connection::State::Writing;
    c.deadline = after(limits.writeSeconds);
    write(c);
  }

  // Sends what it can. False when the connection was closed.
  bool write(Connection& c) {
    while (c.sent < c.out.size()) {
      const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
        close(c.id);
        return false;
      }
      c.sent += static_cast<std::size_t>(n);
    }
    c.out.clear();
    c.sent = 0;
    if (c.state != Connection::State::Writing) return true;
    if (c.closeAfterWrite) {
      // Our side is done; the connection goes once the client closes its side, or soon.
      ::shutdown(c.fd, SHUT_WR);
      c.state = Connection::State::Closing;
      c.deadline = after(kLingerSeconds);
      return true;
    }
    // Ready for the next request on the same connection, which may have arrived already.
    c.state = Connection::State::Head;
    c.request = HttpRequest{};
    c.body = BodyReader{};
    c.keepAlive = true;
    c.since = Clock::now();
    c.deadline = after(c.in.empty() ? limits.idleSeconds : limits.headSeconds);
    if (!c.in.empty()) pipelined.push_back(c.id);
    return true;
  }

  // The next request of each connection that had one waiting, one each.
  void takePipelined() {
    std::vector<std::uint64_t> now;
    now.swap(pipelined);
    for (std::uint64_t id : now) {
      auto it = connections.find(id);
      if (it != connections.end() && it->second.state == Connection::State::Head) proceed(it->second);
    }
  }

  void takeAnswers() {
    std::deque<std::pair<std::uint64_t, HttpResponse>> done;
    {
      std::lock_guard<std::mutex> lock(mutex);
      done.swap(answered);
    }
    for (auto& [id, response] : done) {
      auto it = connections.find(id);
      if (it == connections.end()) continue;  // the client went away meanwhile
      it->second.working = false;
      respond(it->second, response, false);
    }
  }

  void expire() {
    const Clock::time_point now = Clock::now();
    std::vector<std::uint64_t> late;
    for (const auto& [id, c] : connections)
      if (c.deadline <= now) late.push_back(id);
    for (std::uint64_t id : late) close(id);
  }

  // ---- Workers --------------------------------------------------------------------------------

  void serve() {
    while (true) {
      std::pair<std::uint64_t, HttpRequest> job;
      {
        std::unique_lock<std::mutex> lock(mutex);
        work.wait(lock, [&] { return stopping || !queued.empty(); });
        if (stopping) return;
        job = std::move(queued.front());
        queued.pop_front();
      }
      HttpResponse response = answerSafely(job.second);
      {
        std::lock_guard<std::mutex> lock(mutex);
        answered.emplace_back(job.first, std::move(response));
      }
      notify();
    }
  }
};

HttpServer::HttpServer(HttpHandler& handler, HttpLimits limits)
    : impl_(std::make_unique<Impl>(handler, limits)) {}

HttpServer::~HttpServer() { stop(); }

int HttpServer::port() const { return impl_->port; }

bool HttpServer::start(int port, std::string* error) {
  Impl& s = *impl_;
  s.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  s.wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (s.listener < 0 || s.wakeFd < 0) {
    *error = std::string("cannot make a socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  ::setsockopt(s.listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::bind(s.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s.listener, 128) != 0) {
    *error = port == 0 ? "cannot listen on 127.0.0.1"
                       : "cannot listen on 127.0.0.1:" + std::to_string(port) + " (is it taken?)";
    ::close(s.listener);
    s.listener = -1;
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(s.listener, reinterpret_cast<sockaddr*>(&address), &length);
  s.port = ntohs(address.sin_port);
  setNonBlocking(s.listener);
  s.io = std::thread([&s] { s.loop(); });
  for (int k = 0; k < s.limits.workers; ++k) s.workers.emplace_back([&s] { s.serve(); });
  return true;
}

void HttpServer::stop() {
  Impl& s = *impl_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.stopping = true;
  }
  s.work.notify_all();
  if (s.wakeFd >= 0) s.notify();
  if (s.io.joinable()) s.io.join();
  for (std::thread& t : s.workers) t.join();
  s.workers.clear();
  if (s.listener >= 0) ::close(s.listener);
  if (s.wakeFd >= 0) ::close(s.wakeFd);
  s.listener = s.wakeFd = -1;
}

void HttpServer::wake() {
  if (impl_->wakeFd >= 0) impl_->notify();
}

}  // namespace simhost::live
