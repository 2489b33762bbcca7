#include "live/WebServer.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "live/LiveApp.h"
#include "session/Json.h"

namespace simhost::live {

namespace {

using nlohmann::json;

// How long a request waits for the user-interface thread (which may be in a modal alert).
constexpr double kCallSeconds = 30;
// A stream that had nothing new for this long is sent a heartbeat, so that the page can tell a
// quiet host from a gone one.
constexpr double kHeartbeatSeconds = 15;
// Small bodies: an alert's answer, the page's Quit.
constexpr std::size_t kMaxSmall = 4096;

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

HttpResponse fromReply(const Reply& reply) {
  HttpResponse r;
  r.status = reply.status;
  r.type = reply.type;
  r.body = reply.body;
  if (!reply.filename.empty()) {
    r.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + safeFilename(reply.filename) + "\"");
  }
  r.headers.emplace_back("Cache-Control", "no-store");
  return r;
}

HttpResponse failure(int status, const std::string& why) {
  HttpResponse r;
  r.status = status;
  r.body = json{{"error", why}}.dump(-1, ' ', false, json::error_handler_t::replace);
  return r;
}

HttpHandler::Route refuse(int status, const std::string& why) {
  HttpHandler::Route route;
  route.kind = HttpHandler::Route::Refuse;
  route.refusal = failure(status, why);
  return route;
}

HttpHandler::Route take(HttpHandler::Route::Kind kind, std::size_t maxBody = 0) {
  HttpHandler::Route route;
  route.kind = kind;
  route.maxBody = maxBody;
  return route;
}

// What a page's stream has been sent so far.
struct Sent {
  std::uint64_t seq = 0;
  std::uint64_t document = 0;
  std::vector<std::shared_ptr<const std::string>> shapes;
};

// The message for a frame: the state whole, and the path data of the shapes whose data is not
// what this stream sent last (all of them on a new stream or a new document).
std::string frameMessage(const Frame& frame, Sent& sent) {
  const bool full = sent.document != frame.document;
  std::string out = "data: {\"seq\":" + std::to_string(frame.seq) + ",\"document\":" +
                    std::to_string(frame.document) + ",\"full\":" + (full ? "true" : "false") +
                    ",\"count\":" + std::to_string(frame.shapes.size()) + ",\"shapes\":{";
  bool first = true;
  for (std::size_t k = 0; k < frame.shapes.size(); ++k) {
    if (!full && k < sent.shapes.size() && sent.shapes[k] == frame.shapes[k]) continue;
    if (!first) out += ',';
    first = false;
    out += '"' + std::to_string(k) + "\":" + json(*frame.shapes[k]).dump();
  }
  out += "},\"state\":" + frame.state + "}\n\n";
  sent.seq = frame.seq;
  sent.document = frame.document;
  sent.shapes = frame.shapes;
  return out;
}

// The page's frames as server-sent events: the newest frame whenever the page has taken the
// last one, so that a page that reads slowly skips frames instead of falling behind.
class FrameStream : public HttpStream {
 public:
  explicit FrameStream(Channel& channel) : channel_(channel) {}

  bool next(std::string* part) override {
    const auto now = std::chrono::steady_clock::now();
    const std::shared_ptr<const Frame> frame = channel_.current();
    if (frame && frame->seq > sent_.seq) {
      *part = frameMessage(*frame, sent_);
    } else if (now - last_ > std::chrono::duration<double>(kHeartbeatSeconds)) {
      *part = ": still here\n\n";
    } else {
      return false;
    }
    last_ = now;
    return true;
  }
  bool ended() const override { return channel_.quitting(); }

 private:
  Channel& channel_;
  Sent sent_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

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

WebServer::WebServer(Channel& channel, LiveApp& app, HttpLimits limits)
    : channel_(channel), app_(app), token_(newToken()), server_(*this, limits) {}

WebServer::~WebServer() { stop(); }

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(port()) + "/?token=" + token_;
}

bool WebServer::start(int port, std::string* error) {
  channel_.setPublishListener([this] { server_.wake(); });
  return server_.start(port, error);
}

void WebServer::stop() {
  channel_.setPublishListener(nullptr);
  server_.stop();
}

HttpHandler::Route WebServer::route(const HttpRequest& head) {
  const std::string served = "127.0.0.1:" + std::to_string(port());
  const std::string* host = head.header("host");
  if (host == nullptr || *host != served) return refuse(421, "this server answers only requests for " + served);
  // A page of another site may send requests here, but its Origin gives it away.
  const std::string* origin = head.header("origin");
  if (origin != nullptr && *origin != "http://" + served) return refuse(403, "requests from other sites are refused");

  // The page's script and style are the same for every run and hold nothing of it.
  const std::string name = head.path.size() > 1 ? head.path.substr(1) : std::string();
  const std::vector<std::string>& files = pageFileNames();
  const bool pageFile = name != "index.html" && std::find(files.begin(), files.end(), name) != files.end();
  if (head.method == "GET" && pageFile) return take(Route::Quick);

  const std::string* given = head.param("token");
  if (given == nullptr) given = head.header("x-sarvello-token");
  if (given == nullptr || !sameSecret(*given, token_)) return refuse(403, "this request does not carry the run's token");

  const std::string& path = head.path;
  if (head.method == "GET") {
    if (path == "/") return take(Route::Quick);
    if (path == "/api/events") return take(Route::Stream);
    if (path == "/api/document.svg" || path == "/api/icon.png" || path == "/api/cursor.png" ||
        path == "/api/save/drawing" || path == "/api/save/picture" || path == "/api/save/session")
      return take(Route::Worker);
  } else if (head.method == "POST") {
    if (path == "/api/input") return take(Route::Worker, kMaxInput);
    if (path == "/api/open") return take(Route::Worker, kMaxUpload);
    if (path == "/api/alert" || path == "/api/quit") return take(Route::Quick, kMaxSmall);
  } else {
    return refuse(405, "only GET and POST are answered here");
  }
  return refuse(404, "nothing here");
}

HttpResponse WebServer::onUiThread(const std::function<Reply()>& work) {
  Reply answered;
  const bool ran = channel_.call(
      [&] {
        try {
          answered = work();
        } catch (const std::exception&) {
          // Nothing a request brings may end the host.
          answered.status = 500;
          answered.body = json{{"error", "the host could not answer"}}.dump();
        }
      },
      kCallSeconds);
  if (!ran) return failure(503, "the host is busy (an alert is open) or quitting");
  return fromReply(answered);
}

HttpResponse WebServer::answer(const HttpRequest& request) {
  const std::string& path = request.path;
  using Answer = Reply (LiveApp::*)();
  // What the user-interface thread answers as it stands: the document, the images, the saves.
  static const std::vector<std::pair<std::string, Answer>> answers = {
      {"/api/document.svg", &LiveApp::documentSvg}, {"/api/icon.png", &LiveApp::toolIcon},
      {"/api/cursor.png", &LiveApp::cursorImage},   {"/api/save/drawing", &LiveApp::saveDrawing},
      {"/api/save/picture", &LiveApp::savePicture}, {"/api/save/session", &LiveApp::saveSession},
  };
  if (request.method == "GET") {
    for (const auto& [route, what] : answers) {
      if (path == route) return onUiThread([&, what = what] { return (app_.*what)(); });
    }
    HttpResponse r;
    r.body = pageFile(path == "/" ? "index.html" : path.substr(1), &r.type);
    r.headers.emplace_back("Cache-Control", "no-store");
    // The page runs only its own script and reaches only this server: a drawing's scripts,
    // event attributes, javascript: links and references to other sites do nothing.
    r.headers.emplace_back("Content-Security-Policy", kPagePolicy);
    return r;
  }
  if (path == "/api/alert") {
    // Answered here, not on the user-interface thread: that thread is waiting in the alert.
    std::string why;
    const std::optional<json> body = parseBoundedJson(request.body, &why);
    const json* id = body && body->is_object() && body->contains("id") ? &(*body)["id"] : nullptr;
    if (id == nullptr || !id->is_number_unsigned()) return failure(400, "give the alert's {\"id\"}");
    if (!channel_.dismissAlert(id->get<std::uint64_t>())) return failure(409, "no alert with that number is open");
    return HttpResponse{200, "application/json", {}, "{}"};
  }
  if (path == "/api/quit") {
    channel_.quit();
    return HttpResponse{200, "application/json", {}, "{}"};
  }
  if (path == "/api/input") return onUiThread([&] { return app_.input(request.body); });
  const std::string* given = request.param("name");
  std::string name = given != nullptr ? *given : "drawing.svg";
  if (name.empty() || name.size() > 255) name = "drawing.svg";
  return onUiThread([&] { return app_.openDrawing(request.body, name); });
}

std::unique_ptr<HttpStream> WebServer::openStream(const HttpRequest&, HttpResponse* head) {
  head->type = "text/event-stream";
  head->headers.emplace_back("Cache-Control", "no-store");
  return std::make_unique<FrameStream>(channel_);
}

}  // namespace simhost::live
