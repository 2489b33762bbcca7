#include "live/WebServer.h"

#include <httplib.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "live/LiveApp.h"

namespace simhost::live {

namespace {

using nlohmann::json;

constexpr const char* kCookie = "sarvello_token";
// How long a request waits for the user-interface thread (which may be in a modal alert).
constexpr double kCallSeconds = 30;
// Uploaded drawings: as large as the importer takes.
constexpr std::size_t kMaxUpload = std::size_t{256} << 20;

constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'self'; connect-src 'self'; img-src 'self' data:; "
    "style-src 'self' 'unsafe-inline'; font-src 'self' data:; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

// Compares without stopping at the first difference, so that the time taken tells nothing.
bool sameSecret(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t k = 0; k < a.size(); ++k) diff |= static_cast<unsigned char>(a[k] ^ b[k]);
  return diff == 0;
}

std::string cookieValue(const httplib::Request& req, const std::string& name) {
  const std::string header = req.get_header_value("Cookie");
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string part = header.substr(at, end - at);
    const std::size_t lead = part.find_first_not_of(' ');
    part = lead == std::string::npos ? std::string() : part.substr(lead);
    if (part.compare(0, name.size() + 1, name + "=") == 0) return part.substr(name.size() + 1);
    at = end + 1;
  }
  return {};
}

// A download's name as a header can carry it: what a file name may hold, the rest replaced.
std::string safeFilename(const std::string& name) {
  std::string out;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_' || c == ' ';
    out += plain ? c : '_';
  }
  return out.empty() ? std::string("download") : out;
}

void send(httplib::Response& res, const Reply& reply) {
  res.status = reply.status;
  if (!reply.filename.empty()) {
    res.set_header("Content-Disposition", "attachment; filename=\"" + safeFilename(reply.filename) + "\"");
  }
  res.set_header("Cache-Control", "no-store");
  res.set_content(reply.body, reply.type.c_str());
}

void refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(json{{"error", why}}.dump(), "application/json");
}

// What a page's stream has been sent so far.
struct Stream {
  std::uint64_t seq = 0;
  std::uint64_t document = 0;
  std::vector<std::shared_ptr<const std::string>> shapes;
};

// The message for a frame: the state whole, and the path data of the shapes whose data is not
// what this stream sent last (all of them on a new stream or a new document).
std::string frameMessage(const Frame& frame, Stream& stream) {
  const bool full = stream.document != frame.document;
  std::string out = "data: {\"seq\":" + std::to_string(frame.seq) + ",\"document\":" +
                    std::to_string(frame.document) + ",\"full\":" + (full ? "true" : "false") +
                    ",\"count\":" + std::to_string(frame.shapes.size()) + ",\"shapes\":{";
  bool first = true;
  for (std::size_t k = 0; k < frame.shapes.size(); ++k) {
    if (!full && k < stream.shapes.size() && stream.shapes[k] == frame.shapes[k]) continue;
    if (!first) out += ',';
    first = false;
    out += '"' + std::to_string(k) + "\":" + json(*frame.shapes[k]).dump();
  }
  out += "},\"state\":" + frame.state + "}\n\n";
  stream.seq = frame.seq;
  stream.document = frame.document;
  stream.shapes = frame.shapes;
  return out;
}

}  // namespace

std::string newToken() {
  std::random_device source;
  std::string token;
  char digit[3];
  for (int k = 0; k < 16; ++k) {
    std::snprintf(digit, sizeof digit, "%02x", static_cast<unsigned>(source() & 0xFF));
    token += digit;
  }
  return token;
}

struct WebServer::Impl {
  httplib::Server server;
};

WebServer::WebServer(Channel& channel, LiveApp& app)
    : impl_(std::make_unique<Impl>()), channel_(channel), app_(app), token_(newToken()) {}

WebServer::~WebServer() { stop(); }

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

bool WebServer::start(int port, std::string* error) {
  httplib::Server& server = impl_->server;
  // Streams hold a thread each; room for several pages besides their requests.
  server.new_task_queue = [] { return new httplib::ThreadPool(16); };
  server.set_payload_max_length(kMaxUpload);
  // Frames are small writes that must leave at once, not wait to be gathered.
  server.set_tcp_nodelay(true);

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const std::string served = "127.0.0.1:" + std::to_string(port_);
    if (req.get_header_value("Host") != served) {
      refuse(res, 421, "this server answers only requests for " + served);
      return httplib::Server::HandlerResponse::Handled;
    }
    // A page of another site may send requests here, but its Origin gives it away.
    if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + served) {
      refuse(res, 403, "requests from other sites are refused");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string given = req.has_param("token") ? req.get_param_value("token") : cookieValue(req, kCookie);
    if (!sameSecret(given, token_)) {
      refuse(res, 403, "this request does not carry the run's token");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  const auto file = [this](const std::string& name) {
    return [this, name](const httplib::Request&, httplib::Response& res) {
      std::string type;
      const std::string body = pageFile(name, &type);
      res.set_header("Cache-Control", "no-store");
      // The token travels in the cookie from now on; it is strict, so other sites' requests
      // go without it.
      res.set_header("Set-Cookie", std::string(kCookie) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
      // The page runs only its own script and reaches only this server: a drawing's scripts,
      // event attributes, javascript: links and references to other sites do nothing.
      res.set_header("Content-Security-Policy", kPagePolicy);
      res.set_content(body, type.c_str());
    };
  };
  // The page at the root, its style sheet and scripts at their names (a route is a pattern, so
  // the dots are escaped).
  server.Get("/", file("index.html"));
  for (const std::string& name : pageFileNames()) {
    if (name == "index.html") continue;
    std::string route = "/";
    for (const char c : name) route += c == '.' ? std::string("\\.") : std::string(1, c);
    server.Get(route, file(name));
  }

  // Runs `work` on the user-interface thread and sends what it answers.
  const auto onUiThread = [this](httplib::Response& res, const std::function<Reply()>& work) {
    Reply reply;
    reply.status = 503;
    reply.body = json{{"error", "the host is busy (an alert is open) or quitting"}}.dump();
    Reply answered;
    if (channel_.call([&] { answered = work(); }, kCallSeconds)) reply = answered;
    send(res, reply);
  };

  server.Post("/api/input", [this, onUiThread](const httplib::Request& req, httplib::Response& res) {
    onUiThread(res, [&] { return app_.input(req.body); });
  });
  server.Post("/api/open", [this, onUiThread](const httplib::Request& req, httplib::Response& res) {
    std::string name = req.has_param("name") ? req.get_param_value("name") : "drawing.svg";
    if (name.empty() || name.size() > 255) name = "drawing.svg";
    const bool keepClones = req.has_param("keep-clones") && req.get_param_value("keep-clones") == "1";
    onUiThread(res, [&] { return app_.openDrawing(req.body, name, keepClones); });
  });
  server.Post("/api/alert", [this](const httplib::Request& req, httplib::Response& res) {
    // Answered here, not on the user-interface thread: that thread is waiting in the alert.
    std::uint64_t id = 0;
    try {
      const json body = json::parse(req.body);
      id = body.at("id").get<std::uint64_t>();
    } catch (const std::exception&) {
      return refuse(res, 400, "give the alert's {\"id\"}");
    }
    channel_.dismissAlert(id);
    res.set_content("{}", "application/json");
  });
  server.Post("/api/quit", [this](const httplib::Request&, httplib::Response& res) {
    channel_.quit();
    res.set_content("{}", "application/json");
  });
  // What the user-interface thread answers as it stands: the document, the images, the saves.
  using Answer = Reply (LiveApp::*)();
  const std::vector<std::pair<const char*, Answer>> answers = {
      {"/api/document.svg", &LiveApp::documentSvg}, {"/favicon.ico", &LiveApp::toolIcon},
      {"/api/icon.png", &LiveApp::toolIcon},         {"/api/cursor.png", &LiveApp::cursorImage},
      {"/api/save/drawing", &LiveApp::saveDrawing},  {"/api/save/picture", &LiveApp::savePicture},
      {"/api/save/session", &LiveApp::saveSession},
  };
  for (const auto& [route, answer] : answers) {
    server.Get(route, [this, onUiThread, answer = answer](const httplib::Request&, httplib::Response& res) {
      onUiThread(res, [&] { return (app_.*answer)(); });
    });
  }
  server.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    auto stream = std::make_shared<Stream>();
    res.set_chunked_content_provider("text/event-stream", [this, stream](std::size_t, httplib::DataSink& sink) {
      if (channel_.quitting()) {
        sink.done();
        return false;
      }
      const std::shared_ptr<const Frame> frame = channel_.frameAfter(stream->seq, 1.0);
      if (channel_.quitting()) {
        sink.done();
        return false;
      }
      const std::string message = frame ? frameMessage(*frame, *stream) : std::string(": still here\n\n");
      return sink.write(message.data(), message.size());
    });
  });

  port_ = port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (port_ <= 0) {
    *error = port == 0 ? "cannot listen on 127.0.0.1" : "cannot listen on 127.0.0.1:" + std::to_string(port) + " (is it taken?)";
    port_ = 0;
    return false;
  }
  thread_ = std::thread([this] { impl_->server.listen_after_bind(); });
  return true;
}

void WebServer::stop() {
  if (!thread_.joinable()) return;
  impl_->server.stop();
  thread_.join();
}

}  // namespace simhost::live
