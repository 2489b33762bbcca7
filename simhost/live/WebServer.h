// The web server of sarvello-host open: serves the page and hands the user's input to the
// host's user-interface thread through the Channel. It listens on the loopback address only and
// answers only requests that carry the run's token (in the address, or in the cookie the first
// page load sets) and name the served address as their Host, so that another site open in the
// user's browser cannot drive the host.
#ifndef SARVELLO_SIMHOST_LIVE_WEBSERVER_H
#define SARVELLO_SIMHOST_LIVE_WEBSERVER_H

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "live/Channel.h"

namespace simhost::live {

class LiveApp;

class WebServer {
 public:
  // `app` is only ever called on the user-interface thread, through the channel.
  WebServer(Channel& channel, LiveApp& app);
  ~WebServer();  // stops the server
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1 (port 0: a free one) and starts serving on threads of its own. False with
  // *error when the port cannot be had.
  bool start(int port, std::string* error);
  void stop();

  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // The page's address with the token: http://127.0.0.1:PORT/?token=...
  std::string address() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  Channel& channel_;
  LiveApp& app_;
  std::thread thread_;
  int port_ = 0;
  std::string token_;
};

// A fresh token: 32 hexadecimal digits from the system's random source.
std::string newToken();

// The page's files, embedded in the program: the names of all of them (index.html, style.css and
// the scripts, main.js the first to load), and one file's content and type, empty when unknown.
const std::vector<std::string>& pageFileNames();
std::string pageFile(const std::string& name, std::string* type);

}  // namespace simhost::live

#endif
