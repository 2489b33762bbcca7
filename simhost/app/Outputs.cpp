#include "app/Outputs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace simhost::app {

namespace fs = std::filesystem;

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

bool folderWritable(const fs::path& folder, const std::string& what, std::string* error) {
  const fs::path probe = folder / (".sarvello-probe-" + std::to_string(::getpid()));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = what + ": cannot write in the folder " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool folderExists(const std::string& file, std::string* error) {
  const fs::path parent = fs::path(file).parent_path();
  std::error_code ec;
  if (fs::is_directory(fs::path(file), ec)) {
    *error = file + ": is a folder, not a file";
    return false;
  }
  // Writing replaces the file whole, which must not befall a device or a named pipe.
  const fs::file_type type = fs::status(fs::path(file), ec).type();
  if (type != fs::file_type::not_found && type != fs::file_type::regular) {
    *error = file + ": exists and is not a regular file";
    return false;
  }
  if (!parent.empty() && !fs::is_directory(parent, ec)) {
    *error = file + ": the folder " + parent.string() + " does not exist";
    return false;
  }
  return folderWritable(parent.empty() ? fs::path(".") : parent, file, error);
}

bool makeFolder(const std::string& dir, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (fs::exists(dir, ec)) {
    *error = dir + ": exists and is not a folder";
    return false;
  }
  fs::create_directories(dir, ec);
  if (ec) {
    *error = dir + ": cannot create the folder: " + ec.message();
    return false;
  }
  return true;
}

std::string framesName(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%02zu.png", index + 1);
  return name;
}

bool Writer::text(const std::string& path, const std::string& bytes) {
  std::string error;
  if (!batch_.add(path, bytes, &error)) return fail(error);
  written.push_back(path);
  return true;
}

bool Writer::png(const std::string& path, const picture::Image& image) {
  std::string error;
  std::string bytes;
  if (!picture::encodePng(image, &bytes, &error)) return fail(path + ": " + error);
  return text(path, bytes);
}

bool Writer::finish() {
  std::string error;
  return batch_.commit(&error) || fail(error);
}

bool Writer::strip(const std::string& path, const std::vector<Frame>& frames) {
  constexpr std::size_t kFramesPerRow = 4;
  constexpr int kGap = 8;
  std::vector<picture::Image> rows;
  for (std::size_t first = 0; first < frames.size(); first += kFramesPerRow) {
    std::vector<picture::Image> row;
    for (std::size_t k = first; k < std::min(frames.size(), first + kFramesPerRow); ++k) {
      row.push_back(frames[k].image);
    }
    rows.push_back(picture::strip(row, kGap));
  }
  if (rows.size() == 1) return png(path, rows.front());
  picture::Image sheet;
  for (const picture::Image& row : rows) {
    sheet.width = std::max(sheet.width, row.width);
    sheet.height += row.height + (sheet.height > 0 ? kGap : 0);
  }
  sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, 0xFFC0C0C0u);
  int top = 0;
  for (const picture::Image& row : rows) {
    for (int y = 0; y < row.height; ++y) {
      std::copy_n(row.pixels.begin() + static_cast<std::ptrdiff_t>(y) * row.width, row.width,
                  sheet.pixels.begin() + static_cast<std::ptrdiff_t>(top + y) * sheet.width);
    }
    top += row.height + kGap;
  }
  return png(path, sheet);
}

bool Writer::fail(const std::string& error) {
  reporter_.line(error);
  return false;
}

}  // namespace simhost::app
