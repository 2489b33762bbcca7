// The system on Linux: files, the running program's file, the user's configuration folder and the
// opener of web addresses (xdg-open), started without a shell.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Platform.h"

extern char** environ;

namespace simhost::platform {
namespace {

// The system's opener, when there is one on the PATH.
std::string findOpener() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate =
        (end > start ? dirs.substr(start, end - start) : std::string(".")) + "/xdg-open";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// Hands the address to the opener, as its own argument (never through a shell), and waits for
// the opener, which returns once the browser has been asked.
bool launchOpener(const std::string& opener, const std::string& url) {
  char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url.c_str()),
                        nullptr};
  // The opener's own output (and the browser's, which it starts) is not the user's business here.
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return false;
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, opener.c_str(), &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::FILE* openForReading(const std::string& path, std::string* reason) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) *reason = std::strerror(errno);
  return f;
}

bool writeNewFileBeside(const std::string& path, const std::string& bytes, std::string* temp,
                        std::string* reason) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string name = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  int code = 0;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      code = errno;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  // mkstemp makes the file private; give it the permissions of any new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (code == 0 && ::fchmod(fd, 0666 & ~mask) != 0) code = errno;
  if (code == 0 && ::fsync(fd) != 0) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    ::unlink(name.c_str());
    *reason = std::strerror(code);
    return false;
  }
  *temp = std::move(name);
  return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string* reason) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *reason = std::strerror(errno);
  return false;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool openWithSystem(const std::string& url) {
  const std::string opener = findOpener();
  return !opener.empty() && launchOpener(opener, url);
}

std::string programPath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string defaultPreferencesPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/sarvello/preferences.ini";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0')
    return std::string(home) + "/.config/sarvello/preferences.ini";
  return std::string();
}

}  // namespace simhost::platform
