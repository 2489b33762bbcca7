// A small HTTP/1.1 server for the page of sarvello-host open, on the loopback address only.
//
// One thread of its own does all the input and output, without blocking, for every connection at
// once, so that no connection can hold up another: a client that sends its request a byte at a
// time, one that never reads its answer and one that only holds its connection open each cost a
// slot and a buffer, never a thread. Every stage has a deadline (the request's head, its body,
// the answer's delivery, an idle connection), the number of connections is bounded (when it is
// reached, a connection that never carried the run's token makes room, oldest first, or else the
// oldest one idle between requests), and every body is counted as it arrives and stopped at its
// route's limit.
//
// The server asks its handler about each request twice. When the head has arrived, before a byte
// of the body is read, `route` decides: refuse (the answer goes out at once and the connection
// closes), answer quickly on the server's thread, answer on a worker thread (for work that may
// wait, such as a call to the host's user-interface thread), wait for something to happen
// without holding a thread (the page's next frame). A page that asks for its next frame only
// when it has shown the last one gets the newest there is: nothing is queued for a slow page.
#ifndef SARVELLO_SIMHOST_LIVE_HTTPSERVER_H
#define SARVELLO_SIMHOST_LIVE_HTTPSERVER_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace simhost::live {

struct HttpRequest {
  std::string method;  // "GET", "POST"
  std::string path;    // "/api/input", without the query
  std::vector<std::pair<std::string, std::string>> query;    // decoded parameters
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;

  // The header's value (name in lower case), or none.
  const std::string* header(std::string_view name) const;
  // The query parameter's value, or none.
  const std::string* param(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string type = "application/json";
  std::vector<std::pair<std::string, std::string>> headers;  // beside type and length
  std::string body;
};

// An answer that waits for something to happen (the page's next frame): the server asks it
// whether it is ready whenever it is woken (HttpServer::wake) or a second has passed.
class HttpWait {
 public:
  virtual ~HttpWait() = default;
  // The answer, once there is one; false while it waits.
  virtual bool ready(HttpResponse* response) = 0;
};

class HttpHandler {
 public:
  virtual ~HttpHandler() = default;

  struct Route {
    enum Kind { Refuse, Quick, Worker, Wait } kind = Refuse;
    std::size_t maxBody = 0;  // the most the body may hold, counted after any decoding
    HttpResponse refusal;     // Refuse: the answer
    // The request proved who sent it (it carried the run's token). When every connection is
    // taken, those that never did are the first closed to make room.
    bool trusted = false;
  };
  // When the request's head (method, path, query, headers) has arrived; its body is empty.
  virtual Route route(const HttpRequest& head) = 0;
  // The answer of a Quick route (on the server's thread) or a Worker route (on a worker thread,
  // where it may wait).
  virtual HttpResponse answer(const HttpRequest& request) = 0;
  // A Wait route's wait.
  virtual std::unique_ptr<HttpWait> openWait(const HttpRequest& request) = 0;
};

struct HttpLimits {
  std::size_t maxConnections = 128;
  std::size_t maxHead = 32 * 1024;  // request line and headers
  std::size_t maxQueued = 64;       // Worker requests waiting for a worker; more are refused (503)
  // The bodies being read, all together; the request whose body goes beyond is refused (503).
  std::size_t maxBodiesHeld = std::size_t{512} << 20;
  int workers = 4;
  double headSeconds = 5;    // from a request's first byte to the end of its head
  double idleSeconds = 15;   // a connection without a request in progress
  double bodySeconds = 60;   // from the end of the head to the end of the body
  double writeSeconds = 30;  // an answer not taken by its client
};

class HttpServer {
 public:
  HttpServer(HttpHandler& handler, HttpLimits limits = {});
  ~HttpServer();  // stops
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on 127.0.0.1 (port 0: a free one) and starts the server's thread and its workers.
  // False with *error when the port cannot be had.
  bool start(int port, std::string* error);
  // Closes every connection at once, stops the threads and waits for them. A worker that is
  // still busy is waited for; its handler must give up soon after the host quits.
  void stop();
  int port() const;

  // Waits may be ready: the server's thread asks them (any thread may call this).
  void wake();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The reason phrase of a status code ("Not Found").
const char* httpReason(int status);

}  // namespace simhost::live

#endif
