// The drawings of Debian's bootstrap-icons package, used as a large set of real SVG files.
#ifndef SARVELLO_TESTS_SUPPORT_BOOTSTRAPICONS_H
#define SARVELLO_TESTS_SUPPORT_BOOTSTRAPICONS_H

#include <algorithm>
#include <filesystem>
#include <vector>

inline constexpr const char* kIconDir = "/usr/share/bootstrap-icons/svg";

// The .svg files of the icon folder in name order.
inline std::vector<std::filesystem::path> bootstrapIconFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kIconDir)) {
    if (entry.path().extension() == ".svg") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

#endif
