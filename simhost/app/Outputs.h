// The outputs of sarvello-host's commands: checks that a file or folder can be written before a
// run is spent on it, and the writer that puts every output of a run in place together.
#ifndef SARVELLO_SIMHOST_APP_OUTPUTS_H
#define SARVELLO_SIMHOST_APP_OUTPUTS_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Runner.h"
#include "picture/Picture.h"
#include "core/Files.h"

namespace simhost::app {

// Whether two paths name the same file (also when neither exists yet).
bool sameFile(const std::string& a, const std::string& b);
// Whether files can be made in the folder: tried with a file that is removed at once, which
// also finds a read-only file system and what permissions alone do not tell.
bool folderWritable(const std::filesystem::path& folder, const std::string& what, std::string* error);
// A file can be written there: its folder exists and it is no folder, device or pipe. Checked
// before the run, so that a run is not wasted on an output that cannot be written.
bool folderExists(const std::string& file, std::string* error);
bool makeFolder(const std::string& dir, std::string* error);
// "frame-01.png" for index 0.
std::string framesName(std::size_t index);

// Writes the outputs of a run together: each is written in full beside its place, and only
// when all of them are written does finish() put them in place. The first failure ends the
// writing with exit code 1 and leaves none of them behind.
class Writer {
 public:
  explicit Writer(Reporter& reporter) : reporter_(reporter) {}

  bool text(const std::string& path, const std::string& bytes);
  bool png(const std::string& path, const picture::Image& image);
  bool finish();
  // The frames side by side, in rows of at most kFramesPerRow, so that a long session still
  // gives a picture of a sensible width.
  bool strip(const std::string& path, const std::vector<Frame>& frames);

  std::vector<std::string> written;

 private:
  bool fail(const std::string& error);
  Reporter& reporter_;
  FileBatch batch_;
};

}  // namespace simhost::app

#endif
