// The web server of sarvello-host open: serves the page and hands the user's input to the
// host's user-interface thread through the Channel. It listens on the loopback address only, and
// answers only requests that name the served address as their Host, come from no other site, and
// carry the run's token (the page keeps it from its address and sends it with every request; the page's static script and style alone need none). A request that fails these checks
// is refused as soon as its head has arrived, before any of its body is read.
#ifndef SARVELLO_SIMHOST_LIVE_WEBSERVER_H
#define SARVELLO_SIMHOST_LIVE_WEBSERVER_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Files.h"
#include "live/Channel.h"
#include "live/HttpServer.h"

namespace simhost::live {

class LiveApp;
struct Reply;

class WebServer : private HttpHandler {
 public:
  // `app` is only ever called on the user-interface thread, through the channel.
  WebServer(Channel& channel, LiveApp& app, HttpLimits limits = {});
  ~WebServer() override;  // stops the server
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1 (port 0: a free one) and starts serving on threads of its own. False with
  // *error when the port cannot be had.
  bool start(int port, std::string* error);
  // Closes every connection at once and stops the server's threads.
  void stop();

  int port() const { return server_.port(); }
  const std::string& token() const { return token_; }
  // The page's address with the token: http://127.0.0.1:PORT/?token=...
  std::string address() const;

  // The most an uploaded drawing and the page's input may hold.
  static constexpr std::size_t kMaxUpload = kMaxFileBytes;
  static constexpr std::size_t kMaxInput = std::size_t{1} << 20;

 private:
  Route route(const HttpRequest& head) override;
  HttpResponse answer(const HttpRequest& request) override;
  std::unique_ptr<HttpWait> openWait(const HttpRequest& request) override;
  // Runs `work` on the user-interface thread, waiting for it a while; 503 when it was not taken.
  HttpResponse onUiThread(const std::function<Reply()>& work);

  Channel& channel_;
  LiveApp& app_;
  std::string token_;
  HttpServer server_;
};

// A fresh token: 32 hexadecimal digits from the system's random source.
std::string newToken();

// The page's files, embedded in the program: the names of all of them (index.html, style.css and
// the scripts, main.js the first to load), and one file's content and type, empty when unknown.
const std::vector<std::string>& pageFileNames();
std::string pageFile(const std::string& name, std::string* type);

}  // namespace simhost::live

#endif
