// The host's preferences file: any file is read or refused with a warning; what is read, saved and
// read again gives the same values.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "core/Host.h"

using namespace simhost;

namespace {

bool same(const Preference& a, const Preference& b) {
  return a.kind == b.kind && a.integer == b.integer && a.text == b.text && a.point.h == b.point.h &&
         a.point.v == b.point.v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  static const std::string path = "/tmp/sarvello-fuzz-prefs-" + std::to_string(::getpid()) + ".ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // One host at a time: the first reads and saves, the second reads what was saved.
  std::map<PreferenceKey, Preference> read;
  {
    Host first;
    std::string warning;
    if (!first.usePreferencesFile(path, &warning)) {
      FUZZ_CHECK(!warning.empty());
      std::remove(path.c_str());
      return 0;
    }
    std::string error;
    FUZZ_CHECK(first.savePreferences(&error));
    read = first.preferences();
  }
  Host second;
  std::string warning;
  FUZZ_CHECK(second.usePreferencesFile(path, &warning));
  const auto& saved = second.preferences();
  FUZZ_CHECK(read.size() == saved.size());
  for (auto i = read.cbegin(), j = saved.cbegin(); i != read.cend(); ++i, ++j) {
    FUZZ_CHECK(i->first == j->first);
    FUZZ_CHECK(same(i->second, j->second));
  }
  std::remove(path.c_str());
  return 0;
}
