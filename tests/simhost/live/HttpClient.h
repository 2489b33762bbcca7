// A plain HTTP/1.1 client over a socket, for the tests of the page's server: well-behaved
// requests, and the raw bytes of a hostile client (a head sent a byte at a time, a body larger
// than it says, connections left open).
#ifndef SARVELLO_TESTS_SIMHOST_LIVE_HTTPCLIENT_H
#define SARVELLO_TESTS_SIMHOST_LIVE_HTTPCLIENT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace livetest {

inline std::chrono::steady_clock::time_point after(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

struct Response {
  int status = 0;  // 0: no answer came (the connection closed, or the wait ran out)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

class Connection {
 public:
  // `receiveBuffer`: the most the system holds for the client unread (0: its default).
  explicit Connection(int port, int receiveBuffer = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Connection() {
    if (fd_ >= 0) ::close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool open() const { return fd_ >= 0; }

  // Sends the bytes; false when the server has closed the connection.
  bool send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads one answer (with a Content-Length, or chunked, or up to the close), waiting at most
  // `seconds` in all.
  Response receive(double seconds = 10) {
    const auto deadline = after(seconds);
    Response r;
    std::size_t headEnd = std::string::npos;
    while (true) {
      if (headEnd == std::string::npos) {
        headEnd = buffer_.find("\r\n\r\n");
        if (headEnd != std::string::npos) parseHead(headEnd, &r);
      }
      if (headEnd != std::string::npos && complete(headEnd, &r)) return r;
      if (!fill(deadline)) {
        if (headEnd != std::string::npos && r.headers.count("content-length") == 0 &&
            r.headers.count("transfer-encoding") == 0) {
          r.body = buffer_.substr(headEnd + 4);
          buffer_.clear();
          return r;
        }
        return Response{};
      }
    }
  }

  // Whether the server has closed the connection within `seconds` (what it sent meanwhile is
  // dropped).
  bool closedWithin(double seconds) {
    const auto deadline = after(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!fill(deadline)) return std::chrono::steady_clock::now() < deadline;
      buffer_.clear();
    }
    return false;
  }

  // Reads what arrives within `seconds`.
  std::string drain(double seconds) {
    const auto deadline = after(seconds);
    while (fill(deadline)) {
    }
    std::string out;
    out.swap(buffer_);
    return out;
  }

 private:
  // Reads more; false at the close, an error or the deadline.
  bool fill(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char chunk[65536];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  void parseHead(std::size_t end, Response* r) {
    const std::string head = buffer_.substr(0, end);
    r->status = std::atoi(head.substr(9, 3).c_str());
    std::size_t at = head.find("\r\n");
    while (at != std::string::npos && at < head.size()) {
      const std::size_t next = head.find("\r\n", at + 2);
      const std::string line = head.substr(at + 2, (next == std::string::npos ? head.size() : next) - at - 2);
      const std::size_t colon = line.find(':');
      if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        r->headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
      }
      at = next;
    }
  }

  // Whether the whole body is there; then it is moved into r->body.
  bool complete(std::size_t headEnd, Response* r) {
    const std::size_t start = headEnd + 4;
    if (r->headers.count("content-length") != 0) {
      const std::size_t length = std::stoul(r->headers["content-length"]);
      if (buffer_.size() < start + length) return false;
      r->body = buffer_.substr(start, length);
      buffer_.erase(0, start + length);
      return true;
    }
    if (r->headers.count("transfer-encoding") != 0) {
      std::string body;
      std::size_t at = start;
      while (true) {
        const std::size_t eol = buffer_.find("\r\n", at);
        if (eol == std::string::npos) return false;
        const std::size_t size = std::stoul(buffer_.substr(at, eol - at), nullptr, 16);
        if (size == 0) {
          if (buffer_.size() < eol + 4) return false;
          r->body = body;
          buffer_.erase(0, eol + 4);
          return true;
        }
        if (buffer_.size() < eol + 2 + size + 2) return false;
        body += buffer_.substr(eol + 2, size);
        at = eol + 2 + size + 2;
      }
    }
    return false;
  }

  int fd_ = -1;
  std::string buffer_;
};

// A request as a browser on the page sends it.
inline std::string request(int port, const std::string& method, const std::string& target,
                           const std::string& body = "",
                           const std::vector<std::pair<std::string, std::string>>& headers = {}) {
  std::string out = method + " " + target + " HTTP/1.1\r\n";
  bool host = false;
  for (const auto& [name, value] : headers) {
    out += name + ": " + value + "\r\n";
    host = host || name == "Host";
  }
  if (!host) out += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  if (method == "POST") out += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  return out + "\r\n" + body;
}

// One request on a connection of its own.
inline Response fetch(int port, const std::string& method, const std::string& target,
                      const std::string& body = "",
                      const std::vector<std::pair<std::string, std::string>>& headers = {},
                      double seconds = 10) {
  Connection c(port);
  if (!c.open() || !c.send(request(port, method, target, body, headers))) return Response{};
  return c.receive(seconds);
}

}  // namespace livetest

#endif
