// Whole-file reads and all-or-nothing writes, over the system's files (platform/).
#include "core/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace simhost {

std::filesystem::path pathFromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool readWholeFile(const std::string& path, std::string* out, std::string* error,
                   std::size_t limit) {
  std::string reason;
  std::FILE* f = platform::openForReading(path, &reason);
  if (f == nullptr) {
    *error = path + ": cannot read the file: " + reason;
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

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  FileBatch batch;
  return batch.add(path, bytes, error) && batch.commit(error);
}

FileBatch::~FileBatch() {
  for (const Staged& file : staged_) platform::removeFile(file.temp);
}

bool FileBatch::add(const std::string& path, const std::string& bytes, std::string* error) {
  // The new file takes the old one's place by a rename, which would replace a device or a named
  // pipe (/dev/null, say) by a plain file: only plain files are written.
  std::error_code ec;
  const auto type = std::filesystem::status(pathFromUtf8(path), ec).type();
  if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular) {
    *error = path + ": cannot write the file: exists and is not a regular file";
    return false;
  }
  std::string temp, reason;
  if (!platform::writeNewFileBeside(path, bytes, &temp, &reason)) {
    *error = path + ": cannot write the file: " + reason;
    return false;
  }
  staged_.push_back({std::move(temp), path});
  return true;
}

bool FileBatch::commit(std::string* error) {
  std::vector<Staged> staged = std::move(staged_);
  staged_.clear();
  for (std::size_t i = 0; i < staged.size(); ++i) {
    std::string reason;
    if (!platform::replaceFile(staged[i].temp, staged[i].path, &reason)) {
      *error = staged[i].path + ": cannot write the file: " + reason;
      for (std::size_t k = i; k < staged.size(); ++k) platform::removeFile(staged[k].temp);
      return false;
    }
  }
  return true;
}

}  // namespace simhost
