// Files of the stand-in host's drawings, pictures and sessions: whole-file reads, writes that
// replace a file whole or not at all, and places in a text for messages.
#ifndef SARVELLO_SIMHOST_CORE_FILES_H
#define SARVELLO_SIMHOST_CORE_FILES_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace simhost {

// A path named by UTF-8 text on every system (from a narrow string, Windows would take the
// system's code page), and its UTF-8 text.
std::filesystem::path pathFromUtf8(const std::string& path);
std::string utf8FromPath(const std::filesystem::path& path);

// The most a drawing file may hold: far more than any drawing the host can take, and a bound for
// a file that has no end (a device, a pipe that is never closed).
inline constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// The whole file. False with *error ("path: cannot read the file: reason") on failure, or when it
// holds more than `limit` bytes.
bool readWholeFile(const std::string& path, std::string* out, std::string* error,
                   std::size_t limit = kMaxFileBytes);

// Writes bytes to a temporary file beside `path` and renames it over `path`, so that readers see
// the old file or the new one, never a part. On failure nothing is left behind.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// Several files written together or not at all: each is written completely under a temporary
// name beside its target, and only when all of them are written are they renamed into place.
// Whatever has not been committed when the batch ends is removed; files that were there before
// stay as they were.
class FileBatch {
 public:
  FileBatch() = default;
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;
  ~FileBatch();

  // Writes bytes under a temporary name beside `path`. False with *error ("path: cannot write
  // the file: reason") on failure.
  bool add(const std::string& path, const std::string& bytes, std::string* error);
  // Renames every added file into place.
  bool commit(std::string* error);

 private:
  struct Staged {
    std::string temp;
    std::string path;
  };
  std::vector<Staged> staged_;
};

// "line:column" of a byte offset in UTF-8 text, both from 1, columns counted in characters.
inline std::string lineColumn(const std::string& text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace simhost

#endif
