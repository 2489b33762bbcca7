// Whole files read and written as bytes in tests.
#ifndef SARVELLO_TESTS_SUPPORT_TEXTFILES_H
#define SARVELLO_TESTS_SUPPORT_TEXTFILES_H

#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

#endif
