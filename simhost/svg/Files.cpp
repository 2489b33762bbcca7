// Whole-file reads and all-or-nothing writes.
#include "svg/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace simhost {

bool readWholeFile(const std::string& path, std::string* out, std::string* error,
                   std::size_t limit) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = path + ": cannot read the file: " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (n > limit - text.size()) {
      std::fclose(f);
      *error = path + ": cannot read the file: larger than " + std::to_string(limit >> 20) + " MB";
      return false;
    }
    text.append(buffer, n);
  }
  const bool failed = std::ferror(f) != 0;
  const int code = errno;
  std::fclose(f);
  if (failed) {
    *error = path + ": cannot read the file: " + std::strerror(code);
    return false;
  }
  *out = std::move(text);
  return true;
}

namespace {

// Writes bytes to a new temporary file beside `path`, with the permissions of any new file; its
// name in *temp. On failure nothing is left and *error says why.
bool writeTemporary(const std::string& path, const std::string& bytes, std::string* temp,
                    std::string* error) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string name = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = path + ": cannot write the file: " + std::strerror(errno);
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
    *error = path + ": cannot write the file: " + std::strerror(code);
    return false;
  }
  *temp = std::move(name);
  return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  FileBatch batch;
  return batch.add(path, bytes, error) && batch.commit(error);
}

FileBatch::~FileBatch() {
  for (const Staged& file : staged_) ::unlink(file.temp.c_str());
}

bool FileBatch::add(const std::string& path, const std::string& bytes, std::string* error) {
  // The new file takes the old one's place by a rename, which would replace a device or a named
  // pipe (/dev/null, say) by a plain file: only plain files are written.
  std::error_code ec;
  const auto type = std::filesystem::status(path, ec).type();
  if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular) {
    *error = path + ": cannot write the file: exists and is not a regular file";
    return false;
  }
  std::string temp;
  if (!writeTemporary(path, bytes, &temp, error)) return false;
  staged_.push_back({std::move(temp), path});
  return true;
}

bool FileBatch::commit(std::string* error) {
  std::vector<Staged> staged = std::move(staged_);
  staged_.clear();
  for (std::size_t i = 0; i < staged.size(); ++i) {
    if (std::rename(staged[i].temp.c_str(), staged[i].path.c_str()) != 0) {
      *error = staged[i].path + ": cannot write the file: " + std::strerror(errno);
      for (std::size_t k = i; k < staged.size(); ++k) ::unlink(staged[k].temp.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace simhost
