#include "live/WebServer.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>

#include "live/LiveApp.h"
#include "session/Json.h"

namespace simhost::live {

namespace {

using nlohmann::json;

// How long a request waits for the user-interface thread (which may be in a modal alert).
constexpr double kCallSeconds = 30;
// How long a page's request for its next frame waits for one.
constexpr double kFrameWaitSeconds = 15;
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
  route.trusted = true;
  return route;
}

void put32(std::string& out, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 24)};
  out.append(bytes, 4);
}

void putNumber(std::string& out, double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  put32(out, static_cast<std::uint32_t>(bits));
  put32(out, static_cast<std::uint32_t>(bits >> 32));
}

void putText(std::string& out, const std::string& text) {
  put32(out, static_cast<std::uint32_t>(text.size()));
  out += text;
  out.append((4 - out.size() % 4) % 4, '\0');
}

// A frame for a page that shows frame `after` of document `document`, in the binary form the
// page reads (little-endian, each part starting on four bytes): u8 1 when everything is sent (the
// page shows another document, or nothing yet), three bytes of padding; f64 the frame's number
// and its document's; u32 the number of shapes; the state's JSON, the selection's JSON (empty
// when the page has it already), each as u32 its length and its bytes; u32 the number of shapes
// sent, then each: u32 its place and its geometry (PageExport.h) as u32 its length and its
// bytes. Only what changed since frame `after` is sent.
std::string frameAfter(const Frame& frame, std::uint64_t after, std::uint64_t document) {
  const bool full = after == 0 || after > frame.seq || document != frame.document;
  std::vector<std::size_t> changed;
  std::size_t bytes = 64 + frame.state.size() + frame.selection->size();
  for (std::size_t k = 0; k < frame.shapes.size(); ++k) {
    if (full || frame.shapeChanged[k] > after) {
      changed.push_back(k);
      bytes += 12 + frame.shapes[k]->size();
    }
  }
  std::string out;
  out.reserve(bytes);
  out.push_back(full ? 1 : 0);
  out.append(3, '\0');
  putNumber(out, static_cast<double>(frame.seq));
  putNumber(out, static_cast<double>(frame.document));
  put32(out, static_cast<std::uint32_t>(frame.shapes.size()));
  putText(out, frame.state);
  putText(out, full || frame.selectionChanged > after ? *frame.selection : std::string());
  put32(out, static_cast<std::uint32_t>(changed.size()));
  for (const std::size_t k : changed) {
    put32(out, static_cast<std::uint32_t>(k));
    putText(out, *frame.shapes[k]);
  }
  return out;
}

// A page's request for the frame after the one it shows: answered as soon as there is a newer
// one, with no content after a while without one (the page asks again), so that a page that is
// slow to show frames is sent the newest when it is ready for it, never a queue of old ones.
class FrameWait : public HttpWait {
 public:
  FrameWait(Channel& channel, std::uint64_t after, std::uint64_t document)
      : channel_(channel), after_(after), document_(document) {
    channel_.addWaiter();
  }
  ~FrameWait() override { channel_.removeWaiter(); }
  FrameWait(const FrameWait&) = delete;
  FrameWait& operator=(const FrameWait&) = delete;

  bool ready(HttpResponse* response) override {
    const std::shared_ptr<const Frame> frame = channel_.current();
    if (frame && (frame->seq > after_ || frame->document != document_)) {
      response->type = "application/octet-stream";
      response->headers.emplace_back("Cache-Control", "no-store");
      response->body = frameAfter(*frame, after_, document_);
      return true;
    }
    if (channel_.quitting() || std::chrono::steady_clock::now() - begun_ > std::chrono::duration<double>(kFrameWaitSeconds)) {
      response->status = 204;
      return true;
    }
    return false;
  }

 private:
  Channel& channel_;
  std::uint64_t after_, document_;
  std::chrono::steady_clock::time_point begun_ = std::chrono::steady_clock::now();
};

// A whole number from a request's query: false when it is given and is not one.
bool countParam(const HttpRequest& request, const char* name, std::uint64_t* value) {
  *value = 0;
  const std::string* text = request.param(name);
  if (text == nullptr) return true;
  if (text->empty() || text->size() > 19) return false;
  for (const char c : *text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
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
  if (head.method == "GET" && pageFile) {
    Route open = take(Route::Quick);
    open.trusted = false;
    return open;
  }

  const std::string* given = head.param("token");
  if (given == nullptr) given = head.header("x-sarvello-token");
  if (given == nullptr || !sameSecret(*given, token_)) return refuse(403, "this request does not carry the run's token");

  const std::string& path = head.path;
  if (head.method == "GET") {
    if (path == "/") return take(Route::Quick);
    if (path == "/api/frame") {
      std::uint64_t number = 0;
      if (!countParam(head, "after", &number) || !countParam(head, "document", &number))
        return refuse(400, "after and document are frame and document numbers");
      return take(Route::Wait);
    }
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
  using Answer = Reply (*)(LiveApp&);
  // What the user-interface thread answers as it stands: the document, the images, the saves.
  static const std::vector<std::pair<std::string, Answer>> answers = {
      {"/api/document.svg", [](LiveApp& app) { return app.documentSvg(); }},
      {"/api/icon.png", [](LiveApp& app) { return app.toolIcon(); }},
      {"/api/cursor.png", [](LiveApp& app) { return app.cursorImage(); }},
      {"/api/save/drawing", [](LiveApp& app) { return app.saveDrawing(); }},
      {"/api/save/picture", [](LiveApp& app) { return app.savePicture(); }},
      {"/api/save/session", [](LiveApp& app) { return app.saveSession(); }},
  };
  if (request.method == "GET") {
    for (const auto& entry : answers) {
      if (path != entry.first) continue;
      const Answer what = entry.second;
      return onUiThread([this, what] { return what(app_); });
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
  const std::string* keep = request.param("keep-clones");
  const bool keepClones = keep != nullptr && *keep == "1";
  return onUiThread([&] { return app_.openDrawing(request.body, name, keepClones); });
}

std::unique_ptr<HttpWait> WebServer::openWait(const HttpRequest& request) {
  std::uint64_t after = 0, document = 0;  // checked by route()
  countParam(request, "after", &after);
  countParam(request, "document", &document);
  auto wait = std::make_unique<FrameWait>(channel_, after, document);
  // Frames are made only while a page waits for one: the user-interface thread makes the one
  // this page waits for if the picture changed since the last.
  channel_.post([this] { app_.publishIfBehind(); });
  return wait;
}

}  // namespace simhost::live
